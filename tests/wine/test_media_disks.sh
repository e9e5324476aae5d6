#!/bin/bash
# Distributions on several floppies, installed by the real installer with the disks changed in
# drive A: while it runs (Disks=Wait and the media changer of lib.sh), each beside the simulated
# run of the same disks on a machine stating what the prefix has: exit code, install.log byte
# for byte, every installed file with its time, and the trace.
#
#   container: the script and two files in the container appended to SETUP.EXE on disk 1; the
#              first disk prompt closes the container, so TWO.TXT comes from disk 2.
#   package:   a package over three volumes, one per disk, and a loose file on disk 3; a wrong
#              disk goes in first when disk 3 is asked for, and the prompt comes again.
# Both start from A:, so the program first relaunches from its temporary copy, and that copy
# asks for the disks.
#
# Where Wine is not Windows: its folders (C:\windows, C:\windows\system32 and its temporary
# folder) are stated by the simulated machine, and its version is the one Wine reports.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

qm_wine_need_programs "$QM_WIN32_BUILD/media_probe.exe"
qm_wine_work_dir media-disks files/SUB
failed=0
qm_wine_on_exit qm_wine_media_changer_stop

# medium DIR LABEL: a floppy's folder with its volume label.
medium() {
  mkdir -p "$1"
  qm_wine_set_label "$1" "$2"
}

