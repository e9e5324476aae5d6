#!/bin/bash
# The real installer on three displays, each its own Xvfb screen: 640x480 with 256 colours
# (a palette), 800x600 with 16 bits and 1024x768 with 24. On each:
#   - the video, videoresolution and videocolor conditions pick the files the simulated machine
#     stating the same display picks: exit code, install.log byte for byte and the trace;
#   - the main window's pixels: the gradient's first and last bands, the title in its colour and
#     an 8-bit bitmap at TOPRIGHT, whose grey (no colour of the system's own 20) shows that its
#     palette was realized on the 256-colour screen. Colours the screen cannot show are compared
#     with room for its depth: 16-bit pixels hold 5 or 6 bits a channel, and a 256-colour screen
#     dithers a gradient band from its palette, so there a band is compared by its mean colour.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

pause=$QM_WIN32_BUILD/pause_gui_probe.exe
qm_wine_need_programs "$pause" "$QM_WIN32_BUILD/conditions_probe.exe"
command -v import >/dev/null && command -v convert >/dev/null ||
  { echo "FAIL ImageMagick (import, convert) is needed for the screenshots"; exit 1; }
qm_wine_work_dir displays pack
failed=0

qm_wine_new_prefix "$work/prefix"
# Unmanaged windows are placed by Wine itself, where Windows would put them (test_main_window.sh).
qm_wine_tool reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
c=$WINEPREFIX/drive_c
mkdir -p "$c/DIST" "$c/qm"
temp=$(qm_wine_tool cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
qm_wine_stop

# The conditions' distribution: one marker file per condition that holds.
p=$work/pack
conditions=('video > 640 480' 'video < 800 600' 'videoresolution > 800 600' \
  'videoresolution > 1024 768' 'videocolor > 256' 'videocolor > 65536' 'video <256' \
  'video > 256 1024 768' 'video < 65537 801 600')
{
  printf 'UNINSTALL YES\r\nDEFAULTDIR C:\\APP NOASKDRIVE NOASKDIR\r\n'
  for i in "${!conditions[@]}"; do
    printf 'IF %s\r\nFILE C%d.TXT\r\nENDIF\r\n' "${conditions[$i]}" "$i"
    printf 'IF %s\r\n' "${conditions[$i]}" >"$p/C$i.TXT"
    touch -d '2002-03-04 05:06:08 UTC' "$p/C$i.TXT"
  done
} >"$p/SETUP.cfg"
cp "$exe" "$p/SETUP.EXE"

# The window's distribution, held at its start-up command for the screenshot.
convert -size 64x48 gradient:'gray(20%)'-'gray(80%)' \
  -fill 'rgb(255,0,0)' -draw 'point 0,0' -fill 'rgb(0,255,0)' -draw 'point 63,0' \
  -fill 'rgb(0,0,255)' -draw 'point 0,47' -fill 'rgb(255,255,0)' -draw 'point 63,47' \
  -type Palette BMP3:"$c/DIST/LOGO.BMP"
cp "$exe" "$c/DIST/SETUP.EXE"
cp "$pause" "$c/DIST/PAUSE.EXE"
for kind in plain graphic; do
  printf '%s\r\n' 'TITLE "HIH"' 'TITLECOLOR (255,255,0)' 'SCREENCOLOR (200,40,0) (0,240,100)' \
    "$([ $kind = graphic ] && echo 'SCREENGRAPHIC LOGO.BMP TOPRIGHT' || echo 'BITMAPNONE')" \
    'RUNATSTART "C:\DIST\PAUSE.EXE C:\DIST\ready C:\DIST\go"' \
    'DEFAULTDIR C:\WIN NOASKDRIVE NOASKDIR' | grep -v '^BITMAPNONE' >"$c/DIST/SETUP-$kind.cfg"
done
convert -size 64x48 gradient:'gray(20%)'-'gray(80%)' -depth 8 txt:- >"$work/logo.txt"
logo_grey=$(sed -n 's/^32,24: (\([0-9]*\),.*/\1/p' "$work/logo.txt")

# The mean "r,g,b" of the screenshot's region WxH+X+Y.
mean() {  # PNG GEOMETRY
  convert "$1" -crop "$2" +repage -scale '1x1!' -depth 8 txt:- | tail -n 1 |
    sed -n 's/^[^(]*(\([0-9.]*\),\([0-9.]*\),\([0-9.]*\).*/\1,\2,\3/p' |
    awk -F, '{ printf "%d,%d,%d\n", $1 + 0.5, $2 + 0.5, $3 + 0.5 }'
}
# Whether two colours are within TOLERANCE in every channel.
near() {  # NAME GOT WANT TOLERANCE
  local IFS=, a b
  read -r -a a <<<"$2"
  read -r -a b <<<"$3"
  if [ "${#a[@]}" = 3 ] && awk -v t="$4" -v a="$2" -v b="$3" 'BEGIN { split(a, x, ","); split(b, y, ",");
      for (i = 1; i <= 3; i++) { d = x[i] - y[i]; if (d < 0) d = -d; if (d > t) exit 1 } }'; then
    echo "ok   $1 ($2, want $3 within $4)"
  else
    echo "BAD  $1: got [$2], want [$3] within $4"; failed=1
  fi
}

