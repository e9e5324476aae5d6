#!/usr/bin/env python3
"""The matrix report as a vendor opens it: the sample on every profile as one HTML page, each
picture decoded here with zlib and checked against the window it shows, then the page opened
in headless chromium, which must decode every image.

    tests/report/check_report.py QUILLPACK [WORK_DIR]

Exit status 0 when every check passed."""
import base64
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MAIN_CAPTION = 19  # the main window's caption bar in the pictures
failures = []


def check(what, ok, detail=""):
    print(("PASS " if ok else "FAIL ") + what + ("" if ok else ": " + detail))
    if not ok:
        failures.append(what)


def decode_png(data):
    """(width, height, rows of (r, g, b)) of an 8-bit RGB PNG; every chunk's CRC is checked."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "no PNG signature"
    at, idat, width, height = 8, b"", 0, 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        crc, = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        assert zlib.crc32(kind + body) == crc, "bad CRC in " + kind.decode()
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2), "not 8-bit RGB"
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = 3 * width + 1
    assert len(raw) == stride * height, "pixel data of the wrong size"
    rows = []
    for y in range(height):
        assert raw[y * stride] == 0, "unexpected filter"
        line = raw[y * stride + 1:(y + 1) * stride]
        rows.append([tuple(line[i:i + 3]) for i in range(0, len(line), 3)])
    return width, height, rows


def main():
    quillpack = os.path.abspath(sys.argv[1])
    work = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="qm-report.")
    disk = os.path.join(work, "disk1")
    shutil.rmtree(disk, ignore_errors=True)
    shutil.copytree(os.path.join(ROOT, "examples", "sample"), disk)
    os.remove(os.path.join(disk, "answers.ini"))
    for stand_in in ("SETUP.EXE", "UNSTALL.EXE"):
        with open(os.path.join(disk, stand_in), "w") as f:
            f.write("stand-in\n")
    answers = os.path.join(work, "answers.ini")
    with open(answers, "w") as f:
        f.write("[Setup]\nAsk1=Pat Writer\nDefaultDir=C:\\QNOTES\nOverwrite=Yes\n")
    page = os.path.join(work, "report.html")
    run = subprocess.run([quillpack, "simulate", "--matrix", "all", "--dist", disk, "--answers",
                          answers, "--format", "html", "-o", page], capture_output=True, text=True)
    # win95-small fails on purpose (its disk is full): the status is 1.
    check("quillpack simulate --format html runs", run.returncode == 1 and os.path.exists(page),
          run.stderr)
    if failures:
        return 1
    html = open(page, encoding="utf-8").read()
    print("report.html: %d bytes" % len(html))
    check("the page stays modest", len(html) < 4_000_000, "%d bytes" % len(html))
    check("nothing outside the page is needed", re.search(r'src="(?!data:)', html) is None)

    sections = re.split(r'<h2 id="', html)[1:]
    displays = {}
    pictures = 0
    for section in sections:
        profile = section.split('"', 1)[0]
        size = re.search(r"\((\d+)x(\d+)\)</h2>", section)
        if not size:
            continue
        width, height = int(size.group(1)), int(size.group(2))
        displays[profile] = (width, height)
        for alt, window, shown, data in re.findall(
                r'<img alt="([^"]*)" data-window="([-\d ]+)" data-shown="([-\d ]+)" '
                r'style="[^"]*" src="data:image/png;base64,([^"]+)"', section):
            pictures += 1
            w, h, rows = decode_png(base64.b64decode(data))
            name = "%s %s" % (profile, alt)
            sx, sy, sw, sh = map(int, shown.split())
            check(name + ": the picture holds the part of the screen the page says",
                  (w, h) == (sw, sh) and 0 <= sx and 0 <= sy and sx + sw <= width
                  and sy + sh <= height, "%dx%d, %s" % (w, h, shown))
            if alt == "Main window":
                check(name + ": the whole screen", (w, h) == (width, height))
                # SCREENCOLOR Blue, Black: blue at the top, darker towards the bottom.
                top, bottom = rows[MAIN_CAPTION + 1][2], rows[h - 1][2]
                check(name + ": the background runs from blue down to black",
                      top == (0, 0, 255) and bottom[2] < 128, "%s, %s" % (top, bottom))
                continue
            x, y, ww, wh = map(int, window.split())
            x, y = x - sx, y - sy
            inside = rows[y + wh // 2][x + 1] if 0 <= y + wh // 2 < h and 0 <= x + 1 < w else None
            check(name + ": a window is drawn where the page says",
                  inside in ((192, 192, 192), (255, 255, 255)), str(inside))
    check("every profile has its section", len(displays) >= 9, str(sorted(displays)))
    check("win31 is drawn at 640x480 and nt40 at 1024x768",
          displays.get("win31") == (640, 480) and displays.get("nt40") == (1024, 768),
          str(displays))
    check("the pictures were found", pictures >= 9 * 5, str(pictures))

    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        check("chromium is installed (scripts/setup.sh)", False)
        return 1
    profile_dir = tempfile.mkdtemp(prefix="qm-chromium.")
    try:
        shown = subprocess.run(
            ["timeout", "-k", "5", "90", chromium, "--headless", "--no-sandbox", "--disable-gpu",
             "--user-data-dir=" + profile_dir, "--virtual-time-budget=15000", "--dump-dom",
             "file://" + os.path.abspath(page)],
            capture_output=True, text=True)
    finally:
        shutil.rmtree(profile_dir, ignore_errors=True)
    loaded = re.search(r'<body data-images="(\d+) of (\d+)"', shown.stdout)
    check("chromium decodes every image of the page",
          loaded is not None and loaded.group(1) == loaded.group(2) == str(pictures),
          "exit %d, %s; %s" % (shown.returncode, loaded and loaded.group(0),
                               shown.stderr.strip()[-300:]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
