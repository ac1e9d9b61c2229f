#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build and test (only those missing).
set -euo pipefail
packages=(cmake g++ make libgtest-dev pkg-config clang-14 clang-format-14 libclang-rt-14-dev qt6-base-dev qt6-translations-l10n socat lrzsz libcurl4-openssl-dev python3-pyftpdlib)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
