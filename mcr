#!/usr/bin/env bash
# The project's one driver: set-up, builds, tests and the demo.
#   ./mcr test         install what is missing, build everything, run every test
#   ./mcr demo [ARGS]  build, lay out the sample workstation, run the tour macro
#   ./mcr build        the three builds only
#   ./mcr bench [NAME] build, then time the words against raw Win32 under Wine
#                      and the formatter natively (figures whose name
#                      contains NAME)
#   ./mcr pictures     build, open every window the words show on the sample
#                      workstation and save them as docs/pictures/*.png
#   ./mcr docs         write docs/words.md from the word table and docs/src/words.txt
#   ./mcr dist         build everything, write dist/mcrpak-VERSION.zip and check it
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
          wine wine64 fonts-ipafont-gothic locales python3)

say() { printf '== %s\n' "$*" >&2; }

setup() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    say "installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
  # Wine takes its code page (932) from LC_ALL; the shell wants the locale to exist.
  locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$' || localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

configure_native() {
  cmake -S "$ROOT" -B "$BUILD/native" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_C_COMPILER=clang >/dev/null
}

build() {
  say "native build (pure code, sanitizers)"
  configure_native
  cmake --build "$BUILD/native" -j "$JOBS"
  say "x86_64 build (runs under Wine)"
  cmake -S "$ROOT" -B "$BUILD/x64" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" >/dev/null
  cmake --build "$BUILD/x64" -j "$JOBS"
  say "i686 build (the shipped library)"
  cmake -S "$ROOT" -B "$BUILD/i686" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
        -DMCR_EXPORTCHECK="$BUILD/native/bin/exportcheck" >/dev/null
  cmake --build "$BUILD/i686" -j "$JOBS"
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
}

# One persistent wineserver for the whole run keeps each test process cheap.
wine_start() {
  wine_prefix
  wineserver -p
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
  say "Wine tests"
  wine_start
  export GTEST_OUTPUT="xml:$(winepath -w "$reports" 2>/dev/null)\\"
  local log="$BUILD/wine-ctest.log"
  if ! (cd "$BUILD/x64" && ctest --output-on-failure -j 2) 2>&1 | tee "$log"; then
    if grep -q "wineserver crashed" "$log"; then
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
  echo "tests: $(summary "$reports")"
  # A suite that timed out or never ran leaves no report to count.
  ((status == 0)) || echo "tests: FAILED (a suite failed, timed out or did not run: see the ctest lines above)"
  return $status
}

case ${1:-help} in
  test)
    start=$(date +%s)
    setup; build; run_tests && rc=0 || rc=$?
    say "./mcr test took $(( $(date +%s) - start )) s"
    exit $rc ;;
  build) setup; build ;;
  demo)
    shift
    setup; build; wine_start
    exec_status=0
    "$ROOT/sample/demo.sh" "$BUILD" "$@" || exec_status=$?
    exit $exec_status ;;
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
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/x64/CMakeCache.txt")
    python3 "$ROOT/tools/dist.py" write "$ROOT" "$BUILD" "$ROOT/dist/mcrpak-$version.zip"
    python3 "$ROOT/tools/dist.py" check "$ROOT" "$BUILD" "$ROOT/dist/mcrpak-$version.zip" ;;
  faults)
    shift
    setup; build; wine_start
    MCR_BUILD="$BUILD" MCR_JOBS="$JOBS" python3 "$ROOT/tools/plant.py" run "$@" ;;
  pictures)
    setup; build; wine_start
    rm -rf "$BUILD/pictures"
    cd "$ROOT"
    "$ROOT/sample/demo.sh" "$BUILD" --snapshot "$(winepath -w "$BUILD/pictures")" sample/pictures.mac
    rm -f "$ROOT"/docs/pictures/*.png
    python3 "$ROOT/tools/bmp2png.py" "$BUILD/pictures" "$ROOT/docs/pictures" ;;
  host)
    shift; wine_prefix
    exec wine "$BUILD/x64/bin/mcrhost.exe" "$@" ;;
  wine)
    shift; wine_prefix
    exec "$@" ;;
  *)
    sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
    exit 2 ;;
esac
