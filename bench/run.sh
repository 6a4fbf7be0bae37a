#!/usr/bin/env bash
# Builds, then runs the benchmarks on a private X server:
#   bench/run.sh [--quick]          the loader window and firmware-upload
#                                   (the full run takes about 17 minutes)
#   bench/run.sh --station [--quick]  the production station and its window
#                                   (about 25 minutes)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
packages+=(xvfb xauth xdotool)
install_missing
build_all
program=bench_upload
if [ "${1:-}" = "--station" ]; then
    program=bench_station
    shift
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$build/bench/$program" "$@"
