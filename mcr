#!/usr/bin/env bash
# The project's one driver: set-up, builds, tests and the demo.
#   ./mcr test         install what is missing, build everything, run every test
#   ./mcr demo [ARGS]  build what it needs, lay out the sample workstation, run
#                      the tour macro (with ARGS: mcrhost ARGS, such as my.mac)
#   ./mcr check FILE...  check macros as ./mcr demo would run them (mcrhost --check
#                      after the sample's start-up macro)
#   ./mcr build        the builds only
#   ./mcr bench [NAME] build, then time the words against raw Win32 under Wine
#                      and the formatter natively (figures whose name
#                      contains NAME)
#   ./mcr pictures     build, open every window the words show on the sample
#                      workstation and save them as docs/pictures/*.png, then
#                      the editor's picture (./mcr pictures editor: only that)
#   ./mcr docs         write docs/words.md from the word table and docs/src/words.txt
#   ./mcr testratio    lines of tests against lines of code
#   ./mcr dist         build everything, write dist/mcrpak-VERSION.zip with its
#                      checksum beside it (.zip.sha256, to publish with it) and
#                      check it (INSTALL.txt in it says what it holds)
#   ./mcr test32 [--compare] [SUITE...]  build, then run the i686 build's Wine
#                      suites (or those named) and the release's self-test in
#                      an emulated 32-bit PC (its image is made once, in about
#                      30 minutes); --compare: the x86_64 suites after them
#                      there too, for the slowdown
#   ./mcr faults [ID]  build, then plant each fault of tools/faults.txt (or those
#                      named) in turn and say which the tests catch
#   ./mcr host ARGS    run mcrhost.exe under Wine with ARGS (after a build)
#   ./mcr wine CMD...  run CMD with the test environment (WINEPREFIX and friends)
# MCR_BUILD chooses the build folder (default: build/ beside this script).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD=${MCR_BUILD:-$ROOT/build}
JOBS=${MCR_JOBS:-$(nproc)}
PACKAGES=(cmake g++ clang libclang-rt-14-dev libgtest-dev googletest g++-mingw-w64-x86-64 g++-mingw-w64-i686
          wine wine64 fonts-ipafont-gothic fonts-wine locales python3 nlohmann-json3-dev)

say() { printf '== %s\n' "$*" >&2; }

setup() {
  packages
  node_tools
}

