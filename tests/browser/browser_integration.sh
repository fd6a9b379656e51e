#!/bin/bash
# Runs the browser's integration test in a client namespace against Samba (smbd and nmbd) in
# a server namespace, both made here and removed on exit, whatever happens. The network is
# the demo's (scripts/browser-demo.sh), under names of the test's own.
#   browser_integration.sh TEST_BINARY
# With MAPEO_BR_SCREENSHOT=FILE.png the window is also drawn under Xvfb into that file.
set -u
. "$(dirname "$0")/../support/fixture.sh"
fixture_lock "$0" "$@"
BIN="$1"
. "$(dirname "$0")/../../scripts/browser-demo.sh"

TAG=t
DIR="$(mktemp -d /tmp/mapeo-br-test.XXXXXX)"
trap 'smbnet_stop "$TAG" "$DIR"' EXIT
trap 'exit 1' INT TERM HUP
smbnet_stop "$TAG" ""  # what a run killed half-way left behind
smbnet_start "$TAG" 1 "$DIR" MAPEO-PRUEBA MAPEOGRP || exit 1
smbnet_wait_browse || exit 1

# No system bus: the browser's DNS-SD would otherwise ask an Avahi daemon of the host, which
# asks the host's own network.
run=(ip netns exec "$SMBNET_CLIENT_NS" env HOME="$SMBNET_CLIENT_HOME"
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$DIR/no-system-bus"
    MAPEO_BR_SERVER="$SMBNET_SERVER" MAPEO_BR_WORKGROUP="$SMBNET_WORKGROUP")
if [ -n "${MAPEO_BR_SCREENSHOT:-}" ]; then
    "${run[@]}" MAPEO_BR_SCREENSHOT="$MAPEO_BR_SCREENSHOT" QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 1280x1024x24" "$BIN"
else
    "${run[@]}" QT_QPA_PLATFORM=offscreen "$BIN"
fi
