#!/usr/bin/env bash
# Builds the native tree (library, quillpack, unit tests) and the Windows tree (quillmount.exe,
# quillpack.exe, Wine probes). Usage: scripts/build.sh [native|win32|asan|fuzz|release]...
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${QM_JOBS:-2}
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win32)
for p in "${presets[@]}"; do
  echo "== build $p"
  cmake --preset "$p" >/dev/null
  cmake --build "build/$p" -j"$jobs"
done
