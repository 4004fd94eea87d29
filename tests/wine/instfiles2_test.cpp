// The mass-list, tune-step and QC information words called as a macro would,
// on fixture files of a method directory, and the two windows they open:
// the tune-step dialog and the QC information message box.
#include <windows.h>

#include <cmath>
#include <optional>

#include "dialogs.h"
#include "qcfixtures.h"
#include "testhost.h"

namespace mcrtest {
namespace {

// A numeric word call and what it must give. Every function here ends with
// status 0, after an error too.
struct Case {
  const char* word;
  std::vector<Arg> args;
  double result;
  std::optional<std::string> error;  // kind-1 text (ANSI)
};
Case Ok(const char* w, std::vector<Arg> a, double r) { return {w, std::move(a), r, std::nullopt}; }
Case Err(const char* w, std::vector<Arg> a, double r, std::string msg) {
  return {w, std::move(a), r, std::move(msg)};
}

std::optional<std::vector<double>> TableVar(Host& host, const std::string& name) {
  const mcrhost::Var* v = host.vars().find(name);
  if (!v || v->type != mcrhost::Var::Type::Table) return std::nullopt;
  return *host.vars().table(v->table);
}

std::optional<double> NumVar(Host& host, const std::string& name) {
  const mcrhost::Var* v = host.vars().find(name);
  if (!v || v->type != mcrhost::Var::Type::Number) return std::nullopt;
  return v->number;
}

using Table = std::vector<double>;

class InstWords : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = OpenHost();
    host_->vars().setString("_CurrentMeth$", dir_.path());
  }
  void Put(const std::string& name, const Bytes& bytes) { ASSERT_TRUE(bytes.save(dir_.file(name))); }
  void Put(const TempDir& dir, const std::string& name, const Bytes& bytes) {
    ASSERT_TRUE(bytes.save(dir.file(name)));
  }
  Arg Dir() const { return S(dir_.path()); }
  void Run(const std::vector<Case>& cases) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const Case& c = cases[i];
      SCOPED_TRACE(std::string(c.word) + " case " + std::to_string(i));
      Outcome o = host_->call(c.word, c.args);
      EXPECT_EQ(o.status, 0);
      ASSERT_TRUE(o.result && !o.result->isString);
      EXPECT_EQ(o.result->number, c.result);
      if (c.error) {
        ASSERT_NE(o.error(), nullptr);
        EXPECT_EQ(U(*o.error()), U(*c.error));
      } else {
        EXPECT_EQ(o.error(), nullptr) << U(*o.error());
      }
    }
  }
  // Calls a word that fills the table variable T and returns the table.
  std::optional<Table> Listed(const char* word, std::vector<Arg> args, double count) {
    host_->vars().erase("T");
    Run({Ok(word, std::move(args), count)});
    return TableVar(*host_, "T");
  }

  TempDir dir_;
  std::unique_ptr<Host> host_;
};

// --- mass lists ---------------------------------------------------------------

