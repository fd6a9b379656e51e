#!/bin/sh
# Runs inside the clean Debian root of install_test.sh: installs the package with apt, runs the
# program as an ordinary user, checks the capabilities, then removes and purges the package.
# (What the package holds, check_package.sh checks without installing it.)
#   in_root.sh PACKAGE.deb
set -u
deb="$1"
helper=/usr/libexec/mapeo/mapeo-echo
failed=0
check() {  # WHAT COMMAND...
    what="$1"
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failed=1; return 1; fi
}

export DEBIAN_FRONTEND=noninteractive
check "apt installs the package with what it depends on" \
    apt-get install -y --no-install-recommends "$deb" || exit 1

home="$(mktemp -d)"
mkdir -p "$home/.config/mapeo"
printf '[UNIDADES]\r\nUNIDAD1=\\\\servidor\\recurso\r\nLETRA1=J:\r\nMAPEAR1=0\r\n' \
    >"$home/.config/mapeo/MAPEO.INI"
chown -R nobody:nogroup "$home"
# As nobody, in a network namespace with loopback only, with no display.
check "mapeo --reconectar with no marked rows ends with 0 for an ordinary user" \
    unshare --net -- setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 mapeo --reconectar
check "mapeo carries no capability" test -z "$(getcap /usr/bin/mapeo)"
check "mapeo is neither setuid nor setgid" test ! -u /usr/bin/mapeo -a ! -g /usr/bin/mapeo
helper_capable() { getcap "$helper" | grep -Eq "^$helper cap_net_raw[=+]ep\$"; }
check "the echo helper has cap_net_raw and nothing more" helper_capable
# prerm takes the capability off, dpkg puts a new file in place, postinst sets it again.
apt-get install -y --reinstall "$deb" >/dev/null 2>&1
check "the echo helper keeps cap_net_raw across a reinstall" helper_capable

apt-get remove -y mapeo >/dev/null 2>&1
check "apt removes the program" test ! -e /usr/bin/mapeo -a ! -e "$helper"
apt-get purge -y mapeo >/dev/null 2>&1
check "purging makes dpkg forget the package" \
    sh -c '! dpkg-query -W -f="\${db:Status-Abbrev}\n" mapeo 2>/dev/null | grep -q "^[ihr]"'
check "purging leaves no folder of the package" test ! -e /usr/libexec/mapeo
check "removing and purging leave the user's mapping file" test -f "$home/.config/mapeo/MAPEO.INI"

rm -rf "$home"
exit "$failed"
