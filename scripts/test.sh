#!/usr/bin/env bash
# Builds Mapeo and runs every test, once normally and the unit tests once more under
# AddressSanitizer and UndefinedBehaviorSanitizer. The unit tests run without privilege (as
# root: as the system user mapeo-test, made here once); the integration tests run as root,
# since they create network namespaces. Installs the Debian packages it needs (through sudo
# when not run as root); safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" \
    "${PACKAGE_PACKAGES[@]}" "${INSTALL_TEST_PACKAGES[@]}"
export QT_QPA_PLATFORM=offscreen
TEST_USER=mapeo-test

# ctest in build folder $1 with the rest as its arguments, as an unprivileged user with a home
# and temporary folder of its own. The test lists are made first, as the builder, so that the
# run itself writes only below the build folder's Testing/.
unprivileged_ctest() {
    local dir="$1"
    shift
    ctest --test-dir "$dir" -N >/dev/null
    if [ "$(id -u)" -ne 0 ]; then
        ctest --test-dir "$dir" "$@"
        return
    fi
    id -u "$TEST_USER" >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            "$TEST_USER"
    local home rc=0
    home=$(mktemp -d /tmp/mapeo-unit.XXXXXX)
    mkdir -p "$dir/Testing"
    chown -R "$TEST_USER:" "$home" "$dir/Testing"
    setpriv --reuid="$TEST_USER" --regid="$TEST_USER" --init-groups -- \
        env HOME="$home" TMPDIR="$home" XDG_RUNTIME_DIR="$home" \
        ctest --test-dir "$dir" "$@" || rc=$?
    rm -rf "$home"
    return "$rc"
}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAPEO_WERROR=ON
cmake --build build
# The Debian package, for the "package" and "install" tests.
bash scripts/package.sh
# Set-up, like installing the packages above, not a test: the clean Debian 12 root that the
# install test puts the package into, made from deb.debian.org with the package's own
# dependencies and kept in ~/.cache/mapeo/ until they change. Without the mirror it says so in
# one line and the install test is skipped. The tests below reach no network.
as_root bash tests/package/install_root.sh prepare .

unprivileged_ctest build -L unit --output-on-failure -j2
as_root ctest --test-dir build -L 'integration|package|install' --output-on-failure

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMAPEO_SANITIZE=ON -DMAPEO_WERROR=ON \
    -DMAPEO_BENCH=OFF
cmake --build build-asan
export ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
unprivileged_ctest build-asan -L unit --output-on-failure -j2

# The Windows build and its tests under Wine, when Qt for Windows is at hand: the archive
# MAPEO_QT_WINDOWS names, the one CI keeps beside the clone, or a build in the cache. Building
# Qt itself is left to scripts/build-windows.sh, run by hand once (about half an hour).
qt_windows=${MAPEO_QT_WINDOWS:-../shared/windows/qt6-base-6.4.2-mingw64.tar.xz}
if [ -f "$qt_windows" ]; then
    MAPEO_QT_WINDOWS=$(readlink -f "$qt_windows") bash scripts/test-windows.sh
elif [ -f "${XDG_CACHE_HOME:-$HOME/.cache}/mapeo/qt6-mingw64/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    bash scripts/test-windows.sh
else
    echo "Windows build and tests skipped: no Qt for Windows (MAPEO_QT_WINDOWS, $qt_windows or ~/.cache/mapeo/)"
fi
