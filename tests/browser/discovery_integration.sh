#!/bin/bash
# Runs the browser's integration test in the client namespace of the network that
# scripts/discovery-network.sh builds (wsdd, Avahi, SMB1 browsing), then once more with a
# sender of bad WS-Discovery answers on the same network. Everything is removed on exit,
# whatever happens. Usage: discovery_integration.sh TEST_BINARY
set -u
HERE="$(cd "$(dirname "$0")" && pwd)"
. "$HERE/../support/fixture.sh"
fixture_lock "$0" "$@"
BIN="$1"
. "$HERE/../../scripts/browser-demo.sh"
. "$HERE/../../scripts/discovery-network.sh"

DIR="$(mktemp -d /tmp/mapeo-dsc-test.XXXXXX)"
trap 'dscnet_stop "$DIR"' EXIT
trap 'exit 1' INT TERM HUP
dscnet_stop ""  # what a run killed half-way left behind
dscnet_start "$DIR" || exit 1
dscnet_wait_browse || exit 1

# Drives connect through GVfs on a session bus of the test's own, with an empty keyring.
mkdir -p "$DIR/run" && chmod 700 "$DIR/run"
run() {
    dscnet_in_client env XDG_RUNTIME_DIR="$DIR/run" QT_QPA_PLATFORM=offscreen \
        MAPEO_DSC_WSD_SERVER="$DSCNET_WSD_SERVER" MAPEO_DSC_WSD_WORKGROUP="$DSCNET_WSD_WORKGROUP" \
        MAPEO_DSC_WSD_IP="$DSCNET_WSD_IP" MAPEO_DSC_PASSWORD="$DSCNET_PASSWORD" \
        MAPEO_DSC_MDNS_SERVER="$DSCNET_MDNS_SERVER" MAPEO_DSC_LOCAL_WORKGROUP="$DSCNET_LOCAL_WORKGROUP" \
        MAPEO_DSC_NB_SERVER="$DSCNET_NB_SERVER" MAPEO_DSC_NB_WORKGROUP="$DSCNET_NB_WORKGROUP" \
        "$@" dbus-run-session -- sh -c '
            [ -z "$MAPEO_DSC_KEYRING" ] || printf llavero |
                gnome-keyring-daemon --daemonize --unlock --components=secrets >/dev/null
            exec "$@"' sh "$BIN" --gtest_filter="$FILTER"
}
FILTER='-*Hostile*' run MAPEO_DSC_KEYRING=1 || exit 1
# The bad sender answers from the network's spare namespace and counts the requests it gets.
requests="$DIR/bad/requests"
mkdir -p "$DIR/bad"
setsid ip netns exec mapeo-dsc-bad python3 "$HERE/wsd_bad_sender.py" "$DSCNET_BAD_IP" "$requests" \
    </dev/null >>"$DIR/bad/sender.log" 2>&1 &
for _ in $(seq 1 50); do [ -f "$requests" ] && break; sleep 0.1; done
[ -f "$requests" ] || { echo "the bad sender did not start"; exit 1; }
FILTER='*Hostile*' run MAPEO_DSC_BAD_REQUESTS="$requests"
