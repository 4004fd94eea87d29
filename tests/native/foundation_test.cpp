// The platform-free logic: number conversion, token and trim rules, the
// error-number tables and the host's variable names.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "bridge/errmap.h"
#include "bridge/rounding.h"
#include "util/strtext.h"
#include "vars.h"

namespace {

TEST(RoundToInt, HalvesAwayFromZeroAndSaturates) {
  struct Case { double in; std::int32_t out; } cases[] = {
      {2.5, 3}, {-2.5, -3}, {-2.3, -2}, {0.49, 0},
      {2147483646.6, 2147483647}, {2147483647.0, 2147483647}, {-2147483648.0, INT32_MIN}, {-2147483648.4, INT32_MIN},
      {std::numeric_limits<double>::infinity(), 2147483647},
      {-std::numeric_limits<double>::infinity(), INT32_MIN}, {std::nan(""), INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(mcr::RoundToInt(c.in), c.out) << c.in;
  struct Trunc { double in; std::int32_t out; } truncs[] = {
      {2.9, 2}, {-2.9, -2}, {3e9, 2147483647}, {-3e9, INT32_MIN}, {std::nan(""), INT32_MIN}};
  for (const Trunc& c : truncs) EXPECT_EQ(mcr::TruncToInt(c.in), c.out) << c.in;
  EXPECT_EQ(mcr::RoundClamped(70000, 0, 65535), 65535);
  // Unsigned fields: the two ends clamp, the rest goes through RoundToInt.
  struct U32 { double in; std::uint32_t out; } u32[] = {
      {-5, 0}, {4294967295.5, 4294967295u}, {3e9, 2147483647u}, {2.5, 3}, {std::nan(""), 0},
  };
  for (const U32& c : u32) EXPECT_EQ(mcr::RoundToUnsigned32(c.in), c.out) << c.in;
  EXPECT_EQ(mcr::RoundClamped(-4, 0, 65535), 0);
}

TEST(StringText, LeftRightByCount) {
  struct Case { const char* text; std::int32_t n; const char* left; const char* right; } cases[] = {
      {"abc", 0, "", ""}, {"abc", 5, "abc", "abc"}, {"abcdef", 2, "ab", "ef"}, {"", 3, "", ""},
      {"abc", INT32_MIN, "", ""}, {"abc", INT32_MAX, "abc", "abc"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mcr::LeftBytes(c.text, c.n), c.left) << c.text << " " << c.n;
    EXPECT_EQ(mcr::RightBytes(c.text, c.n), c.right) << c.text << " " << c.n;
  }
}

TEST(StringText, TrimOnlyBlanksAndTabs) {
  EXPECT_EQ(mcr::TrimBlanks("\t x "), "x");
  EXPECT_EQ(mcr::TrimBlanks(" \t "), "");
  EXPECT_EQ(mcr::TrimBlanks("\nx\r"), "\nx\r");
  EXPECT_EQ(mcr::TrimBlanks("a b"), "a b");
}

TEST(StringText, TokensCutAtWholeSeparator) {
  struct Case { const char* text; const char* sep; std::size_t count; } cases[] = {
      {"a,,b", ",", 3}, {"a,b,", ",", 3}, {"", ",", 1}, {",", ",", 2}, {"a---b", "--", 2}, {"----", "--", 3},
      {"abc", "abcd", 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(mcr::CountTokens(c.text, c.sep), c.count) << c.text << " / " << c.sep;

  struct Nth { const char* text; const char* sep; int n; const char* token; } nth[] = {
      {"a,b,c", ",", 3, "c"}, {"a,b,c", ",", 4, ""}, {"a,,b", ",", 2, ""}, {",x", ",", 1, ""},
      {"a---b", "--", 2, "-b"}, {"", ",", 1, ""},
  };
  for (const Nth& c : nth)
    EXPECT_EQ(mcr::NthToken(c.text, c.sep, c.n), c.token) << c.text << " #" << c.n;
}

TEST(ErrorTables, ErrnoNumbers) {
  struct Case { int e, id; } cases[] = {{2, 1414}, {13, 1407}, {36, 1409}, {-1, 1405}, {0, 1405}, {15, 1405},
                                        {26, 1405}, {35, 1405}, {37, 1405}};
  for (const Case& c : cases) EXPECT_EQ(mcr::ErrnoId(c.e), c.id) << c.e;
  std::set<int> seen;  // every other number has an errno text of its own
  for (int e = 1; e <= 36; ++e) {
    int id = mcr::ErrnoId(e);
    EXPECT_TRUE(id == 1405 || (id >= 1406 && id <= 1439 && seen.insert(id).second)) << e;
  }
  EXPECT_EQ(seen.size(), 33u);
}

TEST(ErrorTables, SystemErrorRuns) {
  struct Case { unsigned long code; int id; } cases[] = {
      {1, 1442}, {13, 1454}, {14, 5020}, {15, 1455}, {36, 1476}, {37, 5020}, {50, 1477}, {72, 1499},
      {73, 5020}, {80, 1500}, {88, 1508}, {89, 5020}, {0, 5020}, {0xFFFFFFFFul, 5020},
  };
  for (const Case& c : cases) EXPECT_EQ(mcr::SystemErrorId(c.code), c.id) << c.code;
}

TEST(HostVariables, NamesIgnoreLetterCaseButNotDoubleByteCharacters) {
  mcrhost::VarStore vars;  // (docs/language.md shows names in other letter cases)
  // 0x83 0x61 is one Shift-JIS character; its trail byte 'a' must not fold.
  vars.setNumber("\x83\x61", 1);
  EXPECT_EQ(vars.find("\x83\x41"), nullptr);
  EXPECT_NE(vars.find("\x83\x61"), nullptr);
  std::uint32_t t = vars.newTable(3);
  vars.setTable("T", t);
  (*vars.table(t))[2] = 5;
  EXPECT_EQ((*vars.table(vars.find("t")->table))[2], 5);
  vars.erase("t");
  EXPECT_EQ(vars.find("T"), nullptr);
}

}  // namespace
