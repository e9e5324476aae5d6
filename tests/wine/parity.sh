#!/bin/bash
# Parity of the real installer under Wine and `quillpack simulate`, on the distributions of
# tests/scenarios: each that a Wine prefix can imitate runs on both machines, and the runner
# compares every run's exit code and trace, then every file the simulated machine's drives hold
# (install.log byte for byte, the others with their times) against the prefix's, and that the
# real run wrote no file the simulated one did not.
#
#   tests/wine/parity.sh WIN32_BUILD NATIVE_BUILD [SCENARIO...]
#
# Prints "SAME NAME", "DIFF NAME" with what differs, or "LEFT OUT NAME: why", then the counts;
# exits 1 when a scenario that ran differs or could not be set up.
#
# How a prefix imitates a scenario's machine:
#   - fixed drives other than C: are the scenario's folders behind the drive letters;
#   - the removable A: holds the first medium, with its volume label, declared a floppy; with
#     more media the answers say Disks=Wait (on both machines) and the media changer of lib.sh
#     swaps them as the installer asks;
#   - C: is the prefix's own, with the scenario's C: folder copied onto it (a name Wine's C:
#     has takes Wine's case: C:\WINDOWS is C:\windows, WIN.INI win.ini);
#   - registry entries the scenario starts with are imported; attributes are set as Wine keeps
#     them (read-only as permissions, hidden and system in an extended attribute).
# Wine is set to the Windows version the scenario's machine states (Windows 95 for 3.95, the
# version a 16-bit program reads there). Where Wine is not Windows, the simulated machine states
# what the prefix has: the Windows and DOS versions the installer reads under that setting, the
# processor (586) and display, and Wine's folders (C:\windows, C:\windows\system32 and its
# temporary folder); what the scenario keeps in C:\WINDOWS\SYSTEM or C:\TEMP stays there. What a prefix cannot be is left
# out: a memory size, a small free space, injected faults, a machine without a shell, a processor
# other than Wine's for a script that tests it, a file without the archive attribute, existing
# Program Manager groups, and changes to WIN.INI or SYSTEM.INI (Wine, like Windows NT, keeps some
# of their sections in the registry).
set -u

if [ $# -lt 2 ] || [ ! -d "$1" ] || [ ! -d "$2" ]; then
  echo "usage: tests/wine/parity.sh WIN32_BUILD NATIVE_BUILD [SCENARIO...]" >&2
  exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/lib.sh"
export QM_WIN32_BUILD=$(cd "$1" && pwd)
export QM_NATIVE_BUILD=$(cd "$2" && pwd)
shift 2
qm_wine_setup
qm_wine_need_programs "$QM_WIN32_BUILD/media_probe.exe" "$QM_WIN32_BUILD/conditions_probe.exe"
scenarios=$QM_SOURCE_DIR/tests/scenarios
check=$scenarios/scenario_check.py
parity=$QM_WINE_WORK/parity
mkdir -p "$parity"

if [ -z "${QM_WINE_TEMPLATE:-}" ]; then
  qm_wine_boot_prefix "$parity/template" || exit 1
  echo "${WINEARCH:-}" >"$parity/template.arch"
  export QM_WINE_TEMPLATE=$parity/template
fi

# One prefix serves every scenario in turn, reset to the template before each.
qm_wine_reset_prefix "$parity/prefix" || exit 1
wine_temp=$(qm_wine_tool cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
qm_wine_stop
wine_processor=586
case $wine_temp in C:\\?*) ;; *) echo "FAIL cannot read the prefix's temporary folder" >&2; exit 1 ;; esac

