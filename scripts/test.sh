#!/usr/bin/env bash
# Builds Mapeo and runs every test, once normally and the unit tests once more under
# AddressSanitizer and UndefinedBehaviorSanitizer. Installs the Debian packages it needs
# (through sudo when not run as root; the integration tests need root); safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" \
    "${PACKAGE_PACKAGES[@]}" "${INSTALL_TEST_PACKAGES[@]}"
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAPEO_WERROR=ON
cmake --build build
# The Debian package, for the "package" tests and the install test below.
bash scripts/package.sh
as_root ctest --test-dir build --output-on-failure -j2 -LE install

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMAPEO_SANITIZE=ON -DMAPEO_WERROR=ON \
    -DMAPEO_BENCH=OFF
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
    ctest --test-dir build-asan -L unit --output-on-failure -j2

# Installs the package into a clean Debian 12 root; needs root and deb.debian.org.
if reason="$(as_root bash tests/package/install_test.sh --probe .)"; then
    as_root ctest --test-dir build -L install --output-on-failure
else
    echo "Install test skipped: $reason"
fi
