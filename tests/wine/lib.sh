# Helpers for the Wine tests; source it from a tests/wine/test_*.sh script.
#
# Set by run.sh (a test run alone sets them up itself, see qm_wine_setup):
#   QM_WIN32_BUILD   the MinGW build directory holding quillmount.exe and the *_probe.exe
#   QM_NATIVE_BUILD  the native build directory (quillpack), may be empty
#   QM_WINE_WORK     a scratch folder for this run; each test gets its own folder below it
#   QM_WINE_TEMPLATE a booted prefix that qm_wine_new_prefix copies instead of booting again
#   DISPLAY          the Xvfb display shared by the whole run (1024x768x24)
#
# Every command that could wait forever runs under timeout; a failed step prints why on stderr
# and returns non-zero, so `set -e` scripts stop at the first problem.

QM_WINE_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QM_SOURCE_DIR=$(cd "$QM_WINE_LIB_DIR/../.." && pwd)
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
QM_WINE_SCREEN=${QM_WINE_SCREEN:-1024x768x24}

qm_fail() {
  echo "FAIL: $*" >&2
  return 1
}

# One check of a test: prints "ok   NAME" when ACTUAL is EXPECTED, else "BAD  NAME: ..." and
# sets the test's failed=1.
expect() {  # NAME ACTUAL EXPECTED
  if [ "$2" = "$3" ]; then
    echo "ok   $1"
  else
    echo "BAD  $1: got [$2], want [$3]"
    failed=1
  fi
}

# Fails loudly when a tool the Wine tests need is missing: they must never be skipped quietly.
qm_wine_require_tools() {
  local tool missing=
  for tool in wine wineserver wineboot Xvfb timeout; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
  done
  [ -z "$missing" ] || qm_fail "missing tools for the Wine tests:$missing (install wine32 and xvfb)"
}

# Starts one Xvfb on a display number it picks itself (no race with other runs), exports
# DISPLAY and sets QM_WINE_XVFB_PID.
qm_wine_start_display() {
  local fdfile i
  fdfile=$(mktemp /tmp/qm-xvfb.XXXXXX)
  Xvfb -displayfd 3 -screen 0 "$QM_WINE_SCREEN" -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  QM_WINE_XVFB_PID=$!
  for i in $(seq 1 100); do
    if [ -s "$fdfile" ] && grep -q '^[0-9]' "$fdfile"; then
      export DISPLAY=":$(head -n 1 "$fdfile" | tr -dc 0-9)"
      rm -f "$fdfile"
      # The display must not outlive the script that started it, however that script ends.
      local owner=$$ xvfb=$QM_WINE_XVFB_PID
      (while kill -0 "$owner" 2>/dev/null && kill -0 "$xvfb" 2>/dev/null; do sleep 2; done
        kill "$xvfb" 2>/dev/null) </dev/null >/dev/null 2>&1 &
      return 0
    fi
    kill -0 "$QM_WINE_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$fdfile"
  kill "$QM_WINE_XVFB_PID" 2>/dev/null
  QM_WINE_XVFB_PID=
  qm_fail "could not start Xvfb"
}

# Boots a brand-new prefix in DIR (32-bit when this Wine can, else its default).
qm_wine_boot_prefix() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  export WINEPREFIX=$dir
  if WINEARCH=win32 timeout -k 10 300 wineboot -i >"$dir.boot.log" 2>&1; then
    export WINEARCH=win32
  else
    rm -rf "$dir"
    unset WINEARCH
    timeout -k 10 300 wineboot -i >"$dir.boot.log" 2>&1 ||
      { cat "$dir.boot.log" >&2; qm_fail "wineboot failed for $dir"; return 1; }
  fi
  timeout -k 5 120 wineserver -w || qm_fail "wineserver did not settle after wineboot"
}

# A fresh prefix for one test in DIR, exported as WINEPREFIX: a copy of the run's template when
# there is one (seconds instead of half a minute), else a newly booted one.
qm_wine_new_prefix() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  if [ -n "${QM_WINE_TEMPLATE:-}" ] && [ -f "$QM_WINE_TEMPLATE/system.reg" ]; then
    cp -a "$QM_WINE_TEMPLATE" "$dir" || { qm_fail "cannot copy the template prefix"; return 1; }
    export WINEPREFIX=$dir
    [ -f "$QM_WINE_TEMPLATE.arch" ] && export WINEARCH=$(cat "$QM_WINE_TEMPLATE.arch")
  else
    qm_wine_boot_prefix "$dir"
  fi
}

