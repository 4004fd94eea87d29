#!/usr/bin/env python3
"""The release archive of ./mcr dist, and its check in ./mcr test.

  dist.py write ROOT BUILD ZIP    write the archive from the builds under BUILD
  dist.py check ROOT BUILD ZIP    check it: exactly the files a release holds,
                                  dated from the release's commit and written
                                  again byte for byte, SHA256SUMS right, the
                                  version in every module, every module
                                  stripped with a debug link to its symbols,
                                  the 32-bit library passing the export and
                                  import check; and the documents around it:
                                  the README's length and links, the pictures'
                                  manifest; the editor extension one that code
                                  --install-extension takes

The check writes BUILD/reports/dist.xml, a report the test summary counts.
"""
import binascii
import hashlib
import io
import json
import os
import posixpath
import re
import subprocess
import sys
import tempfile
import time
import zipfile

ARCHES = {"x86": ("i686", "i686-w64-mingw32-"), "x64": ("x64", "x86_64-w64-mingw32-")}
SHIPPED_DOCS = ["words.md", "language.md", "mcrhost.md", "behaviour.md"]
README_LINES = 200
PICTURE_SOURCES = {"sample/pictures.mac on the sample workstation in C:\\ICPMS",
                   "editors/picture.mac highlighted by the grammar (shiki, headless Chromium)"}


def release_files(root, build):
    """Archive name -> file on disk, the stand-ins being every standins/ folder."""
    files = {
        "INSTALL.txt": os.path.join(root, "docs", "install.txt"),
        "CHANGES.md": os.path.join(root, "CHANGES.md"),
        "x86/MCRPAK.dll": os.path.join(build, "i686", "bin", "MCRPAK.dll"),
        "x64/MCRPAK.dll": os.path.join(build, "x64", "bin", "MCRPAK.dll"),
        "x64/mcrhost.exe": os.path.join(build, "x64", "bin", "mcrhost.exe"),
        "x64/mkworkstation.exe": os.path.join(build, "x64", "bin", "mkworkstation.exe"),
    }
    for name in sorted(os.listdir(os.path.join(root, "standins"))):
        files["x64/%s.dll" % name] = os.path.join(build, "x64", "bin", name + ".dll")
    for name in SHIPPED_DOCS:
        files["docs/" + name] = os.path.join(root, "docs", name)
    version = project_version(build)
    files["editors/mcrpak-macros-%s.vsix" % version] = os.path.join(build, "vscode",
                                                                 "mcrpak-macros-%s.vsix" % version)
    pictures = os.path.join(root, "docs", "pictures")
    for name in sorted(os.listdir(pictures)):
        if name.endswith(".png"):
            files["docs/pictures/" + name] = os.path.join(pictures, name)
    for name in list(files):
        if name.endswith((".dll", ".exe")):
            files[symbols_of(name)] = None  # split from the module
    return files


def symbols_of(module):
    return "symbols/%s.debug" % module


def release_seconds(root):
    """The release's commit time: the date of every member and of every module's header."""
    out = subprocess.run(["git", "-C", root, "log", "-1", "--format=%ct"], capture_output=True, text=True)
    seconds = int(out.stdout.strip()) if out.returncode == 0 and out.stdout.strip() else 0
    return max(seconds, 315532800) // 2 * 2  # a zip file dates from 1980 on, to two seconds


def release_date(root):
    return time.gmtime(release_seconds(root))[:6]


def entry(name, date):
    info = zipfile.ZipInfo(name, date_time=date)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    return info


def run(args, env=None):
    done = subprocess.run(args, capture_output=True, env=env)
    if done.returncode != 0:
        raise RuntimeError("%s failed: %s" % (" ".join(args), done.stderr.decode()))
    return done.stdout


def split_debug(name, path, seconds):
    """The module without its debugging information but with a link to it, and that information;
    the module's header dated seconds (objcopy would write the time of day)."""
    prefix = ARCHES[name.split("/")[0]][1]
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(seconds))
    with tempfile.TemporaryDirectory() as tmp:
        debug = os.path.join(tmp, os.path.basename(name) + ".debug")
        stripped = os.path.join(tmp, os.path.basename(name))
        run([prefix + "objcopy", "--only-keep-debug", path, debug], env)
        run([prefix + "objcopy", "--strip-all", "--add-gnu-debuglink=" + debug, path, stripped], env)
        with open(stripped, "rb") as f, open(debug, "rb") as g:
            return f.read(), g.read()


