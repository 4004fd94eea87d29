// What repeated and damaged use leaves behind. Every available word, called
// two thousand times as it is meant to be (fewer where a call is slow), and as
// often with its plan's late failure (after it has taken what it must give
// back), ends with as many kernel handles, windows and heap blocks as before.
// Every word that only reads files, given the sample's files damaged the ways
// disks and crashed writers damage them, changes no byte or time stamp of
// them and leaves each free to be opened exclusively right after it returns.
// (The bench points the WorkstationKey at its own sample, so the suite takes
// its turn with the others that do.)
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "bytes.h"
#include "leaks.h"
#include "wordcalls.h"

namespace mcrtest {
namespace {

using mcr::kWords;
using mcr::WordInfo;

// A slow word gets kBudgetMs and at least kMinCalls calls: a leak of one
// object per call still shows as a dozen.
constexpr int kCallsPerWord = 2000, kMinCalls = 12;
constexpr DWORD kBudgetMs = 100;

// Wine 8's list box keeps the tab-stop array of a destroyed list, one heap
// block that is not the library's for every list with tab stops a dialog
// shows. The blocks one such list leaves are measured here, so that a
// platform without the fault allows nothing.
const std::map<std::string, int> kListsWithTabStops = {{"QCUNREPELEM", 2}};
std::size_t BlocksLeftByATabbedList() {
  const std::size_t before = HeapBlockCount();
  for (int i = 0; i < 20; ++i) {
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_USETABSTOPS, 0, 0, 50, 50, GetDesktopWindow(),
                                nullptr, nullptr, nullptr);
    int tabs[] = {16, 60};
    SendMessageA(list, LB_SETTABSTOPS, 2, reinterpret_cast<LPARAM>(tabs));
    DestroyWindow(list);
  }
  return (HeapBlockCount() - before + 10) / 20;
}

// The valid call of every word, and its late failure where the plan has one:
// after three calls to warm up, the calls of one macro (the statement ends
// after the last), and the process holds what it held before.
TEST(Resources, TwoThousandCallsLeaveNothingBehind) {
  Bench bench;
  const std::size_t tabbedList = BlocksLeftByATabbedList();
  std::size_t total = 0, words = 0, lates = 0;
  std::string shortened;
  const DWORD start = GetTickCount();
  for (const WordInfo& w : kWords) {
    const WordPlan& plan = PlanFor(w.name);
    SCOPED_TRACE(w.name);
    if (*w.params && !plan.valid) ADD_FAILURE() << "an available word with parameters needs a valid call in the plans";
    for (int late = 0; w.ready && (plan.valid || !*w.params) && late < (*plan.late ? 2 : 1); ++late) {
      SCOPED_TRACE(late ? std::string("its late failure ") + plan.late : "its valid call");
      const std::vector<Arg> args = late ? bench.Args(w, plan.late) : bench.Baseline(w);
      Outcome first = bench.Call(w, args, true, late ? "its late failure" : "its valid call");
      const bool ok = first.status == 0 && !first.error();
      EXPECT_TRUE(late ? !ok || !bench.host().shown().empty() : ok)
          << (late ? "the late call succeeds" : "the valid call fails: ") << (first.error() ? U(*first.error()) : "");
      for (int i = 0; i < 3; ++i) bench.Call(w, args);
      bench.Dialogs();
      const std::size_t handles = ProcessHandleCount(), windows = ThreadWindowCount(), blocks = HeapBlockCount();
      const DWORD t0 = GetTickCount();
      int n = 0;
      for (; n < kCallsPerWord && (n < kMinCalls || GetTickCount() - t0 < kBudgetMs); ++n) {
        bench.Call(w, args, false);
        for (const DialogWatchdog::Seen& d : bench.Dialogs()) EXPECT_FALSE(d.stuck) << U(d.caption);
      }
      bench.EndStatement();
      EXPECT_EQ(ProcessHandleCount(), handles) << "kernel handles after " << n << " calls";
      EXPECT_EQ(ThreadWindowCount(), windows) << "windows after " << n << " calls";
      auto lists = kListsWithTabStops.find(w.name);
      const std::size_t platform = lists == kListsWithTabStops.end() ? 0 : tabbedList * lists->second * n;
      EXPECT_LE(HeapBlockCount(), blocks + platform + std::max(4, n / 8)) << "heap blocks after " << n << " calls";
      total += n, ++(late ? lates : words);
      if (n < kCallsPerWord && !late) shortened += " " + std::string(w.name) + "(" + std::to_string(n) + ")";
    }
  }
  std::printf("resources: %zu words and %zu late failures, %zu calls in %lu ms; fewer calls for:%s\n", words, lates,
              total, GetTickCount() - start, shortened.empty() ? " none" : shortened.c_str());
}

// Without the workstation key's Path (a broken installation) every look-up
// of the installation takes its failure path, which gives the key back too.
TEST(Resources, ABrokenInstallationLeavesNoKeyOpen) {
  Bench bench;
  WorkstationKey station;
  station.Point(std::nullopt);
  const WordInfo& w = *std::find_if(std::begin(kWords), std::end(kWords),
                                    [](const WordInfo& x) { return std::strcmp(x.name, "GetRuntypePrm") == 0; });
  const std::vector<Arg> args = bench.Baseline(w);
  bench.Call(w, args);
  const std::size_t handles = ProcessHandleCount();
  for (int i = 0; i < 50; ++i) bench.Call(w, args);
  EXPECT_EQ(ProcessHandleCount(), handles);
}

// A count or offset field where the file layouts place it: in the files whose
// lower-case names start with prefix and end with suffix, at a fixed place or,
// with via, that far past where the 32-bit offset at via points. kind: c a
// count, o a file offset, w an offset counted in 16-bit words from 1.
struct Field { const char *prefix, *suffix; std::size_t at; int width; char kind; std::size_t via = SIZE_MAX; };
const Field kFields[] = {
    {"", ".seq", 614, 4, 'c'},          {"", ".seq", 618, 4, 'o'},           {"", ".seq", 1625, 4, 'c', 618},
    {"data0", ".icp", 306, 2, 'c'},     {"data0", ".icp", 308, 4, 'w'},      {"data0", ".icp", 264, 4, 'w'},
    {"run.icp", "", 20, 4, 'c'},        {"run.icp", "", 16, 4, 'o'},         {"run.icp", "", 24, 4, 'o'},
    {"rungroup.", "", 104, 4, 'c'},     {"quant.", "", 938, 4, 'c'},
    {"calib.", "", 12, 4, 'o'},         {"calib.", "", 16, 4, 'o'},          {"calib.", "", 0, 4, 'c', 12},
    {"calib.", "", 86, 4, 'c', 16},
    {"qcdb.", "", 0, 4, 'o'},           {"qcdb.", "", 4, 4, 'o'},            {"qcdb.", "", 8, 4, 'o'},
    {"qcdb.", "", 0, 2, 'c', 0},        {"qcdb.", "", 2, 2, 'c', 0},         {"qcdb.", "", 2, 2, 'c', 8},
    {"qctune.", "", 0, 4, 'o'},         {"qctune.", "", 4, 4, 'o'},          {"qctune.", "", 8, 4, 'o'},
    {"qctune.", "", 0, 2, 'c', 0},      {"qctune.", "", 2, 2, 'c', 0},       {"qctune.", "", 2, 2, 'c', 8},
};

// The fields of the file of that name that lie inside its bytes.
std::vector<Field> FieldsOf(const std::string& name, const Bytes& b) {
  std::vector<Field> fields;
  for (Field f : kFields) {
    const std::size_t suffix = std::strlen(f.suffix);
    if (name.rfind(f.prefix, 0) != 0 || name.size() < suffix || name.compare(name.size() - suffix, suffix, f.suffix))
      continue;
    if (f.via != SIZE_MAX) f.at = f.via + 4 <= b.size() ? f.at + b.getU32(f.via) : SIZE_MAX;
    if (f.at != SIZE_MAX && f.at + f.width <= b.size()) fields.push_back(f);
  }
  return fields;
}

const char* const kDamages[] = {"empty", "one byte short", "counts 0x7FFFFFFF", "counts -1", "offsets past the end",
                                "texts without a terminator"};

Bytes Damaged(int damage, const std::string& name, Bytes b) {
  if (damage == 0) return Bytes();
  if (damage == 1) return b.resize(b.size() ? b.size() - 1 : 0), b;
  for (std::size_t i = 0; damage == 5 && i < b.size(); ++i)
    if (!b.data()[i]) b.u8(i, 'A');
  for (const Field& f : FieldsOf(name, b)) {
    if (damage == 5 || (f.kind == 'c') != (damage != 4)) continue;
    auto v = damage == 3 ? -1 : damage == 4 ? std::int64_t(b.size()) + 4096 : f.width == 2 ? 0x7FFF : 0x7FFFFFFF;
    if (f.kind == 'w') v = v / 2 + 1;
    if (f.width == 2) b.i16(f.at, static_cast<std::int16_t>(v));
    else b.i32(f.at, static_cast<std::int32_t>(v));
  }
  return b;
}

TEST(Readers, DamagedFilesAreNeverWritten) {
  Bench bench;  // each kind of damage is made from the original bytes
  std::map<std::string, Bytes> originals;
  for (const std::string& path : FolderState::Take(bench.sample()).Files()) originals[path] = Bytes::Load(path);
  std::size_t calls = 0, fields = 0;
  for (int damage = 0; damage < int(std::size(kDamages)); ++damage) {
    SCOPED_TRACE(kDamages[damage]);
    std::map<std::string, Snapshot> before;
    for (const auto& [path, original] : originals) {
      std::string name = path.substr(path.find_last_of('\\') + 1);
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
      fields += FieldsOf(name, original).size();
      before[path] = Save(Damaged(damage, name, original), path);
    }
    const FolderState damaged = FolderState::Take(bench.sample());
    for (const WordInfo& w : kWords) {
      if (!w.ready || !(PlanFor(w.name).flags & kReadsOnly)) continue;
      SCOPED_TRACE(w.name);
      bench.Call(w, bench.Baseline(w));
      ++calls;
      for (const auto& [path, snap] : before) {
        EXPECT_TRUE(OpensExclusively(path)) << path << " is still open";
        ExpectUnchanged(snap);
      }
      for (const std::string& change : FolderState::Take(bench.sample()).ChangesSince(damaged)) ADD_FAILURE() << change;
    }
  }
  std::printf("readers: %zu calls on %zu damaged files (%zu count and offset fields) in %zu ways\n", calls,
              originals.size(), fields / std::size(kDamages), std::size(kDamages));
}

}  // namespace
}  // namespace mcrtest
