#!/usr/bin/env python3
"""Figures of the real client under Wine (a Windows build tree): how fast
the bridge on 127.0.0.1:10102 answers, what one full seal costs and where
the time goes, how long the client takes to start and how much memory and
idle CPU it uses. Each figure is printed beside a baseline run under the
same Wine in the same run (a bare Winsock responder, a bare dialog).

A benchmark, not a test: it prints figures and asserts nothing about speed.

    python3 bench/bridge_wine_bench.py --tree build/win32 [--requests 300]
        [--idle-seconds 60] [--wait-file /tmp/ci.log]

Needs the win32 tree built (QEXTivara.exe, qexdrive.exe, qexlogin.exe,
mtoken_gm3000.dll, winsock_responder.exe, bare_dialog.exe, skf_bench.exe)
and the native seal service simulator (native/bin/qex-sealservice beside
the tree, or $QEX_SEALSERVICE). Uses port 10102: waits while another
program holds it. Give it a prefix no other run uses at the same time (a
tree folder whose wine-run.sh names its own prefix and whose bin/ is the
build's): a shared wineserver mixes the windows of two runs.
"""

import argparse
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "wine"))

import harness  # noqa: E402
from harness import Client, Driver  # noqa: E402
import test_login  # noqa: E402
from test_login import FailingLoginQuery, LoginTool, SealService  # noqa: E402

GATE_REQUEST = b"GET /?data=abcQEXDATAEND&_=1 HTTP/1.1\r\nHost: 127.0.0.1:10102\r\nAccept: */*\r\n\r\n"
LOGIN_FIRST = "请先登录签章客户端"


# --------------------------------------------------------------- helpers


def request(port, raw=GATE_REQUEST, timeout=60):
    """One request on a fresh connection, read to the server's close:
    (seconds, reply bytes)."""
    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(raw)
        chunks = []
        while True:
            c = s.recv(65536)
            if not c:
                break
            chunks.append(c)
    return time.perf_counter() - start, b"".join(chunks)


def percentile(values, p):
    v = sorted(values)
    if not v:
        return float("nan")
    k = min(len(v) - 1, max(0, int(round(p / 100.0 * (len(v) - 1)))))
    return v[k]


