#!/bin/bash
# IF conditions on the real Win32 seam under Wine: version texts agree with the system's own
# version functions for every module of the prefix's system folder, ocxfilever reads classes
# registered in the prefix, isfile and locate see the prefix's drives, and memory, winver and
# video agree with what the host and the prefix's settings say.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

probe=$QM_WIN32_BUILD/conditions_probe.exe
[ -f "$probe" ] || { echo "FAIL no $probe (build the conditions_probe target)"; exit 1; }
work=$QM_WINE_WORK/conditions
qm_wine_new_prefix "$work/prefix"
# A known version: Windows XP is 5.1, build 2600 (0x0A28, which the DOS bytes read as 10.40).
qm_wine_tool winecfg -v winxp >/dev/null 2>&1 || { echo "FAIL winecfg -v winxp"; exit 1; }

failed=0

# Evaluates one IF line with SOURCEDIR as $SOURCEDIR$; leaves the probe's output in $out.
out=$work/eval.out
evaluate() {  # SOURCEDIR LINE
  qm_wine_run 300 "$probe" eval "$1" "$2" >"$out" 2>>"$work/probe.err" || true
  tr -d '\r' <"$out" >"$out.txt"
  mv "$out.txt" "$out"
}
field() { sed -n "s/^$1=//p" "$out"; }
check() {  # EXPECTED-RESULT LINE [SOURCEDIR]
  evaluate "${3:-Z:\\}" "$2"
  expect "$2" "$(field result)" "$1"
}

# --- version texts: seam, system functions and the portable reader agree --------------------
mods=$(qm_wine_c_path 'C:\qmcond')
mkdir -p "$mods"
cp "$QM_SOURCE_DIR"/tests/data/pe/*.dll "$mods/"
sys32=$(qm_wine_c_path 'C:\windows\system32')
list=()
for f in "$sys32"/*.dll "$sys32"/*.exe "$sys32"/*.ocx "$sys32"/*.drv; do
  [ -f "$f" ] && list+=("C:\\windows\\system32\\$(basename "$f")")
done
[ "${#list[@]}" -ge 100 ] || { echo "BAD  only ${#list[@]} modules in system32"; failed=1; }
vout=$work/version.out
qm_wine_run 600 "$probe" version 'C:\qmcond\ver_e4.dll' 'C:\qmcond\ver_b0.dll' \
  'C:\qmcond\ver_none.dll' "${list[@]}" >"$vout" 2>>"$work/probe.err" || true
expect "version texts agree (mismatches)" "$(grep -c '^MISMATCH' "$vout" || true)" 0
grep '^MISMATCH' "$vout" | head -n 20 || true
expect "version probe exit" "$QM_WINE_EXIT" 0
expect "modules read" "$(grep -c '^version ' "$vout")" "$((${#list[@]} + 3))"
with_text=$(grep -c '^version .* result=1 ' "$vout" || true)
[ "$with_text" -ge 50 ] || { echo "BAD  only $with_text modules have a version text"; failed=1; }
vline() { grep -F "version $1 " "$vout" | tr -d '\r'; }
expect "our E4 table" "$(vline 'C:\qmcond\ver_e4.dll')" \
  'version C:\qmcond\ver_e4.dll result=1 text=4.71.1712.5 fixed=4.71.1712.5'
expect "our B0 table" "$(vline 'C:\qmcond\ver_b0.dll')" \
  'version C:\qmcond\ver_b0.dll result=1 text=10.0.0.1 (beta) fixed=10.0.0.1'
expect "no version resource" "$(vline 'C:\qmcond\ver_none.dll')" \
  'version C:\qmcond\ver_none.dll result=0 text= fixed=none'

# --- ocxfilever: classes registered in the prefix --------------------------------------------
grid='{51E7A001-0000-4000-8000-00000000C0DE}'
qm_wine_tool reg add "HKCR\\CLSID\\$grid\\InprocServer32" /ve /d 'C:\qmcond\ver_e4.dll' /f \
  >/dev/null 2>&1 || { echo "FAIL reg add"; exit 1; }
qm_wine_tool reg add "HKCR\\CLSID\\$grid\\InprocServer" /ve /d 'C:\qmcond\ver_b0.dll' /f \
  >/dev/null 2>&1 || { echo "FAIL reg add"; exit 1; }
bare=${grid#\{}
bare=${bare%\}}
check 1 "IF ocxfilever \"$grid\" 32 = \"4.71.1712.5\""
check 1 "IF ocxfilever \"$bare\" 32 = \"4.71.1712.5\""
check 1 "IF ocxfilever \"$bare\" 32 > \"10.0\""
check 0 "IF ocxfilever \"$bare\" 32 >= \"5\""
check 1 "IF ocxfilever \"$bare\" 16 = \"10.0.0.1 (BETA)\""
check 1 "IF ocxfilever \"{51E7A001-0000-4000-8000-00000000FFFF}\" 32 = \"0.0.0.0\""
check -1 "IF ocxfilever \"$bare\" 64 = \"1\""
# A class the prefix registered itself: the shell link object in shell32.
link='{00021401-0000-0000-C000-000000000046}'
server=$(qm_wine_tool reg query "HKCR\\CLSID\\$link\\InprocServer32" /ve 2>/dev/null | tr -d '\r' |
  sed -n 's/.*REG_[A-Z_]*SZ[[:space:]]*//p' | head -n 1)