# The Wine version setting for a machine's Windows= (3.95 is Windows 95 as a 16-bit program
# reads it; a 32-bit program is told 4.0 there), default: Wine's own.
wine_version() {  # WINDOWS PLATFORM
  case "$1/$(tr A-Z a-z <<<"$2")" in
    3.10/*) echo win31 ;; 3.51/*) echo nt351 ;; 4.0/nt) echo nt40 ;; 3.95/* | 4.0/* | 4.00/*) echo win95 ;;
    4.10/*) echo win98 ;; 4.90/*) echo winme ;; 5.0/* | 5.00/*) echo win2k ;; 5.1/* | 5.01/*) echo winxp ;;
    *) echo default ;;
  esac
}

# Sets the prefix to VERSION and leaves in facts what the installer reads there (winver=,
# dosver=, display=), measured once per version.
prefix_version() {  # VERSION
  if [ "$1" != default ]; then
    qm_wine_tool reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1 ||
      echo "BAD  cannot set the Windows version $1"
  fi
  if [ ! -s "$parity/facts.$1" ]; then
    timeout -k 5 120 wine "$QM_WIN32_BUILD/conditions_probe.exe" facts 2>/dev/null | tr -d '\r' \
      >"$parity/facts.$1"
  fi
  facts=$(cat "$parity/facts.$1")
}

# A key of machine.ini's SECTION, "" when absent.
ini_value() {  # FILE SECTION KEY
  tr -d '\r' <"$1" | awk -v s="[$2]" -v k="$3" '
    /^\[/ { in_s = (tolower($0) == tolower(s)); next }
    in_s && tolower($0) ~ "^" tolower(k) "[ \t]*=" { sub(/^[^=]*=[ \t]*/, ""); print; exit }'
}
ini_section() {  # FILE SECTION: its Key=Value lines
  tr -d '\r' <"$1" | awk -v s="[$2]" '
    /^\[/ { in_s = (tolower($0) == tolower(s)); next }
    in_s && /=/ && !/^[ \t]*;/ { print }'
}

# Why the scenario cannot run in a prefix, or nothing.
left_out_reason() {  # SCENARIO_DIR
  local m=$1/machine.ini v
  # What a scenario's files do not show.
  case $(basename "$1") in
    replace-and-reinstall)
      echo "its second run backs up files the first one left without the archive attribute (Wine reports it on every file)"
      return ;;
    sysconfig-addtext)
      echo "adds text to files it installed without the archive attribute, and instback.log keeps their attributes before the edit (Wine reports archive on every file)"
      return ;;
  esac
  [ -n "$(ini_value "$m" Machine Memory)" ] && { echo "states a memory size"; return; }
  [ -n "$(ini_section "$m" Faults)" ] && { echo "injects faults ([Faults])"; return; }
  while IFS='=' read -r _ v; do
    [ "${v// /}" -lt 100000000 ] 2>/dev/null && { echo "states a small free space ($v bytes)"; return; }
  done < <(ini_section "$m" FreeSpace)
  [ "$(ini_value "$m" Machine Shell | tr A-Z a-z)" = none ] &&
    { echo "has no shell (Wine's always serves the Program Manager conversation)"; return; }
  v=$(ini_value "$m" Machine Processor)
  if [ -n "$v" ] && [ "$v" != "$wine_processor" ] &&
     grep -rqiE '^[[:space:]]*IF[[:space:]].*(processor|cpu)' --include='*.[cC][fF][gG]' "$1"; then
    echo "tests processor $v (Wine reports $wine_processor)"; return
  fi
  if ini_section "$m" Drives | grep -qiE '=[[:space:]]*(network|cdrom)'; then
    echo "has a network or CD drive"; return
  fi
  [ -f "$1/groups.ini" ] && { echo "starts with Program Manager groups"; return; }
  # Wine, like Windows NT, keeps some WIN.INI and SYSTEM.INI sections in the registry
  # (IniFileMapping), whatever version it is set to; the simulated machine keeps them in the file.
  grep -rqliE '(win|system)\.ini' --include='*.[cC][fF][gG]' "$1" &&
    { echo "changes WIN.INI or SYSTEM.INI, whose mapped sections Wine keeps in the registry"; return; }
  v=$(attributes "$1" check)
  [ -n "$v" ] && { echo "holds a file without the archive attribute ($v; Wine reports it on every file)"; return; }
  ini_section "$m" Drives | grep -qiE '^[b-z][[:space:]]*=[[:space:]]*removable' &&
    { echo "has a removable drive other than A:"; return; }
}

