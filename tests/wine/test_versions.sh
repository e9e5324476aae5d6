#!/bin/bash
# The sample on every Windows version Wine can report that the installer is made for: one prefix
# per version (a copy of the booted template with HKCU\Software\Wine Version set), the sample's
# SETUP.EXE built once. Per version: the Windows and DOS versions the programs read (the winver
# condition's value), the installation's exit code (0: the sample asks for no restart), install.log,
# the INI files, AUTOEXEC.BAT and CONFIG.SYS byte for byte as `quillpack simulate` leaves them on
# a machine file stating the same versions and folders, the registry values and the program
# group, then the uninstall (exit 0) leaving C: and the program's key as they were.
#
# Where Wine is not Windows, the simulated machine states what the prefix has, and the checks
# say so: Wine's Windows folder is C:\windows with C:\windows\system32 on every version (Windows
# 95 to ME have C:\WINDOWS\SYSTEM); Wine's shell turns the Program Manager groups into Start Menu
# shortcuts; WIN.INI is Wine's own file, copied onto the simulated machine.
#
# QM_WINE_VERSIONS="win95=4.0 nt351=3.51" runs only the versions given (NAME=WINVER).
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
. "$(dirname "${BASH_SOURCE[0]}")/prefix_snapshot.sh"
qm_wine_setup "$@"

unstall=$QM_WIN32_BUILD/unstall.exe
probe=$QM_WIN32_BUILD/conditions_probe.exe
qm_wine_need_programs "$unstall" "$probe"
qm_wine_work_dir versions
failed=0

# Version name, then the Windows version a 32-bit program reads from GetVersion on that system.
# Windows 8.1 and later report 6.2 to a program without a manifest naming them, as the installer
# has none: on Windows 10 winver is 6.2, under Wine as on Windows.
versions=(win31=3.10 win95=4.0 win98=4.10 winme=4.90 nt351=3.51 nt40=4.0 win2k=5.0 winxp=5.1
  win10=6.2)
[ -n "${QM_WINE_VERSIONS:-}" ] && read -r -a versions <<<"$QM_WINE_VERSIONS"

# The sample's distribution, once: every file but its answers, with the uninstaller.
sample=$QM_SOURCE_DIR/examples/sample
files=()
while IFS= read -r f; do files+=("$f"); done < <(find "$sample" -type f ! -name answers.ini | sort)
"$quillpack" build --stub "$exe" -o "$work/SETUP.EXE" --name UNSTALL.EXE "$unstall" \
  "${files[@]}" >/dev/null
# The restart distribution: one file, then the question whether to restart.
mkdir -p "$work/restart"
printf 'DEFAULTDIR C:\\RST NOASKDRIVE NOASKDIR\r\nFILE A.TXT\r\nREBOOT Windows\r\n' \
  >"$work/restart/SETUP.cfg"
printf 'a\r\n' >"$work/restart/A.TXT"
"$quillpack" build --stub "$exe" -o "$work/RESTART.EXE" "$work/restart/SETUP.cfg" \
  "$work/restart/A.TXT" >/dev/null
# Not watched (no Show=), uninstall confirmed.
{
  grep -v -i -e '^Show' "$sample/answers.ini" | tr -d '\r'
  echo 'Uninstall=Yes'
} | qm_crlf >"$work/answers.ini"

