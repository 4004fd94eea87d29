#!/usr/bin/env python3
"""Non-blank lines of the tests against the rest of the code.

Tests: the sources and case files under tests/ (the generic harness, the
helpers every suite shares, also on a line of its own). Code: every source
of the library, the host, the stand-ins, the sample, the tools, the bench
and the editor support. Expected outputs and golden files are not counted.
"""
import os
import sys

TEST_KINDS = {".c", ".cpp", ".h", ".inc", ".mac", ".calls", ".tsv", ".js"}
CODE_KINDS = {".c", ".cpp", ".h", ".inc", ".py", ".rc", ".def", ".mac", ".sh", ".cmake", ".js", ".mjs", ".json", ".ts"}
CODE_DIRS = ["mcrpak", "host", "standins", "sample", "tools", "bench", "editors"]
HARNESS_DIRS = ["tests/support", "tests/helprec"]
GENERATED = {"node_modules", "out"}
LOCK_FILES = {"package-lock.json"}  # npm writes them


def lines(root, kinds):
    total = 0
    for folder, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if d not in GENERATED]
        for name in files:
            if os.path.splitext(name)[1] in kinds and name not in LOCK_FILES:
                with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                    total += sum(1 for line in f if line.strip())
    return total


def main():
    top = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    tests = lines(os.path.join(top, "tests"), TEST_KINDS)
    harness = sum(lines(os.path.join(top, d), TEST_KINDS) for d in HARNESS_DIRS)
    code = sum(lines(os.path.join(top, d), CODE_KINDS) for d in CODE_DIRS)
    print(f"tests {tests:,} non-blank lines ({harness:,} of them the shared harness) "
          f"against code {code:,}: {100 * tests / code:.0f}% (aim at most 33%, bar 40%)")


if __name__ == "__main__":
    main()
