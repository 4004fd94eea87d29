// The references the project ships: docs/words.md is what the word table,
// docs/src/words.txt and the catalogue give (./mcr docs writes it); the
// generator refuses sources that leave a word or a message out; and the
// limits docs/language.md states hold exactly at their edges.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "lang.h"
#include "vars.h"
#include "wordref.h"

namespace {

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(MCR_SOURCE_DIR) + "/" + relative, std::ios::binary);
  EXPECT_TRUE(in) << relative;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Sources {
  std::string entries = ReadSource("docs/src/words.txt");
  mcrref::Catalogue catalogue = mcrref::ParseCatalogue(ReadSource("mcrpak/resources/strings.rc"));
};

const Sources& Committed() {
  static const Sources sources;
  return sources;
}

std::vector<std::string> Problems(const std::string& entries) {
  std::vector<std::string> problems;
  std::vector<mcrref::Entry> parsed = mcrref::ParseEntries(entries, &problems);
  mcrref::Join(parsed, Committed().catalogue, &problems);
  return problems;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

TEST(WordReference, CommittedFileIsWhatTheSourcesGive) {
  std::vector<std::string> problems;
  std::vector<mcrref::Entry> entries = mcrref::ParseEntries(Committed().entries, &problems);
  std::vector<mcrref::Reference> refs = mcrref::Join(entries, Committed().catalogue, &problems);
  ASSERT_EQ(Joined(problems), "");
  ASSERT_EQ(refs.size(), mcr::kWordCount);
  EXPECT_TRUE(mcrref::Markdown(refs, Committed().catalogue) == ReadSource("docs/words.md"))
      << "docs/words.md is out of date: run ./mcr docs and commit it";
}

// The catalogue is read from the resource script itself: the texts are the
// ones the library loads, placeholders and escapes as written there.
TEST(WordReference, CatalogueTextsComeFromTheResourceScript) {
  const mcrref::Catalogue& c = Committed().catalogue;
  EXPECT_EQ(c.at(1008), "引数は省略できません.");
  EXPECT_EQ(c.at(1041), "ﾌｧｲﾙ名にﾊﾟｽや拡張子を含めることはできません.\\n正しいﾌｧｲﾙ名を入力してください.");
  EXPECT_EQ(c.at(1311), "%.60s を %.60s にｺﾋﾟｰしました");
  EXPECT_EQ(c.count(1238), 0u);  // an id without text
  EXPECT_EQ(mcrref::ParseCatalogue("  7, \"say \"\"hi\"\"\"\n").at(7), "say \"hi\"");
}

// Each fault in the entry file names itself; the committed file with the
// fault added is the base, so a case fails only by its own fault.
TEST(WordReference, FaultsOfTheEntryFileAreReported) {
  const std::string& good = Committed().entries;
  std::string withoutLeft = good;
  std::size_t at = withoutLeft.find("== Left$\n");
  withoutLeft.erase(at, withoutLeft.find("== Right$\n") - at);
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
  };
  for (const Case& c : cases) {
    std::string all = Joined(Problems(c.entries));
    EXPECT_NE(all.find(c.problem), std::string::npos) << "expected: " << c.problem << "\nfound:\n" << all;
  }
  // A function's entry must say what it gives, a command's what it does, and
  // every entry needs an example.
  std::string bare = withoutLeft + "== Left$\nerror 1008: omitted\n";
  std::string all = Joined(Problems(bare));
  EXPECT_NE(all.find("Left$: a function needs \"gives:\""), std::string::npos) << all;
  EXPECT_NE(all.find("Left$: there is no example"), std::string::npos) << all;
  std::string command = good;
  command.replace(command.find("does: asks the data-analysis task to come"), 4, "note");
  EXPECT_NE(Joined(Problems(command)).find("BringDAToTop: a command needs"), std::string::npos);
}

