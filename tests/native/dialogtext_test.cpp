// The rules of the method and calibration file-name dialog and of the offline configuration dialog on texts in
// memory: reserved extensions, file names, choice lists, the application tables and the inhibited masses.
#include <gtest/gtest.h>

#include "dialogs/offlinecfg.h"
#include "dialogs/svmethcal.h"
#include "instfiles/bytesource.h"

namespace {

using namespace mcr;
using Strings = std::vector<std::string>;
using Masses = std::vector<std::int32_t>;

// Double-byte characters whose second byte is '\', whose second byte is '`', and a letter.
const std::string kSo = "\x83\x5C", kWave = "\x81\x60", kZen = "\x82\x60";

MemorySource Text(const std::string& s) { return MemorySource(std::vector<std::uint8_t>(s.begin(), s.end())); }

TEST(MethCalRules, ReservedExtensionsAndFileNames) {
  const std::string x254(254, 'x'), x255(255, 'x');
  struct Case { std::string list; std::optional<Strings> entries; } cases[] = {
      {"M:C", Strings{".M\\", ".C\\"}}, {".M\\:C\\", Strings{".M\\", ".C\\"}}, {"::m::", Strings{".m\\"}},
      {"", Strings{}}, {"a:b:c:d:e:f:g:h:i", Strings{".a\\", ".b\\", ".c\\", ".d\\", ".e\\", ".f\\", ".g\\", ".h\\"}},
      {x254, Strings{"." + x254 + "\\"}}, {x255, std::nullopt}, {"M" + kSo, Strings{".M" + kSo + "\\"}}};
  for (const Case& c : cases) EXPECT_EQ(ReservedExtensions(c.list), c.entries) << c.list;
  EXPECT_EQ(ReservedExtensions("a:b:c:d:e:f:g:h:" + x255)->size(), 8u);  // a ninth entry is not looked at
  const Strings entries{".C\\", ".M\\"};
  EXPECT_TRUE(FindReservedExtension("C:\\Work\\A.Mx\\B.C", entries) == nullptr &&
              *FindReservedExtension("C:\\Work\\A.m\\x\\", entries) == ".M\\");
  EXPECT_EQ(FolderForm("") + "|" + FolderForm("C:\\" + kSo), "|C:\\" + kSo + "\\");
  struct Part { std::string path, name; } parts[] = {
      {"D:\\x\\NAME.M", "NAME"}, {"abc.def.ghi", "abc.def"}, {"C:name", "name"}, {"dir/", ""}, {".m", ""},
      {"x\\" + kSo + ".M", kSo}, {"a" + kSo, "a" + kSo}};
  for (const Part& p : parts) EXPECT_EQ(NamePart(p.path), p.name) << p.path;
  // Empty, then a path or extension, then the length, then the characters.
  struct Name { std::string name; int message; } names[] = {
      {"", 1039}, {"a.b", 1041}, {"C:x", 1041}, {"x:", 1041}, {"a\\b", 1041}, {"a/b", 1041}, {"abcdefgh", 0},
      {"abcdefghi", 1042}, {"a b", 1039}, {"a b c d e", 1042}, {"a.b c", 1041}, {kSo + "ab", 0}, {"a" + kWave, 0},
      {kZen + kZen + kZen + kZen, 0}, {kZen + kZen + kZen + kZen + "a", 1042}};
  for (const Name& n : names) EXPECT_EQ(FileNameMessage(n.name), n.message) << n.name;
  for (char c : std::string(" ,\"'*;\t`?")) EXPECT_EQ(FileNameMessage(std::string("ab") + c), 1039) << c;
}

TEST(OfflineCfgRules, ChoiceListsTablesAndMasses) {
  struct Case { std::string bytes; std::vector<std::pair<std::string, int>> choices; } cases[] = {
      {std::string("\x82\xc8\x82\xb5:-1\0RAPS:4\0\0", 15), {{"\x82\xc8\x82\xb5", -1}, {"RAPS", 4}}},
      {std::string("A:1\0\0B:2\0", 9), {{"A", 1}}}, {std::string("A:1\0B:2", 7), {{"A", 1}, {"B", 2}}},
      {std::string("NoColon\0X:abc\0a:5:6\0", 20), {{"NoColon", 0}, {"X", 0}, {"a", 5}}},
      {"Big:99999999999", {{"Big", 2147483647}}}, {"Neg:-99999999999", {{"Neg", -2147483647 - 1}}}};
  for (const Case& c : cases) {
    std::vector<std::pair<std::string, int>> got;
    for (const Choice& ch : ParseChoiceList(c.bytes.data(), c.bytes.size())) got.push_back({ch.name, ch.value});
    EXPECT_EQ(got, c.choices) << c.bytes;
  }
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += std::to_string(i) + ":" + std::to_string(i) + '\0';
  EXPECT_EQ(ParseChoiceList(eleven.data(), eleven.size()).size(), 10u);
  EXPECT_TRUE(ParseChoiceList(nullptr, 5).empty());
  const std::string n127(127, 'n'), n126(126, 'n');
  MemorySource table = Text("Std\tx.mpm\ty.mpm\r\n#std_beg  \r\nStd1\tstd1a.mpu\tstd1.mpm\r\n\r\nOnly\r\n" + n127 +
                            "more\tz\r\n" + n126 + kZen + "\r\n#STD_END\r\nAfter\ta\tb\r\n#STD_BEG\nLast\tl\tm");
  Strings got;
  for (const auto& a : ReadStandardApplications(table)) got.push_back(a.name + "|" + a.fileWithSampler + "|" + a.fileWithout);
  EXPECT_EQ(got, (Strings{"Std1|std1a.mpu|std1.mpm", "Only||", n127 + "||", n126 + "||", "Last|l|m"}));
  MemorySource app = Text("AppName\tBefore\n#APP_BEG\r\nKey\t1\r\nappname\tCell Mode\r\nAppName\tLater\r\n#APP_END"),
               none = Text("#APP_BEG\r\n#APP_END\r\nAppName\tOutside\r\n");
  EXPECT_EQ(ReadApplicationName(app) + "|" + ReadApplicationName(none), "Cell Mode|");
  // (The dialogs suite reads and writes the usual ones.)
  EXPECT_EQ(MassesFromKey("1 2 3 4 5 6 7 8 9 10 11"), (Masses{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(MassesFromKey("99999999999"), (Masses{2147483647}));
  // A repeat or a value out of 2 to 260 is cleared; the rest show "%d".
  InhibitedMasses b = CheckMassFields({"260", "2", "1", "261", "0002", "-5", "1a", "0000000009", "000", "4"});
  EXPECT_EQ(Strings(b.fields.begin(), b.fields.end()), (Strings{"260", "2", "", "", "", "", "", "9", "", "4"}));
  EXPECT_EQ(b.masses, (Masses{2, 4, 9, 260}));
  EXPECT_EQ(InhibitKeyText({7, 50}) + "|" + InhibitKeyText({}), "7 50 |");
  EXPECT_EQ(std::pair(SettingNumber("-1"), SettingNumber("4x")), std::pair(std::optional(-1), std::optional(4)));
  for (const char* none : {"", "NO_PARAM", "-", " 4"}) EXPECT_EQ(SettingNumber(none), std::nullopt) << none;
}

}  // namespace
