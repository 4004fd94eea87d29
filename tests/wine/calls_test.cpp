// The call-and-compare cases of tests/calls, each file on a bench of its own.
// (Each bench points the WorkstationKey at its own sample, and the simulated
// data-analysis task follows it, so the suite takes its turn with the others
// that do.)
#include <filesystem>

#include "calls.h"

namespace mcrtest {
namespace {

const std::string kCases = std::string(MCR_SOURCE_DIR) + "/tests/calls";

std::vector<std::string> CaseFiles() {
  std::vector<std::string> names;
  std::error_code missing;
  for (const auto& e : std::filesystem::directory_iterator(kCases, missing))
    if (e.path().extension() == ".calls") names.push_back(e.path().stem().string());
  return names;
}

class CaseFile : public ::testing::TestWithParam<std::string> {};

TEST_P(CaseFile, GivesWhatItSays) {
  Bench bench;
  RunCaseFile(kCases + "\\" + GetParam() + ".calls", bench);
}

TEST(Calls, CaseFilesAreFound) { EXPECT_FALSE(CaseFiles().empty()) << kCases; }

INSTANTIATE_TEST_SUITE_P(Calls, CaseFile, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace mcrtest
