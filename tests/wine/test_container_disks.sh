#!/bin/bash
# The real installer with its script and files in the archive container appended to it: the
# first disk prompt ends the container, so a file asked for after it comes from the disk even
# when the container holds one of the same name. Checked in place on C: and from a floppy,
# where the temporary copy's container is the one in use. A SOURCE folder that begins with
# $RIGHT$ takes the text the last successful search left.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

qm_wine_need_programs
qm_wine_work_dir container-disks pack dist
failed=0

p=$work/pack
printf 'ONE.TXT from the container\r\n' >"$p/ONE.TXT"
printf 'TWO.TXT from the container: must not be installed\r\n' >"$p/TWO.TXT"
printf 'UNINSTALL YES\r\nDEFAULTDIR C:\\APP NOASKDRIVE NOASKDIR\r\n' >"$p/SETUP.cfg"
printf 'IF search "Palettes=" "C:\\qm\\paths.ini"\r\nFILE PAL.PRF SOURCE="$RIGHT$"\r\nENDIF\r\n' >>"$p/SETUP.cfg"
printf 'FILE ONE.TXT\r\nINSERTDISK: "Disk 2"\r\nFILE TWO.TXT\r\n' >>"$p/SETUP.cfg"
d=$work/dist
"$quillpack" build --stub "$exe" -o "$d/SETUP.EXE" "$p/SETUP.cfg" "$p/ONE.TXT" "$p/TWO.TXT" >/dev/null
printf 'TWO.TXT from the disk\r\n' >"$d/TWO.TXT"

# install WHERE TAG: runs SETUP.EXE from WHERE (C:\DIST or A:\) with the answers of TAG and checks
# C:\APP.
check_app() {
  local tag=$1 app
  app=$(qm_wine_c_path 'C:\APP')
  expect "$tag: ONE.TXT from the container" "$(tr -d '\r' <"$app/ONE.TXT" 2>/dev/null)" \
    "ONE.TXT from the container"
  expect "$tag: TWO.TXT from the disk after the prompt" "$(tr -d '\r' <"$app/TWO.TXT" 2>/dev/null)" \
    "TWO.TXT from the disk"
  expect "$tag: PAL.PRF from the folder \$RIGHT\$ named" "$(tr -d '\r' <"$app/PAL.PRF" 2>/dev/null)" \
    "palette profile"
}
prepare_prefix() {
  qm_wine_new_prefix "$1"
  c=$WINEPREFIX/drive_c
  mkdir -p "$c/qm" "$c/PAL"
  printf '[paint]\r\nPalettes=C:\\PAL\r\n' >"$c/qm/paths.ini"
  printf 'palette profile\r\n' >"$c/PAL/PAL.PRF"
  export QUILLMOUNT_ANSWERS='C:\qm\answers.ini'
}

# --- in place on the fixed disk: both disks copied into one folder
prepare_prefix "$work/prefix"
cp -a "$d" "$c/DIST"
printf '[Setup]\r\nReboot=No\r\nDisks=Merged\r\n' >"$c/qm/answers.ini"
qm_wine_install_dist 120 fixed.log
expect "fixed: the disk was asked for" "$(grep -c '^disk: Please insert Disk 2 -> Merged$' <<<"$trace")" 1
check_app fixed

# --- from a floppy: the program relaunches from its temporary copy, whose container is used
prepare_prefix "$work/prefix-floppy"
floppy=$work/floppy
mkdir -p "$floppy"
cp -a "$d/." "$floppy/"
qm_wine_map_floppy "$floppy" a
printf '[Setup]\r\nReboot=No\r\nDisks=Yes\r\n' >"$c/qm/answers.ini"
export QUILLMOUNT_LOG='C:\qm\floppy.log'
rc=0
(cd "$floppy" && timeout -k 5 120 wine 'A:\SETUP.EXE') || rc=$?
timeout -k 5 180 wineserver -w || echo "BAD  the relaunched copy did not end"
trace=$(tr -d '\r' <"$c/qm/floppy.log" 2>/dev/null || true)
echo "--- trace"; echo "$trace"; echo "---"
expect "floppy: exit code of the program on the floppy" "$rc" 0
expect "floppy: relaunched once" "$(grep -c '^relaunch: .*~0000\.exe ' <<<"$trace")" 1
expect "floppy: installation completed" "$(grep -c '^installation completed$' <<<"$trace")" 1
check_app floppy

[ "$failed" = 0 ] && echo "PASS container-disks" || { echo "FAIL container-disks"; exit 1; }
