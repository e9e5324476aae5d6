#!/usr/bin/env bash
# Runs every scenario (or the ones named) through `quillpack simulate` and compares what the
# installation left with the scenario's expected results.
#
#   tests/scenarios/run.sh NATIVE_BUILD_DIR [SCENARIO...]
#
# Every folder here is a scenario: a simulated machine, the installations to run on it and the
# expected results. docs/scenarios.md describes the files of a scenario and every expectation.
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
    [ "$(basename "$d")" = __pycache__ ] || scenarios+=("$(basename "$d")")
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
failed_names=()
for name in "${scenarios[@]}"; do
  dir=$here/$name
  if [ ! -f "$dir/runs.txt" ]; then
    if [ -d "$dir" ]; then echo "FAIL $name: no runs.txt"; else echo "FAIL $name: no such scenario"; fi
    failed=$((failed + 1))
    failed_names+=("$name")
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
    while read -r out stub files || [ -n "$out" ]; do
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
    while read -r folders volume args || [ -n "$folders" ]; do
      case "$folders" in '' | '#'*) continue ;; esac
      make_package "$work" "$folders" "$volume" "$args" >>"$report" 2>&1
    done <"$dir/packages.txt"
  fi

  run=0
  while read -r code answers program args || [ -n "$code" ]; do
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
  [ "$run" -gt 0 ] || echo "runs.txt lists no installation" >>"$report"

  $check check "$dir" "$work" >>"$report" 2>&1
  if [ -s "$report" ]; then
    echo "FAIL $name"
    sed 's/^/    /' "$report"
    if [ -f "$work/trace.txt" ]; then
      echo "    trace (last lines):"
      tail -15 "$work/trace.txt" | sed 's/^/      /'
    fi
    failed=$((failed + 1))
    failed_names+=("$name")
    if [ "${KEEP:-0}" = 1 ]; then echo "    kept in $work"; else rm -rf "$work"; fi
  else
    echo "PASS $name"
    passed=$((passed + 1))
    rm -rf "$work"
  fi
done

if [ "$failed" -eq 0 ]; then
  echo "scenarios: $passed passed, $failed failed"
else
  echo "scenarios: $passed passed, $failed failed: ${failed_names[*]}"
fi
[ "$failed" -eq 0 ]
