// The sample workstation read back through the documented layouts, with
// the test's own byte reader: every walk through counts and offsets ends
// exactly where the file ends, and the files agree with one another.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "bytes.h"
#include "testhost.h"
#include "workstation.h"

namespace mcrtest {
namespace {

struct Mass {
  int mass;
  std::string name;
};

class SampleWorkstation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    std::string error;
    laidOut_ = mcrsample::LayOut(dir_->path(), &error);
    EXPECT_TRUE(laidOut_) << error;
  }
  static void TearDownTestSuite() { delete dir_; }
  void SetUp() override { ASSERT_TRUE(laidOut_); }

  static std::string Path(const std::string& rel) { return dir_->path() + "\\" + rel; }
  static std::string Method(const std::string& f) { return Path("methods\\DEMO.M\\" + f); }
  static Bytes Load(const std::string& path) {
    Bytes b = Bytes::Load(path);
    EXPECT_GT(b.size(), 0u) << path;
    return b;
  }
  static std::string Ini(const std::string& file, const char* section, const char* key) {
    char value[512];
    GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, file.c_str());
    return value;
  }
  static std::string Step(int n) { return "0" + std::to_string(n); }

  // The run group's masses: the reference the other files are held to.
  static std::vector<Mass> RunGroup(int step) {
    Bytes b = Load(Method("rungroup." + Step(step)));
    std::int32_t r = b.getI32(104);
    EXPECT_EQ(b.size(), 436u + 26u * static_cast<std::size_t>(r));
    std::vector<Mass> out;
    for (std::int32_t i = 0; i < r; ++i)
      out.push_back({b.getI32(436 + 26 * i), b.getText(436 + 26 * i + 4, 10)});
    return out;
  }

  static TempDir* dir_;
  static bool laidOut_;
};
TempDir* SampleWorkstation::dir_ = nullptr;
bool SampleWorkstation::laidOut_ = false;

const char* const kDataSets[] = {"STD001.D", "SAMPLE01.D"};

TEST_F(SampleWorkstation, DataFilesWalkToTheirEndAndMatchTheRunGroups) {
  for (const char* set : kDataSets) {
    for (int step = 1; step <= 2; ++step) {
      SCOPED_TRACE(std::string(set) + " step " + std::to_string(step));
      std::vector<Mass> group = RunGroup(step);
      Bytes d = Load(Path(std::string("data\\") + set + "\\data" + Step(step) + ".icp"));
      for (std::size_t text : {25u, 87u, 149u, 179u, 209u, 229u})
        EXPECT_EQ(d.data()[text - 1], d.getText(text, 61).size()) << "length byte before " << text;

      // The element table (also the mass table of the data table export).
      std::int16_t count = d.getI16(306);
      std::size_t table = 2 * static_cast<std::size_t>(d.getI32(308) - 1);
      ASSERT_EQ(static_cast<std::size_t>(count), group.size());
      std::map<int, double> means;
      for (std::size_t i = 0; i < group.size(); ++i) {
        std::size_t at = table + 24 * i;
        EXPECT_EQ(d.getI16(at), group[i].mass);
        std::string name = d.getText(at + 3, 19);
        EXPECT_EQ(name, group[i].name);
        EXPECT_LT(3 + name.size(), 12u) << "the name must end before the mean value";
        int detector = d.getI16(at + 22);
        EXPECT_TRUE(detector == 0 || detector == 1);
        means[d.getI16(at)] = d.getF32(at + 12);
        EXPECT_GT(d.getF32(at + 18), 0.0f);
      }

      // Points in ascending order; each whole mass's rate equals its mean.
      std::size_t block = 2 * static_cast<std::size_t>(d.getI32(264) - 1);
      std::int16_t points = d.getI16(block + 16);
      EXPECT_EQ(d.size(), block + 24 + 10 * static_cast<std::size_t>(points));
      std::map<int, std::pair<double, double>> sums;  // counts, time
      int last = -1;
      for (int p = 0; p < points; ++p) {
        std::size_t at = block + 24 + 10 * static_cast<std::size_t>(p);
        int x = d.getU16(at);
        EXPECT_GT(x, last);
        last = x;
        int m = (x + 9) / 20;  // nearest whole mass, half down
        ASSERT_TRUE(means.count(m)) << "point at " << x / 20.0;
        sums[m].first += d.getF32(at + 6);
        sums[m].second += d.getF32(at + 2);
      }
      EXPECT_EQ(sums.size(), means.size());
      for (const auto& [m, s] : sums) EXPECT_NEAR(s.first / s.second, means[m], means[m] * 1e-5) << m;

      // The quantitation results name measured masses.
      Bytes q = Load(Path(std::string("data\\") + set + "\\quant." + Step(step)));
      std::int32_t records = q.getI32(938);
      EXPECT_EQ(q.getI32(1350), 1);
      EXPECT_EQ(q.size(), 1540u + 132u * static_cast<std::size_t>(records));
      for (std::int32_t i = 0; i < records; ++i) {
        std::size_t at = 1540 + 132 * static_cast<std::size_t>(i);
        EXPECT_TRUE(means.count(q.getI32(at))) << q.getI32(at);
        EXPECT_NEAR(q.getF32(at + 16), means[q.getI32(at)], means[q.getI32(at)] * 1e-5);
        std::string unit = q.getText(at + 24, 18);
        EXPECT_TRUE(unit == "ppb" || unit == "%") << unit;
      }
    }
  }
}

