#!/bin/bash
# The main window as the real installer paints it, read back from screenshots of the display:
# the gradient's first, second and last bands, the title in its colour with the shadow 3 pixels
# below and right of it, an 8-bit run-length bitmap at TOPRIGHT, a 24-bit bitmap tiled from the
# top left corner, FULLSCREEN stretched over the client area, a title in a face the system lacks,
# and the intro screen stretched over the whole screen, ended by its timer, a key or a click. The
# installer is held at its start-up command (RUNATSTART) by pause_gui_probe.exe while the
# screenshot is taken; the intro screen stays up for the watched run's delay, and
# send_gui_probe.exe types at it or clicks it.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

exe=$QM_WIN32_BUILD/quillmount.exe
pause=$QM_WIN32_BUILD/pause_gui_probe.exe
send=$QM_WIN32_BUILD/send_gui_probe.exe
for f in "$exe" "$pause" "$send"; do
  [ -f "$f" ] || { echo "FAIL missing $f"; exit 1; }
done
command -v import >/dev/null && command -v convert >/dev/null ||
  { echo "FAIL ImageMagick (import, convert) is needed for the screenshots"; exit 1; }
work=$QM_WINE_WORK/main_window
rm -rf "$work"
mkdir -p "$work"
failed=0

qm_wine_new_prefix "$work/prefix"
# With no window manager on the display, a managed window is never maximised on the display
# server, only inside Wine: Wine then draws the maximised window at its restored place, cut at
# the screen's edge. Unmanaged windows are placed by Wine itself, where Windows would put them.
qm_wine_tool reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
  { echo "FAIL cannot make the prefix's windows unmanaged"; exit 1; }
c=$WINEPREFIX/drive_c
mkdir -p "$c/DIST" "$c/qm"
cp "$exe" "$c/DIST/SETUP.EXE"
cp "$pause" "$c/DIST/PAUSE.EXE"

# The bitmaps: distinct corner pixels, and more than 16 colours in the 8-bit one so that it is
# drawn through a palette.
convert -size 64x48 gradient:'gray(20%)'-'gray(80%)' \
  -fill 'rgb(255,0,0)' -draw 'point 0,0' -fill 'rgb(0,255,0)' -draw 'point 63,0' \
  -fill 'rgb(0,0,255)' -draw 'point 0,47' -fill 'rgb(255,255,0)' -draw 'point 63,47' \
  -type Palette BMP3:"$c/DIST/LOGO.BMP"
convert -size 50x40 xc:'rgb(30,60,90)' \
  -fill 'rgb(255,0,255)' -draw 'point 0,0' -fill 'rgb(0,255,255)' -draw 'point 49,0' \
  -fill 'rgb(255,128,0)' -draw 'point 0,39' -fill 'rgb(128,0,255)' -draw 'point 49,39' \
  -type TrueColor BMP3:"$c/DIST/TILE.BMP"
convert -size 2x2 xc:'rgb(10,200,30)' -fill 'rgb(220,20,60)' -draw 'point 1,1' \
  -type TrueColor BMP3:"$c/DIST/INTRO.BMP"

