# Sourced by the integration fixtures: the lock, namespaces, and servers keeping files in $w.

# Runs the calling script ("$0" "$@") again under /tmp/mapeo-netns.lock, held by flock alone.
fixture_lock() {
    [ -n "${MAPEO_NETNS_LOCKED:-}" ] ||
        exec env MAPEO_NETNS_LOCKED=1 flock --close /tmp/mapeo-netns.lock bash "$@"
}

# Runs the calling script again as the first process of namespaces of its own, loopback up.
fixture_private() {
    [ -n "${MAPEO_FIXTURE_INSIDE:-}" ] ||
        exec unshare --net --mount --pid --fork --kill-child --mount-proc --propagation private \
            -- env MAPEO_FIXTURE_INSIDE=1 bash "$@"
    ip link set lo up
}

# Makes $w; on exit, the FIXTURE_LOGS' tails after a failure, then every process and $w go.
fixture_folder() {
    w=$(mktemp -d "/tmp/$1.XXXXXX")
    chmod 755 "$w"
    trap fixture_end EXIT
}
fixture_end() {
    local rc=$? log
    fusermount3 -u -z "$w/run/gvfs" 2>/dev/null || true
    if [ "$rc" -ne 0 ]; then
        for log in "${FIXTURE_LOGS[@]}"; do
            echo "--- $log ---"
            tail -n 20 "$w"/$log 2>/dev/null || true
        done
    fi
    disown -a
    kill -9 -1 2>/dev/null || true
    for _ in $(seq 50); do rm -rf "$w" 2>/dev/null && break; sleep 0.1; done
    exit "$rc"
}

# The [global] section of a standalone Samba on 127.0.0.1:445, workgroup $2, keeping all its
# state below $1; more lines for it may follow.
fixture_samba_global() {
    mkdir -p "$1"/{private,lock,state,cache,pid,ncalrpc}
    printf '[global]\n'
    printf '    %s\n' "workgroup = $2" "server role = standalone server" "disable netbios = yes" \
        "smb ports = 445" "private dir = $1/private" "lock directory = $1/lock" \
        "state directory = $1/state" "cache directory = $1/cache" "pid directory = $1/pid" \
        "ncalrpc dir = $1/ncalrpc" "passdb backend = tdbsam:$1/private/passdb.tdb" \
        "log file = $1/log.%m" "log level = 1" "load printers = no" "printing = bsd" \
        "printcap name = /dev/null" "disable spoolss = no" "${@:3}"
}

# Share $1, a printer that spools in $2 and leaves each job in $3; more lines may follow.
fixture_printer() {
    printf '[%s]\n' "$1"
    printf '    %s\n' "path = $2" "printable = yes" "print command = /bin/sh -c 'cp %s $3/; rm -f %s'" \
        "lpq command = /bin/true" "lprm command = /bin/true" "${@:4}"
}

# smbd with configuration $1, in a session of its own as it signals its process group on
# exit, until smbclient with the other arguments lists its shares.
fixture_smbd() {
    setsid smbd --foreground --no-process-group -s "$1" >"$1.out" 2>&1 &
    for _ in $(seq 100); do
        smbclient -s "$1" -L //127.0.0.1 "${@:2}" &>/dev/null && return; sleep 0.1
    done
    echo "smbd did not start"
    return 1
}

# A home, runtime folder and session bus of their own; GVfs, activated on it, speaks Spanish.
fixture_session() {
    export HOME="$w/home" XDG_RUNTIME_DIR="$w/run"
    unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    env LANG=C.UTF-8 LANGUAGE=es dbus-daemon --session --fork \
        --address="$DBUS_SESSION_BUS_ADDRESS" --print-address=1 >/dev/null
}

# A CUPS scheduler on the socket in CUPS_SERVER, administered by root alone as on a desktop:
# a client on 127.0.0.1:8631 is asked for a password.
fixture_cups() {
    local c="$w/cups"
    mkdir -p "$c"/{run,cache,state,spool,tmp}
    printf '%s\n' "Listen $c/run/cups.sock" "Listen 127.0.0.1:8631" "WebInterface No" \
        "LogLevel warn" "<Location />" "Order allow,deny" "Allow all" "</Location>" \
        "<Location /admin>" "AuthType Default" "Require user @SYSTEM" "Order allow,deny" \
        "Allow all" "</Location>" >"$c/cupsd.conf"
    printf '%s\n' "CacheDir $c/cache" "StateDir $c/state" "RequestRoot $c/spool" \
        "TempDir $c/tmp" "ErrorLog $c/error_log" "AccessLog $c/access_log" \
        "PageLog $c/page_log" "Sandboxing Relaxed" "SystemGroup root" >"$c/cups-files.conf"
    cupsd -f -c "$c/cupsd.conf" -s "$c/cups-files.conf" &
    export CUPS_SERVER="$c/run/cups.sock"
    for _ in $(seq 100); do [ -S "$CUPS_SERVER" ] && return; sleep 0.1; done
    echo "cupsd did not start"
    return 1
}
