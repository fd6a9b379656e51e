#!/usr/bin/env bash
# Builds the Debian package dist/mapeo_<version>_<arch>.deb from this tree with debhelper.
# Installs the Debian packages it needs (through sudo when not run as root); safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"

start=$SECONDS
version="$(dpkg-parsechangelog -SVersion)"
arch="$(dpkg-architecture -qDEB_HOST_ARCH)"
deb="mapeo_${version}_${arch}.deb"
work="$(mktemp -d /tmp/mapeo-package.XXXXXX)"
trap 'rm -rf "$work"' EXIT

# dpkg-buildpackage writes its results beside the source tree, so it builds a copy in a
# folder of its own: the checked-in and new files, not build folders or earlier packages.
src="$work/mapeo-$version"
mkdir "$src"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
        tar --null -T - -cf - | tar -xf - -C "$src"
else
    tar --exclude='./build*' --exclude=./dist --exclude=./.git -cf - . | tar -xf - -C "$src"
fi

(cd "$src" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" \
    dpkg-buildpackage --build=binary --no-sign) >"$work/build.log" 2>&1 || {
    tail -n 60 "$work/build.log" >&2
    echo "The package build failed; the end of its log is above." >&2
    exit 1
}

mkdir -p dist
rm -f dist/mapeo_*.deb
mv "$work/$deb" "dist/$deb"
echo "dist/$deb: $(stat -c %s "dist/$deb") bytes, built in $((SECONDS - start)) s"
