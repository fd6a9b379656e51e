#!/usr/bin/env bash
# Installs the built package into a copy of the clean Debian 12 root that install_root.sh keeps,
# runs in_root.sh there, and shows its verdicts. Namespaces of its own: a network with nothing
# but loopback, so apt has only what the root holds and the declared dependencies must do; and
# mount and process namespaces, so nothing it mounts or starts outlives it. Run as root.
#   install_test.sh SOURCE_DIR   (exit 77: it cannot run here, or no root is kept)
set -uo pipefail

src="$(cd "${1:?usage: install_test.sh SOURCE_DIR}" && pwd)"
here="$(dirname "$0")"

skip() { echo "install test skipped: $*" && exit 77; }

version="$(cd "$src" && dpkg-parsechangelog -SVersion)"
deb="$src/dist/mapeo_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
[ -f "$deb" ] || skip "$deb is not built (bash scripts/package.sh builds it)"
[ "$(id -u)" = 0 ] || skip "it needs root (a chroot, namespaces, dpkg)"
unshare --mount --net --pid --fork true 2>/dev/null ||
    skip "this machine allows no mount, network or process namespaces"
tarball="$(bash "$here/install_root.sh" path "$src")"
[ -f "$tarball" ] || skip "no clean root is kept for this package's dependencies" \
    "(bash scripts/test.sh makes it while it installs what the tests need)"

work="$(mktemp -d /var/tmp/mapeo-install-test.XXXXXX)"
trap 'rm -rf --one-file-system "$work"' EXIT
start=$SECONDS
mkdir "$work/root"
tar -xf "$tarball" -C "$work/root"
cp "$deb" "$here/in_root.sh" "$work/root/tmp/"
# /proc, /sys and terminals of the new namespaces; they go when the namespaces do.
# shellcheck disable=SC2016
unshare --mount --net --pid --fork --kill-child -- sh -c '
        ip link set lo up 2>/dev/null
        mount -t proc proc "$1/proc" && mount -t sysfs sysfs "$1/sys" &&
            mount -t devpts -o newinstance,ptmxmode=0666 devpts "$1/dev/pts" &&
            exec chroot "$1" sh /tmp/in_root.sh "/tmp/$2"' \
    sh "$work/root" "$(basename "$deb")" >"$work/log" 2>&1
status=$?
grep -E '^(ok|FAIL) ' "$work/log"
[ "$status" = 0 ] && echo "install test passed in $((SECONDS - start)) s" && exit 0
echo "--- end of the install log ---"
tail -n 40 "$work/log"
echo "install test FAILED after $((SECONDS - start)) s"
exit 1
