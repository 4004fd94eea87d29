#!/usr/bin/env python3
"""Planted faults: how many realistic faults of tools/faults.txt the tests catch.

  plant.py list           the catalogue, one line a fault
  plant.py check          every snippet occurs exactly once (no build)
  plant.py run [ID...]    for each fault: plant it, rebuild, run the suites until
                          the first failure, restore the file; then one line a
                          fault, "caught N of M", and BUILD/faults/results.tsv

./mcr faults [ID...] sets up, builds, starts the wineserver and calls "run".
The build folder is MCR_BUILD (default: build/ beside tools/).
"""
import os
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("MCR_BUILD") or os.path.join(ROOT, "build")
OUT = os.path.join(BUILD, "faults")
SAVED = os.path.join(OUT, "saved")  # originals while a fault is planted
JOBS = os.environ.get("MCR_JOBS", "2")
# The Wine suites that take ten seconds and more, quickest first: they run
# after all the others, one at a time.
SLOW = ["sweep_test", "msgpopup_test", "mcrhost_test", "cmddialogs_test", "fileops_test",
        "resources_test", "reference_test"]


class Fault:
    def __init__(self, ident, title):
        self.ident, self.title, self.edits = ident, title, []  # edits: (file, old, new)

    def files(self):
        return sorted({f for f, _, _ in self.edits})


def unescape(text):
    return re.sub(r"\\(n|\\)", lambda m: "\n" if m.group(1) == "n" else "\\", text)


def load(path=os.path.join(ROOT, "tools", "faults.txt")):
    faults, fault, file, old = [], None, None, None
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f.read().split("\n"), 1):
            where = "faults.txt:%d: " % n
            if line.startswith("## "):
                ident, _, title = line[3:].partition(" ")
                fault, file, old = Fault(ident, title.strip()), None, None
                faults.append(fault)
            elif not line.strip() or line.startswith("#"):
                continue
            elif fault is None:
                sys.exit(where + "text before the first fault")
            elif line.startswith("file: "):
                file = line[6:].strip()
            elif line.startswith("- ") and file and old is None:
                old = unescape(line[2:])
            elif line.startswith("+ ") or line == "+":
                if old is None:
                    sys.exit(where + "a + line without its - line")
                fault.edits.append((file, old, unescape(line[2:])))
                old = None
            else:
                sys.exit(where + "not a fault line: " + line)
    for fault in faults:
        if not fault.edits:
            sys.exit("%s: no change" % fault.ident)
    return faults


def read(rel):
    with open(os.path.join(ROOT, rel), encoding="utf-8", newline="") as f:
        return f.read()


def write(rel, text):
    with open(os.path.join(ROOT, rel), "w", encoding="utf-8", newline="") as f:
        f.write(text)


def planted(fault):
    """File -> its faulty text; None when a snippet is not there exactly once."""
    texts = {}
    for file, old, new in fault.edits:
        text = texts.get(file, read(file))
        if text.count(old) != 1:
            return None
        texts[file] = text.replace(old, new)
    return texts


def restore_leftovers():
    """A run that was killed outright left its originals in SAVED: put them back."""
    for dirpath, _, names in os.walk(SAVED):
        for name in names:
            saved = os.path.join(dirpath, name)
            rel = os.path.relpath(saved, SAVED)
            with open(saved, encoding="utf-8", newline="") as f:
                write(rel, f.read())
            os.remove(saved)
            print("restored %s from an interrupted run" % rel)


def plan(files):
    """Whether a fault needs the Windows builds, the i686 checks, the archive check.
    The native build is made every time: it is quick when nothing changed,
    and a platform-free file restored after the fault before must be rebuilt."""
    x64 = any(not f.startswith("tools/") for f in files)
    i686 = "tools/exportcheck.cpp" in files
    dist = "tools/dist.py" in files
    return x64, i686, dist


