#!/usr/bin/env python3
"""The release archive of ./mcr dist, and its check in ./mcr test.

  dist.py write ROOT BUILD ZIP    write the archive from the builds under BUILD,
                                  and its checksum beside it (ZIP.sha256)
  dist.py check ROOT BUILD ZIP    check it: one top folder holding exactly the
                                  files a release holds, dated from the release's
                                  commit and written again byte for byte,
                                  SHA256SUMS and the checksum beside it right,
                                  text with CR LF; the version and commit in
                                  every module, every module stripped with a
                                  debug link to symbols that name the tree's
                                  sources; the 32-bit library passing the export
                                  and import check; the self-test script naming
                                  the archive's library; INSTALL.txt naming every
                                  folder; the documents worded for the archive's
                                  reader; around it, the README's length and
                                  links and the pictures' manifest; the editor
                                  extension one that code --install-extension
                                  takes

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
import textwrap
import time
import zipfile

# Only the first folder goes to the workstation. Everything under pc-only/
# stays on a PC: among it are stand-ins that carry the names of the
# workstation's own modules, and would replace them there.
WORKSTATION = "for-the-workstation"
PC = "pc-only"
LIBRARY = WORKSTATION + "/MCRPAK.dll"
TRYOUT32 = PC + "/tryout-32bit"
SELFTEST = TRYOUT32 + "/selftest.cmd"
PREFIXES = {"i686": "i686-w64-mingw32-", "x64": "x86_64-w64-mingw32-"}
SHIPPED_DOCS = ["words.md", "language.md", "mcrhost.md", "behaviour.md", "sample.md"]
TEXT_SUFFIXES = (".txt", ".md", ".cmd", "SHA256SUMS")
README_LINES = 200
PICTURE_SOURCES = {"sample/pictures.mac on the sample workstation in C:\\ICPMS",
                   "editors/picture.mac highlighted by the grammar (shiki, headless Chromium)"}

# Run from its own folder on any PC, Windows XP included: the workstation's
# library with the 32-bit mcrhost and stand-ins beside the script (the
# library finds its imports in mcrhost's folder), the verdict passed on as
# the exit status. Opened from Explorer it waits, or its window would close
# before the verdict could be read.
SELFTEST_CMD = """@echo off
rem The MCRPAK self-test, on a PC only: never on the workstation.
setlocal
"%%~dp0mcrhost.exe" --selftest --library "%%~dp0%s"
set STATUS=%%ERRORLEVEL%%
echo %%CMDCMDLINE%% | find /i "%%~nx0" >nul && pause
exit /b %%STATUS%%
""" % posixpath.relpath(LIBRARY, TRYOUT32).replace("/", "\\")


# The archive's reader has mcrhost.exe and the archive, not a checkout with
# ./mcr: (document, its words in the tree, the archive's words). Matched
# across line breaks; "[...]" stands for any text in between. A rule that no
# longer finds its words, or a document that still speaks of the checkout,
# fails the check.
ARCHIVE_WORDING = [
    ("docs/words.md", "<!-- Written by ./mcr docs [...] not this file. -->", ""),
    ("docs/words.md",
     "(`./mcr demo example.mac`, or `mcrhost --startup SAMPLE\\startup.mac example.mac`). The test command runs "
     "the example of every available word on a fresh sample and checks what it prints;",
     "(`mcrhost --startup SAMPLE\\startup.mac example.mac`, SAMPLE being the folder where `mkworkstation.exe` "
     "laid the sample out: see [sample.md](sample.md)). The example of every available word was run on a fresh "
     "sample and printed what its entry shows;"),
    ("docs/language.md", "(The cases `tests/host/ctrlc_*` [...] in each of these.)", ""),
    ("docs/language.md", "as they do for a run; `./mcr check FILE.mac` checks\nagainst the sample's start-up macro, "
     "as `./mcr demo FILE.mac` runs.", "as they do for a run."),
    ("docs/mcrhost.md", "Run it with `./mcr host ARGS` (after `./mcr build` or `./mcr demo`):",
     "Run it from a command prompt in the archive's folder: `pc-only\\tryout-64bit\\mcrhost.exe ARGS` on 64-bit "
     "Windows, `pc-only\\tryout-32bit\\mcrhost.exe --library for-the-workstation\\MCRPAK.dll ARGS` on any "
     "Windows (each with the stand-ins of the workstation's modules beside it; [sample.md](sample.md) lays out "
     "a sample workstation to run macros on):"),
    ("docs/mcrhost.md", "the word table and each word's entry in docs/src/words.txt (`required`, `option`, "
     "`names`, `reads`, `writes`) are where they come from.",
     "they come from the word table and each word's entry in docs/words.md (its parameters and their kinds, "
     "*Required*, *Reads* and *Writes*)."),
    ("docs/mcrhost.md", "$ ./mcr host --help GetToken", "> mcrhost --help GetToken"),
    ("docs/mcrhost.md", "The end-to-end cases are `tests/host/NAME.expect` files, [...] its head says the rest.",
     ""),
    ("docs/behaviour.md", "only through `mcrpak/bridge/rounding.h`:", "only through the library's own conversions:"),
    ("docs/behaviour.md", "filled by `MessageText`, `RaiseMessage`, `Fail` and `Abort` (`mcrpak/bridge/msgformat.h`):",
     "filled by the library's message formatter:"),
    ("docs/behaviour.md", "files and whole trees (code in `mcrpak/fileops/`, [...] tested natively).",
     "files and whole trees."),
    ("docs/behaviour.md", "`./mcr bench COPY` and `./mcr bench UPDATE` time", "MCRPAK's benchmark times"),
    ("docs/sample.md", "What `./mcr demo` lays out and runs, and the small programs",
     "The sample workstation that `mkworkstation.exe` lays out to try macros on, and the small programs"),
    ("docs/sample.md", "## The demo and the sample workstation", "## The sample workstation"),
    ("docs/sample.md", "`./mcr demo` builds what it runs [...] go to standard error.",
     "On a PC, never on the workstation (it points the workstation's registry key at the sample, which takes an "
     "administrator), in the archive's folder `pc-only\\tryout-64bit`: `mkworkstation.exe C:\\sample` lays the "
     "sample out in `C:\\sample`, and `mcrhost.exe --startup C:\\sample\\startup.mac my.mac` runs a macro on it."),
    ("docs/sample.md", "```\nbuild/sample/", "```\nC:\\sample\\"),
    ("docs/sample.md", "in the build's Wine prefix points at it.", "points at it."),
    ("docs/sample.md", "The stand-in in `standins/anlink` is", "The stand-in `anlink.dll` is"),
    ("docs/sample.md", "(a Windows path; Wine passes the variable on)", "(a Windows path)"),
    ("docs/sample.md", "The tour opens no dialog, [...] opens them for an operator to answer.", ""),
    ("docs/sample.md", "With arguments, `./mcr demo` runs `mcrhost` [...] lays the sample out anywhere.",
     "`mcrhost.exe --startup C:\\sample\\startup.mac --trace my.mac` shows every call the library makes to its "
     "host; `mcrhost.exe --startup C:\\sample\\startup.mac --class \"QRW VEXMON Class\"` opens the prompt with "
     "the general task's window class. `mkworkstation FOLDER [--no-registry]` lays the sample out in any "
     "folder; with `--no-registry` it leaves the registry as it is."),
    ("docs/sample.md", "`./mcr check FILE.mac ...` checks macros as `./mcr demo` would run them: [...] "
     "generator is newer.", "`mcrhost.exe --check --startup C:\\sample\\startup.mac FILE.mac ...` checks macros "
     "as they would run on the sample."),
    ("docs/sample.md", "`mcrhost.exe`'s folder (`build/x64/bin`), which", "`mcrhost.exe`'s folder, which"),
    ("docs/sample.md", "copy `build/sample/icpexe/icpms.win` beside", "copy `C:\\sample\\icpexe\\icpms.win` beside"),
    ("docs/sample.md", "./mcr demo --tasks da,acq,tune:2 sample/tasks.mac [...] recorded, at the prompt",
     "mcrhost --startup C:\\sample\\startup.mac --tasks da,acq,tune:2   # three task windows, at the prompt\n"
     "mcrhost --startup C:\\sample\\startup.mac --tasks last            # the tasks the sample recorded"),
    ("CHANGES.md", "own copy (docs/performance.md).", "own copy."),
]
# What only a checkout has: its driver and the folders of the tree that the
# archive does not hold (docs/ passes where the archive has the file).
CHECKOUT_ONLY = re.compile(r"\./mcr\b|(?<![\w/\\.$-])(?:build|tests|tools|sample|mcrpak|host|standins|editors|docs)"
                           r"/[\w./*-]*")


def wording_pattern(words):
    return re.compile(r"\s+".join(".*?" if w == "[...]" else re.escape(w) for w in words.split()), re.S)


def reworded(name, text):
    """A document of the tree as the archive's reader gets it: new words in lines of the
    documents' width, no more than one blank line where a paragraph went."""
    for doc, tree, archive in ARCHIVE_WORDING:
        if doc == name:
            lines = textwrap.fill(archive, 76, break_on_hyphens=False, break_long_words=False) \
                if "\n" not in archive else archive
            text = wording_pattern(tree).sub(lambda _: lines, text)
    return re.sub(r"\n{3,}", "\n\n", text).rstrip("\n") + "\n"


