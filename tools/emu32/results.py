#!/usr/bin/env python3
"""What came back from the emulated PC, as one verdict.

  results.py OUT SUITES

OUT holds results.txt (NAME STATUS SECONDS a step), reports/NAME.xml (each
suite's GoogleTest report) and logs/NAME.txt; SUITES lists the suites (a
name first on each line). Each test case counts once; a suite that left no
report, or ended with a failing status while its report shows no failure
(it crashed or was stopped), counts as one failure of its own, and so does
a suite that never ran; another step (the self-test) passes by its status. Prints the
failures, the time of each step, and last the line "N passed, N failed";
exits 1 on any failure or when nothing came back. When OUT also holds
results64.txt (the x86_64 suites run after them on the same emulated PC),
it prints the time of each suite in both and the ratio of the totals.
"""
import os
import sys
import xml.etree.ElementTree as ET


def main(out, suites):
    expected = [line.split()[0] for line in open(suites) if line.strip()]
    results = os.path.join(out, "results.txt")
    if not os.path.exists(results):
        print("nothing came back from the emulated PC (see its console log)")
        print("0 passed, 1 failed")
        return 1
    passed = failed = 0
    lines = []
    ran = set()
    for line in open(results):
        name, status, seconds = line.split()
        ran.add(name)
        status = int(status)
        report = os.path.join(out, "reports", name + ".xml")
        if os.path.exists(report):
            root = ET.parse(report).getroot()
            tests, failures = int(root.get("tests", 0)), int(root.get("failures", 0)) + int(root.get("errors", 0))
            for case in root.iter("testcase"):
                if case.find("failure") is not None:
                    lines.append("FAILED %s.%s" % (case.get("classname"), case.get("name")))
            passed += tests - failures
            failed += failures
            if status != 0 and failures == 0:
                failed += 1
                lines.append("FAILED %s: status %d with no failing case (logs/%s.txt)" % (name, status, name))
        elif status == 0 and name not in expected:
            passed += 1
        else:
            failed += 1
            why = "stopped at its time limit" if status == 124 else "status %d, no report" % status
            lines.append("FAILED %s: %s (logs/%s.txt)" % (name, why, name))
        print("  %-26s %8s s  status %d" % (name, seconds, status))
    for name in expected:
        if name not in ran:
            failed += 1
            lines.append("FAILED %s: never ran" % name)
    for line in lines:
        print(line)
    compare(out, expected)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


def seconds_of(path):
    times = {}
    if os.path.exists(path):
        for line in open(path):
            name, status, seconds = line.split()
            times[name] = (float(seconds), int(status))
    return times


def compare(out, expected):
    i686, x64 = seconds_of(os.path.join(out, "results.txt")), seconds_of(os.path.join(out, "results64.txt"))
    both = [n for n in expected if n in i686 and n in x64]
    if not both:
        return
    print("the same suites on the same emulated PC, i686 (win32 prefix) against x86_64 (win64 prefix):")
    for name in both:
        print("  %-26s %7.1f s %7.1f s  %5.2f  %s" % (name, i686[name][0], x64[name][0],
                                                    i686[name][0] / max(x64[name][0], 0.01),
                                                    "" if x64[name][1] == 0 else "(x86_64 status %d)" % x64[name][1]))
    a, b = sum(i686[n][0] for n in both), sum(x64[n][0] for n in both)
    print("  %-26s %7.1f s %7.1f s  %5.2f" % ("all", a, b, a / max(b, 0.01)))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
