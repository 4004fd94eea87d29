// The stand-in of the workstation's dialog library, as the library imports
// it (by ordinal), where the words' suites do not reach: a method it cannot
// read and a pick nobody steered. (The words' suites read modes and steer picks.)
#include <windows.h>

#include "bytes.h"
#include "testhost.h"

namespace mcrtest {
namespace {

using QueryMode = int(WINAPI*)(const char*);
using SelectFile = int(WINAPI*)(HWND, int, const char*, const char*, char*, char*, DWORD*);

TEST(DialogLibrary, UnreadableMethodsAndCancelledPicks) {
  auto host = OpenHost();
  HMODULE frame = GetModuleHandleA("dlgframe.dll");
  ASSERT_NE(frame, nullptr) << "imported by MCRPAK.dll";
  auto query = reinterpret_cast<QueryMode>(GetProcAddress(frame, MAKEINTRESOURCEA(24)));
  auto select = reinterpret_cast<SelectFile>(GetProcAddress(frame, MAKEINTRESOURCEA(14)));
  ASSERT_TRUE(query && select);
  TempDir dir;
  Bytes().resize(3).save(dir.file("run.icp"));
  EXPECT_EQ(query(dir.path().c_str()), -1);
  EXPECT_EQ(query(dir.file("missing").c_str()), -1);
  char folder[260] = "C:\\old", file[260] = "OLD.M";
  DWORD result = 7;
  SetEnvironmentVariableA("MCR_DLGFRAME_PICK", nullptr);
  select(host->window(), 4, "Title", "*.M", folder, file, &result);
  EXPECT_STREQ(folder, "C:\\old") << "cancel leaves the buffers";
  EXPECT_STREQ(file, "OLD.M");
}

}  // namespace
}  // namespace mcrtest
