#!/usr/bin/env bash
# Checks the built Debian package without installing it: its contents, lintian, the desktop
# entry and AppStream metadata, the version the program reports, the sign-in entry it writes,
# and that only the echo helper is ever given a capability.
#   check_package.sh SOURCE_DIR   (the package is SOURCE_DIR/dist/mapeo_<version>_<arch>.deb)
# Exit 77 when the package has not been built (bash scripts/package.sh builds it).
set -uo pipefail

src="$(cd "${1:?usage: check_package.sh SOURCE_DIR}" && pwd)"
version="$(cd "$src" && dpkg-parsechangelog -SVersion)"
deb="$src/dist/mapeo_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
if [ ! -f "$deb" ]; then
    echo "package check skipped: $deb is not built (bash scripts/package.sh builds it)"
    exit 77
fi
helper=usr/libexec/mapeo/mapeo-echo
app_id=example.mapeo.Mapeo

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$work/control"

failed=0
check() {  # WHAT COMMAND...
    if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failed=1; fi
}

echo "== $(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb -c "$deb" | awk '{print "   ", $1, $3, $6}'

has_all() {
    local f
    for f in usr/bin/mapeo "$helper" "usr/share/applications/$app_id.desktop" \
        "usr/share/metainfo/$app_id.metainfo.xml" usr/share/icons/hicolor/scalable/apps/mapeo.svg \
        usr/share/man/man1/mapeo.1.gz usr/share/doc/mapeo/copyright; do
        [ -f "$root/$f" ] || { echo "     missing: $f"; return 1; }
    done
    for f in 48 256; do  # a PNG's width and height: big-endian words at bytes 16 and 20
        [ "$(od -An -tu4 --endian=big -j16 -N8 "$root/usr/share/icons/hicolor/${f}x$f/apps/mapeo.png" |
            tr -s ' ')" = " $f $f" ] || { echo "     no $f-pixel icon"; return 1; }
    done
    [ "$(ls "$root")" = usr ] || { echo "     something outside /usr"; return 1; }
}
check "the package holds, under /usr only, the program and helper, menu entry, metadata, icons, manual and copyright" has_all
check "no file is setuid or setgid" test -z "$(find "$root" -perm /6000)"
# The one file that gets a capability must stay free of Qt and its plugins.
helper_plain() { ! readelf -d "$root/$helper" | grep -q 'NEEDED.*libQt'; }
check "the echo helper loads no Qt" helper_plain

check "lintian reports no errors" lintian --fail-on error "$deb"
check "the menu entry is valid" desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
check "the metadata and the menu entry it launches are valid" \
    appstreamcli validate-tree --no-net "$root"
manual_clean() {
    local warnings
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
        "$root/usr/share/man/man1/mapeo.1.gz" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || { echo "$warnings"; return 1; }
}
check "the manual page formats without warnings" manual_clean

# The packaged program itself, against a configuration folder of the test's own.
program="$root/usr/bin/mapeo"
check "mapeo --version names the package's version, $version" \
    test "$("$program" --version)" = "mapeo $version"
sign_in_entry() {
    local entry="$work/config/autostart/mapeo-reconectar.desktop"
    XDG_CONFIG_HOME="$work/config" "$program" --al-iniciar >/dev/null &&
        desktop-file-validate "$entry" && grep -qx 'Exec=mapeo --reconectar' "$entry"
}
check "mapeo --al-iniciar writes a valid sign-in entry" sign_in_entry

# The maintainer scripts, run against a setcap that only records its arguments, with and
# without a helper in place: /usr/libexec is a scratch tmpfs in a mount namespace of their own.
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "setcap $*" >>"$SETCAP_CALLS"\nexit "${SETCAP_STATUS:-0}"\n' >"$work/bin/setcap"
chmod +x "$work/bin/setcap"
# expect_run "SETCAP CALLS;exit N" SCRIPT ARGUMENT WITH_HELPER(0|1) SETCAP_STATUS
expect_run() {
    : >"$work/calls"
    SETCAP_CALLS="$work/calls" SETCAP_STATUS="$5" PATH="$work/bin:$PATH" \
        unshare --mount --map-root-user sh -c '
            mount -t tmpfs scratch /usr/libexec || exit 99
            if [ "$3" = 1 ]; then mkdir /usr/libexec/mapeo && : >/usr/libexec/mapeo/mapeo-echo; fi
            sh "$1" "$2" 2>/dev/null
            status=$?
            if [ -u /usr/libexec/mapeo/mapeo-echo ]; then echo "setuid helper" >>"$SETCAP_CALLS"; fi
            exit $status' sh "$work/control/$2" "$3" "$4"
    local got="exit $?"
    got="$(tr '\n' ';' <"$work/calls")$got"
    [ "$got" = "$1" ] || { echo "     ${*:2}: got [$got], expected [$1]"; return 1; }
}
set_cap="setcap cap_net_raw+ep /$helper;"
drop_cap="setcap -r /$helper;"
check "postinst gives cap_net_raw to the echo helper and to nothing else" \
    expect_run "${set_cap}exit 0" postinst configure 1 0
check "postinst passes over a missing helper" expect_run "exit 0" postinst configure 0 0
check "postinst still succeeds when setcap fails, and sets no setuid instead" \
    expect_run "${set_cap}exit 0" postinst configure 1 1
check "prerm takes the capability off the helper before dpkg removes it" \
    expect_run "${drop_cap}exit 0" prerm remove 1 0
check "prerm takes the capability off the helper before dpkg replaces it" \
    expect_run "${drop_cap}exit 0" prerm upgrade 1 0
check "prerm passes over a missing helper" expect_run "exit 0" prerm remove 0 0
check "no file of the package carries a capability of its own" \
    test -z "$(getcap -r "$root" 2>/dev/null)"

exit "$failed"
