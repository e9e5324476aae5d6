#!/usr/bin/env bash
# Runs every scenario (or the ones named) through `quillpack simulate` and compares what the
# installation left with the scenario's expected results.
#
#   tests/scenarios/run.sh NATIVE_BUILD_DIR [SCENARIO...]
#
# A scenario is a folder holding:
#   machine.ini      the simulated machine; its drives' host folders sit beside it
#   runs.txt         one installation per line: EXIT ANSWERS PROGRAM [ARGS...]
#                    (EXIT: the expected exit code; ANSWERS: answers file, or "-" for none)
#   times.txt        optional: PATH YYYY-MM-DDTHH:MM:SS (UTC) for files that need their own time;
#                    every other file gets one fixed time before the run
#   dirs.txt         optional: empty host folders to make before the run (git keeps none)
#   build.txt        optional: OUT STUB FILE... per line: `quillpack build` makes OUT from the
#                    stub with an archive container of the files (after the times are set)
#   packages.txt     optional: FOLDERS NAME ARGS... per line: `quillpack package -o FOLDER/NAME ARGS...`
#                    writes a package (after the times are set) into the first of the comma-separated
#                    FOLDERS; when more folders are given, volume k is moved into folder k+1 (one
#                    volume per disk) and the package must have exactly that many volumes
#   expected/tree.txt      the trees of the roots after the run (format: scenario_check.py)
#   expected/roots.txt     optional: host folders whose trees are compared (default: c)
#   expected/files/...     files compared byte for byte with the same path after the run
#   expected/messages.txt  optional: texts that must appear in the run's trace
#   expected/no-messages.txt  optional: texts that must not appear in it
#   expected/holds.txt     optional: PATH TEXT, a file that must hold TEXT
#   expected/lacks.txt     optional: PATH TEXT, a file that must not hold TEXT (when it exists)
# Each scenario runs in a fresh copy in a temporary folder; KEEP=1 leaves failed copies there.
set -u

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 NATIVE_BUILD_DIR [SCENARIO...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
shift
quillpack=$build/quillpack
if [ ! -x "$quillpack" ]; then
  echo "$0: no quillpack in $build" >&2
  exit 2
fi
check="python3 $here/scenario_check.py"

if [ $# -gt 0 ]; then
  scenarios=("$@")
else
  scenarios=()
  for d in "$here"/*/; do
    [ -f "$d/runs.txt" ] && scenarios+=("$(basename "$d")")
  done
fi

# make_package WORK FOLDERS NAME ARGS: writes the package, then hands its volumes out to the
# folders by following the next-volume names in the volumes' own headers. Prints what went wrong.
make_package() {
  local work=$1 name=$3 args=$4 first volume next k
  local -a folders
  IFS=, read -r -a folders <<<"$2"
  first=${folders[0]}
  mkdir -p "$work/$first"
  # shellcheck disable=SC2086  # the options and files are words by design
  if ! (cd "$work" && "$quillpack" package -o "$first/$name" $args) </dev/null \
    >"$work/package.log" 2>&1; then
    echo "quillpack package of $first/$name failed:"
    cat "$work/package.log"
    return 1
  fi
  [ "${#folders[@]}" -gt 1 ] || return 0
  volume=$name
  k=0
  while :; do
    next=$(head -c 14 "$work/$first/$volume" | tr '\000' '\n' | head -n 1)
    if [ "$k" -gt 0 ]; then
      if [ "$k" -ge "${#folders[@]}" ]; then
        echo "package $name has more volumes than the ${#folders[@]} folders $2"
        return 1
      fi
      mkdir -p "$work/${folders[$k]}"
      mv "$work/$first/$volume" "$work/${folders[$k]}/$volume"
    fi
    k=$((k + 1))
    [ -n "$next" ] || break
    if [ ! -f "$work/$first/$next" ]; then
      echo "package $name: volume $next named in $volume was not written"
      return 1
    fi
    volume=$next
  done
  if [ "$k" -ne "${#folders[@]}" ]; then
    echo "package $name has $k volume(s), the folders $2 want ${#folders[@]}"
    return 1
  fi
}

passed=0
failed=0
for name in "${scenarios[@]}"; do
  dir=$here/$name
  if [ ! -f "$dir/runs.txt" ]; then
    echo "FAIL $name: no such scenario"
    failed=$((failed + 1))
    continue
  fi
  work=$(mktemp -d "${TMPDIR:-/tmp}/qm-scenario-$name.XXXXXX")
  cp -a "$dir/." "$work/"
  rm -rf "$work/expected"
  report=$work/report.txt
  : >"$report"
  if ! $check prepare "$dir" "$work" >>"$report" 2>&1; then
    echo "scenario set-up failed" >>"$report"
  fi
  if [ -f "$dir/build.txt" ]; then
    while read -r out stub files; do
      case "$out" in '' | '#'*) continue ;; esac
      # shellcheck disable=SC2086  # a list of files
      if ! (cd "$work" && "$quillpack" build --stub "$stub" -o "$out" $files) </dev/null \
        >"$work/build.log" 2>&1; then
        echo "quillpack build of $out failed:" >>"$report"
        cat "$work/build.log" >>"$report"
      fi
    done <"$dir/build.txt"
  fi

  if [ -f "$dir/packages.txt" ]; then
    while read -r folders volume args; do
      case "$folders" in '' | '#'*) continue ;; esac
      make_package "$work" "$folders" "$volume" "$args" >>"$report" 2>&1
    done <"$dir/packages.txt"
  fi

  run=0
  while read -r code answers program args; do
    case "$code" in '' | '#'*) continue ;; esac
    run=$((run + 1))
    answer_args=()
    [ "$answers" != "-" ] && answer_args=(--answers "$answers")
    # shellcheck disable=SC2086  # the arguments are words by design
    (cd "$work" && env -u QUILLMOUNT_ANSWERS -u QUILLMOUNT_LOG timeout 30 \
      "$quillpack" simulate --machine machine.ini "${answer_args[@]}" --trace trace.txt \
      -- "$program" $args </dev/null >"stdout.$run.txt" 2>"stderr.$run.txt")
    rc=$?
    if [ "$rc" != "$code" ]; then
      {
        echo "run $run ($program $args): exit code $rc, expected $code"
        [ "$rc" = 124 ] && echo "  (the run did not end within 30 seconds and was stopped)"
        sed 's/^/  stderr: /' "$work/stderr.$run.txt" | head -20
      } >>"$report"
    fi
  done <"$dir/runs.txt"

  $check check "$dir" "$work" >>"$report" 2>&1
  if [ -s "$report" ]; then
    echo "FAIL $name"
    sed 's/^/    /' "$report"
    if [ -f "$work/trace.txt" ]; then
      echo "    trace (last lines):"
      tail -15 "$work/trace.txt" | sed 's/^/      /'
    fi
    failed=$((failed + 1))
    if [ "${KEEP:-0}" = 1 ]; then echo "    kept in $work"; else rm -rf "$work"; fi
  else
    echo "PASS $name"
    passed=$((passed + 1))
    rm -rf "$work"
  fi
done

echo "scenarios: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
