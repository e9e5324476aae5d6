#!/usr/bin/env python3
"""Runs scenarios, prepares a scenario's working copy and checks what an installation left in it.

  scenario_check.py run BUILD_DIR [SCENARIO...]  runs the scenarios (run.sh calls this)
  scenario_check.py prepare SCENARIO WORK   fixed file times, empty folders
  scenario_check.py tree WORK [ROOT...]     prints the file tree as tree.txt writes it
  scenario_check.py check SCENARIO WORK     compares WORK with SCENARIO/expected; exit 1 on a difference
  scenario_check.py set-up QUILLPACK SCENARIO WORK [STUB]
                                            a working copy with its installers and packages made;
                                            STUB (a real installer) replaces build.txt's stubs

Files of the simulated machine keep their attributes in a per-folder sidecar (".qm-attributes":
two hex digits, a blank, the host name); entries it does not list have the defaults (files
archive, folders none). File times are host modification times in UTC.

tree.txt has one line per entry, fields separated by white space:
  PATH  SIZE  ATTRIBUTES  TIME  CONTENT
PATH ends with "/" for a folder. ATTRIBUTES are the letters RHSA or "-" in their places. TIME is
YYYY-MM-DDTHH:MM:SS (UTC) or "new" for a file written during the run without a time of its own.
CONTENT is "=PATH" (the same bytes as that file of the scenario before the run), an MD5 in hex, or
"-" (not compared). SIZE may be "-" too. Folders have "-" for size, time and content.

Besides the tree: expected/files/PATH is compared byte for byte with PATH; each line of
expected/messages.txt must occur in the trace and no line of expected/no-messages.txt may; each
line "PATH TEXT" of expected/holds.txt says that the file PATH holds TEXT, and of
expected/lacks.txt that PATH, when it exists, does not. Each root named in
expected/as-before.txt (a drive folder a line) must end exactly as it was before the last run:
the same entries with the same sizes, attributes, times and bytes (an undone installation).
"""

import calendar
import contextlib
import difflib
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SIDECAR = ".qm-attributes"
# Every file of a scenario starts with this time unless times.txt gives another, so that dates
# compared by the overwrite rules do not depend on when the checkout was made.
DEFAULT_TIME = "2001-02-03T04:05:06"
# Anything the run writes without setting a time is newer than this.
NEW_AFTER = calendar.timegm((2020, 1, 1, 0, 0, 0))
EXPECTED_FILES = "expected/files"


def parse_time(text):
    return calendar.timegm(time.strptime(text, "%Y-%m-%dT%H:%M:%S"))


def format_time(seconds):
    if seconds >= NEW_AFTER:
        return "new"
    return time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(seconds))


def read_lines(path):
    """Non-empty lines of a text file without comments ("#" at the start)."""
    if not os.path.exists(path):
        return []
    with open(path, encoding="latin-1") as f:
        return [l.rstrip("\r\n") for l in f if l.strip() and not l.lstrip().startswith("#")]


def sidecar(folder):
    bits = {}
    path = os.path.join(folder, SIDECAR)
    if os.path.exists(path):
        with open(path, "rb") as f:
            for raw in f.read().decode("latin-1").split("\n"):
                if len(raw) >= 4 and raw[2] == " ":
                    try:
                        bits[raw[3:]] = int(raw[:2], 16)
                    except ValueError:
                        pass
    return bits


def letters(bits):
    return "".join(c if bits & b else "-" for c, b in (("R", 1), ("H", 2), ("S", 4), ("A", 32)))


def md5(path):
    with open(path, "rb") as f:
        return hashlib.md5(f.read()).hexdigest()


def prepare(scenario, work):
    stamp = parse_time(DEFAULT_TIME)
    for folder, dirs, files in os.walk(work):
        for name in files:
            os.utime(os.path.join(folder, name), (stamp, stamp))
    for line in read_lines(os.path.join(scenario, "times.txt")):
        rel, when = line.split()
        path = os.path.join(work, rel)
        if not os.path.exists(path):
            sys.exit(f"times.txt: {rel} does not exist")
        t = parse_time(when)
        os.utime(path, (t, t))
    for rel in read_lines(os.path.join(scenario, "dirs.txt")):
        os.makedirs(os.path.join(work, rel.strip()), exist_ok=True)


