// The instrument-file layouts on bytes in memory: the rules the words' own tests
// cannot reach easily (double-byte texts, limits of conversions, run groups by
// mode) and the lists, tables and answers derived from corrupt or odd files.
#include <gtest/gtest.h>

#include <map>

#include "bytes.h"
#include "instfiles/calblayout.h"
#include "instfiles/datalayout.h"
#include "instfiles/methlayout.h"
#include "instfiles/qclayout.h"
#include "instfiles/runmasses.h"
#include "instfiles/seqlayout.h"
#include "qcfixtures.h"
#include "bridge/sjistext.h"

namespace {

using namespace mcr;
using mcrtest::Bytes;
namespace fx = mcrtest::fx;

const std::string kHyo = "\x95\x5C";  // a double-byte character whose second byte is '\'

TEST(TextRules, DoubleByteTextsAndSequenceRows) {
  EXPECT_FALSE(EndsWithBackslash("C:\\" + kHyo));
  EXPECT_TRUE(EndsWithBackslash(kHyo + "\\"));
  EXPECT_EQ(UpperAscii("acqMode\x83" "a"), "ACQMODE\x83" "a");  // that 'a' is a second byte
  EXPECT_FALSE(EqualNoCase("\x83" "a", "\x83" "A"));
  // The method path and row of SeqRpcMPath.
  const std::string p258(258, 'p'), p259(259, 'p');
  for (auto [in, out] : {std::pair{std::string(), std::string()}, {p259, p259 + "\\"}, {p259 + "q", p259 + "\\"},
                         {"D:\\" + kHyo, "D:\\" + kHyo + "\\"}, {p258 + kHyo, p258 + "\\"}})
    EXPECT_EQ(NormaliseMethodPath(in), out) << in.size();
  for (auto [arg, row] : {std::pair{0.4, 0}, {0.5, 1}, {350.4, 350}, {350.5, 0}, {3e9, 0}})
    EXPECT_EQ(SeqRowSelection(&arg), row) << arg;
  EXPECT_EQ(SeqRowSelection(nullptr), 0);
}

TEST(MethodLayout, RunGroupsByMode) {
  Bytes events;
  const std::int32_t groups[] = {3, 0, 5, 0, 0, 0, 0, 0, 0, 0, 8};
  for (std::size_t k = 0; k < 11; ++k) events.i32(k * 182 + 4, groups[k]).resize((k + 1) * 182);
  struct Case { std::int32_t mode; std::size_t bytes; bool ok; int count; std::vector<std::int32_t> list; } cases[] = {
      {0, 0, true, 1, {1, -9}}, {4, 0, true, 1, {0, -9}}, {6, 0, false, -1, {-9}},
      {2, 11 * 182, true, 10, {3, -9, 5, -9, -9, -9, -9, -9, -9, -9}},
      {2, 2 * 182 + 100, true, 10, {3, -9, -9}}};  // only whole records count
  for (const Case& c : cases) {
    std::vector<std::int32_t> list(10, -9);
    int count = -1;
    EXPECT_EQ(RunGroupsOf(c.mode, events.data().data(), c.bytes, list.data(), &count), c.ok) << c.mode;
    EXPECT_EQ(std::vector(list.begin(), list.begin() + c.list.size()), c.list) << c.mode;
    EXPECT_EQ(count, c.count) << c.mode;
  }
}

std::unique_ptr<ByteSource> Open(const Bytes* b) { return b ? std::make_unique<MemorySource>(b->data()) : nullptr; }
// A method directory "M" in memory: file name -> bytes.
FileOpener Folder(std::map<std::string, Bytes> files) {
  return [files](const std::string& path) -> std::unique_ptr<ByteSource> {
    auto it = path.rfind("M\\", 0) == 0 ? files.find(path.substr(2)) : files.end();
    return it == files.end() ? nullptr : Open(&it->second);
  };
}

TEST(MassLists, ShortAndCorruptFiles) {
  const Bytes calib = fx::Calibration({{11, "B", "", 0, 1}, {23, "Na"}, {27, "Al"}});
  const Bytes qc = fx::QcDatabase({{45, "Sc"}, {7, "Li"}}, {{3, {{7}}}, {1, {{7}, {9}}}});
  std::int32_t one = 1, big = 65537;  // 65537 must not match group 1 by its low bits
  struct Case { const char* what; Bytes file; bool isQc; const std::int32_t* group; ListStatus status;
                std::vector<std::int32_t> masses; } cases[] = {
      {"calibration header short", Bytes(calib).resize(19), false, nullptr, ListStatus::Unreadable, {}},
      {"more elements than records", fx::Calibration({{11, "B"}}, 2000000000), false, nullptr, ListStatus::Ok, {11}},
      {"K huge", Bytes(calib).i32(72 + 86, INT32_MAX), false, nullptr, ListStatus::Ok, {11}},
      {"no group number", qc, true, nullptr, ListStatus::GroupMissing, {}},
      {"wide group number", qc, true, &big, ListStatus::NoGroup, {}},
      {"negative count", fx::QcDatabase({}, {{1, {{7}}, std::int16_t(-1)}}), true, &one, ListStatus::Ok, {}},
      {"information block cut", Bytes(qc).resize(40 + 28 + 6 + 11), true, &one, ListStatus::Unreadable, {}}};
  for (const Case& c : cases) {
    MemorySource src(c.file.data());
    MassList list = c.isQc ? ListQcDatabase(src, Selector::On, c.group) : ListCalibration(src, Selector::Mass, "NOQ");
    EXPECT_EQ(list.status, c.status) << c.what;
    EXPECT_EQ(list.masses, c.masses) << c.what;
  }
  // A list stops at its 260th mass: of 261 elements the last is left out.
  std::vector<fx::Element> elements;
  for (std::int32_t m = 1; m <= 261; ++m) elements.push_back({m, "E"});
  const Bytes many = fx::QcDatabase(elements, {});
  MemorySource all(many.data());
  EXPECT_EQ(ListQcDatabase(all, Selector::Mass, nullptr).masses.size(), 260u);
}

MethodRunGroups Method(int mode, std::vector<std::int32_t> list = {}) {
  MethodRunGroups m{mode, {IsTuneStepMode(mode) ? 0 : 1}, mode == 2 ? 10 : mode < 0 ? 0 : 1};
  for (std::size_t i = 0; i < list.size(); ++i) m.list[i] = list[i];
  return m;
}

// (The unreported-elements dialog reads the tune steps' blocks and the files that fail.)
TEST(RunGroupMassTable, EventRunGroupsMergeIntoBlockOne) {
  // Masses 0, 261 and -3 have no entry.
  FileOpener folder = Folder({{"rungroup.01", fx::RunGroup({{7, "Li"}, {115, "In"}, {0, "O"}, {261, "X"}, {-3, "N"}})},
                              {"rungroup.03", fx::RunGroup({{7, "Li7"}, {260, "Top"}})},
                              {"rungroup.12", fx::RunGroup({{89, "Y"}})}});
  auto table = std::make_unique<RunGroupMassTable>();
  auto measured = [&](std::vector<std::pair<int, int>> at) {
    std::string flags;
    for (auto [block, mass] : at) flags += MassTableEntry(*table, block, mass).measured ? '1' : '0';
    return flags;
  };
  // Mode 2: the event run groups merge into block 1; the name read last stays.
  ASSERT_TRUE(FillRunGroupMassTable("M", Method(2, {3, 0, 12, 1}), folder, *table));
  EXPECT_STREQ(MassTableEntry(*table, 1, 7).name, "Li");
  EXPECT_EQ(measured({{1, 89}, {1, 260}, {3, 7}}), "110");
  ASSERT_TRUE(FillRunGroupMassTable("M", Method(1), folder, *table));
  EXPECT_EQ(measured({{1, 115}, {1, 260}}), "10");  // cleared first
  EXPECT_FALSE(FillRunGroupMassTable("M", Method(-1), folder, *table));
}

TEST(TuneAndCalibration, AnswersFromOddFiles) {
  FileOpener folder = Folder({{"rungroup.01", fx::RunGroup({{7, "Li"}, {89, "Y"}})},
                              {"rungroup.02", fx::RunGroup({{205, "Tl"}, {7, "Li"}})},
                              {"rungroup.05", fx::RunGroup({{89, "Y"}})}});
  const Bytes tune = fx::TuneCriteria({{7, "Li"}, {89, "Y"}}), twice = fx::TuneCriteria({{7, "Li"}, {7, "Li"}}),
              empty = fx::TuneCriteria({}), cut = Bytes(tune).resize(25);
  struct Tune { const char* what; const Bytes* tuneFile; int step; MethodRunGroups method; int result; } tunes[] = {
      {"tune step 3 has no run group", &tune, 3, Method(4), -1}, {"mode 6 is no method", &tune, 1, Method(6), -1},
      {"a method of mode 0 has step 1 only", &tune, 2, Method(0), -1},
      {"each tune mass needs its own record", &twice, 1, Method(0), 1},
      {"same mass in two run groups", &twice, 1, Method(2, {1, 2}), 0}, {"no tune masses", &empty, 1, Method(0), 0},
      {"no tune masses, invalid method", &empty, 1, Method(-1), -1},
      {"information block short, before the method", &cut, 1, Method(-1), 1}};
  for (const Tune& c : tunes)
    EXPECT_EQ(CheckTuneMasses(Open(c.tuneFile).get(), c.step, "M", c.method, folder), c.result) << c.what;

  const Bytes calib711_23 = fx::Calibration({{7, "Li", "", 0, 2}, {11, "B"}, {23, "Na"}}),
              calib711 = fx::Calibration({{11, "B"}, {7, "Li"}}), calibNone = fx::Calibration({}),
              calibNeg = fx::Calibration({}, -1), calibCut = Bytes(calib711_23).resize(72 + 144 + 2 * 48 + 10);
  const Bytes rg711 = fx::RunGroup({{7, "Li"}, {11, "B"}}), rg79 = fx::RunGroup({{7, "Li"}, {9, "Be"}}),
              rgCut = Bytes(rg711).resize(436 + 40), rgMany = fx::RunGroup({{7, ""}, {11, ""}, {23, ""}, {24, ""}});
  struct Cal { const char* what; const Bytes *calib, *runGroup; int result, message; } cals[] = {
      {"mass not calibrated", &calib711_23, &rg79, -1, 0}, {"more masses than elements", &calib711, &rgMany, -1, 0},
      {"no run group file, elements", &calib711, nullptr, 1, 0},
      {"no run group file, negative count", &calibNeg, nullptr, -100, 0},
      {"masses but no elements", &calibNone, &rg711, -1, 0}, {"run group records short", &calib711, &rgCut, -100, 1036},
      {"calibration records short", &calibCut, &rg711, -100, 1035}};
  for (const Cal& c : cals) {
    CalibrationComparison got = CompareCalibration(Open(c.calib).get(), Open(c.runGroup).get());
    EXPECT_EQ(std::pair(got.result, got.message), std::pair(c.result, c.message)) << c.what;
  }
}

}  // namespace
