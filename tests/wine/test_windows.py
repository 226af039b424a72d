#!/usr/bin/env python3
"""Where the client's windows open, who owns them and what they block: the
main window centred on the work area; the PIN dialog, the URL notice and
the handwriting dialog owned by the main window, centred over it (or on the
work area while it is hidden), with the main window disabled while they
are up and enabled again after; message boxes owned by the main window
above it. Also the cross-thread cases: a message box from the bridge
thread, the handwriting dialog from the wait thread. (A dialog run on a
worker thread while the main thread runs one of its own on the same owner
is the framework's own test: the client reaches its PIN dialog on the
bridge thread only when a request races a login.)"""

import os
import threading

import harness
from harness import Driver
import test_login
from test_login import LoginTool
import test_seal


def rect(text):
    return [int(v) for v in text.split(",")]


def centred(own, target, area):
    """Where a window of the size of `own` is centred over `target`, kept
    on `area` (its right and bottom edges first, then its left and top)."""
    w, h = own[2] - own[0], own[3] - own[1]
    x = (target[0] + target[2]) // 2 - w // 2
    y = (target[1] + target[3]) // 2 - h // 2
    x = max(min(x, area[2] - w), area[0])
    y = max(min(y, area[3] - h), area[1])
    return x, y


def assert_centred(own, target, area, what):
    x, y = centred(own, target, area)
    assert abs(own[0] - x) <= 1 and abs(own[1] - y) <= 1, "%s at %s, not centred at %s over %s (work area %s)" % (
        what, own, (x, y), target, area)


def assert_owned_modal(d, box, what):
    """`box` (from wait-msgbox) is owned by the main window, which is
    disabled while it is up, and lies above it."""
    assert box["owner_is_main"] == "1", (what, box)
    assert box["owner_enabled"] == "0", (what, box)
    assert box["above_main"] == "1", (what, box)
    assert d.dump()["enabled"] == "0", what


def main_window_enabled_again(d):
    harness.wait_until(lambda: d.dump().get("enabled") == "1", 30, "the main window to be enabled again")


