#!/bin/bash
# Builds the TCP/IP tester's test network and runs network_test in it once per set-up:
#   mapeo-tc-client  10.231.0.1/24, routes that refuse sends, dnsmasq on 127.0.0.1
#   mapeo-tc-peer    10.231.0.2/24, forwards, "unreachable" for 10.232/16, no route to 10.233/16
# Everything is removed on exit, even after a failure. Usage: network_fixture.sh TEST_BINARY
set -uo pipefail
# The namespaces have fixed names: one run at a time on this machine. The lock is held by
# flock itself, so no daemon started here can keep it after the run.
if [ -z "${MAPEO_NETNS_LOCKED:-}" ]; then
    exec env MAPEO_NETNS_LOCKED=1 flock --close /tmp/mapeo-netns.lock bash "$0" "$@"
fi
BIN=${1:?usage: $0 network_test_binary}
C=mapeo-tc-client P=mapeo-tc-peer
ETC=/etc/netns/$C
WORK=$(mktemp -d /tmp/mapeo-tc-test.XXXXXX)

cleanup() {
    [ -s "$WORK/dnsmasq.pid" ] && kill "$(cat "$WORK/dnsmasq.pid")" 2>/dev/null
    ip netns del $C 2>/dev/null; ip netns del $P 2>/dev/null
    rm -rf "$ETC" "$WORK"
}
ip netns del $C 2>/dev/null; ip netns del $P 2>/dev/null  # left by a run that was killed
trap cleanup EXIT

set -e
ip netns add $C
ip netns add $P
ip link add mtc-c0 netns $C type veth peer name mtc-p0 netns $P
ip -n $C addr add 10.231.0.1/24 dev mtc-c0
ip -n $P addr add 10.231.0.2/24 dev mtc-p0
for ns in $C $P; do ip -n $ns link set lo up; done
ip -n $C link set mtc-c0 up
ip -n $P link set mtc-p0 up
ip -n $C route add default via 10.231.0.2
ip -n $C route add unreachable 10.234.0.0/16
ip -n $C route add prohibit 10.235.0.0/16
ip -n $C route add throw 10.236.0.0/16
ip -n $P route add unreachable 10.232.0.0/16
ip netns exec $P sh -c 'echo 1 > /proc/sys/net/ipv4/ip_forward; echo 0 > /proc/sys/net/ipv4/icmp_ratelimit'

mkdir -p "$ETC"
printf '127.0.0.1 localhost\n127.0.0.252 desde-hosts.mapeo.test\n10.231.0.9 solo-en-hosts.mapeo.test\n10.231.0.8 pc_oficina\n' \
    > "$ETC/hosts"
LONG=$(printf 'a%.0s' {1..63})
{
    for n in 250 251 252 253 254 255; do echo "127.0.0.$n equipo-$n.mapeo.test"; done
    printf '127.0.0.249 %s.%s.%s.mapeo.test\n10.231.0.2 router.mapeo.test\n10.231.0.3 nombre\n' $LONG $LONG $LONG
} > "$WORK/dns-hosts"
ip netns exec $C dnsmasq --conf-file=/dev/null --no-resolv --no-hosts --addn-hosts="$WORK/dns-hosts" \
    --listen-address=127.0.0.1 --bind-interfaces --local=/mapeo.test/ --local=/127.in-addr.arpa/ \
    --local=/10.in-addr.arpa/ --local=// --user=root --group=root \
    --pid-file="$WORK/dnsmasq.pid" --log-facility=/dev/null
set +e

run() {  # mode filter [drop cap_net_raw]
    local cmd=(env MAPEO_TC_MODE=$1 QT_QPA_PLATFORM=offscreen "$BIN" --gtest_filter="$2")
    [ -n "${3:-}" ] && cmd=(setpriv --inh-caps=-net_raw --bounding-set=-net_raw -- "${cmd[@]}")
    echo "=== $1: $2"
    ip netns exec $C "${cmd[@]}"
}
ping_groups() { ip netns exec $C sh -c "echo '$1' > /proc/sys/net/ipv4/ping_group_range"; }

status=0
echo "nameserver 127.0.0.1" > "$ETC/resolv.conf"
ping_groups "0 2147483647"
run datagram 'SocketKind.*:Echo.*:Names.*:TesterWindow.*' drop || status=1
ping_groups "1 0"
run raw 'SocketKind.*:Echo.*' || status=1
run none 'SocketKind.*:NoEcho.*' drop || status=1
printf 'nameserver 127.0.0.2\nsearch uno.mapeo.test dos.mapeo.test tres.mapeo.test\n' > "$ETC/resolv.conf"
run raw 'SilentDns.*' || status=1
exit $status
