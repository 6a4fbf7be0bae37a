#!/usr/bin/env bash
# Builds, then runs the upload benchmark on a private X server:
#   bench/run.sh [--quick]      (the full run takes about 17 minutes)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
packages+=(xvfb xauth xdotool)
install_missing
build_all
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$build/bench/bench_upload" "$@"
