#!/usr/bin/env bash
# Discovery benchmark: the first expansion of the provider level on a network where SMB1
# browsing finds nothing and servers announce themselves through WS-Discovery (wsdd) and DNS-SD
# (Avahi), beside standard tools probing the same network in the same run:
#   avahi-browse -rtp _smb._tcp   the whole process, browse and resolve until "all for now"
#   wsdd --discovery              its own log, from sending its Probe to "discovered NAME"
# Builds the network of scripts/discovery-network.sh and removes it after.
#   bash bench/browser/discovery.sh [--build DIR] [--reps N]   (as root; run.sh runs it too)
set -u
if [ -z "${MAPEO_NETNS_LOCKED:-}" ]; then
    exec env MAPEO_NETNS_LOCKED=1 flock --close /tmp/mapeo-netns.lock bash "$0" "$@"
fi
cd "$(dirname "$0")/../.."
BUILD=build REPS=10
while [ $# -gt 0 ]; do
    case $1 in
        --build) BUILD=$2; shift 2 ;;
        --reps) REPS=$2; shift 2 ;;
        *) echo "usage: $0 [--build DIR] [--reps N]" >&2; exit 2 ;;
    esac
done
BUILD="$(cd "$BUILD" && pwd)"
. scripts/browser-demo.sh
. scripts/discovery-network.sh

DIR="$(mktemp -d /tmp/mapeo-dsc-bench.XXXXXX)"
trap 'dscnet_stop "$DIR"' EXIT
trap 'exit 1' INT TERM HUP
dscnet_stop ""
dscnet_start "$DIR" 0 || exit 1

mkdir -m 700 "$DIR/run"
out="$(dscnet_in_client env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$DIR/run" \
    "$BUILD/bench/browser/discovery_bench" "$REPS")"
echo "$out" | grep -v '^RESULT'
ours="$(echo "$out" | sed -n 's/^RESULT provider_median_ms=\([0-9.]*\).*/\1/p')"

ms_now() { echo $(($(date +%s%N) / 1000000)); }

# avahi-browse, each run a new process against the client's Avahi daemon.
times=()
for i in $(seq 1 "$REPS"); do
    t0=$(ms_now)
    dscnet_in_client avahi-browse -rtp _smb._tcp >"$DIR/avahi.out" 2>/dev/null
    times+=($(($(ms_now) - t0)))
done
avahi="$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int(NR/2)+1]}')"
resolved="$(grep -c '^=' "$DIR/avahi.out")"

# wsdd in discovery mode: a daemon that never says it is done, and waits 0-3 s at random
# before its first Probe; its log times the part that compares.
times=()
for i in $(seq 1 "$REPS"); do
    log="$DIR/wsdd-$i.log"
    ip netns exec "$DSCNET_CLIENT_NS" wsdd -D -o -i dsc0 -4 -v >"$log" 2>&1 &
    pid=$!
    for _ in $(seq 1 80); do
        grep -q "discovered $DSCNET_WSD_SERVER" "$log" && break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    times+=($(awk -F'[ ,:]' '
        /scheduling Probe/ && !p { p = (($2 * 60 + $3) * 60 + $4) * 1000 + $5 }
        /discovered/ && p { print (($2 * 60 + $3) * 60 + $4) * 1000 + $5 - p; exit }' "$log"))
done
wsdd="$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int(NR/2)+1]}')"

printf '%-58s median %8s ms (%s services resolved)\n' "avahi-browse -rtp _smb._tcp (whole process)" \
    "$avahi" "$resolved"
printf '%-58s median %8s ms (n=%s)\n' "wsdd --discovery, Probe to \"discovered\" (from its log)" \
    "${wsdd:-?}" "${#times[@]}"
awk -v a="$ours" 'BEGIN { printf "provider level, first expansion: median %.2f ms (goal 1600 ms)\n", a }'
