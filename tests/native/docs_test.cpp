// The word reference: docs/words.md is what the word table, docs/src/words.txt and the catalogue
// give (./mcr docs writes it), every word has its entry, and mcrhost --help says all an entry says.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "wordref.h"

namespace {

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(MCR_SOURCE_DIR) + "/" + relative, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const mcrref::Catalogue kCatalogue = mcrref::ParseCatalogue(ReadSource("mcrpak/resources/strings.rc"));
std::vector<mcrref::Entry> entries;  // the last entry file read, and its references into it
std::vector<mcrref::Reference> refs;

// The problems of an entry file joined with the word table and the catalogue, one a line.
std::string Problems(const std::string& text) {
  std::vector<std::string> lines;
  entries = mcrref::ParseEntries(text, &lines);
  refs = mcrref::Join(entries, kCatalogue, &lines);
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

TEST(WordReference, CommittedFileIsWhatTheSourcesGiveAndHelpSaysAllOfIt) {
  ASSERT_EQ(Problems(ReadSource("docs/src/words.txt")), "");
  EXPECT_TRUE(mcrref::Markdown(refs, kCatalogue) == ReadSource("docs/words.md"))
      << "docs/words.md is out of date: run ./mcr docs and commit it";
  for (const mcrref::Reference& r : refs) {
    std::string plain = mcrref::Plain(r, kCatalogue);
    std::vector<std::string> parts{mcrref::Usage(*r.word), r.word->summary + 1};  // the summary less its first letter
    for (const mcrref::Fact& f : r.entry->facts) parts.push_back(f.text);
    for (const auto& m : r.entry->messages) parts.insert(parts.end(), {m.when, m.id ? kCatalogue.at(m.id) : ""});
    for (const auto* l : {&r.entry->example, &r.entry->prints}) parts.insert(parts.end(), l->begin(), l->end());
    for (const std::string& p : parts) EXPECT_NE(plain.find(p), std::string::npos) << r.word->name << ": " << p;
    EXPECT_EQ(plain.find("Not available") != std::string::npos, !r.word->ready) << r.word->name;
  }
}

// The test command fails when a word has no entry, an entry names no word, or a message has no
// catalogue text; a doubled quote of the resource script is one quote, escapes and placeholders stay.
TEST(WordReference, MissingAndStrayEntriesAreReported) {
  const std::string good = ReadSource("docs/src/words.txt");
  const std::size_t left = good.find("== Left$\n");
  EXPECT_NE(Problems(good.substr(0, left) + good.substr(good.find("== Right$\n"))).find("the word Left$ has no entry"),
            std::string::npos);
  EXPECT_NE(Problems(good + "== NoSuchWord\ndoes: x\n").find("NoSuchWord is no word of the table"), std::string::npos);
  EXPECT_NE(Problems(good + "error 1238: an id without text\n").find("message 1238 has no text in the catalogue"),
            std::string::npos);
  EXPECT_EQ(mcrref::ParseCatalogue("  7, \"say \"\"hi\"\"\\n%.60s\"\n").at(7), "say \"hi\"\\n%.60s");
}

}  // namespace