# "r,g,b" of the screenshot's pixel at X,Y.
pixel() {  # PNG X Y
  convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | tail -n 1 | sed -n 's/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}

# The bounding box "left top right bottom" of the pixels of exactly one colour in a region.
colour_box() {  # PNG WxH+X+Y R,G,B
  local geometry
  # Through a third colour, so that black can be looked for too.
  geometry=$(convert "$1" -crop "$2" +repage -fill 'rgb(1,2,3)' +opaque "rgb($3)" -fill white \
    -opaque "rgb($3)" -fill black -opaque 'rgb(1,2,3)' -bordercolor black -border 1 \
    -format '%@' info:)
  echo "$geometry" | sed -n 's/^\([0-9]*\)x\([0-9]*\)+\([0-9]*\)+\([0-9]*\)$/\3 \4 \1 \2/p' |
    awk '{ print $1 - 1, $2 - 1, $1 - 1 + $3 - 1, $2 - 1 + $4 - 1 }'
}

# Runs SETUP.EXE with the script in $1 until PAUSE.EXE signals, takes the screenshot $2, lets the
# installer go on and waits for it. Sets client_x, client_y, client_w, client_h from the trace.
run_held() {  # SCRIPT PNG
  local name=$1 shot=$2 i
  rm -f "$c/DIST/ready" "$c/DIST/go" "$c/qm/trace.log"
  cp "$work/$name" "$c/DIST/SETUP.cfg"
  (cd "$c/DIST" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\trace.log' \
    timeout -k 5 240 wine 'C:\DIST\SETUP.EXE' >"$work/$name.out" 2>&1; echo $? >"$work/$name.rc") &
  for i in $(seq 1 1200); do
    [ -f "$c/DIST/ready" ] && break
    [ -f "$work/$name.rc" ] && break
    sleep 0.1
  done
  if [ ! -f "$c/DIST/ready" ]; then
    echo "BAD  $name: the start-up command was never reached"
    cat "$c/qm/trace.log" 2>/dev/null || true
    failed=1
    wait
    return 1
  fi
  sleep 1  # the paint of the window reaches the X server
  import -window root "$shot"
  touch "$c/DIST/go"
  wait
  expect "$name exit code" "$(cat "$work/$name.rc")" 0
  read -r client_w client_h client_x client_y < <(sed -n \
    's/^main window: client \([0-9]*\)x\([0-9]*\) at \(-\{0,1\}[0-9]*\),\(-\{0,1\}[0-9]*\)$/\1 \2 \3 \4/p' \
    "$c/qm/trace.log" | head -n 1)
  [ -n "${client_w:-}" ] || { echo "BAD  $name: no client area in the trace"; failed=1; return 1; }
  echo "     $name: client ${client_w}x${client_h} at $client_x,$client_y"
}

printf '[Setup]\r\nShow=Yes\r\nShowDelay=4000\r\n' >"$c/qm/answers.ini"
hold='RUNATSTART "C:\DIST\PAUSE.EXE C:\DIST\ready C:\DIST\go"'
# Nothing to ask: the installation runs straight through once the screenshot is taken.
quiet='DEFAULTDIR C:\APP NOASKDRIVE NOASKDIR'

# --- gradient, title and TOPRIGHT
printf '%s\r\n' 'TITLE "HIH"' 'TITLECOLOR (255,255,0)' 'SCREENCOLOR (200,40,0) (0,240,100)' \
  'SCREENGRAPHIC LOGO.BMP TOPRIGHT' "$hold" "$quiet" >"$work/gradient.cfg"
if run_held gradient.cfg "$work/gradient.png"; then
  shot=$work/gradient.png
  X=$client_x Y=$client_y W=$client_w H=$client_h
  # The bands as the gradient rule gives them: n = H / 8 steps, each channel truncated.
  n=$((H / 8))
  band() {  # INDEX -> r,g,b
    local r=$((200 - $1 * ((200 - 0) / n))) g=$((40 - $1 * ((40 - 240) / n))) b=$((0 - $1 * ((0 - 100) / n)))
    clamp() { local v=$1; ((v < 0)) && v=0; ((v > 255)) && v=255; echo $v; }
    echo "$(clamp $r),$(clamp $g),$(clamp $b)"
  }
  expect "first band at the top" "$(pixel "$shot" $((X + 4)) $((Y + 0)))" "200,40,0"
  expect "first band ends after 8 rows" "$(pixel "$shot" $((X + 4)) $((Y + 7)))" "200,40,0"
  expect "second band" "$(pixel "$shot" $((X + 4)) $((Y + 8)))" "$(band 1)"
  expect "last band at the bottom" "$(pixel "$shot" $((X + 4)) $((Y + H - 1)))" "$(band $(((H - 1) / 8)))"
  expect "right edge is banded too" "$(pixel "$shot" $((X + W - 1)) $((Y + H - 1)))" "$(band $(((H - 1) / 8)))"

  # TOPRIGHT: the bitmap's corners at the client's top right corner, the background beside it.
  expect "bitmap top right corner" "$(pixel "$shot" $((X + W - 1)) $((Y + 0)))" "0,255,0"
  expect "bitmap top left corner" "$(pixel "$shot" $((X + W - 64)) $((Y + 0)))" "255,0,0"
  expect "bitmap bottom left corner" "$(pixel "$shot" $((X + W - 64)) $((Y + 47)))" "0,0,255"
  expect "bitmap bottom right corner" "$(pixel "$shot" $((X + W - 1)) $((Y + 47)))" "255,255,0"
  expect "background left of the bitmap" "$(pixel "$shot" $((X + W - 65)) $((Y + 0)))" "200,40,0"
  expect "background below the bitmap" "$(pixel "$shot" $((X + W - 1)) $((Y + 48)))" "$(band 6)"

  # The title: its colour from (20,20) on; the black shadow 3 pixels further right and down.
  region="400x100+$X+$Y"
  read -r tl tt tr tb < <(colour_box "$shot" "$region" 255,255,0)
  read -r sl st sr sb < <(colour_box "$shot" "$region" 0,0,0)
  echo "     title colour box $tl,$tt-$tr,$tb; shadow box $sl,$st-$sr,$sb"
  expect "title starts at 20,20" "$([ "${tl:-0}" -ge 20 ] && [ "$tl" -le 30 ] && [ "${tt:-0}" -ge 20 ] && [ "$tt" -le 40 ] && echo yes)" yes
  expect "shadow right edge 3 pixels right of the title's" "$((${sr:-0} - ${tr:-0}))" 3
  expect "shadow bottom edge 3 pixels below the title's" "$((${sb:-0} - ${tb:-0}))" 3
fi

# --- TILE: repeated from the top left corner, no background anywhere
# The title's face does not exist: the system's substitute draws it all the same.
printf '%s\r\n' 'TITLE "HIH" "No Such Face At All"' 'TITLECOLOR (255,255,0)' \
  'SCREENCOLOR (200,40,0) (0,240,100)' 'SCREENGRAPHIC "TILE.BMP" TILE' "$hold" "$quiet" \
  >"$work/tile.cfg"
if run_held tile.cfg "$work/tile.png"; then
  shot=$work/tile.png
  X=$client_x Y=$client_y W=$client_w H=$client_h
  expect "tile at 0,0" "$(pixel "$shot" $X $Y)" "255,0,255"
  expect "tile 1 right, top left" "$(pixel "$shot" $((X + 50)) $Y)" "255,0,255"
  expect "tile 1 right, top right" "$(pixel "$shot" $((X + 99)) $Y)" "0,255,255"
  expect "tile 2 down, bottom left" "$(pixel "$shot" $X $((Y + 119)))" "255,128,0"
  expect "tile 3 right 2 down, bottom right" "$(pixel "$shot" $((X + 199)) $((Y + 119)))" "128,0,255"
  read -r tl tt tr tb < <(colour_box "$shot" "400x100+$X+$Y" 255,255,0)
  expect "title in a missing face still drawn at 20,20" \
    "$([ "${tl:-0}" -ge 20 ] && [ "$tl" -le 30 ] && [ "${tr:-0}" -gt "$tl" ] && echo yes)" yes
  last_x=$(((W - 1) / 50 * 50)) last_y=$(((H - 1) / 40 * 40))
  expect "last tile's top left" "$(pixel "$shot" $((X + last_x)) $((Y + last_y)))" "255,0,255"
  expect "inside the last tile" "$(pixel "$shot" $((X + W - 1)) $((Y + H - 1)))" \
    "$( [ $((W - 1 - last_x)) = 49 ] && [ $((H - 1 - last_y)) = 39 ] && echo 128,0,255 || echo 30,60,90)"
fi

# --- FULLSCREEN: the bitmap stretched over the whole client area, no background left
printf '%s\r\n' 'SCREENCOLOR (200,40,0)' 'SCREENGRAPHIC LOGO.BMP FULLSCREEN' "$hold" "$quiet" \
  >"$work/fullscreen.cfg"
if run_held fullscreen.cfg "$work/fullscreen.png"; then
  shot=$work/fullscreen.png
  X=$client_x Y=$client_y W=$client_w H=$client_h
  # Each image pixel covers 16 x 15.6 screen pixels: the corners' blocks are pure corner colours.
  expect "stretched top left" "$(pixel "$shot" $((X + 2)) $((Y + 2)))" "255,0,0"
  expect "stretched top right" "$(pixel "$shot" $((X + W - 3)) $((Y + 2)))" "0,255,0"
  expect "stretched bottom left" "$(pixel "$shot" $((X + 2)) $((Y + H - 3)))" "0,0,255"
  expect "stretched bottom right" "$(pixel "$shot" $((X + W - 1)) $((Y + H - 1)))" "255,255,0"
fi

# --- the intro screen, stretched over the whole screen, ended by its timer in a watched run
printf '%s\r\n' 'SCREENCOLOR (200,40,0)' 'INTROSCREEN INTRO.BMP' "$quiet" >"$work/intro.cfg"
cp "$work/intro.cfg" "$c/DIST/SETUP.cfg"
rm -f "$c/qm/trace.log" "$work/intro.rc"
(cd "$c/DIST" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\trace.log' \
  timeout -k 5 240 wine 'C:\DIST\SETUP.EXE' >"$work/intro.out" 2>&1; echo $? >"$work/intro.rc") &
for i in $(seq 1 600); do
  grep -q '^intro: shown' "$c/qm/trace.log" 2>/dev/null && break
  [ -f "$work/intro.rc" ] && break
  sleep 0.1
done
sleep 1
import -window root "$work/intro.png"
wait
expect "intro exit code" "$(cat "$work/intro.rc")" 0
read -r sw sh < <(identify -format '%w %h\n' "$work/intro.png")
expect "intro top left" "$(pixel "$work/intro.png" 5 5)" "10,200,30"
expect "intro top right" "$(pixel "$work/intro.png" $((sw - 5)) 5)" "10,200,30"
expect "intro bottom right" "$(pixel "$work/intro.png" $((sw - 5)) $((sh - 5)))" "220,20,60"
expect "intro ended by its timer" "$(grep -c '^intro: ended by timer' "$c/qm/trace.log")" 1
expect "installation ran after the intro" "$(grep -c '^exit 0' "$c/qm/trace.log")" 1

# --- a key or a click ends the intro screen long before its timer would
printf '[Setup]\r\nShow=Yes\r\nShowDelay=60000\r\n' >"$c/qm/answers.ini"
cp "$work/intro.cfg" "$c/DIST/SETUP.cfg"
cp "$send" "$c/DIST/SEND.EXE"
for how in key click; do
  rm -f "$c/qm/trace.log"
  started=$(date +%s)
  (cd "$c/DIST" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\trace.log' \
    timeout -k 5 120 wine 'C:\DIST\SETUP.EXE' >"$work/intro-$how.out" 2>&1) &
  qm_wine_run 90 "$c/DIST/SEND.EXE" QuillmountIntro "$how" >/dev/null 2>&1 || true
  expect "send_gui_probe found the intro ($how)" "$QM_WINE_EXIT" 0
  wait
  expect "intro ended by a $how" "$(grep -c "^intro: ended by $how" "$c/qm/trace.log")" 1
  expect "installation ran after the $how" "$(grep -c '^exit 0' "$c/qm/trace.log")" 1
  expect "the $how came before the timer" "$([ $(($(date +%s) - started)) -lt 55 ] && echo yes)" yes
done

[ -n "${QM_WINE_KEEP:-}" ] && cp "$work"/*.png "$QM_WINE_WORK/" 2>/dev/null
exit $failed
