#!/usr/bin/env bash
# Installs what is missing, builds, and starts Corvid on the simulated demo
# database, logged on as SCOTT/TIGER. Extra arguments go to Corvid (e.g. -d15).
set -euo pipefail
CORVID_ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$CORVID_ROOT"
source scripts/common.sh

install_missing_packages
configure_and_build build

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found (DISPLAY is not set). Start Corvid from a desktop session," >&2
    echo "or under a virtual one: xvfb-run -a ./run.sh" >&2
    exit 1
fi

# The simulated client libraries stand in for an Oracle client.
export LD_LIBRARY_PATH="$CORVID_ROOT/build/ocisim/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export CORVID_SIM_SCENARIO=${CORVID_SIM_SCENARIO:-demo}
say "Starting Corvid on the simulated database DEMO"
exec "$CORVID_ROOT/build/corvid" -uSCOTT -pTIGER -sDEMO "$@"