def run(cmd, log, cwd=ROOT):
    with open(log, "a") as f:
        f.write("\n$ %s\n" % " ".join(cmd))
        f.flush()
        return subprocess.run(cmd, cwd=cwd, stdout=f, stderr=subprocess.STDOUT).returncode


def suites(folder):
    """The suites of a build folder: the quick ones, then the rest (the fuzz
    runs and the slow Wine suites, quickest first)."""
    out = subprocess.run(["ctest", "-N"], cwd=folder, capture_output=True, text=True).stdout
    names = re.findall(r"Test\s+#\d+: (\S+)", out)
    wine = os.path.basename(folder) == "x64"
    slow = [n for n in names if n.endswith("_fuzz")] + [n for n in SLOW if wine and n in names]
    return [n for n in names if n not in slow], slow


def ctest(folder, names, log):
    """None when the suites pass, else the first failing suite (and test case).
    One at a time: Wine 8's server has crashed with two suites at once."""
    if not names:
        return None
    regex = "^(%s)$" % "|".join(re.escape(n) for n in names)
    cmd = ["ctest", "--output-on-failure", "--stop-on-failure", "-R", regex]
    for attempt in (1, 2):
        start = os.path.getsize(log)
        if run(cmd, log, folder) == 0:
            return None
        with open(log, errors="replace") as f:
            f.seek(start)
            out = f.read()
        failed = re.findall(r"^\s*\d+ - (\S+) \((.*)\)", out.partition("The following tests FAILED")[2], re.M)
        case = re.search(r"^\[  FAILED  \] (\S+)", out, re.M)
        # A suite whose tests all passed but that did not end, a time-out or a
        # crashed wineserver may be the machine's doing (a loaded machine, a
        # Wine hang at exit): once more on a fresh server before a verdict.
        passed = "[  PASSED  ]" in out and not case
        doubtful = passed or "wineserver crashed" in out or any(w == "Timeout" for _, w in failed)
        if doubtful and attempt == 1 and os.path.basename(folder) == "x64":
            with open(log, "a") as f:
                f.write("\n(no clear verdict: the suites once more on a fresh wineserver)\n")
            for c in (["wineserver", "-k"], ["wineserver", "-p"], ["wine", "wineboot"]):
                run(c, log)
            continue
        if passed:
            return None
        return (failed[0][0] if failed else "?") + (" " + case.group(1) if case else "")
    return None


def build(folder, log, target=None):
    cmd = ["cmake", "--build", os.path.join(BUILD, folder), "-j", JOBS]
    return run(cmd + (["--target", target] if target else []), log) == 0


def try_fault(fault, log):
    """(verdict, caught by); the fault's files are planted by the caller."""
    x64, i686, dist = plan(fault.files())
    size = os.path.getsize(log)
    if not build("native", log):
        return "does not build", "native"
    with open(log, errors="replace") as f:  # was a fuzz target built anew? then fuzz it
        f.seek(size)
        relinked = re.search(r"Linking .*_fuzz$", f.read(), re.M) is not None
    # The numeric code as the 32-bit library computes it, on the x87 unit.
    x87 = os.path.isdir(os.path.join(BUILD, "x87"))
    if x87 and not build("x87", log):
        return "does not build", "x87"
    if x64 and not build("x64", log):
        return "does not build", "x64"
    if i686 and not build("i686", log):
        return "does not build", "i686"
    nq, nr = suites(os.path.join(BUILD, "native"))
    xq, xr = suites(os.path.join(BUILD, "x64")) if x64 else ([], [])
    # The slow suites one by one, quickest first, so that a catch ends the try soon.
    phases = [("native", nq)] + ([("x87", sum(suites(os.path.join(BUILD, "x87")), []))] if x87 else []) + [("x64", xq), ("native", nr if relinked else [])] + [("x64", [n]) for n in xr]
    if i686:
        phases.append(("i686", sum(suites(os.path.join(BUILD, "i686")), [])))
    for folder, names in phases:
        by = ctest(os.path.join(BUILD, folder), names, log)
        if by:
            return "caught", "%s: %s" % (folder, by)
    if dist:
        archive = os.path.join(BUILD, "faults", "mcrpak.zip")
        for step in ("write", "check"):
            cmd = [sys.executable, os.path.join(ROOT, "tools", "dist.py"), step, ROOT, BUILD, archive]
            if run(cmd, log) != 0:
                return "caught", "dist.py " + step
    return "missed", ""


