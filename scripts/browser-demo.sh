#!/usr/bin/env bash
# A small SMB network on this machine, to try the network browser on something real: a
# client and a server network namespace joined by a veth pair, Samba (smbd and nmbd) in the
# server one with a workgroup, a guest share with folders and files, a password share, an
# administrative share and a printer, and dnsmasq as the client's only name server. Run as
# root.
#   scripts/browser-demo.sh start    start it and print how to run Mapeo inside it
#   scripts/browser-demo.sh stop     remove everything it made
#
# Sourced, it only defines the functions below; the browser's benchmark builds the same
# network with them, under names of its own, and the discovery network its servers' shares:
#   smbnet_start TAG OCTET DIR SERVER WORKGROUP [FILES_IN_MASIVO]
#   smbnet_wait_browse                 # until the workgroup is browsable from the client
#   smbnet_stop TAG DIR                # safe to call twice, or after a failed start
#   netns_remove DIR NS...             # what smbnet_stop and discovery-network.sh end with
# After smbnet_start: SMBNET_CLIENT_NS, SMBNET_SERVER_NS, SMBNET_SERVER_IP, SMBNET_SERVER,
# SMBNET_WORKGROUP, SMBNET_CLIENT_HOME (a HOME whose Samba state is the run's own).

smbnet_names() {
    SMBNET_CLIENT_NS="mapeo-br-${1}c"
    SMBNET_SERVER_NS="mapeo-br-${1}s"
    SMBNET_VETH_CLIENT="mbr-${1}c"
    SMBNET_VETH_SERVER="mbr-${1}s"
}

smbnet_log() { echo "[smbnet] $*" >&2; }

# Writes the server's configuration and content below DIR/server.
smbnet_server_files() {
    local dir="$1" big="$2"
    local s="$dir/server"
    mkdir -p "$s"/{private,lock,state,cache,pid,ncalrpc,log,spool,printed}
    mkdir -p "$s/shares/publico/Documentos/Informes/2024" "$s/shares/publico/Fotos" \
        "$s/shares/privado" "$s/shares/datos"
    echo "informe anual" >"$s/shares/publico/Documentos/Informes/2024/resumen.txt"
    echo "acta" >"$s/shares/publico/Documentos/acta de la reunión.txt"
    echo "léame" >"$s/shares/publico/LEAME.txt"
    echo "foto" >"$s/shares/publico/Fotos/playa.jpg"
    echo "secreto" >"$s/shares/privado/nominas.txt"
    echo "copia" >"$s/shares/datos/copia.bak"
    if [ -n "$big" ] && [ "$big" -gt 0 ]; then
        mkdir -p "$s/shares/publico/Masivo"
        (cd "$s/shares/publico/Masivo" && seq -f 'fichero%05g.dat' 1 "$big" | xargs touch)
    fi
    # The guest account (nobody) must reach the shares through the test's own folders.
    chmod 755 "$dir" "$s" "$s/shares"
    chmod -R a+rX "$s/shares"
    chmod 1777 "$s/spool"
    cat >"$s/smb.conf" <<CONF
[global]
    netbios name = $SMBNET_SERVER
    workgroup = $SMBNET_WORKGROUP
    server string = Servidor de pruebas de Mapeo
    server role = standalone server
    interfaces = $SMBNET_SERVER_IP/24
    bind interfaces only = yes
    disable netbios = no
    smb ports = 445 139
    server min protocol = NT1
    local master = yes
    preferred master = yes
    domain master = yes
    os level = 65
    wins support = yes
    map to guest = Bad User
    guest account = nobody
    passdb backend = tdbsam:$s/private/passdb.tdb
    private dir = $s/private
    lock directory = $s/lock
    state directory = $s/state
    cache directory = $s/cache
    pid directory = $s/pid
    ncalrpc dir = $s/ncalrpc
    log file = $s/log/log.%m
    max log size = 0
    load printers = no
    printcap name = /dev/null
    usershare path =
    disable spoolss = no

[publico]
    comment = Carpeta pública
    path = $s/shares/publico
    guest ok = yes
    read only = yes

[privado]
    comment = Solo con contraseña
    path = $s/shares/privado
    valid users = root
    guest ok = no
    read only = yes

[datos\$]
    comment = Recurso administrativo
    path = $s/shares/datos
    guest ok = yes
    read only = yes

[impresora]
    comment = Impresora de pruebas
    path = $s/spool
    printable = yes
    printing = bsd
    print command = /bin/sh -c 'cp %s $s/printed/; rm -f %s'
    lpq command = /bin/true
    lprm command = /bin/true
    guest ok = yes
CONF
}