# The checks of one version; everything it prints goes to WORK/VERSION/log.
one_version() {  # NAME WINVER
  local name=$1 winver=$2 dir=$work/$1 rc
  failed=0
  mkdir -p "$dir"
  qm_wine_new_prefix "$dir/prefix"
  local c=$WINEPREFIX/drive_c
  qm_wine_tool reg add 'HKCU\Software\Wine' /v Version /d "$name" /f >/dev/null 2>&1 ||
    { echo "BAD  cannot set the Windows version $name"; return 1; }

  local facts seen dos
  facts=$(timeout -k 5 120 wine "$probe" facts 2>/dev/null | tr -d '\r')
  seen=$(sed -n 's/^winver=//p' <<<"$facts")
  dos=$(sed -n 's/^dosver=//p' <<<"$facts")
  expect "$name: winver" "$seen" "$winver"

  mkdir -p "$c/DIST" "$c/qm"
  cp "$work/SETUP.EXE" "$c/DIST/"
  cp "$work/answers.ini" "$c/qm/answers.ini"
  local windir
  windir=$(qm_wine_c_path 'C:\windows')
  qm_wine_stop
  local key='HKEY_CURRENT_USER\Software\Quill Notes'
  qm_prefix_snapshot "$dir/before.txt" "$key"

  # The simulated machine: the same versions, Wine's folders and Wine's WIN.INI.
  local sim=$dir/sim
  mkdir -p "$sim/c/windows/system32" "$sim/c/windows/temp" "$sim/c/DIST"
  cp "$work/SETUP.EXE" "$sim/c/DIST/"
  cp -p "$windir/win.ini" "$sim/c/windows/win.ini"
  {
    printf '[Machine]\nWindows=%s\n' "$seen"
    # A DOS version whose minor needs three digits (the build number's low byte) cannot be stated.
    [[ $dos =~ ^[0-9]+\.[0-9]{1,2}$ ]] && printf 'DOS=%s\n' "$dos"
    printf 'WindowsDir=C:\\windows\nSystemDir=C:\\windows\\system32\nTempDir=C:\\windows\\temp\n'
    printf '[Drives]\nC=fixed c\n'
  } >"$sim/machine.ini"
  rc=0
  "$quillpack" simulate --machine "$sim/machine.ini" --answers "$work/answers.ini" \
    --trace "$sim/trace.txt" 'C:\DIST\SETUP.EXE' >/dev/null 2>&1 || rc=$?
  expect "$name: simulated exit code" "$rc" 0

  rc=0
  (cd "$c/DIST" && QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\trace.log' \
    timeout -k 5 300 wine 'C:\DIST\SETUP.EXE') || rc=$?
  qm_wine_stop
  expect "$name: exit code" "$rc" 0

  qm_same_file "$name: install.log" "$(qm_wine_c_path 'C:\QNOTES\install.log')" "$sim/c/QNOTES/install.log"
  qm_same_file "$name: NOTES.INI" "$(qm_wine_c_path 'C:\QNOTES\NOTES.INI')" "$sim/c/QNOTES/NOTES.INI"
  qm_same_file "$name: README.TXT" "$(qm_wine_c_path 'C:\QNOTES\README.TXT')" "$sim/c/QNOTES/README.TXT"
  qm_same_file "$name: QNOTES.INI" "$(qm_wine_c_path 'C:\windows\QNOTES.INI')" "$sim/c/windows/QNOTES.INI"
  qm_same_file "$name: WIN.INI" "$windir/win.ini" "$sim/c/windows/win.ini"
  qm_same_file "$name: AUTOEXEC.BAT" "$(qm_wine_c_path 'C:\AUTOEXEC.BAT')" "$sim/c/AUTOEXEC.BAT"
  qm_same_file "$name: CONFIG.SYS" "$(qm_wine_c_path 'C:\CONFIG.SYS')" "$sim/c/CONFIG.SYS"

  # The registry: the values the prefix holds are the simulated machine's.
  local value real simulated
  for value in InstallDir Installs Options; do
    real=$(qm_wine_tool reg query "$key\\1.0" /v "$value" 2>/dev/null | tr -d '\r' |
      sed -n "s/^ *$value *REG_[A-Z]* *//p")
    simulated=$(tr -d '\r' <"$sim/registry.reg" | sed -n "s/^\"$value\"=//p")
    case $simulated in
      dword:*) simulated=0x$(printf '%x' "$((16#${simulated#dword:}))") ;;
      hex:*) simulated=$(tr -d ',' <<<"${simulated#hex:}" | tr a-f A-F) ;;
      \"*) simulated=${simulated#\"}; simulated=${simulated%\"}; simulated=${simulated//\\\\/\\} ;;
    esac
    expect "$name: registry $value" "$real" "$simulated"
  done
  # The group: Wine's shell makes a shortcut per item of the simulated Program Manager's group.
  local items shortcuts
  items=$(tr -d '\r' <"$sim/groups.ini" | sed -n 's/^Item=\([^|]*\)|.*/\1/p' | sort | tr '\n' ,)
  shortcuts=$(find "$c/users" -ipath '*/Programs/Quill Notes/*.lnk' -printf '%f\n' 2>/dev/null |
    sed 's/\.lnk$//' | sort | tr '\n' ,)
  expect "$name: program group items" "$shortcuts" "$items"

  rc=0
  QUILLMOUNT_ANSWERS='C:\qm\answers.ini' QUILLMOUNT_LOG='C:\qm\uninstall.log' \
    timeout -k 5 300 wine "$windir/unstall.exe" 'C:\QNOTES\install.log' || rc=$?
  qm_wine_stop
  expect "$name: uninstall exit code" "$rc" 0
  qm_prefix_snapshot "$dir/after.txt" "$key"
  if bash "$QM_WINE_LIB_DIR/compare_snapshots.sh" "$dir/before.txt" "$dir/after.txt"; then
    echo "ok   $name: the uninstall left the prefix as it was"
  else
    echo "BAD  $name: the uninstall left differences"; failed=1
  fi

  local asks="restart "
  case $seen in 3.5 | 3.5[0-9] | 3.6) asks="privilege restart " ;; esac
  restart_path "$name" "$seen" No 3010 ""
  restart_path "$name" "$seen" Yes 0 "$asks"
  return $failed
}

