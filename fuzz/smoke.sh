#!/bin/sh
# Builds the picture fuzz target with clang (libFuzzer, AddressSanitizer, UBSan) in its own build
# directory and runs it for a bounded time over a seed corpus made from the built-in artwork and
# small files of every format.
#   fuzz/smoke.sh [seconds]      (default 60; build dir: build-fuzz, or $KESTRUNE_FUZZ_BUILD_DIR)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUNE_FUZZ_BUILD_DIR:-$here/build-fuzz}
seconds=${1:-60}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_BUILD_FUZZ=ON -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_BUILD_BENCH=OFF
ninja -C "$build" -j1 kestrune_fuzz_decode_picture kestrune_fuzz_corpus
work=$build/fuzz/work
mkdir -p "$work"
# The run's own finds go to a scratch directory; the seed corpus stays as made.
"$build/fuzz/kestrune_fuzz_decode_picture" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
    -timeout=10 -artifact_prefix="$work/" "$work" "$build/fuzz/corpus"
