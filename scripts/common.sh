# Shared by run.sh and test.sh: install what is missing, then build.
# shellcheck shell=bash

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

packages=(cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6svg6
          qt6-qpa-plugins libqt6sql6-psql libsystemd-dev libmosquitto-dev pkg-config binutils
          fonts-dejavu-core qt6-l10n-tools qt6-tools-dev qt6-translations-l10n)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build_all() {
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$build" -j"$(nproc)"
}
