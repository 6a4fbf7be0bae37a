#!/usr/bin/env bash
# Takes docs/station.png: a bench of four slots in mixed states (flashing,
# passed, adaptor missing, a unit silent mid-upload) on a 1280x800 screen,
# on a private X server with openbox; and beside it the same at half size,
# as an operator a step or two away sees it.
#   scripts/station-screenshot.sh [OUTPUT]     (needs a build: scripts/run.sh)
#   scripts/station-screenshot.sh --attached [OUTPUT]: the same bench run by
#     its service (firmware-upload station) on a private system bus, the
#     window attached to it with --bench
#   scripts/station-screenshot.sh --language vi [OUTPUT]: the window in
#     another language (the tiles' words, menus and status line)
set -euo pipefail
attached=
language=()
while [ $# -gt 0 ]; do
    case "$1" in
    --attached) attached=1 ;;
    --language) language=(--language "$2"); shift ;;
    *) break ;;
    esac
    shift
done
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=$(realpath -m "${1:-$root/docs/station.png}")
for tool in Xvfb openbox xdotool import srec_cat; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb openbox xdotool imagemagick srecord)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/station-bench.XXXXXX)
pids=()
cleanup() {
    # The window before its X server, the units last.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work XDG_CONFIG_HOME=$work/.config XDG_DATA_HOME=$work/.local/share
mkdir -p "$XDG_CONFIG_HOME" "$work/by-id"

firmware=$work/unit-4.2.s19
srec_cat -generate 0x0318 0x0334 -random -generate 0x0338 0x039C -random \
    -generate 0x03A0 0x1290 -random -generate 0x2000 0x2017 -random \
    -generate 0x2020 0x22C8 -random -generate 0x22D0 0x2950 -random \
    -o "$firmware" -Motorola -Output_Block_Size 16 -execution-start-address 0

# One unit per slot, each behaving as its tile should show it.
unit() {
    local name=$1
    shift
    "$build/tools/firmware-loader-virtual-unit" "$@" >"$work/$name.device" &
    pids+=($!)
    while [ ! -s "$work/$name.device" ]; do sleep 0.1; done
    ln -s "$(head -1 "$work/$name.device")" "$work/by-id/usb-FTDI_FT232R_USB_UART_$name-if00-port0"
}
unit A10K3XQ2 --prompt-interval 50 --baud 2400 --reject-rate 0.02 # slow: still flashing
unit A10K3XQ7 --prompt-interval 50 --next-unit-after 600000 --reject-rate 0.15 # passes, many resends
unit A10K4B11 --prompt-interval 50 --silent-after 40    # goes silent mid-upload
missing=$work/by-id/usb-FTDI_FT232R_USB_UART_A10K3XQ9-if00-port0

cat >"$XDG_CONFIG_HOME/Tarvel Labs Firmware Station.conf" <<CONF
[Station]
Firmware=$firmware
Record=$work/units.jsonl
Serial=0x0400:4:le
SerialStart=1000
NextAfter=9
Slots\\size=4
Slots\\1\\Port=$work/by-id/usb-FTDI_FT232R_USB_UART_A10K3XQ2-if00-port0
Slots\\1\\Name=Bench A1
Slots\\2\\Port=$work/by-id/usb-FTDI_FT232R_USB_UART_A10K3XQ7-if00-port0
Slots\\2\\Name=Bench A2
Slots\\3\\Port=$missing
Slots\\3\\Name=Bench B1
Slots\\4\\Port=$work/by-id/usb-FTDI_FT232R_USB_UART_A10K4B11-if00-port0
Slots\\4\\Name=Bench B2
CONF

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp &
pids+=($!)
export DISPLAY=$display
sleep 1
openbox &
pids+=($!)
sleep 1
if [ -n "$attached" ]; then
    command -v dbus-daemon >/dev/null || { echo "dbus-daemon is missing (apt-get install dbus)" >&2; exit 1; }
    cat >"$work/bus.conf" <<BUS
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>system</type><auth>EXTERNAL</auth><listen>unix:path=$work/bus</listen>
<policy context="default"><allow user="*"/><deny own="*"/><deny send_type="method_call"/>
<allow send_type="signal"/><allow send_requested_reply="true" send_type="method_return"/>
<allow send_requested_reply="true" send_type="error"/><allow receive_type="method_call"/>
<allow receive_type="method_return"/><allow receive_type="error"/><allow receive_type="signal"/>
<allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
<allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Properties"/>
</policy><include>$root/packaging/dbus/com.tarvellabs.FirmwareStation1.conf</include></busconfig>
BUS
    dbus-daemon --config-file="$work/bus.conf" --nofork &
    pids+=($!)
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/bus
    while [ ! -S "$work/bus" ]; do sleep 0.1; done
    "$build/src/firmware-upload" station --station-name bench-7 --next-after 9 \
        --record "$work/units.jsonl" --serial 0x0400:4:le --serial-start 1000 \
        -p "$work/by-id/usb-FTDI_FT232R_USB_UART_A10K3XQ2-if00-port0" --slot-name "Bench A1" \
        -p "$work/by-id/usb-FTDI_FT232R_USB_UART_A10K3XQ7-if00-port0" --slot-name "Bench A2" \
        -p "$missing" --slot-name "Bench B1" \
        -p "$work/by-id/usb-FTDI_FT232R_USB_UART_A10K4B11-if00-port0" --slot-name "Bench B2" \
        -q "$firmware" 2>"$work/service.log" &
    pids+=($!)
    until "$build/src/firmware-upload" status bench-7 >/dev/null 2>&1; do sleep 0.2; done
    "$build/src/firmware-station" "${language[@]}" --bench bench-7 &
    pids+=($!)
else
    "$build/src/firmware-station" "${language[@]}" --start &
    pids+=($!)
fi
xdotool search --sync --name "Tarvel Labs Firmware Station" >/dev/null
sleep 1
xdotool search --onlyvisible --name "Tarvel Labs Firmware Station$" windowmove --sync %@ 0 0 windowsize --sync %@ 1280 775
# The silent unit has said nothing for a few seconds (it is failed after
# NextAfter); the slow one is still going; the other has passed.
sleep 7
import -window root "$out"
# Half size, to look at as from twice the distance (not kept in docs/).
half=${HALF_OUTPUT:-/tmp/station-half.png}
convert "$out" -resize 50% "$half"
echo "$out"
echo "$half"