def main_window_and_pin_dialog(tree):
    d, tool = Driver(tree), LoginTool(tree)
    root, service = test_login.start_logged_out(tree, "win_pin")
    with service, harness.Client(tree, env={"QEX_SKF_ROOT": root}):
        d.wait_window(harness.FIRST_WINDOW_MS)
        d.wait_line(harness.STARTUP_ONE_KEY)
        s = d.dump()
        main, area = rect(s["rect"]), rect(s["workarea"])
        assert_centred(main, area, area, "the main window")

        d.run("click", 1)
        test_login.type_pin(tool, "12345")
        box = d.wait_msgbox(test_login.PIN_CAPTION)
        assert_owned_modal(d, box, "the PIN dialog")
        assert_centred(rect(box["rect"]), main, rect(box["workarea"]), "the PIN dialog")
        # Too short: the message box is the PIN dialog's, the main window stays disabled.
        d.run("click-msgbox", test_login.PIN_CAPTION, 1)
        d.wait_msgbox("")
        test_login.press_ok(d, "")
        tool.type(test_login.PIN_CAPTION, "6")
        d.run("click-msgbox", test_login.PIN_CAPTION, 1)
        assert d.run("wait-title", test_login.TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()
        main_window_enabled_again(d)
        d.run("wm-close")
        d.wait_gone()


def url_notice(tree):
    d, tool = Driver(tree), LoginTool(tree)
    root, service = test_login.start_logged_out(tree, "win_notice")
    test_login._set_http_command(tree, '"C:\\nowhere\\browser.exe" -url "%1"')
    try:
        with service, harness.Client(tree, env={"QEX_SKF_ROOT": root}):
            d.wait_window(harness.FIRST_WINDOW_MS)
            d.wait_line(harness.STARTUP_ONE_KEY)
            main = rect(d.dump()["rect"])
            d.run("click", 1)
            test_login.type_pin(tool, "123456")
            d.run("click-msgbox", test_login.PIN_CAPTION, 1)
            box = d.wait_msgbox(test_login.NOTICE_CAPTION)
            assert_owned_modal(d, box, "the URL notice")
            assert_centred(rect(box["rect"]), main, rect(box["workarea"]), "the URL notice")
            d.run("click-msgbox", test_login.NOTICE_CAPTION, 1)
            assert d.run("wait-title", test_login.TITLE_IN, harness.EVENT_MS, check=False)[0] == 0, d.dump()
            main_window_enabled_again(d)
            d.run("wm-close")
            d.wait_gone()
    finally:
        test_login._restore_http_command(tree)


def handwriting_dialog_from_the_wait_thread(tree):
    d, tool, root, service = test_seal.logged_in_client(tree, "win_hw", need_hw="1")
    with service, harness.start_client(tree, root):
        d.wait_window(harness.FIRST_WINDOW_MS)
        d.wait_line(harness.STARTUP_ONE_KEY)
        main = rect(d.dump()["rect"])
        f, _ = test_seal.ask("?data=abcQEXDATAEND")
        assert f["STATUS"] == "2", f
        box = d.wait_msgbox("", harness.WINDOW_MS)
        assert test_seal.QR_TEXT in box["text"], box
        assert_owned_modal(d, box, "the handwriting dialog")
        assert_centred(rect(box["rect"]), main, rect(box["workarea"]), "the handwriting dialog")
        # No caption and no border: the window is its client area.
        r, client = rect(box["rect"]), rect(box["client"])
        assert (r[2] - r[0], r[3] - r[1]) == (client[2], client[3]), box

        # The QR code comes a second after the dialog opens; then the
        # picture sits in the middle of the dialog.
        # (The template puts it well above the middle.)
        def picture_centred():
            b = d.wait_msgbox("", harness.EVENT_MS)
            p, c = rect(b["ctl1003"]), rect(b["client"])
            return abs((p[0] + p[2]) - c[2]) <= 2 and abs((p[1] + p[3]) - c[3]) <= 2
        harness.wait_until(picture_centred, 60, "the QR code centred in the dialog")
        d.run("click-msgbox", "", 2)  # 放弃
        d.wait_line(test_seal.GIVEN_UP)
        main_window_enabled_again(d)
        d.run("wm-close")
        d.wait_gone()


def message_box_from_the_bridge_thread(tree):
    """A sign request whose cached PIN the key no longer takes: the key's
    message box comes from the bridge thread, owned by the main window and
    above it; the main window is disabled while it is up and comes back
    after it, with no deadlock between the two threads."""
    d, tool, root, service = test_seal.logged_in_client(tree, "win_bridge", need_hw="0")
    with service, harness.start_client(tree, root):
        test_seal.log_in(d, tool)
        app_ini = os.path.join(root, "KEY1", "QEXAPP", "app.ini")
        with open(app_ini) as f:
            settings = f.read()
        with open(app_ini, "w") as f:
            f.write(settings.replace("user-pin=123456", "user-pin=654321"))

        replies = []
        request = threading.Thread(target=lambda: replies.append(test_seal.ask("?data=aQEXDATAEND")[0]))
        request.start()
        box = d.wait_msgbox("")
        assert box["text"] == test_login.PIN_FAILED, box
        assert box["owner_is_main"] == "1" and box["above_main"] == "1", box
        assert d.dump()["enabled"] == "0"
        test_login.press_ok(d, "")
        request.join(120)
        assert replies and replies[0]["STATUS"] == "1", replies
        main_window_enabled_again(d)
        d.run("wm-close")
        d.wait_gone()


if __name__ == "__main__":
    raise SystemExit(harness.main([
        main_window_and_pin_dialog,
        url_notice,
        handwriting_dialog_from_the_wait_thread,
        message_box_from_the_bridge_thread,
    ]))
