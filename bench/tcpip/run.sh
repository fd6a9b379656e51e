#!/usr/bin/env bash
# TCP/IP tester benchmarks, in network namespaces of their own so that no probe or lookup
# leaves this machine:
#   mapeo-tc-bench   10.241.0.1/24 to mapeo-tc-bpeer, dnsmasq on 127.0.0.1 naming 127.0.0.0/24
#                    and the hosts of 10.242.0.0/24
#   mapeo-tc-bpeer   answers for 16 addresses of 10.242.0.0/24 and drops the other 240, and
#                    drops all of 10.243.0.0/24, silently
#   bash bench/tcpip/run.sh [--build DIR] [--reps N] [scans|names|helper|shot|silentdns]...
#                                     (as root, after a build; default: all five parts)
# --reps is accepted for the same shape as the other benchmarks; each part has its own counts.
# "helper" measures the echo helper: it gets cap_net_raw for the run and the benchmark runs
# as nobody. The screenshots are left in the current folder.
set -uo pipefail
# One namespace run at a time on this machine, as the tests do.
if [ -z "${MAPEO_NETNS_LOCKED:-}" ]; then
    exec env MAPEO_NETNS_LOCKED=1 flock --close /tmp/mapeo-netns.lock bash "$0" "$@"
fi

BUILD=build
parts=()
usage="usage: $0 [--build DIR] [--reps N] [scans|names|helper|shot|silentdns]..."
while [ $# -gt 0 ]; do
    case $1 in
        --build) BUILD=$2; shift 2 ;;
        --reps) shift 2 ;;
        scans | names | helper | shot | silentdns) parts+=("$1"); shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done
BIN=$(readlink -f "$BUILD/bench/tcpip/tcpip_bench")
HELPER=$(readlink -f "$BUILD/app/mapeo-echo")
NS=mapeo-tc-bench
PEER=mapeo-tc-bpeer
ETC=/etc/netns/$NS
WORK=$(mktemp -d /tmp/mapeo-tc-bench.XXXXXX)

cleanup() {
    if [ -s "$WORK/dnsmasq.pid" ]; then kill "$(cat "$WORK/dnsmasq.pid")" 2>/dev/null; fi
    setcap -r "$HELPER" 2>/dev/null
    ip netns del "$NS" 2>/dev/null
    ip netns del "$PEER" 2>/dev/null
    rm -rf "$ETC" "$WORK"
}
ip netns del "$NS" 2>/dev/null
ip netns del "$PEER" 2>/dev/null
trap cleanup EXIT

set -e
ip netns add "$NS"
ip netns add "$PEER"
ip -n "$NS" link set lo up
ip -n "$PEER" link set lo up
ip link add mtc-b0 netns "$NS" type veth peer name mtc-b1 netns "$PEER"
ip -n "$NS" addr add 10.241.0.1/24 dev mtc-b0
ip -n "$PEER" addr add 10.241.0.2/24 dev mtc-b1
ip -n "$NS" link set mtc-b0 up
ip -n "$PEER" link set mtc-b1 up
ip netns exec "$NS" sh -c "echo '0 2147483647' > /proc/sys/net/ipv4/ping_group_range"
ip -n "$NS" route add 10.242.0.0/15 via 10.241.0.2
ip -n "$PEER" route add blackhole 10.242.0.0/24
ip -n "$PEER" route add blackhole 10.243.0.0/24
ANSWERING=$(seq 3 16 255)  # 16 hosts spread over the range
for n in $ANSWERING; do ip -n "$PEER" addr add "10.242.0.$n/32" dev lo; done

mkdir -p "$ETC"
printf '127.0.0.1 localhost\n' > "$ETC/hosts"
{
    for n in $(seq 0 255); do echo "127.0.0.$n equipo-$n.mapeo.test"; done
    for n in $ANSWERING; do echo "10.242.0.$n puesto-$n.mapeo.test"; done
} > "$WORK/dns-hosts"
ip netns exec "$NS" dnsmasq --conf-file=/dev/null --no-resolv --no-hosts \
    --addn-hosts="$WORK/dns-hosts" --listen-address=127.0.0.1 --bind-interfaces \
    --local=/mapeo.test/ --local=/127.in-addr.arpa/ --local=/10.in-addr.arpa/ --local=// \
    --user=root --group=root --pid-file="$WORK/dnsmasq.pid" --log-facility=/dev/null
set +e

status=0
[ ${#parts[@]} -gt 0 ] || parts=(scans names helper shot silentdns)
for part in "${parts[@]}"; do
    case $part in
        names | scans)
            echo "nameserver 127.0.0.1" > "$ETC/resolv.conf"
            ip netns exec "$NS" env QT_QPA_PLATFORM=offscreen "$BIN" "$part" || status=1 ;;
        helper)
            echo "nameserver 127.0.0.1" > "$ETC/resolv.conf"
            ip netns exec "$NS" sh -c "echo '1 0' > /proc/sys/net/ipv4/ping_group_range"
            mkdir -p "$WORK/home" && chown nobody:nogroup "$WORK/home" && chmod 755 "$WORK"
            setcap cap_net_raw+ep "$HELPER" || status=1
            ip netns exec "$NS" setpriv --reuid=nobody --regid=nogroup --clear-groups -- \
                env QT_QPA_PLATFORM=offscreen HOME="$WORK/home" "$BIN" helper "$HELPER" ||
                status=1
            setcap -r "$HELPER"
            ip netns exec "$NS" sh -c "echo '0 2147483647' > /proc/sys/net/ipv4/ping_group_range" ;;
        shot)
            echo "nameserver 127.0.0.1" > "$ETC/resolv.conf"
            if command -v xvfb-run > /dev/null; then
                ip netns exec "$NS" env -u QT_QPA_PLATFORM \
                    xvfb-run -a -s "-screen 0 1100x650x24" "$BIN" shot || status=1
            else
                ip netns exec "$NS" env QT_QPA_PLATFORM=offscreen "$BIN" shot || status=1
            fi ;;
        silentdns)
            echo "nameserver 127.0.0.2" > "$ETC/resolv.conf"
            ip netns exec "$NS" env QT_QPA_PLATFORM=offscreen "$BIN" silentdns || status=1 ;;
    esac
done
exit $status
