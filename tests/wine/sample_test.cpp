// The sample workstation read back through the documented layouts with the test's own byte reader (the
// reference examples and the tour run on it): walks end where the files end; the files agree.
#include <set>

#include "bytes.h"
#include "testhost.h"
#include "workstation.h"

namespace mcrtest {
namespace {

TEST(Sample, FilesEndWhereTheirWalksEndAndAgreeWithOneAnother) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(mcrsample::LayOut(dir.path(), &error)) << error;
  auto load = [&](const std::string& rel) { return Bytes::Load(dir.file(rel)); };
  // The data sets' element tables hold the run group's masses and names in order; their results, measured masses.
  Bytes g = load("methods\\DEMO.M\\rungroup.01");
  const std::size_t masses = g.getU32(104);
  ASSERT_TRUE(masses > 0 && g.size() == 436 + 26 * masses) << masses << " masses, " << g.size() << " bytes";
  for (const std::string set : {"data\\STD001.D\\", "data\\SAMPLE01.D\\"}) {
    Bytes d = load(set + "data01.icp"), q = load(set + "quant.01");
    const std::size_t table = 2 * (d.getU32(308) - 1), points = 2 * (d.getU32(264) - 1);
    ASSERT_EQ(d.getU16(306), masses) << set;
    EXPECT_EQ(d.size(), points + 24 + 10 * d.getU16(points + 16)) << set;
    std::set<int> measured;
    for (std::size_t i = 0; i < masses; ++i) {
      EXPECT_TRUE(d.getI16(table + 24 * i) == g.getI32(436 + 26 * i) &&
                  d.getText(table + 24 * i + 3, 9) == g.getText(436 + 26 * i + 4, 10)) << set << i;
      measured.insert(g.getI32(436 + 26 * i));
    }
    ASSERT_EQ(q.size(), 1540 + 132 * q.getU32(938)) << set;
    for (std::size_t at = 1540; at < q.size(); at += 132) EXPECT_TRUE(measured.count(q.getI32(at))) << q.getI32(at);
  }
  // The method's run file and calibration, and the sequence's rows, each of its own length.
  Bytes run = load("methods\\DEMO.M\\run.icp"), cal = load("methods\\DEMO.M\\calib.01"), s = load("seq\\demo.seq");
  EXPECT_EQ(run.size(), run.getU32(24) + 182 * run.getU32(20));
  std::size_t at = cal.getU32(16);
  for (std::uint32_t i = 0, n = cal.getU32(cal.getU32(12)); i < n; ++i) at += 144 + 48 * cal.getU32(at + 86);
  EXPECT_EQ(cal.size(), at);
  at = s.getU32(618);
  for (std::int32_t r = 0; r < s.getI32(614); ++r) at += 1909 + 34 * std::max(s.getI32(at + 1625), 0);
  EXPECT_EQ(s.size(), at);
  // Paths point into the sample, and the run types' keywords are the sample log's.
  EXPECT_EQ(s.getText(77, 261), A(dir.file("data\\")));
  EXPECT_NE(ReadAll(dir.file("icpexe\\vexmon.ist")).find("_INSTPATH$=" + A(dir.path()) + "\\\r\n"), std::string::npos);
  char keywords[2][512];
  GetPrivateProfileStringA("Keywords", "Keywords", "", keywords[0], 512, dir.file("icpexe\\runtype.ini").c_str());
  GetPrivateProfileStringA("Samplog", "Keywords", "", keywords[1], 512, dir.file("icpexe\\hubex.ini").c_str());
  EXPECT_EQ(std::string(keywords[0]) + ",End", keywords[1]);
}

}  // namespace
}  // namespace mcrtest
