#!/bin/bash
# AUTOEXEC.BAT and CONFIG.SYS as real machines have them, through the real installer and the real
# uninstaller: an AUTOEXEC.BAT with CR alone as its line end, a byte-order mark and a line past
# byte 240; a read-only, hidden CONFIG.SYS whose last line has no line end before its ^Z. The
# installed files equal the simulated run's byte for byte, and after unstall.exe both files are
# back byte for byte, with their attributes.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

unstall=$QM_WIN32_BUILD/unstall.exe
qm_wine_need_programs "$unstall"
qm_wine_work_dir startup-files files machine
failed=0

m=$work/machine
pad=$(printf '%0230d' 0)
printf '\xEF\xBB\xBFPATH C:\\DOS\rREM %s\rC:\\MOUSE\\MOUSE.COM /Q /S30 /H50\rWIN\r' "$pad" \
  >"$m/AUTOEXEC.BAT"
printf 'FILES=20\r\nDEVICE=C:\\DOS\\HIMEM.SYS\r\nDOS=HIGH\x1A' >"$m/CONFIG.SYS"

f=$work/files
qm_crlf >"$f/SETUP.cfg" <<'TEXT'
UNINSTALL YES
DEFAULTDIR C:\SFAPP NOASKDRIVE NOASKDIR
FILE UNSTALL.EXE
AUTOEXEC ADDPATH ADD="SET SFAPP=$DEFAULTDIR$"
CONFIG FILEMIN=40 ADD="DEVICE=$DEFAULTDIR$\SF.SYS"
TEXT
cp "$unstall" "$f/UNSTALL.EXE"
touch -d '2021-03-04 05:06:08 UTC' "$f"/*
"$quillpack" build --stub "$exe" -o "$work/SETUP.EXE" "$f/SETUP.cfg" "$f/UNSTALL.EXE" >/dev/null

# --- The simulated run.
sim=$work/sim
qm_wine_sim_machine "$sim"
mkdir -p "$sim/c/DIST"
cp "$work/SETUP.EXE" "$sim/c/DIST/SETUP.EXE"
cp "$m/AUTOEXEC.BAT" "$m/CONFIG.SYS" "$sim/c/"
qm_wine_simulate "$sim"

# --- The real run.
qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
mkdir -p "$c/DIST" "$c/qm"
cp "$work/SETUP.EXE" "$c/DIST/SETUP.EXE"
cp "$m/AUTOEXEC.BAT" "$m/CONFIG.SYS" "$c/"
# Wine takes read-only from the host file's write permission, hidden from its own attribute.
chmod a-w "$c/CONFIG.SYS"
qm_wine_tool cmd /c attrib +h 'C:\CONFIG.SYS' >/dev/null 2>&1
attributes() { qm_wine_tool cmd /c attrib "$1" 2>/dev/null | tr -d '\r' | cut -c1-11; }
before=$(attributes 'C:\CONFIG.SYS')
if [[ $before == *R* && $before == *H* ]]; then echo "ok   CONFIG.SYS read-only and hidden"
else echo "BAD  CONFIG.SYS attributes not set: [$before]"; failed=1; fi
printf '[Setup]\r\nReboot=No\r\nUninstall=Yes\r\n' >"$c/qm/answers.ini"
qm_wine_install_dist 300 trace.log

for name in AUTOEXEC.BAT CONFIG.SYS; do
  qm_same_file "installed $name" "$(qm_wine_c_path "C:\\$name")" "$sim/c/$name"
done
expect "installed AUTOEXEC.BAT" "$(od -An -c "$c/AUTOEXEC.BAT" | tr -s ' ')" \
  "$(printf '\xEF\xBB\xBFPATH C:\\SFAPP;C:\\DOS\rREM %s\rC:\\MOUSE\\MOUSE.COM /Q /S30 /H50\rSET SFAPP=C:\\SFAPP\rWIN\r' "$pad" |
    od -An -c | tr -s ' ')"
expect "CONFIG.SYS attributes kept" "$(attributes 'C:\CONFIG.SYS')" "$before"

rc=0
QUILLMOUNT_LOG='C:\qm\uninstall-trace.log' QUILLMOUNT_ANSWERS='C:\qm\answers.ini' \
  timeout -k 5 300 wine "$(qm_wine_c_path 'C:\windows')/unstall.exe" 'C:\SFAPP\install.log' || rc=$?
qm_wine_stop
expect "uninstaller exit code" "$rc" 0
for name in AUTOEXEC.BAT CONFIG.SYS; do
  if cmp -s "$m/$name" "$(qm_wine_c_path "C:\\$name")"; then echo "ok   $name back byte for byte"
  else echo "BAD  $name not back as it was"; failed=1
    od -c "$(qm_wine_c_path "C:\\$name")" | head -20; fi
done
expect "CONFIG.SYS attributes back" "$(attributes 'C:\CONFIG.SYS')" "$before"
exit $failed
