// The placement texts as the placement file holds them: positions read the
// way the platform's "%d,%d,%d,%d" reads them, and the file beside a program
// whose path may hold double-byte characters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows/tasktable.h"

namespace {

TEST(TaskTable, StoredPositionAndPlacementFile) {
  struct Case { const char* text; std::vector<int> r; } cases[] = {
      {"10,20,810,620", {10, 20, 810, 620}}, {"10,20", {10, 20, 0, 0}},
      {" +1,\t-2, 3,4,5", {1, -2, 3, 4}},  // blanks before a number only
      {"1 ,2,3,4", {1, 0, 0, 0}}, {"-,5", {0, 0, 0, 0}},
      {"2147483647,-2147483648,2147483648,-99999999999999999999", {2147483647, INT32_MIN, 2147483647, INT32_MIN}}};
  for (const Case& c : cases) {
    mcr::StoredRect r = mcr::ParsePosition(c.text);
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), c.r) << c.text;
  }
  // 0x95 0x5C is one double-byte character: its second byte is no separator.
  struct File { const char* module; const char* file; } files[] = {
      {"C:\\icpexe\\VEXREC.EXE", "C:\\icpexe\\icpms.win"}, {"C:/icp/exe/hubex.exe", "C:/icp/exe/icpms.win"},
      {"C:vexeva.exe", "C:icpms.win"}, {"vextrim.exe", "icpms.win"}, {"C:\\\x95\x5C\\a.exe", "C:\\\x95\x5C\\icpms.win"},
      {"C:\\x\\\x95\x5C.exe", "C:\\x\\icpms.win"}, {"C:\\x\\\x95", "C:\\x\\icpms.win"}};
  for (const File& c : files) EXPECT_EQ(mcr::PlacementFileBeside(c.module), c.file) << c.module;
}

}  // namespace
