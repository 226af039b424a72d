#!/usr/bin/env python3
"""The test harness itself, against a stand-in dialog with the client's
layout: if these fail, the client tests' verdicts mean nothing."""

import os
import sys

import harness
from harness import Client, Driver


FAKE = "qexfakeclient.exe"


def fake(tree, *args):
    return Client(tree, exe=FAKE, args=args)


def reads_window_state_and_clicks(tree):
    d = Driver(tree, FAKE)
    with fake(tree, "第一行", "second line") as c:
        d.wait_window(harness.FIRST_WINDOW_MS)
        s = d.dump()
        assert s["windows"] == "1", s
        assert s["title"] == harness.START_TITLE, s["title"]
        assert s["status"] == ["第一行", "second line"], s["status"]
        assert s["visible"] == "1" and s["topmost"] == "1", s
        assert s["ctl.1.text"] == "登录" and s["ctl.1.enabled"] == "1", s
        assert s["ctl.1004.visible"] == "0" and s["ctl.1004.enabled"] == "0", s
        assert s["ctl.1005.visible"] == "0", s
        # A hidden control is refused unless forced.
        assert d.run("click", 1004, check=False)[0] == 3
        d.run("click", 1)
        d.wait_line("clicked")
        d.run("esc")
        assert d.wait_gone(), "Esc did not end the stand-in"
        assert c.wait_exit(), "stand-in still running after its window went"


def finds_message_box_of_second_copy(tree):
    d = Driver(tree, FAKE)
    with fake(tree, "one") as first:
        d.wait_window()
        with fake(tree) as second:
            box = d.wait_msgbox("假客户端")
            assert box["text"] == "已经启动", box
            assert box["of_main"] == "0", box
            d.run("click-msgbox", "假客户端", 1)
            assert second.wait_exit(), "second copy did not end after OK"
        assert first.running()
        d.run("close")
        assert d.wait_gone() and first.wait_exit()


def recorder_gets_shell_opened_url(tree):
    d = Driver(tree, FAKE)
    if os.path.exists(tree.browser_log):
        os.remove(tree.browser_log)
    with fake(tree, "--help") as c:
        d.wait_window()
        d.run("click", 1005)
        harness.wait_until(lambda: os.path.exists(tree.browser_log), 60, "the recorder's log")
        with open(tree.browser_log, encoding="utf-8") as f:
            assert f.read() == '"http://help.example/"\n'
        d.run("wm-close")
        assert d.wait_gone() and c.wait_exit()


def read_log(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return f.read().splitlines()


def prefix_has_drive_d_and_no_real_browser(tree):
    """The prefix set-up: D: is <prefix>/drive_d; Internet Explorer and
    Wine's winebrowser end in the recorder's log, never in a browser."""
    d_log = tree.drive_d("recorder.log")
    for path in (d_log, tree.browser_log):
        if os.path.exists(path):
            os.remove(path)
    env = dict(os.environ, QEX_BROWSER_LOG="D:\\recorder.log")
    rc, _, err = harness.run_windows_program(tree, "qexrecorder.exe", ["http://d.example/"], env)
    assert rc == 0 and read_log(d_log) == ["http://d.example/"], (rc, err, read_log(d_log))
    for pf in ("Program Files", "Program Files (x86)"):
        ie = "C:\\%s\\Internet Explorer\\iexplore.exe" % pf
        rc, _, err = harness.run_windows_program(tree, ie, ["http://ie.example/"])
        assert rc == 0, (ie, rc, err)
    harness.run_windows_program(tree, "winebrowser", ["http://wb.example/"])
    # winebrowser starts the Unix program and returns without waiting for it.
    expected = ["http://ie.example/", "http://ie.example/", "[winebrowser] http://wb.example/"]
    try:
        harness.wait_until(lambda: len(read_log(tree.browser_log)) >= len(expected), 60,
                           "winebrowser's line in the log")
    except AssertionError as e:
        raise AssertionError("%s: %r" % (e, read_log(tree.browser_log))) from None
    assert read_log(tree.browser_log) == expected, read_log(tree.browser_log)


if __name__ == "__main__":
    sys.exit(harness.main([reads_window_state_and_clicks, finds_message_box_of_second_copy,
                           recorder_gets_shell_opened_url, prefix_has_drive_d_and_no_real_browser]))
