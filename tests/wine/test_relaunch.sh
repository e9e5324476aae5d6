#!/bin/bash
# The real installer started from a floppy whose script has an INSERTDISK: line copies itself to
# the temporary folder and hands over to that copy; started from C: it runs in place.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

exe=$QM_WIN32_BUILD/quillmount.exe
[ -f "$exe" ] || { echo "FAIL no $exe"; exit 1; }
work=$QM_WINE_WORK/relaunch
qm_wine_new_prefix "$work/prefix"
floppy=$work/floppy
qm_wine_map_floppy "$floppy" a

failed=0

# A program information file PROGRAM of the shape Wine's DOS launcher reads: the 369-byte basic
# section naming the program, then the extended header with no further record. Wine cannot run
# what a .pif names (it has no DOS subsystem) and says so on the console; a file it cannot read
# as a .pif or a program it cannot find it reports in a message box instead, which no one closes
# here: the clean-up of the temporary copy would then never end.
write_pif() {  # PROGRAM FILE
  {
    printf '\0\0%-30s\x80\x02\x80\x02' 'Relaunch test'
    printf '%s' "$1"
    head -c $((0x171 - 0x24 - ${#1})) /dev/zero
    printf 'MICROSOFT PIFEX\0\xff\xff\0\0\x71\x01'
  } >"$2"
}

# The distribution: the program, its script (keyword in lower case, as users write it) and a
# .pif whose bytes the copy must carry over unchanged.
cp "$exe" "$floppy/SETUP.EXE"
printf 'TITLE "Relaunch test"\r\ninsertdisk: "Disk 2"\r\n' >"$floppy/SETUP.cfg"
write_pif cmd.exe "$floppy/install.pif"
mkdir -p "$WINEPREFIX/drive_c/qm"
printf '[Setup]\r\nReboot=No\r\nDisks=No\r\n' >"$WINEPREFIX/drive_c/qm/answers.ini"
export QUILLMOUNT_ANSWERS='C:\qm\answers.ini'
export QUILLMOUNT_LOG='C:\qm\floppy.log'

# Started from A: as a user would, with the floppy as the current drive.
(cd "$floppy" && timeout -k 5 120 wine 'A:\SETUP.EXE') || rc=$?
expect "exit code of the program on the floppy" "${rc:-0}" 0
# The copy runs on after the first program ended, and starts the clean-up of itself as it ends;
# every process of the prefix must be gone well within the time the copy takes.
if timeout -k 5 45 wineserver -w; then
  echo "ok   the relaunched copy and its clean-up ended"
else
  echo "BAD  the relaunched copy or its clean-up did not end within 45 s"
  failed=1
  qm_wine_stop
fi
trace=$(tr -d '\r' <"$WINEPREFIX/drive_c/qm/floppy.log")
echo "--- trace"
echo "$trace"
echo "---"

relaunch=$(sed -n '/ended with exit code/!s/^relaunch: //p' <<<"$trace")
tmpexe=${relaunch%% *}
expect "relaunch command line" "$relaunch" "$tmpexe A:\\SETUP.cfg"
tmpdir=${tmpexe%\\*}
case "$tmpexe" in
  *'\~0000.exe') echo "ok   copy named ~0000.exe ($tmpexe)" ;;
  *) echo "BAD  copy path [$tmpexe]"; failed=1 ;;
esac
host_exe=$(qm_wine_c_path "$tmpexe")
host_dir=$(dirname "$host_exe")
if cmp -s "$floppy/SETUP.EXE" "$host_exe"; then
  echo "ok   ~0000.exe is a byte copy of the program"
else
  echo "BAD  ~0000.exe differs from the program"; failed=1
fi
if cmp -s "$floppy/install.pif" "$host_dir/~0000.pif"; then
  echo "ok   ~0000.pif is a byte copy of install.pif"
else
  echo "BAD  ~0000.pif missing or different"; failed=1
fi
want_bat=$(printf '@ECHO OFF\r\ndel %s\\~0000.exe\r\ndel %s\\~0000.pif\r\ndel %s\\~0000.bat\r\n' \
  "$tmpdir" "$tmpdir" "$tmpdir" | od -An -c)
expect "~0000.bat, byte for byte" "$(od -An -c <"$host_dir/~0000.bat" 2>/dev/null)" "$want_bat"
# The copy's own trace line shows that it was started, from where and with which script.
expect "the copy started with the script path" \
  "$(grep -c "^startup: program $(sed 's/[\\.]/\\&/g' <<<"$tmpexe"), arguments \"A:\\\\SETUP\\.cfg\", script A:\\\\SETUP\\.cfg$" <<<"$trace")" 1
