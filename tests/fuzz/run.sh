#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each one for a
# fixed time on a copy of its seed corpus. Fails on any crash, sanitizer
# report or broken invariant.
#   tests/fuzz/run.sh [seconds per target]      (default 60)
set -euo pipefail
seconds="${1:-60}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=OFF -DLOADER_FUZZ=ON > /dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_settings fuzz_conversions fuzz_pinfile fuzz_engine fuzz_filecheck fuzz_imagepatch fuzz_initext

export ASAN_OPTIONS=halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
status=0
for target in settings conversions pinfile engine filecheck imagepatch initext; do
    corpus="$build/corpus/$target"
    rm -rf "$corpus" && mkdir -p "$corpus"
    cp "$here/$target"/* "$corpus"/
    echo "fuzz_$target: ${seconds} s"
    if ! (cd "$build" && "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" \
            -print_final_stats=1 "$corpus" > "$build/fuzz_$target.log" 2>&1); then
        echo "fuzz_$target FAILED:"; tail -40 "$build/fuzz_$target.log"; status=1
    else
        grep -E "^stat::number_of_executed_units|cov:" "$build/fuzz_$target.log" | tail -2
    fi
done
exit $status