[ -n "$server" ] || { echo "BAD  the prefix has no server for $link"; failed=1; }
qm_wine_run 120 "$probe" version "$server" >"$work/link.out" 2>>"$work/probe.err" || true
linkver=$(tr -d '\r' <"$work/link.out" | sed -n 's/^version .* result=1 text=\(.*\) fixed=.*/\1/p')
[ -n "$linkver" ] || { echo "BAD  no version text for $server"; failed=1; }
check 1 "IF ocxfilever \"$link\" 32 = \"$linkver\""
check 0 "IF ocxfilever \"$link\" 32 <> \"$linkver\""

# --- isfile ----------------------------------------------------------------------------------
mkdir -p "$mods/files/sub"
echo x >"$mods/files/a.txt"
check 1 'IF isfile "C:\qmcond\files\a.txt"'
check 1 'IF isfile C:\qmcond\files\*.txt'
check 0 'IF isfile C:\qmcond\files\*.doc'
check 1 'IF isfile "C:\qmcond\files\"'
check 1 'IF isfile "C:\qmcond\files\sub\"'
check 0 'IF isfile "C:\qmcond\nope\"'
check 1 'IF isfile C:\qmcond\files\sub'
check 1 'IF isfile "$WINDIR$\win.ini"'

# --- locate: the prefix's C: drive, a floppy, and never the source drive ----------------------
floppy=$work/floppy
qm_wine_map_floppy "$floppy" a
echo x >"$floppy/flop.dat"
mkdir -p "$mods/deep/x/y"
echo x >"$mods/deep/x/y/qmlocate_unique.dat"
# Z: (the host's root) is the source drive here, so the search over all drives covers C: only.
check 1 'IF locate qmlocate_unique.dat'
expect "locate dir" "$(field locatedir | tr 'A-Z' 'a-z')" 'c:\qmcond\deep\x\y'
expect "locate drive" "$(field locatedrive)" C
expect "checking box shown" "$(field boxes)" 1
check 1 'IF locate QMLOCATE_UNIQUE.DAT c'
check 0 'IF locate qmlocate_unique.dat network'
check 0 'IF locate flop.dat'  # removable drives are not searched
check 1 'IF locate flop.dat A'
expect "root keeps its backslash" "$(field locatedir)" 'A:\'
check -1 'IF locate flop.dat somewhere'
expect "no box for a bad where" "$(field boxes)" 0

# --- memory, winver, dosver, video ------------------------------------------------------------
qm_wine_run 60 "$probe" facts >"$work/facts.out" 2>>"$work/probe.err" || true
tr -d '\r' <"$work/facts.out"
mem=$(tr -d '\r' <"$work/facts.out" | sed -n 's/^memory=//p')
host_kb=$(sed -n 's/^MemTotal:[[:space:]]*\([0-9]*\) kB/\1/p' /proc/meminfo)
# Wine reports the host's memory; allow 1% either way for what the kernel keeps to itself.
lo=$((host_kb - host_kb / 100))
hi=$((host_kb + host_kb / 100))
check 1 "IF memory >= $lo"
check 1 "IF memory <= $hi"
check 1 "IF memory = $((mem / 1024))"
check 0 "IF memory > $((mem / 1024))"
check 1 'IF winver = 5.1'
check 1 'IF winver = range 5 5.1'
check 0 'IF winver > 5.1'
check 1 'IF dosver = 10.40'
w=${QM_WINE_SCREEN%%x*}
rest=${QM_WINE_SCREEN#*x}
h=${rest%%x*}
check 1 "IF videoresolution > $w $h"
check 0 "IF videoresolution > $((w + 1)) $h"
check 1 "IF video < $((w + 1)) $h"
check 0 "IF video < $w $h"
check 1 'IF videocolor > 16777216'
check 0 'IF video <256'

[ -s "$work/probe.err" ] && { echo "probe stderr:"; head -n 20 "$work/probe.err"; }
[ "$failed" = 0 ] && echo "all condition checks passed"
exit "$failed"
