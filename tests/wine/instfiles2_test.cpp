// The mass-list, tune-step and QC information words called as a macro would,
// on fixture files of a method directory (the windows they open are the
// dialogs suite's).
#include "instwords.h"
#include "qcfixtures.h"

namespace mcrtest {
namespace {

class QcWords : public InstWords {
 protected:
  void SetUp() override {
    InstWords::SetUp();
    host_->vars().setString("_CurrentMeth$", dir_.path());
  }
  void Put(std::string name, const Bytes& b, const TempDir* in = nullptr) { Save(b, (in ? *in : dir_).file(name)); }
  Arg Dir() const { return S(dir_.path()); }
};

TEST_F(QcWords, MassListStepsAndSelectors) {
  // Point entries after the first record; internal standards only at masses 1 to 260.
  Put("calib.01", fx::Calibration({{115, "In", "", 1, 2}, {45, "Sc", "", 3}, {115, "In", "STD", 2}, {7, "Li"},
                                   {300, "Hi", "", 1}, {0, "Zero"}, {1, "H", "", 1}}));
  Put("calib.03", fx::Calibration({{7, "Li"}}).resize(19));
  // The not-quantified mark is the catalogue's text; a name in parentheses is not quantified either.
  Put("calib.05",
      fx::Calibration({{7, "Li", A("定量しない")}, {9, "(Be)", "STD"}, {11, "B", A("定量する")}, {56, "(Fe"}}));
  Put("calib.06", fx::Calibration({{205, "Tl"}}));
  Put("qcdb.03", fx::QcDatabase({{7, "Li"}, {45, "Sc", 1}, {9, std::string(10, 'S'), 1}}, {}));
  Put("qctune.02", fx::TuneCriteria({{89, "Y"}, {140, "Ce"}, {205, std::string(10, 'T')}}));
  // ISTD and ANA: each mass once, ascending. No directory: the current method.
  struct List { const char* word; double step; const char* selector; Table table; bool noDir = false; } lists[] = {
      {"GetCalMasInf", 0.5, "mass", {115, 45, 115, 7, 300, 0, 1}}, {"GetCalMasInf", 6.49, "Mass", {205}},
      {"GetCalMasInf", 1, "iStD", {1, 45, 115}}, {"GetCalMasInf", 1, "ana", {7}}, {"GetCalMasInf", 5, "on", {11, 56}},
      {"GetCalMasInf", 5, "OFF", {7, 9}}, {"GetQDBMasInf", 3, "istd", {45, 9}},
      {"GetTNCMasInf", 2.4, "MASS", {89, 140, 205}, true},
  };
  for (const List& l : lists)
    EXPECT_EQ(Listed(l.word, {N(l.step), S(l.selector), l.noDir ? Omit() : Dir(), S("T")}, double(l.table.size())),
              l.table) << l.word << " " << l.step << " " << l.selector;
  // Element names that fill their 10 bytes.
  Run({{"GetQDBMasInf", {N(3), S("name"), Dir(), S("N")}, 3}, {"GetTNCMasInf", {N(2), S("Name"), Dir(), S("M")}, 3}});
  EXPECT_EQ(StrVar(*host_, "N1"), "Li,Sc," + std::string(10, 'S'));
  EXPECT_EQ(StrVar(*host_, "M1"), "Y,Ce," + std::string(10, 'T'));
  // A short or missing file answers -1 quietly; none of these touches the variable.
  host_->vars().setNumber("T", 42);
  Run({
      {"GetCalMasInf", {N(3), S("MASS"), Dir(), S("T")}, -1}, {"GetCalMasInf", {N(4), S("MASS"), Dir(), S("T")}, -1},
      {"GetCalMasInf", {N(6.5), S("MASS"), Dir(), S("T")}, -1, Msg(1032)},
      {"GetCalMasInf", {N(0.4), S("MASS"), Dir(), S("T")}, -1, Msg(1032)},
      {"GetTNCMasInf", {N(1), S("istd"), Dir(), S("T")}, -1, Msg(1009, "ISTD")},  // a selector of other words
      // Only single-byte letters change case.
      {"GetQDBMasInf", {N(1), S("ﾏｽa"), Dir(), S("T")}, -1, Msg(1009, A("ﾏｽA").c_str())},
      // The selector is checked before the file.
      {"GetCalMasInf", {N(4), S("bogus"), Dir(), S("T")}, -1, Msg(1009, "BOGUS")},
  });
  EXPECT_EQ(Num("T"), 42.0);
}

TEST_F(QcWords, MassListNamesInGroupsOfTen) {
  std::vector<fx::CalElement> names;
  for (int i = 1; i <= 23; ++i) names.push_back({i, i == 2 ? A("ﾘﾁｳﾑ") : i == 3 ? A("金") : "E" + std::to_string(i)});
  names[3] = {4, std::string(26, 'N'), "Q"};  // a name that fills its 26 bytes
  Put("calib.01", fx::Calibration(names));
  Put("calib.02", fx::Calibration(std::vector<fx::CalElement>(names.begin(), names.begin() + 20)));
  host_->vars().setNumber("X", 5);
  Run({{"GetCalMasInf", {N(1), S("name"), Dir(), S("X")}, 23}});
  const std::string first = A("E1,ﾘﾁｳﾑ,金,") + std::string(26, 'N') + ",E5,E6,E7,E8,E9,E10";
  EXPECT_EQ(StrVar(*host_, "X1"), first);
  EXPECT_EQ(StrVar(*host_, "X2"), "E11,E12,E13,E14,E15,E16,E17,E18,E19,E20");
  EXPECT_EQ(StrVar(*host_, "X3"), "E21,E22,E23");
  EXPECT_EQ(Num("X"), 5.0);  // the variable itself is not touched
  host_->vars().setString("X2", "stale");
  Run({{"GetCalMasInf", {N(2), S("NAME"), Dir(), S("X")}, 20}});
  EXPECT_EQ(StrVar(*host_, "X2"), "E11,E12,E13,E14,E15,E16,E17,E18,E19,E20");
  EXPECT_EQ(StrVar(*host_, "X3"), "E21,E22,E23");  // twenty names fill two groups; the earlier third stays
}

TEST_F(QcWords, MassListQcGroups) {
  const std::vector<fx::QcGroup> groups = {
      {2, {{7, 1, 0}, {9, 0, 1}}}, {1, {{7, 0, 1}, {45, 1, 0}, {115}}}, {2, {{200}}}};
  Put("qcdb.01", fx::QcDatabase({{7, "Li"}}, groups));
  Put("qcdb.02", fx::QcDatabase({{7, "Li"}}, groups, 3002));
  struct List { double step; const char* selector; Arg group; Table table; } lists[] = {
      {1, "on", N(1), {7, 115}}, {1, "OFF", N(1.4), {45}}, {1, "off", N(2), {7}},  // the first group 2 only
      {1, "rpt_on", N(1), {45, 115}}, {1, "RPT_OFF", N(1), {7}}, {1, "MASS", Omit(), {7}},  // MASS needs no group
      {2, "rpt_on", N(1), {7, 45, 115}}, {2, "rpt_off", N(1), {}},  // no report marks before version 3003
  };
  for (const List& l : lists)
    EXPECT_EQ(Listed("GetQDBMasInf", {N(l.step), S(l.selector), Dir(), S("T"), l.group},
                     static_cast<double>(l.table.size())), l.table) << l.step << " " << l.selector;
  // No group number: 1008 once the file is open, the variable stays. No group 9: -1, the variable gone.
  host_->vars().setNumber("T", 42);
  Run({{"GetQDBMasInf", {N(1), S("ON"), Dir(), S("T"), Omit()}, -1, Msg(1008)},
       {"GetQDBMasInf", {N(5), S("ON"), Dir(), S("T"), Omit()}, -1}});
  EXPECT_EQ(Num("T"), 42.0);
  Run({{"GetQDBMasInf", {N(1), S("ON"), Dir(), S("T"), N(9)}, -1}});
  EXPECT_EQ(host_->vars().find("T"), nullptr);
}

TEST_F(QcWords, TuneStepSummary) {
  Put("qcdb.02", fx::QcDatabase({{7, "Li"}, {9, "Be"}, {11, "B"}}, {}));
  Put("qcdb.05", fx::QcDatabase({}, {}));
  Put("qctune.06", fx::TuneCriteria({{7, "Li"}, {9, "Be"}}));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("qcdb"), Dir(), S("T")}, 1), (Table{0, 3, 0, 0, 0, 0}));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("Tncr"), Dir(), S("T")}, 1), (Table{0, 0, 0, 0, 0, 2}));
  TempDir calib;
  for (int n = 1; n <= 6; ++n)
    if (n != 4) Put("calib.0" + std::to_string(n), fx::Calibration({{7, "Li"}}, n), &calib);
  host_->vars().setNumber("T", 42);
  Run({{"GETTUNESTEP", {S("CALB"), S(calib.path()), S("T")}, -1, Msg(1034)}});
  EXPECT_EQ(host_->vars().find("T"), nullptr);
  Put("calib.04", fx::Calibration({}), &calib);
  EXPECT_EQ(Listed("GETTUNESTEP", {S("calb"), S(calib.path()), S("T")}, 5), (Table{1, 2, 3, 0, 5, 6}));
  Put("rungroup.01", fx::RunGroup({{7, "Li"}, {9, "Be"}}));
  Put("rungroup.02", fx::RunGroup({{11, "B"}}));
  Put("run.icp", fx::Method(1));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("RUNP"), Dir(), S("T")}, 1), (Table{2, 0, 0, 0, 0, 0}));
  Put("run.icp", fx::Method(5));
  EXPECT_EQ(Listed("GETTUNESTEP", {S("runp"), Dir(), S("T")}, 2), (Table{2, 1, 0, 0, 0, 0}));
}

