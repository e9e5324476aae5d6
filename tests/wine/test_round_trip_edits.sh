#!/bin/bash
# The uninstaller puts back exactly what the installation changed, on a prefix set up the way a
# user's machine is: AUTOEXEC.BAT with a lower-case SHARE line and no final line end beside the
# user's own AUTOEXEC.BAK, WIN.INI and a program INI with comments and blank lines, registry values
# the script changes and a key it deletes. Install then uninstall: the prefix is as it was but for
# the uninstaller's copy. Again with the user's edits made in between: they stay and are reported.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
. "$(dirname "${BASH_SOURCE[0]}")/prefix_snapshot.sh"
qm_wine_setup "$@"

unstall=$QM_WIN32_BUILD/unstall.exe
qm_wine_need_programs "$unstall"
qm_wine_work_dir round-trip-edits files
failed=0

f=$work/files
qm_crlf >"$f/SETUP.cfg" <<'TEXT'
UNINSTALL YES
DEFAULTDIR C:\RTEDIT NOASKDRIVE NOASKDIR
FILE UNSTALL.EXE
AUTOEXEC ADDPATH SHARE ADD="SET RTEDIT=$DEFAULTDIR$"
INIFILE "QM Round" "Program" "$DEFAULTDIR$\APP.EXE" WIN.INI
INIFILE "Main" "A" "2" C:\QMDATA\PROG.INI
INIFILE "New" "C" "3" C:\QMDATA\PROG.INI
BEGINREGISTRY
KEY QUERY "HKEY_CURRENT_USER\Software\QmEdit"
VALUE DWORD INCREMENT "Count" "1"
VALUE STRING REPLACE "Owner" "RtEdit"
ENDREGISTRY
BEGINREGISTRY
KEY DELETE "HKEY_CURRENT_USER\Software\QmEdit\Old"
ENDREGISTRY
TEXT
cp "$unstall" "$f/UNSTALL.EXE"
"$quillpack" build --stub "$exe" -o "$work/SETUP.EXE" "$f/SETUP.cfg" "$f/UNSTALL.EXE" >/dev/null

qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
windir=$(qm_wine_c_path 'C:\windows')
mkdir -p "$c/DIST" "$c/qm" "$c/QMDATA"
cp "$work/SETUP.EXE" "$c/DIST/SETUP.EXE"
printf '@ECHO OFF\r\nPATH C:\\DOS\r\nshare /f:1024 /l:20\r\nWIN' >"$c/AUTOEXEC.BAT"
printf 'the user'"'"'s own backup\r\n' >"$c/AUTOEXEC.BAK"
printf '; settings of the user\r\n[Main]\r\nA=1\r\n\r\n; more\r\n[Other]\r\nB=2\r\n\r\n' >"$c/QMDATA/PROG.INI"
printf '\r\n; a note of the user\r\n[QM User]\r\nkeep=1\r\n\r\n' >>"$windir/win.ini"
touch -d '2001-02-03 04:05:06 UTC' "$c/AUTOEXEC.BAT" "$c/AUTOEXEC.BAK" "$c/QMDATA/PROG.INI"
qm_wine_tool reg add 'HKCU\Software\QmEdit' /v Count /t REG_DWORD /d 5 /f >/dev/null 2>&1
qm_wine_tool reg add 'HKCU\Software\QmEdit' /v Owner /t REG_SZ /d user /f >/dev/null 2>&1
qm_wine_tool reg add 'HKCU\Software\QmEdit\Old' /v Left /t REG_SZ /d over /f >/dev/null 2>&1
printf '[Setup]\r\nReboot=No\r\nUninstall=Yes\r\n' >"$c/qm/answers.ini"
export QUILLMOUNT_ANSWERS='C:\qm\answers.ini'
qm_wine_stop
keys=('HKEY_CURRENT_USER\Software\QmEdit' 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall')
qm_prefix_snapshot "$work/before.txt" "${keys[@]}"
for name in AUTOEXEC.BAT AUTOEXEC.BAK QMDATA/PROG.INI; do cp "$c/$name" "$work/$(basename "$name").orig"; done
cp "$windir/win.ini" "$work/win.ini.orig"

run() {  # PROGRAM [ARGS...]: the exit code in rc
  rc=0
  QUILLMOUNT_LOG="C:\\qm\\trace.log" timeout -k 5 300 wine "$@" || rc=$?
  qm_wine_stop
}

# --- Install, then uninstall with nothing touched in between.
run 'C:\DIST\SETUP.EXE'
expect "installer exit code" "$rc" 0
grep -q '^SET RTEDIT=C:\\RTEDIT' <(tr -d '\r' <"$c/AUTOEXEC.BAT") && echo "ok   AUTOEXEC.BAT edited" ||
  { echo "BAD  AUTOEXEC.BAT not edited"; failed=1; }
expect "Owner replaced" "$(qm_wine_tool reg query 'HKCU\Software\QmEdit' /v Owner 2>/dev/null |
  tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p')" "RtEdit"
qm_wine_tool reg query 'HKCU\Software\QmEdit\Old' >/dev/null 2>&1 &&
  { echo "BAD  the key Old was not deleted"; failed=1; } || echo "ok   the key Old deleted"
run "$windir/unstall.exe" 'C:\RTEDIT\install.log'
expect "uninstaller exit code" "$rc" 0
for name in AUTOEXEC.BAT AUTOEXEC.BAK QMDATA/PROG.INI; do
  cmp -s "$c/$name" "$work/$(basename "$name").orig" && echo "ok   $name back byte for byte" ||
    { echo "BAD  $name not back as it was"; od -c "$c/$name" | head -12; failed=1; }
done
qm_prefix_snapshot "$work/after.txt" "${keys[@]}"
bash "$(dirname "${BASH_SOURCE[0]}")/compare_snapshots.sh" "$work/before.txt" "$work/after.txt" ||
  failed=1

# --- Again, with the user's edits between install and uninstall: they stay, the rest goes.
run 'C:\DIST\SETUP.EXE'
expect "second installer exit code" "$rc" 0
printf '\r\nREM mine\r\n' >>"$c/AUTOEXEC.BAT"
printf '[New]\r\nMine=1\r\n' >>"$c/QMDATA/PROG.INI"
run "$windir/unstall.exe" 'C:\RTEDIT\install.log'
expect "uninstaller exit code with the user's edits" "$rc" 3
autoexec=$(tr -d '\r' <"$c/AUTOEXEC.BAT")
grep -q '^REM mine$' <<<"$autoexec" && echo "ok   the user's AUTOEXEC.BAT line stays" ||
  { echo "BAD  the user's AUTOEXEC.BAT line is gone"; failed=1; }
grep -q 'RTEDIT' <<<"$autoexec" && { echo "BAD  the installation's lines stay"; echo "$autoexec"; failed=1; } ||
  echo "ok   the installation's AUTOEXEC.BAT lines are gone"
grep -q '^Mine=1' <(tr -d '\r' <"$c/QMDATA/PROG.INI") && echo "ok   the user's INI key stays" ||
  { echo "BAD  the user's INI key is gone"; failed=1; }
grep -q '^C=3' <(tr -d '\r' <"$c/QMDATA/PROG.INI") && { echo "BAD  the installation's INI key stays"; failed=1; } ||
  echo "ok   the installation's INI key is gone"
grep -qi 'PROG.INI' <(tr -d '\r' <"$c/qm/trace.log") && echo "ok   the trace reports PROG.INI" ||
  { echo "BAD  the trace does not report PROG.INI"; tr -d '\r' <"$c/qm/trace.log" | tail -20; failed=1; }
exit $failed