def contents(root, build):
    """Archive name -> bytes, the texts for Windows with CR LF and the version filled in."""
    version = project_version(build)
    seconds = release_seconds(root)
    out = {}
    for name, path in sorted(release_files(root, build).items()):
        if path is None:
            continue
        if name.endswith((".dll", ".exe")):
            out[name], out[symbols_of(name)] = split_debug(name, path, seconds)
            continue
        with open(path, "rb") as f:
            data = f.read()
        if name.endswith(".vsix"):
            data = restamped(data, time.gmtime(seconds)[:6])
        if name == "INSTALL.txt":
            data = data.replace(b"@VERSION@", version.encode()).replace(b"\n", b"\r\n")
        out[name] = data
    return out


def restamped(package, date):
    """A zip package (the editor extension) with every entry dated date, so
    that the archive does not carry the day it was packaged."""
    out = io.BytesIO()
    with zipfile.ZipFile(io.BytesIO(package)) as z, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as w:
        for info in z.infolist():
            w.writestr(entry(info.filename, date), z.read(info))
    return out.getvalue()


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
    files = contents(root, build)
    date = release_date(root)
    sums = "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name) for name, data in sorted(files.items()))
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in sorted(files.items()):
            z.writestr(entry(name, date), data)
        z.writestr(entry("SHA256SUMS", date), sums)
    return len(files) + 1


def debug_link(module, prefix):
    """The debug file a stripped module names and the CRC it gives; None when it is not stripped
    or names none."""
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "module")
        with open(path, "wb") as f:
            f.write(module)
        headers = subprocess.run([prefix + "objdump", "-h", path], capture_output=True, text=True).stdout
        if ".debug_" in headers or ".gnu_debuglink" not in headers:
            return None
        dump = subprocess.run([prefix + "objdump", "-s", "-j", ".gnu_debuglink", path],
                              capture_output=True, text=True).stdout
    # " 6843c000 4d435250 414b2e64 ...  MCRPAK.dll.debug": the words between the address and the
    # two blanks before the text
    link = b"".join(bytes.fromhex("".join(line.split("  ")[0].split()[1:])) for line in dump.splitlines()
                    if re.match(r" [0-9a-f]{8,16} ", line))
    return link.split(b"\0", 1)[0].decode(), int.from_bytes(link[-4:], "little")


def relative_links(markdown):
    """The targets of a Markdown text's links that lead to a file beside it (no scheme, no anchor)."""
    return [link for link in re.findall(r"\]\(([^)#\s]+)[^)]*\)", markdown) if not re.match(r"[a-z]+:", link)]


def check_archive(root, build, target, problems):
    expected = set(release_files(root, build)) | {"SHA256SUMS"}
    with zipfile.ZipFile(target) as z:
        listed = {n for n in z.namelist() if not n.endswith("/")}  # folders are no files
        problems += ["missing from the archive: " + n for n in sorted(expected - listed)]
        problems += ["not a file of the release: " + n for n in sorted(listed - expected)]
        date = release_date(root)
        problems += ["%s is dated %s, not by the release's commit" % (i.filename, i.date_time)
                     for i in z.infolist() if i.date_time != date]
        sums = {}
        if "SHA256SUMS" in listed:
            for line in z.read("SHA256SUMS").decode().splitlines():
                digest, _, name = line.partition("  ")
                sums[name] = digest
        # What a shipped document links to is shipped too.
        for name in sorted(n for n in listed if n.endswith(".md")):
            for link in relative_links(z.read(name).decode("utf-8", "replace")):
                if posixpath.normpath(posixpath.join(posixpath.dirname(name), link)) not in listed:
                    problems.append("%s links to %s, which the archive does not hold" % (name, link))
        version = project_version(build)
        for name in sorted(listed - {"SHA256SUMS"}):
            data = z.read(name)
            if sums.get(name) != hashlib.sha256(data).hexdigest():
                problems.append("SHA256SUMS is wrong for " + name)
            if not name.endswith((".dll", ".exe")):
                continue
            if not carries_version(data, version):
                problems.append("%s has no version information %s" % (name, version))
            link = debug_link(data, ARCHES[name.split("/")[0]][1])
            symbols = symbols_of(name)
            if link is None:
                problems.append("%s is not stripped with a debug link" % name)
            elif link[0] != os.path.basename(symbols) or symbols not in listed or \
                    binascii.crc32(z.read(symbols)) != link[1]:
                problems.append("%s does not link to %s" % (name, symbols))
    # The same commit gives the same archive.
    with tempfile.TemporaryDirectory() as tmp:
        again = os.path.join(tmp, "again.zip")
        write(root, build, again)
        with open(target, "rb") as a, open(again, "rb") as b:
            if a.read() != b.read():
                problems.append("written again, the archive differs")


