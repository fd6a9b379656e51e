#!/bin/bash
# Builds the TCP/IP tester's test network and runs network_test in it once per set-up:
#   mapeo-tc-client  10.231.0.1/24, routes that refuse sends, dnsmasq on 127.0.0.1
#   mapeo-tc-peer    10.231.0.2/24, forwards, "unreachable" for 10.232/16, no route to 10.233/16;
#                    of 10.237.0.0/24 it answers for a handful and drops the rest silently
# The set-ups: datagram ICMP sockets; raw sockets as root; neither; and the echo helper with
# cap_net_raw for a user who may open neither. Everything is removed, and the helper's
# capability taken back, on exit, even after a failure.
# Usage: network_fixture.sh TEST_BINARY HELPER FLOOD
set -uo pipefail
. "$(dirname "$0")/../support/fixture.sh"
fixture_lock "$0" "$@"
[ $# = 3 ] || { echo "usage: $0 network_test_binary helper flood" && exit 2; }
BIN=$1 HELPER=$2 FLOOD=$3
C=mapeo-tc-client P=mapeo-tc-peer
ETC=/etc/netns/$C
WORK=$(mktemp -d /tmp/mapeo-tc-test.XXXXXX)
FLOOD_PID=

cleanup() {
    [ -n "$FLOOD_PID" ] && kill "$FLOOD_PID" 2>/dev/null && wait "$FLOOD_PID" 2>/dev/null
    [ -s "$WORK/dnsmasq.pid" ] && kill "$(cat "$WORK/dnsmasq.pid")" 2>/dev/null
    setcap -r "$HELPER" 2>/dev/null
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
ip -n $P route add blackhole 10.237.0.0/24
for n in 225 230 241 250 255; do ip -n $P addr add 10.237.0.$n/32 dev lo; done
ip netns exec $P sh -c 'echo 1 > /proc/sys/net/ipv4/ip_forward; echo 0 > /proc/sys/net/ipv4/icmp_ratelimit'

mkdir -p "$ETC"
printf '127.0.0.1 localhost\n127.0.0.252 desde-hosts.mapeo.test\n10.231.0.9 solo-en-hosts.mapeo.test\n10.231.0.8 pc_oficina\n' \
    > "$ETC/hosts"
LONG=$(printf 'a%.0s' {1..63})
{
    for n in 250 251 252 253 254 255; do echo "127.0.0.$n equipo-$n.mapeo.test"; done
    printf '127.0.0.249 %s.%s.%s.mapeo.test\n10.231.0.2 router.mapeo.test\n10.231.0.3 nombre\n' $LONG $LONG $LONG
    printf '10.237.0.225 impresora.mapeo.test\n10.237.0.241 servidor.mapeo.test\n'
} > "$WORK/dns-hosts"
ip netns exec $C dnsmasq --conf-file=/dev/null --no-resolv --no-hosts --addn-hosts="$WORK/dns-hosts" \
    --listen-address=127.0.0.1 --bind-interfaces --local=/mapeo.test/ --local=/127.in-addr.arpa/ \
    --local=/10.in-addr.arpa/ --local=// --user=root --group=root \
    --pid-file="$WORK/dnsmasq.pid" --log-facility=/dev/null
set +e

run() {  # mode filter [drop cap_net_raw | user]
    local cmd=(env MAPEO_TC_MODE=$1 MAPEO_TC_HELPER="$HELPER" QT_QPA_PLATFORM=offscreen
        "$BIN" --gtest_filter="$2")
    case ${3:-} in
        drop) cmd=(setpriv --inh-caps=-net_raw --bounding-set=-net_raw -- "${cmd[@]}") ;;
        user) cmd=(setpriv --reuid=nobody --regid=nogroup --clear-groups -- env HOME="$WORK/home"
            XDG_RUNTIME_DIR="$WORK/home" "${cmd[@]}") ;;
    esac
    echo "=== $1: $2"
    ip netns exec $C "${cmd[@]}"
}
ping_groups() { ip netns exec $C sh -c "echo '$1' > /proc/sys/net/ipv4/ping_group_range"; }
flood() {  # command: a stream of ICMP to this namespace for as long as it runs
    ip netns exec $P "$FLOOD" 10.231.0.1 & FLOOD_PID=$!
    "$@"; local r=$?
    kill $FLOOD_PID; wait $FLOOD_PID 2>/dev/null; FLOOD_PID=
    return $r
}

# The test user must reach both programs; a build tree it cannot read is copied aside.
mkdir -p "$WORK/home" && chown nobody:nogroup "$WORK/home" && chmod 700 "$WORK/home" && chmod 755 "$WORK"
if ! setpriv --reuid=nobody --regid=nogroup --clear-groups -- test -x "$BIN" -a -x "$HELPER"; then
    cp "$BIN" "$HELPER" "$WORK/" && BIN=$WORK/$(basename "$BIN") HELPER=$WORK/$(basename "$HELPER")
fi

status=0
echo "nameserver 127.0.0.1" > "$ETC/resolv.conf"
ping_groups "0 2147483647"
run datagram 'SocketKind.*:Echo.*:Names.*:TesterWindow.*:LookAhead.*' drop || status=1
ping_groups "1 0"
run raw 'SocketKind.*:Echo.*:LookAhead.*' || status=1
flood run raw 'Flood.*' || status=1
run none 'SocketKind.*:NoEcho.*' drop || status=1
setcap cap_net_raw+ep "$HELPER" || status=1
run helper 'SocketKind.*:Echo.*:LookAhead.*:Helper.*' user || status=1
flood run helper 'Flood.*' user || status=1
setcap -r "$HELPER"
printf 'nameserver 127.0.0.2\nsearch uno.mapeo.test dos.mapeo.test tres.mapeo.test\n' > "$ETC/resolv.conf"
run raw 'SilentDns.*' || status=1
exit $status
