#!/usr/bin/env bash
# Builds Mapeo and starts it. Installs the Debian packages it needs (through sudo when not
# run as root); safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMAPEO_TESTS=OFF -DMAPEO_BENCH=OFF
cmake --build build-release --target mapeo mapeo-echo
# Lets the TCP/IP tester send ICMP echoes without root where the system keeps ICMP sockets
# closed (net.ipv4.ping_group_range): the capability goes on the small echo helper only. The
# Qt program never carries one; a capability left on it by an older version is taken back.
as_root setcap -r build-release/app/mapeo 2>/dev/null || true
as_root setcap cap_net_raw+ep build-release/app/mapeo-echo ||
    echo "setcap failed: the TCP/IP tester's probes need root or net.ipv4.ping_group_range"
exec build-release/app/mapeo "$@"
