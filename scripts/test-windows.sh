#!/usr/bin/env bash
# Builds Mapeo for Windows with its tests (scripts/build-windows.sh --tests) and runs them under
# Wine, headless: the logic's unit tests and the tests of the Windows back ends against Wine's
# own calls. As root the run happens in a network namespace of its own with only loopback,
# where ICMP echoes are allowed, as the unprivileged user mapeo-test (made here once).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${WINDOWS_TEST_PACKAGES[@]}"
bash scripts/build-windows.sh --tests

build=build-windows
# The test list is made first, as the builder, so that the run writes only below Testing/.
ctest --test-dir "$build" -N >/dev/null
if [ "$(id -u)" -eq 0 ]; then
    id -u mapeo-test >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            mapeo-test
    chown -R mapeo-test: "$build/Testing"
    export MAPEO_WINE_USER=mapeo-test
fi
bash tests/win32/wine_session.sh ctest --test-dir "$build" --output-on-failure -j2
