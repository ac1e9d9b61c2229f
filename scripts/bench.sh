#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints its figures and whether it meets its goal.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh bench_block_turnaround bench_reception bench_radio_network
build/bin/bench_block_turnaround
build/bin/bench_reception
build/bin/bench_radio_network
