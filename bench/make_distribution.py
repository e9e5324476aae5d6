#!/usr/bin/env python3
"""Writes the installation benchmark's distribution into FOLDER: BIG001.BIN .. BIG100.BIN (1 MB
each), SMALL\\S0001.DAT .. S2000.DAT (1 to 6 KB each), all incompressible, and a SETUP.cfg that
installs every one of them with its own FILE statement. The bytes come from a fixed seed, so every
run installs the same distribution.

usage: make_distribution.py FOLDER [BIG_FILES SMALL_FILES]
"""
import os
import random
import sys


def main():
    if len(sys.argv) not in (2, 4):
        sys.exit(__doc__.strip().splitlines()[-1])
    folder = sys.argv[1]
    big = int(sys.argv[2]) if len(sys.argv) == 4 else 100
    small = int(sys.argv[3]) if len(sys.argv) == 4 else 2000
    rng = random.Random(1994)
    os.makedirs(os.path.join(folder, "SMALL"), exist_ok=True)
    lines = ["REM The installation benchmark: every file of the distribution, one FILE each.",
             "UNINSTALL YES", "DEFAULTDIR C:\\BENCH NOASKDRIVE NOASKDIR", "OVERWRITEFILE YES"]
    for i in range(1, big + 1):
        name = "BIG%03d.BIN" % i
        with open(os.path.join(folder, name), "wb") as f:
            f.write(rng.randbytes(1 << 20))
        lines.append("FILE " + name)
    for i in range(1, small + 1):
        name = "S%04d.DAT" % i
        with open(os.path.join(folder, "SMALL", name), "wb") as f:
            f.write(rng.randbytes(rng.randint(1024, 6 * 1024)))
        lines.append("FILE SMALL\\" + name)
    with open(os.path.join(folder, "SETUP.cfg"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


if __name__ == "__main__":
    main()
