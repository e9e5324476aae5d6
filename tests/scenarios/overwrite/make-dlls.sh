#!/bin/sh
# Rebuilds the small libraries of this scenario with our own i686 toolchain, so that the version
# texts the overwrite rule compares are known exactly. The built files are kept in the scenario;
# run this only to change them. Each line: host file, string block, FileVersion text, comment.
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf 'int __stdcall entry(void* h, unsigned r, void* p) { return 1; }\n' >"$tmp/entry.c"
i686-w64-mingw32-gcc -c -Os -o "$tmp/entry.o" "$tmp/entry.c"
while read -r file block version comment; do
  objs="$tmp/entry.o"
  if [ "$block" != none ]; then
    cat >"$tmp/v.rc" <<RC
#include <winver.h>
1 VERSIONINFO
FILEVERSION 1,0,0,0
FILETYPE VFT_DLL
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "$block"
    BEGIN
      VALUE "FileVersion", "$version\\0"
      VALUE "Comments", "$comment\\0"
    END
  END
END
RC
    i686-w64-mingw32-windres -c 1252 -i "$tmp/v.rc" -o "$tmp/v.o"
    objs="$objs $tmp/v.o"
  fi
  mkdir -p "$(dirname "$file")"
  i686-w64-mingw32-gcc -shared -nostdlib -s -Wl,-e,_entry@12 -Wl,--no-insert-timestamp \
    -o "$file" $objs
done <<LIST
d/LIB2.DLL      040904E4 2.0  source
c/APP/LIB2.DLL  040904E4 10.0 target
d/LIB3.DLL      040904E4 1.5  source
c/APP/LIB3.DLL  040904B0 1.6  target
d/LIBEQ.DLL     040904E4 3.0  source
c/APP/LIBEQ.DLL 040904E4 3.0  target
d/LIBCASE.OCX     040904E4 1.0A source
c/APP/LIBCASE.OCX 040904E4 1.0a target
d/LIBNV.DLL     none     -    -
c/APP/LIBNV.DLL 040904E4 5.0  target
d/APPV.EXE      040904E4 2.0  source
c/APP/APPV.EXE  040904E4 10.0 target
LIST