TEST_F(SampleWorkstation, MethodFilesAgreeWithTheRunGroups) {
  Bytes run = Load(Method("run.icp"));
  EXPECT_EQ(run.getI32(0), 4);  // tune-step mode: run groups are the files 01 to 06
  std::int32_t events = run.getI32(20);
  EXPECT_EQ(run.size(), static_cast<std::size_t>(run.getI32(24)) + 182u * static_cast<std::size_t>(events));
  for (std::int32_t k = 0; k < events; ++k) EXPECT_EQ(run.getI32(run.getI32(24) + 182 * k + 4), k + 1);
  const std::string notQuantified = A("定量しない");

  for (int step = 1; step <= 6; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    std::vector<Mass> group = step <= 2 ? RunGroup(step) : std::vector<Mass>{};

    Bytes cal = Load(Method("calib." + Step(step)));
    std::int32_t n = cal.getI32(cal.getU32(12));
    ASSERT_EQ(static_cast<std::size_t>(n), group.size());
    std::size_t at = cal.getU32(16);
    std::set<int> istd;
    for (std::int32_t i = 0; i < n; ++i) {
      EXPECT_EQ(cal.getI32(at), group[i].mass);
      EXPECT_EQ(cal.getText(at + 4, 26), group[i].name);
      std::string mode = cal.getText(at + 30, 56);
      EXPECT_FALSE(mode.empty());
      if (cal.getI32(at + 128) > 0) istd.insert(cal.getI32(at));
      std::int32_t points = cal.getI32(at + 86);
      EXPECT_EQ(points, mode == notQuantified || cal.getI32(at + 128) > 0 ? 0 : 4);
      at += 144 + 48 * static_cast<std::size_t>(points);
    }
    EXPECT_EQ(cal.size(), at);
    if (step > 2) continue;
    EXPECT_FALSE(istd.empty());

    Bytes qc = Load(Method("qcdb." + Step(step)));
    std::size_t info = qc.getU32(0);
    std::int16_t groups = qc.getI16(info), elements = qc.getI16(info + 2);
    EXPECT_EQ(qc.getI16(info + 4), 3003);
    ASSERT_EQ(static_cast<std::size_t>(elements), group.size());
    std::set<int> listed;
    for (std::int16_t i = 0; i < elements; ++i) {
      std::size_t e = qc.getU32(4) + 14 * static_cast<std::size_t>(i);
      EXPECT_EQ(qc.getI16(e), group[i].mass);
      EXPECT_EQ(qc.getText(e + 2, 10), group[i].name);
      EXPECT_EQ(qc.getI16(e + 12) == 1, istd.count(group[i].mass) == 1) << group[i].mass;
      listed.insert(qc.getI16(e));
    }
    std::size_t g = qc.getU32(8);
    for (std::int16_t k = 0; k < groups; ++k) {
      EXPECT_EQ(qc.getI16(g), k + 1);
      std::int16_t entries = qc.getI16(g + 2);
      for (std::int16_t i = 0; i < entries; ++i)
        EXPECT_TRUE(listed.count(qc.getI16(g + 12 + 130 * static_cast<std::size_t>(i) + 10)));
      g += 12 + 130 * static_cast<std::size_t>(entries);
    }
    EXPECT_EQ(qc.size(), g);

    // Every tune-criteria mass is measured by the step's run group.
    Bytes tn = Load(Method("qctune." + Step(step)));
    std::int16_t masses = tn.getI16(tn.getU32(0) + 2);
    EXPECT_GT(masses, 0);
    EXPECT_EQ(tn.size(), tn.getU32(4) + 14u * static_cast<std::size_t>(masses));
    for (std::int16_t i = 0; i < masses; ++i)
      EXPECT_TRUE(listed.count(tn.getI16(tn.getU32(4) + 14 * static_cast<std::size_t>(i))));
  }
}

