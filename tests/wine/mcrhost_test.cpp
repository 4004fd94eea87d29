// mcrhost.exe from the outside: macro files under tests/host run as child
// processes and their output and exit status are compared with the
// expectations beside them; the command-line answers and the prompt are
// checked here directly.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testhost.h"
#include "workstation.h"

namespace mcrtest {
namespace {

std::wstring W(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string BinDir() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\') + 1);
}

// The source tree as the Wine drive that maps the Unix root.
std::string CasesDir() {
  std::string dir = std::string("Z:") + MCR_HOST_CASES;
  for (char& c : dir)
    if (c == '/') c = '\\';
  return dir;
}

struct Result {
  DWORD status = 0;
  std::string out, err;
};

std::string Drain(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD n;
  while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n) text.append(buffer, n);
  return text;
}

// Runs mcrhost.exe with args (UTF-8, no quotes inside) in folder cwd,
// feeding input to its standard input.
Result RunHost(const std::vector<std::string>& args, const std::string& cwd = "",
               const std::string& input = "") {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
  CreatePipe(&inRead, &inWrite, &inherit, 0);
  CreatePipe(&outRead, &outWrite, &inherit, 0);
  CreatePipe(&errRead, &errWrite, &inherit, 0);
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

  std::wstring line = L"\"" + W(BinDir()) + L"mcrhost.exe\"";
  for (const std::string& a : args) line += L" \"" + W(a) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = inRead;
  si.hStdOutput = outWrite;
  si.hStdError = errWrite;
  PROCESS_INFORMATION pi{};
  std::wstring dir = W(cwd);
  BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                cwd.empty() ? nullptr : dir.c_str(), &si, &pi);
  CloseHandle(inRead);
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  Result r;
  if (!started) {
    ADD_FAILURE() << "cannot start mcrhost.exe (error " << GetLastError() << ")";
    CloseHandle(inWrite);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return r;
  }
  std::thread errReader([&] { r.err = Drain(errRead); });
  DWORD written;
  if (!input.empty()) WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
  CloseHandle(inWrite);
  r.out = Drain(outRead);
  errReader.join();
  if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 99);
    ADD_FAILURE() << "mcrhost.exe did not end";
  }
  GetExitCodeProcess(pi.hProcess, &r.status);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(outRead);
  CloseHandle(errRead);
  return r;
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::string ReadText(const std::string& path) {
  std::string text;
  HANDLE f = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return text;
  text = Drain(f);
  CloseHandle(f);
  std::string clean;
  for (char c : text)
    if (c != '\r') clean += c;
  return clean;
}

// NAME.expect: "options:", "args:" and "status:" lines, then the sections
// "--- stdout" and "--- stderr" (exact; an absent one means empty) or
// "--- stderr contains" (lines that must each occur).
struct Expectation {
  std::vector<std::string> options, args;
  DWORD status = 0;
  std::string out, err;
  std::vector<std::string> errLines;
  bool errContains = false;
};

Expectation ParseExpectation(const std::string& text) {
  Expectation e;
  std::istringstream in(text);
  std::string line, *section = nullptr;
  while (std::getline(in, line)) {
    if (line == "--- stdout") {
      section = &e.out;
    } else if (line == "--- stderr") {
      section = &e.err;
    } else if (line == "--- stderr contains") {
      section = nullptr;
      e.errContains = true;
    } else if (section) {
      *section += line + "\n";
    } else if (e.errContains) {
      if (!line.empty()) e.errLines.push_back(line);
    } else if (line.rfind("options:", 0) == 0) {
      e.options = Words(line.substr(8));
    } else if (line.rfind("args:", 0) == 0) {
      e.args = Words(line.substr(5));
    } else if (line.rfind("status:", 0) == 0) {
      e.status = static_cast<DWORD>(std::stoul(line.substr(7)));
    }
  }
  return e;
}