packages() {
  local missing=() installed
  # One query for all: a process each costs a second on a busy machine.
  installed=$'\n'$(dpkg-query -W -f='${Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null || true)$'\n'
  for p in "${PACKAGES[@]}"; do
    [[ $installed == *$'\n'"$p install ok installed"$'\n'* ]] || missing+=("$p")
  done
  if ((${#missing[@]})); then
    say "installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
  # Wine takes its code page (932) from LC_ALL; the shell wants the locale to exist.
  locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$' || localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

# The editor extension's tools (vsce, the grammar test, shiki) as
# editors/package-lock.json pins them, in the build folder; installed again
# only when the lock file changes.
node_tools() {
  local dir="$BUILD/node"
  if ! command -v npm >/dev/null; then
    say "installing: nodejs npm"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nodejs npm >/dev/null
  fi
  cmp -s "$ROOT/editors/package-lock.json" "$dir/node_modules/.mcr-lock" && return
  say "installing the editor tools (npm ci)"
  rm -rf "$dir"; mkdir -p "$dir"
  cp "$ROOT/editors/package.json" "$ROOT/editors/package-lock.json" "$dir/"
  (cd "$dir" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
  cp "$ROOT/editors/package-lock.json" "$dir/node_modules/.mcr-lock"
}

project_version() { sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/native/CMakeCache.txt"; }

# The editor extension as a .vsix, packaged from what the native build laid
# out in build/native/vscode (again only when that changed).
package_vsix() {
  local out
  out="$BUILD/vscode/mcrpak-macros-$(project_version).vsix"
  [[ $out -nt $BUILD/native/vscode.stamp ]] && return
  say "packaging the editor extension"
  rm -rf "$BUILD/vscode"; mkdir -p "$BUILD/vscode"
  (cd "$BUILD/native/vscode" &&
   "$BUILD/node/node_modules/.bin/vsce" package --no-dependencies --skip-license --allow-missing-repository \
     -o "$out" </dev/null >/dev/null)
}

# A macro as the extension's grammar colours it, rendered by shiki and
# photographed by headless Chromium: docs/pictures/editor.png.
editor_picture() {
  command -v chromium >/dev/null || {
    apt-get update -qq
    say "installing: chromium"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq chromium >/dev/null
  }
  local dir="$BUILD/editor-picture" size
  rm -rf "$dir"; mkdir -p "$dir"
  size=$(node "$ROOT/editors/picture.mjs" "$BUILD/node/node_modules" \
           "$BUILD/native/vscode/syntaxes/mcr.tmLanguage.json" "$ROOT/editors/picture.mac" "$dir/editor.html")
  chromium --headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update \
           --disable-sync --no-first-run --user-data-dir="$dir/profile" --hide-scrollbars \
           --window-size="$size" --screenshot="$ROOT/docs/pictures/editor.png" "file://$dir/editor.html" \
           >/dev/null 2>&1
  python3 "$ROOT/tools/bmp2png.py" --record "$ROOT/docs/pictures" editor.png \
    "editors/picture.mac highlighted by the grammar (shiki, headless Chromium)"
  say "wrote docs/pictures/editor.png"
}

configure_native() {
  cmake -S "$ROOT" -B "$BUILD/native" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_C_COMPILER=clang >/dev/null
}

configure_x64() {
  cmake -S "$ROOT" -B "$BUILD/x64" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" >/dev/null
}

# What ./mcr demo and ./mcr check run, and no more: mcrhost with the library
# and the stand-ins, and the sample's generator. Its messages go to standard
# error, and only the lines of what was built (all of them when it fails),
# so that the macro's output can be taken as it is. make's walk of the
# tree alone takes seconds, so it is left out while no source of these
# programs is newer than the last build.
build_demo() {
  local log="$BUILD/demo-build.log" stamp="$BUILD/x64/demo.stamp"
  local p built=1
  for p in mcrhost.exe MCRPAK.dll dlgframe.dll anlink.dll mkworkstation.exe; do
    [[ -f $BUILD/x64/bin/$p ]] || built=0
  done
  if [[ -f $stamp ]] && ((built)) &&
     [[ -z $(find "$ROOT/CMakeLists.txt" "$ROOT/cmake" "$ROOT/host" "$ROOT/mcrpak" "$ROOT/standins" \
                  "$ROOT/sample" "$ROOT/tools" "$ROOT/docs/src" -newer "$stamp" -print -quit) ]]; then
    return
  fi
  mkdir -p "$BUILD"
  [[ -f $BUILD/x64/CMakeCache.txt ]] || { say "x86_64 build of mcrhost and the sample"; configure_x64; }
  touch "$log.start"
  if ! cmake --build "$BUILD/x64" -j "$JOBS" --target mcrhost mkworkstation 2>&1 | tee "$log" |
       { grep --line-buffered -E '(Building|Linking|Generating) ' >&2 || true; }; then
    grep -vE '(Building|Linking|Generating) |Built target' "$log" >&2
    say "the build failed"
    exit 2
  fi
  mv "$log.start" "$stamp"  # as old as the build's start: what changed meanwhile shows next time
}

# A wineserver that outlives the run by five minutes, so that the next run of
# the writer's loop finds it warm.
wine_warm() {
  wine_prefix
  wineserver -p300 2>/dev/null || true
}

build() {
  say "native build (pure code, sanitizers)"
  configure_native
  cmake --build "$BUILD/native" -j "$JOBS"
  say "x87 build (the numeric code as the 32-bit library computes it)"
  cmake -S "$ROOT" -B "$BUILD/x87" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ \
        -DCMAKE_C_COMPILER=gcc -DMCR_X87=ON >/dev/null
  cmake --build "$BUILD/x87" -j "$JOBS"
  say "x86_64 build (runs under Wine)"
  configure_x64
  cmake --build "$BUILD/x64" -j "$JOBS"
  say "i686 build (the shipped library)"
  cmake -S "$ROOT" -B "$BUILD/i686" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
        -DMCR_EXPORTCHECK="$BUILD/native/bin/exportcheck" >/dev/null
  cmake --build "$BUILD/i686" -j "$JOBS"
  package_vsix
}

wine_env() {
  export WINEPREFIX="$BUILD/wine" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
  export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
  unset DISPLAY WAYLAND_DISPLAY
}

# A prefix made once per build folder: headless graphics, no crash dialog.
wine_prefix() {
  wine_env
  if [[ ! -f "$WINEPREFIX/.mcr-ready" ]]; then
    say "creating the Wine prefix"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.mcr-ready"
  fi
  # Title bars draw their buttons with Marlett (Debian's fonts-wine), which
  # this Wine does not look for where the package puts it.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [[ -f $fonts/marlett.ttf ]] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
}

# One persistent wineserver for the whole run keeps each test process cheap.
wine_start() {
  wine_prefix
  wineserver -p 2>/dev/null || true  # one may already serve this prefix
  wine wineboot >/dev/null 2>&1 || true
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
}

# Sums the GoogleTest reports of a run into one closing line.
summary() {
  local dir=$1 passed=0 failed=0 root t f
  for x in "$dir"/*.xml; do
    [[ -f $x ]] || continue
    # GoogleTest's reports and dist.py's have a <testsuites> root, ctest's a
    # <testsuite> whose attributes stand on lines of their own.
    root=$(tr '\n\t' '  ' < "$x" | grep -o '<testsuites\{0,1\} [^>]*>' | sed -n 1p) || true
    t=$(grep -o ' tests="[0-9]*"' <<< "$root" | grep -o '[0-9]*')
    f=$(grep -o ' failures="[0-9]*"' <<< "$root" | grep -o '[0-9]*')
    passed=$((passed + t - f)); failed=$((failed + f))
  done
  echo "$passed passed, $failed failed"
}

run_tests() {
  local reports="$BUILD/reports" status=0
  rm -rf "$reports"; mkdir -p "$reports"
  export GTEST_OUTPUT="xml:$reports/"
  say "native tests (ASan, UBSan)"
  (cd "$BUILD/native" && ctest --output-on-failure) || status=1
  say "the editor's grammar on the annotated macros of tests/editors"
  (cd "$ROOT" && "$BUILD/node/node_modules/.bin/vscode-tmgrammar-test" --compact \
     -g "$BUILD/native/vscode/syntaxes/mcr.tmLanguage.json" --xunit-report "$reports" 'tests/editors/*.mac') ||
    status=1
  say "the editor extension's script under Node, with a stand-in of the editor"
  local node_log="$BUILD/extension-test.log" pass fail
  MCR_EXTENSION="$BUILD/native/vscode" node --test --test-reporter=tap "$ROOT/tests/editors/extension_test.js" \
    > "$node_log" 2>&1 || { cat "$node_log"; status=1; }
  pass=$(sed -n 's/^# pass //p' "$node_log"); fail=$(sed -n 's/^# fail //p' "$node_log")
  echo "<testsuites tests=\"$((${pass:-0} + ${fail:-0}))\" failures=\"${fail:-0}\" name=\"extension\"/>" \
    > "$reports/extension.xml"
  say "numeric tests on the x87 unit at 53 and 64 bits"
  rm -rf "$BUILD/x87/reports"
  (cd "$BUILD/x87" && ctest --output-on-failure) || status=1
  cp "$BUILD"/x87/reports/*.xml "$reports"/ 2>/dev/null || true
  say "Wine tests"
  wine_start
  export GTEST_OUTPUT="xml:$(winepath -w "$reports" 2>/dev/null)\\"
  local log="$BUILD/wine-ctest.log"
  if ! (cd "$BUILD/x64" && ctest --output-on-failure -j 2) 2>&1 | tee "$log"; then
    if grep -qE "wineserver crashed|the Wine server failed under it" "$log"; then
      # Wine 8's server has crashed now and then under two suites at once;
      # its clients then fail or wait for ever. That is no verdict on them.
      say "the wineserver crashed during the run: the suites that failed, once more"
      wineserver -k >/dev/null 2>&1 || true
      wine_start
      (cd "$BUILD/x64" && ctest --output-on-failure --rerun-failed) || status=1
    else
      status=1
    fi
  fi
  say "i686 static checks"
  (cd "$BUILD/i686" && ctest --output-on-failure --output-junit "$reports/i686.xml") || status=1
  say "the release archive"
  python3 "$ROOT/tools/dist.py" write "$ROOT" "$BUILD" "$BUILD/dist/mcrpak.zip" >/dev/null &&
    python3 "$ROOT/tools/dist.py" check "$ROOT" "$BUILD" "$BUILD/dist/mcrpak.zip" || status=1
  unset GTEST_OUTPUT
  python3 "$ROOT/tools/testratio.py" "$ROOT"
  echo "tests: $(summary "$reports")"
  # A suite that timed out or never ran leaves no report to count.
  ((status == 0)) || echo "tests: FAILED (a suite failed, timed out or did not run: see the ctest lines above)"
  return $status
}

# The i686 build's suites in the emulated PC of tools/emu32: the payload
# (the suites, the sources they read by their build-machine path, the
# release archive) goes in as a second drive; the reports come back on it.
# MCR_TIME_SCALE (default 10) stretches the tests' own time limits there;
# MCR_TEST32_FILTER passes a GoogleTest filter to every suite. --compare runs
# the x86_64 suites after them on the same emulated PC, for the slowdown.
run_tests32() {
  local dir="$BUILD/emu32" payload status=0 start compare=
  start=$(date +%s)
  [[ ${1:-} == --compare ]] && { compare=1; shift; }
  say "i686 suites (built once more for the emulated PC)"
  cmake --build "$BUILD/i686" -j "$JOBS" --target suites32 >/dev/null
  say "the release archive"
  python3 "$ROOT/tools/dist.py" write "$ROOT" "$BUILD" "$dir/release.zip" >/dev/null
  payload="$dir/payload"
  rm -rf "$payload" "$payload.out"; mkdir -p "$payload/bin" "$payload/src"
  cp "$ROOT/tools/emu32/guest.sh" "$payload/run.sh"
  cp "$BUILD"/i686/bin/*.exe "$BUILD"/i686/bin/*.dll "$payload/bin/"
  if [[ $compare ]]; then
    mkdir -p "$payload/bin64"
    cp "$BUILD"/x64/bin/*.exe "$BUILD"/x64/bin/*.dll "$payload/bin64/"
  fi
  mv "$dir/release.zip" "$payload/"
  local name names=("$@")
  ((${#names[@]})) || mapfile -t names < "$BUILD/i686/suites32.txt"
  for name in "${names[@]}"; do
    grep -qx "$name" "$BUILD/i686/suites32.txt" || { echo "no suite named $name" >&2; return 2; }
    # The longest first, by the last run's times (a suite not timed yet first
    # of all), so that the two lanes end together.
    awk -v n="$name" '$1 == n { t = $3 } END { printf "%s %s\n", n, t == "" ? 1e9 : t }' \
      "$dir/out/results.txt" 2>/dev/null || echo "$name 1e9"
  done | sort -k2,2gr > "$payload/suites32.txt"
  (cd "$ROOT" && git ls-files -co --exclude-standard -z | grep -zv '^dist/' | xargs -0 cp --parents -t "$payload/src")
  printf 'ROOT=%q\nSCALE=%q\nFILTER=%q\nCOMPARE=%q\n' "$ROOT" "${MCR_TIME_SCALE:-10}" "${MCR_TEST32_FILTER:-}" \
    "$compare" > "$payload/config.sh"
  say "booting the emulated PC (its console: $dir/console.log)"
  "$ROOT/tools/emu32/emu32.sh" boot "$payload" "$dir/console.log" || status=1
  grep -a 'emu32:' "$dir/console.log" | sed 's/^\[ *[0-9]*s\] //' >&2 || true
  rm -rf "$dir/out"; mv "$payload.out" "$dir/out"
  say "what the emulated PC ran (its logs: $dir/out/logs)"
  python3 "$ROOT/tools/emu32/results.py" "$dir/out" "$payload/suites32.txt" || status=1
  say "./mcr test32 took $(( $(date +%s) - start )) s"
  return $status
}

case ${1:-help} in
  test)
    start=$(date +%s)
    setup; build; run_tests && rc=0 || rc=$?
    say "./mcr test took $(( $(date +%s) - start )) s"
    exit $rc ;;
  test32)
    shift
    setup; build
    run_tests32 "$@" ;;
  build) setup; build ;;
  demo)
    shift
    packages; build_demo; wine_warm
    exec "$ROOT/sample/demo.sh" "$BUILD" "$@" ;;
  check)
    shift
    (($#)) || { echo "usage: ./mcr check FILE.mac..." >&2; exit 2; }
    packages; build_demo; wine_warm
    exec "$ROOT/sample/demo.sh" "$BUILD" --check "$@" ;;
  bench)
    shift
    setup; build
    say "native figures (release build, no sanitizers)"
    cmake -S "$ROOT" -B "$BUILD/bench-native" -DCMAKE_BUILD_TYPE=Release -DMCR_SANITIZE=OFF >/dev/null
    cmake --build "$BUILD/bench-native" -j "$JOBS" --target mcrbench_native
    status=0
    "$BUILD/bench-native/bin/mcrbench_native" "$@" || status=$?
    say "x86_64 figures under Wine"
    wine_start
    wine "$BUILD/x64/bin/mcrbench.exe" "$@" || status=$?
    exit $status ;;
  docs)
    setup; configure_native
    cmake --build "$BUILD/native" -j "$JOBS" --target wordref
    "$BUILD/native/bin/wordref" "$ROOT" && say "wrote docs/words.md" ;;
  dist)
    setup; build
    version=$(project_version)
    # The archive and its modules name the commit: changes not committed
    # would ship under a name that is not theirs.
    [[ -z $(git -C "$ROOT" status --porcelain --untracked-files=no) ]] ||
      say "warning: the tree has changes not committed; the archive names commit $(git -C "$ROOT" rev-parse --short HEAD) all the same"
    python3 "$ROOT/tools/dist.py" write "$ROOT" "$BUILD" "$ROOT/dist/mcrpak-$version.zip"
    python3 "$ROOT/tools/dist.py" check "$ROOT" "$BUILD" "$ROOT/dist/mcrpak-$version.zip"
    say "publish dist/mcrpak-$version.zip.sha256 with the archive" ;;
  faults)
    shift
    setup; build; wine_start
    MCR_BUILD="$BUILD" MCR_JOBS="$JOBS" python3 "$ROOT/tools/plant.py" run "$@" ;;
  pictures)
    if [[ ${2:-} == editor ]]; then
      setup; configure_native
      cmake --build "$BUILD/native" -j "$JOBS" --target vscode
      editor_picture
      exit 0
    fi
    setup; build; wine_start
    rm -rf "$BUILD/pictures"
    cd "$ROOT"
    # The sample at the workstation's kind of place, so that the pictures
    # show its own paths, whatever tree made them.
    MCR_SAMPLE="$WINEPREFIX/drive_c/ICPMS" "$ROOT/sample/demo.sh" "$BUILD" \
      --snapshot "$(winepath -w "$BUILD/pictures")" sample/pictures.mac
    rm -f "$ROOT"/docs/pictures/*.png
    rm -f "$ROOT"/docs/pictures/MANIFEST.txt
    python3 "$ROOT/tools/bmp2png.py" "$BUILD/pictures" "$ROOT/docs/pictures" \
      "sample/pictures.mac on the sample workstation in C:\\ICPMS"
    editor_picture ;;
  testratio) python3 "$ROOT/tools/testratio.py" "$ROOT" ;;
  host)
    shift; wine_prefix
    exec wine "$BUILD/x64/bin/mcrhost.exe" "$@" ;;
  wine)
    shift; wine_prefix
    exec "$@" ;;
  *)
    sed -n '2,29p' "$0" | sed 's/^# \{0,1\}//'
    exit 2 ;;
esac
