#!/usr/bin/env python3
"""The scenario checker's own tests: each kind of expectation passes when met and fails, with a
message naming it, when not. Run: python3 tests/scenarios/scenario_check_test.py"""

import contextlib
import io
import os
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no __pycache__ among the scenario folders
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scenario_check  # noqa: E402

BASE = "2001-02-03T04:05:06"


def write(root, rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode("latin-1") if isinstance(data, str) else data)


class CheckTest(unittest.TestCase):
    maxDiff = None
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.scenario = os.path.join(self.tmp.name, "scenario")
        self.work = os.path.join(self.tmp.name, "work")
        # Before the run: a source file on the disk; after it: the file copied, a log written,
        # a read-only hidden file kept, and a trace.
        write(self.scenario, "disk1/A.TXT", "alpha")
        write(self.scenario, "disk1/B.TXT", "bravo")
        write(self.work, "disk1/A.TXT", "alpha")
        write(self.work, "c/APP/A.TXT", "alpha")
        write(self.work, "c/APP/install.log", "DIRECTORY: \"C:\\APP\"\r\n")
        write(self.work, "c/APP/KEEP.DAT", "kept")
        write(self.work, "c/APP/.qm-attributes", "03 KEEP.DAT\n00 A.TXT\n")
        write(self.work, "trace.txt", "copy A:\\A.TXT -> C:\\APP\\A.TXT\nexit 0\n")
        os.makedirs(os.path.join(self.work, "c/EMPTY"))
        scenario_check.prepare(self.scenario, self.work)
        new = scenario_check.NEW_AFTER + 86400
        os.utime(os.path.join(self.work, "c/APP/install.log"), (new, new))

    def tearDown(self):
        self.tmp.cleanup()

    def check(self, expected):
        """Writes the expected files (name -> text) and runs the check: (exit, printed lines)."""
        for rel, text in expected.items():
            write(self.scenario, "expected/" + rel, text)
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            code = scenario_check.check(self.scenario, self.work)
        return code, out.getvalue().splitlines()

    TREE = [
        "c/APP/                  -  ----  -      -",
        "c/APP/A.TXT             5  ----  " + BASE + "  =disk1/A.TXT",
        "c/APP/install.log       -  ---A  new    -",
        "c/APP/KEEP.DAT          4  RH--  " + BASE + "  -",
        "c/EMPTY/                -  ----  -      -",
    ]

    def tree(self, replace=None, drop=None, add=None):
        rows = [r for r in self.TREE if drop is None or not r.startswith(drop)]
        if replace:
            old, new, where = replace
            rows = [r.replace(old, new) if r.startswith(where) else r for r in rows]
        return "\n".join(rows + ([add] if add else [])) + "\n"

    def test_each_expectation_passes_when_met_and_fails_naming_itself(self):
        good_log = "DIRECTORY: \"C:\\APP\"\r\n"
        cases = [
            # (what, expected files, the failure's first line or None for a pass)
            ("the exact tree", {}, None),
            ("a wrong size", {"tree.txt": self.tree(("5  ----", "6  ----", "c/APP/A.TXT"))},
             "file tree differs"),
            ("a wrong attribute", {"tree.txt": self.tree(("RH--", "R---", "c/APP/KEEP"))},
             "file tree differs"),
            ("a wrong time", {"tree.txt": self.tree((BASE + "  =", "2001-02-03T04:05:08  =",
                                                     "c/APP/A.TXT"))}, "file tree differs"),
            ("a file listed but not written", {"tree.txt": self.tree(add="c/APP/B.TXT - ---- - -")},
             "file tree differs"),
            ("a file written but not listed", {"tree.txt": self.tree(drop="c/APP/KEEP.DAT")},
             "file tree differs"),
            ("an empty folder not listed", {"tree.txt": self.tree(drop="c/EMPTY/")},
             "file tree differs"),
            ("the bytes of another source", {"tree.txt": self.tree(
                ("=disk1/A.TXT", "=disk1/B.TXT", "c/APP/A.TXT"))}, "file tree differs"),
            ("other content than the source", {"tree.txt": self.tree(
                ("=disk1/A.TXT", "0123456789abcdef0123456789abcdef", "c/APP/A.TXT"))},
             "file tree differs"),
            ("a log written during the run is new", {"tree.txt": self.tree(
                ("new", BASE, "c/APP/install.log"))}, "file tree differs"),
            ("the same bytes", {"files/c/APP/install.log": good_log}, None),
            ("a line end lost", {"files/c/APP/install.log": good_log.replace("\r", "")},
             "c/APP/install.log differs"),
            ("a file not written", {"files/c/APP/OTHER.LOG": "x"}, "c/APP/OTHER.LOG: missing"),
            ("a message shown", {"messages.txt": "copy A:\\A.TXT\n"}, None),
            ("a message not shown", {"messages.txt": "exit 3\n"}, "trace lacks: exit 3"),
            ("a message kept back", {"no-messages.txt": "message box\n"}, None),
            ("a message that must not be shown", {"no-messages.txt": "exit 0\n"},
             "trace holds what must not be shown: exit 0"),
            ("a file holding a text", {"holds.txt": "c/APP/KEEP.DAT kept\n"}, None),
            ("a file not holding it", {"holds.txt": "c/APP/KEEP.DAT lost\n"},
             "c/APP/KEEP.DAT does not hold: lost"),
            ("a missing file holds nothing", {"holds.txt": "c/NONE.TXT x\n"}, "c/NONE.TXT: missing"),
            ("a file lacking a text", {"lacks.txt": "c/APP/A.TXT beta\n"}, None),
            ("a file holding what it must lack", {"lacks.txt": "c/APP/A.TXT lph\n"},
             "c/APP/A.TXT holds what it must not: lph"),
            ("a missing file lacks everything", {"lacks.txt": "c/NONE.TXT x\n"}, None),
            ("a path without a text to hold", {"holds.txt": "c/APP/KEEP.DAT\n"},
             "expected/holds.txt: want PATH TEXT, not: c/APP/KEEP.DAT"),
            ("a path without a text to lack", {"lacks.txt": "c/APP/KEEP.DAT\n"},
             "expected/lacks.txt: want PATH TEXT, not: c/APP/KEEP.DAT"),
            ("the trees of two roots", {"roots.txt": "c\ndisk1\n", "tree.txt": self.tree(
                add="disk1/A.TXT 5 ---A " + BASE + " =disk1/A.TXT")}, None),
            ("a second root not listed", {"roots.txt": "c\ndisk1\n"}, "file tree differs"),
        ]
        for what, expected, failure in cases:
            with self.subTest(what):
                expected.setdefault("tree.txt", self.tree())
                code, printed = self.check(expected)
                if failure is None:
                    self.assertEqual((code, printed), (0, []))
                else:
                    self.assertEqual(code, 1)
                    self.assertEqual(printed[0].split(" (")[0], failure)
                for rel in expected:
                    os.remove(os.path.join(self.scenario, "expected", rel))

    def test_a_malformed_tree_entry_stops_the_check(self):
        for what, line in [("too few fields", "c/APP/ 0 ----"),
                           ("a source not in the scenario", "c/APP/A.TXT 5 ---- - =disk1/C.TXT"),
                           ("an entry twice", "c/APP/ - ---- - -\nc/APP/ - ---- - -")]:
            with self.subTest(what):
                write(self.scenario, "expected/tree.txt", line + "\n")
                with self.assertRaises(SystemExit) as stop:
                    scenario_check.check(self.scenario, self.work)
                self.assertIn("expected/tree.txt, entry", str(stop.exception.code))


