#!/bin/bash
# The real installer edits AUTOEXEC.BAT and CONFIG.SYS on the prefix's C:, INI files through the
# system's profile functions and text files in place, answering its questions from the answers
# file. Parity: the simulated run of the same distribution on a machine holding the same files
# leaves every one of them, their backups and install.log byte for byte the same. Nothing is
# normalised: the simulated machine names its Windows folder as Wine does (C:\windows).
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

qm_wine_need_programs
qm_wine_work_dir sysconfig-text files machine
failed=0

# --- The machine's files, the same on both sides.
m=$work/machine
qm_crlf >"$m/AUTOEXEC.BAT" <<'TEXT'
@ECHO OFF
LH C:\DOS\MSCDEX.EXE /D:MSCD001 /L:E
PROMPT $p$g
GOTO %CONFIG%
:WORK
PATH C:\WINDOWS;C:\DOS;C:\NET
GOTO END
:GAME
PATHFIND /Q
PATH C:\DOS;C:\GAMES
SET SHARED=C:\SHARED
lh c:\dos\share.exe /l:20
GOTO END
:END
WIN
TEXT
qm_crlf >"$m/CONFIG.SYS" <<'TEXT'
DEVICE=C:\WINDOWS\HIMEM.SYS
DOS=HIGH,UMB
FILESHIGH=20
FILES=30
BUFFERS=10,0
TEXT
printf 'STACKS=9,256' >>"$m/CONFIG.SYS"
# Wine, like Windows NT, keeps WIN.INI's own sections ([windows], [Desktop], [Extensions] ...)
# in the registry; the file holds them only for older programs. The edits go to a program's
# own sections, which live in the file on every system.
qm_crlf >"$m/win.ini" <<'TEXT'
[windows]
load=
run=

[Desktop]
Wallpaper=(None)

[Quick Paint]
Palette=16
Plugins=blur.qpx
TEXT
qm_crlf >"$m/system.ini" <<'TEXT'
[boot]
shell=explorer.exe
drivers=mmsystem.dll

[386Enh]
; virtual devices
device=*vpd
device=*int13
TEXT
qm_crlf >"$m/WINSTART.BAT" <<'TEXT'
@ECHO OFF
C:\OLDPAINT\OLDTSR.EXE /Q
TEXT

