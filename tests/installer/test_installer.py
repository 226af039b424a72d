#!/usr/bin/env python3
"""The installers of one win32 tree under Wine, in the tree's 64-bit prefix.

Silent install with options, what lands where (the install folder the client
looks in, the system-folder wsconfig.ini where the 32-bit client reads it,
the control's registration, the Run entry), the installed client reading the
installed settings, refusals while the client runs, silent uninstall, and the
developer package. What is on the machine is looked at through qexinstprobe,
a 32-bit program that uses the client's own settings code.

The prefix is shared with the other tests of the tree: whatever a case
changes is put back when it ends (the tree's Glyphon.ocx registered again,
the system-folder wsconfig.ini as it was)."""

import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "wine"))

import harness  # noqa: E402
from harness import Driver, Skip, parse_fields, wait_until  # noqa: E402

INSTALL_DIR = "C:\\Program Files (x86)\\ZULQEX"
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
UNINST_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QEXTivara"
DEVKIT_KEY = UNINST_KEY + "-devkit"
PROGID = "GLYPHON.GlyphonCtrl.1"
CLSID = "{60F0B6B1-1AD2-482C-909E-113D0D771BE3}"
VENDOR_DLLS = ("mtoken_gm3000.dll", "QEXMultiCACryptModule.dll")
OURS = ("QEXTivara.exe", "Glyphon.ocx", "wsconfig.ini", "install.log", "uninst.exe")

SERVICE = "http://127.0.0.1:18081/qexseal/ws/mycxf"
SITE = "http://127.0.0.2:18082/seal/index.html?from=installer"
HELP = "http://127.0.0.2:18082/help/guide.html"
ORIGINS = "https://seal.example.cn, http://127.0.0.1:8080"
GONE_S = 120
CLIENT_RUNNING = 2


def installed(tree, *parts):
    return tree.drive_c("Program Files (x86)", "ZULQEX", *parts)


def system_config(tree, folder):
    return tree.drive_c("windows", folder, "wsconfig.ini")


def run_windows(tree, argv, env=None, timeout=300):
    """Runs a Windows command line in the tree's prefix: (exit code, stdout)."""
    with tempfile.TemporaryFile() as out_f:
        proc = subprocess.run([tree.wine_run] + list(argv), env=env, stdin=subprocess.DEVNULL,
                              stdout=out_f, stderr=subprocess.STDOUT, timeout=timeout)
        out_f.seek(0)
        return proc.returncode, out_f.read().decode("utf-8", "replace")


def probe(tree, *args):
    rc, out, _ = harness.run_windows_program(tree, "qexinstprobe.exe", args)
    return rc, parse_fields(out)


def setup(tree, exe, *args, env=None):
    rc, _ = run_windows(tree, [tree.exe(exe)] + list(args), env=env)
    return rc


def read_gbk(path):
    with open(path, "rb") as f:
        return f.read().decode("gbk")


def uninstall(tree, exe, expect_gone):
    """The uninstaller as an administrator runs it (it copies itself away and
    returns at once); waits until the files it removes are gone."""
    rc = setup_path(tree, INSTALL_DIR + "\\" + exe, "/S")
    assert rc == 0, "uninstaller exit %d" % rc
    wait_until(lambda: not any(os.path.exists(p) for p in expect_gone), GONE_S,
               "the uninstaller to remove %s" % ", ".join(expect_gone))
    # The copy in the temporary folder is still finishing (registry, folder).
    wait_until(lambda: not os.path.exists(installed(tree, exe)), GONE_S, "%s to be removed" % exe)


def setup_path(tree, windows_path, *args):
    rc, _ = run_windows(tree, [windows_path] + list(args))
    return rc


