# A network without working SMB1 browsing for most of its servers, for the browser's
# integration test and discovery benchmark (sourced, after browser-demo.sh; run as root). Five namespaces hang off a bridge in a sixth, so
# multicast reaches every one of them and nothing outside:
#   mapeo-dsc-cli   10.252.0.1  the client: its own system bus with avahi-daemon on it
#   mapeo-dsc-wsd   10.252.0.2  Samba on SMB2/3 only, no nmbd; wsdd, workgroup GRUPOWSD
#   mapeo-dsc-mdns  10.252.0.3  Samba on SMB2/3 only, no nmbd; avahi-daemon publishing _smb._tcp
#   mapeo-dsc-nb    10.252.0.4  Samba with nmbd (SMB1 browsing, MAPEOGRP) and wsdd for the same
#   mapeo-dsc-bad   10.252.0.5  nothing: room for a sender of bad answers
#   mapeo-dsc-hub               the bridge
# No name of these servers resolves on the client: its resolver points at a closed port. The
# servers' Samba knows root with DSCNET_PASSWORD, for the shares guests may not open.
#   dscnet_start DIR [WITH_NETBIOS]  # WITH_NETBIOS=0 leaves the nb server out (no browse wait)
#   dscnet_wait_browse               # until MAPEOGRP lists MAPEO-NB over SMB1
#   dscnet_in_client CMD...          # CMD in the client namespace with its HOME and system bus
#   dscnet_stop DIR                  # safe twice, or after a failed start
# Uses smbnet_server_files and netns_remove from scripts/browser-demo.sh.

DSCNET_NAMESPACES=(mapeo-dsc-cli mapeo-dsc-wsd mapeo-dsc-mdns mapeo-dsc-nb mapeo-dsc-bad
    mapeo-dsc-hub)
DSCNET_CLIENT_NS=mapeo-dsc-cli
DSCNET_LOCAL_WORKGROUP=MAPEOLOCAL
DSCNET_WSD_SERVER=MAPEO-WSD
DSCNET_WSD_WORKGROUP=GRUPOWSD
DSCNET_WSD_IP=10.252.0.2
DSCNET_MDNS_SERVER=mapeo-dnssd
DSCNET_MDNS_IP=10.252.0.3
DSCNET_NB_SERVER=MAPEO-NB
DSCNET_NB_WORKGROUP=MAPEOGRP
DSCNET_NB_IP=10.252.0.4
DSCNET_BAD_IP=10.252.0.5
DSCNET_PASSWORD=Mapeo-pw1

dscnet_log() { echo "[dscnet] $*" >&2; }

# Joins namespace $1 to the hub as dsc0 with address $2.
dscnet_link() {
    local ns="$1" ip="$2" port="$3"
    ip link add dsc0 netns "$ns" type veth peer name "$port" netns mapeo-dsc-hub || return 1
    ip -n mapeo-dsc-hub link set "$port" master br0 up || return 1
    ip -n "$ns" addr add "$ip/24" dev dsc0 || return 1
    ip -n "$ns" link set lo up
    ip -n "$ns" link set dsc0 up
    ip -n "$ns" route add 224.0.0.0/4 dev dsc0
}

# A Samba server for $1 in namespace $2: the demo's shares; SMB2/3 only unless $5 is "nb".
dscnet_samba() {
    local name="$1" ns="$2" ip="$3" group="$4" kind="$5" dir="$DSCNET_DIR/$6"
    SMBNET_SERVER="$name" SMBNET_WORKGROUP="$group" SMBNET_SERVER_IP="$ip" \
        smbnet_server_files "$dir" 0
    local conf="$dir/server/smb.conf"
    if [ "$kind" != nb ]; then
        sed -i -e 's/disable netbios = no/disable netbios = yes/' \
            -e 's/smb ports = 445 139/smb ports = 445/' \
            -e 's/server min protocol = NT1/server min protocol = SMB2_02/' \
            -e '/master = yes/d' -e '/os level/d' -e '/wins support/d' "$conf"
    fi
    printf '%s\n%s\n' "$DSCNET_PASSWORD" "$DSCNET_PASSWORD" |
        ip netns exec "$ns" smbpasswd -c "$conf" -s -a root >/dev/null
    setsid ip netns exec "$ns" smbd --foreground --no-process-group -s "$conf" \
        </dev/null >>"$dir/server/log/smbd.out" 2>&1 &
    if [ "$kind" = nb ]; then
        setsid ip netns exec "$ns" nmbd --foreground --no-process-group -s "$conf" \
            </dev/null >>"$dir/server/log/nmbd.out" 2>&1 &
    fi
}

