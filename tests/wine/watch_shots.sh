# Screenshots of a watched unattended run (answers file with Show=Yes). Source this file.
#
#   qm_watch_shots TRACE DIR PID
#
# While process PID lives, waits for each "shown NAME" line that the installer writes to its
# trace once a window is up and painted, and saves the whole screen as DIR/NN-NAME.png (NN counts
# the windows in the order they came up). Needs ImageMagick's import and DISPLAY.
qm_shot_name() {  # "Progress 25%" -> "Progress-25"
  printf '%s' "$1" | tr -c 'A-Za-z0-9' '-' | sed 's/--*/-/g; s/^-//; s/-$//'
}

qm_watch_shots() {
  local trace=$1 dir=$2 pid=$3 taken=0 total name
  mkdir -p "$dir"
  while :; do
    total=0
    [ -f "$trace" ] && total=$(grep -c '^shown ' "$trace" || true)
    while [ "$taken" -lt "$total" ]; do
      taken=$((taken + 1))
      name=$(grep '^shown ' "$trace" | sed -n "${taken}p" | sed 's/^shown //')
      import -window root "$dir/$(printf '%02d' "$taken")-$(qm_shot_name "$name").png" \
        2>/dev/null || echo "screenshot of $name failed" >&2
    done
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
}