TEST_F(SampleWorkstation, SequenceRowsChainToTheEnd) {
  Bytes s = Load(Path("seq\\demo.seq"));
  std::int32_t rows = s.getI32(614);
  std::size_t at = static_cast<std::size_t>(s.getI32(618));
  EXPECT_EQ(at, 1034u);
  EXPECT_EQ(s.getU32(634), 1u);  // the rows carry their method path
  EXPECT_EQ(s.getText(77, 261), A(Path("data\\")));
  std::string keywords = Ini(Path("icpexe\\runtype.ini"), "Keywords", "Keywords") + ",";
  int keywordRows = 0, extended = 0;
  for (std::int32_t r = 0; r < rows; ++r) {
    if (s.getI32(at + 4) == 6) {
      ++keywordRows;
      std::string k = s.getText(at + 1035, 590);
      EXPECT_NE(keywords.find(k + ","), std::string::npos) << k;
    } else {
      EXPECT_EQ(s.getText(at + 277, 758), A(Path("methods\\DEMO.M\\")));
    }
    std::int32_t n = s.getI32(at + 1625);
    extended += n > 0;
    at += 1909 + 34 * static_cast<std::size_t>(n > 0 ? n : 0);
  }
  EXPECT_EQ(s.size(), at);
  EXPECT_EQ(keywordRows, 2);
  EXPECT_EQ(extended, 1);
}

TEST_F(SampleWorkstation, SettingsFilesAgree) {
  const std::string runtype = Path("icpexe\\runtype.ini"), defrt = Path("icpexe\\defrt.icp"),
                    hubex = Path("icpexe\\hubex.ini");
  std::set<int> numbers;
  for (int i = 1;; ++i) {
    std::string type = Ini(runtype, "RunType", ("Type" + std::to_string(i)).c_str());
    if (type == "<missing>") break;
    std::string no = Ini(runtype, type.c_str(), "TypeNo");
    EXPECT_EQ(Ini(defrt, type.c_str(), "TypeNo"), no) << type;
    EXPECT_EQ(Ini(hubex, "RunType", type.c_str()), no) << type;
    EXPECT_EQ(Ini(hubex, "SUFFIX", Ini(runtype, type.c_str(), "Suffix").c_str()), no) << type;
    numbers.insert(std::stoi(no));
  }
  EXPECT_EQ(numbers.size(), 4u);
  EXPECT_EQ(Ini(hubex, "Samplog", "Keywords"), Ini(runtype, "Keywords", "Keywords") + ",End");
  for (const char* set : kDataSets)
    EXPECT_TRUE(numbers.count(Load(Path(std::string("data\\") + set + "\\data01.icp")).getI32(248))) << set;

  const std::string ist = Path("icpexe\\vexmon.ist");
  EXPECT_EQ(Ini(ist, "PCS,1", "_INSTPATH$"), A(Path("")));
  for (const char* key : {"_QCMDPATH$", "_RPTPATH$", "_CHNSEQPATH$"})
    EXPECT_NE(GetFileAttributesA(Ini(ist, "PCS,1", key).c_str()), INVALID_FILE_ATTRIBUTES) << key;
  EXPECT_NE(GetFileAttributesA(Ini(Method("qcinfo.ini"), "QCINFO", "OrgPath").c_str()), INVALID_FILE_ATTRIBUTES);
  const std::string qctune = Path("icpexe\\qctune.ini");
  EXPECT_EQ(Ini(qctune, "Header", "MethPath") + Ini(qctune, "Header", "MethFile"), A(Path("methods\\DEMO.M")));

  // Each data column of the batch view addresses a mass its step measures.
  std::ifstream cfg(Path("icpexe\\dataview.cfg"), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(cfg)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.rfind("<CONFIG>\r\n", 0), 0u);
  std::size_t cols = text.find("<DATA COLS>\r\n"), end = text.find("</DATA COLS>\r\n");
  ASSERT_TRUE(cols != std::string::npos && end != std::string::npos && cols < end);
  std::istringstream tokens(text.substr(cols + 13, end - cols - 13));
  int columns = 0;
  for (std::string line; std::getline(tokens, line, '\n');) {
    std::istringstream cells(line.substr(0, line.find('\r')));
    for (std::string token; std::getline(cells, token, '\t');) {
      std::size_t slash = token.find(" / "), hash = token.find("[#");
      ASSERT_TRUE(slash != std::string::npos && hash != std::string::npos) << token;
      int mass = std::stoi(token.substr(slash + 3));
      int step = std::stoi(token.substr(hash + 2));
      bool found = false;
      for (const Mass& m : RunGroup(step)) found = found || (m.mass == mass && token.substr(0, slash) == m.name);
      EXPECT_TRUE(found) << token;
      ++columns;
    }
  }
  EXPECT_GT(columns, 5);
}

TEST(SampleLayout, InstallKeyPointsAtTheFolder) {
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

TEST(SampleLayout, RefusesAFolderTooLongForThePathFields) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(mcrsample::LayOut(dir.path() + "\\" + std::string(160, 'x'), &error));
  EXPECT_NE(error.find("150"), std::string::npos) << error;
  EXPECT_FALSE(mcrsample::LayOut("", &error));
}

}  // namespace
}  // namespace mcrtest
