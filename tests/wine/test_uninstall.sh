#!/bin/bash
# Install, then uninstall, with the real programs: quillmount.exe installs a distribution that
# adds files and folders, replaces a file in the Windows folder and renames one, then the real
# unstall.exe undoes it unattended. The prefix's C: drive and the registry keys the installation
# could touch must be as they were, but for the uninstaller's own copy in the Windows folder.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
. "$(dirname "${BASH_SOURCE[0]}")/prefix_snapshot.sh"
qm_wine_setup "$@"

unstall=$QM_WIN32_BUILD/unstall.exe
qm_wine_need_programs "$unstall"
qm_wine_work_dir uninstall files
failed=0

f=$work/files
{
  printf 'UNINSTALL YES\r\nUNINSTALLTITLEPROMPT "Remove Test"\r\n'
  printf 'DEFAULTDIR C:\\RTAPP NOASKDRIVE NOASKDIR\r\n'
  printf 'RENAME C:\\RTDATA\\OLD.TXT C:\\RTDATA\\OLD.BAK\r\n'
  printf 'FILE README.TXT ATTRIBUTE="R"\r\nFILE DOCS\\GUIDE.TXT\r\nFILE UNSTALL.EXE\r\n'
  printf 'FILE C:\\WINDOWS\\QMSHARED.TXT OVERWRITE=YES\r\n'
} >"$f/SETUP.cfg"
printf 'read me\r\n' >"$f/README.TXT"
printf 'guide' >"$f/GUIDE.TXT"
printf 'the new shared file' >"$f/QMSHARED.TXT"
cp "$unstall" "$f/UNSTALL.EXE"
touch -d '2021-03-04 05:06:08 UTC' "$f"/*
"$quillpack" build --stub "$exe" -o "$work/SETUP.EXE" "$f/SETUP.cfg" "$f/README.TXT" \
  "$f/GUIDE.TXT" "$f/QMSHARED.TXT" "$f/UNSTALL.EXE" >/dev/null

qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
mkdir -p "$c/DIST" "$c/qm" "$c/RTDATA"
cp "$work/SETUP.EXE" "$c/DIST/SETUP.EXE"
windir=$(qm_wine_c_path 'C:\WINDOWS')
printf 'the old shared file' >"$windir/QMSHARED.TXT"
touch -d '2000-01-02 03:04:06 UTC' "$windir/QMSHARED.TXT"
printf 'old data' >"$c/RTDATA/OLD.TXT"
touch -d '2001-01-01 01:01:02 UTC' "$c/RTDATA/OLD.TXT"
printf '[Setup]\r\nReboot=No\r\nUninstall=Yes\r\n' >"$c/qm/answers.ini"
export QUILLMOUNT_ANSWERS='C:\qm\answers.ini'
qm_wine_stop
keys=('HKEY_CURRENT_USER\Software\Quillmount' 'HKEY_LOCAL_MACHINE\Software\Quillmount')
qm_prefix_snapshot "$work/before.txt" "${keys[@]}"

rc=0
QUILLMOUNT_LOG='C:\qm\install-trace.log' timeout -k 5 300 wine 'C:\DIST\SETUP.EXE' || rc=$?
qm_wine_stop
expect "installer exit code" "$rc" 0
app=$(qm_wine_c_path 'C:\RTAPP')
[ -f "$app/install.log" ] || { echo "BAD  no install.log"; exit 1; }
expect "shared file replaced" "$(cat "$windir/QMSHARED.TXT")" "the new shared file"
[ -f "$app/instback.log" ] && echo "ok   replaced file listed beside install.log" ||
  { echo "BAD  no instback.log"; failed=1; }
# Listed where Windows users look for what they can remove; the key name is the destination's
# folder, since the script gives no TITLE.
listed() { qm_wine_tool uninstaller --list 2>/dev/null | tr -d '\r' | grep -c '|||RTAPP$' || true; }
expect "Add/Remove Programs lists the installation" "$(listed)" 1
[ -f "$windir/unstall.exe" ] || [ -f "$windir/UNSTALL.EXE" ] &&
  echo "ok   uninstaller copied into the Windows folder" ||
  { echo "BAD  no uninstaller in the Windows folder"; failed=1; }

rc=0
QUILLMOUNT_LOG='C:\qm\uninstall-trace.log' timeout -k 5 300 wine "$windir/unstall.exe" 'C:\RTAPP\install.log' || rc=$?
qm_wine_stop
expect "uninstaller exit code" "$rc" 0
expect "Add/Remove Programs no longer lists it" "$(listed)" 0
echo "--- uninstall trace"; tr -d '\r' <"$c/qm/uninstall-trace.log" 2>/dev/null || true; echo "---"

qm_prefix_snapshot "$work/after.txt" "${keys[@]}"
bash "$(dirname "${BASH_SOURCE[0]}")/compare_snapshots.sh" "$work/before.txt" "$work/after.txt" ||
  failed=1
expect "shared file back" "$(cat "$windir/QMSHARED.TXT")" "the old shared file"
[ -d "$app" ] && { echo "BAD  C:\\RTAPP is still there"; failed=1; } || echo "ok   C:\\RTAPP removed"
exit $failed