def module_sets(root):
    """(folder in the archive, build it comes from, its modules); the stand-ins
    are every standins/ folder."""
    standins = [name + ".dll" for name in sorted(os.listdir(os.path.join(root, "standins")))]
    return [(WORKSTATION, "i686", ["MCRPAK.dll"]),
            (TRYOUT32, "i686", ["mcrhost.exe"] + standins),
            (PC + "/tryout-64bit", "x64", ["MCRPAK.dll", "mcrhost.exe", "mkworkstation.exe"] + standins)]


def modules(root, build):
    """Archive name of every module -> (its file in the build, the tools' prefix for it)."""
    return {folder + "/" + name: (os.path.join(build, arch, "bin", name), PREFIXES[arch])
            for folder, arch, names in module_sets(root) for name in names}


def release_files(root, build):
    """Archive name (under the top folder) -> file on disk; None for what is made here (the
    self-test script, the symbols split from each module)."""
    files = {
        "INSTALL.txt": os.path.join(root, "docs", "install.txt"),
        "CHANGES.md": os.path.join(root, "CHANGES.md"),
        SELFTEST: None,
    }
    for name, (path, _) in modules(root, build).items():
        files[name] = path
        files[symbols_of(name)] = None
    for name in SHIPPED_DOCS:
        files["docs/" + name] = os.path.join(root, "docs", name)
    vsix = "mcrpak-macros-%s.vsix" % project_version(build)
    files[PC + "/editor/" + vsix] = os.path.join(build, "vscode", vsix)
    pictures = os.path.join(root, "docs", "pictures")
    for name in sorted(os.listdir(pictures)):
        if name.endswith(".png"):
            files["docs/pictures/" + name] = os.path.join(pictures, name)
    return files


