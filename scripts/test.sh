#!/usr/bin/env bash
# Installs what is needed, checks the sources' format, builds from scratch, runs a short fuzzing
# run of every parser, then every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/format-check.sh
rm -rf build build-fuzz
scripts/build.sh
scripts/fuzz.sh 10
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 300
