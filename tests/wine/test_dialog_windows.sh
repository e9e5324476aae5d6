#!/bin/bash
# The real installer in watched unattended runs (Show=Yes): every dialog really opens. A watcher
# program beside it reads each dialog through the window API (place, control ids, texts, check
# marks); screenshots taken when the trace says a window is up give the progress bar's pixels.
#   run 1: first screen, ASK, group dialog, the destination dialog in its three forms, a pop-up
#          above the progress window during a four-file copy, last screen;
#   run 2: a group dialog with nothing checked refuses OK ("No group is selected.");
#   run 3: run 1 with no delay (and an intro screen) names the same windows in its trace;
#   run 4: the answers run 1 recorded (QUILLMOUNT_RECORD), replayed unattended, give its answers;
# and quillpack's pictures of run 1 (simulate --format html on the profile with this display)
# put the main window, each dialog, the pop-up and the progress window where the real ones were.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
. "$(dirname "${BASH_SOURCE[0]}")/watch_shots.sh"
qm_wine_setup "$@"

watcher=$QM_WIN32_BUILD/window_watch_probe.exe
qm_wine_need_programs "$watcher"
command -v import >/dev/null && command -v convert >/dev/null ||
  { echo "FAIL ImageMagick (import, convert) is needed for the screenshots"; exit 1; }
work=$QM_WINE_WORK/dialog_windows
rm -rf "$work"
mkdir -p "$work"
failed=0

qm_wine_new_prefix "$work/prefix"
# Wine draws the frames and captions itself: there is no window manager on the test display.
qm_wine_tool reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
c=$WINEPREFIX/drive_c

# Runs the installer in C:\DIST with the script $1 and answers $2 beside the watcher; leaves
# the exit code in rc, the watcher's lines in $work/$3.watch and screenshots in $work/$3.
watched_run() {
  local script=$1 answers=$2 name=$3 pid wpid
  rm -rf "$c/DIST" "$work/$name"
  mkdir -p "$c/DIST" "$c/qm"
  cp "$exe" "$c/DIST/SETUP.EXE"
  printf '%s' "$script" | sed 's/$/\r/' >"$c/DIST/SETUP.cfg"
  for f in A B C D; do printf 'file %s\r\n' "$f" >"$c/DIST/$f.TXT"; done
  printf '%s' "$answers" | sed 's/$/\r/' >"$c/qm/$name.ini"
  rm -f "$c/qm/$name.log"
  timeout -k 5 200 wine "$watcher" 150 >"$work/$name.watch" 2>/dev/null &
  wpid=$!
  for _ in $(seq 1 100); do grep -q WATCHING "$work/$name.watch" 2>/dev/null && break; sleep 0.2; done
  rc=0
  (cd "$c/DIST" && QUILLMOUNT_ANSWERS="C:\\qm\\$name.ini" QUILLMOUNT_LOG="C:\\qm\\$name.log" \
    QUILLMOUNT_RECORD="C:\\qm\\$name.rec" timeout -k 5 240 wine 'C:\DIST\SETUP.EXE') &
  pid=$!
  qm_watch_shots "$c/qm/$name.log" "$work/$name" "$pid"
  wait "$pid" || rc=$?
  kill "$wpid" 2>/dev/null || true
  wait "$wpid" 2>/dev/null || true
  # The watcher's console output ends its lines with CR LF.
  sed -i 's/\r$//' "$work/$name.watch"
  tr -d '\r' <"$c/qm/$name.log" >"$work/$name.trace" 2>/dev/null || true
}

# The watcher's record of the first window holding control ID (* for any) with TEXT.
window_with() {  # FILE ID TEXT
  awk -v id="$2" -v text="\"$3\"" '
    /^WINDOW/ { block = $0 "\n"; keep = 0; next }
    /^END/ { if (keep && !done) { printf "%s", block; done = 1 } next }
    { block = block $0 "\n"; if ($1 == "CONTROL" && (id == "*" || $2 == id) && index($0, text)) keep = 1 }
  ' "$1"
}

