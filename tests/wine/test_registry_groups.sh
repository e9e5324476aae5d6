#!/bin/bash
# Registry blocks and Program Manager items with the real installer: the blocks land in Wine's
# registry, the items make Wine's shell create its Start Menu folder and shortcuts, and the
# simulated run of the same distribution on a machine seeded alike gives the same keys and values
# and the same install.log, but for an item Wine's shell refuses. The distribution is the
# registry-groups scenario's.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"
# Shortcuts made by the shell must stay inside the prefix.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

qm_wine_need_programs
scenario=$QM_SOURCE_DIR/tests/scenarios/registry-groups
listing="python3 $QM_SOURCE_DIR/tests/wine/reg_listing.py"
keys=('HKEY_LOCAL_MACHINE\SOFTWARE\Quill Tools' 'HKEY_CURRENT_USER\Software\Quill Tools')
qm_wine_work_dir registry-groups files
failed=0

f=$work/files
cp "$scenario"/d/SETUP.cfg "$scenario"/d/TOOLBOX.EXE "$scenario"/d/TOOLBOX.ICO \
  "$scenario"/d/README.TXT "$f/"
touch -d '2021-03-04 05:06:08 UTC' "$f"/*
"$quillpack" build --stub "$exe" -o "$work/SETUP.EXE" "$f"/SETUP.cfg "$f"/TOOLBOX.EXE \
  "$f"/TOOLBOX.ICO "$f"/README.TXT

# --- the simulated run, on a machine whose registry and groups hold the older release
sim=$work/sim
qm_wine_sim_machine "$sim"
mkdir -p "$sim/c/DIST"
cp "$work/SETUP.EXE" "$sim/c/DIST/SETUP.EXE"
cp "$scenario/registry.reg" "$scenario/groups.ini" "$sim/"
# A silent deployment that keeps the shell's group window closed; Wine's shell opens one as the
# 95 shell does, so the simulated machine is a 95 one.
sed -i "s/^\\[Machine\\]\$/[Machine]\\nWindows=4.0\\nPlatform=9x/" "$sim/machine.ini"
printf '[Setup]\r\nGroupWindow=No\r\n' >"$sim/answers.ini"
qm_wine_simulate "$sim"

# --- the real run, on a prefix seeded alike
qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
mkdir -p "$c/DIST" "$c/qm"
cp "$work/SETUP.EXE" "$c/DIST/SETUP.EXE"
cp "$scenario/registry.reg" "$c/qm/seed.reg"
qm_wine_tool regedit /s 'C:\qm\seed.reg' || qm_fail "cannot seed the registry"
seeded=$(qm_wine_tool reg query 'HKCU\Software\Quill Tools\Shared' /v UseCount 2>/dev/null | tr -d '\r' |
  sed -n 's/.*REG_DWORD[[:space:]]*//p')
expect "registry seeded" "$seeded" "0x7"
programs=$(find "$c/users" -type d -path '*Start Menu/Programs' 2>/dev/null | head -n 1)
[ -n "$programs" ] || { echo "BAD  the prefix has no Start Menu\\Programs folder"; exit 1; }
mkdir -p "$programs/Old Tools" "$programs/Quill Tools"
printf 'x' >"$programs/Quill Tools/Retired.lnk"

cp "$sim/answers.ini" "$c/qm/answers.ini"
export QUILLMOUNT_ANSWERS='C:\qm\answers.ini'
export QUILLMOUNT_LOG='C:\qm\trace.log'
rc=0
(cd "$c/DIST" && timeout -k 5 300 wine 'C:\DIST\SETUP.EXE') || rc=$?
expect "exit code" "$rc" 0
app=$(qm_wine_c_path 'C:\TOOLBOX')
closed='program items: closed the window the shell opened for Quill Tools (GroupWindow=No)'
expect "group window closed, simulated" "$(grep -cxF "$closed" "$sim/trace.txt" || true)" 1
expect "group window closed, Wine" "$(tr -d '\r' <"$c/qm/trace.log" | grep -cxF "$closed" || true)" 1
probe=$(timeout -k 5 30 wine "$QM_WIN32_BUILD/front_probe.exe" 4 "Quill Tools" 2>/dev/null | tr -d "\r" | tail -n 1 || true)
expect "no group window left on the screen" "$probe" TIMEOUT