// The answers are worked through in memory; here: real files, the arguments and the messages.
TEST_F(QcWords, TuneMassesAndCalibrationOfAStep) {
  TempDir calib;
  Put("calib.01", fx::Calibration({{7, "Li", "", 0, 2}, {89, "Y"}, {23, "Na"}}), &calib);
  Put("calib.02", fx::Calibration({{7, "Li"}}).resize(10), &calib);
  for (const char* n : {"calib.03", "calib.05"}) Put(n, fx::Calibration({{7, "Li"}}), &calib);
  for (const char* n : {"rungroup.02", "rungroup.03"}) Put(n, fx::RunGroup({{7, "Li"}}));
  Put("rungroup.01", fx::RunGroup({{7, "Li"}, {89, "Y"}}));
  Put("rungroup.05", fx::RunGroup({{7, "Li"}}).resize(200));
  Put("qctune.01", fx::TuneCriteria({{7, "Li"}, {89, "Y"}}));
  Put("qctune.02", fx::TuneCriteria({{7, "Li"}, {205, "Tl"}}));
  Put("run.icp", fx::Method(0));
  const Arg cal = S(calib.path());
  Run({
      {"ChkTuneMass", {N(1)}, 0}, {"ChkTuneMass", {N(2)}, -1},  // one run group only: step 1
      {"ChkTuneMass", {N(6.5)}, -1, Msg(1032)}, {"ChkTuneMass", {N(0.4)}, -1, Msg(1032)},
      {"ChkTuneMass", {N(5)}, -1},  // 5: no tune criteria
      {"COMPCALRUN", {N(1), cal, Dir()}, 1}, {"COMPCALRUN", {N(2.5), cal, Dir()}, 0},  // step 3
      {"COMPCALRUN", {N(2), cal, Dir()}, -1, Msg(1035)}, {"COMPCALRUN", {N(4), cal, Dir()}, -100, Msg(1035)},
      {"COMPCALRUN", {N(5), cal, Dir()}, -100, Msg(1036)},
  });
  Put("run.icp", fx::Method(4));
  Run({{"ChkTuneMass", {N(1.5)}, 1}});  // step 2: 205 is not measured
}