# Readies a scenario's C: folder for a prefix: Wine's system and temporary folders are there (the
# simulated machine states them), and every name the prefix's C: already has takes its case.
wine_folders() {  # CFOLDER
  local c=$1
  # Every name the prefix's C: already has (WIN.INI is Wine's win.ini) takes the prefix's case,
  # so that the scenario's file replaces Wine's instead of lying beside it.
  python3 - "$c" "$QM_WINE_TEMPLATE/drive_c" <<'PY'
import os, sys

def match(ours, theirs):
    if not os.path.isdir(theirs):
        return
    names = {n.upper(): n for n in os.listdir(theirs)}
    for name in sorted(os.listdir(ours)):
        wanted = names.get(name.upper(), name)
        if wanted != name:
            os.rename(os.path.join(ours, name), os.path.join(ours, wanted))
        path = os.path.join(ours, wanted)
        if os.path.isdir(path) and not os.path.islink(path):
            match(path, os.path.join(theirs, wanted))

match(sys.argv[1], sys.argv[2])
PY
  mkdir -p "$c/windows/system32" "$c/$(tr '\\' / <<<"${wine_temp:3}")"
}

# The simulated machine of the parity run: the scenario's, stating Wine's versions and folders;
# A:'s media as the scenario has them.
sim_machine() {  # IN OUT
  local winver dosver display
  winver=$(sed -n 's/^winver=//p' <<<"$facts")
  dosver=$(sed -n 's/^dosver=//p' <<<"$facts")
  display=$(sed -n 's/^display=\([0-9x]*\).*/\1/p' <<<"$facts")
  # The temporary folder goes through the environment: awk would read "\r" in a -v value.
  tr -d '\r' <"$1" | QM_TEMP=$wine_temp awk -v w="$winver" -v d="$dosver" -v disp="$display" \
      -v p="$wine_processor" '
    /^\[/ { in_m = (tolower($0) == "[machine]") }
    in_m && tolower($0) ~ /^(windows|dos|display|processor|windowsdir|systemdir|tempdir|platform|build)[ \t]*=/ { next }
    { print }
    tolower($0) == "[machine]" {
      print "Windows=" w
      if (d ~ /^[0-9]+\.[0-9]?[0-9]$/) print "DOS=" d
      print "Display=" disp "\nProcessor=" p
      print "WindowsDir=C:\\windows\nSystemDir=C:\\windows\\system32\nTempDir=" ENVIRON["QM_TEMP"]
    }' >"$2"
}

# The host folder behind drive LETTER of a machine file in DIR (the first medium for A:).
drive_folder() {  # DIR LETTER
  ini_section "$1/machine.ini" Drives | awk -F= -v l="$2" '
    tolower($1) ~ "^" tolower(l) "[ \t]*$" { split($2, f, " "); print f[2]; exit }'
}
media_of() {  # DIR LETTER: every medium folder, in order
  ini_section "$1/machine.ini" Drives | awk -F= -v l="$2" '
    tolower($1) ~ "^" tolower(l) "[ \t]*$" { n = split($2, f, " "); for (i = 2; i <= n; i++) print f[i]; exit }'
}

# Gives the files of the copy in REAL the attributes its sidecars (.qm-attributes) hold, as Wine
# keeps them: read-only as a file without write permission, hidden and system in the extended
# attribute user.DOSATTRIB; then removes the sidecars. With "check", only says which file has
# no archive attribute: Wine reports it on every file, so such a machine cannot be imitated.
attributes() {  # REAL [check]
  python3 - "$1" "${2:-apply}" <<'PY'
import os, stat, sys
root, mode = sys.argv[1], sys.argv[2]
for folder, dirs, files in os.walk(root):
    if ".qm-attributes" not in files:
        continue
    side = os.path.join(folder, ".qm-attributes")
    for line in open(side, encoding="latin-1"):
        if not line.strip():
            continue
        hexa, name = line.rstrip("\r\n").split(" ", 1)
        bits, path = int(hexa, 16), os.path.join(folder, name)
        if mode == "check":
            if os.path.isfile(path) and not bits & 0x20:
                print(os.path.relpath(path, root))
                sys.exit(0)
            continue
        if bits & 0x06:
            try:
                os.setxattr(path, "user.DOSATTRIB", b"0x%x" % (bits & 0x06))
            except OSError as e:
                print(f"BAD  hidden and system attributes cannot be kept here: {e}")
        if bits & 0x01:
            os.chmod(path, os.stat(path).st_mode & ~(stat.S_IWUSR | stat.S_IWGRP | stat.S_IWOTH))
    if mode != "check":
        os.remove(side)
PY
}

run_scenario() {  # NAME
  local name=$1 scen=$scenarios/$1 dir=$parity/$1 reason
  reason=$(left_out_reason "$scen")
  if [ -n "$reason" ]; then
    echo "LEFT OUT $name: $reason"
    return
  fi
  failed=0
  local t0
  t0=$(date +%s)
  rm -rf "$dir"
  mkdir -p "$dir"
  if ! python3 "$check" set-up "$quillpack" "$scen" "$dir/base" "$exe" 2>"$dir/setup.log"; then
    cat "$dir/setup.log"; echo "DIFF $name: the scenario could not be set up"
    return
  fi
  local base=$dir/base cdrive letter folder line
  cdrive=$(drive_folder "$base" C)
  wine_folders "$base/$cdrive"
  cp "$scen/machine.ini" "$base/machine.ini"

  # The runs, each with its answers file; a program that is a stand-in becomes the installer.
  local -a media=()
  mapfile -t media < <(media_of "$base" A)
  local built
  built=$(grep -v '^#' "$scen/build.txt" 2>/dev/null | awk '{print $1}')
  local -a runs=()
  local n=0 code answers program host
  while read -r code answers program rest; do
    [ -z "$code" ] || [ "${code:0:1}" = '#' ] && continue
    n=$((n + 1))
    runs+=("$code|$answers|$program|$rest")
    {
      if [ "$answers" = - ]; then echo '[Setup]'; else tr -d '\r' <"$scen/$answers"; fi
    } | if [ "${#media[@]}" -gt 1 ]; then
      awk '/^[ \t]*Disks[ \t]*=/ { if ($0 ~ /=[ \t]*[Yy][Ee][Ss]/) { print "Disks=Wait"; d = 1; next } d = 1 }
           { print } END { if (!d) print "Disks=Wait"; print "DiskWait=15" }'
    else cat; fi | qm_crlf >"$base/answers.$n.ini"
    letter=${program:0:1}
    folder=$(drive_folder "$base" "$letter")
    host=$base/$folder/$(tr '\\' / <<<"${program:3}")
    if [ -f "$host" ] && ! grep -qxF "$folder/$(tr '\\' / <<<"${program:3}")" <<<"$built"; then
      cp "$exe" "$host.new" && touch -r "$host" "$host.new" && mv "$host.new" "$host"
    fi
  done < <(tr -d '\r' <"$scen/runs.txt")

  cp -a "$base" "$dir/sim"
  find "$dir/sim" -name .windows-label -delete
  local real=$dir/real
  cp -a "$base" "$real"

  # The prefix: C: with the scenario's files, the other drives, labels, registry, attributes.
  qm_wine_reset_prefix "$parity/prefix"
  local version
  version=$(wine_version "$(ini_value "$scen/machine.ini" Machine Windows)" \
    "$(ini_value "$scen/machine.ini" Machine Platform)")
  prefix_version "$version"
  echo "     Wine set to $version: $(tr '\n' ' ' <<<"$facts")"
  sim_machine "$scen/machine.ini" "$dir/sim/machine.ini"
  local c=$WINEPREFIX/drive_c
  mkdir -p "$c/qm"
  attributes "$real"
  cp "$base"/answers.*.ini "$c/qm/"
  while IFS='=' read -r letter line; do
    letter=$(tr -d ' \t' <<<"$letter" | tr A-Z a-z)
    folder=$(awk '{print $2}' <<<"$line")
    case $letter in
      c) cp -a "$real/$cdrive/." "$c/" ;;
      a) for m in "${media[@]}"; do
           local l
           l=$(ini_value "$base/machine.ini" Labels "$m")
           [ -n "$l" ] && qm_wine_set_label "$real/$m" "$l"
         done
         qm_wine_map_floppy "$real/$folder" a ;;
      *) rm -f "$WINEPREFIX/dosdevices/$letter:"; ln -s "$real/$folder" "$WINEPREFIX/dosdevices/$letter:" ;;
    esac
  done < <(ini_section "$base/machine.ini" Drives)
  if [ -f "$real/registry.reg" ]; then
    cp "$real/registry.reg" "$c/qm/start.reg"
    qm_wine_tool regedit /s 'C:\qm\start.reg' >/dev/null 2>&1 || echo "BAD  the registry could not be imported"
  fi
  local -a envs=()
  while IFS= read -r line; do envs+=("$line"); done < <(ini_section "$base/machine.ini" Environment)
  qm_wine_stop
  touch "$dir/marker"
  sleep 1

  # Each run on both machines.
  local i=0 entry rc simrc args
  for entry in "${runs[@]}"; do
    i=$((i + 1))
    IFS='|' read -r code answers program args <<<"$entry"
    local -a argv=()
    read -r -a argv <<<"$args"
    simrc=0
    (cd "$dir/sim" && "$quillpack" simulate --machine machine.ini --answers "answers.$i.ini" \
      --trace "trace.$i.txt" -- "$program" "${argv[@]}" >"printed.$i.log" 2>&1) || simrc=$?
    [ "$simrc" = 10 ] && simrc=3010
    letter=${program:0:1}
    folder=$(drive_folder "$base" "$letter")
    host=$real/$folder
    [ "$letter" = C ] || [ "$letter" = c ] && host=$c
    local rest_media=("${media[@]:1}")
    if [ "${#media[@]}" -gt 1 ]; then
      # Each run starts with the first disk in the drive, as each simulated run does.
      [ "$i" -gt 1 ] && timeout -k 5 30 wine "$QM_WIN32_BUILD/media_probe.exe" a "$real/${media[0]}"
      qm_wine_media_changer "$c/qm/trace.$i.log" a "${rest_media[@]/#/$real/}"
    fi
    rc=0
    (cd "$host" && env "${envs[@]}" QUILLMOUNT_ANSWERS="C:\\qm\\answers.$i.ini" \
      QUILLMOUNT_LOG="C:\\qm\\trace.$i.log" timeout -k 5 120 wine "$program" "${argv[@]}" \
      >/dev/null 2>&1) || rc=$?
    # What the run left open (a readme in Notepad) is ended once the run had time to finish.
    timeout -k 5 20 wineserver -w ||
      { echo "     run $i: programs the run started were still open after 20 s, and were ended"; qm_wine_stop; }
    [ "${#media[@]}" -gt 1 ] && qm_wine_media_changer_stop | sed "s/^/     run $i: /"
    expect "run $i ($program ${argv[*]}): exit code, real and simulated" "$rc" "$simrc"
    qm_same_trace "run $i: trace" "$c/qm/trace.$i.log" "$dir/sim/trace.$i.txt"
  done
  qm_wine_stop

  # Every drive's files, the simulated machine's against the prefix's.
  while IFS='=' read -r letter line; do
    letter=$(tr -d ' \t' <<<"$letter" | tr a-z A-Z)
    for folder in $(awk '{for (i = 2; i <= NF; i++) print $i}' <<<"$line"); do
      if [ "$letter" = C ]; then
        qm_same_tree "C: ($folder)" "$c" "$dir/sim/$folder" "$dir/marker" \
          '^(qm/|users/[^/]*/(AppData|Temp/~0000\.)|windows/(Installer|temp)/)'
      else
        qm_same_tree "$letter: ($folder)" "$real/$folder" "$dir/sim/$folder"
      fi
    done
  done < <(ini_section "$base/machine.ini" Drives)

  if [ "$failed" = 0 ]; then
    echo "SAME $name ($(( $(date +%s) - t0 ))s)"
  else
    echo "DIFF $name ($(( $(date +%s) - t0 ))s)"
  fi
}

if [ $# -gt 0 ]; then names=("$@"); else
  names=()
  for d in "$scenarios"/*/; do [ -f "$d/runs.txt" ] && names+=("$(basename "$d")"); done
fi
started=$(date +%s)
ran=0 same=0 left=0
for name in "${names[@]}"; do
  run_scenario "$name" >"$parity/$name.log" 2>&1
  grep -E '^(SAME|DIFF|LEFT OUT) ' "$parity/$name.log" | tail -n 1
  grep -q '^DIFF ' "$parity/$name.log" && sed -n '/^BAD /,$p' "$parity/$name.log" | head -n 40 | sed 's/^/    /'
  # The counters were set in a subshell-free call, read them back from the log.
  case $(grep -E '^(SAME|DIFF|LEFT OUT) ' "$parity/$name.log" | tail -n 1) in
    SAME*) ran=$((ran + 1)); same=$((same + 1)) ;;
    DIFF*) ran=$((ran + 1)) ;;
    LEFT*) left=$((left + 1)) ;;
  esac
done
echo "parity: $ran ran, $same equal, $((ran - same)) differ, $left left out ($(( $(date +%s) - started ))s)"
[ "$ran" = "$same" ]