# --- The distribution, in the installer's container.
f=$work/files
qm_crlf >"$f/SETUP.cfg" <<'TEXT'
UNINSTALL YES
DEFAULTDIR C:\QPAINT NOASKDRIVE NOASKDIR
FILE QPAINT.CFG
AUTOEXEC ASK ADDPATH SHARE="/F:2048 /L:40"
AUTOEXEC ADDPATH="$DEFAULTDIR$\FONTS" ADD="SET QPAINT=$DEFAULTDIR$"
CONFIG ASK FILEMIN=40 BUFFERMIN=30 ADD="DEVICE=$DEFAULTDIR$\TABLET.SYS"
INIFILE "Quick Paint" "Plugins" "sharpen.qpx" WIN.INI ADD
INIFILE "boot" "drivers" "qpsnd.drv" SYSTEM.INI ADD
INIFILE "Quick Paint" "Palette" "256" WIN.INI ASK
INIFILE "Quick Paint" "PLUGINS" "BLUR.QPX" ADD
INIFILE "Quick Paint Tools" "Directory" "$DEFAULTDIR$"
INIFILE "Options" "Directory" "$DEFAULTDIR$" QPAINT.INI
INIFILE "Options" "Own" "1" "$DEFAULTDIR$\OWN.INI"
ADDTEXT "Fonts=$DEFAULTDIR$\FONTS" QPAINT.CFG "[paths]"
ADDTEXT "Version=2" QPAINT.CFG "version=*" REPLACE
ADDTEXT "rem *" "$WINDIR$\WINSTART.BAT" "C:\OLDPAINT\OLDTSR.EXE*" REPLACE
ADDTEXT "Installed in $DEFAULTDIR$" NOTES.TXT
TEXT
qm_crlf >"$f/QPAINT.CFG" <<'TEXT'
[general]
Version=1
[paths]
Brushes=BRUSHES
TEXT
touch -d '2021-03-04 05:06:08 UTC' "$f"/*
"$quillpack" build --stub "$exe" -o "$work/SETUP.EXE" "$f/SETUP.cfg" "$f/QPAINT.CFG" >/dev/null

put_machine_files() {  # C_ROOT WINDOWS_FOLDER
  cp "$m/AUTOEXEC.BAT" "$m/CONFIG.SYS" "$1/"
  cp "$m/win.ini" "$m/system.ini" "$m/WINSTART.BAT" "$2/"
}

# --- The simulated run.
sim=$work/sim
mkdir -p "$sim/c/DIST" "$sim/c/windows/system32" "$sim/c/TEMP"
cp "$work/SETUP.EXE" "$sim/c/DIST/SETUP.EXE"
put_machine_files "$sim/c" "$sim/c/windows"
printf '[Machine]\nWindowsDir=C:\\windows\nSystemDir=C:\\windows\\system32\nTempDir=C:\\TEMP\n[Drives]\nC=fixed c\n[Environment]\nCONFIG=GAME\n' >"$sim/machine.ini"
printf '[Setup]\nAutoexec=Yes\nConfig=Yes\nIniFile=Yes\n' >"$sim/answers.ini"
qm_wine_simulate "$sim"

# --- The real run.
qm_wine_new_prefix "$work/prefix"
c=$WINEPREFIX/drive_c
windir=$(qm_wine_c_path 'C:\windows')
mkdir -p "$c/DIST" "$c/qm"
cp "$work/SETUP.EXE" "$c/DIST/SETUP.EXE"
put_machine_files "$c" "$windir"
# Wine's own win.ini and system.ini are replaced by the test's; their names keep Wine's case.
printf '[Setup]\r\nAutoexec=Yes\r\nConfig=Yes\r\nIniFile=Yes\r\nReboot=No\r\n' >"$c/qm/answers.ini"
CONFIG=GAME qm_wine_install_dist 300 trace.log

# --- Parity: every file the edits touch, byte for byte.
app=$(qm_wine_c_path 'C:\QPAINT')
for name in AUTOEXEC.BAT AUTOEXEC.BAK CONFIG.SYS CONFIG.BAK; do
  qm_same_file "$name" "$(qm_wine_c_path "C:\\$name")" "$sim/c/$name"
done
for name in win.ini system.ini QPAINT.INI WINSTART.BAT; do
  qm_same_file "$name" "$(qm_wine_c_path "C:\\windows\\$name")" "$sim/c/windows/$name"
done
for name in install.log OWN.INI QPAINT.CFG NOTES.TXT; do
  qm_same_file "$name" "$(qm_wine_c_path "C:\\QPAINT\\$name")" "$sim/c/QPAINT/$name"
done

# --- What the edits are, so that two equal wrong results do not pass.
log=$(tr -d '\r' <"$app/install.log" 2>/dev/null || true)
qm_has_line "PATH in the GAME section" "$(qm_wine_c_path 'C:\AUTOEXEC.BAT')" \
  'PATH C:\QPAINT;C:\QPAINT\FONTS;C:\DOS;C:\GAMES'
qm_has_line "SHARE line raised" "$(qm_wine_c_path 'C:\AUTOEXEC.BAT')" 'LH C:\DOS\SHARE /F:2048 /L:40'
qm_has_line "PATHFIND left alone" "$(qm_wine_c_path 'C:\AUTOEXEC.BAT')" 'PATHFIND /Q'
qm_has_line "SET SHARED left alone" "$(qm_wine_c_path 'C:\AUTOEXEC.BAT')" 'SET SHARED=C:\SHARED'
qm_has_line "BUFFERS raised" "$(qm_wine_c_path 'C:\CONFIG.SYS')" 'BUFFERS=30'
qm_has_line "FILESHIGH left alone" "$(qm_wine_c_path 'C:\CONFIG.SYS')" 'FILESHIGH=20'
qm_has_line "FILES added" "$(qm_wine_c_path 'C:\CONFIG.SYS')" 'FILES=40'
qm_has_line "WIN.INI word added" "$windir/win.ini" 'Plugins=blur.qpx sharpen.qpx'
qm_has_line "SYSTEM.INI drivers extended" "$windir/system.ini" 'drivers=mmsystem.dll qpsnd.drv'
qm_has_line "new section" "$windir/win.ini" '[Quick Paint Tools]'
qm_has_line "WINSTART.BAT line switched off" "$windir/WINSTART.BAT" 'rem C:\OLDPAINT\OLDTSR.EXE /Q'
qm_has_line "log: replaced value" "$app/install.log" \
  'INIFILE: "Quick Paint", "Palette", "256", "WIN.INI", "16"'
qm_has_line "log: new section" "$app/install.log" 'INIFILE: "Quick Paint Tools", "WIN.INI"'
qm_has_line "log: new INI file" "$app/install.log" 'FILE: "C:\windows\QPAINT.INI"'
qm_has_line "log: new text file" "$app/install.log" 'FILE: "NOTES.TXT"'
qm_has_line "log: PATH change" "$app/install.log" \
  'AUTOEXEC: "PATH C:\DOS;C:\GAMES", "PATH C:\QPAINT;C:\QPAINT\FONTS;C:\DOS;C:\GAMES"'
expect "printed log is the written log" "$(tr -d '\r' <"$sim/c/QPAINT/install.log")" "$(cat "$sim/printed.log")"
expect "QPAINT.INI as the profile functions made it" "$(cat "$windir/QPAINT.INI" 2>/dev/null)" \
  "$(printf '[Options]\r\nDirectory=C:\\QPAINT\r\n')"
exit $failed
