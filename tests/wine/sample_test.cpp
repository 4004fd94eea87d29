// The sample workstation read back through the documented layouts, with the
// test's own byte reader: walks through counts and offsets end where the
// files end, and the files agree with one another.
#include <algorithm>
#include <map>
#include <set>

#include "bytes.h"
#include "testhost.h"
#include "workstation.h"

namespace mcrtest {
namespace {

// The sample, laid out once for the whole suite.
std::string Path(const std::string& rel) {
  static TempDir dir;
  static const std::string failure = [] {
    std::string error;
    return mcrsample::LayOut(dir.path(), &error) ? "" : "not laid out: " + error;
  }();
  EXPECT_EQ(failure, "");
  return dir.path() + "\\" + rel;
}
Bytes Load(const std::string& rel) {
  Bytes b = Bytes::Load(Path(rel));
  EXPECT_GT(b.size(), 0u) << rel;
  return b;
}
std::string Ini(const std::string& rel, const char* section, const char* key) {
  char value[512];
  GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, Path(rel).c_str());
  return value;
}

TEST(Sample, DataFilesHoldTheRunGroupsMasses) {
  Bytes g = Load("methods\\DEMO.M\\rungroup.01");
  const std::size_t masses = g.getU32(104);
  ASSERT_TRUE(masses > 0 && g.size() == 436 + 26 * masses) << masses << " masses, " << g.size() << " bytes";
  for (const char* set : {"STD001.D\\", "SAMPLE01.D\\"}) {
    SCOPED_TRACE(set);
    Bytes d = Load(std::string("data\\") + set + "data01.icp");
    // The element table: the run group's masses and names, in its order.
    const std::size_t table = 2 * (d.getU32(308) - 1), points = 2 * (d.getU32(264) - 1);
    ASSERT_EQ(d.getU16(306), masses);
    std::set<int> measured;
    for (std::size_t i = 0; i < masses; ++i) {
      EXPECT_EQ(d.getI16(table + 24 * i), g.getI32(436 + 26 * i));
      EXPECT_EQ(d.getText(table + 24 * i + 3, 9), g.getText(436 + 26 * i + 4, 10));
      measured.insert(g.getI32(436 + 26 * i));
    }
    EXPECT_EQ(d.size(), points + 24 + 10 * d.getU16(points + 16));
    // The quantitation results name measured masses.
    Bytes q = Load(std::string("data\\") + set + "quant.01");
    ASSERT_EQ(q.size(), 1540 + 132 * q.getU32(938));
    for (std::size_t at = 1540; at < q.size(); at += 132) EXPECT_TRUE(measured.count(q.getI32(at))) << q.getI32(at);
  }
}

// The scan agrees with the mass table: the points of each whole mass (a
// remainder of exactly 10 going down) give its mean count rate; the
// corrected data set of SAMPLE01.D reads lower only at the interfered masses.
TEST(Sample, ScansGiveTheMassTablesMeans) {
  auto means = [](const Bytes& d) {
    std::map<int, double> counts, time;
    const std::size_t points = 2 * (d.getU32(264) - 1) + 24;
    for (std::size_t i = 0, n = d.getU16(points - 8); i < n; ++i) {
      const std::size_t at = points + 10 * i;
      const int x = d.getU16(at), mass = x / 20 + (x % 20 > 10 ? 1 : 0);
      counts[mass] += d.getF32(at + 6);
      time[mass] += d.getF32(at + 2);
    }
    std::map<int, double> rates;
    for (const auto& [mass, c] : counts) rates[mass] = c / time[mass];
    return rates;
  };
  for (const char* file : {"STD001.D\\data01.icp", "SAMPLE01.D\\data02.icp", "SAMPLE01.D\\SAMPLE01.D#\\data02.icp"}) {
    SCOPED_TRACE(file);
    Bytes d = Load(std::string("data\\") + file);
    std::map<int, double> rates = means(d);
    const std::size_t table = 2 * (d.getU32(308) - 1);
    EXPECT_EQ(rates.size(), d.getU16(306) + 1u);  // and one background mass
    for (std::size_t i = 0; i < d.getU16(306); ++i)
      EXPECT_NEAR(rates[d.getI16(table + 24 * i)], d.getF32(table + 24 * i + 12), 1e-3 * rates[d.getI16(table + 24 * i)]);
  }
  std::map<int, double> raw = means(Load("data\\SAMPLE01.D\\data02.icp")),
                        corrected = means(Load("data\\SAMPLE01.D\\SAMPLE01.D#\\data02.icp"));
  for (const auto& [mass, rate] : raw) EXPECT_EQ(rate > corrected[mass] + 100, mass == 51 || mass == 52 || mass == 75 || mass == 78) << mass;
}

TEST(Sample, MethodAndSequenceWalkToTheirEnd) {
  Bytes run = Load("methods\\DEMO.M\\run.icp"), cal = Load("methods\\DEMO.M\\calib.01");
  EXPECT_EQ(run.size(), run.getU32(24) + 182 * run.getU32(20));
  std::size_t at = cal.getU32(16);
  for (std::uint32_t i = 0, n = cal.getU32(cal.getU32(12)); i < n; ++i) at += 144 + 48 * cal.getU32(at + 86);
  EXPECT_EQ(cal.size(), at);

  Bytes s = Load("seq\\demo.seq");
  EXPECT_EQ(s.getText(77, 261), A(Path("data\\")));
  EXPECT_EQ(s.getI32(614), 5);
  at = s.getU32(618);
  for (std::int32_t r = 0; r < 5; ++r) at += 1909 + 34 * std::max(s.getI32(at + 1625), 0);
  EXPECT_EQ(s.size(), at);

  EXPECT_EQ(Ini("icpexe\\vexmon.ist", "PCS,1", "_INSTPATH$"), A(Path("")));
  EXPECT_EQ(Ini("icpexe\\hubex.ini", "Samplog", "Keywords"),
            Ini("icpexe\\runtype.ini", "Keywords", "Keywords") + ",End");
}

TEST(Sample, InstallKeyPointsAtTheFolder) {
  TempDir dir;
  const std::string key = "SOFTWARE\\mcrtest-sample-" + std::to_string(GetCurrentProcessId());
  std::string error;
  ASSERT_TRUE(mcrsample::WriteInstallKey(key.c_str(), dir.path() + "\\", &error)) << error;
  char value[MAX_PATH] = {};
  DWORD size = sizeof value;
  LONG r = RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Path", RRF_RT_REG_SZ, nullptr, value, &size);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
  ASSERT_EQ(r, ERROR_SUCCESS);
  EXPECT_EQ(std::string(value), dir.path());  // without the trailing backslash
}

TEST(Sample, RefusesAFolderTooLongForThePathFieldsOrNone) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(mcrsample::LayOut(dir.path() + "\\" + std::string(160, 'x'), &error));
  EXPECT_NE(error.find("150"), std::string::npos) << error;
  EXPECT_FALSE(mcrsample::LayOut("", &error));
}

}  // namespace
}  // namespace mcrtest