def check_library(root, build, target, problems):
    """The archive's 32-bit library: its export table and imports, and how each export returns
    (the code is read from the unstripped build, of which it must be the stripped copy)."""
    built = os.path.join(build, "i686", "bin", "MCRPAK.dll")
    with zipfile.ZipFile(target) as z:
        if "x86/MCRPAK.dll" not in z.namelist():
            problems.append("there is no x86/MCRPAK.dll to check")
            return
        shipped = z.read("x86/MCRPAK.dll")
    if shipped != split_debug("x86/MCRPAK.dll", built, release_seconds(root))[0]:
        problems.append("x86/MCRPAK.dll is not the stripped build of build/i686")
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "MCRPAK.dll")
        with open(path, "wb") as f:
            f.write(shipped)
        env = dict(os.environ, LC_ALL="C")
        dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", path], capture_output=True, env=env)
        code = subprocess.run(["i686-w64-mingw32-objdump", "-d", built], capture_output=True, env=env)
        checker = subprocess.run([os.path.join(build, "native", "bin", "exportcheck"),
                                  os.path.join(root, "tools", "imports-i686.txt")],
                                 input=dump.stdout + code.stdout, capture_output=True)
        if dump.returncode != 0 or code.returncode != 0 or checker.returncode != 0:
            problems.append("x86/MCRPAK.dll fails the export check:\n" + dump.stderr.decode() +
                            code.stderr.decode() + checker.stdout.decode())


def check_documents(root, problems):
    """The README stays a front door; every relative link of the documents leads somewhere;
    every picture is one ./mcr pictures made, as its manifest says."""
    with open(os.path.join(root, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    if readme.count("\n") > README_LINES:
        problems.append("README.md has %d lines, more than %d" % (readme.count("\n"), README_LINES))
    documents = ["README.md", "CHANGES.md"] + ["docs/" + n for n in os.listdir(os.path.join(root, "docs"))
                                               if n.endswith(".md")]
    for doc in documents:
        with open(os.path.join(root, doc), encoding="utf-8") as f:
            text = f.read()
        for link in relative_links(text):
            if not os.path.exists(os.path.join(root, os.path.dirname(doc), link)):
                problems.append("%s links to %s, which does not exist" % (doc, link))
    pictures = os.path.join(root, "docs", "pictures")
    with open(os.path.join(pictures, "MANIFEST.txt"), encoding="utf-8") as f:
        manifest = {}
        for line in f.read().splitlines():
            name, digest, source = (line.split("  ", 2) + ["", ""])[:3]
            manifest[name] = (digest, source)
    for name in sorted(n for n in os.listdir(pictures) if n.endswith(".png")):
        with open(os.path.join(pictures, name), "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        made = manifest.pop(name, None)
        if not made or made[0] != digest or made[1] not in PICTURE_SOURCES:
            problems.append("docs/pictures/%s was not made by ./mcr pictures on this tree" % name)
    problems += ["docs/pictures/MANIFEST.txt lists %s, which is not there" % n for n in manifest]


def check(root, build, target):
    archive, library, documents = [], [], []
    check_archive(root, build, target, archive)
    check_library(root, build, target, library)
    check_documents(root, documents)
    version = project_version(build)
    vsix = "editors/mcrpak-macros-%s.vsix" % version
    with zipfile.ZipFile(target) as z:
        editor = check_vsix(z.read(vsix), version) if vsix in z.namelist() else ["there is no %s to check" % vsix]
    problems = archive + library + documents + editor
    for p in problems:
        print(p)
    report = os.path.join(build, "reports", "dist.xml")
    if os.path.isdir(os.path.dirname(report)):
        with open(report, "w") as f:
            f.write('<?xml version="1.0"?>\n<testsuites tests="4" failures="%d" name="dist"/>\n'
                    % (bool(archive) + bool(library) + bool(documents) + bool(editor)))
    print("%s: %s" % (target, "%d problem(s)" % len(problems) if problems else "as a release should be"))
    return 1 if problems else 0


def main(argv):
    if len(argv) != 5 or argv[1] not in ("write", "check"):
        sys.stderr.write(__doc__)
        return 2
    _, command, root, build, target = argv
    if command == "write":
        print("wrote %s (%d files)" % (target, write(root, build, target)))
        return 0
    return check(root, build, target)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
