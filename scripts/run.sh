#!/usr/bin/env bash
# The main job: build everything, pack examples/sample into SETUP.EXE (the installer with the
# sample's files in its appended container), then install it with the real installer under Wine,
# unattended and headless. Prints the install log and the trace; saves screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/out
rm -rf "$out"
mkdir -p "$out/dist" "$out/screenshots"

scripts/setup.sh
scripts/build.sh native win32

echo "== pack examples/sample into SETUP.EXE"
files=()
while IFS= read -r f; do files+=("$f"); done < <(find examples/sample -type f ! -name 'answers.ini' | sort)
# The sample installs the uninstaller that reads its install log: the one built beside the installer.
build/native/quillpack build --stub build/win32/quillmount.exe -o "$out/dist/SETUP.EXE" \
  --name UNSTALL.EXE build/win32/unstall.exe "${files[@]}"
build/native/quillpack list "$out/dist/SETUP.EXE"

echo "== check the script"
build/native/quillpack check examples/sample/SETUP.cfg

echo "== install under Wine (fresh prefix, Xvfb, unattended)"
# winemenubuilder off: the shell's Start Menu shortcuts stay in the prefix, not on this desktop.
export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
display=:$(( 90 + RANDOM % 100 ))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1
timeout 300 wineboot -i >/dev/null 2>&1 || true
. tests/wine/prefix_snapshot.sh
qm_prefix_snapshot "$out/before-install.txt" 'HKEY_CURRENT_USER\Software\Quill Notes'
answers=examples/sample/answers.ini
cp "$answers" "$out/answers.ini"
# The display has no window manager: Wine draws the window frames and captions itself.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
# The sample's answers ask for a watched run (Show=Yes): each window the installer brings up
# writes "shown NAME" to the trace once painted, and gets one screenshot named after it.
. tests/wine/watch_shots.sh
set +e
QUILLMOUNT_ANSWERS="$(winepath -w "$out/answers.ini")" QUILLMOUNT_LOG="$(winepath -w "$out/trace.txt")" \
  timeout 300 wine "$out/dist/SETUP.EXE" &
installer=$!
qm_watch_shots "$out/trace.txt" "$out/screenshots" "$installer"
wait "$installer"
code=$?
set -e
echo "installer exit code: $code"

echo "== trace"
cat "$out/trace.txt" 2>/dev/null || echo "(no trace written)"
dest=$(sed -n 's/^DefaultDir=\([^;]*\).*/\1/p' "$out/answers.ini" | tr -d '\r' | sed 's/[[:space:]]*$//')
log=$(winepath -u "$dest\\install.log" 2>/dev/null || true)
echo "== install log ($dest\\install.log)"
if [ -n "$log" ] && [ -f "$log" ]; then cat "$log"; else echo "(no install log)"; fi
echo "== start-up, INI and text files the installation changed"
for f in 'C:\AUTOEXEC.BAT' 'C:\CONFIG.SYS' 'C:\windows\win.ini' 'C:\windows\QNOTES.INI' \
  "$dest\\NOTES.INI" "$dest\\README.TXT"; do
  host=$(winepath -u "$f" 2>/dev/null || true)
  echo "-- $f"
  if [ -n "$host" ] && [ -f "$host" ]; then tr -d '\r' <"$host"; else echo "(none)"; fi
done
echo "== registry (HKCU\Software\Quill Notes) and Start Menu shortcuts"
timeout 60 wine reg query 'HKCU\Software\Quill Notes' /s 2>/dev/null | tr -d '\r' || echo "(no key)"
find "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/*' -name '*.lnk' 2>/dev/null |
  sed "s|^$WINEPREFIX/||" || true
echo "== screenshots in $out/screenshots"
ls "$out/screenshots"

echo "== uninstall with the real unstall.exe (unattended) and compare with the prefix before"
set +e
QUILLMOUNT_ANSWERS="$(winepath -w "$out/answers.ini")" QUILLMOUNT_LOG="$(winepath -w "$out/uninstall-trace.txt")" \
  timeout 300 wine build/win32/unstall.exe "$dest\\install.log"
ucode=$?
set -e
# Wine opens a folder window for the group the items are taken from; it does not end by itself.
timeout 30 wineserver -w 2>/dev/null || true
echo "uninstaller exit code: $ucode"
tr -d '\r' <"$out/uninstall-trace.txt" 2>/dev/null || echo "(no uninstall trace)"
qm_prefix_snapshot "$out/after-uninstall.txt" 'HKEY_CURRENT_USER\Software\Quill Notes'
bash tests/wine/compare_snapshots.sh "$out/before-install.txt" "$out/after-uninstall.txt" || true
exit $code