// mcrhost --help prints the plain form, the reference the Markdown form:
// every fact, message and example line of an entry is in both.
TEST(WordReference, PlainAndMarkdownSayTheSame) {
  std::vector<std::string> problems;
  std::vector<mcrref::Entry> entries = mcrref::ParseEntries(Committed().entries, &problems);
  std::vector<mcrref::Reference> refs = mcrref::Join(entries, Committed().catalogue, &problems);
  std::string markdown = mcrref::Markdown(refs, Committed().catalogue);
  for (const mcrref::Reference& r : refs) {
    std::string plain = mcrref::Plain(r, Committed().catalogue);
    std::vector<std::string> parts{mcrref::Usage(*r.word), r.word->summary + 1};  // the summary less its first letter
    for (const mcrref::Fact& f : r.entry->facts) parts.push_back(f.text);
    for (const mcrref::Message& m : r.entry->messages) {
      parts.push_back(m.when);
      if (m.id) parts.push_back(Committed().catalogue.at(m.id));
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

// The limits docs/language.md states, at their edges.
int SyntaxOk(const std::string& source) { return mcrlang::Parse(source, mcrlang::kIdentityCodec).error ? 0 : 1; }

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::string Blocks(int depth) { return Repeat("if 1 then\n", depth) + "print 1\n" + Repeat("endif\n", depth); }

TEST(LanguageLimits, HoldExactlyAtTheirEdges) {
  struct Case { const char* what; std::string source; int ok; const char* message; } cases[] = {
      {"999 operators in a chain", "x = 1" + Repeat(" + 1", 999), 1, ""},
      {"1000 operators in a chain", "x = 1" + Repeat(" + 1", 1000), 0, "the expression is too long"},
      {"199 nested parentheses", "x = " + Repeat("(", 199) + "1" + Repeat(")", 199), 1, ""},
      {"200 nested parentheses", "x = " + Repeat("(", 200) + "1" + Repeat(")", 200), 0, "nested too deeply"},
      {"199 unary minus signs", "x = " + Repeat("- ", 199) + "1", 1, ""},
      {"200 unary minus signs", "x = " + Repeat("- ", 200) + "1", 0, "nested too deeply"},
      {"199 nots", "x = " + Repeat("not ", 199) + "1", 1, ""},
      {"200 nots", "x = " + Repeat("not ", 200) + "1", 0, "nested too deeply"},
      {"199 nested calls", "x = " + Repeat("f(", 199) + "1" + Repeat(")", 199), 1, ""},
      {"200 nested calls", "x = " + Repeat("f(", 200) + "1" + Repeat(")", 200), 0, "nested too deeply"},
      {"100 nested blocks", Blocks(100), 1, ""},
      {"101 nested blocks", Blocks(101), 0, "blocks are nested too deeply"},
  };
  for (const Case& c : cases) {
    mcrlang::ParseResult r = mcrlang::Parse(c.source, mcrlang::kIdentityCodec);
    EXPECT_EQ(SyntaxOk(c.source), c.ok) << c.what;
    if (!c.ok && r.error) {
      EXPECT_NE(r.error->message.find(c.message), std::string::npos) << c.what << ": " << r.error->message;
    }
  }
}

// Tables: 65535 elements is the largest, and a string has no limit of its own.
class Quiet : public mcrlang::HostInterface {
 public:
  const mcrlang::WordInfo* findWord(std::string_view) override { return nullptr; }
  mcrlang::CallResult call(const mcrlang::WordInfo&, const std::vector<mcrlang::Arg>&) override { return {}; }
  void output(const std::string& line) override { printed += line + "\n"; }
  std::string printed;
};

TEST(LanguageLimits, TablesAndStrings) {
  struct Case { std::string source; bool fails; const char* printed; } cases[] = {
      {"dim t[65535]\nt[65535] = 1\nprint size(t), t[65535]", false, "65535 1\n"},
      {"dim t[65536]", true, ""},
      {"dim t[0]\nprint size(t)", false, "0\n"},
      {"s$ = \"" + std::string(100000, 'x') + "\"\ns$ = s$ & s$\nprint len(s$)", false, "200000\n"},
  };
  for (const Case& c : cases) {
    mcrlang::ParseResult p = mcrlang::Parse(c.source, mcrlang::kIdentityCodec);
    ASSERT_FALSE(p.error) << p.error->message;
    Quiet host;
    mcrhost::VarStore vars;
    mcrlang::RunResult r = mcrlang::Interpreter(host, vars, mcrlang::kIdentityCodec).run(*p.program);
    EXPECT_EQ(r.status == mcrlang::RunStatus::Failed, c.fails) << c.source.substr(0, 40) << ": " << r.error.message;
    EXPECT_EQ(host.printed, c.printed) << c.source.substr(0, 40);
  }
}

}  // namespace
