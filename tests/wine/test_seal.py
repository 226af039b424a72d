#!/usr/bin/env python3
"""The whole sealing flow against the real client under Wine: a logged-in
client answers sign requests on 127.0.0.1:10102 with JSONP, first asks for
a handwritten signature (the QR dialog opens and polls the seal service),
takes the handwriting submitted from the "phone", and then seals: the
reply carries a signature that the key's certificate verifies over the
digest of the signed text. Also the demo page in headless Chromium."""

import base64
import hashlib
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import tempfile
import urllib.error
import urllib.request
import zlib

import harness
from harness import Client, Driver, Skip
import test_login
from test_login import LoginTool, SealService

BRIDGE = "http://127.0.0.1:10102/"
from texts import CONNECTION, QR_TEXT, WAIT_HW, CAPTURED, GIVEN_UP, SIGNED, REQUIRED_UNIT, UNIT_MISMATCH, \
    UNIT_MISMATCH_LINE, NET_INIT_FAILED_2, RESIGN_FAILED, RESIGN_REFUSED, NO_DATA, TEST_SEAL_NAME
from texts import TEST_UNIT as UNIT


def ask(query, seconds=120):
    """One sign request as a page's script element makes it: the reply
    fields (decoded from code page 936) and the raw body."""
    with urllib.request.urlopen(BRIDGE + query, timeout=seconds) as r:
        body = r.read()
        assert r.headers.get("Content-type") == "text/html", r.headers
        assert int(r.headers.get("Content-Length")) == len(body)
    text = body.decode("gbk")
    m = re.fullmatch(r"sealInfoHandler\(\{(.*)\}\);", text)
    assert m, text
    fields = dict(re.findall(r'"([A-Z]+)":"((?:[^"\\]|\\.)*)"', m.group(1)))
    return fields, body


def exchange(request, seconds=120):
    """Sends raw request bytes and reads the reply to the client's close;
    the reply body as bytes."""
    with socket.create_connection(("127.0.0.1", 10102), timeout=seconds) as s:
        s.sendall(request)
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    assert head.startswith(b"HTTP/1.0 200 OK"), data
    return body


def ask_raw(request_line, seconds=120):
    """A request line of raw bytes (what a program, not a browser, may
    send); the reply body as bytes."""
    return exchange(b"GET /" + request_line + b" HTTP/1.0\r\n\r\n", seconds)


def read_like_a_browser(body):
    """The reply decoded as GBK (bad bytes replaced, as browsers do) and its
    object parsed as JSON."""
    text = body.decode("gbk", "replace")
    m = re.fullmatch(r"sealInfoHandler\((\{.*\})\);", text, re.S)
    assert m, text
    return json.loads(m.group(1))


def tiny_png():
    """An 8x8 grey PNG with a dark diagonal: a "handwriting"."""
    rows = b"".join(b"\x00" + bytes(0 if x == y else 255 for x in range(8)) for y in range(8))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 8, 8, 8, 0, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def open_capture_id(service):
    """The id of the capture the client is polling (its last request)."""
    found = []

    def polled():
        with urllib.request.urlopen("http://127.0.0.1:%d/admin/last-request" % service.port, timeout=10) as r:
            m = re.search(rb"2@@@@([A-Za-z0-9_-]+)", r.read())
        if m:
            found.append(m.group(1).decode())
        return bool(m)
    harness.wait_until(polled, 60, "the handwriting dialog's first poll")
    return found[-1]


def submit_from_phone(service, capture_id, png):
    req = urllib.request.Request("http://127.0.0.1:%d/phone/submit?id=%s" % (service.port, capture_id),
                                 data=base64.b64encode(png), method="POST")
    try:
        with urllib.request.urlopen(req, timeout=30) as r:
            assert r.status == 200
    except urllib.error.HTTPError as e:
        raise AssertionError("submit of capture %r: %d %s" % (capture_id, e.code, e.read()[:200]))


