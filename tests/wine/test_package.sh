#!/bin/bash
# The real installer expands a three-volume package written by `quillpack package`, unattended:
# once with the volumes of all three disks merged into one folder of C: (Disks=Merged), once from
# a floppy in A: that holds them all (Disks=Yes). Every file comes out byte for byte with the date
# and time stored for it, sub-folders included, and install.log is the one the simulated run of
# the same distribution writes.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

qm_wine_need_programs
qm_wine_work_dir package files/SUB/DEEP dist

failed=0

# The packed files: text, incompressible binary large enough to spread over the volumes, a file
# two folders down and an empty one. NOTES.TXT has an odd second, which the FAT time of its
# entry cannot hold.
f=$work/files
for i in $(seq 1 40); do printf 'line %d of the read-me, packed with the others\r\n' "$i"; done >"$f/README.TXT"
head -c 9000 /dev/urandom >"$f/BIG.BIN"
printf 'notes two folders down\r\n' >"$f/SUB/DEEP/NOTES.TXT"
: >"$f/EMPTY.TXT"
touch -d '1998-05-06 07:08:10 UTC' "$f/README.TXT"
touch -d '2003-09-10 11:12:14 UTC' "$f/BIG.BIN"
touch -d '1996-01-02 03:04:07 UTC' "$f/SUB/DEEP/NOTES.TXT"
touch -d '2011-12-13 14:15:16 UTC' "$f/EMPTY.TXT"
names=(README.TXT BIG.BIN SUB/DEEP/NOTES.TXT EMPTY.TXT)

d=$work/dist
made=$("$quillpack" package -o "$d/SETUP.PAK" --volume-size 4500 --base "$f" \
  "${names[@]/#/$f/}")
expect "quillpack package" "$made" "4 file(s) in 3 volume(s)"
# The script names the first volume and holds one INSERTDISK per further volume; the loose file
# after them comes from the last disk, which in a merged distribution is the same folder.
printf 'UNINSTALL YES\r\nDEFAULTDIR C:\\APP NOASKDRIVE NOASKDIR\r\nFILE SETUP.PAK\r\n' >"$d/SETUP.cfg"
printf 'INSERTDISK: "Disk 2" "DISK2"\r\nINSERTDISK: "Disk 3" "DISK3"\r\nFILE AFTER.TXT\r\n' >>"$d/SETUP.cfg"
printf 'loose file after the package\r\n' >"$d/AFTER.TXT"
touch -d '2020-02-02 02:02:02 UTC' "$d/AFTER.TXT"
cp "$exe" "$d/SETUP.EXE"
ls -l "$d"

# --- the simulated run of the same distribution
sim=$work/sim
qm_wine_sim_machine "$sim"
cp -a "$d" "$sim/c/DIST"
printf '[Setup]\nReboot=No\nDisks=Merged\n' >"$sim/answers.ini"
qm_wine_simulate "$sim"

# --- the real run
qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
mkdir -p "$c/qm"
cp -a "$d" "$c/DIST"
printf '[Setup]\r\nReboot=No\r\nDisks=Merged\r\n' >"$c/qm/answers.ini"
export QUILLMOUNT_ANSWERS='C:\qm\answers.ini'
qm_wine_install_dist 300 trace.log