smbnet_start() {
    local tag="$1" octet="$2" dir="$3"
    SMBNET_SERVER="$4"
    SMBNET_WORKGROUP="$5"
    local big="${6:-0}"
    smbnet_names "$tag"
    SMBNET_DIR="$dir"
    SMBNET_SERVER_IP="10.251.$octet.2"
    SMBNET_CLIENT_IP="10.251.$octet.1"
    SMBNET_PASSWORD="Mapeo-pw1"
    SMBNET_CLIENT_HOME="$dir/client-home"

    ip netns add "$SMBNET_CLIENT_NS" || return 1
    ip netns add "$SMBNET_SERVER_NS" || return 1
    ip link add "$SMBNET_VETH_CLIENT" type veth peer name "$SMBNET_VETH_SERVER" || return 1
    ip link set "$SMBNET_VETH_CLIENT" netns "$SMBNET_CLIENT_NS" || return 1
    ip link set "$SMBNET_VETH_SERVER" netns "$SMBNET_SERVER_NS" || return 1
    ip -n "$SMBNET_CLIENT_NS" addr add "$SMBNET_CLIENT_IP/24" dev "$SMBNET_VETH_CLIENT"
    ip -n "$SMBNET_SERVER_NS" addr add "$SMBNET_SERVER_IP/24" dev "$SMBNET_VETH_SERVER"
    for ns in "$SMBNET_CLIENT_NS" "$SMBNET_SERVER_NS"; do ip -n "$ns" link set lo up; done
    ip -n "$SMBNET_CLIENT_NS" link set "$SMBNET_VETH_CLIENT" up
    ip -n "$SMBNET_SERVER_NS" link set "$SMBNET_VETH_SERVER" up

    # Every name the client looks up goes to a dnsmasq of its own, never to the real DNS.
    mkdir -p "$dir/dns" "/etc/netns/$SMBNET_CLIENT_NS"
    echo "$SMBNET_SERVER_IP $SMBNET_SERVER $(echo "$SMBNET_SERVER" | tr 'A-Z' 'a-z')" >"$dir/dns/hosts"
    printf '127.0.0.1 localhost\n::1 localhost\n' >"/etc/netns/$SMBNET_CLIENT_NS/hosts"
    echo "nameserver 127.0.0.1" >"/etc/netns/$SMBNET_CLIENT_NS/resolv.conf"
    setsid ip netns exec "$SMBNET_CLIENT_NS" dnsmasq --keep-in-foreground --no-resolv --no-hosts \
        --addn-hosts="$dir/dns/hosts" --listen-address=127.0.0.1 --bind-interfaces \
        --pid-file="$dir/dns/dnsmasq.pid" --user=root --log-facility="$dir/dns/log" &

    # The client's own Samba state, so no run reuses addresses cached by an earlier one.
    mkdir -p "$SMBNET_CLIENT_HOME/.smb" "$dir/client"/{cache,lock,state,private}
    cat >"$SMBNET_CLIENT_HOME/.smb/smb.conf" <<CONF
[global]
    cache directory = $dir/client/cache
    lock directory = $dir/client/lock
    state directory = $dir/client/state
    private dir = $dir/client/private
CONF

    smbnet_server_files "$dir" "$big"
    local conf="$dir/server/smb.conf"
    printf '%s\n%s\n' "$SMBNET_PASSWORD" "$SMBNET_PASSWORD" |
        ip netns exec "$SMBNET_SERVER_NS" smbpasswd -c "$conf" -s -a root >/dev/null || return 1
    # Each daemon in a session of its own: Samba's daemons signal their whole process group
    # when they stop, which would otherwise reach the script that started them.
    setsid ip netns exec "$SMBNET_SERVER_NS" smbd --foreground --no-process-group -s "$conf" \
        </dev/null >>"$dir/server/log/smbd.out" 2>&1 &
    setsid ip netns exec "$SMBNET_SERVER_NS" nmbd --foreground --no-process-group -s "$conf" \
        </dev/null >>"$dir/server/log/nmbd.out" 2>&1 &

    local i
    for i in $(seq 1 100); do
        if ip netns exec "$SMBNET_CLIENT_NS" smbclient -L "//$SMBNET_SERVER_IP" -N \
            >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    smbnet_log "smbd did not answer"
    return 1
}