TEST_F(InstWords, MassListStepsAndSelectors) {
  Put("calib.01", fx::Calibration({{115, "In", "", 1}, {45, "Sc", "", 1}, {115, "In", "", 1}, {7, "Li"}}));
  Put("calib.06", fx::Calibration({{205, "Tl"}}));
  Put("qcdb.03", fx::QcDatabase({{7, "Li"}, {45, "Sc", 1}}, {}));
  Put("qctune.02", fx::TuneCriteria({{89, "Y"}, {140, "Ce"}}));
  EXPECT_EQ(Listed("GetCalMasInf", {N(0.5), S("mass"), Dir(), S("T")}, 4), (Table{115, 45, 115, 7}));
  EXPECT_EQ(Listed("GetCalMasInf", {N(6.49), S("Mass"), Dir(), S("T")}, 1), (Table{205}));
  EXPECT_EQ(Listed("GetCalMasInf", {N(1), S("iStD"), Dir(), S("T")}, 2), (Table{45, 115}));
  EXPECT_EQ(Listed("GetCalMasInf", {N(1), S("ana"), Dir(), S("T")}, 1), (Table{7}));
  EXPECT_EQ(Listed("GetQDBMasInf", {N(3), S("istd"), Dir(), S("T")}, 1), (Table{45}));
  EXPECT_EQ(Listed("GetTNCMasInf", {N(2.4), S("MASS"), Dir(), S("T")}, 2), (Table{89, 140}));
  // The directory falls back to the current method when omitted or empty.
  EXPECT_EQ(Listed("GetTNCMasInf", {N(2), S("MASS"), Omit(), S("T")}, 2), (Table{89, 140}));
  EXPECT_EQ(Listed("GetCalMasInf", {N(6), S("MASS"), S(""), S("T")}, 1), (Table{205}));

  Run({
      Err("GetCalMasInf", {N(6.5), S("MASS"), Dir(), S("T")}, -1, Msg(1032)),
      Err("GetCalMasInf", {N(0.4), S("MASS"), Dir(), S("T")}, -1, Msg(1032)),
      Err("GetQDBMasInf", {N(3e9), S("MASS"), Dir(), S("T")}, -1, Msg(1032)),
      Err("GetCalMasInf", {Omit(), S("MASS"), Dir(), S("T")}, -1, Msg(1008)),
      Err("GetCalMasInf", {N(1), Omit(), Dir(), S("T")}, -1, Msg(1008)),
      Err("GetQDBMasInf", {N(1), S("MASS"), Dir(), Omit()}, -1, Msg(1008)),
      Err("GetCalMasInf", {N(1), S("rpt_on"), Dir(), S("T")}, -1, Msg(1009, "RPT_ON")),
      Err("GetTNCMasInf", {N(1), S("istd"), Dir(), S("T")}, -1, Msg(1009, "ISTD")),
      Err("GetQDBMasInf", {N(1), S("masses"), Dir(), S("T")}, -1, Msg(1009, "MASSES")),
      // Only single-byte letters change case.
      Err("GetQDBMasInf", {N(1), S("ﾏｽa"), Dir(), S("T")}, -1, Msg(1009, A("ﾏｽA").c_str())),
      // The step is checked before the selector, the selector before the file.
      Err("GetCalMasInf", {N(9), S("bogus"), Dir(), S("T")}, -1, Msg(1032)),
      Err("GetCalMasInf", {N(4), S("bogus"), Dir(), S("T")}, -1, Msg(1009, "BOGUS")),
  });
}

TEST_F(InstWords, MassListNamesInGroupsOfTen) {
  std::vector<fx::CalElement> names23;
  for (int i = 1; i <= 23; ++i) names23.push_back({i, "E" + std::to_string(i)});
  names23[1].name = "ﾘﾁｳﾑ";
  names23[2].name = "金";
  for (auto& e : names23) e.name = A(e.name);
  std::vector<fx::CalElement> names20(names23.begin(), names23.begin() + 20);
  Put("calib.01", fx::Calibration(names23));
  Put("calib.02", fx::Calibration(names20));
  host_->vars().setNumber("X", 5);
  Run({Ok("GetCalMasInf", {N(1), S("name"), Dir(), S("X")}, 23)});
  EXPECT_EQ(StrVar(*host_, "X1"), A("E1,ﾘﾁｳﾑ,金,E4,E5,E6,E7,E8,E9,E10"));
  EXPECT_EQ(StrVar(*host_, "X2"), "E11,E12,E13,E14,E15,E16,E17,E18,E19,E20");
  EXPECT_EQ(StrVar(*host_, "X3"), "E21,E22,E23");
  EXPECT_EQ(NumVar(*host_, "X"), 5.0);  // the variable itself is not touched
  // Twenty names fill two groups; the third of the earlier list stays.
  host_->vars().setString("X1", "stale");
  Run({Ok("GetCalMasInf", {N(2), S("NAME"), Dir(), S("X")}, 20)});
  EXPECT_EQ(StrVar(*host_, "X1"), A("E1,ﾘﾁｳﾑ,金,E4,E5,E6,E7,E8,E9,E10"));
  EXPECT_EQ(StrVar(*host_, "X3"), "E21,E22,E23");

  Put("qctune.03", fx::TuneCriteria({{7, "Li"}, {89, "Y"}}));
  Run({Ok("GetTNCMasInf", {N(3), S("name"), Dir(), S("Tn")}, 2)});
  EXPECT_EQ(StrVar(*host_, "Tn1"), "Li,Y");
  EXPECT_EQ(StrVar(*host_, "Tn2"), "<missing>");
}