# check_install TAG: the installed C:\APP of the current prefix against the originals and the
# simulated run.
check_install() {
  local tag=$1 app name real want
  app=$(qm_wine_c_path 'C:\APP')
  [ -d "$app" ] || { echo "BAD  $tag: C:\\APP was not made"; failed=1; return; }

  # Every packed file: the original's bytes, and its time as the package's FAT date and time
  # hold it (taken as UTC on both sides, so only the lost odd second differs from the original).
  for name in "${names[@]}"; do
    real=$(find "$app" -ipath "$app/$name" | head -n 1)
    [ -n "$real" ] || { echo "BAD  $tag: $name missing"; failed=1; continue; }
    if cmp -s "$real" "$f/$name"; then
      echo "ok   $tag: $name bytes"
    else
      echo "BAD  $tag: $name bytes differ"; failed=1
    fi
    want=$(( $(stat -c %Y "$f/$name") / 2 * 2 ))
    expect "$tag: $name time" "$(date -u -d @"$(stat -c %Y "$real")" '+%F %T')" \
      "$(date -u -d @"$want" '+%F %T')"
  done
  real=$(find "$app" -ipath "$app/SUB/DEEP/NOTES.TXT" | head -n 1)
  [ -n "$real" ] && expect "$tag: NOTES.TXT lost its odd second" \
    "$(date -u -d @"$(stat -c %Y "$real")" '+%T')" "03:04:06"
  real=$(find "$app" -ipath "$app/AFTER.TXT" | head -n 1)
  if [ -n "$real" ] && cmp -s "$real" "$d/AFTER.TXT"; then
    echo "ok   $tag: AFTER.TXT copied after the last volume"
    expect "$tag: AFTER.TXT time" "$(date -u -d @"$(stat -c %Y "$real")" '+%F %T')" \
      "2020-02-02 02:02:02"
  else
    echo "BAD  $tag: AFTER.TXT missing or different"; failed=1
  fi
  for name in SETUP.PAK SETUP.PA1 SETUP.PA2; do
    [ -z "$(find "$app" -iname "$name")" ] || { echo "BAD  $tag: volume $name was copied"; failed=1; }
  done

  # The log: byte for byte the one the simulation wrote, and the lines worked out by hand.
  if cmp -s "$app/install.log" "$sim/c/APP/install.log"; then
    echo "ok   $tag: install.log equals the simulated one"
  else
    echo "BAD  $tag: install.log differs from the simulated one"; failed=1
    diff <(tr -d '\r' <"$sim/c/APP/install.log") <(tr -d '\r' <"$app/install.log") || true
  fi
  expect "$tag: install.log from the package on" \
    "$(tr -d '\r' <"$app/install.log" | sed -n '/^FILE: /,$p')" "$want_log"
}
want_log=$(printf '%s\n' 'FILE: "C:\APP\README.TXT"' 'FILE: "C:\APP\BIG.BIN"' \
  'DIRECTORY: "C:\APP\SUB"' 'DIRECTORY: "C:\APP\SUB\DEEP"' '' \
  'FILE: "C:\APP\SUB\DEEP\NOTES.TXT"' 'FILE: "C:\APP\EMPTY.TXT"' 'FILE: "C:\APP\AFTER.TXT"')
check_install merged

# --- the same volumes on a floppy in A:, started from there (so the program first relaunches
# from a copy in the temporary folder). Nobody can change the disk under Wine, so all three
# volumes lie on the one floppy and the INSERTDISK statements name no label: each request is
# answered once with Disks=Yes and finds the next volume in place.
qm_wine_new_prefix "$work/prefix-floppy"
floppy=$work/floppy
mkdir -p "$floppy"
cp -a "$d/." "$floppy/"
sed -i 's/ "DISK[23]"//' "$floppy/SETUP.cfg"
qm_wine_set_label "$floppy" DISK1
qm_wine_map_floppy "$floppy" a
c=$WINEPREFIX/drive_c
mkdir -p "$c/qm"
printf '[Setup]\r\nReboot=No\r\nDisks=Yes\r\n' >"$c/qm/answers.ini"
export QUILLMOUNT_LOG='C:\qm\floppy.log'
rc=0
(cd "$floppy" && timeout -k 5 300 wine 'A:\SETUP.EXE') || rc=$?
# The copy runs on after the program on the floppy ended.
timeout -k 5 180 wineserver -w || echo "BAD  the relaunched copy did not end"
expect "floppy: exit code of the program on the floppy" "$rc" 0
trace=$(tr -d '\r' <"$c/qm/floppy.log" 2>/dev/null || true)
echo "--- trace"; echo "$trace"; echo "---"
expect "floppy: relaunched once" "$(grep -c '^relaunch: .*~0000\.exe ' <<<"$trace")" 1
expect "floppy: installation completed" "$(grep -c '^installation completed' <<<"$trace")" 1
check_install floppy

exit $failed
