#!/usr/bin/env bash
# Main window benchmarks: start-up to the painted window, and drive connect/disconnect beside
# `gio mount` against a Samba server in namespaces of their own (the connections test's).
#   bash bench/drives/run.sh [--build DIR] [--reps N]     (as root, after a build)
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=build REPS=
while [ $# -gt 0 ]; do
    case $1 in
        --build) BUILD=$2; shift 2 ;;
        --reps) REPS=$2; shift 2 ;;
        *) echo "usage: $0 [--build DIR] [--reps N]" >&2; exit 2 ;;
    esac
done
BUILD=$(cd "$BUILD" && pwd)
"$BUILD/bench/drives/startup_bench" "${REPS:-15}"
MAPEO_FIXTURE_NO_SERVICES_RUN=0 bash tests/drives/connections_fixture.sh \
    "$BUILD/bench/drives/connect_bench" "${REPS:-20}" 0
MAPEO_FIXTURE_NO_SERVICES_RUN=0 bash tests/drives/connections_fixture.sh \
    "$BUILD/bench/drives/connect_bench" "${REPS:-10}" 2500
# A share that needs the user: keyring entry and Kerberos ticket (AD DC started by the fixture).
bash tests/drives/identity_fixture.sh "$BUILD/bench/drives/identity_bench" "${REPS:-10}" 2500
