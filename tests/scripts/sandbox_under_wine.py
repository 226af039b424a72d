#!/usr/bin/env python3
"""scripts/wine-sandbox.sh of one Windows tree, on which every Windows test
relies to run beside the others: two sandboxes at once each have their own
127.0.0.1:10102, their own copy of the template prefix (Wine runs in it;
what one writes, neither the other nor the template sees) and their own X
display (a number of its own, reachable only from inside); a passed sandbox
leaves nothing behind, a failed one keeps its files and its exit code.

    sandbox_under_wine.py --tree build/win32
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest

SKIP = 77
TREE = None

# Runs inside a sandbox: argv[1] names it, argv[2] is a folder shared with
# the other sandbox (outside both), argv[3] the tree.
CHILD = textwrap.dedent('''
    import json, os, socket, subprocess, sys, time
    name, shared, tree = sys.argv[1:4]
    prefix = os.environ["QEX_WINEPREFIX"]
    s = socket.socket()
    s.bind(("127.0.0.1", 10102))
    s.listen(1)
    # The display: a mark on the root window of our own, which the other
    # sandbox's (set at the same time) must not overwrite.
    subprocess.run(["xprop", "-root", "-f", "QEX_SANDBOX", "8s", "-set", "QEX_SANDBOX", name], check=True)
    open(os.path.join(shared, name + ".listening"), "w").close()
    other = "b" if name == "a" else "a"
    deadline = time.monotonic() + 120
    while not os.path.exists(os.path.join(shared, other + ".listening")):
        if time.monotonic() > deadline:
            sys.exit("the other sandbox never listened")
        time.sleep(0.1)
    with open(os.path.join(prefix, "drive_c", "probe-" + name + ".txt"), "w") as f:
        f.write(name)
    open(os.path.join(shared, name + ".probed"), "w").close()
    # A Windows program in the copy: the recorder writes C:\\qex-browser.log.
    rc = subprocess.run([os.path.join(tree, "wine-run.sh"), os.path.join(tree, "bin", "qexrecorder.exe"),
                         "http://probe/" + name], stdin=subprocess.DEVNULL).returncode
    with open(os.path.join(prefix, "drive_c", "qex-browser.log"), encoding="utf-8") as f:
        logged = f.read()
    # Once the other has written its probe, it must still be unseen here.
    deadline = time.monotonic() + 120
    while not os.path.exists(os.path.join(shared, other + ".probed")):
        if time.monotonic() > deadline:
            sys.exit("the other sandbox never wrote its probe")
        time.sleep(0.1)
    st = os.stat(prefix)
    mark = subprocess.run(["xprop", "-root", "QEX_SANDBOX"], stdout=subprocess.PIPE, text=True).stdout
    # Sockets of this network namespace: the display's must be an abstract
    # name ("@/tmp/.X11-unix/X0"), never a file that displays outside share.
    with open("/proc/net/unix") as f:
        paths = [row.split()[7] for row in f.read().splitlines()[1:] if len(row.split()) > 7]
    print(json.dumps({"display": os.environ["DISPLAY"], "display_mark": mark.strip(), "prefix": prefix,
                      "recorder_rc": rc,
                      "logged": logged, "server": [st.st_dev, st.st_ino],
                      "sees_other": os.path.exists(os.path.join(prefix, "drive_c", "probe-" + other + ".txt")),
                      "work": os.environ["QEX_TEST_WORK"],
                      "x_sockets": sorted(set(p for p in paths if ".X11-unix" in p))}))
''')


def sandbox(name, *command, **kw):
    return subprocess.run([os.path.join(TREE, "wine-sandbox.sh"), name] + list(command),
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          timeout=600, **kw)


class Sandbox(unittest.TestCase):
    def setUp(self):
        self.template = os.path.join(TREE, "wineprefix")
        self.shared = tempfile.mkdtemp(prefix="qex-sandbox-test-")

    def tearDown(self):
        shutil.rmtree(self.shared, ignore_errors=True)

    def test_two_at_once_have_their_own_port_prefix_and_display(self):
        before = sorted(os.listdir(os.path.join(self.template, "drive_c")))
        procs = {}
        for name in ("a", "b"):
            procs[name] = subprocess.Popen(
                [os.path.join(TREE, "wine-sandbox.sh"), "sandbox_test." + name, sys.executable, "-c", CHILD,
                 name, self.shared, TREE], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                stderr=subprocess.PIPE, text=True)
        ended = {name: proc.communicate(timeout=600) + (proc.returncode,) for name, proc in procs.items()}
        results = {}
        for name, (out, err, rc) in ended.items():
            if rc == SKIP:
                self.skipTest(err.strip())
            self.assertEqual(rc, 0, "sandbox %s: %s" % (name, err))
            results[name] = json.loads(out.strip().splitlines()[-1])
        a, b = results["a"], results["b"]
        # Numbers taken with X's lock files: the server names files by them.
        self.assertNotEqual(a["display"], b["display"])
        self.assertNotEqual(a["prefix"], b["prefix"])
        self.assertNotEqual(a["server"], b["server"])
        for r, name in ((a, "a"), (b, "b")):
            self.assertNotEqual(os.path.realpath(r["prefix"]), os.path.realpath(self.template))
            self.assertFalse(r["sees_other"], r)
            self.assertEqual(r["display_mark"], 'QEX_SANDBOX(STRING) = "%s"' % name, r)
            self.assertTrue(r["x_sockets"] and all(p.startswith("@") for p in r["x_sockets"]), r)
            self.assertEqual(r["recorder_rc"], 0, r)
            self.assertEqual(r["logged"].splitlines(), ["http://probe/" + name], r)
            # Passed: nothing of it is left.
            self.assertFalse(os.path.exists(os.path.dirname(r["work"])), r["work"])
        self.assertEqual(sorted(os.listdir(os.path.join(self.template, "drive_c"))), before)

    def test_a_failed_command_keeps_its_files_and_its_exit_code(self):
        r = sandbox("sandbox_test.failed", "sh", "-c", 'echo kept > "$QEX_TEST_WORK/left"; exit 3')
        if r.returncode == SKIP:
            self.skipTest(r.stderr.strip())
        box = os.path.join(TREE, "sandbox", "sandbox_test.failed")
        try:
            self.assertEqual(r.returncode, 3, r.stderr)
            with open(os.path.join(box, "work", "left")) as f:
                self.assertEqual(f.read(), "kept\n")
            self.assertIn(box, r.stderr)
        finally:
            shutil.rmtree(box, ignore_errors=True)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--tree", required=True)
    opts, rest = parser.parse_known_args()
    TREE = os.path.abspath(opts.tree)
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    # Skipped only as a whole (the tree's programs cannot run here), with
    # the sandbox's reason as the last line.
    if result.skipped and len(result.skipped) == result.testsRun:
        print(result.skipped[0][1], flush=True)
        sys.exit(SKIP)
    sys.exit(0)
