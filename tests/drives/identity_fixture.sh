#!/usr/bin/env bash
# Runs TEST_BINARY beside Samba on 127.0.0.1 refusing guests, a Samba AD DC with ana's ticket,
# gnome-keyring, GVfs and cupsd, then searches every file they made for the test passwords.
set -euo pipefail
. "$(dirname "$0")/../support/fixture.sh"
fixture_lock "$0" "$@"
fixture_private "$0" "$@"
bin="$1"
shift
# The test binary knows these too; nothing else may ever hold them.
ana_pw='Cl4ve-de-Ana!'
dc_pw='Adm1n-Pruebas!'
keyring_pw='llavero-de-prueba'
fixture_folder mapeo-id
FIXTURE_LOGS=("samba/log.*" dc/samba.out cups/error_log)
# Accounts the servers map their users to, visible in these namespaces only.
cp /etc/passwd /etc/group "$w/"
printf '%s:x:%s:2001::/nonexistent:/usr/sbin/nologin\n' ana 2001 caducada 2002 >>"$w/passwd"
echo "mapeoid:x:2001:" >>"$w/group"
mount --bind "$w/passwd" /etc/passwd
mount --bind "$w/group" /etc/group

# --- The domain controller, provisioned in the background while the rest starts.
ip link add mapeo-id-c type veth peer name mapeo-id-d
ip addr add 10.214.0.1/24 dev mapeo-id-c
ip link set mapeo-id-c up
printf '10.214.0.2 dc.pruebas.lan dc\n127.0.0.1 localhost\n' >"$w/hosts"
printf 'nameserver 10.214.0.2\n' >"$w/resolv.conf"
mount --bind "$w/hosts" /etc/hosts
mount --bind "$w/resolv.conf" /etc/resolv.conf
d="$w/dc"
mkdir -p "$d"/{run,log,share/Carpeta,spool,printed}
printf 'del dominio\n' >"$d/share/Carpeta/informe.txt"
chmod -R a+rwX "$d/share" "$d/printed"
chmod 1777 "$d/spool"
cat >"$w/dc.sh" <<'DC'
set -eu
d=$1
for _ in $(seq 100); do ip link show mapeo-id-d >/dev/null 2>&1 && break; sleep 0.05; done
ip link set lo up
ip addr add 10.214.0.2/24 dev mapeo-id-d
ip link set mapeo-id-d up
# winbindd's socket is looked for in /run/samba only.
mount --bind "$d/run" /run/samba
mount --bind "$d/log" /var/log/samba
printf 'nameserver 10.214.0.2\n' >"$d/resolv.conf"
mount --bind "$d/resolv.conf" /etc/resolv.conf
samba-tool domain provision -s /dev/null --targetdir="$d/db" --realm=PRUEBAS.LAN \
    --domain=PRUEBAS --server-role=dc --dns-backend=SAMBA_INTERNAL --adminpass="$DC_PW" \
    --host-name=dc --host-ip=10.214.0.2 --option="interfaces=lo mapeo-id-d" \
    --option="bind interfaces only=yes" --option="log file=$d/log/log.%m" \
    --option="pid directory=$d/run" --option="ncalrpc dir=$d/run/ncalrpc" >"$d/provision.log" 2>&1
sed -i -e '/dns forwarder/d' \
    -e 's|^\[global\]$|[global]\n\tprinting = bsd\n\tprintcap name = /dev/null|' "$d/db/etc/smb.conf"
. "$2"
{
    printf '[dominio]\n    path = %s\n    read only = no\n' "$d/share"
    fixture_printer impresora "$d/spool" "$d/printed"
} >>"$d/db/etc/smb.conf"
samba-tool user create ana "$ANA_PW" -s "$d/db/etc/smb.conf" >/dev/null
exec samba -i -s "$d/db/etc/smb.conf" >"$d/samba.out" 2>&1
DC
DC_PW="$dc_pw" ANA_PW="$ana_pw" unshare --net --mount --pid --fork --kill-child --mount-proc \
    --propagation private bash "$w/dc.sh" "$d" "$(dirname "$0")/../support/fixture.sh" &
dc_pid=$!
# Its end of the link goes over once unshare has made the namespace.
for _ in $(seq 200); do
    [ "$(readlink "/proc/$dc_pid/ns/net")" != "$(readlink /proc/self/ns/net)" ] && break
    sleep 0.02
done
ip link set mapeo-id-d netns "$dc_pid"
export KRB5_CONFIG="$w/krb5.conf" KRB5CCNAME="FILE:$w/krb5cc"
printf '%s\n' "[libdefaults]" "default_realm = PRUEBAS.LAN" "dns_lookup_kdc = false" \
    "dns_lookup_realm = false" "[realms]" "PRUEBAS.LAN = {" "kdc = 10.214.0.2" "}" >"$KRB5_CONFIG"

# --- Samba on 127.0.0.1: guests refused, everything for ana.
s="$w/samba"
mkdir -p "$w/privado/carpeta" "$w/otro" "$w/spool" "$w/printed"
printf 'secreto\n' >"$w/privado/secreto.txt"
chmod -R a+rwX "$w/privado" "$w/otro" "$w/printed"
chmod 1777 "$w/spool"
{
    fixture_samba_global "$s" MAPEOID "interfaces = lo" "bind interfaces only = yes" \
        "map to guest = Never" "restrict anonymous = 2"
    cat <<CONF
[privado]
    path = $w/privado
    valid users = ana
    read only = no
[otro]
    path = $w/otro
    valid users = ana
CONF
    fixture_printer privada "$w/spool" "$w/printed" "valid users = ana"
} >"$s.conf"
for u in ana caducada; do
    printf '%s\n%s\n' "$ana_pw" "$ana_pw" | smbpasswd -c "$s.conf" -s -a "$u" >/dev/null 2>&1
done
pdbedit -s "$s.conf" -u caducada --kickoff-time=1 >/dev/null
fixture_smbd "$s.conf" -U "ana%$ana_pw"

# --- A session bus with an unlocked keyring.
fixture_session
printf '%s' "$keyring_pw" | gnome-keyring-daemon --daemonize --unlock --components=secrets >/dev/null
fixture_cups

# --- The ticket, once the domain controller answers (provisioning takes 10-20 s).
for _ in $(seq 900); do
    printf '%s\n' "$ana_pw" | kinit ana@PRUEBAS.LAN >/dev/null 2>&1 && break
    kill -0 "$dc_pid" 2>/dev/null || { echo "the domain controller did not start"; exit 1; }
    sleep 0.1
done
klist -s || { echo "no Kerberos ticket"; exit 1; }

export QT_QPA_PLATFORM=offscreen MAPEO_ID_SERVER=127.0.0.1 MAPEO_ID_DC=dc.pruebas.lan
rc=0
"$bin" "$@" 2>&1 | tee "$w/test.log" || rc=$?
# No test password may be left in any file (the keyring is encrypted with its own password).
if grep -rlaF -e "$ana_pw" -e "$dc_pw" -- "$w" 2>/dev/null; then
    echo "a test password was found in the files above"
    rc=1
fi
exit "$rc"