TEST_F(InstWords, MassListQuantifiedOrNot) {
  const std::string notQuantified = A("定量しない");
  Put("calib.04", fx::Calibration({
                      {7, "Li", notQuantified},
                      {9, "(Be)", "STD"},
                      {11, "B", "STD"},
                      {23, "(Na", ""},
                      {24, "Mg", A("定量する")},
                  }));
  EXPECT_EQ(Listed("GetCalMasInf", {N(4), S("on"), Dir(), S("T")}, 3), (Table{11, 23, 24}));
  EXPECT_EQ(Listed("GetCalMasInf", {N(4), S("off"), Dir(), S("T")}, 2), (Table{7, 9}));
}

TEST_F(InstWords, MassListUnreadableFilesLeaveTheVariable) {
  Put("calib.02", Bytes(fx::Calibration({{7, "Li"}})).resize(19));
  Put("calib.03", fx::Calibration({{7, "Li"}}, {4000, 72, std::nullopt, false}));
  Put("qcdb.02", Bytes(fx::QcDatabase({{7, "Li"}}, {})).resize(60));
  Put("qctune.02", Bytes(fx::TuneCriteria({{7, "Li"}})).resize(30));
  struct Probe { const char* word; double step; } probes[] = {
      {"GetCalMasInf", 1}, {"GetCalMasInf", 2}, {"GetCalMasInf", 3},
      {"GetQDBMasInf", 1}, {"GetQDBMasInf", 2}, {"GetTNCMasInf", 2},
  };
  for (const Probe& p : probes) {
    SCOPED_TRACE(std::string(p.word) + " " + std::to_string(p.step));
    host_->vars().setNumber("T", 42);
    Run({Ok(p.word, {N(p.step), S("MASS"), Dir(), S("T")}, -1)});
    EXPECT_EQ(NumVar(*host_, "T"), 42.0);
  }
  // A file shorter than its count says lists what it holds.
  Put("calib.05", Bytes(fx::Calibration({{7, "Li"}, {9, "Be"}, {11, "B"}})).resize(72 + 2 * 144 + 100));
  EXPECT_EQ(Listed("GetCalMasInf", {N(5), S("MASS"), Dir(), S("T")}, 2), (Table{7, 9}));
  // An empty list is an empty table.
  Put("calib.06", fx::Calibration({}));
  EXPECT_EQ(Listed("GetCalMasInf", {N(6), S("ISTD"), Dir(), S("T")}, 0), Table{});
}

fx::QcCheck Entry(std::int16_t mass, std::int16_t checkOff, std::int16_t reportOff) {
  fx::QcCheck c{};
  c.mass = mass;
  c.checkOff = checkOff;
  c.reportOff = reportOff;
  return c;
}