# avahi-daemon in namespace $1 with its own /run and services folder; $2 its configuration.
dscnet_avahi() {
    local ns="$1" conf="$2" services="$3" log="$4"
    shift 4
    # The daemon keeps its pid file and socket in /run and reads services from /etc/avahi:
    # both are replaced inside a mount namespace of its own.
    setsid ip netns exec "$ns" env "$@" unshare --mount --propagation private sh -c '
        mount -t tmpfs tmpfs /run && mount --bind "$1" /etc/avahi/services &&
        exec avahi-daemon -f "$2" --no-drop-root --no-chroot --no-rlimits --no-proc-title' \
        sh "$services" "$conf" </dev/null >>"$log" 2>&1 &
}

dscnet_avahi_conf() {
    local file="$1" host="$2" dbus="$3"
    cat >"$file" <<CONF
[server]
host-name=$host
use-ipv4=yes
use-ipv6=no
allow-interfaces=dsc0
enable-dbus=$dbus
ratelimit-interval-usec=1000000
ratelimit-burst=1000
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
publish-aaaa-on-ipv4=no
[reflector]
[rlimits]
CONF
}

dscnet_start() {
    DSCNET_DIR="$1"
    local netbios="${2:-1}" ns
    DSCNET_CLIENT_HOME="$DSCNET_DIR/client-home"
    DSCNET_SYSTEM_BUS="unix:path=$DSCNET_DIR/client/system_bus_socket"
    chmod 755 "$DSCNET_DIR"
    for ns in "${DSCNET_NAMESPACES[@]}"; do ip netns add "$ns" || return 1; done
    ip -n mapeo-dsc-hub link add br0 type bridge mcast_snooping 0 || return 1
    ip -n mapeo-dsc-hub link set br0 up
    dscnet_link mapeo-dsc-cli 10.252.0.1 cli || return 1
    dscnet_link mapeo-dsc-wsd "$DSCNET_WSD_IP" wsd || return 1
    dscnet_link mapeo-dsc-mdns "$DSCNET_MDNS_IP" mdns || return 1
    dscnet_link mapeo-dsc-nb "$DSCNET_NB_IP" nb || return 1
    dscnet_link mapeo-dsc-bad "$DSCNET_BAD_IP" bad || return 1

    # The client resolves no server name: hosts has localhost only, DNS goes to a closed port.
    mkdir -p "/etc/netns/$DSCNET_CLIENT_NS"
    printf '127.0.0.1 localhost\n::1 localhost\n' >"/etc/netns/$DSCNET_CLIENT_NS/hosts"
    echo "nameserver 127.0.0.1" >"/etc/netns/$DSCNET_CLIENT_NS/resolv.conf"
    mkdir -p "$DSCNET_CLIENT_HOME/.smb" "$DSCNET_DIR/client"/{cache,lock,state,private,services}
    cat >"$DSCNET_CLIENT_HOME/.smb/smb.conf" <<CONF
[global]
    workgroup = $DSCNET_LOCAL_WORKGROUP
    cache directory = $DSCNET_DIR/client/cache
    lock directory = $DSCNET_DIR/client/lock
    state directory = $DSCNET_DIR/client/state
    private dir = $DSCNET_DIR/client/private
CONF

    dscnet_samba "$DSCNET_WSD_SERVER" mapeo-dsc-wsd "$DSCNET_WSD_IP" "$DSCNET_WSD_WORKGROUP" \
        smb2 wsd
    setsid ip netns exec mapeo-dsc-wsd wsdd -i dsc0 -4 -w "$DSCNET_WSD_WORKGROUP" \
        -n "$DSCNET_WSD_SERVER" -U 6d617065-6f00-4000-8000-000000000002 \
        </dev/null >>"$DSCNET_DIR/wsd/wsdd.log" 2>&1 &

    dscnet_samba MAPEO-DNSSD mapeo-dsc-mdns "$DSCNET_MDNS_IP" OTROGRUPO smb2 mdns
    mkdir -p "$DSCNET_DIR/mdns/services"
    cat >"$DSCNET_DIR/mdns/services/smb.service" <<XML
<?xml version="1.0" standalone='no'?>
<service-group>
  <name>Carpetas de $DSCNET_MDNS_SERVER</name>
  <service><type>_smb._tcp</type><port>445</port></service>
</service-group>
XML
    dscnet_avahi_conf "$DSCNET_DIR/mdns/avahi.conf" "$DSCNET_MDNS_SERVER" no
    dscnet_avahi mapeo-dsc-mdns "$DSCNET_DIR/mdns/avahi.conf" "$DSCNET_DIR/mdns/services" \
        "$DSCNET_DIR/mdns/avahi.log"

    if [ "$netbios" = 1 ]; then
        dscnet_samba "$DSCNET_NB_SERVER" mapeo-dsc-nb "$DSCNET_NB_IP" "$DSCNET_NB_WORKGROUP" nb nb
        # wsdd gives the name in lower case here: one node whatever the spelling.
        setsid ip netns exec mapeo-dsc-nb wsdd -i dsc0 -4 -w "$DSCNET_NB_WORKGROUP" -p \
            -n "$(echo "$DSCNET_NB_SERVER" | tr 'A-Z' 'a-z')" \
            -U 6d617065-6f00-4000-8000-000000000004 \
            </dev/null >>"$DSCNET_DIR/nb/wsdd.log" 2>&1 &
    fi

    # The client's own system bus, and an avahi-daemon on it for the Avahi client library.
    cat >"$DSCNET_DIR/client/bus.conf" <<XML
<busconfig>
  <type>system</type>
  <listen>$DSCNET_SYSTEM_BUS</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
XML
    setsid ip netns exec "$DSCNET_CLIENT_NS" dbus-daemon --nofork --nopidfile \
        --config-file="$DSCNET_DIR/client/bus.conf" </dev/null >>"$DSCNET_DIR/client/bus.log" 2>&1 &
    local i
    for i in $(seq 1 50); do
        [ -S "$DSCNET_DIR/client/system_bus_socket" ] && break
        sleep 0.1
    done
    dscnet_avahi_conf "$DSCNET_DIR/client/avahi.conf" mapeo-dsc-cliente yes
    dscnet_avahi "$DSCNET_CLIENT_NS" "$DSCNET_DIR/client/avahi.conf" "$DSCNET_DIR/client/services" \
        "$DSCNET_DIR/client/avahi.log" DBUS_SYSTEM_BUS_ADDRESS="$DSCNET_SYSTEM_BUS"

    local ip
    for ip in "$DSCNET_WSD_IP" "$DSCNET_MDNS_IP" $([ "$netbios" = 1 ] && echo "$DSCNET_NB_IP"); do
        for i in $(seq 1 100); do
            dscnet_in_client smbclient -L "//$ip" -N >/dev/null 2>&1 && break
            sleep 0.1
        done
        [ "$i" = 100 ] && { dscnet_log "smbd at $ip did not answer"; return 1; }
    done
    # Until the client's Avahi has seen the announced service.
    for i in $(seq 1 100); do
        dscnet_in_client avahi-browse -tp _smb._tcp 2>/dev/null | grep -q "$DSCNET_MDNS_SERVER" &&
            return 0
        sleep 0.1
    done
    dscnet_log "Avahi on the client never saw $DSCNET_MDNS_SERVER"
    return 1
}

dscnet_in_client() {
    ip netns exec "$DSCNET_CLIENT_NS" env HOME="$DSCNET_CLIENT_HOME" \
        DBUS_SYSTEM_BUS_ADDRESS="$DSCNET_SYSTEM_BUS" "$@"
}

dscnet_wait_browse() {
    SMBNET_CLIENT_NS="$DSCNET_CLIENT_NS" SMBNET_CLIENT_HOME="$DSCNET_CLIENT_HOME" \
        SMBNET_SERVER="$DSCNET_NB_SERVER" smbnet_wait_browse
}

dscnet_stop() {
    netns_remove "$1" "${DSCNET_NAMESPACES[@]}"
}
