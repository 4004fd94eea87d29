// The sample workstation read back through the documented layouts, with
// the test's own byte reader: every walk through counts and offsets ends
// exactly where the file ends, and the files agree with one another.
#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "bytes.h"
#include "testhost.h"
#include "workstation.h"

namespace mcrtest {
namespace {

// The sample, laid out once for the whole suite.
std::string Path(const std::string& rel) {
  static TempDir dir;
  static const bool laidOut = [] {
    std::string error;
    EXPECT_TRUE(mcrsample::LayOut(dir.path(), &error)) << error;
    return true;
  }();
  (void)laidOut;
  return dir.path() + "\\" + rel;
}
std::string Method(const std::string& file) { return Path("methods\\DEMO.M\\" + file); }
std::string Step(int n) { return "0" + std::to_string(n); }
Bytes Load(const std::string& path) {
  Bytes b = Bytes::Load(path);
  EXPECT_GT(b.size(), 0u) << path;
  return b;
}
std::string Ini(const std::string& file, const std::string& section, const std::string& key) {
  char value[512];
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>", value, sizeof value, file.c_str());
  return value;
}

// The run group's masses and names: the reference the other files are held to.
using Mass = std::pair<int, std::string>;
std::vector<Mass> RunGroup(int step) {
  Bytes b = Load(Method("rungroup." + Step(step)));
  std::size_t count = b.getU32(104);
  EXPECT_EQ(b.size(), 436 + 26 * count);
  std::vector<Mass> out;
  for (std::size_t at = 436; at < 436 + 26 * count; at += 26) out.push_back({b.getI32(at), b.getText(at + 4, 10)});
  return out;
}

TEST(Sample, DataFilesWalkToTheirEndAndMatchTheRunGroups) {
  for (const char* set : {"STD001.D", "SAMPLE01.D"}) {
    for (int step = 1; step <= 2; ++step) {
      SCOPED_TRACE(std::string(set) + " step " + std::to_string(step));
      std::vector<Mass> group = RunGroup(step);
      const std::string dir = Path(std::string("data\\") + set + "\\");
      Bytes d = Load(dir + "data" + Step(step) + ".icp");
      for (std::size_t text : {25u, 87u, 149u, 179u, 209u, 229u})
        EXPECT_EQ(d.data()[text - 1], d.getText(text, 61).size()) << "length byte before " << text;

      // The element table (also the mass table of the data table export).
      std::size_t table = 2 * (d.getU32(308) - 1);
      ASSERT_EQ(d.getU16(306), group.size());
      std::map<int, double> means;
      for (std::size_t i = 0, at = table; i < group.size(); ++i, at += 24) {
        EXPECT_EQ(Mass(d.getI16(at), d.getText(at + 3, 9)), group[i]);  // the name ends before the mean at +12
        means[group[i].first] = d.getF32(at + 12);
      }

      // Points in ascending order, around every measured mass and no other.
      std::size_t block = 2 * (d.getU32(264) - 1), points = d.getU16(block + 16);
      EXPECT_EQ(d.size(), block + 24 + 10 * points);
      std::set<int> seen;
      for (std::size_t at = block + 24, last = 0; at < block + 24 + 10 * points; last = d.getU16(at), at += 10) {
        EXPECT_GT(d.getU16(at), last);
        seen.insert((d.getU16(at) + 9) / 20);  // the nearest whole mass, half down
      }
      EXPECT_EQ(seen.size(), means.size());
      for (int m : seen) EXPECT_TRUE(means.count(m)) << m;

      // The quantitation results name measured masses.
      Bytes q = Load(dir + "quant." + Step(step));
      EXPECT_EQ(q.getI32(1350), 1);
      ASSERT_EQ(q.size(), 1540 + 132 * q.getU32(938));
      for (std::size_t at = 1540; at < q.size(); at += 132) {
        ASSERT_TRUE(means.count(q.getI32(at))) << q.getI32(at);
        EXPECT_NEAR(q.getF32(at + 16), means[q.getI32(at)], means[q.getI32(at)] * 1e-5);
        EXPECT_TRUE(q.getText(at + 24, 18) == "ppb" || q.getText(at + 24, 18) == "%") << q.getText(at + 24, 18);
      }
    }
  }
}

TEST(Sample, MethodFilesAgreeWithTheRunGroups) {
  Bytes run = Load(Method("run.icp"));
  EXPECT_EQ(run.getI32(0), 4);  // tune-step mode: run groups are the files 01 to 06
  std::size_t events = run.getU32(20), first = run.getU32(24);
  EXPECT_EQ(run.size(), first + 182 * events);
  for (std::size_t k = 0; k < events; ++k) EXPECT_EQ(run.getU32(first + 182 * k + 4), k + 1);

  for (int step = 1; step <= 6; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    std::vector<Mass> group = step <= 2 ? RunGroup(step) : std::vector<Mass>{};
    Bytes cal = Load(Method("calib." + Step(step)));
    ASSERT_EQ(cal.getU32(cal.getU32(12)), group.size());
    std::size_t at = cal.getU32(16);
    std::set<int> istd;
    for (const Mass& m : group) {
      EXPECT_EQ(Mass(cal.getI32(at), cal.getText(at + 4, 26)), m);
      std::string mode = cal.getText(at + 30, 56);
      EXPECT_FALSE(mode.empty());
      bool isIstd = cal.getI32(at + 128) > 0, quantified = mode != A("定量しない");
      if (isIstd) istd.insert(m.first);
      std::size_t points = cal.getU32(at + 86);
      EXPECT_EQ(points, quantified && !isIstd ? 4u : 0u);
      at += 144 + 48 * points;
    }
    EXPECT_EQ(cal.size(), at);
    if (step > 2) continue;
    EXPECT_FALSE(istd.empty());

    // Every element with its internal-standard flag; the check groups and
    // the tune criteria name listed masses only.
    Bytes qc = Load(Method("qcdb." + Step(step)));
    std::size_t info = qc.getU32(0), groups = qc.getU16(info);
    EXPECT_EQ(qc.getI16(info + 4), 3003);
    ASSERT_EQ(qc.getU16(info + 2), group.size());
    std::set<int> listed;
    for (std::size_t i = 0; i < group.size(); ++i) {
      std::size_t e = qc.getU32(4) + 14 * i;
      EXPECT_EQ(Mass(qc.getI16(e), qc.getText(e + 2, 10)), group[i]);
      EXPECT_EQ(qc.getI16(e + 12) == 1, istd.count(group[i].first) == 1) << group[i].first;
      listed.insert(qc.getI16(e));
    }
    std::size_t g = qc.getU32(8);
    for (std::size_t k = 1; k <= groups; ++k) {
      EXPECT_EQ(qc.getU16(g), k);
      std::size_t entries = qc.getU16(g + 2);
      for (std::size_t i = 0; i < entries; ++i) EXPECT_TRUE(listed.count(qc.getI16(g + 12 + 130 * i + 10)));
      g += 12 + 130 * entries;
    }
    EXPECT_EQ(qc.size(), g);

    Bytes tn = Load(Method("qctune." + Step(step)));
    std::size_t masses = tn.getU16(tn.getU32(0) + 2);
    EXPECT_GT(masses, 0u);
    EXPECT_EQ(tn.size(), tn.getU32(4) + 14 * masses);
    for (std::size_t i = 0; i < masses; ++i) EXPECT_TRUE(listed.count(tn.getI16(tn.getU32(4) + 14 * i)));
  }
}

TEST(Sample, SequenceRowsChainToTheEnd) {
  Bytes s = Load(Path("seq\\demo.seq"));
  std::size_t at = s.getU32(618);
  EXPECT_EQ(at, 1034u);
  EXPECT_EQ(s.getU32(634), 1u);  // the rows carry their method path
  EXPECT_EQ(s.getText(77, 261), A(Path("data\\")));
  std::string keywords = Ini(Path("icpexe\\runtype.ini"), "Keywords", "Keywords") + ",";
  int keywordRows = 0, extended = 0;
  for (std::int32_t r = 0; r < s.getI32(614); ++r) {
    if (s.getI32(at + 4) == 6) {
      ++keywordRows;
      EXPECT_NE(keywords.find(s.getText(at + 1035, 590) + ","), std::string::npos) << s.getText(at + 1035, 590);
    } else {
      EXPECT_EQ(s.getText(at + 277, 758), A(Path("methods\\DEMO.M\\")));
    }
    std::size_t n = std::max(s.getI32(at + 1625), 0);
    extended += n > 0;
    at += 1909 + 34 * n;
  }
  EXPECT_EQ(s.size(), at);
  EXPECT_EQ(keywordRows, 2);
  EXPECT_EQ(extended, 1);
}

TEST(Sample, SettingsFilesAgree) {
  const std::string runtype = Path("icpexe\\runtype.ini"), hubex = Path("icpexe\\hubex.ini");
  std::set<std::string> numbers;
  for (int i = 1;; ++i) {
    std::string type = Ini(runtype, "RunType", "Type" + std::to_string(i));
    if (type == "<missing>") break;
    std::string no = Ini(runtype, type, "TypeNo");
    EXPECT_EQ(Ini(Path("icpexe\\defrt.icp"), type, "TypeNo"), no) << type;
    EXPECT_EQ(Ini(hubex, "RunType", type), no) << type;
    EXPECT_EQ(Ini(hubex, "SUFFIX", Ini(runtype, type, "Suffix")), no) << type;
    numbers.insert(no);
  }
  EXPECT_EQ(numbers.size(), 4u);
  EXPECT_EQ(Ini(hubex, "Samplog", "Keywords"), Ini(runtype, "Keywords", "Keywords") + ",End");
  for (const char* set : {"STD001.D", "SAMPLE01.D"})
    EXPECT_TRUE(numbers.count(std::to_string(Load(Path(std::string("data\\") + set + "\\data01.icp")).getI32(248))));

  const std::string ist = Path("icpexe\\vexmon.ist"), qctune = Path("icpexe\\qctune.ini");
  EXPECT_EQ(Ini(ist, "PCS,1", "_INSTPATH$"), A(Path("")));
  for (const std::string& folder : {Ini(ist, "PCS,1", "_QCMDPATH$"), Ini(ist, "PCS,1", "_RPTPATH$"),
                                    Ini(ist, "PCS,1", "_CHNSEQPATH$"), Ini(Method("qcinfo.ini"), "QCINFO", "OrgPath")})
    EXPECT_NE(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES) << folder;
  EXPECT_EQ(Ini(qctune, "Header", "MethPath") + Ini(qctune, "Header", "MethFile"), A(Path("methods\\DEMO.M")));

  // Each data column of the batch view addresses a mass its step measures.
  const std::vector<std::uint8_t> bytes = Load(Path("icpexe\\dataview.cfg")).data();
  const std::string text(bytes.begin(), bytes.end());
  std::smatch cols;
  EXPECT_EQ(text.rfind("<CONFIG>\r\n", 0), 0u);
  ASSERT_TRUE(std::regex_search(text, cols, std::regex("\r\n<DATA COLS>\r\n([\\s\\S]*)</DATA COLS>\r\n")));
  const std::string body = cols[1];
  const std::regex column("([^\t\r\n]+) / (\\d+)\\[#(\\d)\\]");
  EXPECT_EQ(std::regex_replace(body, column, "").find_first_not_of("\t\r\n"), std::string::npos) << body;
  int columns = 0;
  for (std::sregex_iterator it(body.begin(), body.end(), column), last; it != last; ++it, ++columns) {
    std::vector<Mass> group = RunGroup(std::stoi((*it)[3]));
    EXPECT_NE(std::find(group.begin(), group.end(), Mass(std::stoi((*it)[2]), (*it)[1])), group.end()) << it->str();
  }
  EXPECT_GT(columns, 5);
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

TEST(Sample, RefusesAFolderTooLongForThePathFields) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(mcrsample::LayOut(dir.path() + "\\" + std::string(160, 'x'), &error));
  EXPECT_NE(error.find("150"), std::string::npos) << error;
  EXPECT_FALSE(mcrsample::LayOut("", &error));
}

}  // namespace
}  // namespace mcrtest
