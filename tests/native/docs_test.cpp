// The word reference: docs/words.md is what the word table,
// docs/src/words.txt and the catalogue give (./mcr docs writes it), and the
// generator refuses sources that leave a word or a message out.
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

// An entry file parsed and joined with the word table and the catalogue.
struct Joined {
  std::vector<mcrref::Entry> entries;
  std::vector<mcrref::Reference> refs;
  std::string problems;  // one per line
  explicit Joined(const std::string& text) {
    std::vector<std::string> lines;
    entries = mcrref::ParseEntries(text, &lines);
    refs = mcrref::Join(entries, Catalogue(), &lines);
    for (const std::string& l : lines) problems += l + "\n";
  }
};

const std::string& Entries() {
  static const std::string text = ReadSource("docs/src/words.txt");
  return text;
}

TEST(WordReference, CommittedFileIsWhatTheSourcesGive) {
  Joined committed(Entries());
  ASSERT_EQ(committed.problems, "");
  ASSERT_EQ(committed.refs.size(), mcr::kWordCount);
  EXPECT_TRUE(mcrref::Markdown(committed.refs, Catalogue()) == ReadSource("docs/words.md"))
      << "docs/words.md is out of date: run ./mcr docs and commit it";
}

// The catalogue is read as the resource script writes it: a doubled quote
// is one quote, escapes and placeholders stay as they are (the committed
// reference above holds the real texts).
TEST(WordReference, CatalogueTextsComeFromTheResourceScript) {
  EXPECT_EQ(mcrref::ParseCatalogue("  7, \"say \"\"hi\"\"\\n%.60s\"\n").at(7), "say \"hi\"\\n%.60s");
}

// Each fault in the entry file names itself; the committed file with the
// fault added is the base, so a case fails only by its own fault.
TEST(WordReference, FaultsOfTheEntryFileAreReported) {
  const std::string& good = Entries();
  std::string withoutLeft = good;
  std::size_t at = withoutLeft.find("== Left$\n");
  withoutLeft.erase(at, withoutLeft.find("== Right$\n") - at);
  // A function's entry must say what it gives, a command's what it does, and
  // every entry needs an example.
  const std::string bare = withoutLeft + "== Left$\nerror 1008: omitted\n";
  std::string command = good;
  command.replace(command.find("does: asks the data-analysis task to come"), 4, "note");
  struct Case { std::string entries, problem; } cases[] = {
      {withoutLeft, "the word Left$ has no entry"},
      {good + "== Left$\ngives: x\nexample:\n    print 1\n", "Left$ has a second entry"},
      {good + "== NoSuchWord\ndoes: x\n", "NoSuchWord is no word of the table"},
      {"stray\n" + good, "text before the first"},
      {good + "colour: red\n", "unknown label \"colour\""},
      {good + "error 12x: when\n", "\"12x\" is not a message number"},
      {good + "error 1008:\n", "says not when it comes"},
      {good + "error 9999: never\n", "message 9999 has no text in the catalogue"},
      {good + "error 1238: an id without text\n", "message 1238 has no text in the catalogue"},
      {good + "gives:\n", "gives of BringDAToTop is empty"},
      {good + "prints: 1\n", "takes indented lines, once"},
      {bare, "Left$: a function needs \"gives:\""},
      {bare, "Left$: there is no example"},
      {command, "BringDAToTop: a command needs"},
  };
  for (const Case& c : cases) {
    std::string all = Joined(c.entries).problems;
    EXPECT_NE(all.find(c.problem), std::string::npos) << "expected: " << c.problem << "\nfound:\n" << all;
  }
}

// mcrhost --help prints the plain form, the reference the Markdown form:
// every fact, message and example line of an entry is in both.
TEST(WordReference, PlainAndMarkdownSayTheSame) {
  Joined committed(Entries());
  std::string markdown = mcrref::Markdown(committed.refs, Catalogue());
  for (const mcrref::Reference& r : committed.refs) {
    std::string plain = mcrref::Plain(r, Catalogue());
    std::vector<std::string> parts{mcrref::Usage(*r.word), r.word->summary + 1};  // the summary less its first letter
    for (const mcrref::Fact& f : r.entry->facts) parts.push_back(f.text);
    for (const mcrref::Message& m : r.entry->messages) {
      parts.push_back(m.when);
      if (m.id) parts.push_back(Catalogue().at(m.id));
    }
    for (const std::string& l : r.entry->example) parts.push_back(l);
    for (const std::string& l : r.entry->prints) parts.push_back(l);
    for (const std::string& p : parts) {
      EXPECT_NE(plain.find(p), std::string::npos) << r.word->name << ": " << p;
      EXPECT_NE(markdown.find(p), std::string::npos) << r.word->name << ": " << p;
    }
    EXPECT_EQ(plain.find("Not available") != std::string::npos, !r.word->ready) << r.word->name;
  }
  // Bars in the catalogue's texts or the notes would end a table cell.
  mcrref::Entry e;
  e.name = "Left$";
  e.messages.push_back({mcrref::Reach::Error, 0, "a|b"});
  e.example.push_back("print 1");
  std::string one = mcrref::Markdown({{&mcr::kWords[0], &e}}, {});
  EXPECT_NE(one.find("| a\\|b |"), std::string::npos) << one;
}

}  // namespace