TEST_F(InstWords, MassListQcGroups) {
  std::vector<fx::QcGroup> groups = {
      {2, {Entry(7, 1, 0), Entry(9, 0, 1)}},
      {1, {Entry(7, 0, 1), Entry(45, 1, 0), Entry(115, 0, 0)}},
      {2, {Entry(200, 0, 0)}},
  };
  Put("qcdb.01", fx::QcDatabase({{7, "Li"}}, groups, {3003}));
  Put("qcdb.02", fx::QcDatabase({{7, "Li"}}, groups, {3002}));
  EXPECT_EQ(Listed("GetQDBMasInf", {N(1), S("on"), Dir(), S("T"), N(1)}, 2), (Table{7, 115}));
  EXPECT_EQ(Listed("GetQDBMasInf", {N(1), S("OFF"), Dir(), S("T"), N(1.4)}, 1), (Table{45}));
  EXPECT_EQ(Listed("GetQDBMasInf", {N(1), S("off"), Dir(), S("T"), N(2)}, 1), (Table{7}));  // first group 2 only
  EXPECT_EQ(Listed("GetQDBMasInf", {N(1), S("rpt_on"), Dir(), S("T"), N(1)}, 2), (Table{45, 115}));
  EXPECT_EQ(Listed("GetQDBMasInf", {N(1), S("RPT_OFF"), Dir(), S("T"), N(1)}, 1), (Table{7}));
  EXPECT_EQ(Listed("GetQDBMasInf", {N(2), S("rpt_on"), Dir(), S("T"), N(1)}, 3), (Table{7, 45, 115}));
  EXPECT_EQ(Listed("GetQDBMasInf", {N(2), S("rpt_off"), Dir(), S("T"), N(1)}, 0), Table{});

  // No group 9: -1 and the variable is gone. No group number: 1008 and the
  // variable stays.
  host_->vars().setNumber("T", 42);
  Run({Ok("GetQDBMasInf", {N(1), S("ON"), Dir(), S("T"), N(9)}, -1)});
  EXPECT_EQ(host_->vars().find("T"), nullptr);
  host_->vars().setNumber("T", 42);
  Run({Err("GetQDBMasInf", {N(1), S("ON"), Dir(), S("T"), Omit()}, -1, Msg(1008))});
  EXPECT_EQ(NumVar(*host_, "T"), 42.0);
  // The element-list selectors need no group number.
  EXPECT_EQ(Listed("GetQDBMasInf", {N(1), S("MASS"), Dir(), S("T"), Omit()}, 1), (Table{7}));
  // Without a file the missing group number is never asked for.
  Run({Ok("GetQDBMasInf", {N(5), S("ON"), Dir(), S("T"), Omit()}, -1)});
}

// --- tune steps ---------------------------------------------------------------

TEST_F(InstWords, TuneStepSummary) {
  Put("qcdb.02", fx::QcDatabase({{7, "Li"}, {9, "Be"}, {11, "B"}}, {}));
  Put("qcdb.05", fx::QcDatabase({}, {}));
  Put("qctune.06", fx::TuneCriteria({{7, "Li"}, {9, "Be"}}));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("qcdb"), Dir(), S("T")}, 1), (Table{0, 3, 0, 0, 0, 0}));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("Tncr"), Dir(), S("T")}, 1), (Table{0, 0, 0, 0, 0, 2}));

  TempDir calib;
  for (int n = 1; n <= 6; ++n)
    if (n != 4) Put(calib, "calib.0" + std::to_string(n), fx::Calibration({{7, "Li"}}, {52, 72, n}));
  host_->vars().setNumber("T", 42);
  Run({Err("GETTUNESTEP", {S("CALB"), S(calib.path()), S("T")}, -1, Msg(1034))});
  EXPECT_EQ(host_->vars().find("T"), nullptr);
  Put(calib, "calib.04", fx::Calibration({}));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("calb"), S(calib.path()), S("T")}, 5), (Table{1, 2, 3, 0, 5, 6}));

  Put("run.icp", fx::Method(1));
  Put("rungroup.01", fx::RunGroup({{7, "Li"}, {9, "Be"}}));
  Put("rungroup.02", fx::RunGroup({{11, "B"}}));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("RUNP"), Dir(), S("T")}, 1), (Table{2, 0, 0, 0, 0, 0}));
  Put("run.icp", fx::Method(5));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("runp"), Dir(), S("T")}, 2), (Table{2, 1, 0, 0, 0, 0}));
  // Mode 2: one slot per event; a run group named twice counts once.
  Put("run.icp", fx::Method(2, {2, 0, 1, 2}));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("RUNP"), Dir(), S("T")}, 2), (Table{1, 0, 2, 1, 0, 0, 0, 0, 0, 0}));
  Put("run.icp", fx::Method(7));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("RUNP"), Dir(), S("T")}, 0), (Table{0, 0, 0, 0, 0, 0}));

  Run({
      Err("GETTUNESTEP", {Omit(), Omit(), Omit()}, -1, Msg(1033)),
      Err("GETTUNESTEP", {S("QCD"), Dir(), S("T")}, -1, Msg(1033)),
      Err("GETTUNESTEP", {S("QCDB"), Omit(), S("T")}, -1, Msg(1034)),
      Err("GETTUNESTEP", {S("QCDB"), Dir(), Omit()}, -1, Msg(1006)),
  });
}

