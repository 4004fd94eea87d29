// mcrhost.exe from the outside: every NAME.expect under tests/host is one run
// of mcrhost as a child process, its output and exit status compared with
// what the file expects.
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>

#include "mcrhostrun.h"
#include "testhost.h"
#include "workstation.h"

namespace mcrtest {
namespace {

// The source tree on the Wine drive that maps the Unix root.
const std::string kCases = std::string("Z:") + MCR_HOST_CASES;

// NAME.expect, in sections "--- NAME" (the lines below, each ending in a line feed):
//   args          the command line (NAME.mac when there is none); {SAMPLE} lays
//                 out a fresh sample workstation (its installation key too) and
//                 stands for its folder
//   stdin         standard input
//   ctrl+c        (empty) Ctrl+C a moment after the first output
//   status        the exit status (0)
//   stdout, stderr                      the exact text (an absent one: nothing)
//   stdout contains, stderr contains    parts that must occur in this order
// {VERSION} stands for the project's version anywhere.
std::map<std::string, std::string> ReadSections(const std::string& path) {
  std::map<std::string, std::string> sections;
  std::istringstream in(ReadAll(path));
  std::string name;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (std::size_t at; (at = line.find("{VERSION}")) != std::string::npos;) line.replace(at, 9, MCR_VERSION);
    if (line.rfind("--- ", 0) == 0) {
      name = line.substr(4);
      sections[name];  // present, though it may hold nothing
    } else {
      sections[name] += line + "\n";
    }
  }
  return sections;
}

std::vector<std::string> MacroCases() {
  std::vector<std::string> names;
  std::error_code missing;
  for (const auto& e : std::filesystem::directory_iterator(kCases, missing))
    if (e.path().extension() == ".expect") names.push_back(e.path().stem().string());
  return names;
}

void ExpectStream(const std::string& got, std::map<std::string, std::string>& e, const std::string& name) {
  if (!e.count(name + " contains")) {
    EXPECT_EQ(got, e[name]) << name;
    return;
  }
  std::istringstream parts(e[name + " contains"]);
  std::size_t at = 0;
  for (std::string part; std::getline(parts, part);) {
    std::size_t found = got.find(part, at);
    EXPECT_NE(found, std::string::npos) << "not on " << name << " (in this order): " << part << "\n" << got;
    if (found != std::string::npos) at = found + part.size();
  }
}

class MacroFile : public ::testing::TestWithParam<std::string> {};

TEST_P(MacroFile, RunsAsExpected) {
  std::map<std::string, std::string> e = ReadSections(kCases + "\\" + GetParam() + ".expect");
  TempDir dir;  // the sample's, and the data-analysis link's state
  SetEnvironmentVariableA("MCR_ANLINK", dir.path().c_str());
  std::istringstream words(e.count("args") ? e["args"] : GetParam() + ".mac");
  std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
  for (std::string& a : args) {
    std::size_t at = a.find("{SAMPLE}");
    if (at == std::string::npos) continue;
    std::string error;
    if (!std::filesystem::exists(dir.file("ws"))) {
      ASSERT_TRUE(mcrsample::LayOut(dir.file("ws"), &error) &&
                  mcrsample::WriteInstallKey(mcrsample::kInstallKey, dir.file("ws"), &error)) << error;
    }
    a.replace(at, 8, dir.file("ws"));
  }
  HostRunOptions options;
  options.cwd = kCases;
  options.input = e["stdin"];
  options.ctrlC = e.count("ctrl+c") > 0;
  HostRun r = RunMcrhost(args, options);
  SetEnvironmentVariableA("MCR_ANLINK", nullptr);
  EXPECT_EQ(r.status, e.count("status") ? std::stoul(e["status"]) : 0) << r.err;
  ExpectStream(r.out, e, "stdout");
  ExpectStream(r.err, e, "stderr");
}

INSTANTIATE_TEST_SUITE_P(TestsHost, MacroFile, ::testing::ValuesIn(MacroCases()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(McrHost, CasesAreFound) { EXPECT_GE(MacroCases().size(), 30u) << kCases; }  // else the suite above has none

}  // namespace
}  // namespace mcrtest
