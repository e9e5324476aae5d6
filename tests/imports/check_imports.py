#!/usr/bin/env python3
"""Checks that a Win32 program loads on every Windows the installer is made for.

    check_imports.py [--table FILE] [--expect-refused TEXT]... PROGRAM.exe...

Reads each program's PE headers and import table and refuses it (exit 1, one line per reason)
when it imports a DLL outside kernel32, user32, gdi32, advapi32 and version; a function the
table (windows_api.txt beside this script) does not list, or lists as missing on one of the
oldest targets (Win32s on Windows 3.1, Windows 95, Windows NT 3.51); asks for a subsystem
version above 3.10; has a thread-local storage directory (Win32s has none); or has no base
relocations (Win32s loads every program into one shared address space). With --expect-refused,
the check of the checker: it succeeds only when every program is refused with a reason holding
each TEXT given.
"""
import os
import struct
import sys

ALLOWED_DLLS = {"KERNEL32", "USER32", "GDI32", "ADVAPI32", "VERSION"}
TARGETS = ("win32s", "win95", "nt351")
MAX_SUBSYSTEM = (3, 10)


def load_table(path):
    """{(DLL, function): {target: state}} from the table's lines: DLL FUNCTION STATE STATE STATE."""
    table = {}
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].split()
            if not line:
                continue
            if len(line) != 2 + len(TARGETS) or any(s not in ("yes", "stub", "no") for s in line[2:]):
                raise SystemExit(f"{path}:{number}: want DLL FUNCTION and yes|stub|no for "
                                 f"{' '.join(TARGETS)}")
            key = (line[0].upper(), line[1])
            if key in table:
                raise SystemExit(f"{path}:{number}: {line[0]} {line[1]} listed twice")
            table[key] = dict(zip(TARGETS, line[2:]))
    return table


class Image:
    """The parts of a PE image the loader of an old Windows looks at."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not an MZ executable")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        sections, optional_size = struct.unpack_from("<H12xH", d, pe + 6)
        opt = pe + 24
        if struct.unpack_from("<H", d, opt)[0] != 0x10B:
            raise ValueError("not a 32-bit image")
        self.os_version = struct.unpack_from("<HH", d, opt + 40)
        self.subsystem_version = struct.unpack_from("<HH", d, opt + 48)
        count = struct.unpack_from("<I", d, opt + 92)[0]
        self.directories = [struct.unpack_from("<II", d, opt + 96 + 8 * i) for i in range(count)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            vsize, va, rsize, raw = struct.unpack_from("<IIII", d, table + 40 * i + 8)
            self.sections.append((va, max(vsize, rsize), raw, rsize))

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def offset(self, rva):
        for va, size, raw, rsize in self.sections:
            if va <= rva < va + size and rva - va < rsize:
                return raw + rva - va
        raise ValueError(f"address {rva:#x} is in no section")

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        """[(DLL, function name or '#ordinal')] in the order of the import table."""
        rva = self.directory(1)[0]
        found = []
        while rva:
            lookup, _, _, name, address = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if not name:
                break
            dll = self.text(name)
            entry = self.offset(lookup or address)
            while True:
                value = struct.unpack_from("<I", self.data, entry)[0]
                if not value:
                    break
                found.append((dll, f"#{value & 0xFFFF}" if value & 0x80000000 else self.text(value + 2)))
                entry += 4
            rva += 20
        return found


def problems(path, table):
    try:
        image = Image(path)
        imports = image.imports()
    except (ValueError, struct.error, IndexError, UnicodeDecodeError) as e:
        return [f"cannot read: {e}"]
    found = []
    if image.subsystem_version > MAX_SUBSYSTEM or image.os_version > MAX_SUBSYSTEM:
        found.append("subsystem version %d.%02d, operating system version %d.%02d: Win32s and "
                     "Windows NT 3.51 load 3.10 at most" % (*image.subsystem_version, *image.os_version))
    if image.directory(9)[0]:
        found.append("a thread-local storage directory, which Win32s does not support")
    if not image.directory(5)[1]:
        found.append("no base relocations: Win32s cannot place the program")
    for dll, function in imports:
        base = dll.upper().removesuffix(".DLL")
        if base not in ALLOWED_DLLS:
            found.append(f"imports {dll} ({function}), which not every target has")
            continue
        states = table.get((base, function))
        if states is None:
            found.append(f"imports {base}.{function}, which {TABLE_NAME} does not list")
            continue
        missing = [t for t in TARGETS if states[t] == "no"]
        if missing:
            found.append(f"imports {base}.{function}, which {', '.join(missing)} does not export")
    return found


TABLE_NAME = "windows_api.txt"


def main(argv):
    table_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), TABLE_NAME)
    expected = []
    while len(argv) >= 2 and argv[0] in ("--table", "--expect-refused"):
        if argv[0] == "--table":
            table_path = argv[1]
        else:
            expected.append(argv[1])
        argv = argv[2:]
    if not argv or any(a.startswith("-") for a in argv):
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    table = load_table(table_path)
    failed = False
    for path in argv:
        found = problems(path, table)
        if expected:
            missing = [t for t in expected if not any(t in line for line in found)]
            print(f"{path}: refused as expected" if not missing else
                  f"FAIL {path}: not refused for {', '.join(missing)}; reasons: {found}")
            failed |= bool(missing)
        elif found:
            failed = True
            for line in found:
                print(f"{path}: {line}")
        else:
            count = len(Image(path).imports())
            stubs = sorted({f"{d.upper().removesuffix('.DLL')}.{f}" for d, f in Image(path).imports()
                            if "stub" in table[(d.upper().removesuffix(".DLL"), f)].values()})
            print(f"{path}: loads on {', '.join(TARGETS)} ({count} imported functions; "
                  f"exported but not working on some targets: {', '.join(stubs) or 'none'})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
