#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (about seven minutes:
# one of them uploads a 20,000-line file at the unit's real pace).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing
build_all
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure "$@"