// The answers themselves are worked through on bytes in memory; here: the
// files a method directory really holds, found through "_CurrentMeth$".
TEST_F(InstWords, TuneMassesMeasured) {
  Put("qctune.01", fx::TuneCriteria({{7, "Li"}, {89, "Y"}}));
  Put("qctune.02", fx::TuneCriteria({{7, "Li"}, {205, "Tl"}}));
  Put("qctune.04", Bytes(fx::TuneCriteria({{7, "Li"}})).resize(15));
  Put("rungroup.01", fx::RunGroup({{7, "Li"}, {89, "Y"}}));
  Put("rungroup.02", fx::RunGroup({{7, "Li"}}));
  Put("run.icp", fx::Method(0));
  Run({
      Ok("ChkTuneMass", {N(1)}, 0),
      Ok("ChkTuneMass", {N(2)}, -1),  // one run group only: step 1
      Ok("ChkTuneMass", {N(4)}, 1),   // unreadable tune criteria
      Ok("ChkTuneMass", {N(5)}, -1),  // no tune criteria
      Err("ChkTuneMass", {N(7)}, -1, Msg(1032)),
      Err("ChkTuneMass", {N(0.4)}, -1, Msg(1032)),
      Err("ChkTuneMass", {Omit()}, -1, Msg(1008)),
  });
  Put("run.icp", fx::Method(4));
  Run({Ok("ChkTuneMass", {N(1.5)}, 1)});  // step 2: 205 is not measured
}

TEST_F(InstWords, CalibrationAgainstRunGroup) {
  TempDir calib;
  Put(calib, "calib.01", fx::Calibration({{7, "Li", "", 0, 2}, {11, "B"}, {23, "Na"}}));
  Put(calib, "calib.02", fx::Calibration({{11, "B"}, {7, "Li"}}));
  Put(calib, "calib.03", fx::Calibration({{7, "Li"}, {11, "B"}, {23, "Na"}}));
  Put(calib, "calib.04", Bytes(fx::Calibration({{7, "Li"}})).resize(10));
  Put("rungroup.01", fx::RunGroup({{7, "Li"}, {11, "B"}}));
  Put("rungroup.02", fx::RunGroup({{7, "Li"}, {11, "B"}}));
  Put("rungroup.03", fx::RunGroup({{7, "Li"}, {9, "Be"}}));
  Put("rungroup.05", Bytes(fx::RunGroup({{7, "Li"}})).resize(200));
  Put(calib, "calib.05", fx::Calibration({}));
  Arg cal = S(calib.path());
  Run({
      Ok("COMPCALRUN", {N(1), cal, Dir()}, 1),
      Ok("COMPCALRUN", {N(2), cal, Dir()}, 0),
      Ok("COMPCALRUN", {N(2.5), cal, Dir()}, -1),  // step 3: mass 9 is not calibrated
      Err("COMPCALRUN", {N(4), cal, Dir()}, -1, Msg(1035)),
      Err("COMPCALRUN", {N(5), cal, Dir()}, -100, Msg(1036)),
      Err("COMPCALRUN", {N(6), cal, Dir()}, -100, Msg(1035)),
      Err("COMPCALRUN", {Omit(), cal, Dir()}, -100, Msg(1008)),
      Err("COMPCALRUN", {N(1), Omit(), Dir()}, -100, Msg(1035)),
      Err("COMPCALRUN", {N(1), cal, Omit()}, -100, Msg(1036)),
  });
}

