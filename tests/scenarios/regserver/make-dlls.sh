#!/bin/sh
# Rebuilds this scenario's two libraries with our own i686 toolchain: REG.DLL exports
# DllRegisterServer (returning 0, success), NOREG.DLL exports nothing. The built files are kept in
# the scenario; run this only to change them.
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cat >"$tmp/reg.c" <<'C'
int __stdcall entry(void* h, unsigned r, void* p) { return 1; }
__declspec(dllexport) long __stdcall DllRegisterServer(void) { return 0; }
C
printf 'int __stdcall entry(void* h, unsigned r, void* p) { return 1; }\n' >"$tmp/noreg.c"
for name in reg noreg; do
  i686-w64-mingw32-gcc -c -Os -o "$tmp/$name.o" "$tmp/$name.c"
  i686-w64-mingw32-gcc -shared -nostdlib -s -Wl,-e,_entry@12 -Wl,--no-insert-timestamp \
    -Wl,--kill-at -o "d/$(echo $name | tr a-z A-Z).DLL" "$tmp/$name.o"
done
