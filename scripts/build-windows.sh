#!/usr/bin/env bash
# Cross-builds Mapeo for 64-bit Windows with mingw-w64 and packs dist/mapeo-windows-x86_64.zip:
# mapeo.exe, Qt's DLLs with its Windows platform and style plugins, and the mingw-w64 runtime.
#
#   bash scripts/build-windows.sh [--tests]      (--tests: the test programs too, in
#                                                 build-windows/bin; scripts/test-windows.sh)
#
# Debian has no Qt for Windows. It comes from, in this order:
#   MAPEO_QT_WINDOWS=path.tar.xz   an archive of Qt's base module built for mingw-w64
#                                  (folder qt6-mingw64/), unpacked into the cache;
#   the cache, ${XDG_CACHE_HOME:-~/.cache}/mapeo/qt6-mingw64;
#   Debian's own qt6-base source, built once into the cache with Debian's host tools (about
#   half an hour on two cores); the archive of that build is kept beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

tests=OFF
for arg in "$@"; do
    case "$arg" in
        --tests) tests=ON ;;
        *)
            echo "usage: $0 [--tests]" >&2
            exit 2
            ;;
    esac
done

ensure_packages "${WINDOWS_BUILD_PACKAGES[@]}"
[ "$tests" = OFF ] || ensure_packages "${WINDOWS_TEST_BUILD_PACKAGES[@]}"

source=$PWD
toolchain=$source/cmake/mingw-w64-x86_64.cmake
cache=${XDG_CACHE_HOME:-$HOME/.cache}/mapeo
qt=$cache/qt6-mingw64
qt_archive=$cache/qt6-base-6.4.2-mingw64.tar.xz
mkdir -p "$cache"

qt_ready() {
    [ -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ] && [ -f "$qt/plugins/platforms/qwindows.dll" ]
}

# Puts the archive's qt6-mingw64/ in the cache, replacing what was there, and notes which
# archive it came from.
unpack_qt() {
    local archive=$1 sum=$2 scratch
    scratch=$(mktemp -d "$cache/unpack.XXXXXX")
    tar -C "$scratch" -xJf "$archive"
    [ -f "$scratch/qt6-mingw64/lib/cmake/Qt6/Qt6Config.cmake" ] || {
        rm -rf "$scratch"
        echo "$archive holds no qt6-mingw64/ folder with Qt's CMake files" >&2
        exit 1
    }
    echo "$sum" >"$scratch/qt6-mingw64/.mapeo-archive"
    rm -rf "$qt"
    mv "$scratch/qt6-mingw64" "$qt"
    rm -rf "$scratch"
}

# Qt's base module for mingw-w64, from Debian's qt6-base source package, configured the way
# that builds on Debian 12: OpenGL off (the Windows plugin will not build with dynamic GL),
# every optional module and system library off so that the bundled copies are used, tablet
# events off (Debian's source drops the wintab headers).
build_qt() {
    ensure_packages "${QT_WINDOWS_SOURCE_PACKAGES[@]}"
    local work=$cache/qt6-build
    rm -rf "$work"
    mkdir -p "$work/apt/lists/partial" "$work/apt/parts" "$work/src"
    # The system's own mirrors with deb-src, in an apt configuration of our own: the machine's
    # sources stay as they are.
    local list
    for list in /etc/apt/sources.list.d/*.sources; do
        [ -e "$list" ] || continue
        sed 's/^Types:.*/Types: deb-src/' "$list" >"$work/apt/parts/$(basename "$list")"
    done
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$work/apt/sources.list"
    else
        : >"$work/apt/sources.list"
    fi
    local apt=(-o "Dir::Etc::sourcelist=$work/apt/sources.list"
        -o "Dir::Etc::sourceparts=$work/apt/parts"
        -o "Dir::State::lists=$work/apt/lists"
        -o "Dir::Cache=$work/apt/cache")
    echo "Qt for Windows: fetching Debian's qt6-base source"
    apt-get "${apt[@]}" update -qq
    (cd "$work/src" && apt-get "${apt[@]}" source -qq qt6-base)
    local tree
    tree=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
    [ -n "$tree" ] || {
        echo "apt-get source qt6-base gave no source tree" >&2
        exit 1
    }

    local features=()
    for f in opengl dynamicgl opengl_dynamic vulkan egl dbus sql testlib printsupport \
        concurrent xml icu zstd brotli freetype glib libproxy gssapi sctp openssl \
        androiddeployqt tabletevent pkg_config system_zlib system_pcre2 system_png \
        system_jpeg system_harfbuzz system_freetype system_doubleconversion system_libb2; do
        features+=("-DFEATURE_$f=OFF")
    done
    echo "Qt for Windows: building Qt's base module (about half an hour on two cores)"
    cmake -S "$tree" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$work/stage/qt6-mingw64" \
        -DBUILD_SHARED_LIBS=ON -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DINPUT_opengl=no "${features[@]}"
    cmake --build "$work/build"
    cmake --install "$work/build"
    tar -C "$work/stage" -cJf "$qt_archive.part" qt6-mingw64
    mv "$qt_archive.part" "$qt_archive"
    unpack_qt "$qt_archive" "$(sha256sum "$qt_archive" | cut -d' ' -f1)"
    rm -rf "$work"
}

if [ -n "${MAPEO_QT_WINDOWS:-}" ]; then
    [ -f "$MAPEO_QT_WINDOWS" ] || {
        echo "MAPEO_QT_WINDOWS names no file: $MAPEO_QT_WINDOWS" >&2
        exit 1
    }
    sum=$(sha256sum "$MAPEO_QT_WINDOWS" | cut -d' ' -f1)
    if ! qt_ready || [ "$(cat "$qt/.mapeo-archive" 2>/dev/null)" != "$sum" ]; then
        echo "Qt for Windows: unpacking $MAPEO_QT_WINDOWS into $cache"
        unpack_qt "$MAPEO_QT_WINDOWS" "$sum"
    fi
elif ! qt_ready; then
    if [ -f "$qt_archive" ]; then
        unpack_qt "$qt_archive" "$(sha256sum "$qt_archive" | cut -d' ' -f1)"
    else
        build_qt
    fi
fi

build=build-windows
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DMAPEO_QT_PREFIX="$qt" \
    -DCMAKE_PREFIX_PATH=/ -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DMAPEO_WERROR=ON -DMAPEO_TESTS="$tests" -DMAPEO_BENCH=OFF
cmake --build "$build"

# The folder a user unpacks and starts mapeo.exe from.
name=mapeo-windows-x86_64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage"
find "$stage/bin" \( -name '*.dll' -o -name '*.exe' \) \
    -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
mkdir -p dist
rm -rf "dist/$name" "dist/$name.zip"
mv "$stage/bin" "dist/$name"
# Mapeo's licence, and the terms of the Qt and mingw-w64 runtime libraries that come with it,
# as Debian states them for the sources these were built from.
cp LICENSE "dist/$name/LICENSE.txt"
mkdir "dist/$name/licencias"
cp /usr/share/doc/libqt6core6/copyright "dist/$name/licencias/Qt6.txt"
cp /usr/share/common-licenses/LGPL-3 "dist/$name/licencias/LGPL-3.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "dist/$name/licencias/libstdc++-libgcc.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "dist/$name/licencias/winpthreads.txt"
(cd dist && cmake -E tar cf "$name.zip" --format=zip "$name")
echo "Built dist/$name.zip ($(du -h "dist/$name.zip" | cut -f1))"
