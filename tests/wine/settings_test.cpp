// What the settings words' case file (tests/calls/settings.calls) cannot
// say: a run-type file of 56 types, and a time stamp that must move.
#include <windows.h>

#include <filesystem>

#include "testhost.h"

namespace mcrtest {
namespace {

// The "key=value" lines of an INI file's section, in file order, joined by '|'.
std::string Section(const std::string& file, const char* name) {
  char buffer[8192];
  std::string lines(buffer, GetPrivateProfileSectionA(name, buffer, sizeof buffer, file.c_str()));
  for (char& c : lines) c = c ? c : '|';
  return lines;
}

// Names are cut to 19 bytes; at most 55 types are read; a type without a
// number still gives its suffix, with no number.
TEST(SettingsWords, MakeHubexIniRewritesTheRunTypeSections) {
  TempDir dir;
  auto host = OpenHost();
  const std::string launcher = dir.file("hubex.ini"), runTypes = dir.file("runtype.ini");
  WriteAll(launcher, "[Samplog]\r\nKeywords=old\r\nOther=keep\r\n[RunType]\r\nStale=9\r\n[SUFFIX]\r\nOLD=9\r\n");
  std::string body = "[Keywords]\r\nKeywords=Blank,Std\r\n[RunType]\r\nType1=VeryLongRunTypeNameExceeding\r\n"
                     "Type2=NoNumber\r\n",
              sections = "[VeryLongRunTypeName]\r\nTypeNo=1\r\nSuffix=VLN\r\n[NoNumber]\r\nSuffix=NON\r\n", types;
  for (int n = 3; n <= 56; ++n) {
    const std::string t = std::to_string(n);
    body += "Type" + t + "=T" + t + "\r\n", sections += "[T" + t + "]\r\nTypeNo=" + t + "\r\n";
    types += n < 56 ? "T" + t + "=" + t + "|" : "";
  }
  WriteAll(runTypes, body + sections);
  EXPECT_TRUE(host->call("MakeHubexIni", {S(runTypes), S(launcher)}).status == 0 && host->shown().empty());
  EXPECT_EQ(Section(launcher, "Samplog"), "Keywords=Blank,Std,End|Other=keep|");
  EXPECT_EQ(Section(launcher, "RunType"), "VeryLongRunTypeName=1|" + types);
  EXPECT_EQ(Section(launcher, "SUFFIX"), "VLN=1|NON=|");
}

TEST(SettingsWords, SetCurTimeStampMovesTheTimeToNow) {
  TempDir dir;
  const std::string file = dir.file("stamp.txt");
  WriteAll(file, "x");
  const auto now = std::filesystem::last_write_time(file);
  std::filesystem::last_write_time(file, now - std::chrono::hours(24 * 365));
  EXPECT_EQ(OpenHost()->call("SETCURTIMESTAMP", {S(file)}).status, 0);
  EXPECT_GE(std::filesystem::last_write_time(file), now);
}

}  // namespace
}  // namespace mcrtest
