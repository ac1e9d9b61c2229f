#!/usr/bin/env bash
# Installs what is needed, builds from scratch and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
rm -rf build
scripts/build.sh
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 300
