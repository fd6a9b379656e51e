#!/usr/bin/env bash
# Runs COMMAND (the Windows build's ctest, the screenshot script) in a Wine session of its own:
# a fresh 64-bit prefix, an Xvfb display, one wineserver for all its programs. As root it runs
# in a network namespace with only loopback and unprivileged ICMP sockets (Wine's echoes), as
# MAPEO_WINE_USER when set; all it made goes when it ends. Inside, MAPEO_WINE_SESSION=1,
# MAPEO_WINE_ICMP=1 where echoes may be sent, and MAPEO_WINE_SHARE names \\mapeo-pc\compartida.
#   [MAPEO_WINE_USER=NAME] wine_session.sh COMMAND [ARG...]
set -euo pipefail
self=$(readlink -f "$0")

inner() {
    export WINEPREFIX="$MAPEO_WINE_DIR/prefix" WINEARCH=win64 WINEDEBUG=-all
    # No Mono or Gecko installers: nothing here needs .NET or a browser engine.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export HOME="$MAPEO_WINE_DIR/home" MAPEO_WINE_SESSION=1
    mkdir -p "$HOME" "$WINEPREFIX"
    wineserver -p
    wine wineboot -i >/dev/null 2>&1
    # A prefix has none of Windows' fonts: Qt would fall back to a symbols font and draw
    # nothing. Windows' names go to DejaVu Sans, which every Debian with fontconfig has.
    cat >"$MAPEO_WINE_DIR/fonts.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="DejaVu Sans"
"Microsoft Sans Serif"="DejaVu Sans"
"MS Sans Serif"="DejaVu Sans"
"MS Shell Dlg"="DejaVu Sans"
"MS Shell Dlg 2"="DejaVu Sans"
"Segoe UI"="DejaVu Sans"
"Tahoma"="DejaVu Sans"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"FontSmoothing"="2"
"FontSmoothingType"=dword:00000002
REG
    wine regedit "$MAPEO_WINE_DIR/fonts.reg" >/dev/null 2>&1
    # \\mapeo-pc\compartida is this folder to Wine.
    local share="$WINEPREFIX/dosdevices/unc/mapeo-pc/compartida"
    mkdir -p "$share/Sub"
    touch "$share/a.txt" "$share/b.txt"
    export MAPEO_WINE_SHARE='\\mapeo-pc\compartida'
    local rc=0
    "$@" || rc=$?
    wineserver -k || true
    wineserver -w || true
    return "$rc"
}

as_user() {  # as MAPEO_WINE_USER where one is named
    if [ -n "${MAPEO_WINE_USER:-}" ]; then
        setpriv --reuid="$MAPEO_WINE_USER" --regid="$MAPEO_WINE_USER" --init-groups -- "$@"
    else "$@"; fi
}

displayed() {
    as_user env MAPEO_WINE_DIR="$MAPEO_WINE_DIR" \
        xvfb-run -a -s "-screen 0 1280x1024x24" "$self" --inner "$@"
}

case "${1:-}" in
    --inner) shift; inner "$@"; exit ;;
    --namespace)
        ip link set lo up
        sysctl -qw net.ipv4.ping_group_range="0 2147483647"
        shift; MAPEO_WINE_ICMP=1 displayed "$@"; exit ;;
    "") echo "usage: [MAPEO_WINE_USER=NAME] $0 COMMAND [ARG...]" >&2; exit 2 ;;
esac

MAPEO_WINE_DIR=$(mktemp -d /tmp/mapeo-wine.XXXXXX)
export MAPEO_WINE_DIR
# The wineserver ends with the session even when the command did not get to stop it.
cleanup() {
    as_user env WINEPREFIX="$MAPEO_WINE_DIR/prefix" wineserver -k 2>/dev/null || true
    rm -rf "$MAPEO_WINE_DIR"
}
trap cleanup EXIT
[ -z "${MAPEO_WINE_USER:-}" ] || chown "$MAPEO_WINE_USER:" "$MAPEO_WINE_DIR"

if [ "$(id -u)" -eq 0 ] && unshare --net true 2>/dev/null; then
    unshare --net -- "$self" --namespace "$@"
else
    echo "wine_session: not root, or no network namespaces: the echo tests are skipped"
    displayed "$@"
fi