def tree(work, roots):
    """The actual tree: {path: [size, attributes, time, md5]} in name order."""
    out = {}
    for root in roots:
        base = os.path.join(work, root)
        if not os.path.isdir(base):
            continue
        for folder, dirs, files in os.walk(base):
            dirs.sort(key=str.upper)
            attrs = sidecar(folder)
            rel_folder = os.path.relpath(folder, work).replace(os.sep, "/")
            for d in dirs:
                out[f"{rel_folder}/{d}/"] = ["-", letters(attrs.get(d, 0)), "-", "-"]
            for name in sorted(files, key=str.upper):
                if name == SIDECAR:
                    continue
                path = os.path.join(folder, name)
                st = os.stat(path)
                out[f"{rel_folder}/{name}"] = [
                    str(st.st_size), letters(attrs.get(name, 32)),
                    format_time(int(st.st_mtime)), md5(path)]
    return out


def format_tree(entries):
    return [" ".join([p] + v) for p, v in sorted(entries.items(), key=lambda kv: kv[0].upper())]


def expected_tree(scenario, pristine):
    """The expected tree with "=PATH" contents resolved against the scenario before the run."""
    out = {}
    for number, line in enumerate(read_lines(os.path.join(scenario, "expected", "tree.txt")), 1):
        fields = line.split()
        if len(fields) != 5:
            sys.exit(f"{scenario}/expected/tree.txt, entry {number}: want PATH SIZE ATTRIBUTES TIME CONTENT")
        path, size, attrs, when, content = fields
        if content.startswith("="):
            source = os.path.join(pristine, content[1:])
            if not os.path.isfile(source):
                sys.exit(f"{scenario}/expected/tree.txt, entry {number}: no file {content[1:]}")
            content = md5(source)
        if path in out:
            sys.exit(f"{scenario}/expected/tree.txt, entry {number}: {path} listed twice")
        out[path] = [size, attrs, when, content]
    return out


def check(scenario, work):
    problems = find_problems(scenario, work)
    for p in problems:
        print(p)
    return 1 if problems else 0


def find_problems(scenario, work):
    """Every difference between WORK and SCENARIO/expected, a line each."""
    problems = []
    roots = read_lines(os.path.join(scenario, "expected", "roots.txt")) or ["c"]
    actual = tree(work, roots)
    wanted = expected_tree(scenario, scenario)
    # Fields the expectation leaves open take the actual value, so the diff shows only real faults.
    for path, fields in wanted.items():
        if path in actual:
            for i, v in enumerate(fields):
                if v == "-":
                    fields[i] = actual[path][i]
    a, w = format_tree(actual), format_tree(wanted)
    if a != w:
        problems.append("file tree differs (- expected, + actual):")
        problems += ["  " + l for l in difflib.unified_diff(w, a, "expected", "actual", lineterm="", n=1)]

    files_dir = os.path.join(scenario, EXPECTED_FILES)
    for folder, dirs, files in os.walk(files_dir):
        for name in sorted(files):
            want_path = os.path.join(folder, name)
            rel = os.path.relpath(want_path, files_dir)
            got_path = os.path.join(work, rel)
            with open(want_path, "rb") as f:
                want = f.read()
            if not os.path.isfile(got_path):
                problems.append(f"{rel}: missing")
                continue
            with open(got_path, "rb") as f:
                got = f.read()
            if got != want:
                problems.append(f"{rel} differs (- expected, + actual; CR LF shown as \\r):")
                show = lambda b: b.decode("latin-1").replace("\r", "\\r").split("\n")
                problems += ["  " + l for l in difflib.unified_diff(
                    show(want), show(got), "expected", "actual", lineterm="", n=2)]

    trace_path = os.path.join(work, "trace.txt")
    trace = ""
    if os.path.exists(trace_path):
        with open(trace_path, "rb") as f:
            trace = f.read().decode("latin-1")
    for line in read_lines(os.path.join(scenario, "expected", "messages.txt")):
        if line not in trace:
            problems.append(f"trace lacks: {line}")
    for line in read_lines(os.path.join(scenario, "expected", "no-messages.txt")):
        if line in trace:
            problems.append(f"trace holds what must not be shown: {line}")
    for line in read_lines(os.path.join(scenario, "expected", "holds.txt")):
        if len(line.split(None, 1)) < 2:
            problems.append(f"expected/holds.txt: want PATH TEXT, not: {line}")
            continue
        rel, text = line.split(None, 1)
        path = os.path.join(work, rel)
        if not os.path.isfile(path):
            problems.append(f"{rel}: missing (it should hold: {text})")
            continue
        with open(path, "rb") as f:
            if text.encode("latin-1") not in f.read():
                problems.append(f"{rel} does not hold: {text}")
    for line in read_lines(os.path.join(scenario, "expected", "lacks.txt")):
        if len(line.split(None, 1)) < 2:
            problems.append(f"expected/lacks.txt: want PATH TEXT, not: {line}")
            continue
        rel, text = line.split(None, 1)
        path = os.path.join(work, rel)
        if os.path.exists(path):
            with open(path, "rb") as f:
                if text.encode("latin-1") in f.read():
                    problems.append(f"{rel} holds what it must not: {text}")
    return problems


