#!/usr/bin/env python3
"""The origin gate against the real client under Wine: with [BRIDGE]
ORIGINS in the install folder's settings, a request from a listed page is
sealed as always, and one from any other page, or from a page that names
none, is refused with a failure reply and a status line, without touching
the seal service. Raw requests first (the head as a program writes it),
then pages in headless Chromium (the head as a browser writes it)."""

import os

import harness
import test_login
import test_sdk
import test_seal
from test_sdk import PageServer
from texts import ORIGIN_REFUSED, ORIGIN_NOT_LISTED, ORIGIN_NOT_GIVEN, ORIGIN_HEAD_INCOMPLETE, \
    ORIGINS_IGNORED, SIGNED, CONNECTION

LISTED = "https://seal.example.cn"


def gated_client(tree, name, origins):
    """A client with one key, the simulator (no handwriting) and the gate
    set to `origins`; logged in by the caller."""
    d, tool, root, service = test_seal.logged_in_client(tree, name, need_hw="0")
    for pf in ("Program Files", "Program Files (x86)"):
        path = tree.drive_c(pf, "ZULQEX", "wsconfig.ini")
        with open(path, "rb") as f:
            settings = f.read()
        with open(path, "wb") as f:
            f.write(settings + ("[BRIDGE]\r\nORIGINS=%s\r\n" % origins).encode("gbk"))
    return d, tool, root, service


def ask_with_head(headers, query=b"?data=abcQEXDATAEND&_=1", seconds=120):
    """One request with these header lines; the reply's fields."""
    head = b"GET /" + query + b" HTTP/1.1\r\nHost: 127.0.0.1:10102\r\n" + headers + b"\r\n"
    return test_seal.read_like_a_browser(test_seal.exchange(head, seconds))


def raw_requests(tree):
    d, tool, root, service = gated_client(tree, "gate_raw",
                                          "http://127.0.0.2:8081, %s seal.example.cn" % LISTED.upper())
    key_dir = os.path.join(root, "KEY1")
    with service, harness.start_client(tree, root):
        # An entry that is no origin is named at start-up, and the rest hold.
        d.wait_line(ORIGINS_IGNORED + "seal.example.cn")
        test_seal.log_in(d, tool)
        logged = len(service.seal_log())

        # Listed: by Referer (path and query play no part), by Origin.
        f = ask_with_head(b"Referer: http://127.0.0.2:8081/pages/sign.html?id=7\r\n")
        assert f["STATUS"] == "0", f
        test_seal.verify_signature(key_dir, f["PLAIN"], f["SIGNVAL"])
        f = ask_with_head(b"Origin: https://seal.example.cn:443\r\n")
        assert f["STATUS"] == "0", f
        # The head of a listed page may run past 500 bytes; the request line
        # is still read from the first 500.
        f = ask_with_head(b"X-Filler: " + b"f" * 900 + b"\r\nReferer: " + LISTED.encode() + b"/\r\n")
        assert f["STATUS"] == "0", f
        after_sealing = len(service.seal_log())

        refused = {"STATUS": "1", "ERR": ORIGIN_REFUSED}
        cases = [
            (b"Referer: http://127.0.0.1:8080/demo\r\n", ORIGIN_NOT_LISTED + "http://127.0.0.1:8080"),
            (b"Referer: https://seal.example.cn.evil.example/\r\n",
             ORIGIN_NOT_LISTED + "https://seal.example.cn.evil.example"),
            (b"", ORIGIN_NOT_GIVEN),
            (b"X-Filler: " + b"f" * 9000 + b"\r\nReferer: " + LISTED.encode() + b"/\r\n", ORIGIN_HEAD_INCOMPLETE),
        ]
        for headers, line in cases:
            f = ask_with_head(headers)
            assert f == refused, (headers[:80], f)
            lines = d.dump()["status"]
            # The listener's two lines, then the refusal, and nothing more.
            assert lines[-3:] == [CONNECTION, "127.0.0.1", line], (headers[:80], lines[-6:])
        assert len(service.seal_log()) == after_sealing >= logged, service.seal_log()
        d.run("wm-close")
        d.wait_gone()


def pages_in_chromium(tree):
    """A page on a listed origin seals with qexseal.js; one on another
    loopback address and port is refused, and so is a listed page whose
    script element sends no referrer."""
    listed = PageServer(tree, "127.0.0.2")
    other = PageServer(tree, "127.0.0.3")
    try:
        d, tool, root, service = gated_client(tree, "gate_pages", listed.base)
        key_dir = os.path.join(root, "KEY1")
        library = test_sdk.library_at(service)
        with service, harness.start_client(tree, root):
            test_seal.log_in(d, tool)
            text = "同意盖章"
            result = test_sdk.run_page(tree, test_sdk.sign_call(text), library_base=library, server=listed)
            assert result["ok"], (result, d.dump()["status"][-3:])
            test_sdk.assert_sealed(result, text, key_dir)
            assert d.dump()["status"][-1] == SIGNED

            result = test_sdk.run_page(tree, test_sdk.sign_call(text), library_base=library, server=other)
            assert not result["ok"] and result["code"] == "REFUSED", result
            assert result["message"] == ORIGIN_REFUSED, result
            assert d.dump()["status"][-1] == ORIGIN_NOT_LISTED + other.base, d.dump()["status"][-3:]

            # The raw protocol, with the referrer withheld by the page.
            page = """<!DOCTYPE html><html><head><meta charset="utf-8"></head><body><script>
function sealInfoHandler(r) { fetch("/report", { method: "POST", body: JSON.stringify(r) }); }
var s = document.createElement("script");
s.charset = "gbk";
s.referrerPolicy = "no-referrer";
s.src = "http://127.0.0.1:10102/?data=abcQEXDATAEND&_=" + Date.now();
document.body.appendChild(s);
</script></body></html>"""
            result = test_sdk.run_page(tree, "", server=listed, page=page)
            assert result == {"STATUS": "1", "ERR": ORIGIN_REFUSED}, result
            assert d.dump()["status"][-1] == ORIGIN_NOT_GIVEN, d.dump()["status"][-3:]
            d.run("wm-close")
            d.wait_gone()
    finally:
        listed.close()
        other.close()


if __name__ == "__main__":
    raise SystemExit(harness.main([
        raw_requests,
        pages_in_chromium,
    ]))
