#!/bin/bash
# The Windows quillpack.exe never writes over what it reads: an output named as one of its inputs
# in another case or spelling is refused before anything is written (Windows tells files apart by
# volume and file index, not by name), a damaged stream leaves an existing output alone, and a
# good output replaces the old file in one step.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

quillpack=$QM_WIN32_BUILD/quillpack.exe
[ -f "$quillpack" ] || { echo "FAIL no $quillpack"; exit 1; }
work=$QM_WINE_WORK/quillpack-outputs
qm_wine_new_prefix "$work/prefix"
failed=0

d=$WINEPREFIX/drive_c/dist
mkdir -p "$d"
printf 'MZ stub' >"$d/stub.exe"
printf 'hello from the container\r\n' >"$d/A.TXT"
pack() { (cd "$d" && timeout -k 5 60 wine "$quillpack" "$@" 2>"$work/err.txt" >/dev/null) }
rc=0
pack build --stub stub.exe -o SETUP.EXE A.TXT || rc=$?
expect "build" "$rc" 0
before=$(sha1sum <"$d/SETUP.EXE")

for spelling in 'setup.exe' '.\SETUP.EXE' 'C:\dist\Setup.Exe'; do
  rc=0
  pack extract SETUP.EXE A.TXT -o "$spelling" || rc=$?
  expect "extract onto its container as $spelling: exit code" "$rc" 2
  expect "extract onto its container as $spelling: refused" \
    "$(grep -c 'is the same file as' "$work/err.txt")" 1
  expect "extract onto its container as $spelling: container unchanged" \
    "$(sha1sum <"$d/SETUP.EXE")" "$before"
done

printf 'keep me' >"$d/keep.txt"
printf '\007\011 not a compressed stream' >"$d/rnd.bin"
rc=0
pack explode rnd.bin keep.txt || rc=$?
expect "explode of a bad stream: exit code" "$rc" 1
expect "explode of a bad stream: old output kept" "$(cat "$d/keep.txt")" "keep me"

rc=0
pack extract SETUP.EXE A.TXT -o keep.txt || rc=$?
expect "extract over an existing file" "$rc" 0
expect "extract over an existing file: new bytes" "$(tr -d '\r' <"$d/keep.txt")" \
  "hello from the container"
expect "no temporary left" "$(ls -A "$d" | grep -c quillpack- || true)" 0

exit $failed
