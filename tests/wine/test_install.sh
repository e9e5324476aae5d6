#!/bin/bash
# The real installer, with its files in a container appended to it, installs a sample into C:\
# of a fresh prefix unattended; the files, their times and attributes and install.log are the
# ones the simulated run of the same distribution leaves. REGSERVER registers a library built for
# the test (its DllRegisterServer writes a registry value) and reports one without the export.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

qm_wine_need_programs "$QM_WIN32_BUILD/regserver_dll.dll" "$QM_WIN32_BUILD/noexport_dll.dll"
qm_wine_work_dir install files

failed=0

# The distribution: the files inside the container, with fixed even-second times, except the
# help files, which lie beside the program (a wildcard is searched for on the disk only).
f=$work/files
printf 'UNINSTALL YES\r\nDEFAULTDIR C:\\APP NOASKDRIVE NOASKDIR\r\n' >"$f/SETUP.cfg"
# A size is a decimal number only: 0x10K asks for no space at all (a C library's strtod would
# read 16000 on one side and 0 on the other).
printf 'MINDISKSPACE 0x10K\r\n' >>"$f/SETUP.cfg"
printf 'FILE README.TXT ATTRIBUTE="R"\r\nFILE *.HLP\r\nFILE DOCS\\GUIDE.TXT ATTRIBUTE="HA"\r\n' >>"$f/SETUP.cfg"
printf 'FILE REG.DLL\r\nFILE NOEXP.DLL\r\nREGSERVER REG.DLL\r\nREGSERVER $DEFAULTDIR$\\NOEXP.DLL\r\n' >>"$f/SETUP.cfg"
printf 'read me\r\n' >"$f/README.TXT"
printf 'guide' >"$f/GUIDE.TXT"
head -c 70000 /dev/urandom >"$f/BIG.HLP"
printf 'small help' >"$f/SMALL.HLP"
cp "$QM_WIN32_BUILD/regserver_dll.dll" "$f/REG.DLL"
cp "$QM_WIN32_BUILD/noexport_dll.dll" "$f/NOEXP.DLL"
touch -d '2021-03-04 05:06:08 UTC' "$f"/*
touch -d '2019-11-12 13:14:16 UTC' "$f/BIG.HLP"
"$quillpack" build --stub "$exe" -o "$work/SETUP.EXE" "$f/SETUP.cfg" "$f/README.TXT" \
  "$f/GUIDE.TXT" "$f/REG.DLL" "$f/NOEXP.DLL"

# --- the simulated run
sim=$work/sim
qm_wine_sim_machine "$sim"
mkdir -p "$sim/c/DIST"
cp "$work/SETUP.EXE" "$sim/c/DIST/SETUP.EXE"
cp -p "$f/BIG.HLP" "$f/SMALL.HLP" "$sim/c/DIST/"
qm_wine_simulate "$sim"

# --- the real run
qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
mkdir -p "$c/DIST" "$c/qm"
cp "$work/SETUP.EXE" "$c/DIST/SETUP.EXE"
cp -p "$f/BIG.HLP" "$f/SMALL.HLP" "$c/DIST/"
printf '[Setup]\r\nReboot=No\r\n' >"$c/qm/answers.ini"
qm_wine_install_dist 300 trace.log
expect "MINDISKSPACE 0x10K read as 0 bytes" "$(grep -c '^phase disk space: needed 0, ' <<<"$trace")" 1
expect "MINDISKSPACE 0x10K read as 0 bytes, simulated" \
  "$(tr -d '\r' <"$sim/trace.txt" | grep -c '^phase disk space: needed 0, ')" 1

app=$(qm_wine_c_path 'C:\APP')
simapp=$sim/c/APP
[ -d "$app" ] || { echo "BAD  C:\\APP was not made"; exit 1; }

# The log: byte for byte the one the simulation wrote, CR LF and all.
if cmp -s "$app/install.log" "$simapp/install.log"; then
  echo "ok   install.log equals the simulated one"
else
  echo "BAD  install.log differs from the simulated one"; failed=1
  diff <(tr -d '\r' <"$simapp/install.log") <(tr -d '\r' <"$app/install.log") || true
fi
expect "printed log is the written log" "$(tr -d '\r' <"$simapp/install.log")" "$(cat "$sim/printed.log")"
grep -q '^RegServer: "C:\\APP\\REG.DLL"' "$simapp/install.log" && echo "ok   RegServer line" ||
  { echo "BAD  no RegServer line for REG.DLL"; failed=1; }
grep -q 'NOEXP.DLL"' <(grep '^RegServer' "$app/install.log") &&
  { echo "BAD  a RegServer line for the library without the export"; failed=1; } || true

# Files: the same names, bytes and times on both sides.
for name in README.TXT BIG.HLP SMALL.HLP DOCS/GUIDE.TXT REG.DLL NOEXP.DLL; do
  real=$(find "$app" -ipath "$app/$name" | head -n 1)
  [ -n "$real" ] || { echo "BAD  $name missing"; failed=1; continue; }
  cmp -s "$real" "$simapp/$name" && echo "ok   $name bytes" || { echo "BAD  $name bytes differ"; failed=1; }
  expect "$name time" "$(stat -c %Y "$real")" "$(stat -c %Y "$simapp/$name")"
done
expect "BIG.HLP keeps its own time" "$(date -u -d @"$(stat -c %Y "$app/BIG.HLP")" '+%F %T')" \
  "2019-11-12 13:14:16"

# Attributes as the system reports them: read-only README, hidden GUIDE, the rest plain.
# (Wine shows the archive bit on every file, so only R and H are compared.)
attrib_of() {
  qm_wine_tool cmd /c attrib "$1" 2>/dev/null | tr -d '\r' | head -n 1 | cut -c1-11 | tr -dc 'RH'
}
expect "README.TXT attributes" "$(attrib_of 'C:\APP\README.TXT')" "R"
expect "GUIDE.TXT attributes" "$(attrib_of 'C:\APP\DOCS\GUIDE.TXT')" "H"
expect "SMALL.HLP attributes" "$(attrib_of 'C:\APP\SMALL.HLP')" ""

# Registration: the library's own value, and the failure text for the other (no owner box:
# the unattended view traces it).
value=$(qm_wine_tool reg query 'HKCU\Software\QuillmountTest' /v Server 2>/dev/null | tr -d '\r' |
  sed -n 's/.*REG_SZ[[:space:]]*//p')
expect "DllRegisterServer ran" "$value" "registered"
grep -qF 'C:\APP\NOEXP.DLL has not been successfully registered.' <<<"$trace" &&
  echo "ok   failure text traced" || { echo "BAD  no failure text for NOEXP.DLL"; failed=1; }
grep -qF 'C:\APP\NOEXP.DLL has not been successfully registered.' "$sim/trace.txt" &&
  echo "ok   simulated failure text traced" || { echo "BAD  simulation lacks the failure text"; failed=1; }

exit $failed
