#!/usr/bin/env bash
# Installs the built package into a clean Debian 12 root that mmdebstrap makes from
# deb.debian.org, runs the program there, then removes and purges it. Run as root.
#   install_test.sh SOURCE_DIR          the test (exit 77: it cannot run on this machine)
#   install_test.sh --probe SOURCE_DIR  only says whether it can run, and why not
# The package is SOURCE_DIR/dist/mapeo_<version>_<arch>.deb (bash scripts/package.sh).
# Only apt talks to the mirror; the program itself runs in a network namespace of its own
# with nothing but loopback. The root lives in a temporary folder that mmdebstrap removes.
set -uo pipefail

probe=0
if [ "${1:-}" = --probe ]; then
    probe=1
    shift
fi
src="$(cd "${1:?usage: install_test.sh [--probe] SOURCE_DIR}" && pwd)"
suite=bookworm
mirror=http://deb.debian.org

cannot_run() {
    [ "$(id -u)" = 0 ] || { echo "it needs root (mmdebstrap's root mode, unshare)"; return; }
    command -v mmdebstrap >/dev/null || { echo "mmdebstrap is not installed"; return; }
    # The root needs mounts (proc, sys, dev) and the program a network namespace.
    unshare --mount --net true 2>/dev/null ||
        { echo "this machine allows no mount or network namespaces"; return; }
    local probe_dir
    probe_dir="$(mktemp -d)"
    timeout 20 /usr/lib/apt/apt-helper download-file "$mirror/debian/dists/$suite/InRelease" \
        "$probe_dir/InRelease" >/dev/null 2>&1 || echo "$mirror cannot be reached"
    rm -rf "$probe_dir"
}

version="$(cd "$src" && dpkg-parsechangelog -SVersion)"
deb="$src/dist/mapeo_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
reason="$(cannot_run)"
[ -f "$deb" ] || reason="${reason:-$deb is not built (bash scripts/package.sh builds it)}"
if [ "$probe" = 1 ]; then
    [ -z "$reason" ] && exit 0
    echo "$reason"
    exit 77
fi
[ -n "$reason" ] && { echo "install test skipped: $reason"; exit 77; }

log="$(mktemp /tmp/mapeo-install-test.XXXXXX.log)"
trap 'rm -f "$log"' EXIT
start=$SECONDS
# The checks run inside the root, after apt has installed the package there.
if mmdebstrap --mode=root --variant=apt --format=null \
    --customize-hook="copy-in '$deb' /tmp" \
    --customize-hook="copy-in '$src/tests/package/in_root.sh' /tmp" \
    --customize-hook="chroot \"\$1\" sh /tmp/in_root.sh '/tmp/$(basename "$deb")'" \
    "$suite" /dev/null \
    "deb $mirror/debian $suite main" \
    "deb $mirror/debian $suite-updates main" \
    "deb $mirror/debian-security $suite-security main" >"$log" 2>&1; then
    grep -E '^(ok|FAIL) ' "$log"
    echo "install test passed in $((SECONDS - start)) s"
    exit 0
fi
grep -E '^(ok|FAIL) ' "$log"
echo "--- end of the install log ---"
tail -n 40 "$log"
echo "install test FAILED after $((SECONDS - start)) s"
exit 1
