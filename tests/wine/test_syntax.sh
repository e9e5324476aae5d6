#!/bin/bash
# A script with a syntax error: the real installer shows the error box (answered and traced when
# unattended) with the line number in its caption and the line as its text, and exits 1 without
# installing anything.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

exe=$QM_WIN32_BUILD/quillmount.exe
[ -f "$exe" ] || { echo "FAIL no $exe"; exit 1; }
work=$QM_WINE_WORK/syntax
qm_wine_new_prefix "$work/prefix"
failed=0

dist=$WINEPREFIX/drive_c/dist
mkdir -p "$dist" "$WINEPREFIX/drive_c/qm"
cp "$exe" "$dist/SETUP.EXE"
# Line 4 is the fault: a comment must begin with REM. A blank line comes first, so the number
# counts lines, not statements.
printf 'TITLE "Syntax test"\r\n\r\nDEFAULTDIR C:\\SYNTAX\r\n; not a comment\r\nFILE SETUP.cfg\r\n' \
  >"$dist/SETUP.cfg"
printf '[Setup]\r\nDefaultDir=C:\\SYNTAX\r\n' >"$WINEPREFIX/drive_c/qm/answers.ini"
export QUILLMOUNT_ANSWERS='C:\qm\answers.ini'
export QUILLMOUNT_LOG='C:\qm\syntax.log'

rc=0
(cd "$dist" && timeout -k 5 120 wine 'C:\dist\SETUP.EXE') || rc=$?
timeout -k 5 60 wineserver -w || true
trace=$(tr -d '\r' <"$WINEPREFIX/drive_c/qm/syntax.log")
echo "--- trace"
echo "$trace"
echo "---"
expect "exit code" "$rc" 1
expect "syntax error box, traced" \
  "$(grep -c '^message "Syntax error, line: 4": ; not a comment -> OK' <<<"$trace")" 1
expect "nothing installed" "$([ -e "$WINEPREFIX/drive_c/SYNTAX" ] && echo present || echo absent)" absent

[ "$failed" = 0 ] && echo "PASS syntax" || { echo "FAIL syntax"; exit 1; }