# run_case NAME MEDIUM...: installs from A: holding the first medium, the changer putting in the
# others in order, and the simulated machine with the same media in its A:; then compares.
run_case() {
  local name=$1 dir=$work/$1
  shift
  local first=$1
  shift

  qm_wine_new_prefix "$dir/prefix"
  local c=$WINEPREFIX/drive_c temp
  mkdir -p "$c/qm"
  printf '[Setup]\r\nReboot=No\r\nDisks=Wait\r\n' >"$c/qm/answers.ini"
  temp=$(qm_wine_tool cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
  qm_wine_map_floppy "$first" a
  qm_wine_stop  # the mount manager reads the drive's type as it starts

  # The simulated machine: Wine's folders and version, the media in the same order.
  local sim=$dir/sim m labels media=a0
  mkdir -p "$sim/c/windows/system32" "$sim/c/qm"
  cp "$c/qm/answers.ini" "$sim/answers.ini"
  cp -a "$first" "$sim/a0"
  labels="a0=$(cat "$first/.windows-label")"
  local i=1
  for m in "$@"; do
    cp -a "$m" "$sim/a$i"
    media+=" a$i"
    labels+=$'\n'"a$i=$(cat "$m/.windows-label")"
    i=$((i + 1))
  done
  mkdir -p "$sim/c/$(tr '\\' / <<<"${temp:3}")"
  {
    printf '[Machine]\nWindows=6.2\nWindowsDir=C:\\windows\nSystemDir=C:\\windows\\system32\n'
    printf 'TempDir=%s\n[Drives]\nA=removable %s\nC=fixed c\n[Labels]\n%s\n' "$temp" "$media" "$labels"
  } >"$sim/machine.ini"
  local simrc=0
  "$quillpack" simulate --machine "$sim/machine.ini" --answers "$sim/answers.ini" \
    --trace "$sim/trace.txt" 'A:\SETUP.EXE' >"$sim/printed.log" 2>&1 || simrc=$?

  # The real run, the changer at the drive.
  local t0 rc=0
  t0=$(date +%s)
  qm_wine_media_changer "$c/qm/trace.log" a "$@"
  (cd "$first" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\trace.log' \
    timeout -k 5 180 wine 'A:\SETUP.EXE') || rc=$?
  timeout -k 5 120 wineserver -w || echo "BAD  $name: the relaunched copy did not end"
  echo "--- $name: the media changer"
  qm_wine_media_changer_stop
  echo "--- $name: trace ($(( $(date +%s) - t0 ))s)"
  tr -d '\r' <"$c/qm/trace.log" 2>/dev/null || true
  echo "---"

  expect "$name: exit code, real and simulated" "$rc" "$simrc"
  expect "$name: exit code" "$rc" 0
  expect "$name: relaunched from the floppy once" \
    "$(tr -d '\r' <"$c/qm/trace.log" | grep -c '^relaunch: .*~0000\.exe A:\\SETUP\.cfg$')" 1
  qm_same_file "$name: install.log" "$(qm_wine_c_path 'C:\APP\install.log')" "$sim/c/APP/install.log"
  qm_same_tree "$name: C:\\APP" "$(qm_wine_c_path 'C:\APP')" "$sim/c/APP"
  qm_same_trace "$name: trace" "$c/qm/trace.log" "$sim/trace.txt"
}

# --- container: closed at the first disk prompt
f=$work/files
printf 'ONE.TXT from the container\r\n' >"$f/ONE.TXT"
printf 'TWO.TXT from the container: must not be installed\r\n' >"$f/TWO.TXT"
touch -d '1999-03-04 05:06:08 UTC' "$f/ONE.TXT"
printf 'UNINSTALL YES\r\nDEFAULTDIR C:\\APP NOASKDRIVE NOASKDIR\r\nFILE ONE.TXT\r\n' >"$f/SETUP.cfg"
printf 'INSERTDISK: "Disk 2" "DISK2"\r\nFILE TWO.TXT\r\n' >>"$f/SETUP.cfg"
medium "$work/container/disk1" DISK1
medium "$work/container/disk2" DISK2
"$quillpack" build --stub "$exe" -o "$work/container/disk1/SETUP.EXE" "$f/SETUP.cfg" \
  "$f/ONE.TXT" "$f/TWO.TXT" >/dev/null
printf 'TWO.TXT from disk 2\r\n' >"$work/container/disk2/TWO.TXT"
touch -d '2001-07-08 09:10:12 UTC' "$work/container/disk2/TWO.TXT"
run_case container "$work/container/disk1" "$work/container/disk2"
expect "container: TWO.TXT from disk 2" \
  "$(tr -d '\r' <"$(qm_wine_c_path 'C:\APP\TWO.TXT')" 2>/dev/null)" "TWO.TXT from disk 2"

# --- package: three volumes on three disks, a wrong disk first when disk 3 is asked for
for i in $(seq 1 40); do printf 'line %d of the read-me, packed with the others\r\n' "$i"; done >"$f/README.TXT"
head -c 9000 /dev/urandom >"$f/BIG.BIN"
printf 'notes one folder down\r\n' >"$f/SUB/NOTES.TXT"
touch -d '1998-05-06 07:08:10 UTC' "$f/README.TXT"
touch -d '2003-09-10 11:12:14 UTC' "$f/BIG.BIN"
touch -d '1996-01-02 03:04:06 UTC' "$f/SUB/NOTES.TXT"
p=$work/package
mkdir -p "$p"
"$quillpack" package -o "$p/SETUP.PAK" --volume-size 4500 --base "$f" \
  "$f/README.TXT" "$f/BIG.BIN" "$f/SUB/NOTES.TXT" >/dev/null
medium "$p/disk1" DISK1
medium "$p/disk2" DISK2
medium "$p/wrong" PHOTOS
medium "$p/disk3" DISK3
cp "$exe" "$p/disk1/SETUP.EXE"
printf 'UNINSTALL YES\r\nDEFAULTDIR C:\\APP NOASKDRIVE NOASKDIR\r\nFILE SETUP.PAK\r\n' >"$p/disk1/SETUP.cfg"
printf 'INSERTDISK: "Disk 2" "DISK2"\r\nINSERTDISK: "Disk 3" "DISK3"\r\nFILE AFTER.TXT\r\n' >>"$p/disk1/SETUP.cfg"
mv "$p/SETUP.PAK" "$p/disk1/"
mv "$p/SETUP.PA1" "$p/disk2/"
mv "$p/SETUP.PA2" "$p/disk3/"
printf 'holiday pictures\r\n' >"$p/wrong/BEACH.TXT"
printf 'loose file after the package\r\n' >"$p/disk3/AFTER.TXT"
touch -d '2019-02-02 02:02:02 UTC' "$p/disk3/AFTER.TXT"
run_case package "$p/disk1" "$p/disk2" "$p/wrong" "$p/disk3"
expect "package: disk 3 asked for again after the wrong disk" \
  "$(tr -d '\r' <"$WINEPREFIX/drive_c/qm/trace.log" | grep -c '^disk: Please insert Disk 3 -> Wait$')" 2

[ "$failed" = 0 ] && echo "PASS media-disks" || { echo "FAIL media-disks"; exit 1; }
