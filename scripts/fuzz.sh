#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for the given number of seconds (default 30)
# on its corpus in tests/fuzz/corpus/. New findings land in <build>/findings/; keep them as
# regression cases by copying them into the corpus. FUZZ_BUILD names the build directory
# (default build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=${FUZZ_BUILD:-build-fuzz}
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DQUILLON_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_frame fuzz_block_receiver \
  fuzz_zmodem_frames fuzz_xy_block
mkdir -p "$build/findings"
for target in frame block_receiver zmodem_frames xy_block; do
  work="$build/corpus-$target"
  mkdir -p "$work"
  echo "fuzz_$target: ${seconds}s"
  "$build/bin/fuzz_$target" -max_total_time="$seconds" -max_len=3000 \
    -artifact_prefix="$build/findings/" -print_final_stats=0 \
    "$work" "tests/fuzz/corpus/$target" 2>&1 | tail -n 3
done
