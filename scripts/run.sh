#!/usr/bin/env bash
# Installs what is missing, builds, and starts the loader.
#   --demo   also starts the simulated unit on a pseudo-terminal as Com1 and
#            makes a sample S-record file to load (in ./demo).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

demo=false
for arg in "$@"; do
    case "$arg" in
        --demo) demo=true ;;
        -h|--help) sed -n '2,5p' "$0"; exit 0 ;;
        *) echo "unknown option: $arg" >&2; exit 2 ;;
    esac
done

install_missing
build_all

if ! $demo; then
    exec "$build/src/firmware-loader"
fi

# The demo keeps its own settings and port links, apart from the user's.
demo_dir="$root/demo"
mkdir -p "$demo_dir/config"
export XDG_CONFIG_HOME="$demo_dir/config"
objcopy -O srec "$(type -P true)" "$demo_dir/sample-firmware.s19"
"$build/tools/firmware-loader-virtual-unit" --link 1 --prompt-interval 250 --reject-rate 0.02 \
    --log "$demo_dir/received.log" > "$demo_dir/unit-device" &
unit=$!
trap 'kill "$unit" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$demo_dir/unit-device" ] && break; sleep 0.1; done
cat <<MSG
Simulated unit on $(cat "$demo_dir/unit-device") as Com1, prompting with "+".
  1. CommPort > Port Open (or click the red lamp).
  2. File > Load Firmware File..., choose sample-firmware.s19.
What the unit received is written to $demo_dir/received.log.
MSG
cd "$demo_dir"
"$build/src/firmware-loader"