# Puts prefix DIR back as the run's template is, exported as WINEPREFIX: a copy made once,
# then every file, link and folder that differs from the template's (by type, size, time or
# mode) is copied back and everything the template lacks is removed; much quicker than a new
# copy of the whole prefix when one prefix serves many short runs in turn.
qm_wine_reset_prefix() {  # DIR
  local dir=$1
  if [ ! -f "$dir/system.reg" ] || [ -z "${QM_WINE_TEMPLATE:-}" ]; then
    qm_wine_new_prefix "$dir"
    return
  fi
  export WINEPREFIX=$dir
  qm_wine_stop
  python3 - "$QM_WINE_TEMPLATE" "$dir" <<'PY' || { qm_fail "cannot reset the prefix $dir"; return 1; }
import os, shutil, stat, sys

def remove(path):
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        os.remove(path)

def sync(src, dst):
    wanted = {e.name: e for e in os.scandir(src)}
    for e in os.scandir(dst):
        if e.name not in wanted:
            remove(e.path)
    for name, e in wanted.items():
        target = os.path.join(dst, name)
        have = os.lstat(target) if os.path.lexists(target) else None
        if e.is_symlink():
            if have is None or not stat.S_ISLNK(have.st_mode) or os.readlink(target) != os.readlink(e.path):
                remove(target)
                os.symlink(os.readlink(e.path), target)
        elif e.is_dir(follow_symlinks=False):
            if have is None or not stat.S_ISDIR(have.st_mode):
                remove(target)
                os.mkdir(target)
            sync(e.path, target)
            shutil.copystat(e.path, target)
        else:
            st = e.stat(follow_symlinks=False)
            if (have is None or not stat.S_ISREG(have.st_mode) or have.st_size != st.st_size
                    or have.st_mtime_ns != st.st_mtime_ns or have.st_mode != st.st_mode):
                remove(target)
                shutil.copy2(e.path, target)

sync(sys.argv[1], sys.argv[2])
PY
}

# Runs a Windows console tool of the prefix (reg, cmd ...) with a time limit.
qm_wine_tool() {
  timeout -k 5 60 wine "$@"
}

# Maps host folder HOSTDIR as drive LETTER (default a) and declares it a floppy, so that the
# drive reports itself removable as a real A: does.
qm_wine_map_floppy() {
  local host=$1 letter=${2:-a}
  letter=$(echo "$letter" | tr 'A-Z' 'a-z')
  mkdir -p "$host"
  host=$(cd "$host" && pwd)
  rm -f "$WINEPREFIX/dosdevices/$letter:" "$WINEPREFIX/dosdevices/$letter::"
  ln -s "$host" "$WINEPREFIX/dosdevices/$letter:"
  qm_wine_tool reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d floppy /f >/dev/null 2>&1 ||
    qm_fail "cannot declare $letter: a floppy"
}

# Gives a drive's host folder a volume label (Wine reads .windows-label in the drive's root).
# Call it before qm_wine_map_floppy: Wine's mount manager keeps the label it saw first.
qm_wine_set_label() {
  local host=$1 label=$2
  mkdir -p "$host"
  printf '%s' "$label" >"$host/.windows-label"
}

# Plays the person at the floppy drive: each time the trace TRACE (a host path) gains a disk
# prompt answered Disks=Wait, puts the next of the MEDIUM folders (absolute host paths, each with
# its .windows-label) into drive LETTER, as a floppy is swapped; with none left, the disk in the
# drive stays. The installer notes the drive before it traces the prompt and then waits until
# the drive holds another medium. Runs in the background until qm_wine_media_changer_stop; what
# it did goes to TRACE.changer, one line per prompt.
qm_wine_media_changer() {  # TRACE LETTER MEDIUM...
  local trace=$1 letter=$2
  shift 2
  local probe=$QM_WIN32_BUILD/media_probe.exe
  [ -f "$probe" ] || { qm_fail "no $probe"; return 1; }
  rm -f "$trace.stop" "$trace.changer"
  (
    seen=0 next=0 media=("$@")
    while [ ! -f "$trace.stop" ]; do
      asked=$(grep -c '^disk: .* -> Wait' "$trace" 2>/dev/null || true)
      while [ "$seen" -lt "${asked:-0}" ]; do
        seen=$((seen + 1))
        if [ "$next" -lt "${#media[@]}" ]; then
          if timeout -k 5 30 wine "$probe" "$letter" "${media[$next]}"; then
            echo "prompt $seen: $(cat "${media[$next]}/.windows-label" 2>/dev/null) in" >>"$trace.changer"
          else
            echo "prompt $seen: the medium could not be changed" >>"$trace.changer"
          fi
          next=$((next + 1))
        else
          echo "prompt $seen: no disk left" >>"$trace.changer"
        fi
      done
      sleep 0.1
    done
  ) </dev/null &
  QM_WINE_CHANGER_PID=$!
  QM_WINE_CHANGER_TRACE=$trace
}