# Runs the window's distribution (SETUP-KIND.cfg) until PAUSE.EXE signals and takes the
# screenshot shot; sets X Y W H, the client area the trace gives.
held_shot() {  # SCREEN KIND
  shot=$work/$1-$2.png
  rm -f "$c/DIST/ready" "$c/DIST/go" "$c/qm/trace.log" "$work/held.rc"
  cp "$c/DIST/SETUP-$2.cfg" "$c/DIST/SETUP.cfg"
  printf '[Setup]\r\nShow=Yes\r\nShowDelay=2000\r\n' >"$c/qm/answers.ini"
  (cd "$c/DIST" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\trace.log' \
    timeout -k 5 120 wine 'C:\DIST\SETUP.EXE' >/dev/null 2>&1; echo $? >"$work/held.rc") &
  local held=$! i
  for i in $(seq 1 600); do
    [ -f "$c/DIST/ready" ] || [ -f "$work/held.rc" ] && break
    sleep 0.1
  done
  if [ -f "$c/DIST/ready" ]; then
    sleep 1  # the paint of the window reaches the X server
    import -window root "$shot"
    touch "$c/DIST/go"
  fi
  wait "$held" || true
  timeout -k 5 60 wineserver -w || true
  expect "$1 $2: the held run's exit code" "$(cat "$work/held.rc" 2>/dev/null)" 0
  W= H= X= Y=
  read -r W H X Y < <(sed -n \
    's/^main window: client \([0-9]*\)x\([0-9]*\) at \(-\{0,1\}[0-9]*\),\(-\{0,1\}[0-9]*\)$/\1 \2 \3 \4/p' \
    "$c/qm/trace.log" | head -n 1)
  if [ -z "${W:-}" ] || [ ! -f "$shot" ]; then
    echo "BAD  $1 $2: no screenshot of the main window"; failed=1; return 1
  fi
  expect "$1 $2: the client area as wide as the screen" "$W" "${1%%x*}"
}

# The gradient's first and last bands: n = H / 8 steps from (200,40,0) to (0,240,100), each
# channel truncated; mean colours within TOLERANCE.
check_bands() {  # SCREEN TOLERANCE
  local n=$((H / 8)) last=$(((H - 1) / 8)) lr lg lb
  lr=$((200 - last * (200 / n))); lg=$((40 + last * (200 / n))); lb=$((last * (100 / n)))
  ((lr < 0)) && lr=0; ((lg > 255)) && lg=255; ((lb > 255)) && lb=255
  near "$1: first band" "$(mean "$shot" "8x8+$((X + 8))+$Y")" "200,40,0" "$2"
  near "$1: last band" "$(mean "$shot" "8x1+$((X + 8))+$((Y + H - 1))")" "$lr,$lg,$lb" "$2"
}

# Which channel leads in the gradient's first and last bands: red, then green.
check_leading() {  # SCREEN
  local first last
  first=$(mean "$shot" "16x8+$((X + 8))+$Y")
  last=$(mean "$shot" "16x8+$((X + 8))+$((Y + H - 8))")
  expect "$1: first band leads with red ($first)" "$(awk -F, '{ print ($1 > $2 && $1 > $3) ? "red" : "not red" }' <<<"$first")" red
  expect "$1: last band leads with green ($last)" "$(awk -F, '{ print ($2 > $1 && $2 > $3) ? "green" : "not green" }' <<<"$last")" green
}

# The bitmap at TOPRIGHT: pure corners (colours every palette holds) and its grey at the middle.
check_bitmap() {  # SCREEN
  near "$1: bitmap top left corner" "$(mean "$shot" "1x1+$((X + W - 64))+$Y")" "255,0,0" 8
  near "$1: bitmap bottom right corner" "$(mean "$shot" "1x1+$((X + W - 1))+$((Y + 47))")" "255,255,0" 8
  near "$1: bitmap grey through its palette" "$(mean "$shot" "1x1+$((X + W - 32))+$((Y + 24))")" \
    "$logo_grey,$logo_grey,$logo_grey" 8
}

# The title: pixels of its colour from about (20,20) on.
check_title() {  # SCREEN
  local title
  title=$(convert "$shot" -crop "100x60+$X+$Y" +repage -fill black +opaque 'rgb(255,255,0)' \
    -fill white -opaque 'rgb(255,255,0)' -format '%@' info:)
  if [[ $title =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -ge 10 ] &&
     [ "${BASH_REMATCH[3]}" -ge 18 ] && [ "${BASH_REMATCH[3]}" -le 30 ]; then
    echo "ok   $1: title in its colour at $title"
  else
    echo "BAD  $1: no title in its colour from (20,20) on [$title]"; failed=1
  fi
}

one_display() {  # SCREEN TOLERANCE
  local screen=$1 tol=$2 t0
  t0=$(date +%s)
  QM_WINE_SCREEN=$screen qm_wine_start_display || { echo "BAD  $screen: no display"; failed=1; return; }
  local xvfb=$QM_WINE_XVFB_PID
  local facts
  facts=$(timeout -k 5 60 wine "$QM_WIN32_BUILD/conditions_probe.exe" facts 2>/dev/null | tr -d '\r')
  # X keeps a depth of 24 in 32-bit pixels, and Wine reports the pixel's size, as Windows does
  # for a 32-bit true-colour mode; the simulated machine states what the installer sees.
  local seen
  seen=$(sed -n 's/^display=\([0-9x]*\).*/\1/p' <<<"$facts")
  expect "$screen: the display the installer sees" "$seen" "${screen/%x24/x32}"

  # --- the conditions, real and simulated
  local sim=$work/sim-$screen rc=0 simrc=0
  rm -rf "$c/APP" "$c/qm/trace.log" "$c/COND"
  mkdir -p "$c/COND" "$sim/c/windows/system32" "$sim/c/$(tr '\\' / <<<"${temp:3}")" "$sim/c/COND"
  cp -p "$p"/* "$c/COND/"
  cp -p "$p"/* "$sim/c/COND/"
  printf '[Setup]\r\n' >"$c/qm/answers.ini"
  cp "$c/qm/answers.ini" "$sim/answers.ini"
  printf '[Machine]\nWindows=6.2\nDisplay=%s\nWindowsDir=C:\\windows\nSystemDir=C:\\windows\\system32\nTempDir=%s\n[Drives]\nC=fixed c\n' \
    "$seen" "$temp" >"$sim/machine.ini"
  "$quillpack" simulate --machine "$sim/machine.ini" --answers "$sim/answers.ini" \
    --trace "$sim/trace.txt" 'C:\COND\SETUP.EXE' >/dev/null 2>&1 || simrc=$?
  (cd "$c/COND" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\trace.log' \
    timeout -k 5 120 wine 'C:\COND\SETUP.EXE') || rc=$?
  timeout -k 5 60 wineserver -w || true
  expect "$screen: conditions exit code, real and simulated" "$rc" "$simrc"
  qm_same_file "$screen: install.log" "$(qm_wine_c_path 'C:\APP\install.log')" "$sim/c/APP/install.log"
  qm_same_tree "$screen: C:\\APP" "$(qm_wine_c_path 'C:\APP')" "$sim/c/APP"
  qm_same_trace "$screen: trace" "$c/qm/trace.log" "$sim/trace.txt"
  echo "     $screen: conditions held: $(cd "$(qm_wine_c_path 'C:\APP')" 2>/dev/null && cat C*.TXT | tr -d '\r' | sed 's/^IF //' | paste -sd ';')"

  # --- the main window. On the 256-colour screen Wine dithers a band's brush from a few of its
  # colours, mostly black (a band of (200,40,0) comes out as red and black pixels, 63,0,0 on
  # the mean), where Windows mixes the nearest of its 20 static colours: there only each band's
  # leading colour is compared (red at the top, green at the bottom), without the bitmap.
  if [ "${screen##*x}" = 8 ]; then
    held_shot "$screen" plain && check_leading "$screen" && check_title "$screen"
    held_shot "$screen" graphic && check_bitmap "$screen"
  else
    held_shot "$screen" graphic && check_bands "$screen" "$tol" && check_bitmap "$screen" &&
      check_title "$screen"
  fi
  qm_wine_stop
  kill "$xvfb" 2>/dev/null || true
  echo "     $screen: $(( $(date +%s) - t0 ))s"
}

one_display 640x480x8 -
one_display 800x600x16 8
one_display 1024x768x24 0

[ "$failed" = 0 ] && echo "PASS displays" || { echo "FAIL displays"; exit 1; }
