#!/usr/bin/env bash
# The .deb, as a vendor's build machine gets it: made with cpack from the native build and the
# win32 build's Windows binaries, unpacked into a fresh folder, and run from there: the installed
# quillpack builds the sample with the installed stub (no --stub) and simulates its installation.
# Usage: scripts/deb_check.sh [NATIVE_BUILD_DIR [WIN32_BUILD_DIR]]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
native=${1:-build/native}
win32=$(cd "${2:-build/win32}" && pwd)
work=$(mktemp -d /tmp/qm-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
bad() { echo "deb_check: $*" >&2; exit 1; }

cmake -S . -B "$native" -DQM_WINDOWS_BINARIES="$win32" >/dev/null
(cd "$native" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; bad "cpack failed"; }
deb=$(ls "$work"/pkg/quillmount_*.deb)
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes; $(dpkg-deb -f "$deb" Depends)"
prefix=$work/prefix
dpkg-deb -x "$deb" "$prefix"
qp=$prefix/usr/bin/quillpack
for f in usr/share/quillmount/quillmount.exe usr/share/quillmount/unstall.exe \
         usr/share/quillmount/quillpack.exe usr/share/man/man1/quillpack.1 \
         usr/share/doc/quillmount/README.md; do
  [ -s "$prefix/$f" ] || bad "the package holds no $f"
done
file "$qp" | grep -q ', stripped' || bad "quillpack is not stripped"
grep -q '^\.SS package' "$prefix/usr/share/man/man1/quillpack.1" || bad "the manual page lacks a command"

# The sample, built by the installed quillpack with the installed stub.
dist=$work/machine/a
mkdir -p "$dist" "$work/machine/c/WINDOWS/SYSTEM" "$work/machine/c/TEMP"
files=()
while IFS= read -r f; do files+=("$f"); done < <(find examples/sample -type f ! -name answers.ini | sort)
"$qp" build --quiet -o "$dist/SETUP.EXE" --name UNSTALL.EXE "$prefix/usr/share/quillmount/unstall.exe" \
  "${files[@]}" >/dev/null
cmp -s <(head -c "$(stat -c %s "$prefix/usr/share/quillmount/quillmount.exe")" "$dist/SETUP.EXE") \
  "$prefix/usr/share/quillmount/quillmount.exe" || bad "SETUP.EXE does not start with the installed stub"
printf '[Machine]\nWindowsDir=C:\\WINDOWS\nSystemDir=C:\\WINDOWS\\SYSTEM\nTempDir=C:\\TEMP\n[Drives]\nA=removable a\nC=fixed c\n' \
  >"$work/machine/machine.ini"
grep -v -e '^Show' examples/sample/answers.ini >"$work/answers.ini"
"$qp" simulate --quiet --machine "$work/machine/machine.ini" --answers "$work/answers.ini" 'A:\SETUP.EXE' ||
  bad "the simulated installation of the sample failed"
[ -f "$work/machine/c/QNOTES/install.log" ] || bad "the simulated installation wrote no install.log"
echo "installed from the .deb: built and simulated the sample ($(grep -c '^FILE:' "$work/machine/c/QNOTES/install.log") files)"
