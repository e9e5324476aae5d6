#!/usr/bin/env bash
# Runs every scenario (or the ones named) through `quillpack simulate` and compares what the
# installation left with the scenario's expected results.
#
#   tests/scenarios/run.sh NATIVE_BUILD_DIR [SCENARIO...]
#
# Every folder here is a scenario: a simulated machine, the installations to run on it and the
# expected results. docs/scenarios.md describes the files of a scenario and every expectation.
# Each scenario runs in a fresh copy in a temporary folder; KEEP=1 leaves failed copies there.
# The runner is scenario_check.py's "run": one process for them all.
set -u

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 NATIVE_BUILD_DIR [SCENARIO...]" >&2
  exit 2
fi
exec python3 "$(dirname "$0")/scenario_check.py" run "$@"
