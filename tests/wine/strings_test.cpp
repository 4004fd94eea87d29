// What the string words' case file (tests/calls/strings.calls) cannot say:
// answers that depend on the clock or on the platform's own shortening.
#include <windows.h>

#include <cmath>

#include "testhost.h"

namespace mcrtest {
namespace {

TEST(StringWords, TickCountIsTheProcesssClock) {
  std::unique_ptr<Host> host = OpenHost();
  DWORD before = GetTickCount();
  Outcome a = host->call("GetTickCount", {});
  DWORD after = GetTickCount();
  ASSERT_TRUE(a.result);
  EXPECT_GE(a.result->number, before);
  EXPECT_LE(a.result->number, after);
  EXPECT_EQ(a.result->number, std::floor(a.result->number));
}

TEST(StringWords, CompactPathFitsTheWidthWithAnEllipsis) {
  std::unique_ptr<Host> host = OpenHost();
  const std::string path = "C:\\instrument\\methods\\environmental\\water\\run.icp";
  for (int width : {10, 20, 30}) {
    Outcome o = host->call("CompactPath$", {S(path), N(width)});
    ASSERT_TRUE(o.result) << width;
    EXPECT_LE(o.result->text.size(), static_cast<std::size_t>(width)) << o.result->text;
    EXPECT_NE(o.result->text.find("..."), std::string::npos) << o.result->text;
  }
}

}  // namespace
}  // namespace mcrtest