class PrepareTest(unittest.TestCase):
    def test_times_and_folders(self):
        with tempfile.TemporaryDirectory() as tmp:
            scenario, work = os.path.join(tmp, "s"), os.path.join(tmp, "w")
            write(scenario, "times.txt", "# own times\nd/OLD.TXT 1999-12-31T23:59:58\n")
            write(scenario, "dirs.txt", "c/TEMP\nc/WINDOWS/SYSTEM\n")
            write(work, "d/OLD.TXT", "old")
            write(work, "d/OTHER.TXT", "other")
            scenario_check.prepare(scenario, work)
            tree = scenario_check.tree(work, ["c", "d"])
            self.assertEqual(tree["d/OLD.TXT"][2], "1999-12-31T23:59:58")
            self.assertEqual(tree["d/OTHER.TXT"][2], BASE)
            self.assertIn("c/WINDOWS/SYSTEM/", tree)
            self.assertIn("c/TEMP/", tree)

    def test_a_time_for_a_missing_file_stops_the_set_up(self):
        with tempfile.TemporaryDirectory() as tmp:
            scenario, work = os.path.join(tmp, "s"), os.path.join(tmp, "w")
            write(scenario, "times.txt", "d/GONE.TXT 1999-12-31T23:59:58\n")
            os.makedirs(work)
            with self.assertRaises(SystemExit) as stop:
                scenario_check.prepare(scenario, work)
            self.assertIn("d/GONE.TXT does not exist", str(stop.exception.code))


