#!/bin/bash
# One installation at a time, with the real programs: while another program holds the machine's
# installation lock (a probe that plays a running installation), the installer waits as its
# answers allow and then ends with exit code 5 having changed nothing, or goes on once the other
# program lets go; the uninstaller waits the same way. The simulated machine's side of the same
# rule is the scenario other-installation.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

holder=$QM_WIN32_BUILD/pause_gui_probe.exe
unstall=$QM_WIN32_BUILD/unstall.exe
qm_wine_need_programs "$holder" "$unstall"
qm_wine_work_dir one-at-a-time files
failed=0

f=$work/files
printf 'UNINSTALL YES\r\nDEFAULTDIR C:\\LOCKAPP NOASKDRIVE NOASKDIR\r\nFILE README.TXT\r\n' >"$f/SETUP.cfg"
printf 'read me\r\n' >"$f/README.TXT"
"$quillpack" build --stub "$exe" -o "$work/SETUP.EXE" "$f/SETUP.cfg" "$f/README.TXT" >/dev/null

qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
mkdir -p "$c/DIST" "$c/qm"
cp "$work/SETUP.EXE" "$c/DIST/SETUP.EXE"
cp "$holder" "$c/qm/holder.exe"
cp "$unstall" "$c/qm/unstall.exe"
printf '[Setup]\r\nWaitForOther=1\r\n' >"$c/qm/short.ini"
printf '[Setup]\r\nWaitForOther=120\r\n' >"$c/qm/long.ini"

hold() {  # starts the holder and waits until it has the lock
  rm -f "$c/qm/READY" "$c/qm/GO"
  wine 'C:\qm\holder.exe' LOCK 'C:\qm\READY' 'C:\qm\GO' &
  holder_pid=$!
  for _ in $(seq 1 300); do [ -f "$c/qm/READY" ] && return 0; sleep 0.1; done
  echo "BAD  the holder never took the lock"; exit 1
}
run() {  # ANSWERS TRACE PROGRAM [ARGS...]: the exit code in rc
  local answers=$1 log=$2
  shift 2
  rc=0
  QUILLMOUNT_ANSWERS="C:\\qm\\$answers" QUILLMOUNT_LOG="C:\\qm\\$log" timeout -k 5 300 wine "$@" ||
    rc=$?
}
traced() {  # TRACE TEXT
  if tr -d '\r' <"$c/qm/$1" | grep -qF "$2"; then echo "ok   $1 says: $2"
  else echo "BAD  $1 lacks: $2"; tr -d '\r' <"$c/qm/$1"; failed=1; fi
}

# Held for longer than the installer waits: exit 5, nothing made.
hold
run short.ini busy.log 'C:\DIST\SETUP.EXE'
expect "installer exit code while another runs" "$rc" 5
traced busy.log "lock: the other program still runs after 1 s; nothing was changed"
[ -e "$(qm_wine_c_path 'C:\LOCKAPP')" ] && { echo "BAD  C:\\LOCKAPP was made"; failed=1; } ||
  echo "ok   nothing installed"

# Let go while the installer waits: it goes on and completes.
(sleep 3; : >"$c/qm/GO") &
run long.ini waited.log 'C:\DIST\SETUP.EXE'
wait "$holder_pid" || true
expect "installer exit code after the other finished" "$rc" 0
traced waited.log "lock: the other program has finished; going on"
[ -f "$(qm_wine_c_path 'C:\LOCKAPP\README.TXT')" ] && echo "ok   installed after the wait" ||
  { echo "BAD  README.TXT not installed"; failed=1; }

# The uninstaller takes the same lock.
hold
run short.ini unbusy.log 'C:\qm\unstall.exe' 'C:\LOCKAPP\install.log'
expect "uninstaller exit code while another runs" "$rc" 5
[ -f "$(qm_wine_c_path 'C:\LOCKAPP\README.TXT')" ] && echo "ok   nothing uninstalled" ||
  { echo "BAD  the uninstaller removed files while another program ran"; failed=1; }
: >"$c/qm/GO"
wait "$holder_pid" || true
run short.ini uninstall.log 'C:\qm\unstall.exe' 'C:\LOCKAPP\install.log'
expect "uninstaller exit code once free" "$rc" 0
[ -e "$(qm_wine_c_path 'C:\LOCKAPP')" ] && { echo "BAD  C:\\LOCKAPP left"; failed=1; } ||
  echo "ok   uninstalled once free"
qm_wine_stop
exit $failed
