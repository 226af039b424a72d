#!/usr/bin/env python3
"""Passes a ctest run's output through as it comes and ends it with the
times: how long each tree's build took (the <tree>.build tests of
scripts/test.sh), and per label how long its tests took, as wall clock from
the first start to the last end and as the sum of the tests' own times (what
ctest's label summary counts, sec*proc). ctest's closing summary (from
"N% tests passed" on) is held back and printed after them, so it stays the
last thing printed.

    ctest ... 2>&1 | ctest-times.py --tests tests.json --log LastTest.log [--started EPOCH]

tests.json: `ctest -N --show-only=json-v1` of the same run (for the labels);
the log (Testing/Temporary/LastTest.log) gives the executions each fuzzer
reached. This only reads and prints: the caller keeps ctest's exit code.
"""

import argparse
import json
import re
import sys
import time

START = re.compile(r"^\s*Start\s+\d+: (\S+)")
END = re.compile(r"^\s*\d+/\d+ Test\s+#\d+: (\S+) \.*\**\s*(.*?)\s+([0-9.]+) sec$")
LOG_TEST = re.compile(r"^\d+/\d+ Test: (\S+)$")
FUZZ_DONE = re.compile(r"^Done (\d+) runs in (\d+) second")
SUMMARY = re.compile(r"^(\d+% tests passed|No tests were found)")


def labels_of(tests_json):
    with open(tests_json, encoding="utf-8") as f:
        data = json.load(f)
    labels = {}
    for test in data.get("tests", []):
        for prop in test.get("properties", []):
            if prop.get("name") == "LABELS":
                labels[test["name"]] = prop.get("value", [])
        labels.setdefault(test["name"], [])
    return labels


def outputs(log):
    """{test: its output lines} from ctest's log of the run."""
    found, current, inside = {}, None, False
    try:
        with open(log, encoding="utf-8", errors="replace") as f:
            for line in f:
                m = LOG_TEST.match(line)
                if m:
                    current, inside = m.group(1), False
                    found[current] = []
                elif line.startswith("Output:"):
                    inside = True
                elif line.startswith("<end of output>"):
                    inside = False
                elif inside and current and not line.startswith("-" * 20):
                    found[current].append(line.rstrip("\n"))
    except OSError:
        pass
    return found


def fuzz_runs(output):
    """(runs, seconds) from a fuzzer's "Done N runs in S second(s)", or None."""
    for line in output:
        m = FUZZ_DONE.match(line)
        if m:
            return int(m.group(1)), int(m.group(2))
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tests", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--started", type=float, default=time.time(),
                        help="when the whole command started (for the total)")
    opts = parser.parse_args()
    labels = labels_of(opts.tests)

    begin = time.monotonic()
    wall_offset = time.time() - begin
    started, ended, own, verdict = {}, {}, {}, {}
    held = []
    for line in sys.stdin:
        if held or SUMMARY.match(line):
            held.append(line)
            continue
        sys.stdout.write(line)
        sys.stdout.flush()
        now = time.monotonic()
        m = START.match(line)
        if m:
            started[m.group(1)] = now
            continue
        m = END.match(line)
        if m:
            name = m.group(1)
            ended[name] = now
            own[name] = float(m.group(3))
            verdict[name] = m.group(2).strip("* ")

    print()
    print("== times (this machine: %d s in all so far)" % round(time.time() - opts.started))
    builds = sorted((n for n in own if n.endswith(".build") and not labels.get(n)), key=lambda n: started.get(n, 0))
    for name in builds:
        print("   build %-10s %6.0f s  %s" % (name[:-len(".build")], own[name], verdict[name]))
    by_label = {}
    for name in own:
        for label in labels.get(name, []):
            by_label.setdefault(label, []).append(name)
    if by_label:
        print("   %-12s %10s %12s %7s" % ("tests of", "wall (s)", "sum (s)", "tests"))
    for label in sorted(by_label):
        names = by_label[label]
        first = min(started.get(n, ended[n] - own[n]) for n in names)
        last = max(ended[n] for n in names)
        print("   %-12s %10.0f %12.0f %7d" % (label, last - first, sum(own[n] for n in names), len(names)))
    logged = outputs(opts.log)
    for name in sorted(n for n in own if any(l.startswith("fuzz") for l in labels.get(n, []))):
        done = fuzz_runs(logged.get(name, []))
        if done:
            runs, seconds = done
            print("   fuzzer %-28s %12d runs in %4d s (%d/s)" % (name, runs, seconds, runs // max(seconds, 1)))
    # Skipped tests by the reason they gave (the last line they printed).
    reasons = {}
    for name in own:
        if verdict[name] == "Skipped":
            lines = [l for l in logged.get(name, []) if l.strip()]
            reasons.setdefault(lines[-1] if lines else "(no reason printed)", []).append(name)
    for reason, names in sorted(reasons.items(), key=lambda r: -len(r[1])):
        print("   skipped %d: %s" % (len(names), reason))
    if started:
        first = min(started.values())
        print("   ctest ran from %s to %s" % (time.strftime("%H:%M:%S", time.localtime(first + wall_offset)),
                                              time.strftime("%H:%M:%S", time.localtime(time.monotonic() + wall_offset))))
    print()
    sys.stdout.write("".join(held))
    sys.stdout.flush()


if __name__ == "__main__":
    main()
