#!/usr/bin/env bash
# Installs what is needed, builds from scratch and runs every test, then a short fuzzing run of
# the block parsers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
rm -rf build build-fuzz
scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)" --timeout 300)
scripts/fuzz.sh 10
