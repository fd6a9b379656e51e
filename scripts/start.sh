#!/usr/bin/env bash
# Builds Mapeo and starts it. Installs the Debian packages it needs (through sudo when not
# run as root); safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

ensure_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMAPEO_TESTS=OFF -DMAPEO_BENCH=OFF
cmake --build build-release --target mapeo
# Lets the TCP/IP tester send ICMP echoes without running as root.
as_root setcap cap_net_raw+ep build-release/app/mapeo || echo "setcap failed: ping needs root"
exec build-release/app/mapeo "$@"
