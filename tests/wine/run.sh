#!/bin/bash
# Runs every tests/wine/test_*.sh against a MinGW build under Wine, one display and one booted
# template prefix for the whole run. Builds nothing.
#
#   tests/wine/run.sh WIN32_BUILD_DIR [NATIVE_BUILD_DIR]
#
# Prints PASS/FAIL per test and exits non-zero when any test fails, when there is no test, or
# when Wine or Xvfb is missing (the Wine tests are never skipped quietly). QM_WINE_ONLY=GLOB runs
# only the matching tests; QM_WINE_KEEP=1 keeps the scratch folder; QM_WINE_TEST_TIMEOUT sets the
# limit for one test in seconds (default 900).
set -u

if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -d "$1" ]; then
  echo "usage: tests/wine/run.sh WIN32_BUILD_DIR [NATIVE_BUILD_DIR]" >&2
  exit 2
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/lib.sh"

qm_wine_require_tools || exit 2
export QM_WIN32_BUILD=$(cd "$1" && pwd)
export QM_NATIVE_BUILD=
if [ $# -eq 2 ]; then
  [ -d "$2" ] || { echo "no native build directory: $2" >&2; exit 2; }
  QM_NATIVE_BUILD=$(cd "$2" && pwd)
fi
export QM_WINE_WORK=$(mktemp -d /tmp/qm-wine.XXXXXX)

stop_prefixes() {
  local reg
  for reg in "$QM_WINE_WORK"/*/system.reg "$QM_WINE_WORK"/*/*/system.reg; do
    [ -f "$reg" ] || continue
    WINEPREFIX=$(dirname "$reg") timeout -k 5 30 wineserver -k 2>/dev/null
  done
  return 0
}

cleanup() {
  stop_prefixes
  [ -n "${QM_WINE_XVFB_PID:-}" ] && kill "$QM_WINE_XVFB_PID" 2>/dev/null
  if [ -z "${QM_WINE_KEEP:-}" ]; then rm -rf "$QM_WINE_WORK"; else echo "kept $QM_WINE_WORK"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

qm_wine_start_display || exit 2
export QM_WINE_DISPLAY_READY=1

started=$(date +%s)
if ! (qm_wine_boot_prefix "$QM_WINE_WORK/template" && echo "${WINEARCH:-}" \
        >"$QM_WINE_WORK/template.arch"); then
  echo "FAIL could not boot a Wine prefix" >&2
  exit 1
fi
export QM_WINE_TEMPLATE=$QM_WINE_WORK/template
echo "prefix booted in $(( $(date +%s) - started ))s (arch: $(cat "$QM_WINE_WORK/template.arch"))"

failures=0
count=0
for test in "$here"/test_*.sh; do
  [ -f "$test" ] || continue
  name=$(basename "$test" .sh)
  case "$name" in ${QM_WINE_ONLY:-*}) ;; *) continue ;; esac
  count=$((count + 1))
  log="$QM_WINE_WORK/$name.log"
  t0=$(date +%s)
  rc=0
  timeout -k 10 "${QM_WINE_TEST_TIMEOUT:-900}" bash "$test" >"$log" 2>&1 || rc=$?
  stop_prefixes
  secs=$(( $(date +%s) - t0 ))
  if [ "$rc" = 0 ]; then
    echo "PASS $name (${secs}s)"
  else
    failures=$((failures + 1))
    [ "$rc" = 124 ] && echo "  (timed out)" >>"$log"
    echo "FAIL $name (${secs}s, exit $rc); last lines of its log:"
    tail -n 40 "$log" | sed 's/^/    /'
  fi
done

if [ "$count" = 0 ]; then
  echo "FAIL no Wine test matched" >&2
  exit 1
fi
echo "$((count - failures)) of $count Wine tests passed in $(( $(date +%s) - started ))s"
[ "$failures" = 0 ]
