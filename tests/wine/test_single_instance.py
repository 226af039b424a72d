#!/usr/bin/env python3
"""A second client in the same session warns and ends; the first one keeps
running, unchanged and not told."""

import sys

import harness
from harness import Client, Driver, start_client, make_key_root


def second_instance_warns_and_ends(tree):
    d = Driver(tree)
    root = make_key_root(tree, "instance", 1)
    with start_client(tree, root) as first:
        d.wait_line(harness.STARTUP_ONE_KEY)
        before = d.dump()
        with Client(tree, env={"QEX_SKF_ROOT": root}) as second:
            box = d.wait_msgbox(harness.APP_CAPTION, harness.WINDOW_MS)
            assert box["text"] == harness.ALREADY_RUNNING, box
            assert box["of_main"] == "0", "the warning belongs to the running client"
            during = d.dump()
            assert during["windows"] == "1", "second client opened a main window"
            d.run("click-msgbox", harness.APP_CAPTION, 1)
            assert second.wait_exit(), "second client still running after OK"
        assert first.running(), "first client ended"
        after = d.dump()
        for key in ("windows", "pid", "title", "status", "visible"):
            assert after[key] == before[key], "%s changed: %r -> %r" % (key, before[key], after[key])
        d.run("click", 2)
        assert d.wait_gone() and first.wait_exit()


if __name__ == "__main__":
    sys.exit(harness.main([second_instance_warns_and_ends]))
