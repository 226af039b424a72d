#!/usr/bin/env python3
"""The command line of tests/wine/harness.py main(), which the build uses
to register every case as a test: --list names the cases in order and needs
no tree; a case name it does not know is an error, not a run of nothing."""

import contextlib
import io
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "wine"))
import harness  # noqa: E402


def first_case(tree):
    raise AssertionError("must not run")


def second_case(tree):
    raise AssertionError("must not run")


class HarnessCommandLine(unittest.TestCase):
    def main(self, *argv):
        old = sys.argv
        sys.argv = ["test_x.py"] + list(argv)
        out, err = io.StringIO(), io.StringIO()
        try:
            with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
                try:
                    rc = harness.main([first_case, second_case])
                except SystemExit as e:
                    rc = e.code
        finally:
            sys.argv = old
        return rc, out.getvalue(), err.getvalue()

    def test_list_names_the_cases_in_order_without_a_tree(self):
        rc, out, _ = self.main("--list")
        self.assertEqual(rc, 0)
        self.assertEqual(out.split(), ["first_case", "second_case"])

    def test_an_unknown_case_is_an_error(self):
        rc, out, err = self.main("--tree", "/nonexistent", "first_case", "no_such_case")
        self.assertEqual(rc, 2)
        self.assertIn("no such case: no_such_case", err)
        self.assertEqual(out, "")

    def test_running_needs_a_tree(self):
        rc, _, err = self.main("first_case")
        self.assertEqual(rc, 2)
        self.assertIn("--tree", err)


if __name__ == "__main__":
    unittest.main()
