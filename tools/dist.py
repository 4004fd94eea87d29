#!/usr/bin/env python3
"""The release archive of ./mcr dist, and its check in ./mcr test.

  dist.py write ROOT BUILD ZIP    write the archive from the builds under BUILD
  dist.py check ROOT BUILD ZIP    check it: exactly the files a release holds,
                                  SHA256SUMS right, the version in every module,
                                  and the 32-bit library in it passes the export
                                  and import check

The check writes BUILD/reports/dist.xml, a report the test summary counts.
"""
import hashlib
import io
import os
import re
import subprocess
import sys
import tempfile
import zipfile


def release_files(root, build):
    """Archive name -> file on disk, the stand-ins being every standins/ folder."""
    files = {
        "x86/MCRPAK.dll": os.path.join(build, "i686", "bin", "MCRPAK.dll"),
        "x64/MCRPAK.dll": os.path.join(build, "x64", "bin", "MCRPAK.dll"),
        "x64/mcrhost.exe": os.path.join(build, "x64", "bin", "mcrhost.exe"),
        "x64/mkworkstation.exe": os.path.join(build, "x64", "bin", "mkworkstation.exe"),
        "docs/words.md": os.path.join(root, "docs", "words.md"),
        "docs/language.md": os.path.join(root, "docs", "language.md"),
        "README.md": os.path.join(root, "README.md"),
    }
    for name in sorted(os.listdir(os.path.join(root, "standins"))):
        files["x64/%s.dll" % name] = os.path.join(build, "x64", "bin", name + ".dll")
    pictures = os.path.join(root, "docs", "pictures")
    for name in sorted(os.listdir(pictures)):
        files["docs/pictures/" + name] = os.path.join(pictures, name)
    return files


def entry(name):
    """A member with a fixed date, so that the same files give the same archive."""
    info = zipfile.ZipInfo(name, date_time=(2000, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    return info


def project_version(build):
    with open(os.path.join(build, "x64", "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.strip().partition("=")[2]
    return "?"


def carries_version(module, version):
    """Whether the module's VERSIONINFO strings say FileVersion = version."""
    key = "FileVersion\0".encode("utf-16-le")
    value = (version + "\0").encode("utf-16-le")
    return re.search(re.escape(key) + b"(?:\0\0)?" + re.escape(value), module) is not None


def write(root, build, target):
    files = release_files(root, build)
    sums = io.StringIO()
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
        for name, path in sorted(files.items()):
            with open(path, "rb") as f:
                data = f.read()
            z.writestr(entry(name), data)
            sums.write("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name))
        z.writestr(entry("SHA256SUMS"), sums.getvalue())
    print("wrote %s (%d files)" % (target, len(files) + 1))


def check(root, build, target):
    """Two checks: the archive's contents, and the 32-bit library in it."""
    contents, library = [], []
    expected = set(release_files(root, build)) | {"SHA256SUMS"}
    with zipfile.ZipFile(target) as z:
        listed = {n for n in z.namelist() if not n.endswith("/")}  # folders are no files
        contents += ["missing from the archive: " + n for n in sorted(expected - listed)]
        contents += ["not a file of the release: " + n for n in sorted(listed - expected)]
        sums = {}
        if "SHA256SUMS" in listed:
            for line in z.read("SHA256SUMS").decode().splitlines():
                digest, _, name = line.partition("  ")
                sums[name] = digest
        version = project_version(build)
        for name in sorted(listed - {"SHA256SUMS"}):
            data = z.read(name)
            if sums.get(name) != hashlib.sha256(data).hexdigest():
                contents.append("SHA256SUMS is wrong for " + name)
            if name.endswith((".dll", ".exe")) and not carries_version(data, version):
                contents.append("%s has no version information %s" % (name, version))
        dll = z.read("x86/MCRPAK.dll") if "x86/MCRPAK.dll" in listed else None
    if dll is None:
        library.append("there is no x86/MCRPAK.dll to check")
    else:
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "MCRPAK.dll")
            with open(path, "wb") as f:
                f.write(dll)
            # The export table and imports, then the code: how each export returns.
            dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", path], capture_output=True,
                                  env=dict(os.environ, LC_ALL="C"))
            code = subprocess.run(["i686-w64-mingw32-objdump", "-d", path], capture_output=True,
                                  env=dict(os.environ, LC_ALL="C"))
            checker = subprocess.run([os.path.join(build, "native", "bin", "exportcheck"),
                                      os.path.join(root, "tools", "imports-i686.txt")],
                                     input=dump.stdout + code.stdout, capture_output=True)
            if dump.returncode != 0 or code.returncode != 0 or checker.returncode != 0:
                library.append("x86/MCRPAK.dll fails the export check:\n" + dump.stderr.decode() +
                               code.stderr.decode() + checker.stdout.decode())
    problems = contents + library
    for p in problems:
        print(p)
    report = os.path.join(build, "reports", "dist.xml")
    if os.path.isdir(os.path.dirname(report)):
        with open(report, "w") as f:
            f.write('<?xml version="1.0"?>\n<testsuites tests="2" failures="%d" name="dist"/>\n'
                    % (bool(contents) + bool(library)))
    print("%s: %s" % (target, "%d problem(s)" % len(problems) if problems else "as a release should be"))
    return 1 if problems else 0


def main(argv):
    if len(argv) != 5 or argv[1] not in ("write", "check"):
        sys.stderr.write(__doc__)
        return 2
    _, command, root, build, target = argv
    if command == "write":
        write(root, build, target)
        return 0
    return check(root, build, target)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
