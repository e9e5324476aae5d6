#!/usr/bin/env bash
# How fast a whole installation is, measured against `cp -r` of the same files in the same run.
#
#   bench/install_bench.sh [WIN32_BUILD_DIR [NATIVE_BUILD_DIR]]
#
# Makes (or takes, QM_BENCH_DIST=FOLDER) a 100 MB distribution: 100 files of 1 MB of
# incompressible bytes, a folder SMALL of 2,000 files of a few KB, and a SETUP.cfg with one FILE
# statement per file (checked with `quillpack check`). Then, in one fresh Wine prefix under Xvfb:
#   - cp -r of the distribution's files into the prefix's C: (the reference),
#   - the real installer, unattended, from the distribution folder mapped as drive D:,
#   - the same installer with a one-file script (Wine's fixed start-up cost),
#   - a plain Windows copy loop (bench/win32_copy_loop.cpp, CopyFileA per file) from D: into the
#     prefix: the floor that Wine's file calls set for any Windows program,
# and `quillpack simulate` of the same distribution on a machine whose D: is the distribution
# folder, against a cp -r into that machine's C:. Each figure is the best of QM_BENCH_ROUNDS runs
# (default 2). Prints a table; it never fails on a slow figure, only when a run goes wrong.
#
# Builds that are missing are made with the standard presets (scripts/build.sh). Scratch files go
# to QM_BENCH_WORK (default a new folder under /tmp), removed at the end unless QM_BENCH_KEEP=1.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
win32=${1:-build/win32}
native=${2:-build/native}
rounds=${QM_BENCH_ROUNDS:-2}

if [ ! -f "$win32/quillmount.exe" ] || [ ! -x "$native/quillpack" ]; then
  [ "$win32" = build/win32 ] && [ "$native" = build/native ] ||
    { echo "install_bench: no quillmount.exe in $win32 or no quillpack in $native" >&2; exit 2; }
  scripts/build.sh native win32
fi
win32=$(cd "$win32" && pwd)
native=$(cd "$native" && pwd)
for tool in wine wineserver wineboot Xvfb python3 i686-w64-mingw32-g++; do
  command -v "$tool" >/dev/null || { echo "install_bench: $tool is missing (scripts/setup.sh)" >&2; exit 2; }
done

