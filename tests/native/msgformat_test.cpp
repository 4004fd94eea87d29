// Catalogue texts with their placeholders filled: what the platform's
// formatter would give for ordinary arguments, and readable, whole-character
// text for arguments no message was made for.
#include <gtest/gtest.h>

#include <string>

#include "bridge/msgformat.h"
#include "bridge/sjistext.h"

namespace {

using mcr::FormatCatalogue;
using mcr::FormatCatalogueWithin;
using mcr::kInsertedTextMax;
const std::string kA(kInsertedTextMax - 4, 'a'), kKanji(60, '\x83');  // 30 two-byte characters

TEST(MessageFormat, Texts) {
  std::string two = "aa";  // then two-byte characters: byte 59 is a lead byte
  for (int i = 0; i < 40; ++i) two += "\x83\x41";
  const std::string a(100, 'a'), tail = " is not defined.";
  auto undefined = [](const std::string& arg) { return FormatCatalogue("%s is not defined.", arg.c_str()); };
  struct Case { std::string got, want; } cases[] = {
      // Conversions as the platform formats them.
      {FormatCatalogue("%s parameter %d - %d", "\x91\xe6 2", 0, 255), "\x91\xe6 2 parameter 0 - 255"},
      {FormatCatalogue("%d|%i|%u|%x|%X", -5, 7, 4294967295u, 255, 255), "-5|7|4294967295|ff|FF"},
      {FormatCatalogue("%5d|%-4d|%05d|%ld", 42, 7, 3, 9), "   42|7   |00003|9"},
      {FormatCatalogue("[%4s][%-4s][%c]", "ab", "ab", 'z'), "[  ab][ab  ][z]"},
      {FormatCatalogue("100%% %s", static_cast<const char*>(nullptr)), "100% (null)"},
      {FormatCatalogue("%.3s|%.0s|", "abcdef", "abc"), "abc||"}, {FormatCatalogue("tail %"), "tail %"},
      {FormatCatalogue("%.59s to %.59s", two.c_str(), two.c_str() + 1), two.substr(0, 58) + " to " + two.substr(1, 59)},
      // The shortening starts one byte past the longest text inserted and never
      // touches the catalogue's own words; 0x81 0x81 is one character, an odd run
      // ends in a lone lead byte.
      {undefined(std::string(kInsertedTextMax, 'a')), std::string(kInsertedTextMax, 'a') + tail},
      {undefined(std::string(kInsertedTextMax + 1, 'a')), std::string(kInsertedTextMax - 3, 'a') + "..." + tail},
      {undefined(std::string(65535, '\x81')), std::string(256, '\x81') + "..." + tail},
      {undefined(kA + "\x82\xa0"), kA + "\x82\xa0" + tail}, {undefined(kA + "\x82\xa0\x82\xa0\x82\xa0"), kA + "..." + tail},
      {undefined("ab\x81"), "ab" + tail},
      // In a smaller room a short argument stays whole, the long ones share what
      // is left; the catalogue's words go only when they alone do not fit.
      {FormatCatalogueWithin(40, "%s and %s end.", a.c_str(), "bbbbb"), std::string(22, 'a') + "... and bbbbb end."},
      {FormatCatalogueWithin(40, "%s and %s end.", a.c_str(), a.c_str()),
       std::string(12, 'a') + "... and " + std::string(12, 'a') + "... end."},
      {FormatCatalogueWithin(22, "%s end.", kKanji.c_str()), std::string(14, '\x83') + "... end."},
      {FormatCatalogueWithin(21, "%s end.", kKanji.c_str()), std::string(12, '\x83') + "... end."},
      {FormatCatalogueWithin(18, "%s and %s end.", a.c_str(), a.c_str()), "a... and a... end."},
      {FormatCatalogueWithin(5, "abcdefgh%s", "x"), "abcde"}, {FormatCatalogueWithin(11, "%s fits.", "short"), "short fits."},
      {FormatCatalogueWithin(10, "%s fits.", "short"), "s... fits."},  // one byte over
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got, c.want);
    EXPECT_EQ(mcr::WholeCharacters(c.got).size(), c.got.size()) << "a lead byte without its trail byte";
  }
  // The whole text stops at the platform's limit, every argument giving way.
  std::string arg(kInsertedTextMax, '\x83'), got = FormatCatalogue("%s|%s|%s|%s|%s", arg.c_str(), arg.c_str(),
                                                                   arg.c_str(), arg.c_str(), arg.c_str());
  EXPECT_LE(got.size(), mcr::kFormattedMax);
  EXPECT_GT(got.size(), mcr::kFormattedMax - 5);
  std::size_t parts = 0;
  for (std::size_t at = 0; (at = got.find("...", at)) != std::string::npos; at += 3) ++parts;
  EXPECT_EQ(parts, 5u);
}

}  // namespace
