// The byte rules of the instrument-file layouts that the words' own tests
// cannot reach easily: cut points of double-byte texts, number conversions,
// the variable list and the run groups of each acquisition mode.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "bytes.h"
#include "instfiles/datalayout.h"
#include "instfiles/instext.h"
#include "instfiles/methlayout.h"
#include "instfiles/seqlayout.h"

namespace {

using mcrtest::Bytes;

const std::string kHyo = "\x95\x5C";  // a double-byte character whose second byte is '\'

TEST(InstText, DoubleByteCharactersStayWhole) {
  struct Cut { std::string text; std::size_t limit; std::string out; } cuts[] = {
      {"abcdef", 4, "abcd"}, {"a" + kHyo + "b", 2, "a"}, {"a" + kHyo + "b", 3, "a" + kHyo}, {kHyo, 1, ""},
  };
  for (const Cut& c : cuts) EXPECT_EQ(mcr::CutBytes(c.text, c.limit), c.out) << c.text;
  EXPECT_FALSE(mcr::EndsWithBackslash("C:\\" + kHyo));
  EXPECT_TRUE(mcr::EndsWithBackslash(kHyo + "\\"));
  EXPECT_EQ(mcr::UpperAscii("acqMode\x83" "a"), "ACQMODE\x83" "a");  // that 'a' is a second byte
  EXPECT_FALSE(mcr::EqualNoCase("\x83" "a", "\x83" "A"));
}

TEST(SeqLayout, MethodPathAndRowOfSeqRpcMPath) {
  std::string p259(259, 'p');
  struct Case { std::string in, out; } cases[] = {
      {"", ""}, {"D:\\m", "D:\\m\\"}, {"D:\\m\\", "D:\\m\\"}, {p259, p259 + "\\"},
      {p259 + "q", p259 + "\\"}, {std::string(300, 'p'), p259 + "\\"}, {"D:\\" + kHyo, "D:\\" + kHyo + "\\"},
      {std::string(258, 'p') + kHyo, std::string(258, 'p') + "\\"}, {p259 + kHyo, p259 + "\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(mcr::NormaliseMethodPath(c.in), c.out) << c.in.size();

  struct Row { std::optional<double> arg; std::int32_t row; } rows[] = {
      {std::nullopt, 0}, {0.4, 0}, {0.5, 1}, {350.4, 350}, {350.5, 0}, {-3, 0}, {3e9, 0}, {-3e9, 0},
  };
  for (const Row& r : rows) EXPECT_EQ(mcr::SeqRowSelection(r.arg ? &*r.arg : nullptr), r.row);

  Bytes row(mcr::kSeqRowSize);
  for (std::int32_t n : {0, -1, INT32_MIN})
    EXPECT_EQ(mcr::SeqExtensionBytes(row.i32(1625, n).data().data()), 0) << n;
  EXPECT_EQ(mcr::SeqExtensionBytes(row.i32(1625, INT32_MAX).data().data()), 34LL * INT32_MAX);
}

TEST(Layouts, NumberConversions) {
  struct I16 { double in; std::int16_t out; } i16[] = {
      {2.5, 3}, {-2.5, -3}, {32767.6, 32767}, {1e9, 32767}, {-32768.6, -32768}, {std::nan(""), 0},
  };
  for (const I16& c : i16) EXPECT_EQ(mcr::SaturateInt16(c.in), c.out) << c.in;
  struct F { double in; float out; } floats[] = {
      {1e-50, FLT_MIN}, {-1e-50, -FLT_MIN}, {1e300, FLT_MAX}, {-1e300, -FLT_MAX}, {0.0, 0.0f}, {2.5, 2.5f},
  };
  for (const F& c : floats) EXPECT_EQ(mcr::ClampFloat(c.in), c.out) << c.in;
}

TEST(DataLayout, VariableListAndFileNames) {
  const char list[] = "_RUNTYPE\0_OPERATOR$\0_MULTIPLR\0_DATANAME$\0_MISCINFO$\0_REPLICATE\0_ALSBOTTLE\0EOV";
  std::vector<std::string> names = mcr::ParseVarList(list, sizeof list - 1);  // last one unterminated
  ASSERT_EQ(names.size(), 8u);
  EXPECT_EQ(names[7], "EOV");
  EXPECT_EQ(mcr::MatchHeaderVar(names, "_alsbottle"), mcr::HeaderVar::AlsBottle);
  EXPECT_EQ(mcr::MatchHeaderVar(names, "eov"), std::nullopt);
  // Only the first seven entries of the list are variables.
  names.insert(names.begin(), "X");
  EXPECT_EQ(mcr::MatchHeaderVar(names, "_ALSBOTTLE"), std::nullopt);

  struct Name { const char* name; int step; } steps[] = {
      {"data03.icp", 3}, {"DATA06.ICP", 6}, {"data00.icp", 0}, {"data0a.icp", 0}, {"data0.icp", 0},
  };
  for (const Name& n : steps) EXPECT_EQ(mcr::StepOfDataFileName(n.name), n.step) << n.name;
  EXPECT_EQ(mcr::CompanionPath("D:\\d", 2, 99), "D:\\d\\data02.99");
  EXPECT_EQ(mcr::CompanionPath("D:\\d", 2, 100), "D:\\d\\data02.00");
}

TEST(MethodLayout, RunGroupsByMode) {
  Bytes events;
  const std::int32_t groups[] = {3, 0, 5, 0, 0, 0, 0, 0, 0, 0, 8};
  for (std::size_t k = 0; k < 11; ++k) events.i32(k * 182 + 4, groups[k]).resize((k + 1) * 182);
  struct Case { std::int32_t mode; std::size_t bytes; bool ok; int count; std::vector<std::int32_t> list; } cases[] = {
      {0, 0, true, 1, {1, -9}}, {3, 0, true, 1, {1}}, {4, 0, true, 1, {0, -9}}, {5, 0, true, 1, {0}},
      {2, 11 * 182, true, 10, {3, -9, 5, -9, -9, -9, -9, -9, -9, -9}},
      {2, 2 * 182 + 100, true, 10, {3, -9, -9}},  // only whole records count
      {2, 0, true, 10, {-9}}, {6, 0, false, -1, {-9}}, {-1, 0, false, -1, {-9}},
  };
  for (const Case& c : cases) {
    std::int32_t list[10];
    for (std::int32_t& x : list) x = -9;
    int count = -1;
    EXPECT_EQ(mcr::RunGroupsOf(c.mode, events.data().data(), c.bytes, list, &count), c.ok) << c.mode;
    EXPECT_EQ(count, c.count) << c.mode;
    for (std::size_t i = 0; i < c.list.size(); ++i) EXPECT_EQ(list[i], c.list[i]) << c.mode << " #" << i;
  }
}

}  // namespace
