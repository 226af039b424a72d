#!/usr/bin/env python3
"""Logging in with a simulated key against the seal service simulator: the
PIN dialog typed by the driver, the status lines, title, visibility, the
browser started (the prefix's recording "http" handler), the log file on
drive D:, and the key watch driven by plugging and unplugging keys.

Wine sends no device notifications for the simulated keys (they are
folders), so the tests post WM_DEVICECHANGE(DBT_DEVNODES_CHANGED) to the
window themselves, as the system does when a USB device comes or goes."""

import os
import shutil
import socket
import subprocess
import threading

import harness
from harness import Client, Driver, Skip

from texts import PIN_CAPTION, NOTICE_CAPTION, TITLE_IN, TITLE_OUT, LOGGED_IN, PIN_FAILED, BAD_REPLY, \
    SERVER_DOWN, UK_INSERTED, KEEP_ONE_UK, PIN_TOO_SHORT, AUTO_LOGIN_FAILED, SEAL_CAPTION, VISIT_THIS_ADDRESS, \
    TEST_UNIT, TEST_SEAL_NAME, no_answer

WEB_URL = "http://127.0.0.1:9/sealweb/index.jsp?from=client"
WEBSITE_URL = "http://127.0.0.1:9/website"


def sealservice_binary(tree):
    path = os.environ.get("QEX_SEALSERVICE") or os.path.join(
        os.path.dirname(tree.build_dir), "native", "bin", "qex-sealservice")
    if not os.access(path, os.X_OK):
        raise Skip("no seal service simulator at %s (build the native tree)" % path)
    return path


