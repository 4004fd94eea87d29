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
  for (auto [path, parts] :
       {std::pair{"C:\\" + kHyo, "\\|" + kHyo + "|"}, {"a/b\\c.d.e", "a/b\\|c.d|.e"}, {".cfg", "||.cfg"}}) {
    mcr::PathParts p = mcr::SplitPathParts(path);
    EXPECT_EQ(std::string(p.dir) + "|" + std::string(p.name) + "|" + std::string(p.ext), parts);
  }
  EXPECT_FALSE(mcr::EndsWithSeparator("C:\\" + kHyo));
  EXPECT_FALSE(mcr::UpdateTargetInside("C:\\" + kHyo, "C:\\" + kHyo + "x"));
  EXPECT_TRUE(mcr::UpdateTargetInside("C:\\" + kHyo, "C:\\" + kHyo + "/x"));
  for (const char* root : {"C:\\", "z:/", "\\", "\\\\srv\\share", "\\\\srv\\share\\"})
    EXPECT_TRUE(mcr::IsRootDirectory(root)) << root;
  for (const char* path : {"\\\\srv\\share\\a", "C:\\a", ""}) EXPECT_FALSE(mcr::IsRootDirectory(path)) << path;
}

// open() answers with the errors listed, then 0; the source retries any
// failure, the destination only 5: opens, milliseconds slept, the result,
// whether the schedule ran out.
TEST(FilePaths, RetriesFollowTheScheduleAndTheirRule) {
  struct Case { std::vector<unsigned long> errors; bool onlyDenied; std::vector<long> expected; } cases[] = {
      {{32, 32}, false, {3, 600, 0, 0}}, {{32}, true, {1, 0, 32, 0}},
      {std::vector<unsigned long>(21, 32), false, {21, 15000, 32, 1}},
      {std::vector<unsigned long>(20, 5), true, {21, 15000, 0, 0}}};
  for (const Case& c : cases) {
    long opens = 0, slept = 0;
    bool exhausted = false;
    const unsigned long r = mcr::OpenWithRetries(
        [&] { return opens < long(c.errors.size()) ? c.errors[opens++] : (++opens, 0ul); },
        [&](unsigned long e) { return c.onlyDenied ? e == 5 : e != 0; }, [&](int ms) { slept += ms; }, &exhausted);
    EXPECT_EQ(std::vector<long>({opens, slept, long(r), exhausted}), c.expected);
  }
}

TEST(FilePaths, WalkBufferChangesInPlaceUpToItsLastByte) {
  mcr::PathBuffer b;
  ASSERT_TRUE(b.Assign("C:x") && b.ReplaceLast("y"));
  b.RemoveLast();
  EXPECT_EQ(b.view(), "C:");  // a drive colon stays
  // 259 bytes of folder and "\*.*" fill the buffer to its terminator.
  ASSERT_TRUE(b.Assign(std::string(259, 'd')) && b.Append("\\*.*"));
  EXPECT_FALSE(b.Append("x") || b.ReplaceLast("1234"));
  EXPECT_EQ(b.size(), 263u);
  EXPECT_TRUE(b.ReplaceLast("123"));
  EXPECT_FALSE(b.Assign(std::string(264, 'd')));
  b.RemoveLast();
  EXPECT_EQ(std::string(b.c_str()), std::string(259, 'd'));
}

}  // namespace
