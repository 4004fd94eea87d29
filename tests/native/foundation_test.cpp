// The platform-free logic: number conversion, token and trim rules, the
// error-number tables and the host's variable names.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "bridge/errmap.h"
#include "bridge/rounding.h"
#include "util/strtext.h"
#include "vars.h"

namespace {

TEST(RoundToInt, HalvesAwayFromZeroAndSaturates) {
  const double inf = INFINITY;
  struct Case { double in; std::int32_t round, trunc; } cases[] = {
      {2.5, 3, 2}, {-2.5, -3, -2}, {-2.3, -2, -2}, {0.49, 0, 0}, {2.9, 3, 2}, {2147483646.6, INT32_MAX, 2147483646},
      {-2147483648.4, INT32_MIN, INT32_MIN}, {3e9, INT32_MAX, INT32_MAX}, {-inf, INT32_MIN, INT32_MIN},
      {inf, INT32_MAX, INT32_MAX}, {NAN, INT32_MIN, INT32_MIN}};
  for (const Case& c : cases) {
    EXPECT_EQ(mcr::RoundToInt(c.in), c.round) << c.in;
    EXPECT_EQ(mcr::TruncToInt(c.in), c.trunc) << c.in;
  }
  // Unsigned fields: the two ends clamp, the rest goes through RoundToInt.
  struct U32 { double in; std::uint32_t out; } u32[] = {{-5, 0}, {4294967295.5, 4294967295u}, {3e9, 2147483647u},
                                                        {2.5, 3}, {NAN, 0}};
  for (const U32& c : u32) EXPECT_EQ(mcr::RoundToUnsigned32(c.in), c.out) << c.in;
  EXPECT_EQ(mcr::RoundClamped(70000, 0, 65535), 65535);
  EXPECT_EQ(mcr::RoundClamped(-4, 0, 65535), 0);
}

TEST(StringText, CountsTrimAndTokens) {
  struct Side { const char* text; std::int32_t n; const char* left; const char* right; } sides[] = {
      {"abc", 0, "", ""}, {"abcdef", 2, "ab", "ef"}, {"abc", INT32_MIN, "", ""}, {"abc", INT32_MAX, "abc", "abc"}};
  for (const Side& c : sides) {
    EXPECT_EQ(mcr::LeftBytes(c.text, c.n), c.left) << c.text << " " << c.n;
    EXPECT_EQ(mcr::RightBytes(c.text, c.n), c.right) << c.text << " " << c.n;
  }
  for (auto [in, out] : {std::pair{"\t x ", "x"}, {" \t ", ""}, {"\nx\r", "\nx\r"}, {"a b", "a b"}})
    EXPECT_EQ(mcr::TrimBlanks(in), out) << in;
  struct Count { const char* text; const char* sep; std::size_t count; } counts[] = {
      {"a,,b", ",", 3}, {"a,b,", ",", 3}, {"", ",", 1}, {"----", "--", 3}, {"abc", "abcd", 1}};
  for (const Count& c : counts) EXPECT_EQ(mcr::CountTokens(c.text, c.sep), c.count) << c.text << " / " << c.sep;
  struct Nth { const char* text; const char* sep; int n; const char* token; } nth[] = {
      {"a,b,c", ",", 3, "c"}, {"a,b,c", ",", 4, ""}, {"a,,b", ",", 2, ""}, {",x", ",", 1, ""}, {"a---b", "--", 2, "-b"}};
  for (const Nth& c : nth) EXPECT_EQ(mcr::NthToken(c.text, c.sep, c.n), c.token) << c.text << " #" << c.n;
}

TEST(ErrorTables, ErrnoAndSystemErrorNumbers) {
  struct Case { unsigned long code; int id; } errnos[] = {{2, 1414}, {13, 1407}, {36, 1409}, {0, 1405}, {15, 1405},
                                                          {26, 1405}, {35, 1405}, {37, 1405}},
      system[] = {{1, 1442}, {13, 1454}, {14, 5020}, {15, 1455}, {36, 1476}, {37, 5020}, {50, 1477}, {72, 1499},
                  {73, 5020}, {80, 1500}, {88, 1508}, {89, 5020}, {0, 5020}, {0xFFFFFFFFul, 5020}};
  for (const Case& c : errnos) EXPECT_EQ(mcr::ErrnoId(static_cast<int>(c.code)), c.id) << c.code;
  EXPECT_EQ(mcr::ErrnoId(-1), 1405);
  std::set<int> seen;  // every other number has an errno text of its own
  for (int e = 1; e <= 36; ++e) {
    int id = mcr::ErrnoId(e);
    EXPECT_TRUE(id == 1405 || (id >= 1406 && id <= 1439 && seen.insert(id).second)) << e;
  }
  EXPECT_EQ(seen.size(), 33u);
  for (const Case& c : system) EXPECT_EQ(mcr::SystemErrorId(c.code), c.id) << c.code;
}

TEST(HostVariables, NamesIgnoreLetterCaseButNotDoubleByteCharacters) {
  mcrhost::VarStore vars;  // 0x83 0x61 is one Shift-JIS character; its trail byte 'a' must not fold.
  vars.setNumber("\x83\x61", 1);
  EXPECT_EQ(vars.find("\x83\x41"), nullptr);
  EXPECT_NE(vars.find("\x83\x61"), nullptr);
  std::uint32_t t = vars.newTable(3);
  vars.setTable("Ta", t);
  (*vars.table(t))[2] = 5;
  ASSERT_NE(vars.find("tA"), nullptr);
  EXPECT_EQ((*vars.table(vars.find("tA")->table))[2], 5);
  vars.erase("tA");
  EXPECT_EQ(vars.find("Ta"), nullptr);
}

}  // namespace
