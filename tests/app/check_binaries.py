#!/usr/bin/env python3
"""Checks the shipped Windows binaries of one build tree as files, without
running them, so it also holds where Wine cannot run the tree:

- each is a PE file of the tree's architecture;
- none needs a DLL that a user's PC lacks (the mingw runtime, libgcrypt,
  gSOAP...): only Windows' own DLLs and, for the client, the key's SKF
  library;
- the client imports from mtoken_gm3000.dll exactly the undecorated SKF
  names the software key exports (a 32-bit __stdcall name without its .def
  entry would come out as _Name@16 and fail to load), and does not import
  the digest module, which it loads by name at every run;
- Glyphon.ocx exports the four COM entry points by ordinals 1 to 4, the
  digest module exports "QEXGetDigest".
"""

import argparse
import os
import re
import subprocess
import sys

# Windows' own DLLs our binaries may import (compared without case).
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "gdi32.dll", "gdiplus.dll", "kernel32.dll", "msimg32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "user32.dll", "ws2_32.dll",
    "shlwapi.dll", "crypt32.dll", "bcrypt.dll", "version.dll", "comdlg32.dll",
}

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)
        print("FAIL " + message, flush=True)


def objdump_p(objdump, path):
    return subprocess.run([objdump, "-p", path], check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT).stdout.decode("utf-8", "replace")


def imports(dump):
    """{dll name: [imported names]} from objdump -p."""
    result, current = {}, None
    for line in dump.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            current = m.group(1)
            result[current] = []
            continue
        if current is None:
            continue
        if not line.strip():
            current = None
            continue
        m = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\S+)", line)
        if m:
            result[current].append(m.group(1))
    return result


def exports(dump):
    """({name: ordinal}, ordinal base) from objdump -p."""
    base = None
    m = re.search(r"Ordinal Base (\d+)", dump)
    if m:
        base = int(m.group(1))
    names = {}
    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) == 2:
        for line in table[1].splitlines()[1:]:
            m = re.match(r"\s*\[\s*(\d+)\]\s+(\S+)", line)
            if not m:
                break
            names[m.group(2)] = int(m.group(1)) + (base or 0)
    return names, base


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--bits", type=int, choices=(32, 64), required=True)
    parser.add_argument("files", nargs="+", help="the tree's shipped binaries, by file name")
    opts = parser.parse_args()
    fmt = "pei-i386" if opts.bits == 32 else "pei-x86-64"

    dumps = {}
    for name in opts.files:
        path = os.path.join(opts.bin, name)
        if not os.path.exists(path):
            check(False, "%s was not built" % name)
            continue
        dump = objdump_p(opts.objdump, path)
        dumps[name] = dump
        check("file format %s" % fmt in dump, "%s is not %s" % (name, fmt))
        allowed = set(SYSTEM_DLLS)
        if name == "QEXTivara.exe":
            allowed.add("mtoken_gm3000.dll")
        for dll in imports(dump):
            check(dll.lower() in allowed, "%s needs %s, which a user's PC does not have" % (name, dll))

    if "QEXTivara.exe" in dumps and "mtoken_gm3000.dll" in dumps:
        imported = {dll.lower(): names for dll, names in imports(dumps["QEXTivara.exe"]).items()}
        skf = imported.get("mtoken_gm3000.dll", [])
        check(len(skf) == 13, "the client imports %d SKF functions, not 13: %s" % (len(skf), skf))
        check(all(re.fullmatch(r"SKF_[A-Za-z]+", n) for n in skf), "decorated SKF imports: %s" % skf)
        offered, _ = exports(dumps["mtoken_gm3000.dll"])
        missing = sorted(set(skf) - set(offered))
        check(not missing, "the software key lacks what the client imports: %s" % missing)
        check("qexmulticacryptmodule.dll" not in imported, "the client imports the digest module")

    if "Glyphon.ocx" in dumps:
        names, base = exports(dumps["Glyphon.ocx"])
        want = {"DllCanUnloadNow": 1, "DllGetClassObject": 2, "DllRegisterServer": 3, "DllUnregisterServer": 4}
        check(base == 1 and names == want, "Glyphon.ocx exports %s (base %s), not %s" % (names, base, want))

    if "QEXMultiCACryptModule.dll" in dumps:
        names, _ = exports(dumps["QEXMultiCACryptModule.dll"])
        check("QEXGetDigest" in names, "the digest module does not export QEXGetDigest: %s" % sorted(names))

    print("%d binaries checked, %d problems" % (len(dumps), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