# One run of the installer may take this long before it is stopped.
RUN_SECONDS = 30


def list_lines(path):
    """The word lists of a list file's lines."""
    return [line.split() for line in read_lines(path)]


def tool(quillpack, work, args):
    """Runs quillpack in WORK; None when it succeeded, else its output."""
    done = subprocess.run([quillpack] + args, cwd=work, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return None if done.returncode == 0 else done.stdout.decode("latin-1").splitlines()


def make_package(quillpack, work, folders, name, args):
    """Writes the package into the first folder, then hands its volumes out to the further
    folders by following the next-volume names in the volumes' own headers. What went wrong."""
    folders = folders.split(",")
    os.makedirs(os.path.join(work, folders[0]), exist_ok=True)
    failed = tool(quillpack, work, ["package", "-o", f"{folders[0]}/{name}"] + args)
    if failed is not None:
        return [f"quillpack package of {folders[0]}/{name} failed:"] + failed
    if len(folders) == 1:
        return []
    volume, k = name, 0
    while True:
        with open(os.path.join(work, folders[0], volume), "rb") as f:
            next_volume = f.read(14).split(b"\0")[0].split(b"\n")[0].decode("latin-1")
        if k > 0:
            if k >= len(folders):
                return [f"package {name} has more volumes than the {len(folders)} folders "
                        f"{','.join(folders)}"]
            os.makedirs(os.path.join(work, folders[k]), exist_ok=True)
            os.rename(os.path.join(work, folders[0], volume), os.path.join(work, folders[k], volume))
        k += 1
        if not next_volume:
            break
        if not os.path.isfile(os.path.join(work, folders[0], next_volume)):
            return [f"package {name}: volume {next_volume} named in {volume} was not written"]
        volume = next_volume
    if k != len(folders):
        return [f"package {name} has {k} volume(s), the folders {','.join(folders)} want "
                f"{len(folders)}"]
    return []


def install(quillpack, work, number, code, answers, program, args, trace="trace.txt",
            record=None):
    """One installation of runs.txt; what went wrong."""
    command = [quillpack, "simulate", "--machine", "machine.ini"]
    if answers != "-":
        command += ["--answers", answers]
    if record:
        command += ["--record", record]
    command += ["--trace", trace, "--", program] + args
    env = {k: v for k, v in os.environ.items() if k not in ("QUILLMOUNT_ANSWERS", "QUILLMOUNT_LOG")}
    with open(os.path.join(work, f"stdout.{number}.txt"), "wb") as out, \
            open(os.path.join(work, f"stderr.{number}.txt"), "wb") as err:
        try:
            rc = subprocess.run(command, cwd=work, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                stderr=err, timeout=RUN_SECONDS).returncode
        except subprocess.TimeoutExpired:
            rc = 124
    if rc < 0:
        rc = 128 - rc  # stopped by a signal, as a shell reports it
    if str(rc) == code:
        return []
    problems = [f"run {number} ({' '.join([program] + args)}): exit code {rc}, expected {code}"]
    if rc == 124:
        problems.append(f"  (the run did not end within {RUN_SECONDS} seconds and was stopped)")
    with open(os.path.join(work, f"stderr.{number}.txt"), "rb") as f:
        problems += ["  stderr: " + l for l in f.read().decode("latin-1").splitlines()[:20]]
    return problems


def set_up(quillpack, scenario, work, stub=None):
    """A fresh copy of the scenario in WORK with its installers and packages built (on STUB,
    when given, instead of the scenario's stand-ins); the problems."""
    shutil.copytree(scenario, work, symlinks=True, dirs_exist_ok=True)
    shutil.rmtree(os.path.join(work, "expected"), ignore_errors=True)
    problems = []
    if stub:
        for fields in list_lines(os.path.join(scenario, "build.txt")):
            shutil.copyfile(stub, os.path.join(work, fields[1]))
    try:
        prepare(scenario, work)
    except SystemExit as e:
        problems += [str(e.code), "scenario set-up failed"]
    for fields in list_lines(os.path.join(scenario, "build.txt")):
        out, stub, files = fields[0], fields[1], fields[2:]
        failed = tool(quillpack, work, ["build", "--stub", stub, "-o", out] + files)
        if failed is not None:
            problems += [f"quillpack build of {out} failed:"] + failed
    for fields in list_lines(os.path.join(scenario, "packages.txt")):
        problems += make_package(quillpack, work, fields[0], fields[1], fields[2:])
    return problems


def answers_given(path):
    """A trace's lines with where each answer came from left out: a replay has every answer
    from its recorded file, where the first run had some from its own file and some by
    default. A run that wrote no trace has no lines. Each run's header line holds the time it
    started, so it is left out too."""
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    return [l.replace(" (answers file)", "").replace(" (default)", "") for l in text.splitlines()
            if not re.match(r"run \d{4}-\d\d-\d\d \d\d:\d\d:\d\d: ", l)]


def replay_problems(quillpack, scenario, runs):
    """Every run of the scenario recorded (simulate --record) in one fresh copy and replayed
    from its recording in another: the replay must meet the same dialogs, questions and
    answers, line for line, and end with the same exit code."""
    copies = [tempfile.mkdtemp(prefix="qm-record."), tempfile.mkdtemp(prefix="qm-replay.")]
    problems = []
    try:
        for work in copies:
            problems += set_up(quillpack, scenario, work)
        for number, fields in enumerate(runs, 1):
            code, answers, program, args = fields[0], fields[1], fields[2], fields[3:]
            record = os.path.join(copies[0], f"recorded.{number}.ini")
            problems += install(quillpack, copies[0], number, code, answers, program, args,
                                "first.txt", record)
            problems += install(quillpack, copies[1], number, code, record, program, args,
                                "replay.txt")
            first = answers_given(os.path.join(copies[0], "first.txt"))
            again = answers_given(os.path.join(copies[1], "replay.txt"))
            if first != again:
                differ = next(i for i in range(max(len(first), len(again)))
                              if i >= len(first) or i >= len(again) or first[i] != again[i])
                problems += [f"run {number} replayed from its recorded answers differs at trace "
                             f"line {differ + 1}:",
                             "  recorded: " + (first[differ] if differ < len(first) else "(end)"),
                             "  replayed: " + (again[differ] if differ < len(again) else "(end)")]
    finally:
        for work in copies:
            shutil.rmtree(work, ignore_errors=True)
    return problems


def run_scenario(quillpack, scenario, work):
    """Sets the scenario up in WORK, runs its installations and checks the result: the
    problems, each a line naming what was expected."""
    problems = set_up(quillpack, scenario, work)
    runs = list_lines(os.path.join(scenario, "runs.txt"))
    as_before = read_lines(os.path.join(scenario, "expected", "as-before.txt"))
    before = None
    for number, fields in enumerate(runs, 1):
        if len(fields) < 3:
            problems.append(f"runs.txt, run {number}: want EXIT ANSWERS PROGRAM [ARGS...]")
            continue
        if number == len(runs):
            before = format_tree(tree(work, as_before))
        problems += install(quillpack, work, number, fields[0], fields[1], fields[2], fields[3:])
    if before is not None and as_before:
        after = format_tree(tree(work, as_before))
        if after != before:
            problems.append(f"{' '.join(as_before)} not as before the last run (- before, + after):")
            problems += ["  " + l for l in difflib.unified_diff(
                before, after, "before", "after", lineterm="", n=1)]
    if not runs:
        problems.append("runs.txt lists no installation")
    try:
        problems += find_problems(scenario, work)
    except SystemExit as e:
        problems.append(str(e.code))
    if not problems and runs:
        problems += replay_problems(quillpack, scenario, runs)
    return problems


def run(build, names, out=sys.stdout, here=os.path.dirname(os.path.abspath(__file__))):
    """Runs the scenarios named (every folder of HERE, beside this file, when none) and prints a
    line for each, the problems under a failed one; 0 when all passed."""
    quillpack = os.path.join(os.path.abspath(build), "quillpack")
    if not os.access(quillpack, os.X_OK):
        print(f"no quillpack in {build}", file=sys.stderr)
        return 2
    if not names:
        names = sorted(n for n in os.listdir(here)
                       if os.path.isdir(os.path.join(here, n)) and n != "__pycache__")
    failed = []
    for name in names:
        scenario = os.path.join(here, name)
        if not os.path.isfile(os.path.join(scenario, "runs.txt")):
            print(f"FAIL {name}: {'no runs.txt' if os.path.isdir(scenario) else 'no such scenario'}",
                  file=out, flush=True)
            failed.append(name)
            continue
        work = tempfile.mkdtemp(prefix=f"qm-scenario-{name}.")
        try:
            problems = run_scenario(quillpack, scenario, work)
        except Exception as e:  # a malformed file fails its scenario; the others still run
            problems = [f"the runner stopped: {type(e).__name__}: {e}"]
        if not problems:
            print(f"PASS {name}", file=out, flush=True)
            shutil.rmtree(work)
            continue
        failed.append(name)
        lines = [f"FAIL {name}"] + ["    " + p for p in problems]
        trace = os.path.join(work, "trace.txt")
        if os.path.exists(trace):
            with open(trace, "rb") as f:
                lines += ["    trace (last lines):"] + [
                    "      " + l for l in f.read().decode("latin-1").splitlines()[-15:]]
        if os.environ.get("KEEP") == "1":
            lines.append(f"    kept in {work}")
        else:
            shutil.rmtree(work)
        print("\n".join(lines), file=out, flush=True)
    summary = f"scenarios: {len(names) - len(failed)} passed, {len(failed)} failed"
    print(summary + (": " + " ".join(failed) if failed else ""), file=out)
    return 1 if failed else 0


def main(argv):
    if len(argv) >= 3 and argv[1] == "run":
        return run(argv[2], argv[3:])
    if len(argv) >= 3 and argv[1] == "prepare" and len(argv) == 4:
        prepare(argv[2], argv[3])
        return 0
    if len(argv) >= 3 and argv[1] == "tree":
        print("\n".join(format_tree(tree(argv[2], argv[3:] or ["c"]))))
        return 0
    if len(argv) in (5, 6) and argv[1] == "set-up":
        problems = set_up(argv[2], argv[3], argv[4], argv[5] if len(argv) == 6 else None)
        print("\n".join(problems), file=sys.stderr)
        return 1 if problems else 0
    if len(argv) == 4 and argv[1] == "check":
        return check(argv[2], argv[3])
    print(__doc__.strip().split("\n\n")[0], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