TEST_F(QcWords, QcCheckTable) {
  // Every item of the fixture's check entries holds its own offset; the second group 4 is never searched.
  const std::vector<fx::QcGroup> groups = {{4, {{7}, {260, 12, 124}}}, {4, {{9}}}};
  Put("qcdb.01", fx::QcDatabase({}, groups));
  Put("qcdb.02", fx::QcDatabase({}, groups, 3002));
  Put("qcdb.04", fx::QcDatabase({}, groups).resize(30));
  Table items = {14, 18, 22, 40, 44, 48, 66, 70, 74, 92, 96, 100, 26, 52, 78, 104, 28, 54, 80, 106, 30, 56, 82, 108,
                 118, 122, 120, 12, 124};
  Ok(Call("GetQDBInfo", {N(260.4), N(4), N(1), Dir(), S("Q")}));
  EXPECT_EQ(TableOf("Q"), items);
  items[28] = 0;  // no report mark before version 3003
  Ok(Call("GetQDBInfo", {N(260), N(4), N(2), Dir(), S("Q")}));
  EXPECT_EQ(TableOf("Q"), items);
  struct Fail { Arg mass, step, var; std::string error; } fails[] = {
      {N(9), N(1), S("Q"), Msg(1018)},
      {N(7), N(4), S("Q"), Msg(1002, dir_.file("qcdb.04").c_str())}, {N(7), N(7), S("Q"), Msg(1032)},
  };
  host_->vars().setNumber("Q", 42);
  for (const Fail& f : fails) Err(Call("GetQDBInfo", {f.mass, N(4), f.step, Dir(), f.var}), f.error);
  EXPECT_EQ(Num("Q"), 42.0);
}

