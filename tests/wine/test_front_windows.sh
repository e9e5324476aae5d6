#!/bin/bash
# Windows that wait for the user or show progress are in front when they appear, and a first
# screen taller than the screen still shows its buttons. One watched unattended run (Show=Yes):
#   - a 105-line first screen on the 1024x768 display: the dialog fits the screen, its OK button
#     is on it and the lines scroll in one text;
#   - after a disk prompt the progress window is above the main window again;
#   - the restart question is above the readme Notepad opened just before it.
# front_probe.exe looks at the z-order from outside while each window is up.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

exe=$QM_WIN32_BUILD/quillmount.exe
probe=$QM_WIN32_BUILD/front_probe.exe
for f in "$exe" "$probe"; do [ -f "$f" ] || { echo "FAIL missing $f"; exit 1; }; done
qm_wine_work_dir front_windows
failed=0
qm_wine_new_prefix "$work/prefix"
# Wine draws the frames and stacks the windows itself: no window manager on the test display.
qm_wine_tool reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
c=$WINEPREFIX/drive_c
mkdir -p "$c/DIST" "$c/qm"
cp "$exe" "$c/DIST/SETUP.EXE"
{
  echo 'TITLE "Front test"'
  echo 'DEFAULTDIR C:\FRONT NOASKDRIVE NOASKDIR'
  echo 'BEGINFIRSTSCREEN'
  for i in $(seq 1 105); do echo "Licence line $i: the terms of use of this program."; done
  echo 'ENDFIRSTSCREEN'
  echo 'SHOWREADME README.TXT'
  echo 'REBOOT System'
  echo 'FILE README.TXT'
  echo 'FILE A.TXT'
  echo 'INSERTDISK: "Disk 2"'
  for f in B C D E; do echo "FILE $f.TXT"; done
} | qm_crlf >"$c/DIST/SETUP.cfg"
for f in README A B C D E; do printf 'file %s\r\n' "$f" >"$c/DIST/$f.TXT"; done
printf '[Setup]\r\nShow=Yes\r\nShowDelay=3000\r\nReboot=No\r\n' >"$c/qm/answers.ini"

# Each probe waits for its window; all three watch the one run.
probe_for() {  # NAME WAIT [GONE]
  timeout -k 5 150 wine "$probe" 140 "${@:2}" >"$work/$1.probe" 2>/dev/null &
}
probe_for screen "Licence line 1"
probe_for progress "Installing file" "Please insert"
probe_for restart "Do you wish to reboot"
sleep 2
rc=0
(cd "$c/DIST" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\front.log' \
  timeout -k 5 150 wine 'C:\DIST\SETUP.EXE') || rc=$?
wait
sed -i 's/\r$//' "$work"/*.probe
# 3010 as a shell keeps it: 8 bits.
expect "exit code (restart declined)" "$rc" $((3010 % 256))
for name in screen progress restart; do echo "--- $name"; cat "$work/$name.probe"; done
# Notepad stays open with the readme; nothing else needs the prefix any more.
qm_wine_stop

field() { awk -v k="$2" '$1 == k { print $'"$3"'; exit }' "$work/$1.probe"; }
above() { grep -c '^ABOVE' "$work/$1.probe" || true; }

# The tall first screen: within the screen, OK on it, every line in the scrolling text.
sh=$(field screen TARGET 7)
top=$(field screen TARGET 3)
bottom=$(( top + $(field screen TARGET 5) ))
expect "first screen's top on the screen" "$([ "$top" -ge 0 ] && echo yes)" yes
expect "first screen no taller than the screen ($bottom <= $sh)" "$([ "$bottom" -le "$sh" ] && echo yes)" yes
ok_bottom=$(( $(field screen OK 3) + $(field screen OK 5) ))
expect "its OK button on the screen ($ok_bottom <= $sh)" "$([ "$ok_bottom" -le "$sh" ] && echo yes)" yes
expect "its 105 lines in a scrolling text" "$(field screen SCROLL 2)" 105

expect "progress window in front after the disk prompt" "$(above progress)" 0
expect "readme open in Notepad when the restart is asked" \
  "$(grep -c '^WINDOW .*Notepad' "$work/restart.probe" || true)" 1
expect "restart question in front of Notepad and the main window" "$(above restart)" 0

[ "$failed" = 0 ] && echo "PASS front_windows" || { echo "FAIL front_windows"; exit 1; }
