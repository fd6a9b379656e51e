# Debian packages Mapeo needs, and a helper that installs only the missing ones.
# Sourced by start.sh and test.sh.

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libsmbclient-dev libglib2.0-dev
    libcups2-dev libc-ares-dev libavahi-client-dev librsvg2-bin libcap-dev libsecret-1-dev
    libkrb5-dev)
# Building the Debian package and checking it (scripts/package.sh, the package tests); the
# clean Debian root the install test uses is made with mmdebstrap (tests/package/install_root.sh).
PACKAGE_PACKAGES=(debhelper dpkg-dev lintian desktop-file-utils appstream libcap2-bin)
INSTALL_TEST_PACKAGES=(mmdebstrap)
# What connecting drives and printer ports, pinging without root (setcap on the echo helper),
# and finding servers that announce themselves through DNS-SD use on a desktop; the keyring
# keeps the passwords the user asks to remember.
RUN_PACKAGES=(gvfs gvfs-backends gvfs-fuse smbclient cups-client libcap2-bin avahi-daemon
    gnome-keyring)
# Servers and tools the tests start themselves (a Samba AD domain controller for Kerberos), and
# fping, which the benchmarks measure beside the scans.
TEST_PACKAGES=(libgtest-dev libgmock-dev samba smbclient cups-daemon dbus-daemon gvfs-daemons
    gvfs-backends gvfs-fuse fuse3 dnsmasq-base iproute2 iputils-ping procps psmisc xvfb xauth
    wsdd avahi-daemon avahi-utils python3 fping
    gnome-keyring libsecret-tools krb5-user samba-ad-dc samba-ad-provision winbind)
# The Windows build (scripts/build-windows.sh): the mingw-w64 cross compiler, Debian's Qt host
# tools (moc, rcc, uic) and xz for Qt's archive; GoogleTest's sources for the Windows tests.
WINDOWS_BUILD_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix qt6-base-dev
    qt6-base-dev-tools xz-utils)
WINDOWS_TEST_BUILD_PACKAGES=(googletest)
# Building Qt for Windows from Debian's qt6-base source, when no ready build is given.
QT_WINDOWS_SOURCE_PACKAGES=(dpkg-dev)
# Running the Windows tests under Wine (scripts/test-windows.sh), headless, in a network
# namespace of their own.
WINDOWS_TEST_PACKAGES=(wine wine64 xvfb xauth iproute2 procps)
# Screenshots of the windows under Wine (scripts/windows-screenshots.sh).
WINDOWS_SCREENSHOT_PACKAGES=(imagemagick xdotool)

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
    # Package scripts must not start their own daemons: the tests run their own smbd, nmbd,
    # cupsd, wsdd and avahi-daemon inside namespaces, and an avahi-daemon or wsdd started here
    # would speak multicast on this machine's own network. A policy-rc.d that refuses every
    # start stands in for the duration of the install, unless the one in place already
    # refuses (as in containers); one that would allow starts is put back afterwards.
    local policy=/usr/sbin/policy-rc.d saved="" made="" rc=0
    if ! { [ -x "$policy" ] && { "$policy" avahi-daemon start >/dev/null 2>&1; [ $? -eq 101 ]; }; }; then
        if [ -e "$policy" ]; then
            saved="$policy.mapeo-saved"
            as_root mv "$policy" "$saved"
        fi
        printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null
        as_root chmod 755 "$policy"
        made=1
    fi
    as_root env DEBIAN_FRONTEND=noninteractive RUNLEVEL=1 \
        apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" ||
        rc=$?
    if [ -n "$made" ]; then
        as_root rm -f "$policy"
        [ -z "$saved" ] || as_root mv "$saved" "$policy"
    fi
    return "$rc"
}
