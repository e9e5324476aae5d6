#!/bin/sh
# Rebuilds the small DLLs that the version-resource tests read. They are made by our own
# toolchain from the resource scripts beside this file, so the expected texts are known exactly.
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf 'int __stdcall entry(void* h, unsigned r, void* p) { return 1; }\n' >"$tmp/entry.c"
for name in ver_e4 ver_b0 ver_none; do
  objs="$tmp/entry.o"
  i686-w64-mingw32-gcc -c -Os -o "$tmp/entry.o" "$tmp/entry.c"
  if [ -f "$name.rc" ]; then
    i686-w64-mingw32-windres -c 1252 -i "$name.rc" -o "$tmp/$name.res.o"
    objs="$objs $tmp/$name.res.o"
  fi
  i686-w64-mingw32-gcc -shared -nostdlib -s -Wl,-e,_entry@12 -Wl,--no-insert-timestamp \
    -o "$name.dll" $objs
done
