#!/usr/bin/env bash
# Screenshots of the Windows program's windows under Wine, to be looked at by eye: the main
# window, the TCP/IP tester, the browser, and the boxes of a connection that Wine refuses.
#
#   bash scripts/windows-screenshots.sh OUTDIR [mapeo.exe]
#
# It runs in a Wine session of its own (tests/win32/wine_session.sh). The program defaults to
# the unpacked zip of scripts/build-windows.sh, dist/mapeo-windows-x86_64/mapeo.exe. Controls
# are found by their place in the window (Xvfb has no window manager: no frames, no titles).
set -euo pipefail
out=${1:?usage: windows-screenshots.sh OUTDIR [mapeo.exe]}
if [ -z "${MAPEO_WINE_SESSION:-}" ]; then
    source "$(dirname "$0")/packages.sh"
    ensure_packages "${WINDOWS_TEST_PACKAGES[@]}" "${WINDOWS_SCREENSHOT_PACKAGES[@]}"
    out=$(readlink -f "$out")
    mkdir -p "$out"
    chmod a+rwx "$out"
    exec bash "$(dirname "$0")/../tests/win32/wine_session.sh" bash "$(readlink -f "$0")" \
        "$out" "$(readlink -f "${2:-dist/mapeo-windows-x86_64/mapeo.exe}")"
fi
exe=${2:-dist/mapeo-windows-x86_64/mapeo.exe}
mkdir -p "$out"

# The id of the first window whose title matches, once it is there.
wait_window() {
    local id=""
    for _ in $(seq 1 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ] &&
            break
        sleep 0.2
    done
    [ -n "$id" ] || {
        echo "screenshots: no window \"$1\"" >&2
        return 1
    }
    sleep 1 # painted
    echo "$id"
}

shot() {
    import -window root "$out/$1.png"
    echo "$out/$1.png"
}

# Clicks `count` times at x, y inside the window.
click_in() {
    local id=$1 x=$2 y=$3 count=${4:-1}
    eval "$(xdotool getwindowgeometry --shell "$id")"
    xdotool mousemove $((X + x)) $((Y + y)) click --repeat "$count" --delay 80 1
}

wine "$exe" >/dev/null 2>&1 &
program=$!
trap 'kill "$program" 2>/dev/null || true' EXIT

main=$(wait_window "Mapeo de unidades de red")
shot main

# Ticking the first row connects it: Wine has no network provider and answers 1222, so the
# nested disconnection's two boxes come first, then the connection's two.
click_in "$main" 479 100
for n in 1 2 3 4; do
    box=$(wait_window '^(Mapeo|Share not Disconnected|Dispositivo compartido no conectado\.)$')
    shot "message-$n"
    xdotool windowfocus --sync "$box" key Return
    while xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$box"; do
        sleep 0.2
    done
done
sleep 1
shot main-after

# A double click on the first row's network path opens the browser.
click_in "$main" 150 100 2
wait_window "Explorador de la red" >/dev/null
shot browser

# "&Testea la red", at the main window's lower right, clear of the browser.
click_in "$main" 554 534
wait_window "Sónar TCP/IP" >/dev/null
shot tester

# One echo to 127.0.0.1 (the session's namespace lets Wine send it) and the name of that
# address.
tester=$(wait_window "Sónar TCP/IP")
type_in() {
    click_in "$tester" "$1" "$2"
    xdotool key ctrl+a type --delay 50 "$3"
}
type_in 58 43 127
type_in 145 43 0
type_in 232 43 0
type_in 318 43 1
click_in "$tester" 58 71
type_in 534 63 127.0.0.1
click_in "$tester" 534 107
sleep 2
shot tester-ping