# Ends the media changer and prints what it did.
qm_wine_media_changer_stop() {
  [ -n "${QM_WINE_CHANGER_PID:-}" ] || return 0
  touch "$QM_WINE_CHANGER_TRACE.stop"
  wait "$QM_WINE_CHANGER_PID" 2>/dev/null || true
  QM_WINE_CHANGER_PID=
  cat "$QM_WINE_CHANGER_TRACE.changer" 2>/dev/null || true
}

# Runs EXE (a host path) with ARGS under wine for at most SECONDS. Its exit code becomes this
# function's status and is also left in QM_WINE_EXIT (124 on timeout). Output goes to stdout.
qm_wine_run() {
  local seconds=$1 exe=$2
  shift 2
  [ -f "$exe" ] || { qm_fail "no such program: $exe"; QM_WINE_EXIT=127; return 127; }
  QM_WINE_EXIT=0
  timeout -k 5 "$seconds" wine "$exe" "$@" || QM_WINE_EXIT=$?
  if [ "$QM_WINE_EXIT" = 124 ] || [ "$QM_WINE_EXIT" = 137 ]; then
    echo "TIMEOUT after ${seconds}s: $exe $*" >&2
    timeout -k 5 20 wineserver -k 2>/dev/null
  fi
  return "$QM_WINE_EXIT"
}

