#!/bin/bash
# The private-profile functions: every case of tests/data/profiles/cases.txt run through the real
# Win32 seam under Wine must give the bytes the table gives, which the simulated machine's unit
# test checks too. So the simulated INI files are the ones Windows writes.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

probe=$QM_WIN32_BUILD/profiles_probe.exe
[ -f "$probe" ] || { echo "FAIL no $probe (build the profiles_probe target)"; exit 1; }
work=$QM_WINE_WORK/profiles
qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
mkdir -p "$c/qmprof"
cp "$QM_SOURCE_DIR/tests/data/profiles/cases.txt" "$c/qmprof/cases.txt"
out=$work/probe.out
qm_wine_run 120 "$probe" 'C:\qmprof\cases.txt' 'C:\qmprof\work' >"$out" 2>"$work/probe.err" || true
tr -d '\r' <"$out"

failed=0
expect "probe exit code" "$QM_WINE_EXIT" 0
expect "probe finished" "$(grep -c '^DONE ' "$out")" 1
expect "cases that differ" "$(grep -c '^FAIL ' "$out" || true)" 0
cases=$(grep -cv '^\(#\|$\)' "$QM_SOURCE_DIR/tests/data/profiles/cases.txt")
expect "every case ran" "$(grep -c '^PASS ' "$out" || true)" "$cases"
exit $failed
