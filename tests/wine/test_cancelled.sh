#!/bin/bash
# The real installer's cancelled unattended runs: the second disk refused (Disks=No), with the
# quit question answered Yes (the user's quit, whose changes the rollback undoes) and No (the run
# cannot go on; the rollback declined), and the destination dialog cancelled. Each run ends with
# the exit code, the trace, the installed files and install.log of the simulated run of the same
# distribution; a run that ends with nothing installed leaves the prefix's drive_c as it was.
# (The progress window's Cancel has no answer: an unattended run never presses it.)
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
. "$(dirname "${BASH_SOURCE[0]}")/prefix_snapshot.sh"
qm_wine_setup "$@"

qm_wine_need_programs
qm_wine_work_dir cancelled dist
failed=0

d=$work/dist
cp "$exe" "$d/SETUP.EXE"
printf 'UNINSTALL YES\r\nDEFAULTDIR C:\\APP\r\n' >"$d/SETUP.cfg"
printf 'FILE ONE.TXT\r\nINSERTDISK: "Disk 2"\r\nFILE TWO.TXT\r\n' >>"$d/SETUP.cfg"
printf 'the first disk\r\n' >"$d/ONE.TXT"
printf 'the second disk\r\n' >"$d/TWO.TXT"
touch -d '2021-03-04 05:06:08 UTC' "$d"/*

# A trace as both runs write it: the free space is the machine's, the real run's last line
# names its exit code, which the simulation reports on its own, and each run's header line
# holds its own date, time and machine.
same_lines() {
  sed -e 's/, free [0-9]*$/, free N/' -e '/^exit [0-9]*$/d' -e '/^run [0-9-]* [0-9:]*: /d'
}

# NAME ANSWERS EXIT LINE FILES: the simulated run, then the real one, of the same answers; the
# real trace holds LINE, and C:\APP holds FILES.
cancel_case() {
  local name=$1 answers=$2 want=$3 line=$4 files=$5 sim=$work/$1-sim rc=0 simrc=0
  qm_wine_sim_machine "$sim"
  mkdir -p "$sim/c/DIST"
  cp -p "$d"/* "$sim/c/DIST/"
  printf '%s' "$answers" | sed 's/$/\r/' >"$sim/answers.ini"
  "$quillpack" simulate --machine "$sim/machine.ini" --answers "$sim/answers.ini" \
    --trace "$sim/trace.txt" 'C:\DIST\SETUP.EXE' >"$sim/printed.log" || simrc=$?
  expect "$name: simulated exit code" "$simrc" "$want"

  qm_wine_new_prefix "$work/$name-prefix"
  local c=$WINEPREFIX/drive_c
  mkdir -p "$c/qm"
  cp -a "$d" "$c/DIST"
  cp "$sim/answers.ini" "$c/qm/answers.ini"
  qm_prefix_snapshot "$work/$name-before.txt"
  (cd "$c/DIST" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\trace.log' \
    timeout -k 5 120 wine 'C:\DIST\SETUP.EXE') || rc=$?
  timeout -k 5 60 wineserver -w || true
  qm_prefix_snapshot "$work/$name-after.txt"
  expect "$name: exit code" "$rc" "$want"
  local trace simtrace
  trace=$(tr -d '\r' <"$c/qm/trace.log" 2>/dev/null || true)
  simtrace=$(tr -d '\r' <"$sim/trace.txt" 2>/dev/null || true)
  echo "--- $name: trace"; echo "$trace"; echo "--- $name: simulated trace"; echo "$simtrace"; echo "---"
  expect "$name: traced: $line" "$(grep -qxF "$line" <<<"$trace" && echo yes)" yes
  expect "$name: trace ends with the exit code" "$(tail -n 1 <<<"$trace")" "exit $want"
  expect "$name: trace as simulated" "$(same_lines <<<"$trace")" "$(same_lines <<<"$simtrace")"
  expect "$name: files in C:\\APP" "$(ls "$c/APP" 2>/dev/null | xargs)" "$files"
  expect "$name: files as simulated" "$(ls "$c/APP" 2>/dev/null)" "$(ls "$sim/c/APP" 2>/dev/null)"
  if [ -z "$files" ]; then
    expect "$name: drive_c as it was" \
      "$(diff "$work/$name-before.txt" "$work/$name-after.txt" && echo yes)" yes
  else
    expect "$name: ONE.TXT copied whole" "$(cmp -s "$c/APP/ONE.TXT" "$d/ONE.TXT" && echo yes)" yes
    if cmp -s "$c/APP/install.log" "$sim/c/APP/install.log"; then
      echo "ok   $name: install.log equals the simulated one"
    else
      echo "BAD  $name: install.log differs from the simulated one"; failed=1
      diff <(tr -d '\r' <"$sim/c/APP/install.log") <(tr -d '\r' <"$c/APP/install.log") || true
    fi
  fi
  qm_wine_stop
}

# Refused, and the quit question answered Yes: the user's quit. The first disk's file was
# copied; the rollback (its default answer Yes) takes it, the two logs and the folder away again.
cancel_case disk-quit $'[Setup]\nDisks=No\nQuit=Yes' 2 \
  'rollback: changes undone: 4, not undone: 0' ""
# Refused, and No to quitting: the prompt would come back for ever, so the run ends. The rollback
# is declined: the first disk's file stays installed and logged, its digest in instback.log.
cancel_case disk-stay $'[Setup]\nDisks=No\nQuit=No\nRollback=No' 3 \
  'disk: Please insert Disk 2: refused, and the quit question answered No asks for it again; the run ends (exit code 3)' \
  "ONE.TXT install.log instback.log"
# The destination cancelled: the run ends before any directory is made.
cancel_case destination $'[Setup]\nDefaultDir=Cancel\nQuit=Yes' 2 'installation cancelled' ""

[ "$failed" = 0 ] && echo "PASS cancelled" || { echo "FAIL cancelled"; exit 1; }
