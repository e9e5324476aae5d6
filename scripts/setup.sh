#!/usr/bin/env bash
# Installs everything the builds and tests need on a fresh Debian 12 machine (run as root).
# Safe to run again: it only installs what is missing.
set -euo pipefail

need=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev g++-mingw-w64-i686 wine wine32:i386
      xvfb xauth libstorm-dev clang libclang-rt-14-dev imagemagick file python3 ccache chromium)
missing=()
for p in "${need[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
echo "setup: all packages present"