# A stand-in for quillpack: "simulate" records its arguments in the trace and in c/APP/RUNS.TXT
# (with DRIFT among them, the answers file's name too, so a replay differs) and exits with its
# last argument when that is a number; --record writes an answers file; "package" writes as many
# volumes as its last argument says, each header naming the next; "build" writes its output file.
FAKE_QUILLPACK = """#!/usr/bin/env python3
import os, sys, time
command = sys.argv[1]
def option(name, default=None):
    return sys.argv[sys.argv.index(name) + 1] if name in sys.argv else default
if command == "simulate":
    args = sys.argv[sys.argv.index("--") + 1:]
    with open(option("--trace", "trace.txt"), "w") as f:
        f.write("program " + " ".join(args) + "\\n")
        if "DRIFT" in args:
            f.write("answers " + os.path.basename(option("--answers", "-")) + "\\n")
    if option("--record"):
        with open(option("--record"), "w") as f:
            f.write("[Setup]\\n")
    if "SLEEP" in args:
        time.sleep(10)
    os.makedirs("c/APP", exist_ok=True)
    with open("c/APP/RUNS.TXT", "a") as f:
        f.write(" ".join(args) + "\\n")
    sys.exit(int(args[-1]) if args[-1].isdigit() else 0)
if command == "package":
    out = sys.argv[sys.argv.index("-o") + 1]
    names = [out] + [out[:-3] + "%03d" % k for k in range(2, int(sys.argv[-1]) + 1)]
    for i, name in enumerate(names):
        following = os.path.basename(names[i + 1]) if i + 1 < len(names) else ""
        with open(name, "wb") as f:
            f.write(following.encode().ljust(14, b"\\0") + b"volume")
if command == "build":
    if "BROKEN" in sys.argv:
        print("the stub is no installer")
        sys.exit(1)
    with open(sys.argv[sys.argv.index("-o") + 1], "w") as f:
        f.write("built")
"""

RAN = "c/APP/ - ---- - -\nc/APP/RUNS.TXT - ---A new -\n"


class RunTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.build = os.path.join(self.tmp.name, "build")
        write(self.build, "quillpack", FAKE_QUILLPACK)
        os.chmod(os.path.join(self.build, "quillpack"), 0o755)
        self.root = os.path.join(self.tmp.name, "scenarios")
        os.makedirs(self.root)

    def tearDown(self):
        self.tmp.cleanup()

    def run_scenarios(self, names=()):
        out = io.StringIO()
        code = scenario_check.run(self.build, list(names), out, self.root)
        return code, out.getvalue().splitlines()

    def test_each_step_of_a_scenario_fails_naming_what_went_wrong(self):
        cases = [
            # (what, the scenario's files, the lines printed under FAIL or None for a pass)
            ("one installation", {"runs.txt": "0 - A:\\SETUP.EXE\n", "expected/tree.txt": RAN}, None),
            ("the last line without a line feed",
             {"runs.txt": "# exit answers program\n0 - A:\\SETUP.EXE", "expected/tree.txt": RAN},
             None),
            ("a wrong exit code", {"runs.txt": "3 - A:\\SETUP.EXE\n", "expected/tree.txt": RAN},
             ["run 1 (A:\\SETUP.EXE): exit code 0, expected 3"]),
            ("the second run's exit code",
             {"runs.txt": "0 - A:\\SETUP.EXE\n0 - A:\\SETUP.EXE -TWO 3\n", "expected/tree.txt": RAN},
             ["run 2 (A:\\SETUP.EXE -TWO 3): exit code 3, expected 0"]),
            ("no installation at all", {"runs.txt": "# nothing yet\n", "expected/tree.txt": ""},
             ["runs.txt lists no installation"]),
            ("a line too short", {"runs.txt": "0 A:\\SETUP.EXE\n", "expected/tree.txt": ""},
             ["runs.txt, run 1: want EXIT ANSWERS PROGRAM [ARGS...]"]),
            ("a time for a file that is not there",
             {"runs.txt": "0 - A:\\SETUP.EXE\n", "times.txt": "d/GONE 2000-01-01T00:00:00\n",
              "expected/tree.txt": RAN},
             ["times.txt: d/GONE does not exist", "scenario set-up failed"]),
            ("a build that fails",
             {"runs.txt": "0 - A:\\SETUP.EXE\n", "build.txt": "d/SETUP.EXE BROKEN d/A.TXT\n",
              "expected/tree.txt": RAN},
             ["quillpack build of d/SETUP.EXE failed:", "the stub is no installer"]),
            ("a package over three disks",
             {"runs.txt": "0 - A:\\SETUP.EXE\n", "packages.txt": "d1,d2,d3 P.PAK 3\n",
              "expected/roots.txt": "c\nd1\nd2\nd3\n",
              "expected/tree.txt": RAN + "d1/P.PAK - ---A new -\nd2/P.002 - ---A new -\n"
                                         "d3/P.003 - ---A new -\n"}, None),
            ("more volumes than disks",
             {"runs.txt": "0 - A:\\SETUP.EXE\n", "packages.txt": "d1,d2 P.PAK 3\n",
              "expected/tree.txt": RAN}, ["package P.PAK has more volumes than the 2 folders d1,d2"]),
            ("a replay that differs from the recorded run",
             {"runs.txt": "0 - A:\\SETUP.EXE DRIFT\n", "expected/tree.txt": RAN},
             ["run 1 replayed from its recorded answers differs at trace line 2:",
              "  recorded: answers -", "  replayed: answers recorded.1.ini"]),
            ("fewer volumes than disks",
             {"runs.txt": "0 - A:\\SETUP.EXE\n", "packages.txt": "d1,d2,d3 P.PAK 2\n",
              "expected/tree.txt": RAN}, ["package P.PAK has 2 volume(s), the folders d1,d2,d3 want 3"]),
            ("a drive the last run left alone",
             {"runs.txt": "0 - A:\\SETUP.EXE\n", "d/A.TXT": "a", "expected/as-before.txt": "d\n",
              "expected/tree.txt": RAN}, None),
            ("a drive the last run changed",
             {"runs.txt": "0 - A:\\SETUP.EXE\n0 - A:\\SETUP.EXE\n", "expected/as-before.txt": "c\n",
              "expected/tree.txt": RAN},
             ["c not as before the last run (- before, + after):", "  --- before", "  +++ after",
              "  @@ -1,2 +1,2 @@", "   c/APP/ - ---- - -",
              "  -c/APP/RUNS.TXT 13 ---A new b44daa079fcf75c5f2987ccada054e4a"]),
        ]
        for number, (what, files, failure) in enumerate(cases):
            with self.subTest(what):
                name = f"s{number}"
                for rel, text in files.items():
                    write(os.path.join(self.root, name), rel, text)
                code, printed = self.run_scenarios([name])
                if failure is None:
                    self.assertEqual((code, printed),
                                     (0, [f"PASS {name}", "scenarios: 1 passed, 0 failed"]))
                else:
                    self.assertEqual(code, 1)
                    self.assertEqual(printed[0], f"FAIL {name}")
                    self.assertEqual(printed[1:1 + len(failure)], ["    " + f for f in failure])
                    self.assertEqual(printed[-1], f"scenarios: 0 passed, 1 failed: {name}")

    def test_every_folder_is_a_scenario(self):
        write(self.root, "good/runs.txt", "0 - A:\\SETUP.EXE\n")
        write(self.root, "good/expected/tree.txt", RAN)
        os.makedirs(os.path.join(self.root, "half-made/c"))
        os.makedirs(os.path.join(self.root, "__pycache__"))  # Python's, when the checker is imported
        code, printed = self.run_scenarios()
        self.assertEqual(code, 1)
        self.assertEqual(printed, ["PASS good", "FAIL half-made: no runs.txt",
                                   "scenarios: 1 passed, 1 failed: half-made"])
        code, printed = self.run_scenarios(["good", "missing"])
        self.assertEqual(printed[1:], ["FAIL missing: no such scenario",
                                       "scenarios: 1 passed, 1 failed: missing"])

    def test_a_malformed_file_fails_its_scenario_and_the_next_still_runs(self):
        write(self.root, "a-bad/runs.txt", "0 - A:\\SETUP.EXE\n")
        write(self.root, "a-bad/times.txt", "c/APP/RUNS.TXT\n")
        write(self.root, "b-good/runs.txt", "0 - A:\\SETUP.EXE\n")
        write(self.root, "b-good/expected/tree.txt", RAN)
        code, printed = self.run_scenarios()
        self.assertEqual(code, 1)
        self.assertEqual(printed[0], "FAIL a-bad")
        self.assertTrue(printed[1].startswith("    the runner stopped: ValueError"), printed[1])
        self.assertEqual(printed[-2:], ["PASS b-good", "scenarios: 1 passed, 1 failed: a-bad"])

    def test_a_run_that_does_not_end_is_stopped(self):
        write(self.root, "slow/runs.txt", "0 - A:\\SETUP.EXE SLEEP\n")
        saved, scenario_check.RUN_SECONDS = scenario_check.RUN_SECONDS, 1
        try:
            code, printed = self.run_scenarios(["slow"])
        finally:
            scenario_check.RUN_SECONDS = saved
        self.assertEqual(code, 1)
        self.assertEqual(printed[1:3], [
            "    run 1 (A:\\SETUP.EXE SLEEP): exit code 124, expected 0",
            "      (the run did not end within 1 seconds and was stopped)"])


if __name__ == "__main__":
    unittest.main()