# Host path of a Windows path on the prefix's C: drive, found without regard to case; prints the
# path as it would be created when the last part is missing.
qm_wine_c_path() {
  local win=$1 host="$WINEPREFIX/drive_c" part match
  win=${win#[cC]:}
  win=${win//\\//}
  local IFS=/
  for part in $win; do
    [ -z "$part" ] && continue
    match=
    if [ -d "$host" ]; then
      match=$(find "$host" -mindepth 1 -maxdepth 1 -iname "$part" -printf '%f\n' 2>/dev/null |
        sort | head -n 1)
    fi
    host="$host/${match:-$part}"
  done
  printf '%s\n' "$host"
}

# Text with CRLF line ends from a here-document, as DOS files have them.
qm_crlf() { sed 's/$/\r/'; }

# Parity of one file: the prefix's copy byte for byte the simulated one; failed=1 when not.
qm_same_file() {  # NAME REAL SIMULATED
  if [ ! -f "$2" ]; then
    echo "BAD  $1 missing in the prefix"; failed=1
  elif cmp -s "$2" "$3"; then
    echo "ok   $1 equals the simulated one"
  else
    echo "BAD  $1 differs from the simulated one"; failed=1
    diff <(tr -d '\r' <"$3" 2>/dev/null) <(tr -d '\r' <"$2") || true
  fi
}

# A trace as the parity checks compare it: without each run's header (its date, time and
# machine), the simulator's own notes ("simulate: ...") and the real program's last line
# ("exit CODE", which the simulation prints instead of tracing, docs/trace.md), and with the free
# space read as "free N" (a prefix has the host disk's, which changes as anything writes to it).
qm_trace_for_parity() {  # FILE
  tr -d '\r' <"$1" 2>/dev/null | grep -Ev '^(run [0-9-]+ [0-9:]+: |simulate: |exit [0-9]+$)' |
    sed -E 's/^(phase disk space: needed [0-9]+, free )[0-9]+$/\1N/'
}

# Parity of two traces, the real run's and the simulated one's, as qm_trace_for_parity reads
# them. failed=1 when they differ.
qm_same_trace() {  # NAME REAL SIMULATED
  if diff <(qm_trace_for_parity "$3") <(qm_trace_for_parity "$2") >"$2.diff"; then
    echo "ok   $1 equals the simulated one"
  else
    echo "BAD  $1 differs from the simulated one (< simulated, > real)"; failed=1
    cat "$2.diff"
  fi
}

# The files under DIR, one line each: the path, its MD5 and its time (to the 2 seconds a FAT
# time holds), or "new" for a time of 2020 or later, which only a file the run wrote without a
# time of its own has. With LIST (a file of paths), those paths ("missing" when absent) and then
# every other file changed since the file MARKER (but under the paths matched by SKIP, an
# extended regular expression).
qm_tree_listing() {  # DIR [LIST MARKER SKIP]
  local dir=$1 list=${2:-} marker=${3:-} skip=${4:-'^$'} f t
  {
    if [ -z "$list" ]; then
      (cd "$dir" && find . -type f ! -name .windows-label ! -name .qm-attributes -printf '%P\n')
    else
      cat "$list"
      # By the change time, which a file copied with its own old time gets too.
      (cd "$dir" && find . -type f -cnewer "$marker" ! -name .windows-label -printf '%P\n') |
        grep -Ev "$skip" | grep -vxFf "$list" || true
    fi
  } | LC_ALL=C sort -u | while IFS= read -r f; do
    if [ ! -f "$dir/$f" ]; then printf '%s\tmissing\n' "$f"; continue; fi
    t=$(stat -c %Y "$dir/$f")
    [ "$t" -ge 1577836800 ] && t=new || t=$((t / 2 * 2))
    printf '%s\t%s %s\n' "$f" "$(md5sum <"$dir/$f" | cut -c1-32)" "$t"
  done
}

# Parity of two folder trees, the prefix's REAL and the simulated machine's SIMULATED: every file
# the simulated one holds, byte for byte and with its time, and no other file written in REAL
# since MARKER (but under SKIP, see qm_tree_listing). Without MARKER the two trees' files.
# failed=1 when they differ.
qm_same_tree() {  # NAME REAL SIMULATED [MARKER SKIP]
  local sim_list=$QM_WINE_WORK/tree.sim real_list=$QM_WINE_WORK/tree.real
  qm_tree_listing "$3" >"$sim_list"
  if [ -n "${4:-}" ]; then
    cut -f1 "$sim_list" >"$sim_list.paths"
    qm_tree_listing "$2" "$sim_list.paths" "$4" "${5:-}" >"$real_list"
  else
    qm_tree_listing "$2" >"$real_list"
  fi
  if diff "$sim_list" "$real_list" >"$QM_WINE_WORK/tree.diff"; then
    echo "ok   $1: every file and its time equal the simulated ones"
  else
    echo "BAD  $1: files differ from the simulated ones (< simulated, > real: name, md5, time)"
    failed=1
    cat "$QM_WINE_WORK/tree.diff"
  fi
}

# One whole line a file must hold (line ends aside); failed=1 when it does not.
qm_has_line() {  # NAME FILE TEXT
  if grep -qxF -- "$3" <(tr -d '\r' <"$2" 2>/dev/null); then echo "ok   $1"; else
    echo "BAD  $1: no line [$3] in $2"; failed=1; fi
}

# For a test of the built installer beside the simulated one: sets exe (quillmount.exe of the
# MinGW build) and quillpack (the native build's) and ends the test when either, or any further
# FILE it needs, is missing.
qm_wine_need_programs() {  # [FILE...]
  exe=$QM_WIN32_BUILD/quillmount.exe
  quillpack=${QM_NATIVE_BUILD:+$QM_NATIVE_BUILD/quillpack}
  local f
  for f in "$exe" "$@" "$quillpack"; do
    [ -f "$f" ] || { echo "FAIL missing $f (give run.sh the native build too)"; exit 1; }
  done
}

# Sets work to a new, empty QM_WINE_WORK/NAME holding the given sub-folders.
qm_wine_work_dir() {  # NAME [SUBFOLDER...]
  work=$QM_WINE_WORK/$1
  shift
  rm -rf "$work"
  mkdir -p "$work"
  local sub
  for sub in "$@"; do mkdir -p "$work/$sub"; done
}

# A simulated machine in SIMDIR: one fixed drive C: (the folder SIMDIR/c) with C:\\WINDOWS,
# C:\\WINDOWS\\SYSTEM and C:\\TEMP, described by SIMDIR/machine.ini.
qm_wine_sim_machine() {  # SIMDIR
  mkdir -p "$1/c/WINDOWS/SYSTEM" "$1/c/TEMP"
  printf '[Machine]\nWindowsDir=C:\\WINDOWS\nSystemDir=C:\\WINDOWS\\SYSTEM\nTempDir=C:\\TEMP\n' >"$1/machine.ini"
  printf '[Drives]\nC=fixed c\n' >>"$1/machine.ini"
}

# The simulated run of C:\DIST\SETUP.EXE on SIMDIR/machine.ini, answered from SIMDIR/answers.ini
# when there is one: its trace goes to SIMDIR/trace.txt, what it prints to SIMDIR/printed.log,
# and it must end with exit code 0.
qm_wine_simulate() {  # SIMDIR
  local sim=$1 rc=0
  local answers=()
  [ -f "$sim/answers.ini" ] && answers=(--answers "$sim/answers.ini")
  "$quillpack" simulate --machine "$sim/machine.ini" "${answers[@]}" --trace "$sim/trace.txt" \
    'C:\DIST\SETUP.EXE' >"$sim/printed.log" || rc=$?
  expect "simulated exit code" "$rc" 0
}

# The real run of C:\DIST\SETUP.EXE of the prefix, started in C:\DIST with the answers file
# C:\qm\answers.ini and its trace in C:\qm\LOG, for at most SECONDS; waits until every process
# of the prefix has ended, checks exit code 0 and prints the trace, which it leaves (without its
# CRs) in trace.
qm_wine_install_dist() {  # SECONDS LOG
  local rc=0
  (cd "$WINEPREFIX/drive_c/DIST" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' \
    QUILLMOUNT_LOG="C:\\qm\\$2" timeout -k 5 "$1" wine 'C:\DIST\SETUP.EXE') || rc=$?
  timeout -k 5 120 wineserver -w || true
  expect "exit code" "$rc" 0
  trace=$(tr -d '\r' <"$WINEPREFIX/drive_c/qm/$2" 2>/dev/null || true)
  echo "--- trace"; echo "$trace"; echo "---"
}

# Prints a file of the prefix's C: drive; fails when it does not exist.
qm_wine_read_c() {
  local host
  host=$(qm_wine_c_path "$1")
  [ -f "$host" ] || { qm_fail "no file $1 in the prefix"; return 1; }
  cat "$host"
}

# Stops the prefix's wineserver (flushing its registry files) and waits for it.
qm_wine_stop() {
  # "|| true": callers run under set -e, and there may be no server left to stop.
  timeout -k 5 30 wineserver -k 2>/dev/null || true
  timeout -k 5 30 wineserver -w 2>/dev/null || true
}

# For a test started on its own: checks the tools, makes a scratch folder and a display unless
# run.sh already did, and cleans up on exit.
qm_wine_setup() {
  qm_wine_require_tools || exit 2
  if [ -z "${QM_WIN32_BUILD:-}" ]; then
    QM_WIN32_BUILD=${1:-$QM_SOURCE_DIR/build/win32}
  fi
  [ -d "$QM_WIN32_BUILD" ] || { qm_fail "no win32 build directory: $QM_WIN32_BUILD"; exit 2; }
  export QM_WIN32_BUILD
  if [ -z "${QM_WINE_WORK:-}" ]; then
    QM_WINE_WORK=$(mktemp -d /tmp/qm-wine.XXXXXX)
    export QM_WINE_WORK
    QM_WINE_OWN_WORK=1
  fi
  if [ -z "${QM_WINE_DISPLAY_READY:-}" ]; then
    qm_wine_start_display || exit 2
    QM_WINE_OWN_XVFB=$QM_WINE_XVFB_PID
    export QM_WINE_DISPLAY_READY=1
  fi
  trap qm_wine_teardown EXIT
  trap 'exit 143' TERM INT
}

# Registers a command to run when the test ends (a test must not set its own EXIT trap, which
# would replace the clean-up of the prefix and the display).
qm_wine_on_exit() {
  QM_WINE_EXIT_HOOKS="${QM_WINE_EXIT_HOOKS:-}$*;"
}

# Runs from the EXIT trap, where a failing command under set -e would replace the test's own
# exit status: every step is allowed to fail.
qm_wine_teardown() {
  local status=$?
  set +e
  [ -n "${QM_WINE_EXIT_HOOKS:-}" ] && eval "$QM_WINE_EXIT_HOOKS"
  [ -n "${WINEPREFIX:-}" ] && qm_wine_stop
  [ -n "${QM_WINE_OWN_XVFB:-}" ] && kill "$QM_WINE_OWN_XVFB" 2>/dev/null
  [ -n "${QM_WINE_OWN_WORK:-}" ] && [ -z "${QM_WINE_KEEP:-}" ] && rm -rf "$QM_WINE_WORK"
  exit "$status"
}
