#!/bin/bash
# The disks quillpack layout writes install with the real installer: the sample, its documents
# and samples moved to a second disk by an INSERTDISK: line, laid out on two 720K disks. Both
# disks are copied into one folder on C: (the disk prompt is answered as if the disk were
# changed), so the files of disk 2 must lie loose beside SETUP.EXE: the container is closed at
# the prompt. Then a script whose lines end with a carriage return alone is refused, not
# reported as installed.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

qm_wine_need_programs "$QM_WIN32_BUILD/unstall.exe"
qm_wine_work_dir layout src out
failed=0

src=$work/src
sample=$QM_SOURCE_DIR/examples/sample
cp -a "$sample/." "$src/"
rm -f "$src/answers.ini"
cp "$QM_WIN32_BUILD/unstall.exe" "$src/UNSTALL.EXE"
printf 'install.pif of the layout test' >"$src/install.pif"
# The documents and samples go to disk 2.
sed -i 's/^FILE DOCS\\GUIDE.TXT/INSERTDISK: "Quill Notes disk 2"\r\n&/' "$src/SETUP.cfg"
files=()
while IFS= read -r f; do files+=("$f"); done < <(find "$src" -type f ! -name SETUP.cfg | sort)

rc=0
"$quillpack" layout --disk-size 720K -o "$work/out" --stub "$exe" "$src/SETUP.cfg" "${files[@]}" \
  >"$work/layout.txt" 2>&1 || rc=$?
cat "$work/layout.txt"
expect "layout exit code" "$rc" 0
expect "two disks" "$(ls "$work/out" | grep -c '^DISK[0-9]$')" 2
expect "disk 2 holds the guide" "$(ls "$work/out/DISK2/DOCS" 2>/dev/null | tr '\n' ' ')" "GUIDE.TXT KEYS.TXT TIPS31.TXT TIPS95.TXT "
expect "disk 1 holds only SETUP.EXE" "$(ls "$work/out/DISK1")" "SETUP.EXE"

qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
mkdir -p "$c/qm" "$c/DIST"
cp -a "$work/out/DISK1/." "$work/out/DISK2/." "$c/DIST/"
printf '[Setup]\r\nAsk1=Pat Writer\r\nDefaultDir=C:\\QNOTES\r\nScreens=OK\r\nOverwrite=Yes\r\nDisks=Merged\r\nQuit=Yes\r\nReboot=No\r\n' \
  >"$c/qm/answers.ini"
qm_wine_install_dist 180 layout.log
expect "the disk was asked for" "$(grep -c '^disk: Please insert Quill Notes disk 2 -> Merged$' <<<"$trace")" 1
expect "installation completed" "$(grep -c '^installation completed$' <<<"$trace")" 1
expect "the guide from disk 2" "$(tr -d '\r' <"$(qm_wine_c_path 'C:\QNOTES\DOCS\GUIDE.TXT')" 2>/dev/null | head -c 20)" \
  "$(tr -d '\r' <"$sample/DOCS/GUIDE.TXT" | head -c 20)"
expect "the notes file from the container" "$(qm_wine_read_c 'C:\QNOTES\NOTES.INI' | tr -d '\r' | head -n 1)" \
  "$(tr -d '\r' <"$sample/NOTES.INI" | head -n 1)"

# A script with carriage returns alone as line ends: one long line to the parser, refused with
# exit code 1 and a box saying why; nothing is installed.
rm -rf "$c/DIST" "$c/CRONLY"
mkdir -p "$c/DIST"
cp "$exe" "$c/DIST/SETUP.EXE"
printf 'DEFAULTDIR C:\\CRONLY NOASKDRIVE NOASKDIR\rFILE SETUP.cfg\r' >"$c/DIST/SETUP.cfg"
rc=0
(cd "$c/DIST" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\cr.log' \
  timeout -k 5 60 wine 'C:\DIST\SETUP.EXE') || rc=$?
timeout -k 5 60 wineserver -w || true
trace=$(tr -d '\r' <"$c/qm/cr.log" 2>/dev/null || true)
echo "--- trace"; echo "$trace"; echo "---"
expect "carriage returns alone: exit code" "$rc" 1
expect "carriage returns alone: the box says why" \
  "$(grep -c 'ends its lines with a carriage return alone' <<<"$trace")" 1
expect "carriage returns alone: nothing installed" "$([ -e "$c/CRONLY" ] && echo yes || echo no)" no

[ "$failed" = 0 ] && echo "PASS layout" || { echo "FAIL layout"; exit 1; }
