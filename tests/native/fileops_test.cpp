// Path text of the file words where it is easiest to get wrong: names whose
// second byte is 0x5C, share roots, the retry rule of each side, and the
// walk's fixed buffer exactly at its limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/pathparts.h"

namespace {

const std::string kHyo = "\x95\x5c";  // "表": its second byte is the backslash

TEST(FilePaths, DoubleByteNamesAndRoots) {
  struct Split { std::string path, dir, name, ext; } splits[] = {
      {"C:\\" + kHyo, "\\", kHyo, ""}, {"a/b\\c.d.e", "a/b\\", "c.d", ".e"}, {".cfg", "", "", ".cfg"}};
  for (const Split& c : splits) {
    mcr::PathParts p = mcr::SplitPathParts(c.path);
    EXPECT_EQ(std::string(p.dir) + "|" + std::string(p.name) + "|" + std::string(p.ext),
              c.dir + "|" + c.name + "|" + c.ext);
  }
  EXPECT_FALSE(mcr::EndsWithSeparator("C:\\" + kHyo));
  EXPECT_FALSE(mcr::UpdateTargetInside("C:\\" + kHyo, "C:\\" + kHyo + "x"));
  EXPECT_TRUE(mcr::UpdateTargetInside("C:\\" + kHyo, "C:\\" + kHyo + "/x"));
  for (const char* root : {"C:\\", "z:/", "\\", "\\\\srv\\share", "\\\\srv\\share\\"})
    EXPECT_TRUE(mcr::IsRootDirectory(root)) << root;
  for (const char* path : {"\\\\srv\\share\\a", "C:\\a", ""}) EXPECT_FALSE(mcr::IsRootDirectory(path)) << path;
}

TEST(FilePaths, RetriesFollowTheScheduleAndTheirRule) {
  // open() answers with the errors listed, then 0; the source retries any
  // failure, the destination only 5.
  struct Case { std::vector<unsigned long> errors; bool onlyDenied; unsigned long result; int opens, slept; bool exhausted; } cases[] = {
      {{32, 32}, false, 0, 3, 600, false},
      {{32}, true, 32, 1, 0, false},
      {std::vector<unsigned long>(21, 32), false, 32, 21, 15000, true},
      {std::vector<unsigned long>(20, 5), true, 0, 21, 15000, false},
  };
  for (const Case& c : cases) {
    int opens = 0, slept = 0;
    bool exhausted = false;
    unsigned long r = mcr::OpenWithRetries(
        [&] { return opens < static_cast<int>(c.errors.size()) ? c.errors[opens++] : (++opens, 0ul); },
        [&](unsigned long e) { return c.onlyDenied ? e == 5 : e != 0; }, [&](int ms) { slept += ms; }, &exhausted);
    EXPECT_EQ(std::vector<long>({long(r), opens, slept, exhausted}),
              std::vector<long>({long(c.result), c.opens, c.slept, c.exhausted}));
  }
}

TEST(FilePaths, WalkBufferChangesInPlaceUpToItsLastByte) {
  mcr::PathBuffer b;
  ASSERT_TRUE(b.Assign("C:x") && b.ReplaceLast("y"));
  b.RemoveLast();
  EXPECT_EQ(b.view(), "C:");  // a drive colon stays
  // 259 bytes of folder and "\*.*" fill the buffer to its terminator.
  ASSERT_TRUE(b.Assign(std::string(259, 'd')) && b.Append("\\*.*"));
  EXPECT_FALSE(b.Append("x"));
  EXPECT_FALSE(b.ReplaceLast("1234"));
  EXPECT_EQ(b.size(), 263u);
  EXPECT_TRUE(b.ReplaceLast("123"));
  EXPECT_FALSE(b.Assign(std::string(264, 'd')));
  b.RemoveLast();
  EXPECT_EQ(std::string(b.c_str()), std::string(259, 'd'));
}

}  // namespace
