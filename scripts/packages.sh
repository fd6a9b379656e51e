# Debian packages Mapeo needs, and a helper that installs only the missing ones.
# Sourced by start.sh and test.sh.

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libsmbclient-dev libglib2.0-dev
    libcups2-dev libc-ares-dev libcap-dev)
# What connecting drives and printer ports, and pinging without root (setcap on the echo
# helper), use on a desktop.
RUN_PACKAGES=(gvfs gvfs-backends gvfs-fuse smbclient cups-client libcap2-bin)
# Servers and tools the tests start themselves, and fping, which the benchmarks measure beside
# the scans.
TEST_PACKAGES=(libgtest-dev libgmock-dev samba smbclient cups-daemon dbus-daemon gvfs-daemons
    gvfs-backends gvfs-fuse fuse3 dnsmasq-base iproute2 iputils-ping procps psmisc xvfb xauth
    fping)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get -o DPkg::Lock::Timeout=900 update -qq
    # Package scripts must not start their own smbd, nmbd or cupsd: the tests run their own.
    as_root env DEBIAN_FRONTEND=noninteractive RUNLEVEL=1 \
        apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}"
}
