#!/usr/bin/env bash
# Runs a command (the Windows build's ctest, a screenshot script) in a Wine session of its
# own: a fresh 64-bit prefix, an Xvfb display for Qt's Windows platform, and a wineserver kept
# running between the programs. As root the session lives in a private network namespace with
# only loopback, where unprivileged ICMP sockets are open (Wine sends echoes through them),
# and runs as the user named by --user. Everything it made is removed when it ends.
#
#   wine_session.sh [--user NAME] [--] COMMAND [ARG...]
#
# Inside, MAPEO_WINE_SESSION=1; MAPEO_WINE_ICMP=1 where echoes may be sent; MAPEO_WINE_SHARE
# names a share (\\mapeo-pc\compartida) that Wine keeps as a folder of the prefix.
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
    echo a >"$share/a.txt"
    echo b >"$share/b.txt"
    export MAPEO_WINE_SHARE='\\mapeo-pc\compartida'
    local rc=0
    "$@" || rc=$?
    wineserver -k || true
    wineserver -w || true
    return "$rc"
}

in_namespace() {
    ip link set lo up
    sysctl -qw net.ipv4.ping_group_range="0 2147483647"
    export MAPEO_WINE_ICMP=1
    displayed "$@"
}

displayed() {
    local run=(xvfb-run -a -s "-screen 0 1280x1024x24" "$self" --inner "$@")
    if [ -n "${MAPEO_WINE_USER:-}" ]; then
        setpriv --reuid="$MAPEO_WINE_USER" --regid="$MAPEO_WINE_USER" --init-groups -- \
            env MAPEO_WINE_DIR="$MAPEO_WINE_DIR" "${run[@]}"
    else
        "${run[@]}"
    fi
}

case "${1:-}" in
    --inner)
        shift
        inner "$@"
        exit
        ;;
    --namespace)
        shift
        in_namespace "$@"
        exit
        ;;
esac

user=""
while [ $# -gt 0 ]; do
    case "$1" in
        --user)
            user="$2"
            shift 2
            ;;
        --)
            shift
            break
            ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || {
    echo "usage: $0 [--user NAME] [--] COMMAND [ARG...]" >&2
    exit 2
}

MAPEO_WINE_DIR=$(mktemp -d /tmp/mapeo-wine.XXXXXX)
export MAPEO_WINE_DIR
cleanup() {
    if [ -n "$user" ]; then
        setpriv --reuid="$user" --regid="$user" --init-groups -- \
            env WINEPREFIX="$MAPEO_WINE_DIR/prefix" wineserver -k 2>/dev/null || true
    else
        WINEPREFIX="$MAPEO_WINE_DIR/prefix" wineserver -k 2>/dev/null || true
    fi
    rm -rf "$MAPEO_WINE_DIR"
}
trap cleanup EXIT
if [ -n "$user" ]; then
    chown "$user:" "$MAPEO_WINE_DIR"
    export MAPEO_WINE_USER="$user"
fi

if [ "$(id -u)" -eq 0 ] && unshare --net true 2>/dev/null; then
    unshare --net -- "$self" --namespace "$@"
else
    echo "wine_session: not root, or no network namespaces: the echo test is skipped"
    displayed "$@"
fi
