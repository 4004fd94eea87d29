// What repeated and damaged use leaves behind. Every available word, called
// two thousand times as it is meant to be called (fewer where one call is
// slow), ends with the process holding as many kernel handles, windows and
// heap blocks as before. Every word that only reads files, given the sample
// workstation with its files damaged in the ways real disks and crashed
// writers damage them, changes no byte and no time stamp of them, and leaves
// each of them free to be opened exclusively right after it returns.
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

TEST(Resources, TwoThousandCallsLeaveNothingBehind) {
  Bench bench;
  const std::size_t tabbedList = BlocksLeftByATabbedList();
  std::size_t total = 0, words = 0;
  std::string shortened;
  DWORD start = GetTickCount();
  for (const WordInfo& w : kWords) {
    if (!w.ready) continue;
    SCOPED_TRACE(w.name);
    if (*w.params && !PlanFor(w.name)) {
      ADD_FAILURE() << "an available word with parameters needs a valid call in the plans (wordcalls.cpp)";
      continue;
    }
    std::vector<Arg> args = bench.Baseline(w);
    Outcome first = bench.Call(w, args);
    EXPECT_EQ(first.status, 0) << "the valid call fails";
    EXPECT_EQ(first.error(), nullptr) << "the valid call fails: " << U(*first.error());
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
    total += static_cast<std::size_t>(n);
    ++words;
    if (n < kCallsPerWord) shortened += " " + std::string(w.name) + "(" + std::to_string(n) + ")";
  }
  std::printf("resources: %zu words, %zu calls in %lu ms; fewer calls for:%s\n", words, total,
              GetTickCount() - start, shortened.empty() ? " none" : shortened.c_str());
}

// --- damaged files ---------------------------------------------------------------

enum class Damage { Empty, OneByteShort, CountsMax, CountsMinusOne, OffsetsPastEnd, NoTerminators };

struct Field {
  std::size_t at;
  int width;  // 2 or 4
  bool count;  // a count (else a file offset)
  bool words = false;  // an offset counted in 16-bit words from 1
};

// The count and offset fields of the instrument files, by file name, as the
// file layouts place them; some lie where another field points.
std::vector<Field> FieldsOf(const std::string& name, const Bytes& b) {
  auto u32 = [&](std::size_t at) -> std::size_t { return at + 4 <= b.size() ? b.getU32(at) : SIZE_MAX; };
  auto within = [&](std::size_t at, int width) { return at != SIZE_MAX && at + width <= b.size(); };
  std::vector<Field> f;
  auto add = [&](std::size_t at, int width, bool count, bool words = false) {
    if (within(at, width)) f.push_back({at, width, count, words});
  };
  auto is = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
  if (name.size() > 4 && name.substr(name.size() - 4) == ".seq") {
    add(614, 4, true);
    add(618, 4, false);
    if (within(618, 4)) add(u32(618) + 1625, 4, true);
  } else if (is("data0") && name.size() > 4 && name.substr(name.size() - 4) == ".icp") {
    add(306, 2, true);
    add(308, 4, false, true);
    add(264, 4, false, true);
  } else if (name == "run.icp") {
    add(20, 4, true);
    add(16, 4, false);
    add(24, 4, false);
  } else if (is("rungroup.")) {
    add(104, 4, true);
  } else if (is("calib.")) {
    add(12, 4, false);
    add(16, 4, false);
    add(u32(12), 4, true);
    if (within(16, 4)) add(u32(16) + 86, 4, true);
  } else if (is("qcdb.") || is("qctune.")) {
    add(0, 4, false);
    add(4, 4, false);
    add(8, 4, false);
    add(u32(0), 2, true);
    if (within(0, 4)) add(u32(0) + 2, 2, true);
    if (within(8, 4)) add(u32(8) + 2, 2, true);
  } else if (is("quant.")) {
    add(938, 4, true);
  }
  return f;
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
    if (f.count != (d != Damage::OffsetsPastEnd)) continue;
    std::int64_t v = d == Damage::CountsMinusOne ? -1 : d == Damage::CountsMax ? (f.width == 2 ? 0x7FFF : 0x7FFFFFFF)
                                                                              : static_cast<std::int64_t>(b.size()) + 4096;
    if (f.words) v = v / 2 + 1;
    if (f.width == 2) b.i16(f.at, static_cast<std::int16_t>(v));
    else b.i32(f.at, static_cast<std::int32_t>(v));
  }
  return b;
}

std::vector<std::string> FilesUnder(const std::string& root) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA d;
  HANDLE find = FindFirstFileA((root + "\\*").c_str(), &d);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    std::string name = d.cFileName, path = root + "\\" + name;
    if (name == "." || name == "..") continue;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      std::vector<std::string> inner = FilesUnder(path);
      files.insert(files.end(), inner.begin(), inner.end());
    } else {
      files.push_back(path);
    }
  } while (FindNextFileA(find, &d));
  FindClose(find);
  return files;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TEST(Readers, DamagedFilesAreNeverWritten) {
  const struct { Damage damage; const char* name; } kinds[] = {
      {Damage::Empty, "empty"},
      {Damage::OneByteShort, "one byte short"},
      {Damage::CountsMax, "counts 0x7FFFFFFF"},
      {Damage::CountsMinusOne, "counts -1"},
      {Damage::OffsetsPastEnd, "offsets past the end"},
      {Damage::NoTerminators, "texts without a terminator"},
  };
  std::size_t calls = 0, files = 0, fields = 0;
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.name);
    Bench bench;
    std::map<std::string, Snapshot> before;
    for (const std::string& path : FilesUnder(bench.sample())) {
      std::string name = Lower(path.substr(path.find_last_of('\\') + 1));
      Bytes original = Bytes::Load(path);
      fields += FieldsOf(name, original).size();
      before[path] = Save(Damaged(kind.damage, name, original), path);
    }
    files = before.size();
    for (const WordInfo& w : kWords) {
      const WordPlan* plan = PlanFor(w.name);
      if (!w.ready || !plan || !(plan->flags & kReadsOnly)) continue;
      SCOPED_TRACE(w.name);
      bench.Call(w, bench.Baseline(w));
      ++calls;
      for (const auto& [path, snap] : before) {
        EXPECT_TRUE(OpensExclusively(path)) << path << " is still open";
        ExpectUnchanged(snap);
      }
      EXPECT_EQ(FilesUnder(bench.sample()).size(), before.size()) << "files created or removed";
    }
  }
  std::printf("readers: %zu calls on %zu damaged files (%zu count and offset fields) in %zu ways\n", calls, files,
              fields / std::size(kinds), std::size(kinds));
}

}  // namespace
}  // namespace mcrtest
