#!/usr/bin/env bash
# Runs a test binary in namespaces of its own beside Samba on 127.0.0.1:445, a session bus
# with GVfs and a CUPS scheduler, all of which end with the script.
#   connections_fixture.sh BINARY [ARGS...]
set -euo pipefail
. "$(dirname "$0")/../support/fixture.sh"
fixture_private "$0" "$@"
bin="$1"
shift
# A host that never answers: packets to 10.213.0.2 go into a link whose other end drops them.
ip link add mapeo-void0 type veth peer name mapeo-void1
ip link set mapeo-void1 up
ip addr add 10.213.0.1/24 dev mapeo-void0
ip link set mapeo-void0 up
ip neigh replace 10.213.0.2 lladdr 02:00:00:00:00:02 dev mapeo-void0 nud permanent
fixture_folder mapeo-drives
FIXTURE_LOGS=("samba/log.*" cups/error_log)

# --- Samba: a guest share, a password share, printers.
s="$w/samba"
mkdir -p "$w/publico/carpeta/sub" "$w/privado" "$w/spool" "$w/printed"
printf 'hola desde el servidor\n' >"$w/publico/hola.txt"
printf 'dentro de la carpeta\n' >"$w/publico/carpeta/dentro.txt"
chmod -R a+rwX "$w/publico" "$w/privado" "$w/printed"
mkdir -m 000 "$w/publico/cerrada"  # a folder the guest may not open
chmod 1777 "$w/spool"
{
    fixture_samba_global "$s" MAPEOTEST "map to guest = Bad User" "guest account = nobody"
    cat <<CONF
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
CONF
    fixture_printer laser "$w/spool" "$w/printed" "guest ok = yes"
    cat <<CONF
[datos #1 @ 100%]
    path = $w/publico
    guest ok = yes
[láser #2]
    copy = laser
CONF
} >"$s.conf"
fixture_smbd "$s.conf" -N
fixture_session
fixture_cups

export MAPEO_TEST_SHARE="$w/publico" MAPEO_TEST_PRINTED="$w/printed"
export QT_QPA_PLATFORM=offscreen
"$bin" "$@"
[ "${MAPEO_FIXTURE_NO_SERVICES_RUN:-1}" = 1 ] || exit 0
# An ordinary user on a terminal, whom CUPS asks for a password: the port must fail at once.
mkdir -p "$w/nobody" && chown nobody "$w/nobody"
HOME="$w/nobody" CUPS_SERVER=127.0.0.1:8631 MAPEO_TEST_UNPRIVILEGED=1 timeout 60 \
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
    script -qec "'$bin' --gtest_filter='Unprivileged*'" /dev/null
