// The message catalogue as the library's resources hand it out, in the ANSI
// code page. The other suites expect the texts of the resource script
// converted by the test's own helpers; these few are spelled out in bytes,
// independent of any converter: half-width katakana stay single bytes, the
// wave dash, line breaks and tabs survive.
#include <windows.h>

#include "testhost.h"

namespace mcrtest {
namespace {

TEST(Catalogue, BytesOfTextsWithSpecialCharacters) {
  ASSERT_EQ(GetACP(), 932u) << "tests run with the Japanese code page";
  HMODULE lib = LoadLibraryExA(LibraryPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(lib, nullptr);
  struct Case { int id; const char* bytes; } cases[] = {
      {1011, "\x25\x73\x20\xca\xdf\xd7\xd2\xb0\xc0\x20\x82\xcd\x20\x25\x64\x20\x81\x60\x20\x25\x64"
             "\x20\x82\xc9\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x2e"},
      {1233, "\xd2\xbf\xaf\xc4\xde\x95\xdb\x91\xb6\x8e\x9e\x82\xcc\x20\x51\x43\xd3\xb0\xc4\xde\xcc"
             "\xa7\xb2\xd9\x3a\x0a\x09\x25\x73\x0a\x09\x25\x73"},
      {1224, "QCMODE\\"},
      {1472, "\x8b\xa4\x97\x4c\x88\xe1\x94\xbd"},
  };
  for (const Case& c : cases) {
    char buffer[512];
    int n = LoadStringA(lib, static_cast<UINT>(c.id), buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), c.bytes) << c.id;
  }
  FreeLibrary(lib);
}

}  // namespace
}  // namespace mcrtest