// --- QC information -----------------------------------------------------------

TEST_F(InstWords, QcCheckTable) {
  fx::QcCheck full = Entry(260, 1, 1);
  for (int blk = 0; blk < 4; ++blk)
    for (int i = 0; i < 3; ++i) {
      full.limits[blk][i] = static_cast<float>(blk + 1) + static_cast<float>(i) / 4;
      full.settings[blk][i] = static_cast<std::int16_t>(10 * (i + 1) + blk + 1);
    }
  full.extra[0] = 101;
  full.extra[1] = 102;
  full.extra[2] = 103;
  std::vector<fx::QcGroup> groups = {{4, {Entry(7, 0, 0), full}}, {4, {Entry(9, 0, 0)}}};
  Put("qcdb.01", fx::QcDatabase({}, groups, {3003}));
  Put("qcdb.02", fx::QcDatabase({}, groups, {3002}));
  const Table items = {1,  1.25, 1.5, 2,  2.25, 2.5, 3,  3.25, 3.5, 4,   4.25, 4.5, 11, 12, 13,
                       14, 21,   22,  23, 24,   31,  32, 33,   34,  101, 103,  102, 1,  1};
  Outcome o = host_->call("GetQDBInfo", {N(260.4), N(4), N(1), Dir(), S("Q")});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(TableVar(*host_, "Q"), items);
  Table old = items;
  old[28] = 0;
  o = host_->call("GetQDBInfo", {N(260), N(4), N(2), Dir(), S("Q")});
  EXPECT_EQ(TableVar(*host_, "Q"), old);

  const std::string path = dir_.file("qcdb.03");
  struct Fail { std::vector<Arg> args; std::string error; } fails[] = {
      {{N(0.4), N(4), N(1), Dir(), S("Q")}, Msg(1011, A(Label(1)).c_str(), 1, 260)},
      {{N(260.5), N(4), N(1), Dir(), S("Q")}, Msg(1011, A(Label(1)).c_str(), 1, 260)},
      {{N(9), N(4), N(1), Dir(), S("Q")}, Msg(1018)},    // only in the second group 4
      {{N(7), N(5), N(1), Dir(), S("Q")}, Msg(1018)},
      {{N(7), N(4), N(3), Dir(), S("Q")}, Msg(1002, path.c_str())},
      {{N(7), N(4), N(7), Dir(), S("Q")}, Msg(1032)},
      {{Omit(), N(4), N(1), Dir(), S("Q")}, Msg(1008)},
      {{N(7), N(4), N(1), Dir(), Omit()}, Msg(1008)},
  };
  for (const Fail& f : fails) {
    host_->vars().setNumber("Q", 42);
    o = host_->call("GetQDBInfo", f.args);
    EXPECT_EQ(o.status, 1);
    ASSERT_NE(o.error(), nullptr);
    EXPECT_EQ(U(*o.error()), U(f.error));
    EXPECT_EQ(NumVar(*host_, "Q"), 42.0);
  }
  Put("qcdb.04", Bytes(fx::QcDatabase({}, groups)).resize(30));
  o = host_->call("GetQDBInfo", {N(7), N(4), N(4), Dir(), S("Q")});
  ASSERT_NE(o.error(), nullptr);
  EXPECT_EQ(U(*o.error()), U(Msg(1002, dir_.file("qcdb.04").c_str())));
}