def symbols_of(module):
    """Where a module's debugging information goes: pc-only/symbols/, in a folder named as the module's."""
    return "%s/symbols/%s.debug" % (PC, module[len(PC) + 1:] if module.startswith(PC + "/") else module)


def git(root, *args):
    out = subprocess.run(["git", "-C", root] + list(args), capture_output=True, text=True)
    return out.stdout.strip() if out.returncode == 0 else ""


def release_seconds(root):
    """The release's commit time: the date of every member and of every module's header."""
    seconds = git(root, "log", "-1", "--format=%ct")
    return max(int(seconds or 0), 315532800) // 2 * 2  # a zip file dates from 1980 on, to two seconds


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


def split_debug(path, prefix, seconds):
    """The module without its debugging information but with a link to it, and that information;
    the module's header dated seconds (objcopy would write the time of day)."""
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(seconds))
    with tempfile.TemporaryDirectory() as tmp:
        debug = os.path.join(tmp, os.path.basename(path) + ".debug")
        stripped = os.path.join(tmp, os.path.basename(path))
        run([prefix + "objcopy", "--only-keep-debug", path, debug], env)
        run([prefix + "objcopy", "--strip-all", "--add-gnu-debuglink=" + debug, path, stripped], env)
        with open(stripped, "rb") as f, open(debug, "rb") as g:
            return f.read(), g.read()


def is_text(name):
    return name.endswith(TEXT_SUFFIXES)


