#!/usr/bin/env python3
"""qexseal.js in headless Chromium against the real client under Wine: a
page on another origin (127.0.0.2, served from here) loads the library
from the seal service simulator (/sdk/qexseal.js), seals through the
client's bridge on 127.0.0.1:10102 and posts what its promises gave back
to this script. The signatures are checked with the key's certificate."""

import contextlib
import http.server
import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import urllib.parse

import harness
from harness import Driver, Skip
import test_seal
from test_seal import UNIT

MARKER = "QEXDATAEND"
from texts import CONNECTION, UNIT_MISMATCH, TEST_SEAL_NAME, REQUIRED_UNIT, NO_UNIT_GIVEN
PAGE_MS = 120000


def plain_of(text):
    """PLAIN as the client echoes it: the text as qexseal.js sends it
    (encodeURIComponent, and "'" escaped as browsers do), then the marker."""
    return urllib.parse.quote(text, safe="-_.!~*()") + MARKER


class PageServer:
    """The sealing page's own origin, 127.0.0.2 on a free port: serves the
    page of a case and the files of sdk/, and takes the page's report."""

    def __init__(self, tree, host="127.0.0.2"):
        self.sdk_dir = os.path.join(tree.source_dir, "sdk")
        self.pages = {}
        self.reports = []
        self.arrived = threading.Condition()
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def _send(self, status, kind, body):
                self.send_response(status)
                self.send_header("Content-Type", kind)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def do_GET(self):
                path = urllib.parse.urlsplit(self.path).path
                name = path[len("/sdk/"):] if path.startswith("/sdk/") else None
                if path in server.pages:
                    self._send(200, "text/html; charset=utf-8", server.pages[path].encode("utf-8"))
                elif name in ("qexseal.js", "qexseal.mjs"):
                    with open(os.path.join(server.sdk_dir, name), "rb") as f:
                        self._send(200, "text/javascript", f.read())
                else:
                    self._send(404, "text/plain", b"not found\n")

            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                self._send(204, "text/plain", b"")
                with server.arrived:
                    server.reports.append(json.loads(body.decode("utf-8")))
                    server.arrived.notify_all()

        self.httpd = http.server.ThreadingHTTPServer((host, 0), Handler)
        self.base = "http://%s:%d" % (host, self.httpd.server_address[1])
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def wait_report(self, seconds):
        with self.arrived:
            if not self.arrived.wait_for(lambda: self.reports, seconds):
                raise AssertionError("the page reported nothing within %d s" % seconds)
            return self.reports.pop(0)

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


# The scenario is an expression of a promise; outcome() turns a call of
# QexSeal.sign into what it settled with, and report() posts the result.
PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>qexseal.js</title>
%(load)s
<script>
function outcome(p) {
  return p.then(function (r) { return { ok: true, reply: r }; },
                function (e) { return { ok: false, name: e.name, code: e.code, message: e.message, reply: e.reply }; });
}
function report(x) {
  fetch("/report", { method: "POST", body: JSON.stringify(x) });
}
</script>
<script%(type)s>
%(imports)s
Promise.resolve().then(function () { return %(scenario)s; }).then(report, function (e) { report({ crash: String(e) }); });
</script>
</head><body></body></html>
"""


@contextlib.contextmanager
def page_in_chromium(tree, scenario, library_base=None, module=False, head="", server=None, page=None):
    """Runs `scenario` in a page of 127.0.0.2 (or of `server`, which the
    caller then closes) until it reports; yields the server. The library
    comes from `library_base` (the simulator), or as a module from the
    page's own origin. `page` replaces the whole page."""
    if not shutil.which("chromium"):
        raise Skip("chromium is not installed")
    own_server = server is None
    if own_server:
        server = PageServer(tree)
    if module:
        fields = {"load": head, "type": ' type="module"',
                  "imports": 'import QexSeal from "/sdk/qexseal.mjs";'}
    else:
        fields = {"load": '<script src="%s/sdk/qexseal.js"></script>\n%s' % (library_base, head),
                  "type": "", "imports": ""}
    fields["scenario"] = scenario
    server.pages["/case"] = page if page is not None else PAGE % fields
    profile = tempfile.mkdtemp(prefix="qex-chromium-")
    browser = subprocess.Popen(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + profile, server.base + "/case"],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        yield server
    finally:
        # Its own session: the browser and every helper process it started.
        with contextlib.suppress(ProcessLookupError):
            os.killpg(browser.pid, signal.SIGTERM)
        try:
            browser.wait(30)
        except subprocess.TimeoutExpired:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(browser.pid, signal.SIGKILL)
            browser.wait()
        if own_server:
            server.close()
        shutil.rmtree(profile, ignore_errors=True)


