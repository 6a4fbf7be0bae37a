#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   1. the test programs (CTest; about seven minutes, one of them uploads a
#      20,000-line file at the unit's real pace);
#   2. the quick ones again in a build with AddressSanitizer and
#      UndefinedBehaviorSanitizer, failing on any report;
#   3. each fuzz target for FUZZ_SECONDS (default 60).
# Extra arguments go to the first ctest run (for example -L quick).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# The window tests drive the real program on a private X server with a
# window manager; srecord judges the file check; the fuzz targets need
# clang's libFuzzer.
# A real PostgreSQL server (in a folder of the test's own, on a Unix socket)
# takes the forwarded records; promtool, node_exporter and systemd-analyze
# judge the service's metrics and unit.
# ssh-keygen makes and checks the released jobs' signatures; Mosquitto is
# the factory's broker the stations publish on and take commands from; a
# private system bus (dbus-daemon) with a real polkitd decides who may
# drive a bench's service. The Chinese window is measured in the font it
# is shown in.
packages+=(xvfb xauth xdotool openbox x11-utils srecord clang libclang-rt-14-dev postgresql
           prometheus prometheus-node-exporter systemd openssh-client mosquitto mosquitto-clients
           dbus dbus-bin polkitd fonts-noto-cjk)

install_missing
build_all
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure "$@")

echo "== sanitizers"
cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DLOADER_SANITIZE=ON > /dev/null
cmake --build "$root/build-asan" -j"$(nproc)"
(cd "$root/build-asan" &&
    ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
    LSAN_OPTIONS=suppressions="$root/tests/sanitizers/lsan.supp" \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -L quick)

echo "== fuzzing"
"$root/tests/fuzz/run.sh" "${FUZZ_SECONDS:-60}"