TEST_F(InstWords, InternalStandardText) {
  auto setting = [](std::int32_t v) {
    Bytes b(36, 0x11);
    return b.i32(32, v);
  };
  Put("m.ist", setting(-2));
  Put("z.ist", setting(0));
  Put("p.ist", setting(5));
  Put("short.ist", Bytes(setting(3)).resize(35));
  struct Probe { std::optional<std::string> file; const char* text; } probes[] = {
      {"m.ist", "ﾚﾍﾞﾙ 2"}, {"z.ist", "ﾚﾍﾞﾙ 1"}, {"p.ist", "ﾏﾆｭｱﾙ"}, {"short.ist", ""},
      {"none.ist", ""},    {std::nullopt, ""},
  };
  for (const Probe& p : probes) {
    host_->vars().setString("I$", "stale");
    Outcome o = host_->call("GETISTDSTR", {p.file ? S(dir_.file(*p.file)) : Omit(), S("I$")});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(StrVar(*host_, "I$"), A(p.text)) << (p.file ? *p.file : "omitted");
  }
  Outcome o = host_->call("GETISTDSTR", {S(dir_.file("m.ist")), Omit()});
  EXPECT_EQ(o.status, 1);
  ASSERT_NE(o.error(), nullptr);
  EXPECT_EQ(U(*o.error()), U(Msg(1008)));
}

