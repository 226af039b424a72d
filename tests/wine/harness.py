"""Runs the client of one Windows build tree under Wine and looks at it from
outside through qexdrive.exe. Used by the test_*.py scripts beside it.

Every wait is on an observable event with a generous ceiling; nothing
assumes how fast Wine is. Whatever a test starts is ended when it leaves,
on success and on failure alike.
"""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import traceback

# Ceilings, not expectations: the first start in a fresh prefix also
# creates the prefix (wineboot), which takes far longer than a normal start.
FIRST_WINDOW_MS = 180000
WINDOW_MS = 120000
EVENT_MS = 30000
EXIT_S = 60

SKIP = 77

# The texts the scripts look for, from the one table (texts.py).
from texts import STARTUP_NO_KEY, STARTUP_ONE_KEY, STARTUP_TWO_KEYS, START_TITLE, APP_CAPTION, \
    ALREADY_RUNNING  # noqa: E402,F401


class Skip(Exception):
    """The behaviour cannot be observed in this build (reason given)."""


class Tree:
    """Paths of one Windows build tree and its Wine prefix.

    Under ctest each test runs in a sandbox of its own (scripts/wine-sandbox.sh)
    that names the test's copy of the prefix (QEX_WINEPREFIX, which the
    tree's wine-run.sh uses as well) and a work folder (QEX_TEST_WORK).
    Run by hand, a script uses the tree's own prefix and wine-tests/."""

    def __init__(self, build_dir):
        self.build_dir = os.path.abspath(build_dir)
        self.bin = os.path.join(self.build_dir, "bin")
        self.prefix = os.environ.get("QEX_WINEPREFIX") or os.path.join(self.build_dir, "wineprefix")
        self.wine_run = os.path.join(self.build_dir, "wine-run.sh")
        self.source_dir = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
        self.work = os.environ.get("QEX_TEST_WORK") or os.path.join(self.build_dir, "wine-tests")
        self.browser_log = os.path.join(self.prefix, "drive_c", "qex-browser.log")

    def is_32bit(self):
        """True for a tree of 32-bit programs (the Wine wrapper names the tree)."""
        with open(self.wine_run, encoding="utf-8") as f:
            return 'QEX_TREE="win32"' in f.read()

    def exe(self, name):
        return os.path.join(self.bin, name)

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def drive_d(self, *parts):
        return os.path.join(self.prefix, "drive_d", *parts)

    def ensure_prefix(self):
        """Creates the prefix (and runs its set-up hooks) before any timing starts."""
        env = dict(os.environ, QEX_SOURCE_DIR=self.source_dir,
                   QEX_WINEPREFIX=self.prefix, QEX_BUILD_DIR=self.build_dir)
        with tempfile.TemporaryFile() as log:
            proc = subprocess.run([os.path.join(self.source_dir, "scripts", "wine-prefix.sh")], env=env,
                                  stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
            if proc.returncode != 0:
                log.seek(0)
                raise AssertionError("wine-prefix.sh failed:\n" + log.read().decode("utf-8", "replace"))


def machine_runs_32bit():
    """False on a kernel that runs no 32-bit programs (ia32 emulation off),
    as scripts/wine-arch.sh decides it (test.sh exports its answer)."""
    known = os.environ.get("QEX_WINE_32BIT")
    if known not in ("0", "1"):
        script = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                              "scripts", "wine-arch.sh")
        known = subprocess.run(["bash", "-c", 'source "$0" && echo "$QEX_WINE_32BIT"', script],
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, check=True,
                               timeout=60).stdout.decode().strip()
    return known == "1"


