// The files and texts behind the dialogs of the macro commands: unreported
// elements per tune step, the QC tune-criteria values, the method path's two
// keys, the help viewer a file needs, and the dialogs' place on the desktop.
#include <gtest/gtest.h>

#include <climits>

#include "bytes.h"
#include "dialogs/placement.h"
#include "dialogs/qctunesettings.h"
#include "dialogs/unreported.h"

namespace {

using namespace mcr;
using mcrtest::Bytes;
using Strings = std::vector<std::string>;

const std::string kHyo = "\x95\x5C";  // a double-byte character whose second byte is '\'

TEST(UnreportedFile, EntriesReadWholeAndWrittenBack) {
  // Only the low byte is the flag; the other bytes come back as they were.
  Bytes full(kUnreportedFileSize);
  full.i32(0, 1).i32(4, 0x101).i32(8, 0x100).i32(12, 2).i32(16, -255).i32(1036, 1);
  struct Case { std::size_t size; std::size_t whole; } cases[] = {{1040, 260}, {1039, 259}, {1044, 260}, {3, 0}};
  for (const Case& c : cases) {
    Bytes file = full;
    file.resize(c.size);
    MemorySource source(file.data());
    UnreportedBlock block;
    block.fill(7);
    EXPECT_EQ(ReadUnreportedBlock(source, block), c.whole) << c.size;
    EXPECT_EQ(block[c.whole == 260 ? 259 : c.whole], c.whole == 260 ? 1 : 0) << "no part of an entry is taken";
  }
  MemorySource source(full.data());
  UnreportedBlock block;
  ReadUnreportedBlock(source, block);
  bool set[] = {true, true, false, false, true};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(IsUnreported(block[i]), set[i]) << i;
  auto bytes = EncodeUnreportedBlock(block);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), full.data().begin(), full.data().end()));
  EXPECT_EQ(WithUnreportedFlag(0x101, false), 0x100);
  EXPECT_EQ(WithUnreportedFlag(-255, false), -256);
  EXPECT_EQ(WithUnreportedFlag(0x1FF, true), 0x101);
}

TEST(UnreportedFile, ListTexts) {
  // (The dialogs suite shows the usual texts.) A name filling its field has no terminator.
  const char full[kMassNameWidth] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J'};
  EXPECT_EQ(MeasuredItemText(260, full, 6), "260\tABCDEFGHIJ\t#6");
  struct Item { const char* text; int mass, step; } items[] = {
      {"  7\tLi\t#1", 7, 1}, {"115\t#6", 115, 6}, {"1234\t#2", 123, 2}, {" 5", 5, 5}, {"", 0, 0}, {"x9\t#", 0, 0}};
  for (const Item& i : items) {
    EXPECT_EQ(ItemMass(i.text), i.mass) << i.text;
    EXPECT_EQ(ItemStep(i.text), i.step) << i.text;
  }
}

TEST(TuneSettings, ValuesReadBack) {
  struct Split { const char* value; Strings fields; } splits[] = {
      {"1,0.1,0", {"1", "0.1", "0"}}, {"1,,0", {"1", "0"}}, {",,5,,", {"5"}}, {"", {}}, {"abc", {"abc"}}};
  for (const Split& s : splits) EXPECT_EQ(SplitTuneItem(s.value), s.fields) << s.value;
  struct Number { const char* text; std::int32_t n; } numbers[] = {
      {" 12x", 12}, {"-5", -5}, {"+7", 7}, {"abc", 0}, {"- 3", 0}, {"\t3", 3}, {"2147483647", INT_MAX},
      {"2147483648", INT_MAX}, {"-2147483648", INT_MIN}, {"-99999999999999999999", INT_MIN}};
  for (const Number& n : numbers) EXPECT_EQ(LeadingNumber(n.text), n.n) << n.text;
  struct Percent { const char* text; const char* shown; } percents[] = {
      {"-5", "0"}, {"abc", "0"}, {"15%", "15"}, {"007", "7"}, {"", "0"}, {"99999999999", "2147483647"}};
  for (const Percent& p : percents) EXPECT_EQ(PercentText(p.text), p.shown) << p.text;
  EXPECT_EQ(TuneItemValue(true, "", "0"), "1,,0");
  EXPECT_EQ(TuneItemValue(false, "0.8", "10"), "0,0.8,10");
}

TEST(TuneSettings, MethodPathAndHelpFile) {
  struct Case { std::string path, dir, file; } cases[] = {
      {"C:\\ICP\\METHODS\\DEMO.M", "C:\\ICP\\METHODS\\", "DEMO.M"}, {"DEMO.M", "", "DEMO.M"},
      {"C:DEMO.M", "C:", "DEMO.M"}, {"a/b.M", "a/", "b.M"}, {"C:\\dir\\", "C:\\dir\\", ""},
      {"C:\\A" + kHyo + "X.M", "C:\\", "A" + kHyo + "X.M"}, {"C:\\" + kHyo + "\\X.M", "C:\\" + kHyo + "\\", "X.M"}};
  for (const Case& c : cases) {
    MethodPathParts parts = SplitMethodPath(c.path);
    EXPECT_EQ(parts.dir, c.dir) << c.path;
    EXPECT_EQ(parts.file, c.file) << c.path;
  }
  struct Help { const char* path; bool html; } helps[] = {
      {"C:\\help\\ICP-MS.chm", true}, {"C:\\help\\ICP-MS.CHM", false}, {"C:\\a.chm\\b", false},
      {"a.chm.bak", false}, {"C:\\icpexe\\vexmon.istICP-MS.CHM", false}, {"x.Chm", false}};
  for (const Help& h : helps) EXPECT_EQ(IsHtmlHelpFile(h.path), h.html) << h.path;
}

TEST(DialogPlacement, HalvesRoundTowardZero) {
  struct Case { int areaW, areaH, w, h, left, top; } cases[] = {
      {1024, 738, 300, 120, 362, 309}, {1024, 768, 301, 121, 362, 324}, {200, 100, 301, 151, -50, -25}};
  for (const Case& c : cases) {
    DialogOrigin at = CentredOrigin(c.areaW, c.areaH, c.w, c.h);
    EXPECT_EQ(at.left, c.left);
    EXPECT_EQ(at.top, c.top);
  }
}

}  // namespace
