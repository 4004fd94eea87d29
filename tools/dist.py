#!/usr/bin/env python3
"""The release archive of ./mcr dist, and its check in ./mcr test.

  dist.py write ROOT BUILD ZIP    write the archive from the builds under BUILD
  dist.py check ROOT BUILD ZIP    check it: exactly the files a release holds,
                                  SHA256SUMS right, the version in every module,
                                  the 32-bit library in it passes the export
                                  and import check, and the editor extension is
                                  one that code --install-extension takes

The check writes BUILD/reports/dist.xml, a report the test summary counts.
"""
import hashlib
import io
import json
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
    version = project_version(build)
    files["editors/mcrpak-macros-%s.vsix" % version] = os.path.join(build, "vscode",
                                                                 "mcrpak-macros-%s.vsix" % version)
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


# What the extension's script may load: the editor's API, its own data and
# the two modules that find ./mcr in a checkout. Nothing that reaches a network.
EXTENSION_MODULES = {"vscode", "./words.json", "fs", "path"}


def check_vsix(data, version):
    """The .vsix as VS Code installs it: its manifests agree, every file the
    manifest names is in it, the script loads nothing else, and the problem
    matcher reads mcrhost --check's lines."""
    problems = []
    with zipfile.ZipFile(io.BytesIO(data)) as z:
        names = set(z.namelist())
        for required in ("extension.vsixmanifest", "[Content_Types].xml", "extension/package.json"):
            if required not in names:
                return ["the editor extension has no " + required]
        manifest = json.loads(z.read("extension/package.json"))
        identity = re.search(rb'<Identity [^>]*Id="([^"]*)" Version="([^"]*)" Publisher="([^"]*)"',
                             z.read("extension.vsixmanifest"))
        if not identity or [g.decode() for g in identity.groups()] != [manifest["name"], version, manifest["publisher"]]:
            problems.append("the editor extension's manifests disagree, or its version is not %s" % version)
        if "vscode" not in manifest.get("engines", {}):
            problems.append("the editor extension names no engines.vscode")
        contributes = manifest.get("contributes", {})
        named = [manifest.get("main", "")] + [g["path"] for g in contributes.get("grammars", [])] + \
                [l["configuration"] for l in contributes.get("languages", [])] + ["words.json"]
        for path in named:
            if "extension/" + os.path.normpath(path) not in names:
                problems.append("the editor extension lacks %s, which its manifest names" % path)
            elif path.endswith(".json"):
                json.loads(z.read("extension/" + os.path.normpath(path)))
        strays = [n for n in names if not n.startswith("extension/") and n not in
                  ("extension.vsixmanifest", "[Content_Types].xml") or "node_modules" in n]
        problems += ["not a file of the editor extension: " + n for n in sorted(strays)]
        script = z.read("extension/" + os.path.normpath(manifest.get("main", "?"))).decode() \
            if "extension/extension.js" in names else ""
        for module in sorted(set(re.findall(r"require\(\s*'([^']*)'", script)) - EXTENSION_MODULES):
            problems.append("the editor extension's script loads %s" % module)
        if re.search(r"\bimport\b|https?:|fetch\(|XMLHttpRequest", script):
            problems.append("the editor extension's script imports or reaches out")
    matchers = {m["name"]: m for m in contributes.get("problemMatchers", [])}
    check = matchers.get("mcrhost-check", {}).get("pattern", {})
    line = "sample\\my macro.mac:12:5: warning: the variable x$ is never set"
    found = re.match(check.get("regexp", "$^"), line)
    if not found or [found.group(check[k]) for k in ("file", "line", "column", "severity", "message")] != \
            ["sample\\my macro.mac", "12", "5", "warning", "the variable x$ is never set"]:
        problems.append("the editor extension's problem matcher misreads " + line)
    return problems


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
    contents, library, editor = [], [], []
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
        vsix = "editors/mcrpak-macros-%s.vsix" % version
        editor = check_vsix(z.read(vsix), version) if vsix in listed else ["there is no %s to check" % vsix]
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
    problems = contents + library + editor
    for p in problems:
        print(p)
    report = os.path.join(build, "reports", "dist.xml")
    if os.path.isdir(os.path.dirname(report)):
        with open(report, "w") as f:
            f.write('<?xml version="1.0"?>\n<testsuites tests="3" failures="%d" name="dist"/>\n'
                    % (bool(contents) + bool(library) + bool(editor)))
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
