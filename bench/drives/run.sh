#!/usr/bin/env bash
# Main window benchmarks; run as root after `cmake --build build` (the connect benchmark
# needs the test servers, which it starts in namespaces of its own).
set -euo pipefail
cd "$(dirname "$0")/../.."
build/bench/drives/startup_bench "${1:-15}"
MAPEO_FIXTURE_NO_SERVICES_RUN=0 bash tests/drives/connections_fixture.sh \
    "$PWD/build/bench/drives/connect_bench" 20 0
MAPEO_FIXTURE_NO_SERVICES_RUN=0 bash tests/drives/connections_fixture.sh \
    "$PWD/build/bench/drives/connect_bench" 10 2500
# A share that needs the user: keyring entry and Kerberos ticket (AD DC started by the fixture).
bash tests/drives/identity_fixture.sh "$PWD/build/bench/drives/identity_bench" 10 2500