# nmbd needs a few seconds before the server shows in its workgroup's browse list.
smbnet_wait_browse() {
    local i
    for i in $(seq 1 120); do
        if HOME="$SMBNET_CLIENT_HOME" ip netns exec "$SMBNET_CLIENT_NS" smbtree -U 'guest%' \
            --option='client min protocol=NT1' --option='client max protocol=NT1' 2>/dev/null |
            grep -qi "^[[:space:]]*\\\\\\\\$SMBNET_SERVER[[:space:]]"; then
            return 0
        fi
        sleep 0.5
    done
    smbnet_log "the browse list never showed $SMBNET_SERVER"
    return 1
}

smbnet_kill_pidfile() {
    local f="$1" pid
    [ -f "$f" ] || return 0
    pid="$(cat "$f" 2>/dev/null)"
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    return 0
}

# Ends every process in namespaces $2... (all started by us: daemons, their helpers, a program
# the user left open), removes them with their /etc/netns folders, then folder $1 if given.
# A signal does not cut it short; the caller's handlers come back at the end.
netns_remove() {
    local dir="$1" handlers ns pids i
    shift
    handlers="$(trap -p INT TERM HUP)"
    trap '' INT TERM HUP
    for ns in "$@"; do
        pids="$(ip netns pids "$ns" 2>/dev/null)"
        [ -n "$pids" ] && kill $pids 2>/dev/null
    done
    for i in $(seq 1 30); do
        pids="$(for ns in "$@"; do ip netns pids "$ns" 2>/dev/null; done)"
        [ -z "$pids" ] && break
        [ "$i" = 30 ] && kill -9 $pids 2>/dev/null
        sleep 0.1
    done
    for ns in "$@"; do
        ip netns del "$ns" 2>/dev/null
        rm -rf "/etc/netns/$ns"
    done
    rmdir /etc/netns 2>/dev/null
    [ -n "$dir" ] && [ -d "$dir" ] && rm -rf "$dir"
    trap - INT TERM HUP
    eval "$handlers"
    return 0
}

smbnet_stop() {
    local tag="$1" dir="$2" f
    smbnet_names "$tag"
    for f in "$dir"/server/pid/*.pid "$dir/dns/dnsmasq.pid"; do smbnet_kill_pidfile "$f"; done
    ip link del "$SMBNET_VETH_CLIENT" 2>/dev/null
    ip link del "$SMBNET_VETH_SERVER" 2>/dev/null
    netns_remove "$dir" "$SMBNET_CLIENT_NS" "$SMBNET_SERVER_NS"
}

browser_demo_main() {
    local tag=d dir=/tmp/mapeo-br-demo build="${MAPEO_BUILD:-build}"
    cd "$(dirname "$0")/.." || return 1
    if [ "$(id -u)" != 0 ]; then
        echo "Run as root (it creates network namespaces): sudo $0 ${1:-start}" >&2
        return 1
    fi
    case "${1:-}" in
        start)
            smbnet_names "$tag"
            if ip netns list | grep -q "^$SMBNET_CLIENT_NS\b"; then
                echo "The demo network is already running; '$0 stop' removes it." >&2
                return 1
            fi
            rm -rf "$dir" && mkdir -p "$dir"
            if ! smbnet_start "$tag" 3 "$dir" MAPEO-DEMO MAPEOGRP 200; then
                smbnet_stop "$tag" "$dir"
                return 1
            fi
            echo "Samba is up; waiting for the workgroup's browse list (about 20 s)..."
            if ! smbnet_wait_browse; then
                smbnet_stop "$tag" "$dir"
                return 1
            fi
            cat <<TEXT

The demo network is ready.
  workgroup  $SMBNET_WORKGROUP
  server     \\\\$SMBNET_SERVER ($SMBNET_SERVER_IP)
  shares     publico (guest, nested folders, 200 files in Masivo), privado (password),
             datos\$ (administrative), impresora (printer)

Run Mapeo inside the client namespace and press "Explorar la red":
TEXT
            if [ -n "${SUDO_USER:-}" ]; then
                echo "  sudo ip netns exec $SMBNET_CLIENT_NS sudo -u $SUDO_USER \\"
                echo "      --preserve-env=DISPLAY,XAUTHORITY,WAYLAND_DISPLAY,XDG_RUNTIME_DIR $build/app/mapeo"
            else
                echo "  ip netns exec $SMBNET_CLIENT_NS $build/app/mapeo"
            fi
            echo
            echo "Stop it with: sudo $0 stop"
            ;;
        stop)
            smbnet_stop "$tag" "$dir"
            echo "The demo network is gone."
            ;;
        *)
            echo "usage: $0 start|stop" >&2
            return 2
            ;;
    esac
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -u
    browser_demo_main "$@"
    exit $?
fi
