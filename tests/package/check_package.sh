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
check() {
    local what="$1"
    shift
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        failed=1
    fi
}

echo "== $(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb -c "$deb" | awk '{print "   ", $1, $3, $6}'

has_all() {
    local f
    for f in usr/bin/mapeo "usr/share/applications/$app_id.desktop" \
        usr/share/icons/hicolor/scalable/apps/mapeo.svg \
        usr/share/icons/hicolor/48x48/apps/mapeo.png \
        usr/share/icons/hicolor/256x256/apps/mapeo.png \
        "usr/share/metainfo/$app_id.metainfo.xml" usr/share/man/man1/mapeo.1.gz \
        usr/share/doc/mapeo/copyright; do
        [ -f "$root/$f" ] || { echo "     missing: $f"; return 1; }
    done
}
check "the package holds the program, menu entry, icons, metadata, manual and copyright" has_all
only_usr() { [ "$(ls "$root")" = usr ]; }
check "everything is installed under /usr" only_usr
# Width and height are the big-endian words at bytes 16 and 20 of a PNG.
png_size() {
    local f="$root/usr/share/icons/hicolor/$1x$1/apps/mapeo.png"
    [ "$(od -An -tu1 -j16 -N8 "$f" | tr -s ' ')" = " 0 0 $(($1 / 256)) $(($1 % 256)) 0 0 $(($1 / 256)) $(($1 % 256))" ]
}
check "the bitmap icons are 48 and 256 pixels" eval 'png_size 48 && png_size 256'
no_setid() { [ -z "$(find "$root" -perm /6000)" ]; }
check "no file is setuid or setgid" no_setid
# The one file that gets a capability must stay free of Qt and its plugins.
helper_plain() { [ -f "$root/$helper" ] && ! readelf -d "$root/$helper" | grep -q 'NEEDED.*libQt'; }
check "the package holds the echo helper, which loads no Qt" helper_plain

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
reported_version() { [ "$("$program" --version)" = "mapeo $version" ]; }
check "mapeo --version names the package's version, $version" reported_version
sign_in_entry() {
    local home="$work/home" entry="$work/home/config/autostart/mapeo-reconectar.desktop"
    XDG_CONFIG_HOME="$home/config" "$program" --al-iniciar >/dev/null &&
        desktop-file-validate "$entry" &&
        grep -qx 'Exec=mapeo --reconectar' "$entry" &&
        # With an administrator's entry on this machine, it would write Hidden=true instead.
        XDG_CONFIG_HOME="$home/config" XDG_CONFIG_DIRS="$home/no-system-entries" \
            "$program" --no-al-iniciar >/dev/null &&
        [ ! -e "$entry" ]
}
check "mapeo --al-iniciar writes a valid sign-in entry and --no-al-iniciar removes it" \
    sign_in_entry
refuses() {
    "$program" --desconocida >/dev/null 2>&1
    [ $? = 2 ]
}
check "an unknown option ends with status 2" refuses

# The maintainer scripts run against a setcap that only records its arguments, with and
# without a helper in place: /usr/libexec is a scratch tmpfs in a mount namespace of their own.
mkdir -p "$work/bin"
cat >"$work/bin/setcap" <<'FAKE'
#!/bin/sh
echo "setcap $*" >>"$SETCAP_CALLS"
exit "${SETCAP_STATUS:-0}"
FAKE
chmod +x "$work/bin/setcap"
# run_script SCRIPT ARGUMENT WITH_HELPER(0|1) SETCAP_STATUS: prints the setcap calls, then
# "exit N" with the script's status.
run_script() {
    local calls="$work/calls"
    : >"$calls"
    SETCAP_CALLS="$calls" SETCAP_STATUS="$4" PATH="$work/bin:$PATH" \
        unshare --mount --map-root-user sh -c '
            mount -t tmpfs scratch /usr/libexec || exit 99
            if [ "$3" = 1 ]; then mkdir /usr/libexec/mapeo && : >/usr/libexec/mapeo/mapeo-echo; fi
            sh "$1" "$2" 2>/dev/null
            status=$?
            if [ -u /usr/libexec/mapeo/mapeo-echo ]; then echo "setuid helper"; fi
            exit $status' sh "$work/control/$1" "$2" "$3"
    local status=$?
    cat "$calls"
    echo "exit $status"
}
expect_run() {
    local want="$1"
    shift
    local got
    got="$(run_script "$@")"
    [ "$got" = "$want" ] || { echo "     $*: got [$got], expected [$want]"; return 1; }
}
set_cap="setcap cap_net_raw+ep /$helper"
drop_cap="setcap -r /$helper"
check "postinst gives cap_net_raw to the echo helper and to nothing else" \
    expect_run "$set_cap"$'\n'"exit 0" postinst configure 1 0
check "postinst passes over a missing helper" expect_run "exit 0" postinst configure 0 0
check "postinst still succeeds when setcap fails, and sets no setuid instead" \
    expect_run "$set_cap"$'\n'"exit 0" postinst configure 1 1
prerm_drops() {
    expect_run "$drop_cap"$'\n'"exit 0" prerm remove 1 0 &&
        expect_run "$drop_cap"$'\n'"exit 0" prerm upgrade 1 0
}
check "prerm takes the capability off the helper before dpkg removes or replaces it" prerm_drops
check "prerm passes over a missing helper" expect_run "exit 0" prerm remove 0 0
no_caps_in_tree() { [ -z "$(getcap -r "$root" 2>/dev/null)" ]; }
check "no file of the package carries a capability of its own" no_caps_in_tree

exit "$failed"
