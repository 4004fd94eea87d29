// The message catalogue as the library's resources hand it out: every text
// in the ANSI code page, byte for byte.
#include <windows.h>

#include <algorithm>

#include "testhost.h"

namespace mcrtest {
namespace {

std::string Load(HMODULE lib, int id) {
  char buffer[512];
  int n = LoadStringA(lib, static_cast<UINT>(id), buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u) << "tests run with the Japanese code page";
    lib_ = LoadLibraryExA(LibraryPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(lib_, nullptr);
  }
  void TearDown() override { FreeLibrary(lib_); }
  HMODULE lib_ = nullptr;
};

TEST_F(Catalogue, EveryTextMatchesInShiftJis) {
  std::vector<int> ids = CatalogueIds();
  EXPECT_EQ(ids.size(), 207u) << "the catalogue as its resource script holds it";
  for (int id : ids) EXPECT_EQ(Load(lib_, id), A(CatalogueText(id))) << id;
}

TEST_F(Catalogue, NoOtherTexts) {
  for (int id : {1000, 1001, 1054, 1203, 1238, 1240, 1250, 1304, 1312, 1404, 1509, 5020})
    EXPECT_EQ(Load(lib_, id), "") << id;
}

// A few texts spelled out in bytes, independent of any converter: half-width
// katakana stay single bytes, the wave dash, line breaks and tabs survive.
TEST_F(Catalogue, BytesOfTextsWithSpecialCharacters) {
  struct Case { int id; const char* bytes; } cases[] = {
      {1011, "\x25\x73\x20\xca\xdf\xd7\xd2\xb0\xc0\x20\x82\xcd\x20\x25\x64\x20\x81\x60\x20\x25\x64"
             "\x20\x82\xc9\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x2e"},
      {1233, "\xd2\xbf\xaf\xc4\xde\x95\xdb\x91\xb6\x8e\x9e\x82\xcc\x20\x51\x43\xd3\xb0\xc4\xde\xcc"
             "\xa7\xb2\xd9\x3a\x0a\x09\x25\x73\x0a\x09\x25\x73"},
      {1224, "QCMODE\\"},
      {1472, "\x8b\xa4\x97\x4c\x88\xe1\x94\xbd"},
  };
  for (const Case& c : cases) EXPECT_EQ(Load(lib_, c.id), c.bytes) << c.id;
  std::string twoLines = Load(lib_, 1041);
  EXPECT_EQ(std::count(twoLines.begin(), twoLines.end(), '\n'), 1);
}

}  // namespace
}  // namespace mcrtest