TEST_F(QcWords, InternalStandardText) {
  for (auto [file, setting] : {std::pair{"m.ist", -2}, {"z.ist", 0}, {"p.ist", 5}})
    Put(file, Bytes(36, 0x11).i32(32, setting));
  Put("short.ist", Bytes(35, 0x11));
  struct Probe { std::optional<std::string> file; const char* text; } probes[] = {
      {"m.ist", "ﾚﾍﾞﾙ 2"}, {"z.ist", "ﾚﾍﾞﾙ 1"}, {"p.ist", "ﾏﾆｭｱﾙ"}, {"short.ist", ""}, {std::nullopt, ""},
  };
  for (const Probe& p : probes) {
    host_->vars().setString("I$", "stale");
    Ok(Call("GETISTDSTR", {p.file ? S(dir_.file(*p.file)) : Omit(), S("I$")}));
    EXPECT_EQ(StrVar(*host_, "I$"), A(p.text)) << (p.file ? *p.file : "omitted");
  }
}

TEST_F(QcWords, RunTypesDefinedForQc) {
  TempDir install;
  CreateDirectoryA(install.file("icpexe").c_str(), nullptr);
  const std::string types = install.file("icpexe\\runtype.ini"), known = install.file("icpexe\\defrt.icp");
  WorkstationKey station;
  station.Point(install.path());
  Run({{"QueryQC", {Omit()}, 0}});  // no run types at all
  WritePrivateProfileStringA("RunType", "Type1", "BLANK", types.c_str());
  WritePrivateProfileStringA("RunType", "Type2", "STD1", types.c_str());
  WritePrivateProfileStringA("BLANK", "TypeNo", "0", known.c_str());
  // Only "TN" in capitals skips the check.
  Run({{"QueryQC", {S("QC")}, 1}, {"QueryQC", {S("qc")}, 1}, {"QueryQC", {S("TN")}, 0}, {"QueryQC", {S("tn")}, 1}});
  WritePrivateProfileStringA("STD1", "TypeNo", "1", known.c_str());
  Run({{"QueryQC", {S("QC")}, 0}});
  station.Point(std::string());
  Run({{"QueryQC", {S("TN")}, -1}});
  station.Point(std::nullopt);
  Run({{"QueryQC", {S("QC")}, -1}});
}

}  // namespace
}  // namespace mcrtest