work=${QM_BENCH_WORK:-$(mktemp -d /tmp/qm-bench.XXXXXX)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
xvfb=
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && timeout -k 5 30 wineserver -k 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  if [ -z "${QM_BENCH_KEEP:-}" ]; then rm -rf "$work"; else echo "kept $work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

now() { date +%s.%N; }
seconds() { python3 -c "import sys; print('%.2f' % (float(sys.argv[2]) - float(sys.argv[1])))" "$@"; }
smaller() { python3 -c "import sys; print(min(sys.argv[1:], key=float))" "$@"; }
ratio() { python3 -c "import sys; print('%.2f' % (float(sys.argv[1]) / max(float(sys.argv[2]), 0.01)))" "$@"; }

# --- the distribution
dist=${QM_BENCH_DIST:-$work/dist}
if [ -z "${QM_BENCH_DIST:-}" ]; then
  echo "== making the distribution in $dist"
  python3 bench/make_distribution.py "$dist"
fi
[ -f "$dist/SETUP.cfg" ] || { echo "install_bench: no SETUP.cfg in $dist" >&2; exit 2; }
"$native/quillpack" check "$dist/SETUP.cfg" >/dev/null
cp "$win32/quillmount.exe" "$dist/SETUP.EXE"
files=$(find "$dist" -type f ! -name SETUP.cfg ! -name SETUP.EXE | wc -l)
bytes=$(du -sb --exclude=SETUP.cfg --exclude=SETUP.EXE "$dist" | cut -f1)
# Both sides read the distribution from the page cache.
find "$dist" -type f -exec cat {} + >/dev/null

# The tiny distribution that measures Wine's start-up: the same program, one small file.
tiny=$work/tiny
mkdir -p "$tiny"
cp "$win32/quillmount.exe" "$tiny/SETUP.EXE"
printf 'read me\r\n' >"$tiny/README.TXT"
printf 'UNINSTALL YES\r\nDEFAULTDIR C:\\TINY NOASKDRIVE NOASKDIR\r\nFILE README.TXT\r\n' >"$tiny/SETUP.cfg"

# The floor: a Windows program that only copies.
i686-w64-mingw32-g++ -O2 -static -o "$work/copyloop.exe" bench/win32_copy_loop.cpp

# --- Wine: one display, one prefix, the distributions as drives D: and E:
echo "== booting a Wine prefix"
fdfile=$work/display
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do grep -q '^[0-9]' "$fdfile" 2>/dev/null && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$fdfile" | tr -dc 0-9)"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
WINEARCH=win32 timeout -k 10 300 wineboot -i >"$work/boot.log" 2>&1 && export WINEARCH=win32 || {
  rm -rf "$WINEPREFIX"; unset WINEARCH; timeout -k 10 300 wineboot -i >"$work/boot.log" 2>&1; }
ln -sfn "$dist" "$WINEPREFIX/dosdevices/d:"
ln -sfn "$tiny" "$WINEPREFIX/dosdevices/e:"
c=$WINEPREFIX/drive_c
mkdir -p "$c/qm"
cp "$work/copyloop.exe" "$c/qm/copyloop.exe"
printf '[Setup]\r\nReboot=No\r\nOverwrite=Yes\r\n' >"$c/qm/answers.ini"
export QUILLMOUNT_ANSWERS='C:\qm\answers.ini'
# The server stays up between runs, as it does on a desktop: each run pays only its own start.
timeout -k 5 120 wineserver -w || true
wineserver -p 600
timeout -k 5 60 wine cmd /c exit >/dev/null 2>&1 || true

install() {  # DRIVE TARGET: one unattended run; its seconds go to took
  local drive=$1 target=$2 start end rc=0
  rm -rf "$c/$target"
  sync
  start=$(now)
  (cd "$c" && timeout -k 5 600 wine "$drive:\\SETUP.EXE") >"$work/wine.out" 2>&1 || rc=$?
  end=$(now)
  if [ "$rc" != 0 ]; then
    echo "install_bench: the installer from $drive: exited with $rc" >&2
    cat "$work/wine.out" >&2
    exit 1
  fi
  took=$(seconds "$start" "$end")
}

copy() {  # FROM TO: cp -r of the distribution's files; its seconds go to took
  local from=$1 to=$2 start end
  rm -rf "$to"
  sync
  start=$(now)
  mkdir "$to"
  find "$from" -mindepth 1 -maxdepth 1 ! -name SETUP.cfg ! -name SETUP.EXE -exec cp -r -t "$to" {} +
  end=$(now)
  took=$(seconds "$start" "$end")
}

loop() {  # TARGET: the plain copy loop from D:; its seconds go to took
  local target=$1 start end rc=0
  rm -rf "$c/$target"
  sync
  start=$(now)
  (cd "$c" && timeout -k 5 600 wine 'C:\qm\copyloop.exe' 'D:' "C:\\$target") >"$work/wine.out" 2>&1 || rc=$?
  end=$(now)
  [ "$rc" = 0 ] || { echo "install_bench: the copy loop exited with $rc" >&2; cat "$work/wine.out" >&2; exit 1; }
  took=$(seconds "$start" "$end")
}

cp_times=() install_times=() startup_times=() loop_times=()
for r in $(seq 1 "$rounds"); do
  echo "== round $r of $rounds"
  copy "$dist" "$c/CPCOPY"
  cp_times+=("$took")
  install D BENCH
  install_times+=("$took")
  install E TINY
  startup_times+=("$took")
  loop LOOP
  loop_times+=("$took")
done
# The installation is checked once: every file there, byte for byte.
for f in $(cd "$dist" && find . -type f ! -name SETUP.cfg ! -name SETUP.EXE); do
  cmp -s "$dist/$f" "$c/BENCH/$f" || { echo "install_bench: $f was not installed intact" >&2; exit 1; }
done
installed=$(grep -c '^FILE:' "$c/BENCH/install.log" || true)
[ "$installed" = "$files" ] ||
  { echo "install_bench: install.log names $installed files, not $files" >&2; exit 1; }

# --- quillpack simulate: drive D: holds the distribution (hard links to its files: a drive's
# folder must lie inside the machine's folder)
sim=$work/sim
mkdir -p "$sim/c/WINDOWS/SYSTEM" "$sim/c/TEMP"
cp -al "$dist" "$sim/d" 2>/dev/null || cp -r "$dist" "$sim/d"
printf '[Machine]\nWindowsDir=C:\\WINDOWS\nSystemDir=C:\\WINDOWS\\SYSTEM\nTempDir=C:\\TEMP\n[Drives]\nC=fixed c\nD=fixed d\n' \
  >"$sim/machine.ini"
printf '[Setup]\nReboot=No\nOverwrite=Yes\n' >"$sim/answers.ini"
simcp_times=() sim_times=()
for r in $(seq 1 "$rounds"); do
  copy "$dist" "$sim/c/CPCOPY"
  simcp_times+=("$took")
  rm -rf "$sim/c/BENCH"
  sync
  start=$(now)
  "$native/quillpack" simulate --quiet --machine "$sim/machine.ini" --answers "$sim/answers.ini" \
    'D:\SETUP.EXE' || { echo "install_bench: quillpack simulate failed" >&2; exit 1; }
  end=$(now)
  sim_times+=("$(seconds "$start" "$end")")
done
diff -r -x .qm-attributes -x install.log "$sim/c/BENCH" "$c/BENCH" >/dev/null ||
  { echo "install_bench: the simulated installation differs from the real one" >&2; exit 1; }

cp_s=$(smaller "${cp_times[@]}")
install_s=$(smaller "${install_times[@]}")
startup_s=$(smaller "${startup_times[@]}")
loop_s=$(smaller "${loop_times[@]}")
simcp_s=$(smaller "${simcp_times[@]}")
sim_s=$(smaller "${sim_times[@]}")
echo
echo "distribution: $files files, $bytes bytes; best of $rounds rounds"
printf '%-40s %8s\n' "cp -r into the prefix (s)" "$cp_s"
printf '%-40s %8s\n' "installer under Wine (s)" "$install_s"
printf '%-40s %8s\n' "install / cp" "$(ratio "$install_s" "$cp_s")"
printf '%-40s %8s\n' "Wine start-up, one-file install (s)" "$startup_s"
printf '%-40s %8s\n' "installer less start-up / cp" \
  "$(ratio "$(python3 -c "import sys; print(max(float(sys.argv[1]) - float(sys.argv[2]), 0))" "$install_s" "$startup_s")" "$cp_s")"
printf '%-40s %8s\n' "plain Windows copy loop under Wine (s)" "$loop_s"
printf '%-40s %8s\n' "copy loop / cp" "$(ratio "$loop_s" "$cp_s")"
printf '%-40s %8s\n' "install / copy loop" "$(ratio "$install_s" "$loop_s")"
printf '%-40s %8s\n' "cp -r into the simulated C: (s)" "$simcp_s"
printf '%-40s %8s\n' "quillpack simulate (s)" "$sim_s"
printf '%-40s %8s\n' "simulate / cp" "$(ratio "$sim_s" "$simcp_s")"