def crlf(data):
    """Line ends as Windows XP's Notepad needs them."""
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def contents(root, build):
    """Archive name (under the top folder) -> bytes: the modules stripped and their symbols, the
    documents worded for the archive's reader, the version filled in, every text with CR LF."""
    seconds = release_seconds(root)
    fill = {"@VERSION@": project_version(build), "@PRODUCT_VERSION@": product_version(build),
            "@COMMIT@": git(root, "rev-parse", "HEAD")}
    shipped_modules = modules(root, build)
    out = {SELFTEST: SELFTEST_CMD.encode()}
    for name, path in sorted(release_files(root, build).items()):
        if name in shipped_modules:
            out[name], out[symbols_of(name)] = split_debug(path, shipped_modules[name][1], seconds)
        elif path is not None:
            with open(path, "rb") as f:
                out[name] = f.read()
    for name, data in out.items():
        if name.endswith(".vsix"):
            data = restamped(data, time.gmtime(seconds)[:6])
        elif name.endswith(".md"):
            data = reworded(name, data.decode("utf-8")).encode("utf-8")
        elif name == "INSTALL.txt":
            for key, value in fill.items():
                data = data.replace(key.encode(), value.encode())
        out[name] = crlf(data) if is_text(name) else data
    return out


def restamped(package, date):
    """A zip package (the editor extension) with every entry dated date, so
    that the archive does not carry the day it was packaged."""
    out = io.BytesIO()
    with zipfile.ZipFile(io.BytesIO(package)) as z, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as w:
        for info in z.infolist():
            w.writestr(entry(info.filename, date), z.read(info))
    return out.getvalue()


def cached(build, key):
    """A value of the x86_64 build's CMake cache ("?" when it is not there)."""
    with open(os.path.join(build, "x64", "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith(key + ":"):
                return line.strip().partition("=")[2]
    return "?"


def project_version(build):
    return cached(build, "CMAKE_PROJECT_VERSION")


def product_version(build):
    """The version with the commit the modules were built from: 1.0.0+abc1234."""
    return cached(build, "MCR_PRODUCT_VERSION")


def top_folder(build):
    return "mcrpak-%s/" % project_version(build)


def version_string(module, key):
    """A value of the module's VERSIONINFO strings, None when it has no such key."""
    found = re.search(re.escape((key + "\0").encode("utf-16-le")) + b"(?:\0\0)?((?:[^\0].|\0[^\0])*?)\0\0",
                      module, re.S)
    return found.group(1).decode("utf-16-le", "replace") if found else None


# What the extension's script may load: the editor's API, its own data, what
# finds ./mcr in a checkout and what runs the checker on a copy of the macro.
# Nothing that reaches a network.
EXTENSION_MODULES = {"vscode", "./words.json", "fs", "path", "os", "child_process"}


def check_vsix(data, version):
    """The .vsix as VS Code installs it: its manifests agree, every file the
    manifest names (its icon and snippets too) is in it, it claims no snippets
    it lacks, the script loads nothing else, and the problem matcher reads
    mcrhost --check's lines."""
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
        named = [manifest.get("main", ""), manifest.get("icon", "")] + \
                [g["path"] for g in contributes.get("grammars", []) + contributes.get("snippets", [])] + \
                [l["configuration"] for l in contributes.get("languages", [])] + ["words.json"]
        if ("Snippets" in manifest.get("categories", [])) != bool(contributes.get("snippets")):
            problems.append("the editor extension's category Snippets and its snippets disagree")
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
    """The archive, every file under its one top folder, and its checksum beside it (TARGET.sha256,
    to be published with it: SHA256SUMS inside finds damage, not a swapped archive)."""
    files = contents(root, build)
    files["SHA256SUMS"] = crlf("".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name)
                                       for name, data in sorted(files.items())).encode())
    date, top = release_date(root), top_folder(build)
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in sorted(files.items()):
            z.writestr(entry(top + name, date), data)
    with open(target, "rb") as f, open(target + ".sha256", "w", newline="\n") as out:
        out.write("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), os.path.basename(target)))
    return len(files)


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
                    if re.match(r" [0-9a-f]{4,16} ", line))
    return link.split(b"\0", 1)[0].decode(), int.from_bytes(link[-4:], "little")


def relative_links(markdown):
    """The targets of a Markdown text's links that lead to a file beside it (no scheme, no anchor)."""
    return [link for link in re.findall(r"\]\(([^)#\s]+)[^)]*\)", markdown) if not re.match(r"[a-z]+:", link)]


def exported_addresses(module, prefix):
    """The address of every export of a DLL, from its export table."""
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "module")
        with open(path, "wb") as f:
            f.write(module)
        dump = subprocess.run([prefix + "objdump", "-p", path], capture_output=True, text=True,
                              env=dict(os.environ, LC_ALL="C")).stdout
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", dump, re.M).group(1), 16)
    table = dump.partition("Export Address Table")[2].partition("[Ordinal/Name Pointer]")[0]
    return [base + int(rva, 16) for rva in re.findall(r"^\s*\[\s*\d+\] \+base\[\s*\d+\]\s+([0-9a-fA-F]+) Export RVA",
                                                       table, re.M)]


