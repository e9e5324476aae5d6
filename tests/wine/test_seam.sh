#!/bin/bash
# Every Win32 seam method under Wine: seam_probe.exe checks what it can know itself and prints
# the values only the host knows, which are compared here.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"

probe=$QM_WIN32_BUILD/seam_probe.exe
[ -f "$probe" ] || { echo "FAIL no $probe (build the seam_probe target)"; exit 1; }
work=$QM_WINE_WORK/seam
qm_wine_new_prefix "$work/prefix"
floppy=$work/floppy
qm_wine_set_label "$floppy" QMDISK1
qm_wine_map_floppy "$floppy" a
# A known version for the version word: Windows XP is 5.1, build 2600.
qm_wine_tool winecfg -v winxp >/dev/null 2>&1 || { echo "FAIL winecfg -v winxp"; exit 1; }

export QM_PROBE_ENV="hello world"
out=$work/probe.out
# A zone far from UTC, so that any local-time conversion in the seam shows in the times.
TZ=Asia/Kolkata qm_wine_run 180 "$probe" 'C:\qmprobe' 'A:' alpha -beta >"$out" 2>"$work/probe.err" || true
cat "$out"

failed=0
value() { sed -n "s/^VALUE $1=//p" "$out" | tr -d '\r'; }
lower() { tr 'A-Z' 'a-z'; }

expect "probe exit code" "$QM_WINE_EXIT" 0
expect "probe finished" "$(grep -c '^DONE ' "$out")" 1
expect "probe failures" "$(grep -c '^FAIL ' "$out" || true)" 0
passed=$(sed -n 's/^DONE passed=\([0-9]*\).*/\1/p' "$out")
[ "${passed:-0}" -ge 80 ] || { echo "BAD  only ${passed:-0} probe checks ran"; failed=1; }

expect "floppy label" "$(value label_a)" QMDISK1
# Windows refuses to open a read-only file for writing; Wine running as root does not.
if [ "$(id -u)" = 0 ]; then
  echo "note read-only create under Wine as root: $(value read_only_create)"
else
  expect "read-only file not re-created" "$(value read_only_create)" refused
fi
echo "note re-creating a hidden file under Wine: $(value hidden_create) (Windows: refused)"
expect "file written on the floppy" "$(cat "$floppy/disk.txt" 2>/dev/null)" "on floppy"
expect "windows directory" "$(value windows_dir | lower)" 'c:\windows'
expect "system directory" "$(value system_dir | lower)" 'c:\windows\system32'
expect "version word (XP 5.1 build 2600)" "$(value version_word)" A280105
expect "screen size" "$(value screen)" "${QM_WINE_SCREEN%x*}"
expect "environment" "$(value env_probe)" "hello world"

# The FAT time set through the seam is the host's modification time read as UTC.
dated=$(qm_wine_c_path 'C:\qmprobe\dated.txt')
expect "host time of the dated file" "$(date -u -r "$dated" +%Y-%m-%dT%H:%M:%S)" 1996-07-14T23:30:10

# Free space as the host sees it, within what other programs may have changed meanwhile.
free=$(value free_c)
host_free=$(df -B1 --output=avail "$WINEPREFIX/drive_c" | tail -n 1 | tr -d ' ')
diff=$(( free > host_free ? free - host_free : host_free - free ))
if [ "${free:-0}" -le 0 ] || [ "$diff" -gt $(( host_free / 20 + 200000000 )) ]; then
  echo "BAD  free space: seam says $free, host says $host_free"
  failed=1
else
  echo "ok   free space ($free bytes)"
fi

exit $failed
