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


if __name__ == "__main__":
    unittest.main()
