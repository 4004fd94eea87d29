// The editor extension's data (tools/editorgen): its grammar and its
// completions name exactly the words of the table, the language's keywords
// and built-ins, and a completion read back as the editor reads a snippet is
// the word's usage line. The grammar's own rules are checked by the
// annotated macros of tests/editors (vscode-tmgrammar-test, ./mcr test).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "editor.h"
#include "lang.h"

namespace {

using nlohmann::json;

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(MCR_SOURCE_DIR) + "/" + relative, std::ios::binary);
  EXPECT_TRUE(in) << relative;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Generated {
  std::vector<mcrref::Entry> entries;
  mcrref::Catalogue catalogue = mcrref::ParseCatalogue(ReadSource("mcrpak/resources/strings.rc"));
  std::vector<mcrref::Reference> refs;
  json grammar, words;
  Generated() {
    std::vector<std::string> problems;
    entries = mcrref::ParseEntries(ReadSource("docs/src/words.txt"), &problems);
    refs = mcrref::Join(entries, catalogue, &problems);
    EXPECT_TRUE(problems.empty());
    mcrref::Language language{mcrlang::Keywords(), {}};
    for (const mcrlang::Builtin& b : mcrlang::Builtins()) language.builtins.push_back({b.name, b.usage, b.summary});
    auto files = mcrref::EditorFiles(refs, catalogue, language);
    grammar = json::parse(files.at("syntaxes/mcr.tmLanguage.json"));
    words = json::parse(files.at("words.json"));
  }
};

// The names of a rule "(?i)(?<![\w$])(?:A|B\$)(?![\w$])", unescaped.
std::vector<std::string> RuleNames(const json& grammar, const std::string& rule) {
  std::string match = grammar["repository"][rule]["match"];
  std::size_t open = match.find("(?:"), close = match.rfind(")(?!");
  std::vector<std::string> names(1);
  for (std::size_t i = open + 3; i < close; ++i) {
    if (match[i] == '|') names.emplace_back();
    else if (match[i] != '\\') names.back() += match[i];
  }
  return names;
}

// A snippet as the editor inserts it with every placeholder left at its
// default text.
std::string Inserted(const std::string& snippet) {
  std::string out;
  for (std::size_t i = 0; i < snippet.size(); ++i) {
    if (snippet[i] == '\\') out += snippet[++i];
    else if (snippet.compare(i, 2, "${") == 0) i = snippet.find(':', i);
    else if (snippet[i] != '}') out += snippet[i];
  }
  return out;
}

TEST(EditorData, GrammarNamesTheWordsOfTheTableAndTheLanguage) {
  Generated g;
  std::vector<std::string> functions, commands, builtins;
  for (const mcr::WordInfo& w : mcr::kWords) (w.kind == mcr::WordKind::Function ? functions : commands).push_back(w.name);
  for (const mcrlang::Builtin& b : mcrlang::Builtins()) builtins.push_back(b.name);
  EXPECT_EQ(RuleNames(g.grammar, "word-function"), functions);
  EXPECT_EQ(RuleNames(g.grammar, "word-command"), commands);
  EXPECT_EQ(RuleNames(g.grammar, "builtin"), builtins);
  std::vector<std::string> keywords;
  for (const char* rule : {"control", "operator-word", "statement"})
    for (const std::string& k : RuleNames(g.grammar, rule)) keywords.push_back(k);
  std::sort(keywords.begin(), keywords.end());
  std::vector<std::string> expected = mcrlang::Keywords();
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(keywords, expected);
  std::vector<std::string> included;
  for (const json& p : g.grammar["patterns"]) included.push_back(p["include"].get<std::string>().substr(1));
  for (const auto& [name, rule] : g.grammar["repository"].items())
    EXPECT_NE(std::find(included.begin(), included.end(), name), included.end()) << name << " is never used";
}

// A word's hover carries its usage, every message with the catalogue's
// text and the example.
TEST(EditorData, CompletionsAreTheWordsWithTheirUsageAndReference) {
  Generated g;
  const json& items = g.words["items"];
  ASSERT_EQ(items.size(), mcr::kWordCount + mcrlang::Builtins().size() + mcrlang::Keywords().size());
  for (std::size_t i = 0; i < mcr::kWordCount; ++i) {
    const mcr::WordInfo& w = *g.refs[i].word;
    const json& item = items[i];
    SCOPED_TRACE(w.name);
    EXPECT_EQ(item["name"], w.name);
    EXPECT_EQ(item["kind"], w.kind == mcr::WordKind::Function ? "function" : "command");
    EXPECT_EQ(Inserted(item["snippet"]), mcrref::Usage(w));
    const std::string doc = item["doc"];
    EXPECT_EQ(doc.find("```mcr\n" + mcrref::Usage(w) + "\n```\n"), 0u);
    for (const mcrref::Message& m : g.refs[i].entry->messages) {
      if (!m.id) continue;
      EXPECT_NE(doc.find("- " + std::to_string(m.id) + " *"), std::string::npos) << m.id;
      EXPECT_NE(doc.find("`" + g.catalogue.at(m.id) + "`"), std::string::npos) << m.id;
    }
    for (const std::string& line : g.refs[i].entry->example) EXPECT_NE(doc.find(line + "\n"), std::string::npos);
  }
  for (std::size_t i = 0; i < mcrlang::Builtins().size(); ++i)
    EXPECT_EQ(Inserted(items[mcr::kWordCount + i]["snippet"]), mcrlang::Builtins()[i].usage);
}

}  // namespace
