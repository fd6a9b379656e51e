#!/usr/bin/env bash
# Network browser benchmarks. "smb": beside smbclient on the same server in the same run, a
# Samba server with a folder of 10,000 files in namespaces of its own, removed after.
# "discovery": the provider level on a network of servers that only announce themselves
# (bench/browser/discovery.sh). Both by default.
#   bash bench/browser/run.sh [--build DIR] [--reps N] [smb|discovery]...   (as root)
set -u
cd "$(dirname "$0")/../.."
BUILD=build REPS=10 PARTS=()
while [ $# -gt 0 ]; do
    case $1 in
        --build) BUILD=$2; shift 2 ;;
        --reps) REPS=$2; shift 2 ;;
        smb|discovery) PARTS+=("$1"); shift ;;
        *) echo "usage: $0 [--build DIR] [--reps N] [smb|discovery]..." >&2; exit 2 ;;
    esac
done
BUILD="$(cd "$BUILD" && pwd)"
if [[ " ${PARTS[*]} " != " smb " ]]; then
    [[ " ${PARTS[*]} " == *" discovery "* && " ${PARTS[*]} " != *" smb "* ]] ||
        bash "$0" --build "$BUILD" --reps "$REPS" smb
    exec bash bench/browser/discovery.sh --build "$BUILD" --reps "$REPS"
fi
FILES=10000
. scripts/browser-demo.sh

TAG=b
DIR="$(mktemp -d /tmp/mapeo-br-bench.XXXXXX)"
trap 'smbnet_stop "$TAG" "$DIR"' EXIT
trap 'exit 1' INT TERM HUP
smbnet_stop "$TAG" ""
smbnet_start "$TAG" 2 "$DIR" MAPEO-BANCO MAPEOGRP "$FILES" || exit 1
echo "waiting for the browse list..."
smbnet_wait_browse || exit 1

# No system bus: the browser's DNS-SD would otherwise reach an Avahi daemon of the host.
in_client() {
    ip netns exec "$SMBNET_CLIENT_NS" env HOME="$SMBNET_CLIENT_HOME" \
        DBUS_SYSTEM_BUS_ADDRESS="unix:path=$DIR/no-system-bus" "$@"
}

out="$(in_client MAPEO_BR_SERVER="$SMBNET_SERVER" MAPEO_BR_WORKGROUP="$SMBNET_WORKGROUP" \
    MAPEO_BR_BIG_FOLDER=Masivo QT_QPA_PLATFORM=offscreen "$BUILD/bench/browser/browser_bench" "$REPS")"
echo "$out" | grep -v '^RESULT'
ours="$(echo "$out" | sed -n 's/^RESULT .*expand_median_ms=\([0-9.]*\).*/\1/p')"

# smbclient, each run a new process: start-up, connection, listing and printing.
median_ms() {
    local -a times=()
    local i t0 t1
    for i in $(seq 1 "$REPS"); do
        t0=$(date +%s%N)
        in_client "$@" >/dev/null 2>&1
        t1=$(date +%s%N)
        times+=($(((t1 - t0) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int(NR/2)+1]/1000}'
}
server="//$SMBNET_SERVER/publico"
big="$(median_ms smbclient "$server" -N -c 'ls Masivo\*')"
small="$(median_ms smbclient "$server" -N -c 'ls Fotos\*')"
wg="$(median_ms smbtree -D -U 'guest%' --option='client min protocol=NT1' --option='client max protocol=NT1')"
shares="$(median_ms smbclient -L "//$SMBNET_SERVER" -N)"
count="$(in_client smbclient "$server" -N -c 'ls Masivo\*' 2>/dev/null | grep -c 'fichero')"

printf '%-52s median %8s ms (%s entries)\n' "smbclient -c 'ls Masivo\\*' (whole process)" "$big" "$count"
printf '%-52s median %8s ms\n' "smbclient -c 'ls Fotos\\*' (one-file folder)" "$small"
printf '%-52s median %8s ms\n' "smbtree -D (workgroups)" "$wg"
printf '%-52s median %8s ms\n' "smbclient -L (shares)" "$shares"
awk -v a="$ours" -v b="$big" -v c="$small" 'BEGIN {
    printf "expanding %d files: %.2f ms against smbclient %.2f ms (%.2fx); against its listing alone (%.2f ms) %.2fx\n",
        '"$FILES"', a, b, a / b, b - c, (b - c > 0 ? a / (b - c) : 0) }'