std::vector<std::string> MacroCases() {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((CasesDir() + "\\*.expect").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string n = found.cFileName;
    names.push_back(n.substr(0, n.size() - 7));
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return names;
}

class MacroFile : public ::testing::TestWithParam<std::string> {};

TEST_P(MacroFile, RunsAsExpected) {
  const std::string name = GetParam();
  Expectation e = ParseExpectation(ReadText(CasesDir() + "\\" + name + ".expect"));
  std::vector<std::string> args = e.options;
  args.push_back(name + ".mac");
  args.insert(args.end(), e.args.begin(), e.args.end());
  Result r = RunHost(args, CasesDir());
  EXPECT_EQ(r.status, e.status) << r.err;
  EXPECT_EQ(r.out, e.out);
  if (e.errContains) {
    for (const std::string& l : e.errLines)
      EXPECT_NE(r.err.find(l + "\n"), std::string::npos) << "missing on stderr: " << l;
  } else {
    EXPECT_EQ(r.err, e.err);
  }
}

INSTANTIATE_TEST_SUITE_P(TestsHost, MacroFile, ::testing::ValuesIn(MacroCases()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// An empty list would leave the suite above without a single case.
TEST(McrHost, CasesAreFound) { EXPECT_GE(MacroCases().size(), 9u) << CasesDir(); }

TEST(McrHost, CommandLineAnswers) {
  struct Case {
    std::vector<std::string> args;
    DWORD status;
    const char* out;  // a part of stdout
    const char* err;  // a part of stderr
  } cases[] = {
      {{"--help", "GetToken"}, 0,
       "GetToken text, separator, number, variable    command\n"
       "  sets the variable to token number (1 to 50) of text\n"
       "  text       S  a string\n"
       "  separator  S  a string\n"
       "  number     N  a number\n"
       "  variable   V  a name written bare, not a value (as a rule the variable to set)\n",
       ""},
      {{"--help", "left$"}, 0, "Left$(text, count)    function, gives a string\n", ""},
      {{"--help", "GetTickCount"}, 0, "GetTickCount()    function, gives a number\n", ""},
      {{"--help", "LEN"}, 0, "len(text$)    built-in function of the language", ""},
      {{"--help", "while"}, 0, "while condition / wend    statement", ""},
      {{"--help", "NoSuchWord"}, 2, "", "there is no word named NoSuchWord"},
      {{"--help"}, 0, "usage: mcrhost [OPTIONS] [FILE.mac [ARGS...]]", ""},
      {{"--words"}, 0, "94 words (30 functions, 64 commands)", ""},
      {{"--frobnicate"}, 2, "", "unknown option --frobnicate"},
      {{"--set", "x"}, 2, "", "--set needs NAME=VALUE"},
      {{"--set", "x=abc"}, 2, "", "x holds numbers, and \"abc\" is not one"},
      {{"--set", "1x=2"}, 2, "", "\"1x\" is not a variable name"},
      {{"--startup"}, 2, "", "--startup needs a value"},
      {{"no-such-file.mac"}, 2, "", "cannot read the macro file no-such-file.mac"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    SCOPED_TRACE(shown);
    Result r = RunHost(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

TEST(McrHost, WordListHasEveryWordOnALine) {
  Result r = RunHost({"--words"});
  std::istringstream in(r.out);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 95u);
  EXPECT_EQ(lines[1].rfind("Left$ ", 0), 0u);
  EXPECT_EQ(lines[94].rfind("BringDAToTop ", 0), 0u);
}

TEST(McrHost, MissingLibraryIsItsOwnStatus) {
  TempDir dir;
  HANDLE f = CreateFileA(dir.file("ok.mac").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(f);
  Result r = RunHost({"--library", dir.file("none.dll"), dir.file("ok.mac")});
  EXPECT_EQ(r.status, 3u);
  EXPECT_NE(r.err.find("cannot start with"), std::string::npos) << r.err;
}

// The prompt: errors are shown and it goes on; blocks span lines; exit ends it.
TEST(McrHost, PromptReadsStatementsUntilExit) {
  Result r = RunHost({}, "", "x = 1\nprint x + 1\nprint y\nif x then\n  print Left$(\"yes!\", 3)\nendif\n"
                             "print )\nexit\nprint \"not reached\"\n");
  EXPECT_EQ(r.status, 0u);
  EXPECT_EQ(r.out, "2\nyes\n");
  EXPECT_EQ(r.err, "<stdin>:3: undefined variable y\n<stdin>:7: expected a value, found \")\"\n");

  r = RunHost({}, "", "while 1\n");  // the input ends inside a block
  EXPECT_EQ(r.status, 0u);
  EXPECT_NE(r.err.find("missing wend"), std::string::npos) << r.err;
}

// The tour of ./mcr demo on a freshly laid out sample: it must run to its
// end without a word on stderr.
TEST(McrHost, TourRunsOnTheSample) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(mcrsample::LayOut(dir.path(), &error)) << error;
  std::string tour = CasesDir() + "\\..\\..\\sample\\tour.mac";
  Result r = RunHost({"--startup", dir.file("startup.mac"), tour});
  EXPECT_EQ(r.status, 0u);
  EXPECT_EQ(r.err, "");
  for (const char* part : {"== Strings", "-> \"ICP-MS\"", "Exist(run$)               -> 1", "The tour took"})
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
}

}  // namespace
}  // namespace mcrtest