def load(port, total, clients):
    """`total` requests from `clients` threads, each on its own connection:
    (requests per second, latencies in s, failures)."""
    lat, failures, lock = [], [0], threading.Lock()
    per = [total // clients + (1 if i < total % clients else 0) for i in range(clients)]

    def worker(n):
        for _ in range(n):
            try:
                t, body = request(port)
                ok = body.startswith(b"HTTP/1.0 200")
            except OSError:
                ok, t = False, 0.0
            with lock:
                if ok:
                    lat.append(t)
                else:
                    failures[0] += 1

    threads = [threading.Thread(target=worker, args=(n,)) for n in per]
    start = time.perf_counter()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    wall = time.perf_counter() - start
    return len(lat) / wall, lat, failures[0]


def fmt_load(name, rps, lat, failures):
    return "%-22s %8.1f req/s   p50 %7.2f ms   p99 %7.2f ms   failed %d" % (
        name, rps, 1000 * percentile(lat, 50), 1000 * percentile(lat, 99), failures)


def mapped_dlls(pid):
    """Names of the DLLs a Wine process has mapped (from /proc/<pid>/maps)."""
    names = set()
    try:
        with open("/proc/%d/maps" % pid) as f:
            for line in f:
                path = line.split(None, 5)[-1].strip()
                if path.lower().endswith((".dll", ".so", ".drv")) and "/" in path:
                    names.add(os.path.basename(path).lower().replace(".so", ""))
    except OSError:
        pass
    return names


def proc_stat(pid):
    """(utime+stime in clock ticks, rss in kB) of one Linux process."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])  # utime, stime (fields 14, 15)
    with open("/proc/%d/status" % pid) as f:
        rss = next(int(l.split()[1]) for l in f if l.startswith("VmRSS:"))
    return ticks, rss


def prefix_processes(tree):
    """Linux pids of the Wine processes of this prefix (by their
    environment), wineserver included: {pid: command name}."""
    found = {}
    want = ("WINEPREFIX=" + tree.prefix).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                env = f.read().split(b"\0")
            if want not in env:
                continue
            with open("/proc/%s/comm" % pid) as f:
                found[int(pid)] = f.read().strip()
        except OSError:
            continue
    server = wineserver_pid(tree)
    if server:
        found[server] = "wineserver"
    return found


def wineserver_pid(tree):
    """The wineserver holds its socket in the prefix's server folder: find
    the process whose cwd is that folder."""
    name = harness.prefix_server_name(tree)
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.path.basename(os.readlink("/proc/%s/cwd" % pid)) == name:
                with open("/proc/%s/comm" % pid) as f:
                    if "wineserver" in f.read():
                        return int(pid)
        except OSError:
            continue
    return None


def wait_file_line(path, prefix, what):
    if not path:
        return
    while True:
        try:
            with open(path, errors="replace") as f:
                if any(l.startswith(prefix) for l in f):
                    return
        except OSError:
            pass
        print("note: waiting for %s (%s in %s)" % (what, prefix, path), flush=True)
        time.sleep(10)


class TimingRelay(FailingLoginQuery):
    """A loopback relay in front of the seal service that passes every call
    and records, per SOAP call, when it came and how long the service took
    (request fully read to reply fully forwarded, the relay's hop inside)."""

    def __init__(self, upstream_port):
        self.calls = []
        self.lock = threading.Lock()
        super().__init__(upstream_port, refuse=b"\0never\0")

    @staticmethod
    def _operation(request):
        m = re.search(rb"Body>\s*<(?:[\w-]+:)?([\w-]+)", request)
        return m.group(1).decode() if m else "?"

    def _one(self, conn):
        with conn:
            req = self._read_request(conn)
            start = time.perf_counter()
            with socket.create_connection(("127.0.0.1", self.upstream_port)) as up:
                up.sendall(req)
                while True:
                    chunk = up.recv(65536)
                    if not chunk:
                        break
                    conn.sendall(chunk)
            end = time.perf_counter()
            with self.lock:
                self.calls.append((start, end, self._operation(req)))

    def _serve(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self._one, args=(conn,), daemon=True).start()

    def between(self, t0, t1):
        with self.lock:
            return [c for c in self.calls if t0 <= c[0] <= t1]


class ListenerResponder:
    """listener_responder.exe: the client's listener alone, in a process of
    its own, with a hidden status list."""

    def __init__(self, tree):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        self.ready = os.path.join(tree.work, "bench", "listener.ready")
        if os.path.exists(self.ready):
            os.remove(self.ready)
        self.proc = Client(tree, "listener_responder.exe", [str(self.port), self.ready]).start()

    def __enter__(self):
        harness.wait_until(lambda: os.path.exists(self.ready), 120, "the listener responder")
        return self

    def __exit__(self, *exc):
        self.proc.kill()
        return False


class Responder:
    """winsock_responder.exe on a free loopback port, under the same prefix:
    the bare floor, or with `shaped` the floor of the bridge's own steps
    (two synchronous status lines to a visible list of the UI thread, four
    header sends and a body send)."""

    def __init__(self, tree, shaped=None):
        self.tree = tree
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        self.ready = os.path.join(tree.work, "bench", "responder-%s.ready" % (shaped or "bare"))
        if os.path.exists(self.ready):
            os.remove(self.ready)
        args = (["--" + shaped] if shaped else []) + [str(self.port), self.ready]
        self.proc = Client(tree, "winsock_responder.exe", args).start()

    def __enter__(self):
        harness.wait_until(lambda: os.path.exists(self.ready), 120, "the Winsock responder")
        return self

    def __exit__(self, *exc):
        self.proc.kill()
        return False


# ---------------------------------------------------------------- phases


BARE_DLLS = {}


def bare_dialog_figures(tree, runs=3, libs=False):
    """Start-up to WM_INITDIALOG and resident memory of the bare dialog;
    with `libs` after starting the system libraries the client starts."""
    times, rss = [], []
    ready = os.path.join(tree.work, "bench", "bare.ready")
    for _ in range(runs):
        if os.path.exists(ready):
            os.remove(ready)
        t0 = time.perf_counter()
        c = Client(tree, "bare_dialog.exe", (["--libs"] if libs else []) + [ready]).start()
        try:
            # Polled as often as the client's listener is (harness.wait_until
            # looks only every 100 ms).
            deadline = t0 + 120
            while not os.path.exists(ready) and time.perf_counter() < deadline:
                time.sleep(0.005)
            times.append(time.perf_counter() - t0)
            time.sleep(1)  # let it settle before reading its memory
            rss.append(proc_stat(c.proc.pid)[1])
            BARE_DLLS[libs] = mapped_dlls(c.proc.pid)
        finally:
            c.kill()
    return times, rss


def start_client_timed(tree, root):
    """Process start to the bridge listening (owned by our prefix)."""
    ours = harness.prefix_server_name(tree)
    while not harness.port_free():
        print("note: port 10102 is in use; waiting", flush=True)
        harness.wait_until(harness.port_free, harness.PORT_FREE_S, "port 10102 to be free")
    for _ in range(5):
        while not harness.port_free():
            harness.wait_until(harness.port_free, harness.PORT_FREE_S, "port 10102 to be free")
        t0 = time.perf_counter()
        client = Client(tree, env={"QEX_SKF_ROOT": root}).start()
        deadline = t0 + 120
        while time.perf_counter() < deadline:
            owner = harness.port_owner_prefix()
            if owner is not None:
                break
            time.sleep(0.005)
        if owner == ours:
            return client, time.perf_counter() - t0
        # Another program took the port first: not the client's doing.
        print("note: another program took port 10102; starting the client again", flush=True)
        client.kill()
        Driver(tree).wait_gone()
    raise RuntimeError("port 10102 kept being taken by other programs")


def key_figures(tree, root, n=30):
    rc, out, err = harness.run_windows_program(tree, "skf_bench.exe", [n],
                                               env=dict(os.environ, QEX_SKF_ROOT=root))
    if rc != 0:
        raise RuntimeError("skf_bench: %s %s" % (out, err))
    return {k: float(v) for k, v in re.findall(r"(\w+)=([\d.]+)", out)}


def sign_round_trips(relay, n):
    rows = []
    for i in range(n):
        raw = ("GET /?data=bench%%20text%%20%dQEXDATAEND&_=%d HTTP/1.1\r\nHost: 127.0.0.1:10102\r\n\r\n"
               % (i, i)).encode()
        t0 = time.perf_counter()
        total, body = request(harness.BRIDGE_PORT, raw, timeout=120)
        t1 = time.perf_counter()
        status = re.search(rb'"STATUS":"(\d)"', body)
        calls = relay.between(t0, t1)
        rows.append((total, sum(c[1] - c[0] for c in calls), [c[2] for c in calls],
                     status.group(1).decode() if status else "?"))
    return rows


def silent_peer_figures(port, silent=6):
    """With `silent` connections open that send nothing: seconds until a
    real request is answered, seconds until the server has closed all the
    silent ones (from their connect), and whether the reply came. The
    silent ones are opened a moment before (as a browser opens them ahead):
    seven connects at once would overflow the listen backlog of 5, and the
    system would retry the dropped one after a second whatever the server
    does."""
    socks = [socket.create_connection(("127.0.0.1", port), timeout=60) for _ in range(silent)]
    time.sleep(0.5)
    t0 = time.perf_counter()
    try:
        answered, body = request(port, timeout=60)
        ok = body.startswith(b"HTTP/1.0 200")
    except OSError:
        answered, ok = float("nan"), False
    closed = []
    for s in socks:
        try:
            s.settimeout(60)
            while s.recv(100):
                pass
            closed.append(time.perf_counter() - t0)
        except OSError:
            closed.append(float("nan"))
        finally:
            s.close()
    return answered, max(closed), ok


def seal_breakdown(tree, trace_tree, root, relay, n):
    """One seal's steps as the client itself timed them: the client of a
    tree configured with -DQEX_STEP_TRACE=ON writes, per request, when each
    step ended (core/step_trace.h). Prints the median time of each step
    (from the end of the step before) over `n` seals."""
    d, tool = Driver(tree), LoginTool(tree)
    exe = os.path.join(os.path.abspath(trace_tree), "bin", "QEXTivara.exe")
    steps = os.path.join(tree.work, "bench", "steps.txt")
    if os.path.exists(steps):
        os.remove(steps)
    while not harness.port_free():
        harness.wait_until(harness.port_free, harness.PORT_FREE_S, "port 10102 to be free")
    env = {"QEX_SKF_ROOT": root, "QEX_STEP_TRACE_FILE": "Z:" + steps.replace("/", "\\")}
    with Client(tree, exe=exe, env=env):
        d.wait_window(harness.FIRST_WINDOW_MS)
        harness.wait_until(lambda: harness.port_owner_prefix() is not None, 60, "the bridge to listen")
        d.wait_line(harness.STARTUP_ONE_KEY)
        d.run("click", 1)
        test_login.type_pin(tool, "123456")
        d.run("click-msgbox", test_login.PIN_CAPTION, 1)
        assert d.run("wait-title", test_login.TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()
        if os.path.exists(steps):
            os.remove(steps)  # the login's marks are the main thread's; nothing of the bridge yet
        rows = sign_round_trips(relay, n)
        # Then the same client at the login gate (key pulled): the bridge's
        # own steps with nothing else in between.
        shutil.move(os.path.join(root, "KEY1"), os.path.join(root, "..", "KEY1.out"))
        tool.devchange()
        assert d.run("wait-title", test_login.TITLE_OUT, harness.EVENT_MS, check=False)[0] == 0, d.dump()
        _, lat_gate, _ = load(harness.BRIDGE_PORT, 200, 1)
        d.run("wm-close")
        d.wait_gone()
        shutil.move(os.path.join(root, "..", "KEY1.out"), os.path.join(root, "KEY1"))
    lines = []
    with open(steps) as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            lines.append([(parts[i], int(parts[i + 1])) for i in range(0, len(parts) - 1, 2)])

    def breakdown(title, chosen):
        print("\n== %s (client's own timestamps, trace build, median of %d)" % (title, len(chosen)))
        if not chosen:
            print("nothing traced (%d request lines in all)" % len(lines))
            return None
        shape = [name for name, _ in chosen[0]]
        same = [l for l in chosen if [name for name, _ in l] == shape]
        for i, name in enumerate(shape):
            if i == 0:
                continue
            delta = statistics.median(l[i][1] - l[i - 1][1] for l in same)
            print("  %-36s %8.2f ms" % (name, delta / 1000.0))
        return statistics.median(l[-1][1] for l in same) / 1000.0

    inside = breakdown("one seal, step by step", [l for l in lines if any(n == "key: PIN, sign" for n, _ in l)])
    if inside is not None:
        total = statistics.median(r[0] for r in rows) * 1000.0
        service = statistics.median(r[1] for r in rows) * 1000.0
        print("  accept to shut, inside the client:   %8.2f ms (request seen by the page: %.1f ms, of which the"
              " service itself %.1f ms)" % (inside, total, service))
    gate = [l for l in lines if len(l) > 3 and not any(n.startswith("service") for n, _ in l)]
    inside = breakdown("one request at the login gate, step by step", gate[-150:])
    if inside is not None:
        print("  accept to shut, inside the client:   %8.2f ms (request seen by the page: p50 %.2f ms)" % (
            inside, 1000 * percentile(lat_gate, 50)))


def cpu_over(pids, seconds):
    """Clock ticks used by each pid over `seconds` of doing nothing."""
    before = {p: proc_stat(p)[0] for p in pids}
    time.sleep(seconds)
    return {p: proc_stat(p)[0] - before[p] for p in pids}


# ------------------------------------------------------------------ main


def run(tree, opts):
    d, tool = Driver(tree), LoginTool(tree)
    os.makedirs(os.path.join(tree.work, "bench"), exist_ok=True)
    hz = os.sysconf("SC_CLK_TCK")
    print("machine: %d cores, %s, tree %s" % (os.cpu_count(),
          subprocess.run(["wine", "--version"], stdout=subprocess.PIPE).stdout.decode().strip(), tree.build_dir))

    root = harness.make_key_root(tree, "bench", 1)
    key = key_figures(tree, root)  # also warms the prefix up
    print("\n== key (software key through mtoken_gm3000.dll, %d iterations)" % key.get("iterations", 0))
    print("key session per seal (open, PIN, sign, verify, close): %.2f ms" % key["session_ms"])
    print("SKF_RSASignData alone:                                 %.2f ms" % key["sign_ms"])

    plain_times, plain_rss = bare_dialog_figures(tree)
    times, rss = bare_dialog_figures(tree, libs=True)
    print("\n== baseline: bare dialog (plain; with the client's system libraries started)")
    for name, t, r in (("plain", plain_times, plain_rss), ("with libraries", times, rss)):
        print("%-15s start-up to WM_INITDIALOG: %s ms (median %.0f); resident memory %d kB" % (
            name, " ".join("%.0f" % (1000 * x) for x in t), 1000 * statistics.median(t), statistics.median(r)))

    service = SealService(tree, "bench")
    service.register(test_login.cert_hash(root), web_url="NOURL", need_hw="0")
    service.start()
    relay = TimingRelay(service.port)
    test_login.configure(tree, relay.port)
    try:
        wait_file_line(opts.wait_file, "rc=", "the other run to release port 10102")
        if opts.trace_only:
            seal_breakdown(tree, opts.trace_tree, root, relay, opts.seals)
            return
        client, startup = start_client_timed(tree, root)
        with client:
            d.wait_window(harness.FIRST_WINDOW_MS)
            time.sleep(2)
            client_rss = proc_stat(client.proc.pid)[1]
            shared = {p: n for p, n in prefix_processes(tree).items()
                      if p != client.proc.pid and n != "qexdrive.exe"}
            shared_rss = 0
            for p in shared:
                try:
                    shared_rss += proc_stat(p)[1]
                except OSError:
                    pass
            print("\n== client start-up and memory")
            print("process start to bridge listening: %.0f ms (bare dialog with libraries %.0f ms, ratio %.2f)" % (
                1000 * startup, 1000 * statistics.median(times), startup / statistics.median(times)))
            print("resident memory of QEXTivara.exe: %d kB (bare dialog with libraries %d kB, ratio %.1f;"
                  " plain %d kB)" % (client_rss, statistics.median(rss), client_rss / statistics.median(rss),
                                     statistics.median(plain_rss)))
            extra = sorted(mapped_dlls(client.proc.pid) - BARE_DLLS.get(True, set()))
            print("libraries the client has mapped beyond the bare dialog with libraries: %s" % (
                " ".join(extra) or "none"))
            print("prefix's shared Wine processes (%s): %d kB" % (
                ", ".join(sorted(set(shared.values()))), shared_rss))

            # Logged in with a seal that needs no handwriting.
            d.wait_line(harness.STARTUP_ONE_KEY)
            d.run("click", 1)
            test_login.type_pin(tool, "123456")
            d.run("click-msgbox", test_login.PIN_CAPTION, 1)
            assert d.run("wait-title", test_login.TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()

            rows = sign_round_trips(relay, opts.seals)
            print("\n== full seal round trip (%d requests, logged in, need-hw 0)" % len(rows))
            print("status of the replies: %s; SOAP calls per seal: %s" % (
                ",".join(sorted(set(r[3] for r in rows))), rows[-1][2]))
            for total, svc, _, _ in rows:
                print("  total %7.1f ms   service %6.1f ms" % (1000 * total, 1000 * svc))
            tot = statistics.median(r[0] for r in rows)
            svc = statistics.median(r[1] for r in rows)
            keyt = key["session_ms"] / 1000.0
            print("median: total %.1f ms = service %.1f ms + key ~%.1f ms + client (rest) %.1f ms" % (
                1000 * tot, 1000 * svc, 1000 * keyt, 1000 * (tot - svc - keyt)))

            server = wineserver_pid(tree)
            pids = [client.proc.pid] + ([server] if server else [])
            used = cpu_over(pids, opts.idle_seconds)
            print("\n== idle CPU over %d s (logged in, tray)" % opts.idle_seconds)
            print("QEXTivara.exe: %.2f s CPU (%.2f%% of one core)" % (
                used[client.proc.pid] / hz, 100.0 * used[client.proc.pid] / hz / opts.idle_seconds))
            if server:
                print("wineserver:    %.2f s CPU (%.2f%% of one core)" % (
                    used[server] / hz, 100.0 * used[server] / hz / opts.idle_seconds))

            # Pull the key: the device change logs out and clears the seal
            # image; every request then stops at the login gate.
            shutil.move(os.path.join(root, "KEY1"), os.path.join(root, "..", "KEY1.out"))
            tool.devchange()
            assert d.run("wait-title", test_login.TITLE_OUT, harness.EVENT_MS, check=False)[0] == 0, d.dump()
            _, body = request(harness.BRIDGE_PORT)
            text = body.decode("gbk", "replace")
            gate_ok = '"STATUS":"1"' in text and LOGIN_FIRST in text
            print("\n== bridge at the login gate (reply: %s)" % text.split("\r\n\r\n", 1)[-1])
            if not gate_ok:
                print("warning: the gate reply is not STATUS 1 %s; figures below are of that reply" % LOGIN_FIRST)
            calls_before = len(relay.calls)
            # The floors run under the same Wine, beside the client, in the
            # same run: bare (nothing but the sockets) and shaped (the steps
            # the bridge cannot leave out).
            shown = d.dump().get("visible") == "1"
            print("client window %s: its status lines go to a %s list" % (
                "shown" if shown else "hidden (tray)", "visible" if shown else "hidden"))
            with Responder(tree) as bare, Responder(tree, "shaped") as shaped, \
                    Responder(tree, "shaped-hidden") as shaped_hidden, ListenerResponder(tree) as alone:
                # Sequential once more at the end: the status lists (the
                # client's and the shaped floor's) have grown by two lines
                # per connection by then.
                for clients in (1, 8, 1):
                    n = opts.requests
                    rps_c, lat_c, fail_c = load(harness.BRIDGE_PORT, n, clients)
                    rps_b, lat_b, fail_b = load(bare.port, n, clients)
                    rps_s, lat_s, fail_s = load(shaped.port, n, clients)
                    rps_h, lat_h, fail_h = load(shaped_hidden.port, n, clients)
                    rps_l, lat_l, fail_l = load(alone.port, n, clients)
                    label = "sequential" if clients == 1 else "%d concurrent clients" % clients
                    print("%s, %d requests each:" % (label, n))
                    print("  " + fmt_load("bare floor", rps_b, lat_b, fail_b))
                    print("  " + fmt_load("shaped, list shown", rps_s, lat_s, fail_s))
                    print("  " + fmt_load("shaped, list hidden", rps_h, lat_h, fail_h))
                    print("  " + fmt_load("listener alone", rps_l, lat_l, fail_l))
                    print("  " + fmt_load("client bridge", rps_c, lat_c, fail_c))
                    print("  client/bare:   %.2f of the throughput, p50 x%.2f" % (
                        rps_c / rps_b, percentile(lat_c, 50) / percentile(lat_b, 50)))
                    for name, rps_x, lat_x in (("shown", rps_s, lat_s), ("hidden", rps_h, lat_h)):
                        print("  client/shaped (list %s): %.2f of the throughput, p50 x%.2f" % (
                            name, rps_c / rps_x, percentile(lat_c, 50) / percentile(lat_x, 50)))
                    lost = fail_c + fail_b + fail_s + fail_h + fail_l
                    print("  lost replies: %s" % ("none" if lost == 0 else
                                                  "%d (client %d, bare %d, shaped %d/%d, listener alone %d)" % (
                                                      lost, fail_c, fail_b, fail_s, fail_h, fail_l)))
            answered, closed, ok = silent_peer_figures(harness.BRIDGE_PORT)
            print("\n== silent peers (6 connections that send nothing, open before the request)")
            print("real request answered after %.0f ms (%s); silent ones all closed by the client %.1f s after" % (
                1000 * answered, "replied" if ok else "NO REPLY", closed))
            print("  (baseline: the sequential client p50 above, with no silent connection)")
            print("service calls made while at the gate: %d" % (len(relay.calls) - calls_before))
            d.run("wm-close")
            d.wait_gone()
        if opts.trace_tree:
            # Key back in for the traced client.
            shutil.move(os.path.join(root, "..", "KEY1.out"), os.path.join(root, "KEY1"))
            seal_breakdown(tree, opts.trace_tree, root, relay, opts.seals)
    finally:
        relay.close()
        service.stop()
        src = os.path.join(root, "..", "KEY1.out")
        if os.path.exists(src):
            shutil.move(src, os.path.join(root, "KEY1"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tree", required=True, help="a Windows build tree (e.g. build/win32)")
    parser.add_argument("--requests", type=int, default=300, help="requests per load figure")
    parser.add_argument("--seals", type=int, default=5, help="full seal round trips")
    parser.add_argument("--idle-seconds", type=int, default=60)
    parser.add_argument("--trace-tree", help="a tree of the same kind configured with -DQEX_STEP_TRACE=ON"
                        " (its QEXTivara.exe built): one seal's steps as the client timed them")
    parser.add_argument("--trace-only", action="store_true", help="only the step-by-step figures of --trace-tree")
    parser.add_argument("--wait-file", help="wait until this file has a line starting with rc=")
    opts = parser.parse_args()
    tree = harness.Tree(opts.tree)
    os.makedirs(tree.work, exist_ok=True)
    with harness.Display(tree):
        tree.ensure_prefix()
        try:
            run(tree, opts)
        finally:
            env = dict(os.environ, WINEPREFIX=tree.prefix)
            subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
