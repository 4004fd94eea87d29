#!/bin/bash
# Runs inside the emulated PC (from its second drive, mounted at /emu): the
# i686 build's Wine suites, then the release archive's self-test, each
# reported in /emu/out. /emu/config.sh says where the checkout lay on the
# build machine (the suites read the sources by that path), the time factor,
# the cases' filter and whether the x86_64 suites run after them in a win64
# prefix, for comparison; /emu/suites32.txt which suites to run, the longest
# first.
#
# /emu/out/results.txt gets one line per step: NAME STATUS SECONDS, and
# /emu/out/reports/ GoogleTest's report of each suite; the x86_64 run the
# same in results64.txt, reports64/ and logs64/.
set -u
cd /emu
. ./config.sh
OUT=/emu/out
export WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
export MCR_TIME_SCALE=$SCALE
unset DISPLAY

uptime_cs() { local u; u=$(cut -d' ' -f1 /proc/uptime); echo $((10#${u%.*} * 100 + 10#${u#*.})); }

# One step: its output to $LOGS/NAME.txt, its line to the results file.
LOGS=logs
step() {  # RESULTS NAME LIMIT COMMAND...
  local results=$1 name=$2 limit=$3 t0 t1 status
  shift 3
  t0=$(uptime_cs)
  timeout -k 10 "$limit" "$@" > "$OUT/$LOGS/$name.txt" 2>&1 < /dev/null
  status=$?
  t1=$(uptime_cs)
  printf '%s %d %d.%02d\n' "$name" "$status" $(((t1 - t0) / 100)) $(((t1 - t0) % 100)) >> "$OUT/$results"
  printf 'emu32: %-24s status %3d  %4d s\n' "$name" "$status" $(((t1 - t0) / 100))
  sync
}

start_wine() {
  local t0
  t0=$(uptime_cs)
  wineserver -p
  wine wineboot > /dev/null 2>&1
  echo "emu32: Wine's services started in $((($(uptime_cs) - t0) / 100)) s ($WINEPREFIX)"
}

# A second prefix for the second lane, the same as the first: its own
# registry (the suites that write the workstation key may run beside each
# other), the Windows files shared by hard links (nothing writes to them).
twin_prefix() {  # PREFIX
  rm -rf "$1b"
  cp -al "$1" "$1b"
  rm -rf "$1b"/*.reg "$1b/drive_c/users"
  cp -a "$1"/*.reg "$1b/"
  cp -a "$1/drive_c/users" "$1b/drive_c/"
}

# The suites of one build in two lanes, each in its own prefix, taking the
# next suite of the list as they come free. The suites' limit is the native
# run's, times the factor.
run_suites() {  # BIN RESULTS REPORTS
  local bin=$1 results=$2 reports=$3 queue=/tmp/queue
  mkdir -p "$OUT/$reports" "$OUT/$LOGS"
  cut -d' ' -f1 /emu/suites32.txt > "$queue"
  lane() {
    local name
    export WINEPREFIX=$1
    start_wine
    while :; do
      name=$(flock "$queue.lock" sh -c 'head -1 "$0"; sed -i 1d "$0"' "$queue")
      [[ $name ]] || break
      step "$results" "$name" $((120 * SCALE)) wine "$bin/$name.exe" \
        --gtest_output="xml:Z:\\emu\\out\\$reports\\$name.xml" ${FILTER:+--gtest_filter="$FILTER"}
    done
    wineserver -k
  }
  lane "$WINEPREFIX" &
  lane "${WINEPREFIX}b" &
  wait
}

# The suites find the sources where the build machine had them.
mkdir -p "$(dirname "$ROOT")"
ln -sfn /emu/src "$ROOT"
[[ -d $ROOT/tests ]] || { echo "emu32: the sources are not at $ROOT"; exit 1; }
echo "emu32: $(uname -m) guest, $(nproc) CPUs, $(wine --version), time factor $SCALE"
t0=$(uptime_cs)

export WINEPREFIX=/root/w32 WINEARCH=win32
t1=$(uptime_cs)
twin_prefix "$WINEPREFIX"
echo "emu32: a second prefix for the second lane in $((($(uptime_cs) - t1) / 100)) s"
run_suites /emu/bin results.txt reports

# The release archive's 32-bit try-out set, as an administrator runs it.
if [[ -f /emu/release.zip ]]; then
  start_wine
  rm -rf /root/w32/drive_c/release
  mkdir -p /root/w32/drive_c/release
  unzip -q /emu/release.zip -d /root/w32/drive_c/release
  selftest=$(cd /root/w32/drive_c/release && find . -iname selftest.cmd | head -1)
  if [[ -n $selftest ]]; then
    step results.txt selftest $((60 * SCALE)) wine cmd /c "C:\\release\\$(echo "${selftest#./}" | tr / '\\')"
  else
    echo "selftest 127 0.00" >> "$OUT/results.txt"
    echo "emu32: the archive has no selftest.cmd" | tee "$OUT/logs/selftest.txt"
  fi
fi
wineserver -k
echo "emu32: the i686 run took $((($(uptime_cs) - t0) / 100)) s"

if [[ ${COMPARE:-} && -d /emu/bin64 ]]; then
  # The same suites of the x86_64 build in a win64 prefix made here: the
  # slowdown of the 32-bit run against them on the same emulated PC. The
  # first wineboot of a win64 prefix can outlast its own wait under
  # emulation; a second one (-u) finishes it. The prefixes go on the second
  # drive, which has room for them; their logs in logs64.
  export WINEPREFIX=/emu/w64 WINEARCH=win64 LOGS=logs64
  mkdir -p "$OUT/$LOGS"
  t1=$(uptime_cs)
  { wineboot -i; wineserver -w; wineboot -u; wineserver -w
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    wineserver -w; } > "$OUT/$LOGS/prefix.txt" 2>&1
  twin_prefix "$WINEPREFIX"
  echo "emu32: win64 prefixes made in $((($(uptime_cs) - t1) / 100)) s"
  t1=$(uptime_cs)
  run_suites /emu/bin64 results64.txt reports64
  echo "emu32: the x86_64 run took $((($(uptime_cs) - t1) / 100)) s"
fi
echo "emu32: done in $((($(uptime_cs) - t0) / 100)) s"
