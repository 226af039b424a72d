#!/usr/bin/env python3
"""Start-up of the client with 0, 1 and 2 keys: one status line that names
the key situation, the start title, and the window's fixed properties."""

import sys

import harness
import texts
import test_settings
from harness import Driver, START_TITLE, start_client, make_key_root

EXPECTED = {0: harness.STARTUP_NO_KEY, 1: harness.STARTUP_ONE_KEY, 2: harness.STARTUP_TWO_KEYS}


def check_startup(tree, keys):
    d = Driver(tree)
    # No install folder settings: the help link must then stay hidden.
    test_settings.remove_settings(tree)
    with start_client(tree, make_key_root(tree, "startup%d" % keys, keys)) as client:
        d.wait_line(EXPECTED[keys])
        s = d.dump()
        assert s["status"] == [EXPECTED[keys]], s["status"]
        assert s["title"] == START_TITLE, s["title"]
        assert s["visible"] == "1", "main window not shown"
        assert s["topmost"] == "1", "main window not topmost"
        assert s["ctl.1.text"] == texts.LOGIN_BUTTON and s["ctl.2.text"] == texts.EXIT_BUTTON, s
        assert s["ctl.2.visible"] == "1" and s["ctl.2.enabled"] == "1", s
        assert s["ctl.1004.visible"] == "0" and s["ctl.1004.enabled"] == "0", "re-sign button available"
        assert s["ctl.1005.visible"] == "0", "help link shown without a help URL"
        if keys == 1:
            assert s["ctl.1.visible"] == "1" and s["ctl.1.enabled"] == "1", "login button not usable"
        # Selecting a line shows it whole in the read-only box below the list.
        assert s["ctl.1002.text"] == "", s["ctl.1002.text"]
        d.run("select", 0)
        harness.wait_until(lambda: d.dump()["ctl.1002.text"] == EXPECTED[keys], harness.EVENT_MS / 1000,
                           "the selected line in the info box")
        d.run("click", 2)
        assert d.wait_gone() and client.wait_exit(), "client did not end"


def no_key(tree):
    check_startup(tree, 0)


def one_key(tree):
    check_startup(tree, 1)


def two_keys(tree):
    check_startup(tree, 2)


if __name__ == "__main__":
    sys.exit(harness.main([no_key, one_key, two_keys]))
