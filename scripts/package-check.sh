#!/usr/bin/env bash
# Builds the Debian package, installs it, checks what it installed, and
# removes it again. Needs root (or sudo); CI runs it after the tests.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
packages+=(dpkg-dev desktop-file-utils appstream lintian systemd adduser)
install_missing
build_all

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
cd "$build"
rm -f tarvel-firmware-loader_*.deb
cpack -G DEB
deb=(tarvel-firmware-loader_*.deb)
# Debian's own checks of the package: no error and no warning.
lintian --fail-on error,warning "${deb[0]}"
"${sudo[@]}" dpkg -i "${deb[0]}"
trap '"${sudo[@]}" dpkg -r tarvel-firmware-loader > /dev/null' EXIT

/usr/bin/firmware-loader --version
/usr/bin/firmware-station --version
/usr/bin/firmware-upload --version
/usr/bin/firmware-loader-virtual-unit --help > /dev/null
env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/firmware-loader --help > /dev/null
env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/firmware-station --help > /dev/null
for app in FirmwareLoader FirmwareStation; do
    desktop-file-validate /usr/share/applications/com.tarvellabs.$app.desktop
    appstreamcli validate --no-net /usr/share/metainfo/com.tarvellabs.$app.metainfo.xml
    test -s /usr/share/icons/hicolor/scalable/apps/com.tarvellabs.$app.svg
    test -s /usr/share/icons/hicolor/48x48/apps/com.tarvellabs.$app.png
done
for page in firmware-loader firmware-station firmware-upload firmware-loader-virtual-unit; do
    man -l /usr/share/man/man1/$page.1.gz > /dev/null
done
test -s /usr/share/doc/tarvel-firmware-loader/copyright
test -s /usr/share/doc/tarvel-firmware-loader/examples/bench.conf
# The station service: its unit as systemd reads it, and the system user it
# runs as, in the group serial adaptors belong to.
systemd-analyze verify /usr/lib/systemd/system/firmware-station@.service
id -nG firmware-station | grep -qw dialout
test -d /etc/firmware-station
# Who may drive a bench: the bus's policy, polkit's actions and rules, the groups.
test -s /usr/share/dbus-1/system.d/com.tarvellabs.FirmwareStation1.conf
test -s /usr/share/polkit-1/actions/com.tarvellabs.firmware-station.policy
test -s /usr/share/polkit-1/rules.d/50-firmware-station.rules
getent group firmware-operators > /dev/null
getent group firmware-engineers > /dev/null
test -s /usr/share/doc/tarvel-firmware-loader/examples/60-firmware-station.rules

"${sudo[@]}" dpkg -r tarvel-firmware-loader
trap - EXIT
! dpkg-query -W -f='${Status}' tarvel-firmware-loader 2>/dev/null | grep -q "install ok installed"
echo "package check: passed"
