#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each on its corpus in tests/fuzz/corpus/. New
# findings land in <build>/findings/; keep them as regression cases by copying them into the
# corpus. FUZZ_BUILD names the build directory (default build-fuzz).
#
# Time: the first argument (default 30) is the seconds of each of the four block protocol and
# X/Y/Z-Modem framing targets, which see the line's bytes directly; the nine parsers of files,
# command lines, HEX records and radio network texts get half of it each. `fuzz.sh 10` thus
# fuzzes 4 x 10 s + 9 x 5 s = 85 s, plus the build (incremental after the first run).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
half=$(( seconds / 2 > 0 ? seconds / 2 : 1 ))
build=${FUZZ_BUILD:-build-fuzz}
line_targets="frame block_receiver zmodem_frames xy_block"
parser_targets="settings_file command_line uploader xyz_headers quorbus_reply term_records \
tembra_ini job_lines hex_record"
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DQUILLON_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
build_targets=()
for target in $line_targets $parser_targets; do build_targets+=("fuzz_$target"); done
cmake --build "$build" -j"$(nproc)" --target "${build_targets[@]}"
mkdir -p "$build/findings"
run() {
  local target=$1 time=$2
  local work="$build/corpus-$target"
  mkdir -p "$work"
  echo "fuzz_$target: ${time}s"
  "$build/bin/fuzz_$target" -max_total_time="$time" -max_len=3000 \
    -artifact_prefix="$build/findings/" -print_final_stats=0 \
    "$work" "tests/fuzz/corpus/$target" 2>&1 | tail -n 3
}
for target in $line_targets; do run "$target" "$seconds"; done
for target in $parser_targets; do run "$target" "$half"; done
