// Catalogue texts with their placeholders filled: what the platform's
// formatter would give for ordinary arguments, and readable, whole-character
// text for arguments no message was made for.
#include <gtest/gtest.h>

#include <string>

#include "bridge/msgformat.h"
#include "util/sjistext.h"

namespace {

using mcr::FormatCatalogue;
using mcr::kInsertedTextMax;

// Whether every lead byte has its trail byte.
bool WholeSjis(const std::string& s) { return mcr::WholeCharacters(s).size() == s.size(); }

TEST(MessageFormat, ConversionsAsThePlatformFormatsThem) {
  struct Case { std::string got, want; } cases[] = {
      {FormatCatalogue("%s is not defined.", "abc"), "abc is not defined."},
      {FormatCatalogue("%s parameter %d - %d", "\x91\xe6 2", 0, 255), "\x91\xe6 2 parameter 0 - 255"},
      {FormatCatalogue("%d|%i|%u|%x|%X", -5, 7, 4294967295u, 255, 255), "-5|7|4294967295|ff|FF"},
      {FormatCatalogue("%5d|%-4d|%05d|%ld", 42, 7, 3, 9), "   42|7   |00003|9"},
      {FormatCatalogue("[%4s][%-4s][%c]", "ab", "ab", 'z'), "[  ab][ab  ][z]"},
      {FormatCatalogue("100%% %s", static_cast<const char*>(nullptr)), "100% (null)"},
      {FormatCatalogue("%.3s|%.0s|", "abcdef", "abc"), "abc||"},
      {FormatCatalogue("tail %"), "tail %"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

// The shortening starts one byte past the longest path and never touches
// the catalogue's own words around the argument.
TEST(MessageFormat, LongArgumentsAreShortenedAndTheTextStays) {
  const std::string tail = " is not defined.";
  struct Case { std::string arg; std::string inserted; } cases[] = {
      {std::string(kInsertedTextMax, 'a'), std::string(kInsertedTextMax, 'a')},
      {std::string(kInsertedTextMax + 1, 'a'), std::string(kInsertedTextMax - 3, 'a') + "..."},
      // 0x81 0x81 is one character; an odd run ends in a lone lead byte.
      {std::string(65535, '\x81'), std::string(256, '\x81') + "..."},
      {std::string(kInsertedTextMax - 4, 'a') + "\x82\xa0", std::string(kInsertedTextMax - 4, 'a') + "\x82\xa0"},
      {std::string(kInsertedTextMax - 4, 'a') + "\x82\xa0\x82\xa0\x82\xa0", std::string(kInsertedTextMax - 4, 'a') + "..."},
      {"ab\x81", "ab"},
  };
  for (const Case& c : cases) {
    std::string text = FormatCatalogue("%s is not defined.", c.arg.c_str());
    EXPECT_EQ(text, c.inserted + tail) << c.arg.size() << " bytes";
    EXPECT_TRUE(WholeSjis(text));
  }
}

TEST(MessageFormat, PrecisionNeverSplitsACharacter) {
  // "a" and then two-byte characters: byte 59 is a lead byte.
  std::string text = "aa";
  for (int i = 0; i < 40; ++i) text += "\x83\x41";
  std::string got = FormatCatalogue("%.59s to %.59s", text.c_str(), text.c_str() + 1);
  std::string first = text.substr(0, 58), second = text.substr(1, 59);
  EXPECT_EQ(got, first + " to " + second);
  EXPECT_TRUE(WholeSjis(got));
}

// A text built in a smaller buffer gives way in its arguments: a short one
// stays whole, the long ones share what is left; the catalogue's own words
// go only when they alone do not fit.
TEST(MessageFormat, SmallerSizesShortenTheArgumentsFirst) {
  using mcr::FormatCatalogueWithin;
  const std::string a(100, 'a'), kanji = std::string(60, '\x83');  // 30 two-byte characters
  struct Case { std::string got, want; } cases[] = {
      {FormatCatalogueWithin(40, "%s and %s end.", a.c_str(), "bbbbb"), std::string(22, 'a') + "... and bbbbb end."},
      {FormatCatalogueWithin(40, "%s and %s end.", a.c_str(), a.c_str()), std::string(12, 'a') + "... and " + std::string(12, 'a') + "... end."},
      {FormatCatalogueWithin(22, "%s end.", kanji.c_str()), std::string(14, '\x83') + "... end."},
      {FormatCatalogueWithin(21, "%s end.", kanji.c_str()), std::string(12, '\x83') + "... end."},
      {FormatCatalogueWithin(18, "%s and %s end.", a.c_str(), a.c_str()), "a... and a... end."},
      {FormatCatalogueWithin(5, "abcdefgh%s", "x"), "abcde"},
      {FormatCatalogueWithin(40, "%s fits.", "short"), "short fits."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got, c.want);
    EXPECT_TRUE(WholeSjis(c.got));
  }
}

TEST(MessageFormat, WholeMessageStopsAtThePlatformLimit) {
  std::string arg(kInsertedTextMax, '\x83');  // 130 whole characters
  std::string got = FormatCatalogue("%s|%s|%s|%s|%s", arg.c_str(), arg.c_str(), arg.c_str(), arg.c_str(), arg.c_str());
  EXPECT_LE(got.size(), mcr::kFormattedMax);
  EXPECT_GT(got.size(), mcr::kFormattedMax - 5);
  EXPECT_TRUE(WholeSjis(got));
  std::size_t parts = 0;
  for (std::size_t at = 0; (at = got.find("...", at)) != std::string::npos; at += 3) ++parts;
  EXPECT_EQ(parts, 5u) << "every argument gives way, none is dropped";
}

}  // namespace
