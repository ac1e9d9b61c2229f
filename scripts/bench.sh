#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints its figures and whether it meets its goal.
# "scripts/bench.sh soak [minutes] [ports]" runs only the soak benchmark instead (ten minutes by
# default, too long for the usual run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [[ "${1:-}" == soak ]]; then
  shift
  scripts/build.sh bench_soak
  exec build/bin/bench_soak "$@"
fi
scripts/build.sh bench_block_turnaround bench_reception bench_radio_network
build/bin/bench_block_turnaround
build/bin/bench_reception
build/bin/bench_radio_network
