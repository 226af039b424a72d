#!/usr/bin/env python3
"""The README's first command: scripts/run.sh brings up the seal service
simulator, one simulated key and the client under Wine; after a login with
the key's PIN, the demo page in headless Chromium seals a text, and
`run.sh stop` leaves no process of the run behind. The run reuses this
tree's build (QEX_BUILD_ROOT is the tree's parent, QEX_RUN_TREE this tree)
and keeps its files, its own prefix among them, in the test's work folder."""

import os
import shutil
import socket
import stat
import subprocess
import tempfile
import time

import harness
from harness import Driver, Skip
import test_login
from test_login import LoginTool
import test_seal


class RunTree(harness.Tree):
    """The tree's programs, run in the prefix of run.sh (<run dir>/wineprefix)."""

    def __init__(self, build_dir, run_dir):
        super().__init__(build_dir)
        self.prefix = os.path.join(run_dir, "wineprefix")
        self.wine_run = os.path.join(run_dir, "wine-run-for-tests.sh")
        with open(self.wine_run, "w") as f:
            f.write("#!/usr/bin/env bash\nexport QEX_WINEPREFIX='%s' QEX_SOURCE_DIR='%s' QEX_BUILD_DIR='%s'\n"
                    "exec '%s/scripts/wine-run.sh' \"$@\"\n" % (self.prefix, self.source_dir, build_dir,
                                                              self.source_dir))
        os.chmod(self.wine_run, os.stat(self.wine_run).st_mode | stat.S_IXUSR)


def run_processes(run_dir):
    """Processes that belong to the run: its simulator and its prefix's Wine."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmd = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
            with open("/proc/%s/environ" % pid, "rb") as f:
                env = f.read()
        except OSError:
            continue
        if run_dir.encode() in env or (run_dir in cmd and "qex-sealservice" in cmd):
            found.append((int(pid), cmd.strip()))
    return found


def sealing_from_the_demo_page(tree):
    if not shutil.which("chromium"):
        raise Skip("chromium is not installed")
    # run.sh runs the 32-bit build by default, the 64-bit one where 32-bit
    # programs cannot run; each tree tests the run of its own build.
    build_root = os.path.dirname(tree.build_dir)
    run_dir = os.path.join(tree.work, "run")
    shutil.rmtree(run_dir, ignore_errors=True)
    with socket.socket() as s:  # a free port for the run's simulator
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    env = dict(os.environ, QEX_BUILD_ROOT=build_root, QEX_RUN_DIR=run_dir, QEX_RUN_PORT=str(port),
               QEX_RUN_NEED_HW="0", QEX_RUN_TREE="win32" if tree.is_32bit() else "win64")
    script = os.path.join(tree.source_dir, "scripts", "run.sh")
    harness.wait_until(harness.port_free, 120, "port 10102 to be free")
    log = tempfile.NamedTemporaryFile(prefix="qex-run-", suffix=".log", delete=False)
    proc = subprocess.Popen(["bash", script], env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
    try:
        def running():
            with open(log.name, encoding="utf-8", errors="replace") as f:
                text = f.read()
            assert proc.poll() is None, "run.sh ended early:\n" + text
            return "QEXTivara is running" in text
        harness.wait_until(running, 900, "run.sh to start everything")
        rt = RunTree(tree.build_dir, run_dir)
        d, tool = Driver(rt), LoginTool(rt)
        test_seal.log_in(d, tool)
        out = test_seal.chromium_dom("http://127.0.0.1:%d/demo?autosign=1" % port)
        assert 'data-result="ok"' in out and 'data-status="0"' in out, out[-2000:]
        assert test_seal.UNIT in out
    finally:
        subprocess.run(["bash", script, "stop"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        try:
            proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            proc.kill()
    harness.wait_until(lambda: not run_processes(run_dir), 60, "the run's processes to end")
    with open(log.name, encoding="utf-8", errors="replace") as f:
        assert "run: stopped" in f.read()
    os.unlink(log.name)


if __name__ == "__main__":
    raise SystemExit(harness.main([sealing_from_the_demo_page]))