def check_symbols(root, name, module, symbols, prefix, problems):
    """The recipe of INSTALL.txt on the module's exports: each must come back as a function in a
    source file of the tree."""
    addresses = exported_addresses(module, prefix) if name.endswith(".dll") else []
    if not addresses:
        return
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "symbols.debug")
        with open(path, "wb") as f:
            f.write(symbols)
        out = subprocess.run([prefix + "addr2line", "-f", "-C", "-i", "-p", "-e", path] +
                             ["0x%x" % a for a in addresses], capture_output=True, text=True).stdout
    places = re.findall(r" at (\S+):\d+", out)
    strays = sorted({p for p in places if not os.path.isfile(os.path.join(root, p)) or os.path.isabs(p)})
    if len(places) < len(addresses) or strays:
        problems.append("%s: its symbols do not lead every export to a source file of the tree (%s)"
                        % (symbols_of(name), ", ".join(strays[:3]) or "%d of %d found" % (len(places), len(addresses))))


def check_selftest(listed, read, problems):
    """selftest.cmd runs the mcrhost beside it on the archive's own library."""
    if SELFTEST not in listed:
        return
    script = read(SELFTEST).decode("ascii", "replace")
    found = re.search(r'^"%~dp0mcrhost\.exe" --selftest --library "%~dp0([^"]+)"\r$', script, re.M)
    library = posixpath.normpath(posixpath.join(TRYOUT32, found.group(1).replace("\\", "/"))) if found else None
    if library != LIBRARY or not re.search(r"^exit /b %STATUS%\r$", script, re.M):
        problems.append("%s does not run %s/mcrhost.exe on %s and pass its status on" % (SELFTEST, TRYOUT32, LIBRARY))


def check_install(listed, read, top, problems):
    """INSTALL.txt names each folder of the archive (down to the second level), and no other."""
    install = read("INSTALL.txt").decode("utf-8", "replace") if "INSTALL.txt" in listed else ""
    parts = [posixpath.dirname(n).split("/") for n in listed]
    folders = {"/".join(p[:depth]) for p in parts for depth in range(1, len(p) + 1) if p[0]}
    named = {m.rstrip("\\").replace("\\", "/") for m in re.findall(r"(?<![\w\\:.-])((?:[a-z0-9][\w.-]*\\)+)", install)}
    problems += ["INSTALL.txt does not name the folder %s\\" % f.replace("/", "\\")
                 for f in sorted(folders - named) if f.count("/") < 2]
    problems += ["INSTALL.txt names %s\\, which the archive does not have" % f.replace("/", "\\")
                 for f in sorted(named - folders - {top})]


