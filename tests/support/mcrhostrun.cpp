#include "mcrhostrun.h"

#include <gtest/gtest.h>

namespace mcrtest {

namespace {

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

}  // namespace

HostRun RunMcrhost(const std::vector<std::string>& args, const HostRunOptions& options) {
  TempDir dir;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  auto open = [&](const char* name) {
    return CreateFileA(dir.file(name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, CREATE_ALWAYS, 0, nullptr);
  };
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  HANDLE inputEnd = nullptr;  // this side's end of the input
  CreatePipe(&si.hStdInput, &inputEnd, &inherit, 0);
  SetHandleInformation(inputEnd, HANDLE_FLAG_INHERIT, 0);
  DWORD written = 0;
  WriteFile(inputEnd, options.input.data(), static_cast<DWORD>(options.input.size()), &written, nullptr);
  if (!options.ctrlC) {  // the input ends where the text does
    CloseHandle(inputEnd);
    inputEnd = nullptr;
  }
  si.hStdOutput = open("out");
  si.hStdError = open("err");
  std::string line = LibraryPath();
  line = "\"" + line.substr(0, line.find_last_of('\\') + 1) + "mcrhost.exe\"";
  for (const std::string& a : args) line += " \"" + A(a) + "\"";
  PROCESS_INFORMATION pi{};
  HostRun r;
  // Under a loaded wineserver a process start now and then fails with
  // ERROR_INTERNAL_ERROR and succeeds when asked again.
  bool started = false;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, options.ctrlC ? CREATE_NEW_CONSOLE : 0,
                             nullptr, options.cwd.empty() ? nullptr : options.cwd.c_str(), &si, &pi) != FALSE;
    if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
    if (!started) Sleep(200);
  }
  if (!started) {
    ADD_FAILURE() << "cannot start mcrhost.exe (error " << GetLastError() << ")";
  } else {
    if (options.ctrlC) {
      for (DWORD waited = 0; waited < Scaled(20000) && GetFileSize(si.hStdOutput, nullptr) == 0; waited += 50)
        Sleep(50);
      Sleep(Scaled(300));  // into the loop, the word or the wait for input that follows
      SendCtrlC(pi);
    }
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, Scaled(30000)), WAIT_OBJECT_0) << "mcrhost.exe did not end";
    TerminateProcess(pi.hProcess, 99);  // when it did not
    GetExitCodeProcess(pi.hProcess, &r.status);
  }
  for (HANDLE h : {pi.hProcess, pi.hThread, si.hStdInput, si.hStdOutput, si.hStdError, inputEnd})
    if (h) CloseHandle(h);
  r.out = ReadAll(dir.file("out"));
  r.err = ReadAll(dir.file("err"));
  return r;
}

}  // namespace mcrtest