class Display:
    """Keeps $DISPLAY when set; else runs an Xvfb of our own for this test.

    Wine's desktop process holds on to the display it first saw, so when we
    own the display we also end the prefix's wineserver before stopping it.
    """

    def __init__(self, tree):
        self.tree = tree
        self.proc = None

    def __enter__(self):
        if os.environ.get("DISPLAY"):
            return self
        n = 150
        while os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
            n += 1
        self.proc = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: os.path.exists("/tmp/.X11-unix/X%d" % n), 30, "Xvfb :%d" % n)
        os.environ["DISPLAY"] = ":%d" % n
        return self

    def __exit__(self, *exc):
        if self.proc:
            env = dict(os.environ, WINEPREFIX=self.tree.prefix)
            subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.proc.terminate()
            self.proc.wait()
            del os.environ["DISPLAY"]
        return False


def wait_until(cond, seconds, what):
    deadline = time.monotonic() + seconds
    while True:
        if cond():
            return
        if time.monotonic() >= deadline:
            if cond():
                return
            raise AssertionError("timed out after %s s waiting for %s" % (seconds, what))
        time.sleep(0.1)


def unescape(value):
    out, i = [], 0
    while i < len(value):
        c = value[i]
        if c == "\\" and i + 1 < len(value):
            out.append({"n": "\n", "r": "\r", "\\": "\\"}.get(value[i + 1], value[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def parse_fields(text):
    fields = {}
    for line in text.splitlines():
        key, sep, value = line.partition("=")
        if sep:
            fields[key] = unescape(value)
    return fields


def run_windows_program(tree, exe, args=(), env=None, timeout=600):
    """Runs one program to its end: (exit code, stdout, stderr). `exe` is a
    file name in the tree's bin/, or a Windows path or Wine command.

    Output goes through files, not pipes: a Wine process may start the
    prefix's wineserver and desktop, which inherit its descriptors and would
    hold a pipe open (and the reader waiting on it) as long as they run.
    """
    with tempfile.TemporaryFile() as out_f, tempfile.TemporaryFile() as err_f:
        program = exe if ("\\" in exe or "." not in exe) else tree.exe(exe)
        proc = subprocess.run([tree.wine_run, program] + [str(a) for a in args], env=env,
                              stdin=subprocess.DEVNULL, stdout=out_f, stderr=err_f, timeout=timeout)
        out_f.seek(0)
        err_f.seek(0)
        return (proc.returncode, out_f.read().decode("utf-8", "replace"),
                err_f.read().decode("utf-8", "replace"))


class Driver:
    """qexdrive.exe, run in the tree's prefix; it looks only at windows of
    processes that run `program`."""

    def __init__(self, tree, program="QEXTivara.exe"):
        self.tree = tree
        self.env = dict(os.environ, QEX_DRIVE_EXE=program)

    def run(self, *args, check=True):
        rc, out, err = run_windows_program(self.tree, "qexdrive.exe", args, self.env)
        if check and rc != 0:
            raise AssertionError("qexdrive %s: exit %d\n%s%s" % (" ".join(map(str, args)), rc, out, err))
        return rc, parse_fields(out)

    def dump(self):
        """The main window's state. A status list that could not be read
        (the client's window thread busy past the driver's send time-out,
        as under load) is read again, never taken for an empty one."""
        deadline = time.monotonic() + EVENT_MS / 1000
        while True:
            rc, f = self.run("dump", check=False)
            if f.get("windows", "0") == "0" or f.get("lines.ok") == "1":
                break
            if time.monotonic() >= deadline:
                raise AssertionError("the status list of the main window could not be read within %d ms: %r"
                                     % (EVENT_MS, f))
            time.sleep(0.2)
        n = int(f.get("lines", "0"))
        f["status"] = [f["line.%d" % i] for i in range(n)]
        f["rc"] = rc
        return f

    def wait_window(self, ms=WINDOW_MS):
        self.run("wait-window", ms)

    def wait_line(self, text, ms=EVENT_MS):
        rc, _ = self.run("wait-line", text, ms, check=False)
        if rc != 0:
            raise AssertionError("no status line %r within %d ms; lines: %r" % (text, ms, self.dump()["status"]))

    def wait_msgbox(self, caption, ms=EVENT_MS):
        rc, f = self.run("wait-msgbox", caption, ms, check=False)
        if rc != 0:
            _, boxes = self.run("msgboxes", check=False)
            raise AssertionError("no dialog box %r within %d ms; boxes: %r" % (caption, ms, boxes))
        return {k[len("box.0."):]: v for k, v in f.items() if k.startswith("box.0.")}

    def wait_gone(self, ms=WINDOW_MS):
        return self.run("wait-gone", ms, check=False)[0] == 0


class Client:
    """One client process: started through the tree's wine-run.sh with its
    own environment; killed on leaving if it is still running."""

    def __init__(self, tree, exe="QEXTivara.exe", args=(), env=None):
        self.tree = tree
        self.exe = exe
        self.args = list(args)
        self.env = dict(os.environ)
        self.env.update(env or {})
        self.proc = None

    def start(self):
        # Output goes to a file of the test's work folder (not a pipe, see
        # run_windows_program), for describe() when the client misbehaves.
        os.makedirs(self.tree.work, exist_ok=True)
        self.log = tempfile.NamedTemporaryFile(dir=self.tree.work, prefix=self.exe + "-", suffix=".log",
                                               delete=False)
        with self.log:
            self.proc = subprocess.Popen([self.tree.wine_run, self.tree.exe(self.exe)] + self.args, env=self.env,
                                         cwd=self.tree.bin, stdin=subprocess.DEVNULL, stdout=self.log,
                                         stderr=subprocess.STDOUT)
        return self

    def describe(self):
        """Whether the process still runs (or how it ended), and the end of its output."""
        if self.proc is None:
            return "%s not started" % self.exe
        rc = self.proc.poll()
        state = "running" if rc is None else "ended with exit code %d" % rc
        with open(self.log.name, encoding="utf-8", errors="replace") as f:
            tail = f.read()[-2000:]
        return "%s %s; its output: %r" % (self.exe, state, tail)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, seconds=EXIT_S):
        try:
            self.proc.wait(timeout=seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    def kill(self):
        if self.running():
            # wine-run.sh execs wine, which execs the loader: the pid is the
            # Windows process itself (never its process group: the prefix's
            # wineserver may have been started from it).
            try:
                os.kill(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.proc.wait()

    def __enter__(self):
        return self if self.proc else self.start()

    def __exit__(self, *exc):
        self.kill()
        return False


BRIDGE_PORT = 10102
PORT_FREE_S = 300


def port_free(port=BRIDGE_PORT):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def port_owner_prefix(port=BRIDGE_PORT):
    """The server folder name ("server-<dev>-<inode>") of the Wine prefix
    whose wineserver holds the listener on 127.0.0.1:port (Wine keeps its
    sockets in the wineserver); "" for a non-Wine owner, None when nobody
    listens."""
    inode = None
    with open("/proc/net/tcp") as f:
        for row in f.read().splitlines()[1:]:
            cols = row.split()
            if cols[1] == "0100007F:%04X" % port and cols[3] == "0A":
                inode = cols[9]
    if inode is None:
        return None
    target = "socket:[%s]" % inode
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            for fd in os.listdir("/proc/%s/fd" % pid):
                if os.readlink("/proc/%s/fd/%s" % (pid, fd)) == target:
                    name = os.path.basename(os.readlink("/proc/%s/cwd" % pid))
                    return name if name.startswith("server-") else ""
        except OSError:
            continue
    return ""


def prefix_server_name(tree):
    st = os.stat(tree.prefix)
    return "server-%x-%x" % (st.st_dev, st.st_ino)


def start_client(tree, keys_root, attempts=3, exe="QEXTivara.exe"):
    """The real client with its own device root; returns once its main
    window is up and its bridge listens. `exe` may be the full path of a
    copy of the client in a folder of its own (with other DLLs beside it).

    The bridge port is one for the whole machine: a client of another tree
    or prefix (other test runs on this machine) that holds it makes ours
    fail to listen and show "2:10048". That is not the client's fault, so
    such a start is ended and tried again once the port is free.
    """
    ours = prefix_server_name(tree)
    for attempt in range(attempts):
        if not port_free():
            print("note: port %d is in use (another client on this machine?); waiting" % BRIDGE_PORT, flush=True)
            wait_until(port_free, PORT_FREE_S, "port %d to be free" % BRIDGE_PORT)
        client = Client(tree, exe=exe, env={"QEX_SKF_ROOT": keys_root}).start()
        try:
            try:
                Driver(tree).wait_window()
            except AssertionError as e:
                # Say what is on the desktop instead (a message box of a
                # copy that found another one running, say).
                seen = Driver(tree, "*").run("dump", check=False)[1]
                raise AssertionError("%s\nwhat the driver sees: %s\n%s" % (e, seen, client.describe())) from None
            wait_until(lambda: port_owner_prefix() is not None, EVENT_MS / 1000, "the bridge to listen")
            if port_owner_prefix() == ours:
                return client
            print("note: another program took port %d; starting the client again" % BRIDGE_PORT, flush=True)
        except BaseException:
            client.kill()
            raise
        client.kill()
    raise AssertionError("port %d kept being taken by other programs" % BRIDGE_PORT)


def make_key_root(tree, name, keys):
    """A fresh device root holding `keys` simulated keys."""
    root = os.path.join(tree.work, name, "keys")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    script = os.path.join(tree.source_dir, "scripts", "provision-key.sh")
    for i in range(keys):
        subprocess.run(["bash", script, "--root", root, "--name", "KEY%d" % (i + 1)], check=True,
                       stdout=subprocess.DEVNULL)
    return root


def main(cases):
    """Runs the given test functions (each takes a Tree) in order, or only
    those named on the command line; any failure fails the script, a Skip
    of every case skips it. --list prints the case names, one a line: the
    build registers each case as a test of its own (tests/wine/CMakeLists.txt),
    so a new case or script needs no other registration."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--tree")
    parser.add_argument("--list", action="store_true", help="print the names of the cases and exit")
    parser.add_argument("cases", nargs="*")
    opts = parser.parse_args()
    names = [c.__name__ for c in cases]
    if opts.list:
        print("\n".join(names))
        return 0
    if not opts.tree:
        parser.error("--tree is required")
    unknown = [c for c in opts.cases if c not in names]
    if unknown:
        parser.error("no such case: %s (cases: %s)" % (", ".join(unknown), ", ".join(names)))
    tree = Tree(opts.tree)
    if tree.is_32bit() and not machine_runs_32bit():
        print("SKIP all: this machine's kernel runs no 32-bit programs (ia32 emulation is off), "
              "so the win32 tree cannot run under Wine here", flush=True)
        return SKIP
    os.makedirs(tree.work, exist_ok=True)
    selected = [c for c in cases if not opts.cases or c.__name__ in opts.cases]
    failed, skipped = [], []
    with Display(tree):
        tree.ensure_prefix()
        for case in selected:
            start = time.monotonic()
            try:
                case(tree)
                print("PASS %s (%.1f s)" % (case.__name__, time.monotonic() - start), flush=True)
            except Skip as e:
                skipped.append(case.__name__)
                print("SKIP %s: %s" % (case.__name__, e), flush=True)
            except Exception:
                failed.append(case.__name__)
                print("FAIL %s (%.1f s)" % (case.__name__, time.monotonic() - start), flush=True)
                traceback.print_exc()
                sys.stdout.flush()
            finally:
                leftover = Driver(tree, "*").run("dump", check=False)[1].get("windows", "0")
                if leftover != "0":
                    # A window nobody owns any more means a client we did not
                    # start or could not kill: end the prefix's processes.
                    print("cleanup: %s main window(s) left; ending the prefix's processes" % leftover)
                    env = dict(os.environ, WINEPREFIX=tree.prefix)
                    subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    subprocess.run(["wineserver", "-w"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    if not failed or failed[-1] != case.__name__:
                        failed.append(case.__name__)
    if failed:
        print("failed: %s" % ", ".join(failed))
        return 1
    if selected and len(skipped) == len(selected):
        return SKIP
    return 0
