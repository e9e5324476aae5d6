#!/bin/bash
# Compares two prefix snapshots (prefix_snapshot.sh) taken before an installation and after its
# uninstall. Differences the uninstaller leaves on purpose (docs/uninstall.md) are listed as such;
# any other difference makes the exit status 1.
#   compare_snapshots.sh BEFORE AFTER
exec python3 - "$@" <<'PY'
import re, sys

def entries(path):
    out = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            parts = line.rsplit(" ", 3)
            # "PATH SIZE MTIME MD5" for files; anything else (folders, registry export) whole.
            if len(parts) == 4 and re.fullmatch(r"[0-9a-f]{32}", parts[3]):
                out.setdefault(parts[0], []).append(("file", parts[1], parts[2], parts[3]))
            else:
                out.setdefault(line, []).append(("line",))
    return out

before, after = entries(sys.argv[1]), entries(sys.argv[2])
documented, unexpected = [], []
# The uninstaller's copy in the Windows folder; a program group folder the installation made,
# which Wine's shell cannot say is empty; the time of a text file edited line by line (INI files
# through the profile functions, AUTOEXEC.BAT, CONFIG.SYS).
copy = re.compile(r"^\./windows/unstall\.exe$", re.I)
group = re.compile(r"/Start Menu/Programs/[^/]+/$")
edited = re.compile(r"(\.ini|/autoexec\.bat|/config\.sys)$", re.I)
for key in sorted(set(before) | set(after)):
    b, a = before.get(key, []), after.get(key, [])
    if b == a:
        continue
    if copy.match(key) or (group.search(key) and not b):
        documented.append(f"{key} ({'new' if not b else 'changed'})")
    elif (len(a) == len(b) == 1 and a[0][0] == b[0][0] == "file" and edited.search(key)
          and (a[0][1], a[0][3]) == (b[0][1], b[0][3])):
        documented.append(f"{key} (same bytes, new time)")
    else:
        unexpected.append(f"{key}: before {b or 'missing'}, after {a or 'missing'}")
print(f"round trip: {sum(map(len, before.values()))} entries before the installation, "
      f"{sum(map(len, after.values()))} after the uninstall")
for d in documented:
    print(f"  documented leftover: {d}")
if not unexpected:
    print("round trip: C: and the registry are as they were, but for the documented leftovers")
    sys.exit(0)
print(f"round trip: {len(unexpected)} unexpected difference(s):")
for u in unexpected:
    print(f"  {u}")
sys.exit(1)
PY