class SealService:
    """qex-sealservice on a free loopback port, with its own database."""

    def __init__(self, tree, name):
        self.binary = sealservice_binary(tree)
        self.dir = os.path.join(tree.work, name, "service")
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.db = os.path.join(self.dir, "seal.db")
        self.proc = None
        self.port = None

    def register(self, cert_hash, web_url=WEB_URL, need_hw="0"):
        subprocess.run([self.binary, "--db", self.db, "register-seal", "--cert-hash", cert_hash,
                        "--unit", TEST_UNIT, "--name", TEST_SEAL_NAME, "--image-url", "http://127.0.0.1:9/img/seal.png",
                        "--web-url", web_url, "--need-hw", need_hw], check=True, stdout=subprocess.DEVNULL)

    def start(self):
        port_file = os.path.join(self.dir, "port")
        self.proc = subprocess.Popen([self.binary, "--db", self.db, "serve", "--port", "0", "--port-file", port_file],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        harness.wait_until(lambda: os.path.exists(port_file) and open(port_file).read().strip(), 30,
                           "the seal service's port")
        self.port = int(open(port_file).read().strip())
        return self

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait()

    def seal_log(self):
        out = subprocess.run([self.binary, "--db", self.db, "list-seal-log"], check=True, stdout=subprocess.PIPE)
        return [l for l in out.stdout.decode("utf-8", "replace").splitlines() if l.strip()]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        return False


class FailingLoginQuery:
    """A loopback relay in front of the service that passes every call but
    the login query (queryUkNameByCerBase64), whose connection it closes
    unanswered: the service is "down" for exactly that step."""

    def __init__(self, upstream_port, refuse=b"queryUkNameByCerBase64", hang=False):
        self.upstream_port = upstream_port
        self.refuse = refuse
        self.refused = 0
        # hang: the refused connection is held open and never answered,
        # like a service that takes calls and then hangs.
        self.hang = hang
        self.held = []
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    @staticmethod
    def _read_request(conn):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(65536)
            if not chunk:
                return data
            data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        length = 0
        for line in head.split(b"\r\n"):
            if line.lower().startswith(b"content-length:"):
                length = int(line.split(b":", 1)[1])
        while len(body) < length:
            chunk = conn.recv(65536)
            if not chunk:
                break
            body += chunk
        return head + b"\r\n\r\n" + body

    def _serve(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            request = self._read_request(conn)
            if self.refuse in request:
                self.refused += 1
                if self.hang:
                    self.held.append(conn)
                else:
                    conn.close()
                continue
            with conn:
                with socket.create_connection(("127.0.0.1", self.upstream_port)) as up:
                    up.sendall(request)
                    while True:
                        chunk = up.recv(65536)
                        if not chunk:
                            break
                        conn.sendall(chunk)

    def close(self):
        self.sock.close()
        for conn in self.held:
            conn.close()


class LoginTool:
    """qexlogin.exe: the client's small dialogs and device notifications."""

    def __init__(self, tree):
        self.tree = tree

    def run(self, *args):
        rc, out, _ = harness.run_windows_program(self.tree, "qexlogin.exe", args)
        return rc, harness.parse_fields(out)

    def dialog(self, caption, ms=harness.EVENT_MS):
        rc, f = self.run("dialog", caption, ms)
        assert rc == 0, "no dialog %r within %d ms" % (caption, ms)
        return f

    def type(self, caption, text):
        assert self.run("type", caption, text)[0] == 0, "could not type into %r" % caption

    def devchange(self):
        assert self.run("devchange")[0] == 0, "no main window to notify"


def write_text(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(text.encode("gbk"))


def configure(tree, service_port, website=WEBSITE_URL, help_url=""):
    """The endpoint in the system folder (both views of it, for 32- and
    64-bit clients) and the web site in the install folder."""
    ws = "[WS]\r\nURL=http://127.0.0.1:%d/qexseal/ws/mycxf\r\n" % service_port
    for sysdir in ("system32", "syswow64"):
        write_text(tree.drive_c("windows", sysdir, "wsconfig.ini"), ws)
    site = "[WEBSITE]\r\nURL=%s\r\n" % website
    if help_url:
        site += "[HELP]\r\nURL=%s\r\n" % help_url
    for pf in ("Program Files", "Program Files (x86)"):
        write_text(tree.drive_c(pf, "ZULQEX", "wsconfig.ini"), site)


def browser_lines(tree):
    if not os.path.exists(tree.browser_log):
        return []
    with open(tree.browser_log, encoding="utf-8", errors="replace") as f:
        return [l.rstrip("\n") for l in f]


def reset_browser_log(tree):
    for path in (tree.browser_log, tree.browser_log + ".show"):
        if os.path.exists(path):
            os.remove(path)


def browser_show_commands(tree):
    """The show command each start of the recording browser was given."""
    path = tree.browser_log + ".show"
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [l.strip() for l in f if l.strip()]


def seal_log_path(tree):
    return tree.drive_d("seallog.txt")


def cert_hash(root, name="KEY1"):
    with open(os.path.join(root, name, "cert-hash.txt")) as f:
        return f.read().strip()


def type_pin(tool, pin):
    f = tool.dialog(PIN_CAPTION)
    tool.type(PIN_CAPTION, pin)
    return f


def press_ok(d, caption):
    d.run("click-msgbox", caption, 1)


def start_logged_out(tree, name, keys=1, register=True):
    """A key root, a running service (seal registered unless told), the
    settings, and an empty log file. Returns (root, service)."""
    root = harness.make_key_root(tree, name, keys)
    service = SealService(tree, name)
    if register and keys:
        service.register(cert_hash(root))
    service.start()
    configure(tree, service.port)
    write_text(seal_log_path(tree), "")
    reset_browser_log(tree)
    return root, service


# ---------------------------------------------------------------------------


def first_login_asks_for_the_pin_once(tree):
    d, tool = Driver(tree), LoginTool(tree)
    root, service = start_logged_out(tree, "login_once")
    with service, Client(tree, env={"QEX_SKF_ROOT": root}):
        d.wait_window(harness.FIRST_WINDOW_MS)
        d.wait_line(harness.STARTUP_ONE_KEY)
        d.run("click", 1)
        f = type_pin(tool, "12345")
        # The prompt is in front, topmost, masked, and has the focus.
        assert f["topmost"] == "1" and f["foreground"] == "1", f
        assert f["focus_in_edit"] == "1" and f["password"] == "1" and f["edit"] == "", f
        d.run("click-msgbox", PIN_CAPTION, 1)
        box = d.wait_msgbox("")
        assert box["text"] == PIN_TOO_SHORT, box
        press_ok(d, "")
        assert tool.dialog(PIN_CAPTION)["edit"] == "12345"
        tool.type(PIN_CAPTION, "6")
        d.run("click-msgbox", PIN_CAPTION, 1)

        assert d.run("wait-title", TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()
        s = d.dump()
        assert s["title"] == TITLE_IN and s["visible"] == "0", s
        assert s["status"] == [LOGGED_IN], s["status"]
        assert s["ctl.1002.text"].endswith(WEB_URL), s["ctl.1002.text"]
        harness.wait_until(lambda: WEB_URL in browser_lines(tree), 30, "the web page in the browser")
        assert browser_lines(tree) == [WEB_URL], browser_lines(tree)
        # The browser is started with the show command SW_HIDE (0).
        assert browser_show_commands(tree) == ["show=0"], browser_show_commands(tree)
        with open(seal_log_path(tree), "rb") as f:
            logged = f.read()
        assert logged == ("QEXRET@@@@%s@@@@0\r\n" % WEB_URL).encode(), logged
        assert len(service.seal_log()) == 1, service.seal_log()

        # Pulled and put back: logged out, then the web site opens and the
        # second login needs no PIN (a prompt would keep the title out).
        shutil.move(os.path.join(root, "KEY1"), os.path.join(root, "..", "KEY1.out"))
        tool.devchange()
        assert d.run("wait-title", TITLE_OUT, harness.EVENT_MS, check=False)[0] == 0, d.dump()
        s = d.dump()
        assert s["visible"] == "0" and s["ctl.1.enabled"] == "0", s
        shutil.move(os.path.join(root, "..", "KEY1.out"), os.path.join(root, "KEY1"))
        tool.devchange()
        d.wait_line(UK_INSERTED)
        s = d.dump()
        assert s["visible"] == "1" and s["ctl.1.enabled"] == "1" and s["title"] == TITLE_OUT, s
        harness.wait_until(lambda: any(WEBSITE_URL in l for l in browser_lines(tree)), 30, "the web site")
        # The key watch opens the site through the shell with SW_SHOW (5).
        harness.wait_until(lambda: len(browser_show_commands(tree)) == 2, 30, "the second show command")
        assert browser_show_commands(tree)[1] == "show=5", browser_show_commands(tree)
        d.run("click", 1)
        assert d.run("wait-title", TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()
        with open(seal_log_path(tree), "rb") as f:
            assert f.read().count(b"\r\n") == 2
        d.run("wm-close")
        d.wait_gone()


def wrong_pin_is_asked_again_and_cancel_is_silent(tree):
    d, tool = Driver(tree), LoginTool(tree)
    root, service = start_logged_out(tree, "wrong_pin")
    os.remove(seal_log_path(tree))  # no log file: nothing is written
    with service, Client(tree, env={"QEX_SKF_ROOT": root}):
        d.wait_window(harness.FIRST_WINDOW_MS)
        d.wait_line(harness.STARTUP_ONE_KEY)
        d.run("click", 1)
        type_pin(tool, "000000")
        d.run("click-msgbox", PIN_CAPTION, 1)
        box = d.wait_msgbox("")
        assert box["text"] == PIN_FAILED, box
        press_ok(d, "")
        d.run("click", 1)
        type_pin(tool, "")  # asked again
        d.run("click-msgbox", PIN_CAPTION, 2)  # cancel
        harness.wait_until(lambda: tool.run("dialog", PIN_CAPTION, 0)[0] != 0, 30, "the PIN dialog to close")
        s = d.dump()
        assert s["status"] == [], s["status"]  # emptied by the command, nothing added
        assert s["title"] == harness.START_TITLE, s
        d.run("click", 1)
        type_pin(tool, "123456")  # still asked: nothing was cached
        d.run("click-msgbox", PIN_CAPTION, 1)
        assert d.run("wait-title", TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()
        assert not os.path.exists(seal_log_path(tree))
        d.run("wm-close")
        d.wait_gone()


def unregistered_key_and_unreachable_service(tree):
    d, tool = Driver(tree), LoginTool(tree)
    root, service = start_logged_out(tree, "unregistered", register=False)
    with service, Client(tree, env={"QEX_SKF_ROOT": root}):
        d.wait_window(harness.FIRST_WINDOW_MS)
        d.wait_line(harness.STARTUP_ONE_KEY)
        d.run("click", 1)
        type_pin(tool, "123456")
        d.run("click-msgbox", PIN_CAPTION, 1)
        d.wait_line(BAD_REPLY)
        s = d.dump()
        assert s["status"] == ["QEXERROR@@@@UNKNOWN_KEY", BAD_REPLY], s["status"]
        assert s["title"] == harness.START_TITLE and s["visible"] == "1", s
        assert service.seal_log() == [], service.seal_log()

        service.stop()
        d.run("click", 1)  # the PIN is cached now: no prompt
        d.wait_line(SERVER_DOWN)
        assert d.dump()["status"] == [SERVER_DOWN]
        d.run("wm-close")
        d.wait_gone()


def key_watch_follows_plugging(tree):
    d, tool = Driver(tree), LoginTool(tree)
    root, service = start_logged_out(tree, "key_watch", keys=0)
    script = os.path.join(tree.source_dir, "scripts", "provision-key.sh")

    def plug(name):
        subprocess.run(["bash", script, "--root", root, "--name", name], check=True, stdout=subprocess.DEVNULL)

    with service, Client(tree, env={"QEX_SKF_ROOT": root}):
        d.wait_window(harness.FIRST_WINDOW_MS)
        d.wait_line(harness.STARTUP_NO_KEY)
        plug("KEY1")
        tool.devchange()
        d.wait_line(UK_INSERTED)
        s = d.dump()
        assert s["title"] == TITLE_OUT and s["visible"] == "1" and s["ctl.1.enabled"] == "1", s
        harness.wait_until(lambda: any(WEBSITE_URL in l for l in browser_lines(tree)), 30, "the web site")

        plug("KEY2")
        tool.devchange()
        d.wait_line(KEEP_ONE_UK)
        s = d.dump()
        assert s["ctl.1.enabled"] == "0" and s["title"] == TITLE_OUT and s["visible"] == "1", s
        lines = len(s["status"])

        shutil.rmtree(os.path.join(root, "KEY2"))
        tool.devchange()
        harness.wait_until(lambda: d.dump()["ctl.1.enabled"] == "1", 30, "the login button enabled")
        s = d.dump()
        assert len(s["status"]) == lines and s["title"] == TITLE_OUT, s
        assert sum(WEBSITE_URL in l for l in browser_lines(tree)) == 1, browser_lines(tree)

        shutil.rmtree(os.path.join(root, "KEY1"))
        tool.devchange()
        harness.wait_until(lambda: d.dump()["ctl.1.enabled"] == "0", 30, "the login button disabled")
        assert len(d.dump()["status"]) == lines
        d.run("wm-close")
        d.wait_gone()


def _set_http_command(tree, command):
    """Replaces (or with None removes) the prefix's "http" open command."""
    reg = os.path.join(tree.work, "http-command.reg")
    with open(reg, "w") as f:
        f.write("REGEDIT4\n\n[-HKEY_CLASSES_ROOT\\http\\shell\\open\\command]\n")
        if command is not None:
            f.write('\n[HKEY_CLASSES_ROOT\\http\\shell\\open\\command]\n@="%s"\n'
                    % command.replace("\\", "\\\\").replace('"', '\\"'))
    rc, _, err = harness.run_windows_program(tree, "regedit", ["/S", "Z:" + reg.replace("/", "\\")])
    assert rc == 0, err


def _restore_http_command(tree):
    env = dict(os.environ, QEX_SOURCE_DIR=tree.source_dir, WINEPREFIX=tree.prefix, QEX_BUILD_DIR=tree.build_dir)
    subprocess.run(["bash", os.path.join(tree.source_dir, "scripts", "wine-prefix.d", "20-browser.sh")],
                   env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def service_down_at_the_login_query_still_logs_in(tree):
    d, tool = Driver(tree), LoginTool(tree)
    root, service = start_logged_out(tree, "query_down")
    relay = FailingLoginQuery(service.port)
    configure(tree, relay.port)
    try:
        with service, Client(tree, env={"QEX_SKF_ROOT": root}):
            d.wait_window(harness.FIRST_WINDOW_MS)
            d.wait_line(harness.STARTUP_ONE_KEY)
            d.run("click", 1)
            type_pin(tool, "123456")
            d.run("click-msgbox", PIN_CAPTION, 1)
            box = d.wait_msgbox(SEAL_CAPTION)
            assert box["text"] == AUTO_LOGIN_FAILED, box
            d.run("click-msgbox", SEAL_CAPTION, 1)
            assert d.run("wait-title", TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()
            s = d.dump()
            assert s["status"] == [AUTO_LOGIN_FAILED, LOGGED_IN], s["status"]
            assert s["visible"] == "0", s
            assert relay.refused >= 1
            # The configured web site instead of the page; the empty reply is logged.
            harness.wait_until(lambda: browser_lines(tree), 30, "the web site")
            assert browser_lines(tree) == [WEBSITE_URL], browser_lines(tree)
            with open(seal_log_path(tree), "rb") as f:
                assert f.read() == b"\r\n"
            d.run("wm-close")
            d.wait_gone()
    finally:
        relay.close()


NO_ANSWER_60 = no_answer(60)


def hung_service_at_the_login_query_gives_up_in_time(tree):
    """A service that takes the login query and never answers: the call
    gives up after its bound with a status line, the automatic login
    counts as failed, and the client is logged in and answers again (it
    used to wait for ever, "not responding", not even able to exit)."""
    d, tool = Driver(tree), LoginTool(tree)
    root, service = start_logged_out(tree, "query_hung")
    relay = FailingLoginQuery(service.port, hang=True)
    configure(tree, relay.port)
    try:
        with service, Client(tree, env={"QEX_SKF_ROOT": root}):
            d.wait_window(harness.FIRST_WINDOW_MS)
            d.wait_line(harness.STARTUP_ONE_KEY)
            d.run("click", 1)
            type_pin(tool, "123456")
            d.run("click-msgbox", PIN_CAPTION, 1)
            harness.wait_until(lambda: relay.refused >= 1, 60, "the login query to reach the hung service")
            box = d.wait_msgbox(SEAL_CAPTION, 180000)
            assert box["text"] == AUTO_LOGIN_FAILED, box
            d.run("click-msgbox", SEAL_CAPTION, 1)
            assert d.run("wait-title", TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()
            s = d.dump()
            assert s["status"] == [NO_ANSWER_60, AUTO_LOGIN_FAILED, LOGGED_IN], s["status"]
            d.run("wm-close")
            assert d.wait_gone(), "the client did not exit after the hung call"
    finally:
        relay.close()


def missing_browser_brings_the_url_notice(tree):
    d, tool = Driver(tree), LoginTool(tree)
    root, service = start_logged_out(tree, "no_browser")
    _set_http_command(tree, '"C:\\nowhere\\browser.exe" -url "%1"')
    try:
        with service, Client(tree, env={"QEX_SKF_ROOT": root}):
            d.wait_window(harness.FIRST_WINDOW_MS)
            d.wait_line(harness.STARTUP_ONE_KEY)
            d.run("click", 1)
            type_pin(tool, "123456")
            d.run("click-msgbox", PIN_CAPTION, 1)
            f = tool.dialog(NOTICE_CAPTION)
            assert f["edit"] == WEB_URL and f["readonly"] == "1", f
            d.run("click-msgbox", NOTICE_CAPTION, 1)
            assert d.run("wait-title", TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()
            s = d.dump()
            assert s["ctl.1002.text"] == VISIT_THIS_ADDRESS + WEB_URL, s
            assert browser_lines(tree) == []
            d.run("wm-close")
            d.wait_gone()
    finally:
        _restore_http_command(tree)


def help_link_opens_the_help_page(tree):
    """The link shows when a help URL is configured; a click starts the browser with it."""
    d = Driver(tree)
    root, service = start_logged_out(tree, "help_link")
    help_url = "http://127.0.0.1:9/help/index.html"
    configure(tree, service.port, help_url=help_url)
    with service, Client(tree, env={"QEX_SKF_ROOT": root}):
        d.wait_window(harness.FIRST_WINDOW_MS)
        d.wait_line(harness.STARTUP_ONE_KEY)
        s = d.dump()
        assert s["ctl.1005.visible"] == "1", s
        d.run("click", 1005)
        harness.wait_until(lambda: browser_lines(tree), 30, "the help page")
        assert browser_lines(tree) == [help_url], browser_lines(tree)
        d.run("wm-close")
        d.wait_gone()


def without_registration_internet_explorer_is_started(tree):
    """The prefix's iexplore.exe (both Program Files) is the recorder."""
    d, tool = Driver(tree), LoginTool(tree)
    root, service = start_logged_out(tree, "ie_fallback")
    _set_http_command(tree, None)
    try:
        with service, Client(tree, env={"QEX_SKF_ROOT": root}):
            d.wait_window(harness.FIRST_WINDOW_MS)
            d.wait_line(harness.STARTUP_ONE_KEY)
            d.run("click", 1)
            type_pin(tool, "123456")
            d.run("click-msgbox", PIN_CAPTION, 1)
            assert d.run("wait-title", TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()
            harness.wait_until(lambda: browser_lines(tree), 30, "Internet Explorer's start")
            assert browser_lines(tree) == [WEB_URL], browser_lines(tree)
            d.run("wm-close")
            d.wait_gone()
    finally:
        _restore_http_command(tree)


if __name__ == "__main__":
    raise SystemExit(harness.main([
        first_login_asks_for_the_pin_once,
        wrong_pin_is_asked_again_and_cancel_is_silent,
        unregistered_key_and_unreachable_service,
        service_down_at_the_login_query_still_logs_in,
        hung_service_at_the_login_query_gives_up_in_time,
        key_watch_follows_plugging,
        missing_browser_brings_the_url_notice,
        help_link_opens_the_help_page,
        without_registration_internet_explorer_is_started,
    ]))
