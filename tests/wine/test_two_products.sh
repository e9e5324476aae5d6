#!/bin/bash
# Two products on one prefix with the real installer and uninstaller, the first one installed
# uninstalled first. Product A makes a vendor key with its own subkey, replaces a shared file in
# the Windows folder and adds an item to a group whose name holds a comma; product B adds its own
# subkey under the same vendor key and replaces the shared file again. The user has a group named
# like the first part of A's group, with an item of the same title.
#   - A's uninstall leaves B's subkey and the vendor key that holds it, and reports the key;
#   - it leaves B's newer shared file and hands the user's original on, so B's uninstall puts
#     the user's file back;
#   - it deletes A's item from A's group and never the user's same-titled item;
#   - a crafted log of a third "product" (a relative FILE line with a copy, a section line that
#     climbs out of its folder, REGKEY lines naming HKLM\SOFTWARE and HKCU\Software) run from
#     the Windows folder changes nothing outside its own folder.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
. "$(dirname "${BASH_SOURCE[0]}")/prefix_snapshot.sh"
qm_wine_setup "$@"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

unstall=$QM_WIN32_BUILD/unstall.exe
qm_wine_need_programs "$unstall"
qm_wine_work_dir two-products a b
failed=0

product() {  # NAME FOLDER SCRIPT-BODY SHARED-TEXT
  local f=$work/$1
  {
    printf 'UNINSTALL YES\r\nDEFAULTDIR %s NOASKDRIVE NOASKDIR\r\n' "$2"
    printf 'FILE UNSTALL.EXE\r\nFILE C:\\WINDOWS\\QMSHARED.DLL OVERWRITE=YES\r\n%s' "$3"
  } >"$f/SETUP.cfg"
  printf '%s' "$4" >"$f/QMSHARED.DLL"
  printf 'notes of %s' "$1" >"$f/NOTES.TXT"
  cp "$unstall" "$f/UNSTALL.EXE"
  touch -d '2021-03-04 05:06:08 UTC' "$f"/*
  "$quillpack" build --stub "$exe" -o "$f/SETUP.EXE" "$f/SETUP.cfg" "$f/QMSHARED.DLL" \
    "$f/NOTES.TXT" "$f/UNSTALL.EXE" >/dev/null
}
product a 'C:\QMAPPA' \
  "$(printf 'FILE NOTES.TXT\r\nBEGINREGISTRY\r\nKEY NEW "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmVendor\\AppA"\r\nVALUE STRING NEW "Path" "$DEFAULTDIR$"\r\nENDREGISTRY\r\nWINITEM "QM Tools, Old" "C:\\QMAPPA\\NOTES.TXT" "Read Me"\r\n')" \
  'v2 of A'
product b 'C:\QMAPPB' \
  "$(printf 'BEGINREGISTRY\r\nKEY NEW "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmVendor\\AppB"\r\nVALUE STRING NEW "Path" "$DEFAULTDIR$"\r\nENDREGISTRY\r\n')" \
  'v3 of B'

qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
mkdir -p "$c/DIST/A" "$c/DIST/B" "$c/qm" "$c/USER"
cp "$work/a/SETUP.EXE" "$c/DIST/A/SETUP.EXE"
cp "$work/b/SETUP.EXE" "$c/DIST/B/SETUP.EXE"
windir=$(qm_wine_c_path 'C:\WINDOWS')
printf 'v1 of the user' >"$windir/QMSHARED.DLL"
touch -d '2000-01-02 03:04:06 UTC' "$windir/QMSHARED.DLL"
printf '[S]\r\nmine=1\r\n' >"$c/USER/list.txt"
programs=$(find "$c/users" -type d -path '*Start Menu/Programs' 2>/dev/null | head -n 1)
[ -n "$programs" ] || { echo "BAD  the prefix has no Start Menu\\Programs folder"; exit 1; }
mkdir -p "$programs/QM Tools"
printf 'the user' >"$programs/QM Tools/Read Me.lnk"
printf '[Setup]\r\nReboot=No\r\nUninstall=Yes\r\n' >"$c/qm/answers.ini"
export QUILLMOUNT_ANSWERS='C:\qm\answers.ini'
qm_wine_stop
reg_lines() {  # KEY: the number of lines `reg query /s` gives for it
  qm_wine_tool reg query "$1" /s 2>/dev/null | grep -c '' || true
}
hklm_before=$(reg_lines 'HKLM\Software')
hkcu_before=$(reg_lines 'HKCU\Software')
win_ini=$(md5sum <"$windir/win.ini")
keys=('HKEY_LOCAL_MACHINE\Software\QmVendor')
qm_prefix_snapshot "$work/before.txt" "${keys[@]}"

for p in A B; do
  rc=0
  QUILLMOUNT_LOG="C:\\qm\\install-$p.log" timeout -k 5 300 wine "C:\\DIST\\$p\\SETUP.EXE" || rc=$?
  qm_wine_stop
  expect "installer $p exit code" "$rc" 0
done
appa=$(qm_wine_c_path 'C:\QMAPPA')
expect "B's shared file in place" "$(cat "$windir/QMSHARED.DLL")" "v3 of B"
[ -f "$programs/QM Tools, Old/Read Me.lnk" ] && echo "ok   A's item in its quoted group" ||
  { echo "BAD  no Read Me.lnk in \"QM Tools, Old\""; ls -R "$programs"; failed=1; }
expect "the user's item untouched by the install" "$(cat "$programs/QM Tools/Read Me.lnk")" "the user"

uninstall() {  # LOG [FOLDER]: runs unstall.exe on LOG from FOLDER (default the Windows folder)
  rc=0
  (cd "${2:-$windir}" && QUILLMOUNT_LOG='C:\qm\uninstall-trace.log' \
    timeout -k 5 300 wine "$windir/unstall.exe" "$1") || rc=$?
  qm_wine_stop
  echo "--- uninstall trace of $1"; tr -d '\r' <"$c/qm/uninstall-trace.log" 2>/dev/null || true
  echo "---"
}

# --- A first: it made the vendor key, but B's subkey is in it now.
uninstall 'C:\QMAPPA\install.log'
expect "A's uninstall reports what it left" "$rc" 3
grep -qF 'QmVendor holds values or keys' "$c/qm/uninstall-trace.log" &&
  echo "ok   the trace names the vendor key it left" || { echo "BAD  the vendor key not reported"; failed=1; }
qm_wine_tool reg query 'HKLM\Software\QmVendor\AppA' >/dev/null 2>&1 &&
  { echo "BAD  A's key is still there"; failed=1; } || echo "ok   A's key gone"
qm_wine_tool reg query 'HKLM\Software\QmVendor\AppB' /v Path >/dev/null 2>&1 &&
  echo "ok   B's key and value stay" || { echo "BAD  B's key went with A"; failed=1; }
expect "B's newer shared file stays" "$(cat "$windir/QMSHARED.DLL")" "v3 of B"
[ ! -e "$programs/QM Tools, Old/Read Me.lnk" ] && echo "ok   A's item deleted" ||
  { echo "BAD  A's item is still there"; failed=1; }
expect "the user's same-titled item stays" "$(cat "$programs/QM Tools/Read Me.lnk" 2>/dev/null)" \
  "the user"

# --- then B: the user's shared file comes back, handed on by A.
uninstall 'C:\QMAPPB\install.log'
expect "B's uninstall exit code" "$rc" 0
expect "the user's shared file back" "$(cat "$windir/QMSHARED.DLL")" "v1 of the user"
[ ! -e "$windir/INSTBACK.LST" ] && echo "ok   the list of replaced files is gone" ||
  { echo "BAD  INSTBACK.LST stays"; failed=1; }

# --- a crafted log: nothing it names outside its own folder may change.
evil=$c/QMEVIL
mkdir -p "$evil/instback"
printf 'ours' >"$evil/WIN.INI"
printf 'kept' >"$evil/instback/00000001.bak"
printf 'BACKUP: 0, 0, 0, 32, "WIN.INI", "00000001.bak"\r\n' >"$evil/instback.log"
printf '%s\r\n' 'DIRECTORY: "C:\QMEVIL"' '' 'DEFAULTDIR: "C:\QMEVIL"' \
  'UNINSTALLTITLEPROMPT: "Crafted"' 'FILE: "WIN.INI"' \
  'INIFILE: "S", "C:\QMEVIL\..\USER\list.txt"' \
  'REGKEY: "HKEY_LOCAL_MACHINE", "SOFTWARE"' 'REGKEY: "HKEY_CURRENT_USER", "Software"' \
  'WINITEM: "QM Tools, Old", ""' >"$evil/install.log"
uninstall 'C:\QMEVIL\install.log'
expect "the crafted log's exit code" "$rc" 3
expect "the Windows folder's win.ini untouched" "$(md5sum <"$windir/win.ini")" "$win_ini"
expect "the relative file is the log folder's" "$(cat "$evil/WIN.INI" 2>/dev/null)" "kept"
expect "the user's text file untouched" "$(cat "$c/USER/list.txt")" "$(printf '[S]\r\nmine=1\r\n')"
expect "the user's group untouched" "$(cat "$programs/QM Tools/Read Me.lnk" 2>/dev/null)" "the user"
rm -rf "$evil"

# The vendor key A made stays, empty, because B's subkey was in it when A went. Without it the
# registry and C: are as they were but for the uninstaller's copy and the group folder the shell
# cannot say is empty.
qm_wine_tool reg query 'HKLM\Software\QmVendor' /s >/dev/null 2>&1 &&
  qm_wine_tool reg delete 'HKLM\Software\QmVendor' /f >/dev/null 2>&1 ||
  { echo "BAD  no vendor key left"; failed=1; }
expect "HKLM\\Software as before" "$(reg_lines 'HKLM\Software')" "$hklm_before"
expect "HKCU\\Software as before" "$(reg_lines 'HKCU\Software')" "$hkcu_before"
qm_prefix_snapshot "$work/after.txt" "${keys[@]}"
bash "$(dirname "${BASH_SOURCE[0]}")/compare_snapshots.sh" "$work/before.txt" "$work/after.txt" ||
  failed=1
exit $failed
