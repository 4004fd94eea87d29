// The mass-list, tune-step and QC information words on files laid down field
// by field in a bench's working folder, called by tests/wine/qcwords.calls
// (the bench points the WorkstationKey at its sample, whose run types the QC
// query reads). The windows these words open are the dialogs suite's.
#include "calls.h"
#include "qcfixtures.h"

namespace mcrtest {
namespace {

TEST(QcWords, CallsOnFixtureFiles) {
  Bench bench;
  auto put = [w = bench.Expand("{W}\\")](const std::string& name, const Bytes& b) {
    CreateDirectoryA((w + name.substr(0, name.find('\\'))).c_str(), nullptr);
    Save(b, w + name);
  };
  // Point entries after the first record; internal standards only at masses
  // 1 to 260; the not-quantified mark is the catalogue's text, and a name in
  // parentheses is not quantified either; names that fill their 10 bytes.
  put("lists\\calib.01", fx::Calibration({{115, "In", "", 1, 2}, {45, "Sc", "", 3}, {115, "In", "STD", 2}, {7, "Li"},
                                          {300, "Hi", "", 1}, {0, "Zero"}, {1, "H", "", 1}}));
  put("lists\\calib.05",
      fx::Calibration({{7, "Li", A("定量しない")}, {9, "(Be)", "STD"}, {11, "B", A("定量する")}, {56, "(Fe"}}));
  put("lists\\calib.06", fx::Calibration({{205, "Tl"}}));
  put("lists\\qcdb.03", fx::QcDatabase({{7, "Li"}, {45, "Sc", 1}, {9, std::string(10, 'S'), 1}}, {}));
  put("lists\\qctune.02", fx::TuneCriteria({{89, "Y"}, {140, "Ce"}, {205, std::string(10, 'T')}}));
  // 23 names, the fourth filling its 26 bytes.
  std::vector<fx::CalElement> names;
  for (int i = 1; i <= 23; ++i) names.push_back({i, i == 2 ? A("ﾘﾁｳﾑ") : i == 3 ? A("金") : "E" + std::to_string(i)});
  names[3] = {4, std::string(26, 'N'), "Q"};
  put("names\\calib.01", fx::Calibration(names));
  put("names\\calib.02", fx::Calibration({names.begin(), names.begin() + 20}));
  const std::vector<fx::QcGroup> groups = {{2, {{7, 1, 0}, {9, 0, 1}}}, {1, {{7, 0, 1}, {45, 1, 0}, {115}}}, {2, {{200}}}};
  put("groups\\qcdb.01", fx::QcDatabase({{7, "Li"}}, groups));
  put("groups\\qcdb.02", fx::QcDatabase({{7, "Li"}}, groups, 3002));
  // Steps: element counts, run groups of a method of mode 1 and 5, stored calibration counts.
  for (const char* steps : {"steps", "steps5"}) {
    put(steps + std::string("\\rungroup.01"), fx::RunGroup({{7, "Li"}, {9, "Be"}}));
    put(steps + std::string("\\rungroup.02"), fx::RunGroup({{11, "B"}}));
    put(steps + std::string("\\run.icp"), fx::Method(steps[5] ? 5 : 1));
  }
  put("steps\\qcdb.02", fx::QcDatabase({{7, "Li"}, {9, "Be"}, {11, "B"}}, {}));
  put("steps\\qcdb.05", fx::QcDatabase({}, {}));
  put("steps\\qctune.06", fx::TuneCriteria({{7, "Li"}, {9, "Be"}}));
  for (int n = 1; n <= 6; ++n) {
    if (n != 4) put("cal\\calib.0" + std::to_string(n), fx::Calibration({{7, "Li"}}, n));
    put("cal4\\calib.0" + std::to_string(n), n == 4 ? fx::Calibration({}) : fx::Calibration({{7, "Li"}}, n));
  }
  // Tune masses and calibrations of a step.
  put("tcal\\calib.01", fx::Calibration({{7, "Li", "", 0, 2}, {89, "Y"}, {23, "Na"}}));
  put("tcal\\calib.02", fx::Calibration({{7, "Li"}}).resize(10));
  put("tcal\\calib.05", fx::Calibration({{7, "Li"}}));
  put("tune\\rungroup.01", fx::RunGroup({{7, "Li"}, {89, "Y"}}));
  put("tune\\rungroup.02", fx::RunGroup({{7, "Li"}}));
  put("tune\\rungroup.05", fx::RunGroup({{7, "Li"}}).resize(200));
  put("tune\\qctune.01", fx::TuneCriteria({{7, "Li"}, {89, "Y"}}));
  put("tune\\run.icp", fx::Method(0));
  const std::vector<fx::QcGroup> checks = {{4, {{7}, {260, 12, 124}}}, {4, {{9}}}};
  put("checks\\qcdb.01", fx::QcDatabase({}, checks));
  put("checks\\qcdb.02", fx::QcDatabase({}, checks, 3002));
  put("checks\\qcdb.04", fx::QcDatabase({}, checks).resize(30));
  for (auto [file, setting] : {std::pair{"m.ist", -2}, {"z.ist", 0}, {"p.ist", 5}})
    put(std::string("ist\\") + file, Bytes(36, 0x11).i32(32, setting));
  put("ist\\short.ist", Bytes(35, 0x11));

  RunCaseFile(std::string(MCR_SOURCE_DIR) + "/tests/wine/qcwords.calls", bench);
  // No installation to read the run types of: -1.
  WorkstationKey station;
  for (const auto& folder : {std::optional<std::string>(""), std::optional<std::string>()}) {
    station.Point(folder);
    Outcome o = bench.host().call("QueryQC", {S("QC")});
    EXPECT_EQ(o.result ? o.result->number : 0, -1);
  }
}

}  // namespace
}  // namespace mcrtest