def plant_and_try(fault):
    log = os.path.join(OUT, fault.ident + ".log")
    open(log, "w").close()
    texts = planted(fault)
    if texts is None:
        return "stale", "a snippet is not there exactly once"
    originals = {f: read(f) for f in texts}
    try:
        for f, text in texts.items():
            saved = os.path.join(SAVED, f)
            os.makedirs(os.path.dirname(saved), exist_ok=True)
            with open(saved, "w", encoding="utf-8", newline="") as out:
                out.write(originals[f])
            write(f, text)
        verdict = try_fault(fault, log)
    finally:
        for f, text in originals.items():
            write(f, text)
            os.remove(os.path.join(SAVED, f))
    # The native build goes back to the restored file now, so that the next
    # fault's native build (and whether it fuzzes) is about that fault alone.
    build("native", log)
    return verdict


def save_results(faults, results):
    """BUILD/faults/results.tsv: the latest verdict of every fault in the catalogue."""
    path = os.path.join(OUT, "results.tsv")
    rows = {}
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for line in f.read().splitlines()[1:]:
                rows[line.split("\t")[0]] = line
    for ident, (verdict, by, seconds) in results.items():
        title = next(f.title for f in faults if f.ident == ident)
        rows[ident] = "\t".join([ident, verdict, by, "%d" % seconds, title])
    with open(path, "w", encoding="utf-8") as f:
        f.write("id\tverdict\tcaught by\tseconds\tfault\n")
        for fault in faults:
            if fault.ident in rows:
                f.write(rows[fault.ident] + "\n")


def main(argv):
    command = argv[1] if len(argv) > 1 else "list"
    faults = load()
    idents = [f.ident for f in faults]
    if len(set(idents)) != len(idents):
        sys.exit("a fault id is used twice")
    unknown = set(argv[2:]) - set(idents)
    if unknown:
        sys.exit("no such fault: " + " ".join(sorted(unknown)))
    # The faults named, in the order named; or all of them.
    chosen = [faults[idents.index(i)] for i in dict.fromkeys(argv[2:])] if argv[2:] else faults
    if command == "list":
        for f in chosen:
            print("%s  %-28s %s" % (f.ident, ", ".join(f.files()), f.title))
    elif command == "check":
        stale = [f.ident for f in chosen if planted(f) is None]
        for ident in stale:
            print("%s: stale (a snippet is not there exactly once)" % ident)
        print("%d of %d faults apply" % (len(chosen) - len(stale), len(chosen)))
        return 1 if stale else 0
    elif command == "run":
        os.makedirs(OUT, exist_ok=True)
        restore_leftovers()
        signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))
        results = {}
        try:
            for f in chosen:
                start = time.time()
                verdict, by = plant_and_try(f)
                results[f.ident] = (verdict, by, time.time() - start)
                print("%s %-14s %-44s %4ds  %s" % (f.ident, verdict, by, time.time() - start, f.title),
                      flush=True)
        finally:
            save_results(faults, results)
        # The builds hold the last fault until they are built again.
        for folder in ("native", "x64"):
            build(folder, os.path.join(OUT, "rebuild.log"))
        tried = [v for v, _, _ in results.values() if v != "stale"]
        stale = len(results) - len(tried)
        print("caught %d of %d" % (tried.count("caught"), len(tried))
              + (" (%d stale, not tried)" % stale if stale else ""))
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
