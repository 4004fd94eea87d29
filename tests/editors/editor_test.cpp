// The editor extension's data (tools/editorgen) names exactly the words of the table, the language's
// keywords and built-ins, with their usage and reference; the grammar's own rules are checked by the
// annotated macros beside this file (vscode-tmgrammar-test, ./mcr test).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "editor.h"
#include "lang.h"
#include "refsources.h"

namespace {

// The names of the grammar's rules "(?i)(?<![\w$])(?:A|B\$)(?![\w$])", unescaped, in their order.
std::vector<std::string> RuleNames(const nlohmann::json& grammar, std::initializer_list<const char*> rules) {
  std::vector<std::string> names;
  for (const char* rule : rules) {
    std::string match = grammar["repository"][rule]["match"];
    names.emplace_back();
    for (std::size_t i = match.find("(?:") + 3; i < match.rfind(")(?!"); ++i)
      if (match[i] == '|') names.emplace_back();
      else if (match[i] != '\\') names.back() += match[i];
  }
  return names;
}

// A snippet as the editor inserts it: every placeholder at its default text, escapes undone.
std::string Inserted(const std::string& snippet) {
  const std::regex placeholder(R"(\$\{\d+:((?:[^}\\]|\\.)*)\})"), escape(R"(\\(.))");
  return std::regex_replace(std::regex_replace(snippet, placeholder, "$1"), escape, "$1");
}

TEST(EditorData, GrammarAndCompletionsNameTheWordsWithTheirUsageAndReference) {
  std::vector<std::string> expected, listed;  // the words in table order, the built-ins, the keywords
  const mcrref::SourceTree& sources = mcrtest::ReferenceSources();
  const auto& refs = sources.refs;
  const auto& catalogue = sources.catalogue;
  mcrref::Language language{mcrlang::Keywords(), {}};
  for (const mcrlang::Builtin& b : mcrlang::Builtins()) language.builtins.push_back({b.name, b.usage, b.summary});
  for (const mcr::WordInfo& w : mcr::kWords) expected.push_back(w.name);
  for (const auto& b : language.builtins) expected.push_back(b.name);
  expected.insert(expected.end(), language.keywords.begin(), language.keywords.end());
  const auto files = mcrref::EditorFiles(refs, catalogue, language);
  const auto items = nlohmann::json::parse(files.at("words.json"))["items"];
  for (const auto& item : items) listed.push_back(item["name"]);
  EXPECT_EQ(listed, expected);
  std::vector<std::string> coloured = RuleNames(nlohmann::json::parse(files.at("syntaxes/mcr.tmLanguage.json")),
      {"word-function", "word-command", "builtin", "control", "operator-word", "statement"});
  EXPECT_EQ(std::multiset<std::string>(coloured.begin(), coloured.end()),
            std::multiset<std::string>(expected.begin(), expected.end()));
  // A word's completion inserts its usage line; its hover carries its messages and its example.
  for (std::size_t i = 0; i < mcr::kWordCount && i < items.size(); ++i) {
    const std::string usage = mcrref::Usage(*refs[i].word), doc = items[i]["doc"];
    EXPECT_EQ(Inserted(items[i]["snippet"]), usage);
    for (const mcrref::Message& m : refs[i].entry->messages)
      EXPECT_TRUE(!m.id || doc.find("`" + catalogue.at(m.id) + "`") != std::string::npos) << usage << " " << m.id;
    for (const std::string& line : refs[i].entry->example) EXPECT_NE(doc.find(line + "\n"), std::string::npos) << usage;
  }
  // Every keyword has its hover (the line mcrhost --help prints).
  for (const auto& item : items)
    if (item["kind"] == "keyword") {
      EXPECT_NE(std::string(item["doc"]), "") << item["name"];
    }
}

// An argument's option words come from its word's entry: one said to go to
// another argument is not offered here, and "any word" offers none.
TEST(EditorData, OptionWordsOfEachArgument) {
  struct Case {
    const char* word;
    std::size_t param;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"DATATABLE", 0, {"CREATE", "APPEND"}},
      {"EX_DELETE", 1, {"DONTASK"}},
      {"EX_DELETE", 2, {"FILEONLY"}},
      {"GetSeqHdNo", 1, {"Version", "Flag", "Inject", "RunCount", "PrintSeq", "MethPEnb"}},
      {"UPDATE", 2, {}},
  };
  const mcrref::SourceTree& sources = mcrtest::ReferenceSources();
  const auto items =
      nlohmann::json::parse(mcrref::EditorFiles(sources.refs, sources.catalogue, {}).at("words.json"))["items"];
  for (const Case& c : cases)
    for (const auto& item : items)
      if (item["name"] == c.word) {
        EXPECT_EQ(item["params"][c.param]["options"], c.options) << c.word << " " << c.param;
      }
}

}  // namespace