def check_archive(root, build, target, problems):
    expected = set(release_files(root, build)) | {"SHA256SUMS"}
    top = top_folder(build)
    shipped_modules = modules(root, build)
    with zipfile.ZipFile(target) as z:
        files = [i for i in z.infolist() if not i.filename.endswith("/")]  # folders are no files
        problems += ["%s lies outside the one top folder %s" % (i.filename, top) for i in files
                     if not i.filename.startswith(top)]
        listed = {i.filename[len(top):] for i in files if i.filename.startswith(top)}
        read = lambda name: z.read(top + name)
        problems += ["missing from the archive: " + n for n in sorted(expected - listed)]
        problems += ["not a file of the release: " + n for n in sorted(listed - expected)]
        date = release_date(root)
        problems += ["%s is dated %s, not by the release's commit" % (i.filename, i.date_time)
                     for i in files if i.date_time != date]
        sums = {}
        if "SHA256SUMS" in listed:
            for line in read("SHA256SUMS").decode().splitlines():
                digest, _, name = line.partition("  ")
                sums[name] = digest
        for name in sorted(n for n in listed if is_text(n)):
            text = read(name)
            if text.count(b"\n") != text.count(b"\r\n") or not text.endswith(b"\r\n"):
                problems.append("%s has lines that do not end with CR LF" % name)
            if not name.endswith((".md", ".txt")):
                continue
            text = text.decode("utf-8", "replace")
            # What a shipped document links to or names is shipped too; it speaks of no checkout.
            for link in relative_links(text):
                if posixpath.normpath(posixpath.join(posixpath.dirname(name), link)) not in listed:
                    problems.append("%s links to %s, which the archive does not hold" % (name, link))
            for mention in CHECKOUT_ONLY.findall(text):
                if mention not in listed and mention.rstrip("/") not in {"docs", "docs/pictures"}:
                    problems.append("%s speaks of %s, which the archive's reader does not have" % (name, mention))
        check_selftest(listed, read, problems)
        check_install(listed, read, top.rstrip("/"), problems)
        release = product_version(build)
        if release != "%s+%s" % (project_version(build), git(root, "rev-parse", "--short=7", "HEAD")):
            problems.append("the build's version %s is not that of the tree's commit: build again" % release)
        for name in sorted(listed - {"SHA256SUMS"}):
            data = read(name)
            if sums.get(name) != hashlib.sha256(data).hexdigest():
                problems.append("SHA256SUMS is wrong for " + name)
            if name not in shipped_modules:
                continue
            versions = {k: version_string(data, k) for k in ("FileVersion", "ProductVersion")}
            if versions != {"FileVersion": project_version(build), "ProductVersion": release}:
                problems.append("%s has the version %s, not %s and %s" % (name, versions, project_version(build),
                                                                         release))
            prefix = shipped_modules[name][1]
            link = debug_link(data, prefix)
            symbols = symbols_of(name)
            if link is None:
                problems.append("%s is not stripped with a debug link" % name)
            elif link[0] != os.path.basename(symbols) or symbols not in listed or \
                    binascii.crc32(read(symbols)) != link[1]:
                problems.append("%s does not link to %s" % (name, symbols))
            else:
                check_symbols(root, name, data, read(symbols), prefix, problems)
    with open(target, "rb") as f, open(target + ".sha256") as published:
        if published.read() != "%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), os.path.basename(target)):
            problems.append("%s.sha256 is not the archive's checksum" % os.path.basename(target))
    # The same commit gives the same archive.
    with tempfile.TemporaryDirectory() as tmp:
        again = os.path.join(tmp, os.path.basename(target))
        write(root, build, again)
        for suffix in ("", ".sha256"):
            with open(target + suffix, "rb") as a, open(again + suffix, "rb") as b:
                if a.read() != b.read():
                    problems.append("written again, %s differs" % os.path.basename(target + suffix))


def check_library(root, build, target, problems):
    """The archive's 32-bit library: its export table and imports, and how each export returns
    (the code is read from the unstripped build, of which it must be the stripped copy)."""
    built = os.path.join(build, "i686", "bin", "MCRPAK.dll")
    with zipfile.ZipFile(target) as z:
        name = top_folder(build) + LIBRARY
        if name not in z.namelist():
            problems.append("there is no %s to check" % LIBRARY)
            return
        shipped = z.read(name)
    if shipped != split_debug(built, PREFIXES["i686"], release_seconds(root))[0]:
        problems.append("%s is not the stripped build of build/i686" % LIBRARY)
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
            problems.append("%s fails the export check:\n" % LIBRARY + dump.stderr.decode() +
                            code.stderr.decode() + checker.stdout.decode())


def check_documents(root, problems):
    """The README stays a front door; every relative link of the documents leads somewhere; every
    wording for the archive finds its words; every picture is one ./mcr pictures made, as its
    manifest says."""
    with open(os.path.join(root, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    if readme.count("\n") > README_LINES:
        problems.append("README.md has %d lines, more than %d" % (readme.count("\n"), README_LINES))
    documents = ["README.md", "CHANGES.md"] + ["docs/" + n for n in os.listdir(os.path.join(root, "docs"))
                                               if n.endswith(".md")]
    texts = {}
    for doc in documents:
        with open(os.path.join(root, doc), encoding="utf-8") as f:
            texts[doc] = text = f.read()
        for link in relative_links(text):
            if not os.path.exists(os.path.join(root, os.path.dirname(doc), link)):
                problems.append("%s links to %s, which does not exist" % (doc, link))
    for doc, tree, _ in ARCHIVE_WORDING:
        if len(wording_pattern(tree).findall(texts.get(doc, ""))) != 1:
            problems.append("%s no longer says, once, what the archive words otherwise: %s (tools/dist.py)"
                            % (doc, tree[:60]))
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
    vsix = "%s/editor/mcrpak-macros-%s.vsix" % (PC, version)
    with zipfile.ZipFile(target) as z:
        name = top_folder(build) + vsix
        editor = check_vsix(z.read(name), version) if name in z.namelist() else ["there is no %s to check" % vsix]
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