control_text() {  # BLOCK ID -> the quoted text of that control, without quotes
  printf '%s\n' "$1" | awk -v id="$2" '$1 == "CONTROL" && $2 == id {
    s = $0; sub(/^[^"]*"/, "", s); sub(/"$/, "", s); print s; exit }'
}
control_checked() { printf '%s\n' "$1" | awk -v id="$2" '$1 == "CONTROL" && $2 == id { print $8; exit }'; }

# Centred: x = (screen width - width) / 2 and y = (screen height - height) / 2 (integer halves).
centred() {  # BLOCK
  printf '%s\n' "$1" | awk '/^WINDOW/ {
    print ($3 == int(($7 - $5) / 2) && $4 == int(($8 - $6) / 2)) ? "yes" : "no (" $3 "," $4 " size " $5 "x" $6 ")"
    exit }'
}

pixel() {  # PNG X Y -> "r,g,b"
  convert "$1" -crop "1x1+$2+$3" -depth 8 -format '%[fx:int(255*r+.5)],%[fx:int(255*g+.5)],%[fx:int(255*b+.5)]' info:
}

script1='TITLE "Dialog test"
BEGINFIRSTSCREEN
Welcome to the dialog test.
ENDFIRSTSCREEN
ASK1 "default answer" prompt="What name should the notes be signed with, if you please?"
BEGINGROUP
  Choose the parts:
01 [X] Program files
02 [ ] Samples
ENDGROUP
DEFAULTDIR C:\DLGTEST
DIR2 C:\DLGTEST\DATA NOASKDRIVE
DIR3 C:\MORE NOASKDIR
POPMESSAGE 1 "MS Sans Serif" 10
Pop-up message number one
ENDPOP
FILE A.TXT POPID=1
FILE B.TXT
FILE C.TXT
FILE D.TXT
BEGINLASTSCREEN
All done.
ENDLASTSCREEN
'
answers1='[Setup]
Show=Yes
ShowDelay=1500
Ask1=Pat Writer
Groups=1,2
'
watched_run "$script1" "$answers1" run1
echo "--- run 1 trace"; cat "$work/run1.trace"
echo "--- run 1 watcher"; cat "$work/run1.watch"
expect "run 1 exit code" "$rc" 0

first=$(window_with "$work/run1.watch" -1 "Welcome to the dialog test.")
expect "first screen centred" "$(centred "$first")" yes
expect "first screen OK text" "$(control_text "$first" 1)" OK
expect "first screen Cancel text" "$(control_text "$first" 2)" Cancel

ask=$(window_with "$work/run1.watch" 701 "Pat Writer")
expect "ASK centred" "$(centred "$ask")" yes
expect "ASK prompt line 1" "$(control_text "$ask" 301)" "What name should the notes be signed with, if"
expect "ASK prompt line 2" "$(control_text "$ask" 302)" "you please?"
expect "ASK buttons" "$(control_text "$ask" 1)/$(control_text "$ask" 2)" OK/Cancel

groups=$(window_with "$work/run1.watch" 100 " Program files")
expect "group dialog centred" "$(centred "$groups")" yes
expect "group text line from its third character" "$(control_text "$groups" -1)" "Choose the parts:"
expect "group boxes checked as answered" "$(control_checked "$groups" 100)$(control_checked "$groups" 101)" 11
expect "group box 2 text" "$(control_text "$groups" 101)" " Samples"

# The drive-and-directory prompt is longer than 45 characters: it is split on two lines.
mode3=$(window_with "$work/run1.watch" 204 'C:\DLGTEST')
expect "destination (drive and directory) centred" "$(centred "$mode3")" yes
expect "destination (drive and directory) prompt" "$(control_text "$mode3" 301)|$(control_text "$mode3" 302)" \
  "Please enter the destination drive and|directory:"
expect "destination buttons" "$(control_text "$mode3" 1)/$(control_text "$mode3" 2)" OK/Cancel
mode1=$(window_with "$work/run1.watch" 302 "Please enter the destination directory:")
expect "destination (directory) centred" "$(centred "$mode1")" yes
expect "destination (directory) drive shown" "$(control_text "$mode1" 305)" 'C:\'
expect "destination (directory) edit" "$(control_text "$mode1" 204)" 'DLGTEST\DATA'
mode2=$(window_with "$work/run1.watch" 302 "Please enter the destination drive:")
expect "destination (drive) centred" "$(centred "$mode2")" yes
expect "destination (drive) letter and rest" "$(control_text "$mode2" 204)|$(control_text "$mode2" 304)" 'C|:\MORE'

last=$(window_with "$work/run1.watch" -1 "All done.")
expect "last screen centred" "$(centred "$last")" yes

# The pop-up and the progress window: the pop-up is centred across the screen and the progress
# dialog opens 24 pixels below the pop-up's recorded bottom edge, so the pop-up stands above it.
popup=$(window_with "$work/run1.watch" -1 "Pop-up message number one")
progress=$(awk '/^WINDOW/ { b = $0 "\n"; k = 0; next } /^END/ { if (k) { printf "%s", b; exit } next }
  { b = b $0 "\n"; if ($1 == "BAR") k = 1 }' "$work/run1.watch")
read -r _ _ px py pw ph sw sh _ <<<"$(printf '%s\n' "$popup" | head -n 1)"
read -r _ _ gx gy gw gh _ <<<"$(printf '%s\n' "$progress" | head -n 1)"
placed=$(grep '^popup 1 placed' "$work/run1.trace" | head -n 1)
read -r _ _ _ rtop rbottom <<<"${placed:-x x x 0 0}"
expect "pop-up centred across the screen" "$px" "$(( (sw - pw) / 2 ))"
expect "pop-up top as placed" "$py" "$rtop"
expect "progress window 24 pixels below the pop-up's recorded bottom" "$gy" "$(( rtop + rbottom + 24 ))"
expect "pop-up above the progress window" "$(( py + ph <= gy ))" 1
expect "progress window centred across the screen" "$gx" "$(( (sw - gw) / 2 ))"
expect "progress prompt line" "$(control_text "$progress" 101)" "Installing file: "

# The bar: filled blue left of the split, white from the split on, for each percentage the
# trace says was on screen when its screenshot was taken.
read -r _ bx by bw bh <<<"$(printf '%s\n' "$progress" | grep '^BAR')"
# The frame must still stand round the bar after each repaint: above the split it has the
# colour of its left edge, whatever the system draws black frames in (Wine: a dark grey).
checked_bars=0
for shot in "$work"/run1/*-Progress-*.png; do
  [ -f "$shot" ] || continue
  pct=$(basename "$shot" .png | sed 's/.*-Progress-//')
  [ "$pct" -gt 0 ] && [ "$pct" -lt 100 ] || continue
  split=$(( bx + bw * pct / 100 ))
  row=$(( by + 1 ))  # above the percentage text, below the frame
  expect "bar at $pct%: blue just left of x=$split" "$(pixel "$shot" $((split - 1)) $row)" "0,0,255"
  expect "bar at $pct%: white from x=$split" "$(pixel "$shot" "$split" $row)" "255,255,255"
  edge=$(pixel "$shot" "$bx" $(( by + bh / 2 )))
  expect "bar at $pct%: frame intact above the split" "$(pixel "$shot" "$split" "$by")" "$edge"
  expect "bar at $pct%: frame is neither bar colour" \
    "$(case $edge in 0,0,255 | 255,255,255) echo no ;; *) echo yes ;; esac)" yes
  checked_bars=$((checked_bars + 1))
done
expect "progress screenshots with a split bar" "$(( checked_bars >= 2 ))" 1

# --- pictures: quillpack draws run 1 on nt40, whose display is this one (1024x768); every
# window it draws stands where the watcher saw the real one, within a pixel. Windows sized by
# measured text (script screens, pop-ups) are measured with fixed metrics by the simulation, so
# of the pop-up only its height and top are compared; the screens here are at their least width.
printf '%s' "$answers1" | grep -v '^Show' >"$work/sim-answers.ini"
"$quillpack" simulate --matrix nt40 --dist "$c/DIST" --answers "$work/sim-answers.ini" \
  --format html -o "$work/pictures.html" >/dev/null 2>&1 || true
drawn() {  # ALT -> x y w h of that picture's window
  grep -o "<img alt=\"$1\" data-window=\"[-0-9 ]*\"" "$work/pictures.html" | head -n 1 |
    sed 's/.*data-window="\([^"]*\)"/\1/'
}
seen() { printf '%s\n' "$1" | awk '/^WINDOW/ { print $3, $4, $5, $6; exit }'; }
near() {  # "x y w h" "x y w h" [FIELDS] -> yes when the fields (default all) differ by 1 at most
  awk -v a="$1" -v b="$2" -v f="${3:-1 2 3 4}" 'BEGIN { split(a, p); split(b, q); n = split(f, k)
    for (i = 1; i <= n; i++) { d = p[k[i]] - q[k[i]]; if (d > 1 || d < -1) { print "no: " a " vs " b; exit } }
    print "yes" }'
}
client=$(sed -n 's/^main window: client \([0-9]*\)x\([0-9]*\) at \([0-9]*\),\([0-9]*\)$/\3 \4 \1 \2/p' "$work/run1.trace" | head -n 1)
expect "picture: main window client area" "$(near "$(drawn 'Main window')" "$client")" yes
for pair in "FirstScreen|$first" "Ask1|$ask" "Groups|$groups" "DefaultDir|$mode3" "Dir2|$mode1" \
            "Dir3|$mode2" "LastScreen|$last" "Progress|$progress"; do
  expect "picture: ${pair%%|*} window" "$(near "$(drawn "${pair%%|*}")" "$(seen "${pair#*|}")")" yes
done
expect "picture: pop-up top and height" "$(near "$(drawn 'Popup 1')" "$(seen "$popup")" "2 4")" yes

# --- run 4: run 1's recorded answers, replayed with nobody watching, give the same answers to
# the same dialogs and questions (the recording holds only what run 1's answers changed).
echo "--- run 1 recorded"; tr -d '\r' <"$c/qm/run1.rec"
rm -rf "$c/DLGTEST" "$c/MORE"
rc=0
(cd "$c/DIST" && QUILLMOUNT_ANSWERS='C:\qm\run1.rec' QUILLMOUNT_LOG='C:\qm\run4.log' \
  timeout -k 5 120 wine 'C:\DIST\SETUP.EXE') || rc=$?
expect "run 4 exit code" "$rc" 0
# A recorded answer is given, no more a default: " (default)" is left out of the comparison.
answered() { tr -d '\r' <"$1" | grep -E '^(dialog|message|wrote) ' | sed 's/ (default)//' || true; }
expect "run 4 answers as run 1 did" "$(answered "$c/qm/run4.log")" "$(answered "$work/run1.trace")"
expect "run 4 recording holds the typed answer" "$(tr -d '\r' <"$c/qm/run1.rec" | grep -c '^Ask1=Pat Writer$')" 1

# --- run 3: the same run with no delay says it showed the same windows, in the same order: a
# test or a screenshot keyed on the "shown" lines must not depend on how long they stay up. An
# intro screen without a display time is not held for a key that nobody will press.
answers3=${answers1/ShowDelay=1500/ShowDelay=0}
rm -rf "$c/DLGTEST" "$c/MORE"  # as run 1 found them: no file to overwrite
watched_run "INTROSCREEN NOINTRO.BMP
$script1" "$answers3" run3
echo "--- run 3 trace"; cat "$work/run3.trace"
expect "run 3 exit code" "$rc" 0
expect "run 3 intro ended by its timer" "$(grep -c '^intro: ended by timer' "$work/run3.trace")" 1
shown1=$(grep '^shown ' "$work/run1.trace" || true)
shown3=$(grep '^shown ' "$work/run3.trace" || true)
expect "run 3 shows what run 1 showed" "$shown3" "$shown1"
expect "run 3 names the pop-up and the progress window" \
  "$(grep -c '^shown Popup1$' <<<"$shown3")/$(( $(grep -c '^shown Progress [0-9]*%$' <<<"$shown3") >= 2 ))" 1/1

# --- run 2: nothing checked, so OK is refused with the message and the run ends (code 3).
script2='BEGINGROUP
  Choose the parts:
01 [ ] Program files
02 [ ] Samples
ENDGROUP
DEFAULTDIR C:\DLGTEST2
FILE A.TXT GROUP=1
'
answers2='[Setup]
Show=Yes
ShowDelay=1500
'
watched_run "$script2" "$answers2" run2
echo "--- run 2 trace"; cat "$work/run2.trace"
echo "--- run 2 watcher"; cat "$work/run2.watch"
expect "run 2 exit code" "$rc" 3
box=$(window_with "$work/run2.watch" '*' "No group is selected.")
expect "refusal box says why" "$(printf '%s\n' "$box" | grep -c 'No group is selected.')" 1
expect "group dialog still open under the refusal box" "$(printf '%s\n' "$box" | sed -n 's/.*open=\([0-9]*\).*/\1/p')" 2
expect "run 2 trace names the refusal" \
  "$(grep -c 'dialog Groups: the answer was refused' "$work/run2.trace")" 1
[ -f "$(qm_wine_c_path 'C:\DLGTEST2\A.TXT')" ] && expect "nothing copied after the refusal" yes no

exit $failed