def wine_cmd(tree, *args):
    env = dict(os.environ, WINEPREFIX=tree.prefix, WINEDEBUG="-all")
    subprocess.run(["wine"] + list(args), env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def restore_prefix(tree, saved_sysconfig):
    """Puts the prefix back as the other tests expect it: nothing installed,
    the tree's own Glyphon.ocx registered, the system-folder settings as they
    were before the case. Other tests may run in the prefix meanwhile, so
    its processes are left alone: the client we started is ended by its
    context manager."""
    for folder in ("Program Files (x86)", "Program Files"):
        shutil.rmtree(tree.drive_c(folder, "ZULQEX"), ignore_errors=True)
    wine_cmd(tree, "reg", "delete", "HKCU\\" + RUN_KEY, "/v", "QEXTivara", "/f")
    for key in (UNINST_KEY, DEVKIT_KEY):
        wine_cmd(tree, "reg", "delete", "HKLM\\" + key, "/f", "/reg:32")
        wine_cmd(tree, "reg", "delete", "HKLM\\" + key.replace("Software\\", "Software\\Wow6432Node\\", 1), "/f")
    ocx = "Z:" + tree.exe("Glyphon.ocx").replace("/", "\\")
    wine_cmd(tree, "regsvr32", "/s", ocx)
    for folder, content in saved_sysconfig.items():
        path = system_config(tree, folder)
        if content is None:
            if os.path.exists(path):
                os.remove(path)
        else:
            with open(path, "wb") as f:
                f.write(content)


class Restoring:
    """Saves the system-folder settings on entry; restores the prefix on exit."""

    def __init__(self, tree):
        self.tree = tree
        self.saved = {}

    def __enter__(self):
        for folder in ("system32", "syswow64"):
            path = system_config(self.tree, folder)
            self.saved[folder] = open(path, "rb").read() if os.path.exists(path) else None
        restore_prefix(self.tree, {})
        for folder in ("system32", "syswow64"):
            if os.path.exists(system_config(self.tree, folder)):
                os.remove(system_config(self.tree, folder))
        return self

    def __exit__(self, *exc):
        restore_prefix(self.tree, self.saved)
        return False


class InstalledClient(harness.Client):
    """The client started from the install folder, as the Run entry starts
    it: no QEX_SKF_ROOT, so the software key looks in skf-root beside it."""

    def start(self):
        self.env.pop("QEX_SKF_ROOT", None)
        # The bridge port is one for the whole machine: wait until no other
        # tree's client holds it, as the harness does for its clients.
        if hasattr(harness, "port_free"):
            wait_until(harness.port_free, 300, "port 10102 to be free (another client running?)")
        self.proc = subprocess.Popen([self.tree.wine_run, INSTALL_DIR + "\\QEXTivara.exe"], env=self.env,
                                     cwd=self.tree.work, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self


def check_tools(tree):
    for exe in ("QEXTivara-setup.exe", "QEXTivara-devkit-setup.exe", "qexinstprobe.exe", "qexdrive.exe",
                "qexrecorder.exe"):
        if not os.path.exists(tree.exe(exe)):
            raise Skip("%s not built" % exe)


def assert_installed_state(tree):
    for name in ("QEXTivara.exe", "Glyphon.ocx", "uninst.exe", "wsconfig.ini"):
        assert os.path.isfile(installed(tree, name)), "%s not installed" % name
    assert not os.path.exists(tree.drive_c("Program Files", "ZULQEX")), \
        "installed under Program Files on a 64-bit system"
    rc, f = probe(tree, "progid", PROGID)
    assert rc == 0 and f["clsid"] == CLSID, (rc, f)
    assert f["server"].lower() == (INSTALL_DIR + "\\Glyphon.ocx").lower(), f
    rc, f = probe(tree, "reg", "HKCU", RUN_KEY, "QEXTivara")
    assert rc == 0 and f["value"] == '"%s\\QEXTivara.exe"' % INSTALL_DIR, (rc, f)
    rc, f = probe(tree, "reg", "HKLM", UNINST_KEY, "UninstallString")
    assert rc == 0 and f["value"] == '"%s\\uninst.exe"' % INSTALL_DIR, (rc, f)


def assert_uninstalled_state(tree):
    for name in OURS:
        assert not os.path.exists(installed(tree, name)), "%s left behind" % name
    rc, f = probe(tree, "progid", PROGID)
    assert rc == 1, "ProgID still resolves after uninstall: %r" % f
    assert probe(tree, "reg", "HKCU", RUN_KEY, "QEXTivara")[0] == 1, "Run entry left behind"
    assert probe(tree, "reg", "HKLM", UNINST_KEY, "UninstallString")[0] == 1, "Add/Remove entry left behind"


def silent_install_upgrade_uninstall(tree):
    """Without the vendor pieces: the install goes on and its log names them;
    options land where the client reads them; an upgrade without options
    keeps them; uninstall removes all of it, the file it created in the
    system folder included."""
    check_tools(tree)
    with Restoring(tree):
        rc = setup(tree, "QEXTivara-setup.exe", "/S", "/SERVICEURL=" + SERVICE, "/WEBSITE=" + SITE,
                   "/HELP=" + HELP, "/ORIGINS=" + ORIGINS)
        assert rc == 0, "setup exit %d" % rc
        assert_installed_state(tree)

        log = read_gbk(installed(tree, "install.log"))
        for dll in VENDOR_DLLS:
            assert "缺少: " + dll in log, log

        # The 32-bit client's system folder is SysWOW64 behind the path
        # system32 (file system redirection); nothing may go to the real one.
        assert os.path.isfile(system_config(tree, "syswow64"))
        assert not os.path.exists(system_config(tree, "system32")), "wrote the 64-bit system folder"
        rc, f = probe(tree, "settings")
        assert rc == 0
        assert f["install_config"] == INSTALL_DIR + "\\wsconfig.ini", f
        assert (f["endpoint"], f["website"], f["help"]) == (SERVICE, SITE, HELP), f
        assert f["origins"] == ORIGINS, f

        # Upgrade in place with only one option: the others stay.
        rc = setup(tree, "QEXTivara-setup.exe", "/S", "/HELP=http://127.0.0.2:18082/new-help")
        assert rc == 0, "upgrade exit %d" % rc
        rc, f = probe(tree, "settings")
        assert (f["endpoint"], f["website"], f["help"]) == (SERVICE, SITE, "http://127.0.0.2:18082/new-help"), f
        assert f["origins"] == ORIGINS, f
        assert_installed_state(tree)

        uninstall(tree, "uninst.exe", [installed(tree, n) for n in OURS])
        assert_uninstalled_state(tree)
        assert not os.path.exists(installed(tree)), "install folder left behind"
        assert not os.path.exists(system_config(tree, "syswow64")), "system-folder wsconfig.ini left behind"


def machine_config_kept_and_vendor_found_on_path(tree):
    """A system-folder wsconfig.ini that was there before is the machine's:
    the installer changes only [WS] URL and the uninstaller leaves it. The
    vendor check finds the libraries on PATH as the loader would. No Run
    entry with /NOAUTOSTART."""
    check_tools(tree)
    with Restoring(tree):
        before = "[WS]\r\nURL=http://old.example/ws/mycxf\r\n[OTHER]\r\nKEEP=1\r\n"
        with open(system_config(tree, "syswow64"), "wb") as f:
            f.write(before.encode("ascii"))
        env = dict(os.environ, WINEPATH="Z:" + tree.bin.replace("/", "\\"))
        rc = setup(tree, "QEXTivara-setup.exe", "/S", "/SERVICEURL=" + SERVICE, "/NOAUTOSTART", env=env)
        assert rc == 0, "setup exit %d" % rc
        assert probe(tree, "reg", "HKCU", RUN_KEY, "QEXTivara")[0] == 1, "Run entry despite /NOAUTOSTART"
        log = read_gbk(installed(tree, "install.log"))
        assert "缺少" not in log, log
        for dll in VENDOR_DLLS:
            assert ("已找到: Z:" + tree.bin.replace("/", "\\") + "\\" + dll).lower() in log.lower(), log
        rc, f = probe(tree, "settings")
        assert f["endpoint"] == SERVICE and f["website"] == "" and f["help"] == "", f

        uninstall(tree, "uninst.exe", [installed(tree, n) for n in OURS])
        assert_uninstalled_state(tree)
        after = open(system_config(tree, "syswow64"), "rb").read().decode("ascii")
        assert "KEEP=1" in after and SERVICE in after, after


def devkit_and_installed_client(tree):
    """The developer package puts the simulated pieces beside the client; the
    client started from the install folder finds its key in skf-root there
    and shows the installed help page; neither installer nor uninstaller
    touches the files while the client runs; the package's own uninstaller
    leaves the developer's keys."""
    check_tools(tree)
    with Restoring(tree):
        assert setup(tree, "QEXTivara-devkit-setup.exe", "/S") == 0
        for dll in VENDOR_DLLS:
            assert os.path.isfile(installed(tree, dll)), "devkit did not install %s" % dll
        assert os.path.isfile(installed(tree, "skf-root", "说明.txt"))
        with open(os.path.join(tree.source_dir, "sdk", "qexseal.js"), "rb") as f:
            assert open(installed(tree, "sdk", "qexseal.js"), "rb").read() == f.read(), "sdk/qexseal.js differs"
        assert probe(tree, "reg", "HKLM", DEVKIT_KEY, "UninstallString")[0] == 0

        assert setup(tree, "QEXTivara-setup.exe", "/S", "/SERVICEURL=" + SERVICE, "/WEBSITE=" + SITE,
                     "/HELP=" + HELP) == 0
        log = read_gbk(installed(tree, "install.log"))
        for dll in VENDOR_DLLS:
            assert ("已找到: %s\\%s" % (INSTALL_DIR, dll)).lower() in log.lower(), log

        subprocess.run(["bash", os.path.join(tree.source_dir, "scripts", "provision-key.sh"), "--root",
                        installed(tree, "skf-root"), "--name", "KEY1"], check=True, stdout=subprocess.DEVNULL)
        if os.path.exists(tree.browser_log):
            os.remove(tree.browser_log)
        d = Driver(tree)
        with InstalledClient(tree) as client:
            d.wait_window()
            d.wait_line(harness.STARTUP_ONE_KEY)
            assert d.dump()["ctl.1005.visible"] == "1", "help link hidden: installed [HELP] URL not read"
            d.run("click", 1005)
            wait_until(lambda: os.path.exists(tree.browser_log) and open(tree.browser_log).read().strip(), 60,
                       "the browser to be started")
            with open(tree.browser_log, encoding="utf-8") as f:
                assert f.read().splitlines() == [HELP]

            # A running client holds its files: both refuse (exit code 2)
            # and change nothing. The uninstaller runs in place (_?=) so
            # its exit code is its own.
            assert setup(tree, "QEXTivara-setup.exe", "/S", "/HELP=http://changed.example/") == CLIENT_RUNNING
            rc, _ = probe(tree, "run", '"%s\\uninst.exe" /S _?=%s' % (INSTALL_DIR, INSTALL_DIR))
            assert rc == CLIENT_RUNNING, "uninstaller exit %d while the client runs" % rc
            assert_installed_state(tree)
            assert probe(tree, "settings")[1]["help"] == HELP

            d.run("click", 2)
            assert d.wait_gone() and client.wait_exit(), "client did not exit"

        uninstall(tree, "uninst.exe", [installed(tree, n) for n in OURS])
        assert_uninstalled_state(tree)
        for dll in VENDOR_DLLS:
            assert os.path.isfile(installed(tree, dll)), "client's uninstaller removed the devkit's %s" % dll

        uninstall(tree, "devkit-uninst.exe", [installed(tree, n) for n in VENDOR_DLLS])
        assert not os.path.exists(installed(tree, "skf-root", "说明.txt"))
        assert not os.path.exists(installed(tree, "sdk")), "devkit uninstaller left sdk"
        assert os.path.isdir(installed(tree, "skf-root", "KEY1")), "developer's key removed"
        assert probe(tree, "reg", "HKLM", DEVKIT_KEY, "UninstallString")[0] == 1


if __name__ == "__main__":
    sys.exit(harness.main([silent_install_upgrade_uninstall, machine_config_kept_and_vendor_found_on_path,
                           devkit_and_installed_client]))
