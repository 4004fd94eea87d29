// The files and texts behind the dialogs at their edges (the dialogs suite shows the usual ones): unreported
// elements per tune step, the QC tune-criteria values, the method path's two keys, the help viewer a file
// needs, and the dialogs' place on the desktop.
#include <gtest/gtest.h>

#include <climits>

#include "bytes.h"
#include "dialogs/placement.h"
#include "dialogs/qctunesettings.h"
#include "dialogs/unreported.h"

namespace {

using namespace mcr;

const std::string kHyo = "\x95\x5C";  // a double-byte character whose second byte is '\'

TEST(UnreportedFile, EntriesReadWholeAndWrittenBack) {
  // Only the low byte is the flag; the other bytes come back as they were.
  mcrtest::Bytes full(kUnreportedFileSize);
  full.i32(0, 1).i32(4, 0x101).i32(8, 0x100).i32(12, 2).i32(16, -255).i32(1036, 1);
  for (auto [size, whole] : {std::pair<std::size_t, std::size_t>{1040, 260}, {1044, 260}, {3, 0}}) {
    MemorySource source(mcrtest::Bytes(full).resize(size).data());
    UnreportedBlock block;
    block.fill(7);
    EXPECT_EQ(ReadUnreportedBlock(source, block), whole) << size;
    EXPECT_EQ(block[whole ? 259 : 0], whole ? 1 : 0) << size;
  }
  MemorySource source(full.data());
  UnreportedBlock block;
  ReadUnreportedBlock(source, block);
  auto bytes = EncodeUnreportedBlock(block);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), full.data().begin(), full.data().end()));
  EXPECT_EQ(std::pair(WithUnreportedFlag(-255, false), WithUnreportedFlag(0x1FF, true)), std::pair(-256, 0x101));
  // A name filling its field has no terminator.
  const char name[kMassNameWidth] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J'};
  EXPECT_EQ(MeasuredItemText(260, name, 6), "260\tABCDEFGHIJ\t#6");
  struct Item { const char* text; int mass, step; } items[] = {
      {"  7\tLi\t#1", 7, 1}, {"115\t#6", 115, 6}, {"1234\t#2", 123, 2}, {" 5", 5, 5}, {"", 0, 0}, {"x9\t#", 0, 0}};
  for (const Item& i : items) EXPECT_EQ(std::pair(ItemMass(i.text), ItemStep(i.text)), std::pair(i.mass, i.step)) << i.text;
}

TEST(TuneSettings, ValuesPathsAndPlacement) {
  struct Split { const char* value; std::vector<std::string> fields; } splits[] = {
      {"1,0.1,0", {"1", "0.1", "0"}}, {",,5,,", {"5"}}, {"", {}}};
  for (const Split& s : splits) EXPECT_EQ(SplitTuneItem(s.value), s.fields) << s.value;
  struct Number { const char* text; std::int32_t n; } numbers[] = {
      {" 12x", 12}, {"-5", -5}, {"abc", 0}, {"- 3", 0}, {"2147483648", INT_MAX}, {"-99999999999999999999", INT_MIN}};
  for (const Number& n : numbers) EXPECT_EQ(LeadingNumber(n.text), n.n) << n.text;
  for (auto [text, shown] : {std::pair{"-5", "0"}, {"abc", "0"}, {"15%", "15"}, {"007", "7"}, {"99999999999", "2147483647"}})
    EXPECT_EQ(PercentText(text), shown) << text;
  EXPECT_EQ(TuneItemValue(true, "", "0"), "1,,0");
  struct Path { std::string path, dir, file; } paths[] = {
      {"DEMO.M", "", "DEMO.M"}, {"C:DEMO.M", "C:", "DEMO.M"}, {"a/b.M", "a/", "b.M"}, {"C:\\dir\\", "C:\\dir\\", ""},
      {"C:\\A" + kHyo + "X.M", "C:\\", "A" + kHyo + "X.M"}, {"C:\\" + kHyo + "\\X.M", "C:\\" + kHyo + "\\", "X.M"}};
  for (const Path& c : paths) EXPECT_EQ(SplitMethodPath(c.path).dir + "|" + SplitMethodPath(c.path).file, c.dir + "|" + c.file);
  for (auto [path, html] : {std::pair{"C:\\h\\ICP-MS.chm", true}, {"C:\\h\\I.CHM", false}, {"C:\\a.chm\\b", false}, {"a.chm.bak", false}})
    EXPECT_EQ(IsHtmlHelpFile(path), html) << path;
  DialogOrigin odd = CentredOrigin(1024, 768, 301, 121), over = CentredOrigin(200, 100, 301, 151);  // halves toward zero
  EXPECT_EQ(std::vector({odd.left, odd.top, over.left, over.top}), std::vector({362, 324, -50, -25}));
}

}  // namespace
