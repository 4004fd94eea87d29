// The calibration, QC database, tune-criteria and run group layouts and the
// lists, tables and answers derived from them, on fixture bytes in memory.
#include <gtest/gtest.h>

#include <map>

#include "instfiles/calblayout.h"
#include "instfiles/masslist.h"
#include "instfiles/qclayout.h"
#include "instfiles/runmasses.h"
#include "qcfixtures.h"

namespace {

using namespace mcr;
using mcrtest::Bytes;
namespace fx = mcrtest::fx;
using Masses = std::vector<std::int32_t>;
using Names = std::vector<std::string>;

MemorySource Source(const Bytes& b) { return MemorySource(b.data()); }

// A method directory in memory: file name (after the directory) -> bytes.
struct Folder {
  std::map<std::string, Bytes> files;
  FileOpener opener() const {
    return [this](const std::string& path) -> std::unique_ptr<ByteSource> {
      if (path.rfind("M\\", 0) != 0) return nullptr;
      auto it = files.find(path.substr(2));
      if (it == files.end()) return nullptr;
      return std::make_unique<MemorySource>(it->second.data());
    };
  }
};

const char kNotQuantified[] = "NOQ";

// Records of the calibration used by the list tests: internal standards at
// 115 (twice) and 45, point entries between records, a not-quantified
// mode text, a name in parentheses, and masses outside 1 to 260.
const std::vector<fx::CalElement> kCal = {
    {115, "In", "", 1, 2}, {45, "Sc", "", 3, 0},          {7, "Li", kNotQuantified, 0, 1},
    {59, "(Co)", "", 0, 3}, {115, "In", "STD", 2, 0},     {300, "Hi", "", 0, 0},
    {0, "Zero", "", 5, 0},  {75, "As", "", 0, 4},         {56, "(Fe", "", 0, 0},
};

TEST(CalibrationLists, EachSelector) {
  Bytes file = fx::Calibration(kCal);
  struct Case { Selector sel; Masses masses; } cases[] = {
      {Selector::Mass, {115, 45, 7, 59, 115, 300, 0, 75, 56}},
      // Distinct, ascending, only positions 1 to 260.
      {Selector::Istd, {45, 115}},
      {Selector::Ana, {7, 56, 59, 75}},
      // Parentheses only when both ends are there.
      {Selector::On, {115, 45, 115, 300, 0, 75, 56}},
      {Selector::Off, {7, 59}},
  };
  for (const Case& c : cases) {
    MemorySource src = Source(file);
    MassList list = ListCalibration(src, c.sel, kNotQuantified);
    EXPECT_EQ(list.status, ListStatus::Ok);
    EXPECT_EQ(list.masses, c.masses) << static_cast<int>(c.sel);
    EXPECT_EQ(list.count(), c.masses.size());
  }
  MemorySource src = Source(file);
  MassList names = ListCalibration(src, Selector::Name, kNotQuantified);
  EXPECT_EQ(names.names, (Names{"In", "Sc", "Li", "(Co)", "In", "Hi", "Zero", "As", "(Fe"}));
  EXPECT_EQ(names.count(), 9u);
}

TEST(CalibrationLists, ShortAndCorruptFiles) {
  std::vector<fx::CalElement> three = {{11, "B", "", 0, 1}, {23, "Na", "", 0, 0}, {27, "Al", "", 0, 0}};
  Bytes whole = fx::Calibration(three);
  struct Case {
    const char* what;
    Bytes file;
    ListStatus status;
    Masses masses;
  } cases[] = {
      {"header short", Bytes(whole).resize(19), ListStatus::Unreadable, {}},
      {"count beyond the end", fx::Calibration(three, {5000, 72, std::nullopt, false}), ListStatus::Unreadable, {}},
      {"count cut", Bytes(fx::Calibration({}, {52, 72})).resize(54), ListStatus::Unreadable, {}},
      {"count larger than the file", fx::Calibration(three, {52, 72, 2000000000}), ListStatus::Ok, {11, 23, 27}},
      {"count negative", fx::Calibration(three, {52, 72, -5}), ListStatus::Ok, {}},
      {"last record cut", Bytes(whole).resize(whole.size() - 1), ListStatus::Ok, {11, 23}},
      {"first record beyond the end", fx::Calibration(three, {52, 72}).u32(16, 0xFFFFFFF0u),
       ListStatus::Ok, {}},
      // K negative: the next record cannot be found, the list ends there.
      {"K negative", fx::Calibration({{11, "B", "", 0, -3}, {23, "Na", "", 0, 0}}), ListStatus::Ok, {11}},
      {"K huge", fx::Calibration({{11, "B", "", 0, 0}, {23, "Na", "", 0, 0}}).i32(72 + 86, 0x7FFFFFFF),
       ListStatus::Ok, {11}},
  };
  for (Case& c : cases) {
    MemorySource src = Source(c.file);
    MassList list = ListCalibration(src, Selector::Mass, kNotQuantified);
    EXPECT_EQ(list.status, c.status) << c.what;
    EXPECT_EQ(list.masses, c.masses) << c.what;
  }
}

TEST(CalibrationLists, AtMost260Items) {
  std::vector<fx::CalElement> many;
  for (int i = 0; i < 300; ++i) many.push_back({i % 7 == 0 ? 7 : 100 + i % 50, "E", i < 20 ? kNotQuantified : "", 0, 0});
  Bytes file = fx::Calibration(many);
  struct Case { Selector sel; std::size_t count; } cases[] = {
      {Selector::Mass, 260}, {Selector::Name, 260}, {Selector::On, 260}, {Selector::Off, 20},
      {Selector::Ana, 51},  // distinct masses found over all 300 records
  };
  for (const Case& c : cases) {
    MemorySource src = Source(file);
    EXPECT_EQ(ListCalibration(src, c.sel, kNotQuantified).count(), c.count) << static_cast<int>(c.sel);
  }
  // "ON" skips the 20 not-quantified records and still fills up to 260.
  MemorySource src = Source(file);
  MassList on = ListCalibration(src, Selector::On, kNotQuantified);
  EXPECT_EQ(on.masses.front(), 120);  // record 20
  EXPECT_EQ(on.masses[1], 7);
}

const std::vector<fx::QcElement> kQcElements = {
    {45, "Sc", 1}, {7, "Li", 0}, {115, "In", 1}, {75, "As", 0}, {59, "Co", 2},
};

fx::QcCheck Check(std::int16_t mass, std::int16_t checkOff, std::int16_t reportOff) {
  fx::QcCheck c{};
  c.mass = mass;
  c.checkOff = checkOff;
  c.reportOff = reportOff;
  return c;
}

std::vector<fx::QcGroup> QcGroups() {
  return {
      {3, {Check(7, 1, 0), Check(75, 0, 1)}},
      {1, {Check(7, 0, 1), Check(59, 1, 1), Check(75, 2, 0), Check(111, 1, 2)}},
      {1, {Check(200, 0, 0)}},  // a second group 1 is never read
  };
}

TEST(QcDatabaseLists, GroupsThatCannotBeFound) {
  std::int32_t one = 1, nine = 9, big = 65537;  // 65537 must not match group 1 by its low bits
  struct Case {
    const char* what;
    Bytes file;
    const std::int32_t* group;
    ListStatus status;
  } cases[] = {
      {"no group number", fx::QcDatabase(kQcElements, QcGroups()), nullptr, ListStatus::GroupMissing},
      {"no such group", fx::QcDatabase(kQcElements, QcGroups()), &nine, ListStatus::NoGroup},
      {"wide number", fx::QcDatabase(kQcElements, QcGroups()), &big, ListStatus::NoGroup},
      {"group count 0", fx::QcDatabase(kQcElements, QcGroups(), {3003, std::nullopt, 0}), &one, ListStatus::NoGroup},
      {"group count negative", fx::QcDatabase(kQcElements, QcGroups(), {3003, std::nullopt, -4}), &one, ListStatus::NoGroup},
      {"group area cut", Bytes(fx::QcDatabase(kQcElements, QcGroups())).resize(120 + 12 + 130), &one,
       ListStatus::NoGroup},
      {"negative entries before it",
       fx::QcDatabase(kQcElements, {{3, {Check(7, 0, 0)}, -2}, {1, {Check(7, 0, 0)}}}), &one, ListStatus::NoGroup},
      {"information block cut", Bytes(fx::QcDatabase(kQcElements, QcGroups())).resize(40 + 70 + 6 + 11), &one,
       ListStatus::Unreadable},
  };
  for (Case& c : cases) {
    MemorySource src = Source(c.file);
    EXPECT_EQ(ListQcDatabase(src, Selector::On, c.group).status, c.status) << c.what;
  }
}

TEST(QcDatabaseLists, ShortListsAndHugeCounts) {
  Bytes file = fx::QcDatabase(kQcElements, QcGroups(), {3003, 30000});
  MemorySource src = Source(file);
  // The element list runs into the information block and the groups; it
  // stops at 260 items or at the end of the file, whichever comes first.
  MassList list = ListQcDatabase(src, Selector::Mass, nullptr);
  EXPECT_EQ(list.status, ListStatus::Ok);
  EXPECT_LE(list.masses.size(), kListMax);
  EXPECT_EQ(Masses(list.masses.begin(), list.masses.begin() + 5), (Masses{45, 7, 115, 75, 59}));

  std::int32_t one = 1;
  Bytes cut = fx::QcDatabase(kQcElements, {{1, {Check(7, 0, 0), Check(9, 0, 0), Check(11, 0, 0)}}});
  cut.resize(cut.size() - 1);
  MemorySource cutSrc = Source(cut);
  EXPECT_EQ(ListQcDatabase(cutSrc, Selector::On, &one).masses, (Masses{7, 9}));
}

// --- run groups -------------------------------------------------------------

MethodRunGroups Method(int mode, std::vector<std::int32_t> list = {}) {
  MethodRunGroups m;
  m.mode = mode;
  m.count = mode == 2 ? 10 : mode < 0 ? 0 : 1;
  if (mode == 4 || mode == 5) m.list[0] = 0;
  else if (mode >= 0 && mode != 2) m.list[0] = 1;
  for (std::size_t i = 0; i < list.size(); ++i) m.list[i] = list[i];
  return m;
}

TEST(RunGroupMassTable, BlocksByMode) {
  Folder f;
  f.files["rungroup.01"] = fx::RunGroup({{7, "Li"}, {115, "In"}, {0, "Zero"}, {261, "Far"}, {-3, "Neg"}});
  f.files["rungroup.03"] = fx::RunGroup({{7, "Li7"}, {260, "Top"}});
  f.files["rungroup.12"] = fx::RunGroup({{89, "Y"}});
  auto table = std::make_unique<RunGroupMassTable>();

  ASSERT_TRUE(FillRunGroupMassTable("M", Method(4), f.opener(), *table));
  EXPECT_EQ(MassTableEntry(*table, 1, 7).measured, 1);
  EXPECT_STREQ(MassTableEntry(*table, 1, 7).name, "Li");
  EXPECT_EQ(MassTableEntry(*table, 3, 7).measured, 1);
  EXPECT_STREQ(MassTableEntry(*table, 3, 7).name, "Li7");
  EXPECT_EQ(MassTableEntry(*table, 3, 260).measured, 1);
  EXPECT_EQ(MassTableEntry(*table, 2, 7).measured, 0);
  int measured = 0;
  for (const RunGroupMassEntry& e : table->entries) measured += e.measured;
  EXPECT_EQ(measured, 4);  // masses 0, 261 and -3 have no entry

  // Mode 2: the event run groups merge into block 1; the name read last stays.
  ASSERT_TRUE(FillRunGroupMassTable("M", Method(2, {3, 0, 12, 1}), f.opener(), *table));
  EXPECT_STREQ(MassTableEntry(*table, 1, 7).name, "Li");
  EXPECT_EQ(MassTableEntry(*table, 1, 89).measured, 1);
  EXPECT_EQ(MassTableEntry(*table, 1, 260).measured, 1);
  EXPECT_EQ(MassTableEntry(*table, 3, 7).measured, 0);

  ASSERT_TRUE(FillRunGroupMassTable("M", Method(1), f.opener(), *table));
  EXPECT_EQ(MassTableEntry(*table, 1, 115).measured, 1);
  EXPECT_EQ(MassTableEntry(*table, 1, 260).measured, 0);  // cleared first
}

TEST(RunGroupMassTable, Failures) {
  Folder none;
  Folder shortRecord;
  shortRecord.files["rungroup.02"] = Bytes(fx::RunGroup({{7, "Li"}, {9, "Be"}})).resize(436 + 30);
  Folder shortHeader;
  shortHeader.files["rungroup.01"] = Bytes(fx::RunGroup({})).resize(435);
  Folder huge;
  huge.files["rungroup.01"] = fx::RunGroup({{7, "Li"}}, 0x7FFFFFFF);
  auto table = std::make_unique<RunGroupMassTable>();
  struct Case { const char* what; const Folder& f; MethodRunGroups m; } cases[] = {
      {"invalid method", none, Method(-1)},
      {"tune-step method without run groups", none, Method(5)},
      {"run group 1 missing", none, Method(0)},
      {"mode 2 group missing", none, Method(2, {4})},
      {"short record", shortRecord, Method(4)},
      {"short header", shortHeader, Method(3)},
      {"count beyond the file", huge, Method(0)},
  };
  for (const Case& c : cases) EXPECT_FALSE(FillRunGroupMassTable("M", c.m, c.f.opener(), *table)) << c.what;
  Folder empty;
  empty.files["rungroup.01"] = fx::RunGroup({}, -7);
  EXPECT_TRUE(FillRunGroupMassTable("M", Method(0), empty.opener(), *table));
}

TEST(TuneMassCheck, ByModeAndStep) {
  Folder f;
  f.files["rungroup.01"] = fx::RunGroup({{7, "Li"}, {89, "Y"}});
  f.files["rungroup.02"] = fx::RunGroup({{205, "Tl"}, {7, "Li"}});
  f.files["rungroup.05"] = fx::RunGroup({{89, "Y"}});
  Bytes tune = fx::TuneCriteria({{7, "Li"}, {89, "Y"}});
  Bytes twice = fx::TuneCriteria({{7, "Li"}, {7, "Li"}});
  Bytes empty = fx::TuneCriteria({});
  struct Case {
    const char* what;
    const Bytes* tuneFile;
    int step;
    MethodRunGroups method;
    int result;
  } cases[] = {
      {"mode 0 step 1", &tune, 1, Method(0), 0},
      {"mode 0 step 2", &tune, 2, Method(0), -1},
      {"mode 3", &tune, 1, Method(3), 0},
      {"tune step 2 lacks 89", &tune, 2, Method(4), 1},
      {"tune step 1", &tune, 1, Method(5), 0},
      {"tune step 3 has no run group", &tune, 3, Method(4), -1},
      {"mode 2 over two groups", &tune, 1, Method(2, {2, 0, 5}), 0},
      {"mode 2 group missing", &tune, 1, Method(2, {2, 8}), -1},
      {"each tune mass needs its own record", &twice, 1, Method(0), 1},
      {"same mass in two run groups", &twice, 1, Method(2, {1, 2}), 0},
      {"no tune masses", &empty, 1, Method(0), 0},
      {"no tune masses, invalid method", &empty, 1, Method(-1), -1},
      {"no tune-criteria file", nullptr, 1, Method(0), -1},
  };
  for (const Case& c : cases) {
    std::optional<MemorySource> src;
    if (c.tuneFile) src.emplace(c.tuneFile->data());
    EXPECT_EQ(CheckTuneMasses(src ? &*src : nullptr, c.step, "M", c.method, f.opener()), c.result) << c.what;
  }
  // An unreadable tune-criteria file answers 1 before the method is looked at.
  for (std::size_t size : {10u, 25u, 32u + 14u + 3u}) {
    MemorySource cut = Source(Bytes(tune).resize(size));
    EXPECT_EQ(CheckTuneMasses(&cut, 1, "M", Method(-1), f.opener()), 1) << size;
  }
}

TEST(CalibrationComparison, Answers) {
  Bytes calib711_23 = fx::Calibration({{7, "Li", "", 0, 2}, {11, "B"}, {23, "Na"}});
  Bytes calib711 = fx::Calibration({{11, "B"}, {7, "Li"}});
  Bytes calibNone = fx::Calibration({});
  Bytes calibNeg = fx::Calibration({}, {52, 72, -1});
  Bytes calibCut = Bytes(fx::Calibration({{7, "Li"}, {11, "B"}, {23, "Na"}})).resize(72 + 144 + 10);
  Bytes rg711 = fx::RunGroup({{7, "Li"}, {11, "B"}});
  Bytes rg7 = fx::RunGroup({{7, "Li"}});
  Bytes rg79 = fx::RunGroup({{7, "Li"}, {9, "Be"}});
  Bytes rg23 = fx::RunGroup({{23, "Na"}});
  Bytes rgEmpty = fx::RunGroup({});
  Bytes rgShortHeader = Bytes(rg711).resize(400);
  Bytes rgCut = Bytes(rg711).resize(436 + 40);
  Bytes rgMany = fx::RunGroup({{7, "Li"}, {11, "B"}, {23, "Na"}, {24, "Mg"}});
  struct Case {
    const char* what;
    const Bytes* calib;
    const Bytes* runGroup;
    int result, message;
  } cases[] = {
      {"calibration has more", &calib711_23, &rg711, 1, 0},
      {"same masses", &calib711, &rg711, 0, 0},
      {"mass not calibrated", &calib711_23, &rg79, -1, 0},
      {"more masses than elements", &calib711, &rgMany, -1, 0},
      {"no run group file, elements", &calib711, nullptr, 1, 0},
      {"no run group file, no elements", &calibNone, nullptr, 0, 0},
      {"no run group file, negative count", &calibNeg, nullptr, -100, 0},
      {"empty run group", &calib711, &rgEmpty, 1, 0},
      {"masses but no elements", &calibNone, &rg711, -1, 0},
      {"run group header short", &calib711, &rgShortHeader, -100, 1036},
      {"run group records short", &calib711, &rgCut, -100, 1036},
      {"no calibration", nullptr, &rg711, -100, 1035},
      {"found before the cut", &calibCut, &rg7, 1, 0},
      {"one found, one not before the cut", &calibCut, &rg711, -100, 1035},
      {"not found before the cut", &calibCut, &rg23, -100, 1035},
  };
  for (const Case& c : cases) {
    std::optional<MemorySource> cal, rg;
    if (c.calib) cal.emplace(c.calib->data());
    if (c.runGroup) rg.emplace(c.runGroup->data());
    CalibrationComparison got = CompareCalibration(cal ? &*cal : nullptr, rg ? &*rg : nullptr);
    EXPECT_EQ(got.result, c.result) << c.what;
    EXPECT_EQ(got.message, c.message) << c.what;
  }
  MemorySource headerCut = Source(Bytes(calib711).resize(12));
  MemorySource rg = Source(rg711);
  CalibrationComparison h = CompareCalibration(&headerCut, &rg);
  EXPECT_EQ(h.result, -1);
  EXPECT_EQ(h.message, 1035);
  MemorySource countCut = Source(fx::Calibration({{7, "Li"}}, {5000, 72, std::nullopt, false}));
  h = CompareCalibration(&countCut, &rg);
  EXPECT_EQ(h.result, -100);
  EXPECT_EQ(h.message, 1035);
}

TEST(StepFiles, NamesAsTheWorkstationFormsThem) {
  EXPECT_EQ(StepFileName("C:\\m", "qcdb.", 2), "C:\\m\\qcdb.02");
  EXPECT_EQ(StepFileName("C:\\m\\", "calib.", 6), "C:\\m\\\\calib.06");
  EXPECT_EQ(StepFileName("m", "rungroup.", 12), "m\\rungroup.012");
  EXPECT_EQ(StepFileName("m", "calib.", -3), "m\\calib.0-3");
  EXPECT_EQ(TwoDigitFileName("m", "rungroup.", 7), "m\\rungroup.07");
  EXPECT_EQ(TwoDigitFileName("m", "rungroup.", 12), "m\\rungroup.12");
}

}  // namespace
