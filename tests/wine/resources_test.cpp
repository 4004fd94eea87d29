// What repeated and damaged use leaves behind. Every available word, called
// two thousand times as it is meant to be called (fewer where one call is
// slow), and as often with its plan's late failure (a call that fails after
// the word has taken what it must give back), ends with the process holding
// as many kernel handles, windows and heap blocks as before. Every word
// that only reads files, given the sample workstation with its files
// damaged in the ways real disks and crashed writers damage them, changes no
// byte and no time stamp of them, and leaves each of them free to be opened
// exclusively right after it returns.
// (The bench points the WorkstationKey at its own sample, so the suite takes
// its turn with the others that do.)
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include "bytes.h"
#include "filestate.h"
#include "leaks.h"
#include "wordcalls.h"

namespace mcrtest {
namespace {

using mcr::kWords;
using mcr::WordInfo;

constexpr int kCallsPerWord = 2000;
// A word whose calls are slow gets this much time and at least kMinCalls
// calls: a leak of one object per call still shows as a dozen.
constexpr DWORD kBudgetMs = 100;
constexpr int kMinCalls = 12;
constexpr int kWarmUpCalls = 3;

// Wine 8's list box keeps the tab-stop array of a destroyed list, one heap
// block that is not the library's for every list with tab stops a dialog
// shows. The blocks one such list leaves are measured here, so that a
// platform without the fault allows nothing.
const std::map<std::string, int> kListsWithTabStops = {{"QCUNREPELEM", 2}};

std::size_t BlocksLeftByATabbedList() {
  constexpr int kLists = 20;
  const std::size_t before = HeapBlockCount();
  for (int i = 0; i < kLists; ++i) {
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_USETABSTOPS, 0, 0, 50, 50, GetDesktopWindow(),
                                nullptr, nullptr, nullptr);
    int tabs[] = {16, 60};
    SendMessageA(list, LB_SETTABSTOPS, 2, reinterpret_cast<LPARAM>(tabs));
    DestroyWindow(list);
  }
  return (HeapBlockCount() - before + kLists / 2) / kLists;
}

// Calls the word with args as one macro's statements (after a few calls to
// warm up) and checks that the process holds what it held before; returns
// the number of calls.
int RepeatLeavesNothing(Bench& bench, const WordInfo& w, const std::vector<Arg>& args, std::size_t tabbedList) {
  for (int i = 0; i < kWarmUpCalls; ++i) bench.Call(w, args);
  bench.Dialogs();
  const std::size_t handles = ProcessHandleCount(), windows = ThreadWindowCount(), blocks = HeapBlockCount();
  DWORD t0 = GetTickCount();
  int n = 0;
  // The calls of one macro: the statement ends after the last of them.
  while (n < kCallsPerWord && (n < kMinCalls || GetTickCount() - t0 < kBudgetMs)) {
    bench.Call(w, args, false);
    for (const DialogWatchdog::Seen& d : bench.Dialogs()) EXPECT_FALSE(d.stuck) << U(d.caption);
    ++n;
  }
  bench.EndStatement();
  EXPECT_EQ(ProcessHandleCount(), handles) << "kernel handles after " << n << " calls";
  EXPECT_EQ(ThreadWindowCount(), windows) << "windows after " << n << " calls";
  auto lists = kListsWithTabStops.find(w.name);
  std::size_t platform = lists == kListsWithTabStops.end() ? 0 : tabbedList * lists->second * n;
  EXPECT_LE(HeapBlockCount(), blocks + platform + std::max(4, n / 8)) << "heap blocks after " << n << " calls";
  return n;
}

// The valid call of every word, and its late failure where the plan has one.
TEST(Resources, TwoThousandCallsLeaveNothingBehind) {
  Bench bench;
  const std::size_t tabbedList = BlocksLeftByATabbedList();
  std::size_t total = 0, words = 0, lates = 0;
  std::string shortened;
  DWORD start = GetTickCount();
  for (const WordInfo& w : kWords) {
    if (!w.ready) continue;
    SCOPED_TRACE(w.name);
    const WordPlan& plan = PlanFor(w.name);
    if (*w.params && !plan.valid) {
      ADD_FAILURE() << "an available word with parameters needs a valid call in the plans (wordcalls.cpp)";
      continue;
    }
    for (int pass = 0; pass < (*plan.late ? 2 : 1); ++pass) {
      const bool late = pass == 1;
      SCOPED_TRACE(late ? std::string("its late failure ") + plan.late : "its valid call");
      std::vector<Arg> args = late ? bench.Args(w, plan.late) : bench.Baseline(w);
      Outcome first = bench.Call(w, args, true, late ? "its late failure" : "its valid call");
      const bool ok = first.status == 0 && !first.error();
      EXPECT_TRUE(late ? !ok || !bench.host().shown().empty() : ok)
          << (late ? "the late call succeeds" : "the valid call fails: ") << (first.error() ? U(*first.error()) : "");
      const int n = RepeatLeavesNothing(bench, w, args, tabbedList);
      total += static_cast<std::size_t>(n);
      ++(late ? lates : words);
      if (n < kCallsPerWord && !late) shortened += " " + std::string(w.name) + "(" + std::to_string(n) + ")";
    }
  }
  std::printf("resources: %zu words and %zu late failures, %zu calls in %lu ms; fewer calls for:%s\n", words, lates,
              total, GetTickCount() - start, shortened.empty() ? " none" : shortened.c_str());
}

// --- damaged files ---------------------------------------------------------------

enum class Damage { Empty, OneByteShort, CountsMax, CountsMinusOne, OffsetsPastEnd, NoTerminators };

// A count or offset field of the instrument files, as the file layouts
// place it: in the files whose lower-case names start with prefix and end
// with suffix, at a fixed place or, with via, that far past where the 32-bit
// offset at via points.
struct Field {
  const char* prefix;
  const char* suffix;
  std::size_t at;
  int width;  // 2 or 4
  char kind;  // c a count, o a file offset, w an offset counted in 16-bit words from 1
  std::size_t via = SIZE_MAX;
};
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

Bytes Damaged(Damage d, const std::string& name, Bytes b) {
  switch (d) {
    case Damage::Empty: return Bytes();
    case Damage::OneByteShort: return b.resize(b.size() ? b.size() - 1 : 0), b;
    case Damage::NoTerminators: {
      Bytes out(b.size());
      for (std::size_t i = 0; i < b.size(); ++i) out.u8(i, b.data()[i] ? b.data()[i] : 'A');
      return out;
    }
    default: break;
  }
  for (const Field& f : FieldsOf(name, b)) {
    if ((f.kind == 'c') != (d != Damage::OffsetsPastEnd)) continue;
    std::int64_t v = d == Damage::CountsMinusOne ? -1 : d == Damage::CountsMax ? (f.width == 2 ? 0x7FFF : 0x7FFFFFFF)
                                                                              : static_cast<std::int64_t>(b.size()) + 4096;
    if (f.kind == 'w') v = v / 2 + 1;
    if (f.width == 2) b.i16(f.at, static_cast<std::int16_t>(v));
    else b.i32(f.at, static_cast<std::int32_t>(v));
  }
  return b;
}

TEST(Readers, DamagedFilesAreNeverWritten) {
  const struct { Damage damage; const char* name; } kinds[] = {
      {Damage::Empty, "empty"}, {Damage::OneByteShort, "one byte short"}, {Damage::CountsMax, "counts 0x7FFFFFFF"},
      {Damage::CountsMinusOne, "counts -1"}, {Damage::OffsetsPastEnd, "offsets past the end"},
      {Damage::NoTerminators, "texts without a terminator"}};
  // One bench: each kind of damage is made from the original bytes.
  Bench bench;
  std::map<std::string, Bytes> originals;
  for (const std::string& path : FolderState::Take(bench.sample()).Files()) originals[path] = Bytes::Load(path);
  std::size_t calls = 0, fields = 0;
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.name);
    std::map<std::string, Snapshot> before;
    for (const auto& [path, original] : originals) {
      std::string name = path.substr(path.find_last_of('\\') + 1);
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
      fields += FieldsOf(name, original).size();
      before[path] = Save(Damaged(kind.damage, name, original), path);
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
              originals.size(), fields / std::size(kinds), std::size(kinds));
}

}  // namespace
}  // namespace mcrtest
