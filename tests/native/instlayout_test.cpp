// The instrument-file layouts on fixture bytes in memory: the byte rules the
// words' own tests cannot reach easily (cut points of double-byte texts, the
// limits of number conversions and of a row's method path, the run groups of
// each acquisition mode), and the lists, tables and answers derived from
// calibration, QC database, tune-criteria and run group files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>
#include <optional>

#include "bytes.h"
#include "instfiles/calblayout.h"
#include "instfiles/datalayout.h"
#include "instfiles/instext.h"
#include "instfiles/masslist.h"
#include "instfiles/methlayout.h"
#include "instfiles/qclayout.h"
#include "instfiles/runmasses.h"
#include "instfiles/seqlayout.h"
#include "qcfixtures.h"

namespace {

using namespace mcr;
using mcrtest::Bytes;

const std::string kHyo = "\x95\x5C";  // a double-byte character whose second byte is '\'

TEST(InstText, DoubleByteCharactersStayWhole) {
  struct Cut { std::string text; std::size_t limit; std::string out; } cuts[] = {
      {"abcdef", 4, "abcd"}, {"a" + kHyo + "b", 2, "a"}, {"a" + kHyo + "b", 3, "a" + kHyo}, {kHyo, 1, ""},
  };
  for (const Cut& c : cuts) EXPECT_EQ(CutBytes(c.text, c.limit), c.out) << c.text;
  EXPECT_FALSE(EndsWithBackslash("C:\\" + kHyo));
  EXPECT_TRUE(EndsWithBackslash(kHyo + "\\"));
  EXPECT_EQ(UpperAscii("acqMode\x83" "a"), "ACQMODE\x83" "a");  // that 'a' is a second byte
  EXPECT_FALSE(EqualNoCase("\x83" "a", "\x83" "A"));
}

TEST(SeqLayout, MethodPathAndRowOfSeqRpcMPath) {
  const std::string p258(258, 'p'), p259(259, 'p');
  struct Case { std::string in, out; } cases[] = {
      {"", ""}, {p259, p259 + "\\"}, {p259 + "q", p259 + "\\"}, {std::string(300, 'p'), p259 + "\\"},
      {"D:\\" + kHyo, "D:\\" + kHyo + "\\"}, {p258 + kHyo, p258 + "\\"}, {p259 + kHyo, p259 + "\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormaliseMethodPath(c.in), c.out) << c.in.size();
  struct Row { std::optional<double> arg; std::int32_t row; } rows[] = {
      {std::nullopt, 0}, {0.4, 0}, {0.5, 1}, {350.4, 350}, {350.5, 0}, {-3, 0}, {3e9, 0}, {-3e9, 0},
  };
  for (const Row& r : rows) EXPECT_EQ(SeqRowSelection(r.arg ? &*r.arg : nullptr), r.row);
}

TEST(Layouts, NumberConversions) {
  struct I16 { double in; std::int16_t out; } i16[] = {
      {2.5, 3}, {-2.5, -3}, {32767.6, 32767}, {1e9, 32767}, {-32768.6, -32768}, {std::nan(""), 0},
  };
  for (const I16& c : i16) EXPECT_EQ(SaturateInt16(c.in), c.out) << c.in;
  struct F { double in; float out; } floats[] = {
      {1e-50, FLT_MIN}, {-1e-50, -FLT_MIN}, {1e300, FLT_MAX}, {-1e300, -FLT_MAX}, {0.0, 0.0f}, {2.5, 2.5f},
  };
  for (const F& c : floats) EXPECT_EQ(ClampFloat(c.in), c.out) << c.in;
}

TEST(MethodLayout, RunGroupsByMode) {
  Bytes events;
  const std::int32_t groups[] = {3, 0, 5, 0, 0, 0, 0, 0, 0, 0, 8};
  for (std::size_t k = 0; k < 11; ++k) events.i32(k * 182 + 4, groups[k]).resize((k + 1) * 182);
  struct Case { std::int32_t mode; std::size_t bytes; bool ok; int count; std::vector<std::int32_t> list; } cases[] = {
      {0, 0, true, 1, {1, -9}}, {3, 0, true, 1, {1}}, {4, 0, true, 1, {0, -9}}, {5, 0, true, 1, {0}},
      {2, 11 * 182, true, 10, {3, -9, 5, -9, -9, -9, -9, -9, -9, -9}},
      {2, 2 * 182 + 100, true, 10, {3, -9, -9}},  // only whole records count
      {2, 0, true, 10, {-9}}, {6, 0, false, -1, {-9}}, {-1, 0, false, -1, {-9}},
  };
  for (const Case& c : cases) {
    std::int32_t list[10];
    std::fill(std::begin(list), std::end(list), -9);
    int count = -1;
    EXPECT_EQ(RunGroupsOf(c.mode, events.data().data(), c.bytes, list, &count), c.ok) << c.mode;
    EXPECT_EQ(count, c.count) << c.mode;
    for (std::size_t i = 0; i < c.list.size(); ++i) EXPECT_EQ(list[i], c.list[i]) << c.mode << " #" << i;
  }
}

// --- mass lists and run groups ------------------------------------------------

namespace fx = mcrtest::fx;
using Masses = std::vector<std::int32_t>;

MemorySource Source(const Bytes& b) { return MemorySource(b.data()); }
// The bytes as an open file, or no file.
std::unique_ptr<ByteSource> Open(const Bytes* b) { return b ? std::make_unique<MemorySource>(b->data()) : nullptr; }

// A method directory "M" in memory: file name -> bytes.
FileOpener Folder(std::map<std::string, Bytes> files) {
  return [files](const std::string& path) -> std::unique_ptr<ByteSource> {
    auto it = path.rfind("M\\", 0) == 0 ? files.find(path.substr(2)) : files.end();
    return it == files.end() ? nullptr : Open(&it->second);
  };
}

const char kNotQuantified[] = "NOQ";

TEST(CalibrationLists, ShortAndCorruptFiles) {
  const std::vector<fx::CalElement> three = {{11, "B", "", 0, 1}, {23, "Na"}, {27, "Al"}};
  const Bytes whole = fx::Calibration(three);
  struct Case { const char* what; Bytes file; ListStatus status; Masses masses; } cases[] = {
      {"header short", Bytes(whole).resize(19), ListStatus::Unreadable, {}},
      {"count beyond the end", Bytes(whole).u32(12, 5000), ListStatus::Unreadable, {}},
      {"count larger than the file", fx::Calibration(three, 2000000000), ListStatus::Ok, {11, 23, 27}},
      {"count negative", fx::Calibration(three, -5), ListStatus::Ok, {}},
      {"K negative: the next record cannot be found", fx::Calibration({{11, "B", "", 0, -3}, {23, "Na"}}),
       ListStatus::Ok, {11}},
      {"K huge", fx::Calibration({{11, "B"}, {23, "Na"}}).i32(72 + 86, 0x7FFFFFFF), ListStatus::Ok, {11}},
  };
  for (const Case& c : cases) {
    MemorySource src = Source(c.file);
    MassList list = ListCalibration(src, Selector::Mass, kNotQuantified);
    EXPECT_EQ(list.status, c.status) << c.what;
    EXPECT_EQ(list.masses, c.masses) << c.what;
  }
}

const std::vector<fx::Element> kQcElements = {
    {45, "Sc", 1}, {7, "Li", 0}, {115, "In", 1}, {75, "As", 0}, {59, "Co", 2}};
// A second group 1 that is never read.
const std::vector<fx::QcGroup> kQcGroups = {
    {3, {{7, 1, 0}, {75, 0, 1}}}, {1, {{7, 0, 1}, {59, 1, 1}, {75, 2, 0}, {111, 1, 2}}}, {1, {{200}}}};

TEST(QcDatabaseLists, GroupsThatCannotBeFound) {
  std::int32_t one = 1, nine = 9, big = 65537;  // 65537 must not match group 1 by its low bits
  const Bytes file = fx::QcDatabase(kQcElements, kQcGroups);
  struct Case { const char* what; Bytes file; const std::int32_t* group; ListStatus status; } cases[] = {
      {"no group number", file, nullptr, ListStatus::GroupMissing},
      {"no such group", file, &nine, ListStatus::NoGroup},
      {"wide number", file, &big, ListStatus::NoGroup},
      {"group count negative", fx::QcDatabase(kQcElements, kQcGroups, 3003, {}, -4), &one,
       ListStatus::NoGroup},
      {"group area cut", Bytes(file).resize(120 + 12 + 130), &one, ListStatus::NoGroup},
      {"negative entries before it", fx::QcDatabase(kQcElements, {{3, {{7}}, -2}, {1, {{7}}}}), &one,
       ListStatus::NoGroup},
      {"information block cut", Bytes(file).resize(40 + 70 + 6 + 11), &one, ListStatus::Unreadable},
  };
  for (const Case& c : cases) {
    MemorySource src = Source(c.file);
    EXPECT_EQ(ListQcDatabase(src, Selector::On, c.group).status, c.status) << c.what;
  }
}

TEST(QcDatabaseLists, ShortListsAndHugeCounts) {
  // The element list runs into the information block and the groups; it
  // stops at 260 items or at the end of the file, whichever comes first.
  MemorySource src = Source(fx::QcDatabase(kQcElements, kQcGroups, 3003, 30000));
  MassList list = ListQcDatabase(src, Selector::Mass, nullptr);
  EXPECT_EQ(list.status, ListStatus::Ok);
  EXPECT_LE(list.masses.size(), kListMax);
  EXPECT_EQ(Masses(list.masses.begin(), list.masses.begin() + 5), (Masses{45, 7, 115, 75, 59}));

  std::int32_t one = 1;
  MemorySource cut = Source(fx::QcDatabase(kQcElements, {{1, {{7}, {9}, {11}}}}).resize(120 + 12 + 3 * 130 - 1));
  EXPECT_EQ(ListQcDatabase(cut, Selector::On, &one).masses, (Masses{7, 9}));
}

// --- run groups -------------------------------------------------------------

MethodRunGroups Method(int mode, std::vector<std::int32_t> list = {}) {
  MethodRunGroups m;
  m.mode = mode;
  m.count = mode == 2 ? 10 : mode < 0 ? 0 : 1;
  m.list[0] = mode == 4 || mode == 5 ? 0 : 1;
  for (std::size_t i = 0; i < list.size(); ++i) m.list[i] = list[i];
  return m;
}

TEST(RunGroupMassTable, BlocksByMode) {
  // Masses 0, 261 and -3 have no entry.
  FileOpener folder = Folder({{"rungroup.01", fx::RunGroup({{7, "Li"}, {115, "In"}, {0, "O"}, {261, "X"}, {-3, "N"}})},
                              {"rungroup.03", fx::RunGroup({{7, "Li7"}, {260, "Top"}})},
                              {"rungroup.12", fx::RunGroup({{89, "Y"}})}});
  auto table = std::make_unique<RunGroupMassTable>();
  auto entry = [&](int block, int mass) -> const RunGroupMassEntry& { return MassTableEntry(*table, block, mass); };
  auto measured = [&](std::vector<std::pair<int, int>> at) {
    std::vector<int> flags;
    for (auto [block, mass] : at) flags.push_back(entry(block, mass).measured);
    return flags;
  };

  ASSERT_TRUE(FillRunGroupMassTable("M", Method(4), folder, *table));
  EXPECT_STREQ(entry(1, 7).name, "Li");
  EXPECT_STREQ(entry(3, 7).name, "Li7");
  EXPECT_EQ(measured({{1, 7}, {3, 7}, {3, 260}, {2, 7}}), (std::vector<int>{1, 1, 1, 0}));
  int all = 0;
  for (const RunGroupMassEntry& e : table->entries) all += e.measured;
  EXPECT_EQ(all, 4);

  // Mode 2: the event run groups merge into block 1; the name read last stays.
  ASSERT_TRUE(FillRunGroupMassTable("M", Method(2, {3, 0, 12, 1}), folder, *table));
  EXPECT_STREQ(entry(1, 7).name, "Li");
  EXPECT_EQ(measured({{1, 89}, {1, 260}, {3, 7}}), (std::vector<int>{1, 1, 0}));

  ASSERT_TRUE(FillRunGroupMassTable("M", Method(1), folder, *table));
  EXPECT_EQ(measured({{1, 115}, {1, 260}}), (std::vector<int>{1, 0}));  // cleared first
}

TEST(RunGroupMassTable, Failures) {
  auto table = std::make_unique<RunGroupMassTable>();
  struct Case { const char* what; FileOpener folder; MethodRunGroups m; } cases[] = {
      {"invalid method", Folder({}), Method(-1)},
      {"tune-step method without run groups", Folder({}), Method(5)},
      {"run group 1 missing", Folder({}), Method(0)},
      {"mode 2 group missing", Folder({{"rungroup.01", fx::RunGroup({})}}), Method(2, {1, 4})},
      {"short record", Folder({{"rungroup.02", fx::RunGroup({{7, "Li"}, {9, "Be"}}).resize(436 + 30)}}), Method(4)},
      {"short header", Folder({{"rungroup.01", fx::RunGroup({}).resize(435)}}), Method(3)},
  };
  for (const Case& c : cases) EXPECT_FALSE(FillRunGroupMassTable("M", c.m, c.folder, *table)) << c.what;
  EXPECT_TRUE(FillRunGroupMassTable("M", Method(0), Folder({{"rungroup.01", fx::RunGroup({}, -7)}}), *table));
}

TEST(TuneMassCheck, ByModeAndStep) {
  // Modes 0 and 4 on whole files, and a missing file, are the word's own tests.
  FileOpener folder = Folder({{"rungroup.01", fx::RunGroup({{7, "Li"}, {89, "Y"}})},
                              {"rungroup.02", fx::RunGroup({{205, "Tl"}, {7, "Li"}})},
                              {"rungroup.05", fx::RunGroup({{89, "Y"}})}});
  const Bytes tune = fx::TuneCriteria({{7, "Li"}, {89, "Y"}}), twice = fx::TuneCriteria({{7, "Li"}, {7, "Li"}}),
              empty = fx::TuneCriteria({});
  struct Case { const char* what; const Bytes* tuneFile; int step; MethodRunGroups method; int result; } cases[] = {
      {"tune step 1", &tune, 1, Method(5), 0},
      {"tune step 3 has no run group", &tune, 3, Method(4), -1},
      {"mode 2 over two groups", &tune, 1, Method(2, {2, 0, 5}), 0},
      {"mode 2 group missing", &tune, 1, Method(2, {2, 8}), -1},
      {"each tune mass needs its own record", &twice, 1, Method(0), 1},
      {"same mass in two run groups", &twice, 1, Method(2, {1, 2}), 0},
      {"no tune masses", &empty, 1, Method(0), 0},
      {"no tune masses, invalid method", &empty, 1, Method(-1), -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckTuneMasses(Open(c.tuneFile).get(), c.step, "M", c.method, folder), c.result) << c.what;
  // An unreadable tune-criteria file answers 1 before the method is looked at.
  for (std::size_t size : {10u, 25u, 32u + 14u + 3u}) {
    MemorySource cut = Source(Bytes(tune).resize(size));
    EXPECT_EQ(CheckTuneMasses(&cut, 1, "M", Method(-1), folder), 1) << size;
  }
}

TEST(CalibrationComparison, Answers) {
  // The simple answers and the short headers are the words' own tests.
  const Bytes calib711_23 = fx::Calibration({{7, "Li", "", 0, 2}, {11, "B"}, {23, "Na"}}),
              calib711 = fx::Calibration({{11, "B"}, {7, "Li"}}), calibNone = fx::Calibration({}),
              calibNeg = fx::Calibration({}, -1), calibCountGone = Bytes(calib711).u32(12, 5000),
              calibCut = fx::Calibration({{7, "Li"}, {11, "B"}, {23, "Na"}}).resize(72 + 144 + 10);
  const Bytes rg711 = fx::RunGroup({{7, "Li"}, {11, "B"}}), rg7 = fx::RunGroup({{7, "Li"}}),
              rg79 = fx::RunGroup({{7, "Li"}, {9, "Be"}}), rgEmpty = fx::RunGroup({}),
              rgCut = Bytes(rg711).resize(436 + 40),
              rgMany = fx::RunGroup({{7, "Li"}, {11, "B"}, {23, "Na"}, {24, "Mg"}});
  struct Case { const char* what; const Bytes *calib, *runGroup; int result, message; } cases[] = {
      {"mass not calibrated", &calib711_23, &rg79, -1, 0},
      {"more masses than elements", &calib711, &rgMany, -1, 0},
      {"no run group file, elements", &calib711, nullptr, 1, 0},
      {"no run group file, no elements", &calibNone, nullptr, 0, 0},
      {"no run group file, negative count", &calibNeg, nullptr, -100, 0},
      {"empty run group", &calib711, &rgEmpty, 1, 0},
      {"masses but no elements", &calibNone, &rg711, -1, 0},
      {"run group records short", &calib711, &rgCut, -100, 1036},
      {"calibration count unreadable", &calibCountGone, &rg711, -100, 1035},
      {"found before the cut", &calibCut, &rg7, 1, 0},
      {"one found, one not before the cut", &calibCut, &rg711, -100, 1035},
  };
  for (const Case& c : cases) {
    CalibrationComparison got = CompareCalibration(Open(c.calib).get(), Open(c.runGroup).get());
    EXPECT_EQ(got.result, c.result) << c.what;
    EXPECT_EQ(got.message, c.message) << c.what;
  }
}

}  // namespace
