#!/bin/bash
# The dialogs as real windows: dialog_probe.exe builds the templates, shows them through the
# system's dialog manager and plays the user with a timer.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

probe=$QM_WIN32_BUILD/dialog_probe.exe
[ -f "$probe" ] || { echo "FAIL no $probe (build the dialog_probe target)"; exit 1; }
work=$QM_WINE_WORK/dialogs
qm_wine_new_prefix "$work/prefix"
out=$work/probe.out
qm_wine_run 180 "$probe" >"$out" 2>"$work/probe.err" || true
cat "$out"
[ "$QM_WINE_EXIT" = 0 ] || { echo "FAIL dialog_probe exited $QM_WINE_EXIT"; exit 1; }
grep -q '^DONE passed=2[0-9] failed=0' "$out" || { echo "FAIL not every dialog check ran"; exit 1; }