def verify_signature(key_dir, plain, signval):
    """The key signs the SHA-256 digest of the plain text with PKCS#1 v1.5
    type-1 padding (no DigestInfo): recover it with the certificate."""
    verify_signature_bytes(key_dir, plain.encode("gbk"), signval)


def verify_signature_bytes(key_dir, plain, signval):
    cert = os.path.join(key_dir, "QEXAPP", "ZUL_TN", "sign-cert.der")
    with tempfile.TemporaryDirectory() as tmp:
        pub, sig = os.path.join(tmp, "pub.pem"), os.path.join(tmp, "sig.bin")
        subprocess.run(["openssl", "x509", "-inform", "DER", "-in", cert, "-pubkey", "-noout", "-out", pub],
                       check=True)
        with open(sig, "wb") as f:
            f.write(base64.b64decode(signval))
        out = subprocess.run(["openssl", "pkeyutl", "-verifyrecover", "-pubin", "-inkey", pub, "-in", sig],
                             check=True, stdout=subprocess.PIPE).stdout
    assert out == hashlib.sha256(plain).digest(), out.hex()


def qr_on_screen(tree):
    """The text of the QR code the dialog shows, read from a screenshot."""
    if not shutil.which("zbarimg") or not shutil.which("import"):
        raise Skip("zbarimg or imagemagick is missing")
    shot = os.path.join(tree.work, "qr-screen.png")
    found = []

    def decoded():
        subprocess.run(["import", "-window", "root", shot], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        out = subprocess.run(["zbarimg", "-q", "--raw", shot], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL).stdout.decode().strip()
        if out:
            found.append(out)
        return bool(out)
    harness.wait_until(decoded, 60, "a readable QR code on the screen")
    return found[-1]


def chromium_dom(url, budget_ms=60000):
    profile = tempfile.mkdtemp(prefix="qex-chromium-")
    try:
        return subprocess.run(
            ["timeout", "180", "chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + profile, "--virtual-time-budget=%d" % budget_ms, "--dump-dom", url],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL).stdout.decode()
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def logged_in_client(tree, name, need_hw):
    d, tool = Driver(tree), LoginTool(tree)
    root = harness.make_key_root(tree, name, 1)
    service = SealService(tree, name)
    service.register(test_login.cert_hash(root), web_url="NOURL", need_hw=need_hw)
    service.start()
    test_login.configure(tree, service.port)
    return d, tool, root, service


def log_in(d, tool):
    d.wait_window(harness.FIRST_WINDOW_MS)
    d.wait_line(harness.STARTUP_ONE_KEY)
    d.run("click", 1)
    test_login.type_pin(tool, "123456")
    d.run("click-msgbox", test_login.PIN_CAPTION, 1)
    assert d.run("wait-title", test_login.TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()


def handwriting_then_seal(tree):
    d, tool, root, service = logged_in_client(tree, "seal_hw", need_hw="1")
    with service, harness.start_client(tree, root):
        log_in(d, tool)

        # Handwriting required: the page is told to wait and a capture opens.
        f, _ = ask("?data=abcQEXDATAEND&_=1")
        assert f == {"STATUS": "2", "ERR": WAIT_HW}, f
        box = d.wait_msgbox("", harness.WINDOW_MS)
        assert QR_TEXT in box["text"], box
        capture = open_capture_id(service)
        phone_url = qr_on_screen(tree)
        assert phone_url == "http://127.0.0.1:%d/phone/capture?id=%s" % (service.port, capture), phone_url
        if shutil.which("chromium"):
            chromium_dom(phone_url + "&autodraw=1", 30000)  # draws on the canvas and submits
        else:
            submit_from_phone(service, capture, tiny_png())
        # The next poll finishes the capture and enables "继续".
        def confirmed():
            d.run("click-msgbox", "", 1, check=False)
            return d.run("wait-line", CAPTURED, 1000, check=False)[0] == 0
        try:
            harness.wait_until(confirmed, 60, "the finished capture to be confirmed")
        except AssertionError:
            subprocess.run(["import", "-window", "root", os.path.join(tree.work, "seal_hw.png")])
            raise AssertionError("not confirmed; boxes: %s; state: %s" % (d.run("msgboxes", check=False), d.dump()))

        # Now the request seals; the handwriting goes with it, once.
        f, body = ask("?data=abc%20defQEXDATAEND&user=%E6%B5%8B%E8%AF%95%E5%8D%95%E4%BD%8DQEXDATAEND&_=2")
        assert f["STATUS"] == "0", f
        assert f["PLAIN"] == "abc%20defQEXDATAEND", f
        assert f["USER"] == UNIT and f["SEALNAME"] == TEST_SEAL_NAME, f
        assert f["HWIMGURL"] == "http://127.0.0.1:%d/hw/%s.png" % (service.port, capture), f
        assert f["IMGURL"] == "http://127.0.0.1:9/img/seal.png", f
        assert f["UID"] == test_login.cert_hash(root), f
        assert list(f) == ["IMGURL", "SIGNVAL", "UID", "TIME", "USER", "SEALNAME", "STATUS", "PLAIN", "HWIMGURL"]
        verify_signature(os.path.join(root, "KEY1"), f["PLAIN"], f["SIGNVAL"])
        lines = d.dump()["status"]
        assert lines[-1] == SIGNED, lines
        assert REQUIRED_UNIT + UNIT in lines, lines

        f, _ = ask("?data=xQEXDATAEND&_=3")
        assert f["STATUS"] == "2", f  # one handwriting per seal
        d.wait_msgbox("", harness.WINDOW_MS)
        d.run("click-msgbox", "", 2)  # 放弃
        d.wait_line(GIVEN_UP)
        d.run("wm-close")
        d.wait_gone()


def refusals_without_handwriting(tree):
    d, tool, root, service = logged_in_client(tree, "seal_plain", need_hw="0")
    with service, harness.start_client(tree, root):
        d.wait_window(harness.FIRST_WINDOW_MS)
        d.wait_line(harness.STARTUP_ONE_KEY)
        # The handwriting requirement holds from start-up until a login says otherwise.
        f, _ = ask("?data=abcQEXDATAEND")
        assert f["STATUS"] == "2", f
        d.wait_msgbox("", harness.WINDOW_MS)
        d.run("click-msgbox", "", 2)
        d.wait_line(GIVEN_UP)
        log_in(d, tool)
        f, _ = ask("?data=abcQEXDATAEND&user=%E5%85%B6%E4%BB%96QEXDATAEND")
        assert f == {"STATUS": "1", "ERR": UNIT_MISMATCH}, f
        assert d.dump()["status"][-1] == UNIT_MISMATCH_LINE
        # Data with characters that break JSON comes back escaped.
        f, body = ask('?data=a"b\\cQEXDATAEND')
        assert f["STATUS"] == "0" and f["PLAIN"] == 'a\\"b\\\\cQEXDATAEND', (f, body)
        # A lead byte without its second byte stays in PLAIN, as the key
        # signed it; only where it would swallow an escape is it given up.
        body = ask_raw(b"?data=a\x95 bQEXDATAEND")
        assert b'"PLAIN":"a\x95 bQEXDATAEND"' in body, body
        f = read_like_a_browser(body)
        assert f["STATUS"] == "0" and f["PLAIN"] == "a\ufffd bQEXDATAEND", f
        verify_signature_bytes(os.path.join(root, "KEY1"), b"a\x95 bQEXDATAEND", f["SIGNVAL"])
        f = read_like_a_browser(ask_raw(b'?data=a\x95"bQEXDATAEND'))
        assert f["STATUS"] == "0" and f["PLAIN"] == 'a?"bQEXDATAEND', f
        # Markers are case-sensitive: no reply, one status line.
        try:
            urllib.request.urlopen(BRIDGE + "?data=abcqexdataend", timeout=30).read()
            raise AssertionError("a request without markers was answered")
        except (urllib.error.URLError, ConnectionError, OSError):
            pass
        d.wait_line(NO_DATA)
        d.run("wm-close")
        d.wait_gone()


def local_peers_and_port_in_use(tree):
    d, tool, root, service = logged_in_client(tree, "seal_peers", need_hw="0")
    with service, harness.start_client(tree, root):
        log_in(d, tool)
        # Another loopback address is closed without a reply; the next
        # request from 127.0.0.1 is served.
        s = socket.socket()
        s.bind(("127.0.0.2", 0))
        s.settimeout(60)
        s.connect(("127.0.0.1", 10102))
        s.sendall(b"GET /?data=abcQEXDATAEND HTTP/1.0\r\n\r\n")
        try:
            got = s.recv(100)
        except ConnectionResetError:  # closed with the request unread: a reset is no reply either
            got = b""
        assert got == b"", "a peer from 127.0.0.2 got a reply: %r" % got
        s.close()
        d.wait_line("127.0.0.2")
        f, _ = ask("?data=abcQEXDATAEND")
        assert f["STATUS"] == "0", f
        d.run("wm-close")
        d.wait_gone()

    # Port 10102 held by another program: the box with the bind error, then
    # the status line; the rest of the client works.
    blocker = socket.socket()
    # The client's own connections may still linger in TIME_WAIT on the port
    # (for a minute); they do not keep a socket with SO_REUSEADDR from
    # binding. What must be gone is the first client's listener.
    blocker.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    harness.wait_until(lambda: harness.port_owner_prefix() is None, 60, "the first client's listener to close")
    blocker.bind(("127.0.0.1", 10102))
    blocker.listen(1)
    try:
        with Client(tree, env={"QEX_SKF_ROOT": root}):
            d.wait_window(harness.FIRST_WINDOW_MS)
            box = d.wait_msgbox("QEXTivara")
            assert box["text"] == "2:10048", box
            d.run("click-msgbox", "QEXTivara", 1)
            d.wait_line(NET_INIT_FAILED_2)
            assert d.dump()["status"][0] == harness.STARTUP_ONE_KEY
            d.run("wm-close")
            d.wait_gone()
    finally:
        blocker.close()


def silent_connections_do_not_hold_up_a_request(tree):
    """Browsers open connections that send nothing. Six of them are open
    when the page's request comes: it is answered while they are still
    open, each of the seven gets its two status lines, and the silent ones
    are closed by the client after its wait."""
    d, tool, root, service = logged_in_client(tree, "seal_silent", need_hw="0")
    with service, harness.start_client(tree, root):
        log_in(d, tool)
        before = d.dump()["status"].count(CONNECTION)
        silent = []
        try:
            for _ in range(6):
                s = socket.create_connection(("127.0.0.1", 10102), timeout=60)
                silent.append(s)
            f, _ = ask("?data=abcQEXDATAEND", seconds=60)
            assert f["STATUS"] == "0", f
            for s in silent:
                s.setblocking(False)
                try:
                    got = s.recv(1)
                    raise AssertionError("a silent connection was ended before the request was served: %r" % got)
                except BlockingIOError:
                    pass  # still open, nothing sent
            harness.wait_until(lambda: d.dump()["status"].count(CONNECTION) == before + 7, 60,
                               "seven connection lines")
            status = d.dump()["status"]
            assert all(status[i + 1] == "127.0.0.1" for i, line in enumerate(status) if line == CONNECTION), status
            # The client closes them after its wait, without a reply.
            for s in silent:
                s.setblocking(True)
                s.settimeout(60)
                assert s.recv(100) == b"", "a silent connection got a reply"
        finally:
            for s in silent:
                s.close()
        d.run("wm-close")
        d.wait_gone()


def resign_command(tree):
    d, tool, root, service = logged_in_client(tree, "seal_resign", need_hw="0")
    with service, harness.start_client(tree, root):
        d.wait_window(harness.FIRST_WINDOW_MS)
        d.wait_line(harness.STARTUP_ONE_KEY)
        s = d.dump()
        assert s["ctl.1004.visible"] == "0" and s["ctl.1004.enabled"] == "0", s
        log_in(d, tool)
        s = d.dump()
        # Available exactly while logged in (the window itself is hidden then,
        # so the button counts as enabled, not as visible on the screen).
        assert s["ctl.1004.enabled"] == "1", s
        d.run("click", 1004, "--force")
        box = d.wait_msgbox("", harness.WINDOW_MS)
        assert QR_TEXT in box["text"], box
        d.run("click-msgbox", "", 2)  # 放弃
        d.wait_line(RESIGN_FAILED)
        urllib.request.urlopen("http://127.0.0.1:%d/admin/fault?mode=refuse-open" % service.port, timeout=10).read()
        d.run("click", 1004, "--force")
        d.wait_line(RESIGN_REFUSED)
        d.run("wm-close")
        d.wait_gone()


def client_with_digest_module(tree, name, module):
    """A copy of the client in a folder of its own, with `module` (a DLL of
    the tree) beside it as the digest module the client loads by name."""
    folder = os.path.join(tree.work, name, "client")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for f in ("QEXTivara.exe", "mtoken_gm3000.dll"):
        shutil.copy(tree.exe(f), folder)
    shutil.copy(tree.exe(module), os.path.join(folder, "QEXMultiCACryptModule.dll"))
    return os.path.join(folder, "QEXTivara.exe")


def makers_digest_modules(tree):
    """Digest modules built as a maker's may be, not like ours: one whose
    entry returns a nonzero value after filling the buffer, and (32-bit,
    where it makes a difference) one with the C calling convention. Each
    logs in and seals, and the signature verifies."""
    modules = ["QEXDigestNonzero.dll"] + (["QEXDigestCdecl.dll"] if tree.is_32bit() else [])
    for module in modules:
        name = "digest_" + module.split(".")[0].lower()
        d, tool, root, service = logged_in_client(tree, name, need_hw="0")
        exe = client_with_digest_module(tree, name, module)
        with service, harness.start_client(tree, root, exe=exe):
            log_in(d, tool)
            f, _ = ask("?data=maker%20digestQEXDATAEND&_=" + name)
            assert f["STATUS"] == "0", (module, f)
            assert f["UID"] == test_login.cert_hash(root), (module, f)
            verify_signature(os.path.join(root, "KEY1"), f["PLAIN"], f["SIGNVAL"])
            d.run("wm-close")
            d.wait_gone()


def demo_page_in_chromium(tree):
    if not shutil.which("chromium"):
        raise Skip("chromium is not installed")
    d, tool, root, service = logged_in_client(tree, "seal_demo", need_hw="0")
    with service, harness.start_client(tree, root):
        log_in(d, tool)
        out = chromium_dom("http://127.0.0.1:%d/demo?autosign=1" % service.port)
        assert 'data-result="ok"' in out and 'data-status="0"' in out, out[-2000:]
        sig = re.search(r'id="r-signval"[^>]*>([A-Za-z0-9+/=]+)<', out)
        plain = re.search(r'id="r-plain"[^>]*>([^<]+)<', out)
        assert sig and plain, out[-2000:]
        verify_signature(os.path.join(root, "KEY1"), plain.group(1), sig.group(1))
        assert UNIT in out, out[-2000:]
        assert d.dump()["status"][-1] == SIGNED
        d.run("wm-close")
        d.wait_gone()


if __name__ == "__main__":
    raise SystemExit(harness.main([
        handwriting_then_seal,
        refusals_without_handwriting,
        local_peers_and_port_in_use,
        silent_connections_do_not_hold_up_a_request,
        resign_command,
        makers_digest_modules,
        demo_page_in_chromium,
    ]))
