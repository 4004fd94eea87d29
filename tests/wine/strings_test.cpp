// What the string words' case file (tests/calls/strings.calls) cannot say:
// answers that depend on the clock or on the platform's own shortening.
#include <windows.h>

#include <cmath>

#include "testhost.h"

namespace mcrtest {
namespace {

TEST(StringWords, TickCountIsTheProcesssClockAndCompactPathFitsTheWidth) {
  std::unique_ptr<Host> host = OpenHost();
  const double before = GetTickCount(), now = host->call("GetTickCount", {}).result.value_or(Value::Num(-1)).number;
  EXPECT_TRUE(now >= before && now <= GetTickCount() && now == std::floor(now)) << now;
  for (int width : {10, 20, 30}) {
    Outcome o = host->call("CompactPath$", {S("C:\\instrument\\methods\\environmental\\water\\run.icp"), N(width)});
    const std::string got = o.result ? o.result->text : "<none>";
    EXPECT_TRUE(got.size() <= std::size_t(width) && got.find("...") != std::string::npos) << width << ": " << got;
  }
}

}  // namespace
}  // namespace mcrtest
