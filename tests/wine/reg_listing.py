#!/usr/bin/env python3
"""Lists the values of registry keys from a .reg file, one line per value, sorted:

    KEY|NAME|TYPE|HEX BYTES

so that the simulated machine's registry.reg (REGEDIT4, ANSI) and an export of Wine's registry
("Windows Registry Editor Version 5.00", UTF-16) can be compared. Text types stored in UTF-16 by
the newer format are turned back into ANSI bytes. Keys are matched without regard to case and listed upper-cased; a key
without values is listed as "KEY|" so that created keys count too.

    reg_listing.py FILE.reg KEY [KEY...]
"""
import re
import sys


def read_text(path):
    data = open(path, "rb").read()
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le"), True
    return data.decode("latin-1"), False


def unquote(s):
    out, i = [], 0
    while i < len(s):
        if s[i] == "\\" and i + 1 < len(s):
            out.append(s[i + 1])
            i += 2
        else:
            out.append(s[i])
            i += 1
    return "".join(out)


def parse(text, wide):
    # Continuation lines end with a backslash.
    text = re.sub(r"\\\r?\n\s*", "", text)
    values, key = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            key = line[1:-1]
            values.setdefault(key, [])
            continue
        if key is None or not line or line.startswith(";"):
            continue
        m = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
        if not m:
            continue
        name = "" if m.group(1) == "@" else unquote(m.group(1)[1:-1])
        data = m.group(2)
        if data.startswith('"'):
            kind, raw = 1, (unquote(data[1:-1]) + "\0").encode("cp1252", "replace")
        elif data.startswith("dword:"):
            kind, raw = 4, int(data[6:], 16).to_bytes(4, "little")
        else:
            m2 = re.match(r"^hex(?:\((\w+)\))?:(.*)$", data)
            if not m2:
                continue
            kind = int(m2.group(1), 16) if m2.group(1) else 3
            hexes = [h for h in m2.group(2).replace(" ", "").split(",") if h]
            raw = bytes(int(h, 16) for h in hexes)
            if wide and kind in (1, 2, 7):
                raw = raw.decode("utf-16-le").encode("cp1252", "replace")
        values[key].append((name, kind, raw))
    return values


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    text, wide = read_text(sys.argv[1])
    tree = parse(text, wide)
    wanted = [k.upper() for k in sys.argv[2:]]
    lines = []
    for key, vals in tree.items():
        up = key.upper()
        if not any(up == w or up.startswith(w + "\\") for w in wanted):
            continue
        # Existing keys keep the spelling of whoever made them first: compare them upper-cased.
        lines.append(f"{up}|")
        for name, kind, raw in vals:
            lines.append(f"{up}|{name}|{kind}|{raw.hex()}")
    print("\n".join(sorted(lines, key=str.upper)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
