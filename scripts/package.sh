#!/usr/bin/env bash
# Builds the Debian package: a Release build of quillon, sollex and quillon-sim installed under
# /usr, packed by CPack into build-pkg/quillon_<version>_<arch>.deb (PKG_BUILD names another
# build directory). Install it with: apt-get install ./build-pkg/quillon_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build="${PKG_BUILD:-build-pkg}"
# The package holds the programs only: installing must not wait for the tests to be built.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target quillon sollex quillon-sim
rm -f "$build"/quillon_*.deb
(cd "$build" && cpack -G DEB)
ls "$build"/quillon_*.deb
