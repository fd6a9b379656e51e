#!/usr/bin/env bash
# Runs a test binary in network and mount namespaces of its own, beside a Samba server on
# 127.0.0.1:445, a private D-Bus session with GVfs, and a private CUPS scheduler. Everything
# started here is stopped, and every file removed, when the script ends, however it ends.
set -euo pipefail

bin="$1"
shift
if [ -z "${MAPEO_FIXTURE_INSIDE:-}" ]; then
    exec unshare --net --mount --propagation private -- \
        env MAPEO_FIXTURE_INSIDE=1 bash "$0" "$bin" "$@"
fi

ip link set lo up
# A host that never answers: packets to 10.213.0.2 go into a link whose other end drops them.
ip link add mapeo-void0 type veth peer name mapeo-void1
ip link set mapeo-void1 up
ip addr add 10.213.0.1/24 dev mapeo-void0
ip link set mapeo-void0 up
ip neigh replace 10.213.0.2 lladdr 02:00:00:00:00:02 dev mapeo-void0 nud permanent

w=$(mktemp -d /tmp/mapeo-drives.XXXXXX)
chmod 755 "$w"
pids=()
cleanup() {
    local rc=$?
    # GVfs first, so its FUSE mount goes while the bus is still there.
    [ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null || true
    pkill -f "gvfsd.*$w" 2>/dev/null || true
    # GVfs back ends (gvfsd-smb) may outlive the bus; they carry this run's runtime folder.
    for e in /proc/[0-9]*/environ; do
        if grep -qzx "XDG_RUNTIME_DIR=$w/run" "$e" 2>/dev/null; then
            p=${e#/proc/}
            kill "${p%/environ}" 2>/dev/null || true
        fi
    done
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    [ -n "${smbd_pid:-}" ] && kill -- "-$smbd_pid" 2>/dev/null || true
    for f in "$w"/samba/pid/*.pid; do
        [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null || true
    done
    sleep 0.2
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
    [ -n "${smbd_pid:-}" ] && kill -9 -- "-$smbd_pid" 2>/dev/null || true
    fusermount3 -u -z "$w/run/gvfs" 2>/dev/null || fusermount -u -z "$w/run/gvfs" 2>/dev/null || true
    if [ "$rc" -ne 0 ]; then
        echo "--- samba log ---"; tail -n 30 "$w"/samba/log.* 2>/dev/null || true
        echo "--- cups log ---"; tail -n 30 "$w"/cups/error_log 2>/dev/null || true
    fi
    rm -rf "$w"
    exit "$rc"
}
trap cleanup EXIT

# --- Samba: a guest share with folders and files, a password share, printer shares.
s="$w/samba"
mkdir -p "$s"/{private,lock,state,cache,pid,ncalrpc} "$w/publico/carpeta/sub" "$w/privado" \
    "$w/spool" "$w/printed"
printf 'hola desde el servidor\n' >"$w/publico/hola.txt"
printf 'dentro de la carpeta\n' >"$w/publico/carpeta/dentro.txt"
printf 'secreto\n' >"$w/privado/secreto.txt"
chmod -R a+rwX "$w/publico" "$w/privado" "$w/printed"
mkdir -m 000 "$w/publico/cerrada"  # a folder the guest may not open
chmod 1777 "$w/spool"
cat >"$s/smb.conf" <<CONF
[global]
    workgroup = MAPEOTEST
    server role = standalone server
    disable netbios = yes
    smb ports = 445
    private dir = $s/private
    lock directory = $s/lock
    state directory = $s/state
    cache directory = $s/cache
    pid directory = $s/pid
    ncalrpc dir = $s/ncalrpc
    passdb backend = tdbsam:$s/private/passdb.tdb
    log file = $s/log.%m
    log level = 1
    map to guest = Bad User
    guest account = nobody
    load printers = no
    printing = bsd
    printcap name = /dev/null
    disable spoolss = no
[publico]
    path = $w/publico
    guest ok = yes
    read only = no
    create mask = 0666
    force create mode = 0666
    directory mask = 0777
    force directory mode = 0777
[privado]
    path = $w/privado
    guest ok = no
[laser]
    path = $w/spool
    printable = yes
    guest ok = yes
    print command = /bin/sh -c 'cp %s $w/printed/; rm -f %s'
    lpq command = /bin/true
    lprm command = /bin/true
# Names that reach the server only when every smb:// address encodes them alike.
[datos #1 @ 100%]
    path = $w/publico
    guest ok = yes
[láser #2]
    copy = laser
CONF
# In a session of its own: on its way out smbd signals its whole process group.
setsid smbd --foreground --no-process-group -s "$s/smb.conf" >"$s/smbd.out" 2>&1 &
smbd_pid=$!
for _ in $(seq 100); do
    smbclient -s "$s/smb.conf" -L //127.0.0.1 -N >/dev/null 2>&1 && break
    sleep 0.1
done
smbclient -s "$s/smb.conf" -L //127.0.0.1 -N >/dev/null 2>&1 || { echo "smbd did not start"; exit 1; }

# --- A private session bus; GVfs starts on it by D-Bus activation.
export HOME="$w/home" XDG_RUNTIME_DIR="$w/run"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# GVfs speaks as on a Spanish desktop, so that no result may hang on its English messages.
eval "$(env LANG=C.UTF-8 LANGUAGE=es dbus-daemon --session --fork --print-address=1 --print-pid=1 \
    --address="unix:path=$XDG_RUNTIME_DIR/bus" |
    { read -r a; read -r p; echo "DBUS_SESSION_BUS_ADDRESS=$a; DBUS_SESSION_BUS_PID=$p"; })"
export DBUS_SESSION_BUS_ADDRESS DBUS_SESSION_BUS_PID

# --- A private CUPS scheduler on a socket of its own.
c="$w/cups"
mkdir -p "$c"/{run,cache,state,spool,tmp}
# Administration for root alone, as for lpadmin on a desktop: root is known on the socket,
# a client on the TCP port is asked for a password.
cat >"$c/cupsd.conf" <<CONF
Listen $c/run/cups.sock
Listen 127.0.0.1:8631
WebInterface No
LogLevel warn
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  AuthType Default
  Require user @SYSTEM
  Order allow,deny
  Allow all
</Location>
CONF
cat >"$c/cups-files.conf" <<CONF
CacheDir $c/cache
StateDir $c/state
RequestRoot $c/spool
TempDir $c/tmp
ErrorLog $c/error_log
AccessLog $c/access_log
PageLog $c/page_log
Sandboxing Relaxed
SystemGroup root
CONF
cupsd -f -c "$c/cupsd.conf" -s "$c/cups-files.conf" &
pids+=($!)
export CUPS_SERVER="$c/run/cups.sock"
for _ in $(seq 100); do [ -S "$CUPS_SERVER" ] && break; sleep 0.1; done

export MAPEO_TEST_SHARE="$w/publico" MAPEO_TEST_PRINTED="$w/printed"
export QT_QPA_PLATFORM=offscreen
"$bin" "$@"
[ "${MAPEO_FIXTURE_NO_SERVICES_RUN:-1}" = 1 ] || exit 0
# An ordinary user on a terminal, whom CUPS asks for a password: the port must fail at once.
mkdir -p "$w/nobody" && chown nobody "$w/nobody"
HOME="$w/nobody" CUPS_SERVER=127.0.0.1:8631 MAPEO_TEST_UNPRIVILEGED=1 timeout 60 \
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
    script -qec "'$bin' --gtest_filter='Unprivileged*'" /dev/null
# The same checks once more where no session bus or scheduler can be reached.
env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$w/empty-run" CUPS_SERVER="$w/none.sock" \
    MAPEO_TEST_NO_SERVICES=1 "$bin" --gtest_filter='NoServices*'
