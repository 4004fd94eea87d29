// What the release promises beyond the words: every module carries the one
// version number, mcrhost --version tells it, and a runaway macro can be
// stopped with --timeout or Ctrl+C, with the exit status and the texts
// docs/language.md gives.
#include <fstream>

#include "mcrhostrun.h"
#include "testhost.h"

namespace mcrtest {
namespace {

std::string Beside(const std::string& file) {
  std::string library = LibraryPath();
  return library.substr(0, library.find_last_of('\\') + 1) + file;
}

std::string FileVersion(const std::string& path) {
  DWORD ignored = 0, size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  std::vector<char> block(size ? size : 1);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!size || !GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
      !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length))
    return "none";
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS));
}

TEST(Release, EveryModuleCarriesTheVersionAndMcrhostTellsIt) {
  for (const char* module : {"MCRPAK.dll", "dlgframe.dll", "mcrhost.exe", "mkworkstation.exe"})
    EXPECT_EQ(FileVersion(Beside(module)), MCR_VERSION) << module;
  HostRun r = RunMcrhost({"--version"});
  EXPECT_EQ(r.status, 0u) << r.err;
  EXPECT_EQ(r.out, std::string("mcrhost ") + MCR_VERSION + "\nMCRPAK.dll " + MCR_VERSION + " (" + LibraryPath() + ")\n");
  // The library asked for is the one whose version is told, after the option
  // or before it.
  r = RunMcrhost({"--library", Beside("dlgframe.dll"), "--version"});
  EXPECT_NE(r.out.find("dlgframe.dll " MCR_VERSION " ("), std::string::npos) << r.out;
  r = RunMcrhost({"--version", "--library", Beside("no-such.dll")});
  EXPECT_EQ(r.status, 3u);
  EXPECT_NE(r.err.find("no-such.dll has no version information"), std::string::npos) << r.err;
}

// --- stopping -----------------------------------------------------------------

// READY in the macro or the input stands for a statement that tells the
// test the macro runs (it writes ready.ini).
struct StopCase {
  const char* what;
  std::vector<std::string> args;  // example.mac (and start.mac) are the macros below
  std::string macro, startup, input;
  DWORD status;
  std::string out, err;
  bool idle = false;  // the input stays open: mcrhost waits at the prompt
};

void RunStopCases(const std::vector<StopCase>& cases, std::function<void(const PROCESS_INFORMATION&)> during) {
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    auto ready = [&](std::string text) {
      std::size_t at = text.find("READY");
      if (at != std::string::npos)
        text.replace(at, 5, "WriteProfile \"a\", \"b\", \"c\", \"" + dir.file("ready.ini") + "\"");
      return text;
    };
    std::ofstream(dir.file("example.mac"), std::ios::binary) << ready(c.macro);
    std::ofstream(dir.file("start.mac"), std::ios::binary) << c.startup;
    HostRunOptions options;
    options.cwd = dir.path();
    options.input = ready(c.input);
    options.inputStaysOpen = c.idle;
    if (during) {
      options.creationFlags = CREATE_NEW_CONSOLE;  // a console of its own, for the Ctrl+C
      options.whileRunning = [&](const PROCESS_INFORMATION& pi) {
        // The macros announce that they run by writing ready.ini.
        for (int i = 0; i < 300 && GetFileAttributesA(dir.file("ready.ini").c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
          Sleep(50);
        if (c.idle) Sleep(200);  // back at the prompt
        during(pi);
      };
    }
    HostRun r = RunMcrhost(c.args, options);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(Release, TimeoutStopsARunawayMacro) {
  RunStopCases(
      {
          // (docs/language.md shows a loop without a body stopped.)
          {"a long wait, the last statement", {"--timeout", "0.5", "example.mac"}, "print 1\nwait 60000\n", "", "",
           4, "1\n", "example.mac:2: stopped by --timeout 0.5\n"},
          {"each run has the whole time: start-up macro and macro",
           {"--timeout", "1", "--startup", "start.mac", "example.mac"}, "wait 700\nprint \"macro\"\n",
           "wait 700\nprint \"start-up\"\n", "", 0, "start-up\nmacro\n", ""},
          {"at the prompt each statement has the time, and the prompt goes on", {"--timeout", "0.5"}, "", "",
           "print \"first\"\nwhile 1\nwend\nprint \"after\"\n", 0, "first\nafter\n",
           "<stdin>:2: stopped by --timeout 0.5\n"},
          {"a word that does not come back ends with mcrhost", {"--timeout", "1", "example.mac"},
           "print \"asking\"\nSelectTuneStep\nprint \"not reached\"\n", "", "", 4, "asking\n",
           "mcrhost: stopped by --timeout 1, but SelectTuneStep did not come back: mcrhost ends\n"},
          {"no seconds", {"--timeout", "0", "example.mac"}, "", "", "", 2, "",
           "mcrhost: --timeout needs a number of seconds above 0\n(mcrhost --help shows the options)\n"},
          {"not a number", {"--timeout", "1s", "example.mac"}, "", "", "", 2, "",
           "mcrhost: --timeout needs a number of seconds above 0\n(mcrhost --help shows the options)\n"},
      },
      nullptr);
}

// The loop's line: a stop between statements names the statement it
// stopped before, the loop's own line at the turn of an empty loop.
TEST(Release, TimeoutNamesTheLineItStoppedAt) {
  TempDir dir;
  std::ofstream(dir.file("example.mac"), std::ios::binary) << "i = 0\nwhile 1\n  i = i + 1\nwend\n";
  HostRunOptions options;
  options.cwd = dir.path();
  HostRun r = RunMcrhost({"--timeout", "0.5", "example.mac"}, options);
  EXPECT_EQ(r.status, 4u);
  EXPECT_TRUE(r.err == "example.mac:2: stopped by --timeout 0.5\n" || r.err == "example.mac:3: stopped by --timeout 0.5\n")
      << r.err;
}

// Ctrl+C reaches every process of a console: the test attaches to mcrhost's
// for the moment of the event, ignoring the event itself.
void SendCtrlC(const PROCESS_INFORMATION& pi) {
  FreeConsole();
  ASSERT_TRUE(AttachConsole(pi.dwProcessId)) << GetLastError();
  SetConsoleCtrlHandler(nullptr, TRUE);
  EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
  Sleep(100);
  FreeConsole();
  SetConsoleCtrlHandler(nullptr, FALSE);
}

TEST(Release, CtrlCStopsTheMacroThatRuns) {
  RunStopCases(
      {
          {"a loop", {"example.mac"}, "print \"looping\"\nREADY\nwhile 1\nwend\n", "", "", 4, "looping\n",
           "example.mac:3: stopped by Ctrl+C\n"},
          {"at the prompt the statement stops and the prompt goes on", {}, "", "",
           "READY\nwhile 1\nwend\nprint \"after\"\n", 0, "after\n", "<stdin>:2: stopped by Ctrl+C\n"},
          {"a word that does not come back ends with mcrhost", {"example.mac"}, "READY\nSelectTuneStep\n", "", "", 4,
           "", "mcrhost: stopped by Ctrl+C, but SelectTuneStep did not come back: mcrhost ends\n"},
          {"with nothing running, at the prompt, Ctrl+C ends mcrhost", {}, "", "", "READY\n", 4, "",
           "mcrhost: stopped by Ctrl+C\n", true},
      },
      SendCtrlC);
}

}  // namespace
}  // namespace mcrtest
