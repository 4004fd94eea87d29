// mcrhost.exe from the outside: macro files under tests/host run as child
// processes and their output and exit status are compared with the
// expectations beside them; the command-line answers and the prompt are
// checked here directly.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "mcrhostrun.h"
#include "testhost.h"
#include "workstation.h"

namespace mcrtest {
namespace {

using Result = HostRun;

// The source tree on the Wine drive that maps the Unix root.
const std::string kCases = std::string("Z:") + MCR_HOST_CASES;

Result RunHost(const std::vector<std::string>& args, const std::string& cwd = "", const std::string& input = "") {
  HostRunOptions options;
  options.cwd = cwd;
  options.input = input;
  return RunMcrhost(args, options);
}

// NAME.expect: the sections "--- args" (NAME.mac when there is none),
// "--- status" (0), "--- stdout" and "--- stderr" (exact; an absent one means
// empty) or "--- stderr contains" (lines that must each occur).
std::map<std::string, std::string> ReadSections(const std::string& path) {
  std::map<std::string, std::string> sections;
  std::istringstream in(ReadAll(path));
  std::string name;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("--- ", 0) == 0) name = line.substr(4);
    else sections[name] += line + "\n";
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

class MacroFile : public ::testing::TestWithParam<std::string> {};

TEST_P(MacroFile, RunsAsExpected) {
  std::map<std::string, std::string> e = ReadSections(kCases + "\\" + GetParam() + ".expect");
  std::istringstream words(e.count("args") ? e["args"] : GetParam() + ".mac");
  const std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
  Result r = RunHost(args, kCases);
  EXPECT_EQ(r.status, e.count("status") ? std::stoul(e["status"]) : 0) << r.err;
  EXPECT_EQ(r.out, e["stdout"]);
  EXPECT_TRUE(e.count("stderr contains") || r.err == e["stderr"]) << r.err;
  std::istringstream lines(e["stderr contains"]);
  for (std::string l; std::getline(lines, l);)
    EXPECT_TRUE(l.empty() || r.err.find(l + "\n") != std::string::npos) << "missing on stderr: " << l << "\n" << r.err;
}

INSTANTIATE_TEST_SUITE_P(TestsHost, MacroFile, ::testing::ValuesIn(MacroCases()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(McrHost, CasesAreFound) { EXPECT_GE(MacroCases().size(), 9u) << kCases; }  // else the suite above has none

TEST(McrHost, CommandLineAnswers) {
  // The exit status, a part of stdout and a part of stderr.
  struct Case { std::vector<std::string> args; DWORD status; const char *out, *err; } cases[] = {
      {{"--help", "GetToken"}, 0,
       "GetToken text, separator, number, variable    command\n"
       "  sets the variable to token number (1 to 50) of text\n"
       "  text       S  a string\n",
       ""},
      {{"--help", "left$"}, 0, "Left$(text, count)    function, gives a string\n", ""},
      {{"--help", "while"}, 0, "while condition / wend    statement", ""},
      {{"--help", "NoSuchWord"}, 2, "", "there is no word named NoSuchWord"},
      {{"--help"}, 0, "usage: mcrhost [OPTIONS] [FILE.mac [ARGS...]]", ""},
      {{"--words"}, 0, "94 words (30 functions, 64 commands)", ""},
      {{"--frobnicate"}, 2, "", "unknown option --frobnicate"},
      {{"--set", "x"}, 2, "", "--set needs NAME=VALUE"},
      {{"no-such-file.mac"}, 2, "", "cannot read the macro file no-such-file.mac"},
      {{"--library", "no-such.dll"}, 3, "", "cannot start with no-such.dll"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    Result r = RunHost(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  std::string words = RunHost({"--words"}).out;  // one word a line, functions first
  EXPECT_EQ(std::count(words.begin(), words.end(), '\n'), 95);
  EXPECT_EQ(words.find("\nLeft$ "), words.find('\n'));
}

// The prompt: errors are shown and it goes on; blocks span lines; exit ends it.
TEST(McrHost, PromptReadsStatementsUntilExit) {
  Result r = RunHost({}, "", "x = 1\nprint x + 1\nprint y\nif x then\n  print Left$(\"yes!\", 3)\nendif\n"
                             "print )\nexit\nprint \"not reached\"\n");
  EXPECT_EQ(r.status, 0u);
  EXPECT_EQ(r.out, "2\nyes\n");
  EXPECT_EQ(r.err, "<stdin>:3: undefined variable y\n<stdin>:7: expected a value, found \")\"\n");

  r = RunHost({}, "", "while 1\n");  // the input ends inside a block
  EXPECT_NE(r.err.find("missing wend"), std::string::npos) << r.err;
}

// The tour of ./mcr demo on a freshly laid out sample runs to its end
// without a word on stderr.
TEST(McrHost, TourRunsOnTheSample) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(mcrsample::LayOut(dir.path(), &error)) << error;
  ASSERT_TRUE(mcrsample::WriteInstallKey(mcrsample::kInstallKey, dir.path(), &error)) << error;  // as the demo does
  Result r = RunHost({"--startup", dir.file("startup.mac"), kCases + "\\..\\..\\sample\\tour.mac"});
  EXPECT_EQ(r.status, 0u);
  EXPECT_EQ(r.err, "");
  for (const char* part : {"== Strings", "-> \"ICP-MS\"", "Exist(run$)               -> 1", "DACmdRes 3",
                           "TOUR.qc.xml written: 1", "-> _ERR_DATATABLE 0", "  | </DATA TABLE>", "The tour took"})
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
}

// --trace shows the calls the data-analysis link received in their place
// among the word's host operations: the disconnect before the raised error.
TEST(McrHost, TraceShowsTheDataAnalysisLinkCalls) {
  TempDir dir;
  std::ofstream(dir.file("link.mac"), std::ios::binary) << "BringDAToTop\nRunDACmd 99, \"T\"\n";
  SetEnvironmentVariableA("MCR_ANLINK", dir.path().c_str());
  Result r = RunHost({"--trace", dir.file("link.mac")});
  SetEnvironmentVariableA("MCR_ANLINK", nullptr);
  EXPECT_EQ(r.status, 1u);
  std::size_t at[] = {r.err.find("[trace]   anlink 13 DaBringToTop -> 0\n"), r.err.find("[trace] BringDAToTop returned 0"),
                      r.err.find("[trace]   anlink 3 DaConnect"), r.err.find("[trace]   anlink 6 DaSendCommandAlt"),
                      r.err.find("[trace]   anlink 4 DaDisconnect"), r.err.find("[trace]   RaiseError 1")};
  for (std::size_t i = 0; i < std::size(at); ++i) {
    EXPECT_NE(at[i], std::string::npos) << i << "\n" << r.err;
    if (i) {
      EXPECT_LT(at[i - 1], at[i]) << i << "\n" << r.err;
    }
  }
}

}  // namespace
}  // namespace mcrtest
