#!/bin/bash
# The macros in the texts of the system configuration, in the real installer and in the
# simulated run of the same distribution: two search conditions leave different $LEFT$/$RIGHT$
# texts, and each place takes the ones it should. The ADDTEXT text takes those of the moment it
# is read (the first search), the INIFILE value those of the time it is applied (the second);
# INI sections and keys, AUTOEXEC and CONFIG lines keep $LEFT$/$RIGHT$ as written and expand the
# directory macros anywhere in the text. Every file the edits touch and install.log are byte for
# byte the simulated ones, and the texts are the ones described.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

qm_wine_need_programs
qm_wine_work_dir sysconfig-macros files machine
failed=0

m=$work/machine
printf '@ECHO OFF\r\nWIN\r\n' >"$m/AUTOEXEC.BAT"
printf 'FILES=30\r\n' >"$m/CONFIG.SYS"
printf 'one=C:\\ONE\r\nthe two=C:\\TWO\r\n' >"$m/PATHS.TXT"

f=$work/files
qm_crlf >"$f/SETUP.cfg" <<'TEXT'
UNINSTALL YES
DEFAULTDIR C:\MAC NOASKDRIVE NOASKDIR
IF search "=" "C:\DATA\PATHS.TXT"
ADDTEXT "first [$LEFT$] [$RIGHT$] in $WINDIR$" NOTES.TXT
ENDIF
IF search "two=" "C:\DATA\PATHS.TXT"
INIFILE "Sect $LEFT$" "Key $RIGHT$" "[$LEFT$] [$RIGHT$] in $WINDIR$" MAC.INI
ENDIF
AUTOEXEC ADD="SET MAC=$RIGHT$;$DEFAULTDIR$"
CONFIG ADD="DEVICE=$DEFAULTDIR$\$LEFT$.SYS"
TEXT
touch -d '2021-03-04 05:06:08 UTC' "$f"/*
"$quillpack" build --stub "$exe" -o "$work/SETUP.EXE" "$f/SETUP.cfg" >/dev/null

put_machine_files() {  # C_ROOT
  cp "$m/AUTOEXEC.BAT" "$m/CONFIG.SYS" "$1/"
  mkdir -p "$1/DATA"
  cp "$m/PATHS.TXT" "$1/DATA/"
}

# --- The simulated run, on a machine that names its Windows folder as Wine does.
sim=$work/sim
mkdir -p "$sim/c/DIST" "$sim/c/windows/system32" "$sim/c/TEMP"
cp "$work/SETUP.EXE" "$sim/c/DIST/SETUP.EXE"
put_machine_files "$sim/c"
printf '[Machine]\nWindowsDir=C:\\windows\nSystemDir=C:\\windows\\system32\nTempDir=C:\\TEMP\n[Drives]\nC=fixed c\n' >"$sim/machine.ini"
printf '[Setup]\nAutoexec=Yes\nConfig=Yes\nIniFile=Yes\n' >"$sim/answers.ini"
qm_wine_simulate "$sim"

# --- The real run.
qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
mkdir -p "$c/DIST" "$c/qm"
cp "$work/SETUP.EXE" "$c/DIST/SETUP.EXE"
put_machine_files "$c"
printf '[Setup]\r\nAutoexec=Yes\r\nConfig=Yes\r\nIniFile=Yes\r\nReboot=No\r\n' >"$c/qm/answers.ini"
qm_wine_install_dist 300 trace.log

qm_same_file AUTOEXEC.BAT "$c/AUTOEXEC.BAT" "$sim/c/AUTOEXEC.BAT"
qm_same_file CONFIG.SYS "$c/CONFIG.SYS" "$sim/c/CONFIG.SYS"
qm_same_file MAC.INI "$(qm_wine_c_path 'C:\windows\MAC.INI')" "$sim/c/windows/MAC.INI"
for name in install.log NOTES.TXT; do
  qm_same_file "$name" "$(qm_wine_c_path "C:\\MAC\\$name")" "$sim/c/MAC/$name"
done

# --- The texts themselves, so that two equal wrong results do not pass.
qm_has_line "ADDTEXT: the first search's texts, the Windows folder anywhere" "$c/MAC/NOTES.TXT" \
  'first [one] [C:\ONE] in C:\windows'
qm_has_line "INI value: the second search's texts" "$(qm_wine_c_path 'C:\windows\MAC.INI')" \
  'Key $RIGHT$=[the ] [C:\TWO] in C:\windows'
qm_has_line "INI section keeps \$LEFT\$" "$(qm_wine_c_path 'C:\windows\MAC.INI')" '[Sect $LEFT$]'
qm_has_line "AUTOEXEC line keeps \$RIGHT\$" "$c/AUTOEXEC.BAT" 'SET MAC=$RIGHT$;C:\MAC'
qm_has_line "CONFIG line keeps \$LEFT\$" "$c/CONFIG.SYS" 'DEVICE=C:\MAC\$LEFT$.SYS'
qm_has_line "log: the INI change" "$c/MAC/install.log" \
  'INIFILE: "Sect $LEFT$", "Key $RIGHT$", "[the ] [C:\TWO] in C:\windows", "MAC.INI"'

[ "$failed" = 0 ] && echo "PASS sysconfig-macros" || { echo "FAIL sysconfig-macros"; exit 1; }
