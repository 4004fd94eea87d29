#include "selftest.h"

#include <windows.h>

#include <cstdio>
#include <sstream>

#include "help.h"
#include "hostcore.h"
#include "lang.h"
#include "session.h"
#include "version.h"
#include "workstation.h"

namespace mcrhost {

namespace {

const mcrlang::Codec& kCodec = MacroCodec();
constexpr char kGot[] = "SelfTestGot$";

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, w.data(), n);
  return w;
}

std::string Utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

// A folder of its own under the user's temporary folder (UTF-8, no
// backslash at the end), removed with everything in it when done.
class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, temp);
    std::wstring base = n && n < MAX_PATH ? std::wstring(temp, n) : L".\\";
    for (unsigned i = 0; i < 100 && path_.empty(); ++i) {
      std::wstring candidate = base + L"mcrpak-selftest-" + std::to_wstring(GetCurrentProcessId() + i);
      if (CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~ScratchFolder() {
    if (!path_.empty()) Remove(path_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  bool made() const { return !path_.empty(); }
  std::string path() const { return Utf8(path_); }

 private:
  static void Remove(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = folder + L"\\" + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          Remove(path);
        else
          DeleteFileW(path.c_str());
      } while (FindNextFileW(find, &found));
      FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring path_;
};

// Runs one line of the language; "" when it ran, else why not.
std::string RunLine(mcrlang::Interpreter& in, const std::string& line, int lineNo) {
  mcrlang::ParseResult p = mcrlang::Parse(line, kCodec, lineNo);
  if (p.error) return p.error->message;
  mcrlang::RunResult r = in.run(*p.program);
  return r.status == mcrlang::RunStatus::Failed || r.status == mcrlang::RunStatus::Stopped ? r.error.message : "";
}

bool ReadText(const std::string& path, std::string* text) {
  FILE* f = _wfopen(Wide(path).c_str(), L"rb");
  if (!f) return false;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text->append(buffer, n);
  std::fclose(f);
  return true;
}

}  // namespace

int RunSelfTest(const std::string& library, const std::string& checkFile) {
  std::string version = FileVersion(library);
  auto verdict = [&](const std::string& outcome) {
    std::printf("MCRPAK self-test: %s (%s%s)\n", outcome.c_str(), library.c_str(),
                version.empty() ? "" : (", version " + version).c_str());
    std::fflush(stdout);
  };
  std::string list = checkFile.empty() ? std::string(Resource("MCR_SELFTEST")) : std::string();
  if (!checkFile.empty() && !ReadText(checkFile, &list)) {
    verdict("FAILED, cannot read " + checkFile);
    return 1;
  }
  const std::string source = checkFile.empty() ? "selftest.txt" : checkFile;
  ScratchFolder scratch;
  std::string error, startup;
  if (!scratch.made()) {
    verdict("FAILED, no temporary folder could be made");
    return 1;
  }
  const std::string sample = scratch.path() + "\\sample", work = scratch.path() + "\\work\\";
  if (!mcrsample::LayOut(sample, &error) || !CreateDirectoryW(Wide(work).c_str(), nullptr) ||
      !ReadText(sample + "\\startup.mac", &startup)) {
    verdict("FAILED, its files could not be laid out in " + scratch.path() + ": " + error);
    return 1;
  }

  Host host{HostOptions{}};
  Session session(host, false);
  std::string why;
  if (host.open(Utf8ToAnsi(library).c_str(), &why)) {
    verdict("FAILED, the library cannot be loaded: " + AnsiToUtf8(why));
    return 3;
  }
  mcrlang::Interpreter in(session, host.vars(), kCodec);
  int checks = 0, failed = 0, broken = 0;  // broken: statements that failed
  auto fail = [&](int line, const std::string& text, int& count) {
    ++count;
    std::printf("%s:%d: %s\n", source.c_str(), line, text.c_str());
  };
  mcrlang::ParseResult setup = mcrlang::Parse(startup, kCodec);
  if (setup.error || in.run(*setup.program).status != mcrlang::RunStatus::Finished)
    fail(0, "the sample's startup.mac did not run", broken);
  host.vars().setString("Work$", Utf8ToAnsi(work));

  std::istringstream lines(list);
  int lineNo = 0;
  for (std::string line; std::getline(lines, line);) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '\'') continue;
    const std::size_t arrow = line.find(" => ");
    if (arrow == std::string::npos) {
      if (std::string e = RunLine(in, line, lineNo); !e.empty()) fail(lineNo, line + ": " + e, broken);
      continue;
    }
    ++checks;
    const std::string expression = line.substr(0, arrow), want = line.substr(arrow + 4);
    host.vars().setString(kGot, "");
    if (std::string e = RunLine(in, std::string(kGot) + " = \"\" & (" + expression + ")", lineNo); !e.empty()) {
      fail(lineNo, expression + ": " + e, failed);
      continue;
    }
    const Var* got = host.vars().find(kGot);
    const std::string gotText = got ? AnsiToUtf8(got->text) : "";
    if (gotText != want) fail(lineNo, expression + " gave \"" + gotText + "\", not \"" + want + "\"", failed);
  }
  host.server(mcr::kCodeClosePopups);
  host.close();
  if (!checks) fail(lineNo, "no checks were found", broken);
  if (!failed && !broken) {
    verdict("passed, all " + std::to_string(checks) + " checks");
    return 0;
  }
  verdict("FAILED, " + std::to_string(failed) + " of " + std::to_string(checks) + " checks" +
          (broken ? " and " + std::to_string(broken) + " other line(s)" : ""));
  return 1;
}

}  // namespace mcrhost
