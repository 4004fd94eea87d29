// The stand-in of the workstation's dialog library, as the library imports it.
#include <windows.h>

#include "bytes.h"
#include "testhost.h"

namespace mcrtest {
namespace {

using QueryMode = int(WINAPI*)(const char*);
using SelectFile = int(WINAPI*)(HWND, int, const char*, const char*, char*, char*, DWORD*);

FARPROC Ordinal(HMODULE m, int n) { return GetProcAddress(m, MAKEINTRESOURCEA(n)); }

TEST(DialogLibrary, LoadedWithTheLibraryAndRegistersItsControlClass) {
  auto host = OpenHost();
  HMODULE frame = GetModuleHandleA("dlgframe.dll");
  ASSERT_NE(frame, nullptr) << "imported by MCRPAK.dll";
  WNDCLASSA wc;
  EXPECT_TRUE(GetClassInfoA(frame, "DLGINFO", &wc));
  // Only ordinals: the module exports no names.
  EXPECT_EQ(GetProcAddress(frame, "DlgFrameInit"), nullptr);
  EXPECT_NE(Ordinal(frame, 102), nullptr);
}

TEST(DialogLibrary, AcquisitionModeFromRunIcp) {
  auto host = OpenHost();
  auto query = reinterpret_cast<QueryMode>(Ordinal(GetModuleHandleA("dlgframe.dll"), 24));
  ASSERT_NE(query, nullptr);
  TempDir dir;
  Bytes().i32(0, 2).i32(8, 3).resize(124).save(dir.file("run.icp"));
  EXPECT_EQ(query(dir.path().c_str()), 2);
  Bytes().i32(0, -7).save(dir.file("run.icp"));
  EXPECT_EQ(query(dir.path().c_str()), -7);
  Bytes().resize(3).save(dir.file("run.icp"));
  EXPECT_EQ(query(dir.path().c_str()), -1);
  EXPECT_EQ(query(dir.file("missing").c_str()), -1);
}

TEST(DialogLibrary, MethodPickSteeredByTheEnvironment) {
  auto host = OpenHost();
  auto select = reinterpret_cast<SelectFile>(Ordinal(GetModuleHandleA("dlgframe.dll"), 14));
  ASSERT_NE(select, nullptr);
  char dir[260] = "C:\\old";
  char file[260] = "OLD.M";
  DWORD result = 7;
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", nullptr);
  select(host->window(), 4, "Title", "*.M", dir, file, &result);
  EXPECT_STREQ(dir, "C:\\old") << "cancel leaves the buffers";
  EXPECT_STREQ(file, "OLD.M");
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", "C:\\methods\\water|TUNE.M");
  select(host->window(), 4, "Title", "*.M", dir, file, &result);
  EXPECT_STREQ(dir, "C:\\methods\\water");
  EXPECT_STREQ(file, "TUNE.M");
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", nullptr);
}

}  // namespace
}  // namespace mcrtest