def run_page(tree, scenario, seconds=PAGE_MS / 1000, **kw):
    with page_in_chromium(tree, scenario, **kw) as server:
        result = server.wait_report(seconds)
    assert "crash" not in result, result
    return result


@contextlib.contextmanager
def sealing_client(tree, name, need_hw="0"):
    """A logged-in client with one key and the simulator: (driver, key folder, service)."""
    d, tool, root, service = test_seal.logged_in_client(tree, name, need_hw=need_hw)
    with service, harness.start_client(tree, root):
        test_seal.log_in(d, tool)
        yield d, os.path.join(root, "KEY1"), service
        d.run("wm-close")
        d.wait_gone()


def library_at(service):
    return "http://127.0.0.1:%d" % service.port


def assert_sealed(outcome, text, key_dir):
    assert outcome["ok"], outcome
    reply = outcome["reply"]
    assert reply["STATUS"] == "0" and reply["PLAIN"] == plain_of(text), (reply, plain_of(text))
    assert reply["USER"] == UNIT and reply["SEALNAME"] == TEST_SEAL_NAME, reply
    test_seal.verify_signature(key_dir, reply["PLAIN"], reply["SIGNVAL"])
    return reply


def sign_call(text, **options):
    return "outcome(QexSeal.sign(%s, %s))" % (json.dumps(text), json.dumps(options, ensure_ascii=False))


# ---------------------------------------------------------------------------


def seals_from_another_origin(tree):
    """With and without a unit, from a page whose origin is neither the
    client's nor the library's."""
    plain_text = "同意。It's 100% done & filed"
    unit_text = "第二份：按合同第3条办理"
    with sealing_client(tree, "sdk_origin") as (d, key_dir, service):
        result = run_page(tree, "outcome(QexSeal.sign(%s)).then(function (a) {"
                                " return outcome(QexSeal.sign(%s, { unit: %s })).then(function (b) {"
                                " return [a, b]; }); })" % (json.dumps(plain_text), json.dumps(unit_text),
                                                           json.dumps(UNIT, ensure_ascii=False)),
                          library_base=library_at(service))
        assert_sealed(result[0], plain_text, key_dir)
        assert_sealed(result[1], unit_text, key_dir)
        lines = d.dump()["status"]
        assert NO_UNIT_GIVEN in lines and REQUIRED_UNIT + UNIT in lines, lines


def two_calls_at_once(tree):
    """Both resolve with their own text, and the page's own handler is back."""
    texts = ["第一份文件", "第二份文件"]
    own = '<script>function sealInfoHandler() { document.title = "page handler called"; }\n' \
          'var pageHandler = sealInfoHandler;</script>'
    scenario = ("Promise.all([%s, %s]).then(function (r) { return { calls: r,"
                " restored: window.sealInfoHandler === pageHandler, title: document.title }; })"
                % (sign_call(texts[0]), sign_call(texts[1])))
    with sealing_client(tree, "sdk_two") as (d, key_dir, service):
        result = run_page(tree, scenario, library_base=library_at(service), head=own)
        for outcome, text in zip(result["calls"], texts):
            assert_sealed(outcome, text, key_dir)
        assert result["restored"] and result["title"] == "qexseal.js", result
        assert d.dump()["status"].count(test_seal.SIGNED) == 2


