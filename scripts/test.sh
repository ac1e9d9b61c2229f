#!/usr/bin/env bash
# Installs what is needed, builds from scratch, runs a short fuzzing run of the block parsers,
# then every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
rm -rf build build-fuzz
scripts/build.sh
scripts/fuzz.sh 10
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 300
