#!/bin/bash
# The installer and the uninstaller of a MinGW build load on every Windows they are made for
# (check_imports.py), and the check itself refuses what it must: a program with the C runtime
# DLL and a newer subsystem (quillpack.exe of the same build), a function the table marks as
# missing on one target, and a function the table does not list.
#
#   tests/imports/run.sh WIN32_BUILD_DIR
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: tests/imports/run.sh WIN32_BUILD_DIR}
check=("python3" "$here/check_imports.py")
failed=0
"${check[@]}" "$build/quillmount.exe" "$build/unstall.exe" || failed=1

"${check[@]}" --expect-refused 'imports msvcrt.dll' --expect-refused 'subsystem version 4.00' \
  "$build/quillpack.exe" || failed=1
table=$(mktemp)
trap 'rm -f "$table"' EXIT
sed 's/^\(KERNEL32 *CreateFileA *\)yes    yes  /\1yes    no   /' "$here/windows_api.txt" >"$table"
"${check[@]}" --table "$table" --expect-refused 'KERNEL32.CreateFileA, which win95 does not export' \
  "$build/quillmount.exe" || failed=1
grep -v '^USER32 *MessageBoxA ' "$here/windows_api.txt" >"$table"
"${check[@]}" --table "$table" --expect-refused 'USER32.MessageBoxA, which windows_api.txt does not' \
  "$build/quillmount.exe" "$build/unstall.exe" || failed=1
exit $failed