def unit_mismatch_is_refused(tree):
    with sealing_client(tree, "sdk_unit") as (d, key_dir, service):
        result = run_page(tree, sign_call("abc", unit="其他单位"), library_base=library_at(service))
        assert not result["ok"] and result["code"] == "REFUSED", result
        assert result["name"] == "QexSealError" and result["message"] == UNIT_MISMATCH, result
        assert result["reply"] == {"STATUS": "1", "ERR": UNIT_MISMATCH}, result


def handwriting_wait_resolves_after_capture(tree):
    """The client first answers "wait"; the page keeps asking while the
    capture runs, and its promise resolves with the seal and the handwriting."""
    scenario = ("(function () { var waits = 0; return outcome(QexSeal.sign(%s, { pollMs: 1000,"
                " onWaiting: function (r) { waits++; } })).then(function (o) { o.waits = waits; return o; }); })()"
                % json.dumps("请签字"))
    with sealing_client(tree, "sdk_hw", need_hw="1") as (d, key_dir, service):
        with page_in_chromium(tree, scenario, library_base=library_at(service)) as page:
            box = d.wait_msgbox("", harness.WINDOW_MS)
            assert test_seal.QR_TEXT in box["text"], box
            capture = test_seal.open_capture_id(service)
            test_seal.submit_from_phone(service, capture, test_seal.tiny_png())

            def confirmed():
                d.run("click-msgbox", "", 1, check=False)  # "继续" once the poll has seen it
                return d.run("wait-line", test_seal.CAPTURED, 1000, check=False)[0] == 0
            harness.wait_until(confirmed, 90, "the finished capture to be confirmed")
            result = page.wait_report(PAGE_MS / 1000)
        reply = assert_sealed(result, "请签字", key_dir)
        assert reply["HWIMGURL"] == "http://127.0.0.1:%d/hw/%s.png" % (service.port, capture), reply
        assert result["waits"] >= 1, result


def too_long_is_refused_before_sending(tree):
    """A text one byte past the 500-byte request line is refused without a
    connection; the text that fills it exactly is sealed whole."""
    # "GET /?data=" + text + "QEXDATAEND" + "&_=" and 12 + " HTTP/1.1\r\n": 49 bytes
    # around the text, whose Chinese characters are nine bytes each.
    exact = "测" * 50 + "abc"
    assert len("GET /?data=" + plain_of(exact) + "&_=" + "x" * 12 + " HTTP/1.1\r\n") == 500
    over = exact + "d"
    with sealing_client(tree, "sdk_long") as (d, key_dir, service):
        before = d.dump()["status"].count(CONNECTION)
        result = run_page(tree, "%s.then(function (over) { return %s.then(function (exact) {"
                                " return [over, exact]; }); })" % (sign_call(over), sign_call(exact)),
                          library_base=library_at(service))
        assert not result[0]["ok"] and result[0]["code"] == "TOO_LONG", result[0]
        assert_sealed(result[1], exact, key_dir)
        # One connection: the exact one's.
        assert d.dump()["status"].count(CONNECTION) == before + 1, d.dump()["status"]


def no_client_is_not_running(tree):
    """Nothing listening on the port: NOT_RUNNING at once, not a time-out
    (which the report's ceiling would not see). The library is imported
    as a module here: the object the classic script defines."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    scenario = ("outcome(QexSeal.sign(\"abc\", { port: %d, timeoutMs: 600000 })).then(function (o) {"
                " o.same = QexSeal === window.QexSeal; return o; })" % port)
    result = run_page(tree, scenario, module=True)
    assert not result["ok"] and result["code"] == "NOT_RUNNING", result
    assert result["same"], result


if __name__ == "__main__":
    raise SystemExit(harness.main([
        seals_from_another_origin,
        two_calls_at_once,
        unit_mismatch_is_refused,
        handwriting_wait_resolves_after_capture,
        too_long_is_refused_before_sending,
        no_client_is_not_running,
    ]))