# One run of the restart distribution answered REBOOT, real and simulated: exit codes, and the
# calls to the system (privilege, restart) on both sides.
restart_path() {  # NAME WINVER REBOOT EXIT CALLS
  # A Unix exit status keeps the low byte of a Windows exit code: 3010 arrives as 194.
  local name=$1 winver=$2 reboot=$3 want=$(($4 % 256)) calls=$5 c=$WINEPREFIX/drive_c rc
  local sim=$dir/restart-$3
  rm -rf "$c/RST"
  mkdir -p "$c/RDIST"
  cp "$work/RESTART.EXE" "$c/RDIST/SETUP.EXE"
  printf '[Setup]\r\nReboot=%s\r\n' "$reboot" >"$c/qm/restart.ini"
  mkdir -p "$sim/c/windows/system32" "$sim/c/RDIST"
  cp "$work/RESTART.EXE" "$sim/c/RDIST/SETUP.EXE"
  printf '[Machine]\nWindows=%s\nWindowsDir=C:\\windows\nSystemDir=C:\\windows\\system32\n[Drives]\nC=fixed c\n' \
    "$winver" >"$sim/machine.ini"
  rc=0
  "$quillpack" simulate --machine "$sim/machine.ini" --answers "$c/qm/restart.ini" \
    'C:\RDIST\SETUP.EXE' >/dev/null 2>&1 || rc=$?
  # quillpack simulate gives a restart wanted (3010) as its own status 10.
  expect "$name: Reboot=$reboot: simulated exit code" "$rc" "$([ "$4" = 3010 ] && echo 10 || echo "$4")"
  local simulated
  simulated=$(sed -n 's/^\(privilege\|restart\).*/\1/p' "$sim/processes.log" 2>/dev/null | tr '\n' ' ')

  qm_wine_tool reg add 'HKCU\Software\Wine\Debug' /v RelayInclude \
    /d 'advapi32.AdjustTokenPrivileges;user32.ExitWindowsEx' /f >/dev/null 2>&1
  rc=0
  (cd "$c/RDIST" && QUILLMOUNT_ANSWERS='C:\qm\restart.ini' WINEDEBUG=+relay \
    timeout -k 5 120 wine 'C:\RDIST\SETUP.EXE' 2>"$sim/relay.txt") || rc=$?
  qm_wine_stop
  qm_wine_tool reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1
  expect "$name: Reboot=$reboot: exit code" "$rc" "$want"
  local real=
  grep -q 'Call advapi32.AdjustTokenPrivileges' "$sim/relay.txt" && real+="privilege "
  grep -q 'Call user32.ExitWindowsEx' "$sim/relay.txt" && real+="restart "
  expect "$name: Reboot=$reboot: system calls" "$real" "$calls"
  expect "$name: Reboot=$reboot: simulated system calls" "$simulated" "$calls"
}

# Two versions at a time: each prefix has its own wineserver.
pids=()
names=()
for entry in "${versions[@]}"; do
  name=${entry%%=*}
  (one_version "$name" "${entry#*=}") >"$work/$name.log" 2>&1 &
  pids+=($!)
  names+=("$name")
  if [ "${#pids[@]}" -ge 2 ]; then
    wait "${pids[0]}" || true
    pids=("${pids[@]:1}")
  fi
done
wait || true
for name in "${names[@]}"; do
  echo "=== $name"
  cat "$work/$name.log"
  grep -q '^BAD\|^FAIL' "$work/$name.log" && failed=1
done
exit $failed
