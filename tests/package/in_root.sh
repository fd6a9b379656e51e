#!/bin/sh
# Runs inside the copy of the clean Debian root that install_test.sh makes, with no network but
# loopback: installs the package with apt from what the root holds, runs the program as an
# ordinary user, checks the capabilities, then removes and purges the package.
#   in_root.sh PACKAGE.deb VERSION
set -u
deb="$1"
version="$2"
helper=/usr/libexec/mapeo/mapeo-echo
failed=0

check() {
    what="$1"
    shift
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        failed=1
    fi
}

# As nobody, with a home of its own.
as_user() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}

check "there is no network here but loopback" test "$(ls /sys/class/net)" = lo
export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends "$deb" || {
    echo "FAIL apt installs the package, offline, with the dependencies it declares"
    exit 1
}
echo "ok   apt installs the package, offline, with the dependencies it declares"

home="$(mktemp -d)"
mkdir -p "$home/.config/mapeo"
{
    printf '[UNIDADES]\r\n'
    n=1
    for device in J: K: L: M: N: O: P: Q: R: LPT1: LPT2: LPT3:; do
        printf 'UNIDAD%s=\\\\servidor\\recurso%s\r\nLETRA%s=%s\r\nMAPEAR%s=0\r\n' \
            "$n" "$n" "$n" "$device" "$n"
        n=$((n + 1))
    done
} >"$home/.config/mapeo/MAPEO.INI"
chown -R nobody:nogroup "$home"

check "mapeo --version names $version" test "$(mapeo --version)" = "mapeo $version"
check "mapeo --reconectar with no marked rows ends with 0 and no display" \
    as_user mapeo --reconectar
check "mapeo --reconectar --al-iniciar adds the sign-in entry" \
    as_user mapeo --reconectar --al-iniciar
check "the sign-in entry is in the user's autostart folder" \
    test -f "$home/.config/autostart/mapeo-reconectar.desktop"
check "the menu entry, icon and metadata are in place" test -f \
    /usr/share/applications/example.mapeo.Mapeo.desktop -a -f \
    /usr/share/icons/hicolor/scalable/apps/mapeo.svg -a -f \
    /usr/share/metainfo/example.mapeo.Mapeo.metainfo.xml
check "mapeo carries no capability" test -z "$(getcap /usr/bin/mapeo)"
check "mapeo is neither setuid nor setgid" test ! -u /usr/bin/mapeo -a ! -g /usr/bin/mapeo
helper_capable() { getcap "$helper" | grep -Eq "^$helper cap_net_raw[=+]ep\$"; }
check "the echo helper has cap_net_raw and nothing more" helper_capable
# prerm takes the capability off, dpkg puts a new file in place, postinst sets it again.
apt-get install -y --reinstall "$deb" >/dev/null 2>&1
check "the echo helper keeps cap_net_raw across a reinstall" helper_capable

apt-get remove -y mapeo >/dev/null 2>&1
check "apt removes the program" test ! -e /usr/bin/mapeo -a ! -e "$helper"
check "removing leaves the user's mapping file" test -f "$home/.config/mapeo/MAPEO.INI"
check "removing leaves the user's sign-in entry" \
    test -f "$home/.config/autostart/mapeo-reconectar.desktop"
apt-get purge -y mapeo >/dev/null 2>&1
check "purging makes dpkg forget the package" \
    sh -c '! dpkg-query -W -f="\${db:Status-Abbrev}\n" mapeo 2>/dev/null | grep -q "^[ihr]"'
check "purging leaves no folder of the package" test ! -e /usr/libexec/mapeo
check "purging leaves the user's mapping file" test -f "$home/.config/mapeo/MAPEO.INI"

rm -rf "$home"
exit "$failed"