expect "the copy did not relaunch again" "$(grep -c '^relaunch: .*~0000\.exe ' <<<"$trace")" 1
# Unattended, the first program waited for its copy and ended with the copy's code.
expect "the first program waited for the copy" \
  "$(grep -cx 'relaunch: the temporary copy ended with exit code 0' <<<"$trace")" 1
expect "the copy started its clean-up" \
  "$(grep -cxF "started $tmpdir\\~0000.pif /C $tmpdir\\~0000.bat" <<<"$trace")" 1

# The deployment switches instead of the environment, on a run the copy ends by quitting at
# its first screen: the first program reports the copy's 2, the switches reach the copy, and a
# trace that cannot be written stops the program before it copies anything.
printf 'TITLE "Relaunch test"\r\nBEGINFIRSTSCREEN\r\nWelcome\r\nENDFIRSTSCREEN\r\ninsertdisk: "Disk 2"\r\n' \
  >"$floppy/SETUP.cfg"
printf '[Setup]\r\nScreens=Cancel\r\n' >"$WINEPREFIX/drive_c/qm/quit.ini"
for log in 'C:\qm\quit.log' 'C:\NOWHERE\quit.log'; do
  rm -f "$host_dir/~0000.exe" "$host_dir/~0000.pif" "$host_dir/~0000.bat"
  rc=0
  (cd "$floppy" && env -u QUILLMOUNT_ANSWERS -u QUILLMOUNT_LOG timeout -k 5 120 \
    wine 'A:\SETUP.EXE' "/ANSWERS=C:\qm\quit.ini" "/log=$log") || rc=$?
  timeout -k 5 45 wineserver -w || qm_wine_stop
  case "$log" in
    *NOWHERE*)
      expect "exit code when the trace cannot be written" "$rc" 1
      expect "no temporary copy made then" "$(ls "$host_dir" | grep -c '^~0000\.' || true)" 0 ;;
    *)
      expect "exit code of the first program: the copy's quit" "$rc" 2
      trace=$(tr -d '\r' <"$WINEPREFIX/drive_c/qm/quit.log")
      echo "--- trace"; echo "$trace"; echo "---"
      expect "each run's trace starts with its header" "$(grep -c '^run [0-9-]* [0-9:]*: program ' <<<"$trace")" 2
      expect "the switches passed on to the copy" \
        "$(grep -c '^relaunch: .*~0000\.exe A:\\SETUP\.cfg /ANSWERS=C:\\qm\\quit\.ini /LOG=C:\\qm\\quit\.log$' <<<"$trace")" 1
      expect "the copy quit at its first screen" "$(grep -c '^dialog FirstScreen: Cancel' <<<"$trace")" 1
      expect "the copy's code taken over" \
        "$(grep -cx 'relaunch: the temporary copy ended with exit code 2' <<<"$trace")" 1 ;;
  esac
done

# The same distribution on the fixed disk C: runs in place.
rm -f "$host_dir/~0000.exe" "$host_dir/~0000.pif" "$host_dir/~0000.bat"
mkdir -p "$WINEPREFIX/drive_c/dist"
cp "$floppy/SETUP.EXE" "$floppy/SETUP.cfg" "$floppy/install.pif" "$WINEPREFIX/drive_c/dist/"
export QUILLMOUNT_LOG='C:\qm\fixed.log'
rc=0
(cd "$WINEPREFIX/drive_c/dist" && timeout -k 5 120 wine 'C:\dist\SETUP.EXE') || rc=$?
timeout -k 5 60 wineserver -w || true
trace=$(tr -d '\r' <"$WINEPREFIX/drive_c/qm/fixed.log")
echo "--- trace"
echo "$trace"
echo "---"
expect "started in place" "$(grep -c '^startup: program C:\\dist\\SETUP\.EXE, arguments "", script C:\\dist\\SETUP\.cfg$' <<<"$trace")" 1
expect "no relaunch from C:" "$(grep -c '^relaunch: ' <<<"$trace")" 0
expect "no temporary copy from C:" "$(ls "$host_dir" | grep -c '^~0000\.' || true)" 0
[ "$rc" != 1 ] || { echo "BAD  the program on C: could not start (exit 1)"; failed=1; }

[ "$failed" = 0 ] && echo "PASS relaunch" || { echo "FAIL relaunch"; exit 1; }
