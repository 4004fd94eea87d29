// The word reference: docs/words.md is what the word table,
// docs/src/words.txt and the catalogue give (./mcr docs writes it), every
// word has its entry, and mcrhost --help says all that the entry says.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "wordref.h"

namespace {

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(MCR_SOURCE_DIR) + "/" + relative, std::ios::binary);
  EXPECT_TRUE(in) << relative;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const mcrref::Catalogue& Catalogue() {
  static const mcrref::Catalogue c = mcrref::ParseCatalogue(ReadSource("mcrpak/resources/strings.rc"));
  return c;
}

// The problems of an entry file joined with the word table and the catalogue, one a line.
std::string Problems(const std::string& text, std::vector<mcrref::Reference>* refs = nullptr) {
  std::vector<std::string> lines;
  static std::vector<mcrref::Entry> entries;  // the references point into them
  entries = mcrref::ParseEntries(text, &lines);
  std::vector<mcrref::Reference> joined = mcrref::Join(entries, Catalogue(), &lines);
  if (refs) *refs = joined;
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

TEST(WordReference, CommittedFileIsWhatTheSourcesGive) {
  std::vector<mcrref::Reference> refs;
  ASSERT_EQ(Problems(ReadSource("docs/src/words.txt"), &refs), "");
  ASSERT_EQ(refs.size(), mcr::kWordCount);
  EXPECT_TRUE(mcrref::Markdown(refs, Catalogue()) == ReadSource("docs/words.md"))
      << "docs/words.md is out of date: run ./mcr docs and commit it";
  // mcrhost --help prints the plain form: every fact, message and example line of the entry.
  for (const mcrref::Reference& r : refs) {
    std::string plain = mcrref::Plain(r, Catalogue());
    std::vector<std::string> parts{mcrref::Usage(*r.word), r.word->summary + 1};  // the summary less its first letter
    for (const mcrref::Fact& f : r.entry->facts) parts.push_back(f.text);
    for (const mcrref::Message& m : r.entry->messages) {
      parts.push_back(m.when);
      if (m.id) parts.push_back(Catalogue().at(m.id));
    }
    parts.insert(parts.end(), r.entry->example.begin(), r.entry->example.end());
    parts.insert(parts.end(), r.entry->prints.begin(), r.entry->prints.end());
    for (const std::string& p : parts) EXPECT_NE(plain.find(p), std::string::npos) << r.word->name << ": " << p;
    EXPECT_EQ(plain.find("Not available") != std::string::npos, !r.word->ready) << r.word->name;
  }
}

// A doubled quote of the resource script is one quote; escapes and placeholders stay.
TEST(WordReference, CatalogueTextsComeFromTheResourceScript) {
  EXPECT_EQ(mcrref::ParseCatalogue("  7, \"say \"\"hi\"\"\\n%.60s\"\n").at(7), "say \"hi\"\\n%.60s");
}

// The test command fails when a word has no entry, an entry names no word,
// or a message has no catalogue text.
TEST(WordReference, MissingAndStrayEntriesAreReported) {
  const std::string good = ReadSource("docs/src/words.txt");
  std::string withoutLeft = good;
  std::size_t at = withoutLeft.find("== Left$\n");
  withoutLeft.erase(at, withoutLeft.find("== Right$\n") - at);
  EXPECT_NE(Problems(withoutLeft).find("the word Left$ has no entry"), std::string::npos);
  EXPECT_NE(Problems(good + "== NoSuchWord\ndoes: x\n").find("NoSuchWord is no word of the table"), std::string::npos);
  EXPECT_NE(Problems(good + "error 1238: an id without text\n").find("message 1238 has no text in the catalogue"),
            std::string::npos);
}

}  // namespace
