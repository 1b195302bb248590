#!/usr/bin/env python3
"""The parts of scripts/mutants that decide a verdict without building
anything: reading the list, matching entries against a tree, bringing the
scratch copy back in step, and reading ctest's list of failed tests."""

import os
import subprocess
import sys
import tempfile
import unittest
from importlib.machinery import SourceFileLoader

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ left in scripts/
mutants = SourceFileLoader("mutants", os.path.join(HERE, "mutants")).load_module()


def write(path, text, when=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)
    if when is not None:
        os.utime(path, (when, when))


class Folder(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.top = self.scratch.name

    def tearDown(self):
        self.scratch.cleanup()


class ListFile(Folder):
    def test_entries_comments_deletions_and_bad_lines(self):
        listing = os.path.join(self.top, "mutants.list")
        write(listing, "# a comment\n\n"
                       "a/b.cpp: x < y => x <= y\n"
                       "a/b.cpp:     gone(); =>\n"
                       "a/b.cpp: no separator here\n"
                       "a b.cpp: x => y\n"
                       "a/b.cpp: x => y => z\n"
                       "a/b.cpp: same => same\n")
        faults, problems = mutants.parse_list(listing)
        self.assertEqual([(f.number, f.line, f.path, f.before, f.after) for f in faults],
                         [(1, 3, "a/b.cpp", "x < y", "x <= y"), (2, 4, "a/b.cpp", "    gone();", "")])
        self.assertEqual([problem.split(": ", 1)[0] for problem in problems],
                         [f"{listing}:{line}" for line in (5, 6, 7, 8)])

    def test_the_table_shows_the_changed_words_with_a_word_around_them(self):
        self.assertEqual(mutants.change_of("if (a >= 1 && b < limit)", "if (a >= 1 && b <= limit)"),
                         "b < limit) → b <= limit)")
        self.assertEqual(mutants.change_of("    parser_->body_limit(maxBody);", ""),
                         "parser_->body_limit(maxBody); → (deleted)")

    def test_failed_tests_are_read_from_ctests_summary(self):
        log = os.path.join(self.top, "tests.log")
        write(log, "100/100 Test #3: x ... Passed\n"
                   "The following tests FAILED:\n"
                   "\t 12 - Builds/T.Take/LinkedClass  # GetParam() = 4-byte object <00-00 00-00> (Failed)\n"
                   "\t 40 - panel_host.scenario.destroying (Timeout)\n"
                   "\t 41 - Codec.Reads (SEGFAULT)\n"
                   "Errors while running CTest\n")
        self.assertEqual(mutants.failed_tests(log),
                         ["Builds/T.Take/LinkedClass", "panel_host.scenario.destroying (timeout)",
                          "Codec.Reads (segfault)"])


class Tree(Folder):
    """A throw-away git tree standing in for the working tree."""

    def setUp(self):
        super().setUp()
        self.root = os.path.join(self.top, "root")
        write(os.path.join(self.root, "src", "a.cpp"), "int f() { return 1; }\nint g() { return 2; }\n", 1e9)
        write(os.path.join(self.root, "src", "moved.cpp"), "int h() { return x < 3; }\n")
        write(os.path.join(self.root, ".gitignore"), "/build/\n")
        subprocess.run(["git", "init", "-q", self.root], check=True)
        subprocess.run(["git", "-C", self.root, "add", "."], check=True)
        self.saved_root, mutants.ROOT = mutants.ROOT, self.root

    def tearDown(self):
        mutants.ROOT = self.saved_root
        super().tearDown()

    def test_an_entry_matches_once_or_is_stale_with_where_its_text_went(self):
        once = mutants.fault(1, 1, "src/a.cpp", "return 2;", "return 3;")
        self.assertIsNotNone(mutants.check_fault(once, self.root))
        self.assertEqual((once.state, once.where), ("ok", 2))
        moved = mutants.fault(2, 2, "src/a.cpp", "x < 3", "x <= 3")
        mutants.check_fault(moved, self.root)
        self.assertEqual((moved.state, moved.note), ("stale", "text not in the file; now at src/moved.cpp:1"))
        twice = mutants.fault(3, 3, "src/a.cpp", "return", "throw")
        mutants.check_fault(twice, self.root)
        self.assertEqual((twice.state, twice.note), ("stale", "text found 2 times: make it longer"))
        gone = mutants.fault(4, 4, "src/b.cpp", "return 2;", "return 3;")
        mutants.check_fault(gone, self.root)
        self.assertEqual((gone.state, gone.note), ("stale", "no such file; now at src/a.cpp:2"))

    def test_a_fault_is_planted_in_the_copy_alone_and_taken_out_again(self):
        copy = os.path.join(self.top, "copy")
        mutants.sync_scratch(copy)
        entry = mutants.fault(1, 1, "src/a.cpp", "return 2;", "return 3;")
        content = mutants.check_fault(entry, copy)
        path = mutants.plant(entry, content, copy)
        with open(path, encoding="utf-8") as source:
            self.assertEqual(source.read(), "int f() { return 1; }\nint g() { return 3; }\n")
        with open(os.path.join(self.root, "src", "a.cpp"), encoding="utf-8") as source:
            self.assertEqual(source.read(), content)
        mutants.restore(path, content)
        with open(path, encoding="utf-8") as source:
            self.assertEqual(source.read(), content)

    def test_the_scratch_copy_is_brought_back_newer_than_what_a_fault_built(self):
        copy = os.path.join(self.top, "copy")
        names, changed = mutants.sync_scratch(copy)
        self.assertEqual((names, changed), ([".gitignore", "src/a.cpp", "src/moved.cpp"], 3))
        # A run cut short left a fault planted; its object is newer than
        # the original file, which was checked out long ago.
        planted = os.path.join(copy, "src", "a.cpp")
        write(planted, "int f() { return 0; }\nint g() { return 2; }\n")
        write(os.path.join(copy, "src", "left_over.cpp"), "")
        write(os.path.join(copy, "build", "default", "object.o"), "")
        built = os.path.getmtime(planted)
        self.assertEqual(mutants.sync_scratch(copy)[1], 1)
        with open(planted, encoding="utf-8") as source:
            self.assertEqual(source.read(), "int f() { return 1; }\nint g() { return 2; }\n")
        self.assertGreaterEqual(os.path.getmtime(planted), built)
        self.assertFalse(os.path.exists(os.path.join(copy, "src", "left_over.cpp")))
        self.assertTrue(os.path.exists(os.path.join(copy, "build", "default", "object.o")))
        self.assertEqual(mutants.sync_scratch(copy)[1], 0)


if __name__ == "__main__":
    unittest.main()