// The workstation's installation folder in the registry for one test, and the
// earlier value put back afterwards.
class InstallationPath {
 public:
  explicit InstallationPath(const std::optional<std::string>& path) {
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    char old[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (RegQueryValueExA(key_, "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS)
      old_ = old;
    Set(path);
  }
  ~InstallationPath() {
    Set(old_);
    RegCloseKey(key_);
  }
  void Set(const std::optional<std::string>& path) {
    if (path)
      RegSetValueExA(key_, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path->c_str()),
                     static_cast<DWORD>(path->size() + 1));
    else
      RegDeleteValueA(key_, "Path");
  }

 private:
  static constexpr char kKey[] = "SOFTWARE\\Veltrix Technologies\\ICP-MS Quantaro\\CurrentVersion";
  HKEY key_ = nullptr;
  std::optional<std::string> old_;
};

TEST_F(InstWords, RunTypesDefinedForQc) {
  TempDir install;
  CreateDirectoryA(install.file("icpexe").c_str(), nullptr);
  const std::string runTypes = install.file("icpexe\\runtype.ini");
  const std::string defaults = install.file("icpexe\\defrt.icp");
  auto ini = [](const std::string& file, const char* section, const char* key, const char* value) {
    WritePrivateProfileStringA(section, key, value, file.c_str());
  };
  InstallationPath registry(install.path());

  Run({Ok("QueryQC", {Omit()}, 0), Ok("QueryQC", {S("TN")}, 0)});  // no run types at all
  ini(runTypes, "RunType", "Type1", "BLANK");
  ini(runTypes, "RunType", "Type2", "STD1");
  ini(defaults, "BLANK", "TypeNo", "0");
  Run({Ok("QueryQC", {S("QC")}, 1), Ok("QueryQC", {S("qc")}, 1), Ok("QueryQC", {Omit()}, 1),
       Ok("QueryQC", {S("TN")}, 0), Ok("QueryQC", {S("tn")}, 1)});
  ini(defaults, "STD1", "TypeNo", "1");
  Run({Ok("QueryQC", {S("QC")}, 0)});
  ini(defaults, "BLANK", "TypeNo", nullptr);
  Run({Ok("QueryQC", {S("QC")}, 1)});

  registry.Set(std::string());
  Run({Ok("QueryQC", {S("TN")}, -1), Ok("QueryQC", {S("QC")}, -1)});
  registry.Set(std::nullopt);
  Run({Ok("QueryQC", {S("TN")}, -1)});
}

// --- the tune-step dialog and the QC information box ----------------------------

constexpr int kStepList = 1001;

TEST_F(InstWords, TuneStepDialogLooksAsDesigned) {
  DialogScript script({[&](DialogWindow& d) {
    EXPECT_EQ(d.caption(), A("ﾁｭｰﾝｽﾃｯﾌﾟ選択"));
    EXPECT_EQ(d.text(), A("使用するﾁｭｰﾝｽﾃｯﾌﾟを選択して下さい。"));
    EXPECT_EQ(d.owner(), host_->window());
    EXPECT_EQ(d.fontFace(), A("ＭＳ ゴシック"));
    SIZE want = d.toPixels(170, 54), got = d.clientSize();
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
    EXPECT_EQ(d.buttons(), std::vector<int>{IDOK});
    EXPECT_EQ(GetWindowLongA(d.item(IDOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(_stricmp(d.className(kStepList).c_str(), "ComboBox"), 0);
    EXPECT_EQ(GetWindowLongA(d.item(kStepList), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(d.comboItems(kStepList), (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(d.comboSelection(kStepList), 0);
    EXPECT_EQ(GetPropA(d.hwnd(), "srvPasskey"), host_->context());
    d.press(IDOK);
    // The dialog has ended but not yet gone: its property is already removed.
    EXPECT_TRUE(d.exists());
    EXPECT_EQ(GetPropA(d.hwnd(), "srvPasskey"), nullptr);
  }});
  Outcome o = host_->call("SelectTuneStep", {});
  script.finish();
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(o.raised.empty());
  EXPECT_EQ(NumVar(*host_, "SelectedTuneStep"), 1.0);
}

TEST_F(InstWords, TuneStepDialogAnswers) {
  struct Way {
    const char* what;
    int choose;  // combo index chosen first, -1 none
    std::function<void(DialogWindow&)> close;
    double step;
  } ways[] = {
      {"OK after choosing", 3, [](DialogWindow& d) { d.press(IDOK); }, 4},
      {"OK straight away", -1, [](DialogWindow& d) { d.press(IDOK); }, 1},
      {"Enter", 5, [](DialogWindow& d) { d.key(VK_RETURN); }, 6},
      {"cancel command", 4, [](DialogWindow& d) { d.press(IDCANCEL); }, 1},
      {"Esc", 2, [](DialogWindow& d) { d.key(VK_ESCAPE); }, 1},
      {"closed from the caption", 2, [](DialogWindow& d) { PostMessageA(d.hwnd(), WM_CLOSE, 0, 0); }, 1},
      // OK's command with a notification other than a click is not a choice.
      {"OK with another notification", 2,
       [](DialogWindow& d) { SendMessageA(d.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, 1), 0); }, 1},
  };
  for (const Way& w : ways) {
    SCOPED_TRACE(w.what);
    host_->vars().setNumber("SelectedTuneStep", 99);
    DialogScript script({[&](DialogWindow& d) {
      if (w.choose >= 0) d.selectCombo(kStepList, w.choose);
      w.close(d);
    }});
    Outcome o = host_->call("SelectTuneStep", {});
    script.finish();
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(NumVar(*host_, "SelectedTuneStep"), w.step);
  }
}

TEST_F(InstWords, QcInformationBox) {
  struct View { bool file; std::string path, name; } views[] = {
      {true, "C:\\ICPMS\\QCMODE\\", "GENERAL.QCC"},
      {false, "---", "---"},
  };
  for (const View& v : views) {
    SCOPED_TRACE(v.name);
    const std::string ini = dir_.file("qcinfo.ini");
    DeleteFileA(ini.c_str());
    if (v.file) {
      WritePrivateProfileStringA("QCINFO", "OrgPath", v.path.c_str(), ini.c_str());
      WritePrivateProfileStringA("QCINFO", "OrgFile", v.name.c_str(), ini.c_str());
    }
    SetFocus(host_->window());
    HWND focus = GetFocus();
    DialogScript script({[&](DialogWindow& d) {
      EXPECT_EQ(d.buttons(), std::vector<int>{IDOK});
      d.press(IDOK);
    }});
    Outcome o = host_->call("DispQCInfo", {});
    script.finish();
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.raised.empty());
    ASSERT_EQ(script.seen().size(), 1u);
    EXPECT_EQ(script.seen()[0].caption, A("QC情報"));
    EXPECT_EQ(script.seen()[0].text, Msg(1233, v.path.c_str(), v.name.c_str()));
    EXPECT_EQ(focus, host_->window());
    EXPECT_EQ(script.seen()[0].owner, focus);
  }
}

}  // namespace
}  // namespace mcrtest
