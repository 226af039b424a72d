#!/usr/bin/env python3
"""Install folder settings under Wine. The prefix is 64-bit (its syswow64
is populated), so the client reads "Program Files (x86)\\ZULQEX\\wsconfig.ini";
a URL is cut to 499 bytes; settings are read only with exactly one key.
The help URL is observed through the help link: shown when set, and clicking
it hands the URL to the recording browser."""

import os
import sys

import harness
from harness import Driver, start_client, make_key_root

LONG_HELP = "http://help.example/" + "".join(chr(ord("a") + i % 26) for i in range(580))
LONG_SITE = "http://site.example/" + "x" * 580


def settings_paths(tree):
    return (tree.drive_c("Program Files (x86)", "ZULQEX", "wsconfig.ini"),
            tree.drive_c("Program Files", "ZULQEX", "wsconfig.ini"))


def write_ini(path, help_url, site_url):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(("[WEBSITE]\r\nURL=%s\r\n[HELP]\r\nURL=%s\r\n" % (site_url, help_url)).encode("ascii"))


def remove_settings(tree):
    for path in settings_paths(tree):
        if os.path.exists(path):
            os.remove(path)


def read_browser_log(tree):
    if not os.path.exists(tree.browser_log):
        return []
    with open(tree.browser_log, encoding="utf-8") as f:
        return f.read().splitlines()


def x86_settings_long_url_cut_to_499(tree):
    x86, plain = settings_paths(tree)
    assert len(LONG_HELP) == 600
    try:
        write_ini(x86, LONG_HELP, LONG_SITE)
        write_ini(plain, "http://wrong-folder.example/", "http://wrong-folder.example/")
        if os.path.exists(tree.browser_log):
            os.remove(tree.browser_log)
        d = Driver(tree)
        with start_client(tree, make_key_root(tree, "settings_x86", 1)) as client:
            d.wait_line(harness.STARTUP_ONE_KEY)
            assert d.dump()["ctl.1005.visible"] == "1", "help link hidden although [HELP] URL is set"
            d.run("click", 1005)
            harness.wait_until(lambda: read_browser_log(tree), 60, "the browser to be started")
            # The URL is the browser's only argument, passed as read.
            assert read_browser_log(tree) == [LONG_HELP[:499]], read_browser_log(tree)
            d.run("click", 2)
            assert d.wait_gone() and client.wait_exit()
    finally:
        remove_settings(tree)


def settings_only_with_one_key(tree):
    x86, _ = settings_paths(tree)
    try:
        write_ini(x86, "http://help.example/", "http://site.example/")
        for keys in (0, 2):
            d = Driver(tree)
            with start_client(tree, make_key_root(tree, "settings_keys%d" % keys, keys)) as client:
                d.wait_line(harness.STARTUP_NO_KEY if keys == 0 else harness.STARTUP_TWO_KEYS)
                assert d.dump()["ctl.1005.visible"] == "0", "help link shown with %d keys" % keys
                d.run("click", 2)
                assert d.wait_gone() and client.wait_exit()
    finally:
        remove_settings(tree)


def plain_program_files_not_used_on_64bit(tree):
    _, plain = settings_paths(tree)
    try:
        write_ini(plain, "http://help.example/", "http://site.example/")
        d = Driver(tree)
        with start_client(tree, make_key_root(tree, "settings_plain", 1)) as client:
            d.wait_line(harness.STARTUP_ONE_KEY)
            assert d.dump()["ctl.1005.visible"] == "0", "settings read from Program Files on 64-bit"
            d.run("click", 2)
            assert d.wait_gone() and client.wait_exit()
    finally:
        remove_settings(tree)


if __name__ == "__main__":
    sys.exit(harness.main([x86_settings_long_url_cut_to_499, settings_only_with_one_key,
                           plain_program_files_not_used_on_64bit]))
