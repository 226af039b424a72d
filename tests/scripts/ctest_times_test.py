#!/usr/bin/env python3
"""scripts/ctest-times.py against ctest output fed to it as ctest writes it:
every line passes through in order, the closing summary comes last and
whole, and the times before it are the builds', the labels' and the
fuzzers' of that run."""

import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                      "scripts", "ctest-times.py")

TESTS = {"tests": [
    {"name": "native.build", "properties": []},
    {"name": "native.core_tests", "properties": [{"name": "LABELS", "value": ["native"]}]},
    {"name": "win32.wine_exit.escape_key", "properties": [{"name": "LABELS", "value": ["win32", "wine", "client"]}]},
    {"name": "win32.wine_exit.close_box", "properties": [{"name": "LABELS", "value": ["win32", "wine", "client"]}]},
    {"name": "asan.fuzz_request", "properties": [{"name": "LABELS", "value": ["asan", "fuzz"]}]},
    {"name": "win32.core_tests", "properties": [{"name": "LABELS", "value": ["win32", "wine"]}]},
]}

LOG = """Start testing: Dec 09 20:26 UTC
----------------------------------------------------------
5/5 Testing: asan.fuzz_request
5/5 Test: asan.fuzz_request
Output:
----------------------------------------------------------
#163464	DONE   cov: 89 ft: 173 corp: 42/1494b lim: 4096 exec/s: 14860 rss: 467Mb
Done 163464 runs in 11 second(s)
<end of output>
Test time =  11.20 sec
----------------------------------------------------------
Test Passed.
6/6 Testing: win32.core_tests
6/6 Test: win32.core_tests
Output:
----------------------------------------------------------
wine-sandbox: this machine's kernel runs no 32-bit programs (ia32 emulation is off): the win32 tree's programs cannot run here
<end of output>
"""

PROGRESS = [
    "      Start 1: native.build\n",
    "1/5 Test #1: native.build .............................   Passed   59.25 sec\n",
    "      Start 2: native.core_tests\n",
    "      Start 3: win32.wine_exit.escape_key\n",
    "      Start 4: win32.wine_exit.close_box\n",
    "2/5 Test #2: native.core_tests ........................   Passed    0.03 sec\n",
    "3/5 Test #3: win32.wine_exit.escape_key ...............   Passed    6.50 sec\n",
    "4/5 Test #4: win32.wine_exit.close_box ................***Failed    7.06 sec\n",
    "FAIL close_box (7.0 s)\n",
    "      Start 5: asan.fuzz_request\n",
    "5/5 Test #5: asan.fuzz_request ........................   Passed   11.20 sec\n",
    "      Start 6: win32.core_tests\n",
    "6/6 Test #6: win32.core_tests .........................***Skipped   0.05 sec\n",
]

SUMMARY = [
    "\n",
    "80% tests passed, 1 tests failed out of 5\n",
    "\n",
    "Label Time Summary:\n",
    "client    =  13.56 sec*proc (2 tests)\n",
    "\n",
    "Total Test time (real) =  80.00 sec\n",
    "\n",
    "The following tests FAILED:\n",
    "\t  4 - win32.wine_exit.close_box (Failed)\n",
    "Errors while running CTest\n",
]


class CtestTimes(unittest.TestCase):
    def run_filter(self, lines, pause_after=None, pause=0.0):
        with tempfile.TemporaryDirectory() as tmp:
            tests = os.path.join(tmp, "tests.json")
            log = os.path.join(tmp, "LastTest.log")
            with open(tests, "w") as f:
                json.dump(TESTS, f)
            with open(log, "w") as f:
                f.write(LOG)
            proc = subprocess.Popen([sys.executable, SCRIPT, "--tests", tests, "--log", log,
                                     "--started", str(time.time())],
                                    stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
            echoed = ""
            for line in lines:
                proc.stdin.write(line)
                proc.stdin.flush()
                if line == pause_after:
                    # The pause counts only once the filter has taken the
                    # line: on a busy machine it may still be starting.
                    while not echoed.endswith(line):
                        echoed += proc.stdout.readline()
                    time.sleep(pause)
            out, _ = proc.communicate(timeout=60)
            out = echoed + out
            self.assertEqual(proc.returncode, 0)
            return out

    def test_progress_passes_through_and_the_summary_comes_last(self):
        out = self.run_filter(PROGRESS + SUMMARY)
        self.assertTrue(out.startswith("".join(PROGRESS)), out)
        self.assertTrue(out.endswith("".join(SUMMARY)), out)
        # The times are between the two, not inside either.
        middle = out[len("".join(PROGRESS)):-len("".join(SUMMARY))]
        self.assertIn("build native", middle)
        self.assertIn("== times", middle)

    def test_builds_labels_and_fuzzers_are_reported(self):
        out = self.run_filter(PROGRESS + SUMMARY, pause_after=PROGRESS[4], pause=1.2)
        rows = {line.split()[0]: line.split() for line in out.splitlines() if line.startswith("   ")}
        self.assertEqual(rows["build"][1:3], ["native", "59"])
        # client: two tests, 6.50 + 7.06 s of their own; both were running
        # through the pause, so their span is at least that long.
        self.assertEqual(rows["client"][2:], ["14", "2"])
        self.assertGreaterEqual(float(rows["client"][1]), 1)
        self.assertRegex(out, r"fuzzer asan\.fuzz_request\s+163464 runs in\s+11 s")
        # The build has no label: it is not one of the tree's tests.
        self.assertEqual(rows["native"][2:], ["0", "1"])
        # A skipped test says why.
        self.assertIn("skipped 1: wine-sandbox: this machine's kernel runs no 32-bit programs", out)

    def test_a_run_without_tests_still_ends_with_ctests_words(self):
        out = self.run_filter(["No tests were found!!!\n"])
        self.assertTrue(out.endswith("No tests were found!!!\n"), out)


if __name__ == "__main__":
    unittest.main()