# The log: byte for byte the simulated one, but for the item Wine's shell refuses (a command line
# with arguments, below): an item the shell did not add is not logged as made.
refused='WINITEM: "Quill Tools", "Safe Mode"'
if cmp -s "$app/install.log" <(grep -vF "$refused" "$sim/c/TOOLBOX/install.log"); then
  echo "ok   install.log equals the simulated one but for the refused item"
else
  echo "BAD  install.log differs from the simulated one"; failed=1
  diff <(tr -d '\r' <"$sim/c/TOOLBOX/install.log") <(tr -d '\r' <"$app/install.log") || true
fi
expect "REGKEY lines" "$(grep -c '^REGKEY: ' "$app/install.log")" 3
expect "WINITEM lines" "$(grep -c '^WINITEM: ' "$app/install.log")" 4
grep -q '^program items: the shell did not carry out \[AddItem(.*Safe Mode' "$c/qm/trace.log" &&
  echo "ok   the refused item is traced" || { echo "BAD  the refused item is not traced"; failed=1; }

# The registry: the same keys and values as the simulated machine's registry.reg.
for key in "${keys[@]}"; do
  qm_wine_tool reg export "$key" "C:\\qm\\export.reg" /y >/dev/null 2>&1 ||
    qm_wine_tool reg export "$key" "C:\\qm\\export.reg" >/dev/null 2>&1 || true
  real=$($listing "$c/qm/export.reg" "$key" 2>/dev/null || true)
  simulated=$($listing "$sim/registry.reg" "$key")
  if [ -n "$real" ] && [ "$real" = "$simulated" ]; then
    echo "ok   $key equals the simulated registry"
  else
    echo "BAD  $key differs from the simulated registry"; failed=1
    diff <(echo "$simulated") <(echo "$real") || true
  fi
  rm -f "$c/qm/export.reg"
done
count=$(qm_wine_tool reg query 'HKCU\Software\Quill Tools\Shared' /v UseCount 2>/dev/null | tr -d '\r' |
  sed -n 's/.*REG_DWORD[[:space:]]*//p')
expect "UseCount incremented" "$count" "0x8"
if qm_wine_tool reg query 'HKCU\Software\Quill Tools\Stale' >/dev/null 2>&1; then
  echo "BAD  the deleted key is still there"; failed=1
else
  echo "ok   deleted key gone"
fi

# The shell: the group's folder with one shortcut per added item; the deleted group and item
# are gone. Wine's shell makes no shortcut for a command line with arguments ("Safe Mode"): it
# looks the whole line up as one file name. Nor can it read an empty argument after a blank
# (", , -1, -1,DIR", an item with a folder but no icon): its parser steps back before the
# argument and brings the desktop process down. So the distribution gives every item with a
# folder an icon too; the command texts themselves are the Program Manager's.
for name in Toolbox "Read Me" "Old Toolbox"; do
  if [ -f "$programs/Quill Tools/$name.lnk" ]; then echo "ok   $name.lnk"; else
    echo "BAD  no $name.lnk in the Start Menu"; failed=1; fi
done
[ ! -e "$programs/Quill Tools/Retired.lnk" ] && echo "ok   removed item gone" ||
  { echo "BAD  Retired.lnk still there"; failed=1; }
[ ! -e "$programs/Old Tools" ] && echo "ok   removed group gone" ||
  { echo "BAD  Old Tools still there"; failed=1; }
points_at() {  # LINK TEXT: the shortcut names TEXT, in ANSI or UTF-16, any case
  python3 -c 'import sys; d = open(sys.argv[1], "rb").read().lower(); t = sys.argv[2].lower()
sys.exit(0 if t.encode() in d or t.encode("utf-16-le") in d else 1)' "$1" "$2" 2>/dev/null
}
points_at "$programs/Quill Tools/Toolbox.lnk" 'C:\TOOLBOX\TOOLBOX.EXE' &&
  echo "ok   Toolbox.lnk points at the program" ||
  { echo "BAD  Toolbox.lnk does not name C:\TOOLBOX\TOOLBOX.EXE"; failed=1; }

exit $failed
