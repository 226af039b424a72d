#!/usr/bin/env python3
"""The three ways out: the "退出" button, Esc and the close box each end the
client's process."""

import sys

import harness
from harness import Driver, start_client, make_key_root


def exit_by(tree, name, *action):
    d = Driver(tree)
    with start_client(tree, make_key_root(tree, "exit_" + name, 1)) as client:
        d.wait_line(harness.STARTUP_ONE_KEY)
        d.run(*action)
        assert d.wait_gone(), "main window still there after %s: %r %r" % (name, d.dump(),
                                                                            d.run("msgboxes", check=False)[1])
        assert client.wait_exit(), "process still running after " + name


def exit_button(tree):
    exit_by(tree, "button", "click", 2)


def escape_key(tree):
    exit_by(tree, "esc", "esc")


def close_box(tree):
    exit_by(tree, "close", "close")


if __name__ == "__main__":
    sys.exit(harness.main([exit_button, escape_key, close_box]))
