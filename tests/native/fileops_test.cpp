// Path text of the file words: splitting with double-byte names, the two
// inside tests at their boundaries, roots, cut reports, the retry schedule
// and the update walk's fixed buffer at its limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/pathparts.h"

namespace {

using mcr::PathBuffer;

// "表" and "ソ" end in the byte 0x5C, the backslash.
const std::string kHyo = "\x95\x5c";
const std::string kSo = "\x83\x5c";

TEST(FilePaths, SplitKeepsDoubleByteCharactersWhole) {
  struct Case {
    std::string path, drive, dir, name, ext;
  } cases[] = {
      {"C:\\a\\b.txt", "C:", "\\a\\", "b", ".txt"},
      {"C:b", "C:", "", "b", ""},
      {"a/b\\c.d.e", "", "a/b\\", "c.d", ".e"},
      {"\\\\srv\\share\\*.*", "", "\\\\srv\\share\\", "*", ".*"},
      {".cfg", "", "", "", ".cfg"},
      {"C:\\" + kHyo, "C:", "\\", kHyo, ""},
      {"C:\\" + kHyo + "\\x", "C:", "\\" + kHyo + "\\", "x", ""},
      {kSo + ".txt", "", "", kSo, ".txt"},
  };
  for (const Case& c : cases) {
    mcr::PathParts p = mcr::SplitPathParts(c.path);
    EXPECT_EQ(std::string(p.drive), c.drive) << c.path;
    EXPECT_EQ(std::string(p.dir), c.dir) << c.path;
    EXPECT_EQ(std::string(p.name), c.name) << c.path;
    EXPECT_EQ(std::string(p.ext), c.ext) << c.path;
  }
  EXPECT_FALSE(mcr::HasDirectoryPart(kSo + ".txt"));
  EXPECT_TRUE(mcr::HasDirectoryPart("D:x"));
  EXPECT_FALSE(mcr::EndsWithSeparator("C:\\" + kHyo));
  EXPECT_TRUE(mcr::EndsWithSeparator("C:\\a/"));
  EXPECT_EQ(mcr::ComponentStart("C:x", true), 2u);
  EXPECT_EQ(mcr::ComponentStart("C:x", false), 0u);
}

TEST(FilePaths, InsideTests) {
  struct Case {
    std::string s, d;
    bool copy, update;
  } cases[] = {
      {"C:\\a", "c:\\A", true, true},
      {"C:\\a", "C:\\a\\b", true, true},
      {"C:\\a", "C:\\a/b", true, true},
      {"C:\\a", "C:\\ab", false, false},  // a sibling that merely starts alike
      {"C:\\a\\", "C:\\a\\b", true, true},
      {"C:\\a\\b", "C:\\a", false, false},
      // The same length in another spelling: the copy word takes it for a
      // different place and finds the clash file by file.
      {"C:\\a", "C:/a", false, false},
      // A second byte 0x5C is no separator.
      {"C:\\" + kHyo, "C:\\" + kHyo + "x", false, false},
      {"C:\\" + kHyo, "C:\\" + kHyo + "\\x", true, true},
  };
  for (const Case& c : cases) {
    std::string slashS = c.s, slashD = c.d;
    for (std::string* p : {&slashS, &slashD})
      for (std::size_t i = 0; i < p->size(); ++i)
        if ((*p)[i] == '\\' && !(i > 0 && ((*p)[i - 1] == '\x95' || (*p)[i - 1] == '\x83')))
          (*p)[i] = '/';
    EXPECT_EQ(mcr::CopyTargetInside(c.s, c.d, slashS, slashD), c.copy) << c.s << " " << c.d;
    EXPECT_EQ(mcr::UpdateTargetInside(c.s, c.d), c.update) << c.s << " " << c.d;
  }
}

TEST(FilePaths, RootsAreTheDriveOrShareItself) {
  struct Case {
    const char* path;
    bool root;
  } cases[] = {
      {"C:\\", true},
      {"C:", true},
      {"\\", true},
      {"z:/", true},
      {"\\\\srv\\share", true},
      {"\\\\srv\\share\\", true},
      {"C:\\a", false},
      {"\\\\srv\\share\\a", false},
      {"", false},
      {"a", false},
  };
  for (const Case& c : cases) EXPECT_EQ(mcr::IsRootDirectory(c.path), c.root) << c.path;
}

TEST(FilePaths, ReportsAreCutWithoutSplittingACharacter) {
  const std::string path(126, 'p');
  EXPECT_EQ(mcr::JoinCut("", path, "abcde", 131), path + "abcde");  // exactly 131
  EXPECT_EQ(mcr::JoinCut("", path, "abcdef", 131), path + "abcde");
  // A double-byte character across the limit is dropped whole.
  EXPECT_EQ(mcr::JoinCut("", std::string(130, 'p'), kHyo, 131), std::string(130, 'p'));
}

TEST(FilePaths, RetrySchedule) {
  std::vector<int> waits;
  int total = 0;
  for (int k = 1; k <= mcr::kOpenRetries; ++k)
    waits.push_back(mcr::RetryWaitMs(k)), total += waits.back();
  EXPECT_EQ(waits[0], 200);
  EXPECT_EQ(waits[10], 2200);
  EXPECT_EQ(waits[11], 200);
  EXPECT_EQ(total, 15000);

  // open() answers with the errors listed, then 0 for good.
  struct Case {
    std::vector<unsigned long> errors;
    bool onlyDenied;
    unsigned long result;
    std::size_t opens;
    bool exhausted;
  } cases[] = {
      {{}, false, 0, 1, false},
      {{32, 32}, false, 0, 3, false},
      {{5, 5, 5}, true, 0, 4, false},
      {{32}, true, 32, 1, false},  // not retried: reported at once
      {std::vector<unsigned long>(21, 32), false, 32, 21, true},
      {std::vector<unsigned long>(20, 5), true, 0, 21, false},  // the last retry succeeds
  };
  for (const Case& c : cases) {
    std::size_t opens = 0;
    int slept = 0;
    bool exhausted = false;
    unsigned long r = mcr::OpenWithRetries(
        [&] { return opens < c.errors.size() ? c.errors[opens++] : (++opens, 0ul); },
        [&](unsigned long e) { return c.onlyDenied ? e == 5 : e != 0; },
        [&](int ms) { slept += ms; }, &exhausted);
    EXPECT_EQ(r, c.result);
    EXPECT_EQ(opens, c.opens);
    EXPECT_EQ(exhausted, c.exhausted);
    if (c.opens == 21) {
      EXPECT_EQ(slept, 15000);
    }
  }
}

TEST(FilePaths, WalkBufferChangesInPlaceWithinItsSize) {
  PathBuffer b;
  ASSERT_TRUE(b.Assign("C:\\src"));
  ASSERT_TRUE(b.Append("\\*.*"));
  ASSERT_TRUE(b.ReplaceLast("one"));
  EXPECT_EQ(b.view(), "C:\\src\\one");
  ASSERT_TRUE(b.ReplaceLast(kSo));
  EXPECT_EQ(b.view(), "C:\\src\\" + kSo);
  b.RemoveLast();
  EXPECT_EQ(b.view(), "C:\\src");
  ASSERT_TRUE(b.Assign("C:x"));
  b.RemoveLast();
  EXPECT_EQ(b.view(), "C:");  // a drive colon stays

  // 263 bytes and the terminator fill the buffer; one more is refused and
  // leaves the text as it was.
  ASSERT_TRUE(b.Assign(std::string(259, 'd')));
  EXPECT_TRUE(b.Append("\\*.*"));
  EXPECT_EQ(b.size(), 263u);
  EXPECT_FALSE(b.Append("x"));
  EXPECT_EQ(b.size(), 263u);
  EXPECT_FALSE(b.ReplaceLast("1234"));
  EXPECT_TRUE(b.ReplaceLast("123"));
  EXPECT_FALSE(b.Assign(std::string(264, 'd')));
  EXPECT_EQ(std::string(b.c_str()), std::string(259, 'd') + "\\123");
}

}  // namespace
