#!/usr/bin/env bash
# The clean Debian 12 root that install_test.sh puts the package into: made by mmdebstrap from
# deb.debian.org with exactly the built package's Pre-Depends and Depends (not Recommends), and
# kept in ~/.cache/mapeo/ under a key of those, so it is made again only when they change.
# scripts/test.sh makes it as set-up; the test itself has no network. Run as root.
#   install_root.sh prepare SOURCE_DIR  makes it unless kept; if it cannot, says why in one line
#   install_root.sh path SOURCE_DIR     where it is kept for the built package
set -euo pipefail

usage="usage: install_root.sh prepare|path SOURCE_DIR"
mode="${1:?$usage}"
src="$(cd "${2:?$usage}" && pwd)"
suite=bookworm
mirror=http://deb.debian.org
arch="$(dpkg-architecture -qDEB_HOST_ARCH)"
deb="$src/dist/mapeo_$(cd "$src" && dpkg-parsechangelog -SVersion)_$arch.deb"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/mapeo"

[ -f "$deb" ] || { echo "$deb is not built (bash scripts/package.sh builds it)" >&2; exit 1; }

# One relation a line, sorted, so that the key does not change with debhelper's order.
dependencies() {
    { dpkg-deb -f "$deb" Pre-Depends; dpkg-deb -f "$deb" Depends; } | tr ',' '\n' |
        sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' -e '/^$/d' | sort -u
}

key="$(printf '%s\n' "$suite" "$arch" "$(dependencies)" | sha256sum | cut -c1-16)"
tarball="$cache/install-root-$suite-$arch-$key.tar"

case "$mode" in
path) echo "$tarball" && exit 0 ;;
prepare) ;;
*) echo "$usage" >&2 && exit 2 ;;
esac

not_prepared() {
    echo "Install test root not prepared ($*): the install test will be skipped."
    exit 0
}

[ ! -f "$tarball" ] || { echo "Install test root: kept in $tarball" && exit 0; }
[ "$(id -u)" = 0 ] || not_prepared "mmdebstrap's root mode needs root"
command -v mmdebstrap >/dev/null || not_prepared "mmdebstrap is not installed"
probe="$(mktemp)"
timeout 20 /usr/lib/apt/apt-helper download-file "$mirror/debian/dists/$suite/InRelease" \
    "$probe" >/dev/null 2>&1 || { rm -f "$probe" && not_prepared "$mirror cannot be reached"; }
rm -f "$probe"

mkdir -p "$cache"
work="$(mktemp -d "$cache/.install-root.XXXXXX")"
trap 'rm -rf "$work"' EXIT
dependencies >"$work/dependencies"
echo "Install test root: making it from $mirror with $(wc -l <"$work/dependencies") dependencies"
start=$SECONDS
# apt-get satisfy takes the relations as they stand, versions and alternatives included.
satisfy='chroot "$1" env DEBIAN_FRONTEND=noninteractive apt-get satisfy -y -q'
satisfy+=' --no-install-recommends "$(paste -sd, "$1/tmp/dependencies")"'
if ! mmdebstrap --mode=root --variant=apt --format=tar \
    --customize-hook="copy-in '$work/dependencies' /tmp" \
    --customize-hook="$satisfy" \
    --customize-hook='rm "$1/tmp/dependencies"' \
    "$suite" "$work/root.tar" \
    "deb $mirror/debian $suite main" \
    "deb $mirror/debian $suite-updates main" \
    "deb $mirror/debian-security $suite-security main" >"$work/log" 2>&1; then
    tail -n 40 "$work/log"
    echo "Install test root: mmdebstrap FAILED after $((SECONDS - start)) s" >&2
    exit 1
fi
# One root is kept: those made for other dependencies are of no further use.
rm -f "$cache"/install-root-*.tar
mv "$work/root.tar" "$tarball"
echo "Install test root: made in $((SECONDS - start)) s, $(du -h "$tarball" | cut -f1) in $tarball"
