#!/bin/sh
# Runs inside the copy of the clean Debian root that install_test.sh makes, with no network but
# loopback: installs the package with apt from what the root holds, runs the program as an
# ordinary user, checks the capabilities, then removes and purges the package. (What the
# package holds, check_package.sh checks.)
#   in_root.sh PACKAGE.deb
set -u
deb="$1"
helper=/usr/libexec/mapeo/mapeo-echo
failed=0
check() {
    what="$1"
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what" && failed=1 && return 1; fi
}
# As nobody, with a home of its own.
as_user() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}

check "there is no network here but loopback" test "$(ls /sys/class/net)" = lo
export DEBIAN_FRONTEND=noninteractive
check "apt installs the package, offline, with the dependencies it declares" \
    apt-get install -y --no-install-recommends "$deb" || exit 1

home="$(mktemp -d)"
mkdir -p "$home/.config/mapeo"
printf '[UNIDADES]\r\nUNIDAD1=\\\\servidor\\recurso\r\nLETRA1=J:\r\nMAPEAR1=0\r\n' \
    >"$home/.config/mapeo/MAPEO.INI"
chown -R nobody:nogroup "$home"
check "mapeo --reconectar with no marked rows ends with 0, with no display, and adds the sign-in entry" \
    as_user mapeo --reconectar --al-iniciar
check "the sign-in entry is in the user's autostart folder" \
    test -f "$home/.config/autostart/mapeo-reconectar.desktop"
check "mapeo carries no capability, no setuid, no setgid" \
    test -z "$(getcap /usr/bin/mapeo)" -a ! -u /usr/bin/mapeo -a ! -g /usr/bin/mapeo
helper_capable() { getcap "$helper" | grep -Eq "^$helper cap_net_raw[=+]ep\$"; }
check "the echo helper has cap_net_raw and nothing more" helper_capable
# prerm takes the capability off, dpkg puts a new file in place, postinst sets it again.
apt-get install -y --reinstall "$deb" >/dev/null 2>&1
check "the echo helper keeps cap_net_raw across a reinstall" helper_capable

apt-get remove -y mapeo >/dev/null 2>&1
check "apt removes the program" test ! -e /usr/bin/mapeo -a ! -e "$helper"
check "removing leaves the user's mapping file and sign-in entry" test -f \
    "$home/.config/mapeo/MAPEO.INI" -a -f "$home/.config/autostart/mapeo-reconectar.desktop"
apt-get purge -y mapeo >/dev/null 2>&1
check "purging makes dpkg forget the package" \
    sh -c '! dpkg-query -W -f="\${db:Status-Abbrev}\n" mapeo 2>/dev/null | grep -q "^[ihr]"'
check "purging leaves no folder of the package" test ! -e /usr/libexec/mapeo
check "purging leaves the user's mapping file" test -f "$home/.config/mapeo/MAPEO.INI"
rm -rf "$home"
exit "$failed"
