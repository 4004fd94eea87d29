// mcrhost --check must never reject a macro that runs: every macro the
// project itself runs (the sample's, the tests/host cases that end with
// status 0, the examples of both references that succeed) checks clean, and
// whatever the fuzz corpus holds is read without a fault. A straight macro
// that runs to its end with every word answering checks clean as well, so
// a rule that is not certain shows on the first such input. The rules' own
// findings are the tests/host cases check_*.mac.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>

#include "ast.h"
#include "check.h"
#include "wordref.h"
#include "langexamples.h"
#include "refsources.h"

namespace {

namespace fs = std::filesystem;
using mcrlang::Finding;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
std::string Source(const std::string& relative) { return Read(fs::path(MCR_SOURCE_DIR) / relative); }

const std::vector<mcrlang::CheckWord>& Words() {
  static const std::vector<mcrlang::CheckWord> words = mcrref::CheckWords(mcrtest::ReferenceSources().refs);
  return words;
}

// Code after exit is left on purpose where a macro shows what exit does:
// the warning is right there, and the macro runs.
std::vector<Finding> Rejections(std::vector<Finding> findings) {
  findings.erase(std::remove_if(findings.begin(), findings.end(),
                                [](const Finding& f) { return f.text.find("never reached") != std::string::npos; }),
                 findings.end());
  return findings;
}

std::string Shown(const std::vector<Finding>& findings) {
  std::string out;
  for (const Finding& f : findings)
    out += std::to_string(f.line) + ":" + std::to_string(f.column) + (f.error ? ": error: " : ": warning: ") + f.text + "\n";
  return out;
}

mcrlang::NameSet HostSets() {
  mcrlang::NameSet names;
  names.add("_ARGC");
  names.add("_ARG#$");
  return names;
}

// The variables the sample's startup.mac sets: mkworkstation writes it, so
// they are read from the string literals that make it up.
const mcrlang::NameSet& SampleStartup() {
  static const mcrlang::NameSet names = [] {
    mcrlang::NameSet set = HostSets();
    std::string code = Source("sample/workstation.cpp");
    const std::regex part(R"(startup\.mac"\]\s*\+?=([^;]*);)"), literal(R"("((?:[^"\\]|\\.)*)\")"),
        line(R"(^\s*(?:dim\s+)?([A-Za-z_]\w*\$?)\s*[=\[])");
    int found = 0;
    for (std::sregex_iterator p(code.begin(), code.end(), part), end; p != end; ++p) {
      std::string text;
      const std::string body = (*p)[1];
      for (std::sregex_iterator l(body.begin(), body.end(), literal); l != end; ++l) text += (*l)[1].str() + "\\n";
      for (std::size_t at = 0; at < text.size();) {
        std::size_t next = text.find("\\n", at);
        std::smatch m;
        std::string piece = text.substr(at, next - at);
        if (std::regex_search(piece, m, line)) set.add(m[1].str()), ++found;
        at = next == std::string::npos ? next : next + 2;
      }
    }
    EXPECT_GT(found, 10) << "the start-up macro's assignments were not found in sample/workstation.cpp";
    return set;
  }();
  return names;
}

// A command line's start-up macro and --set names, read from folder.
mcrlang::NameSet Preset(const std::vector<std::string>& args, const fs::path& folder, std::string* macro,
                        mcrlang::NameSet names = HostSets()) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--startup" && i + 1 < args.size() && args[i + 1].rfind("{SAMPLE}", 0) == 0) ++i, names = SampleStartup();
    else if (args[i] == "--startup" && i + 1 < args.size()) names = mcrlang::Assigned(Read(folder / args[++i]), Words(), names);
    else if (args[i] == "--set" && i + 1 < args.size()) ++i, names.add(args[i].substr(0, args[i].find('=')));
    else if (args[i] == "--tasks" && i + 1 < args.size() && ++i)  // the task windows, as mcrhost --check takes them
      for (std::string task : {"da", "acq", "tune", "gen"}) names.add("TaskWin_" + task);
    else if (args[i].rfind("--", 0) == 0 && args[i] != "--trace") ++i;
    else if (macro->empty()) *macro = args[i];
  }
  return names;
}

std::vector<std::string> Split(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// Each with the options its head says to run it with ("./mcr demo ARGS").
TEST(CheckRunningMacros, SampleMacrosAreClean) {
  int checked = 0;
  for (const auto& e : fs::directory_iterator(fs::path(MCR_SOURCE_DIR) / "sample"))
    if (e.path().extension() == ".mac") {
      ++checked;
      std::string text = Read(e.path()), macro;
      std::smatch demo;
      std::regex_search(text, demo, std::regex("\\./mcr demo ([^\n]*)"));
      mcrlang::NameSet preset = Preset(Split(demo.empty() ? "" : demo[1].str()), ".", &macro, SampleStartup());
      EXPECT_EQ(Shown(mcrlang::Check(text, Words(), preset)), "") << e.path();
    }
  EXPECT_GE(checked, 4);
}

// Each case that ends with status 0 (a --check case is checked by its
// expected output instead).
TEST(CheckRunningMacros, HostCasesThatRunAreClean) {
  const fs::path cases = fs::path(MCR_SOURCE_DIR) / "tests/host";
  int checked = 0;
  for (const auto& e : fs::directory_iterator(cases)) {
    if (e.path().extension() != ".expect") continue;
    std::map<std::string, std::string> sections;
    std::istringstream in(Read(e.path()));
    std::string name;
    for (std::string l; std::getline(in, l);)
      if (l.rfind("--- ", 0) == 0) name = l.substr(4);
      else sections[name] += l + "\n";
    std::vector<std::string> args = Split(sections.count("args") ? sections["args"] : e.path().stem().string() + ".mac");
    if (sections.count("status") && std::stoi(sections["status"]) != 0) continue;
    if (std::find(args.begin(), args.end(), "--check") != args.end()) continue;
    std::string macro;
    mcrlang::NameSet preset = Preset(args, cases, &macro);
    if (macro.empty()) continue;
    ++checked;
    EXPECT_EQ(Shown(Rejections(mcrlang::Check(Read(cases / macro), Words(), preset))), "") << macro;
  }
  EXPECT_GE(checked, 5);
}

TEST(CheckRunningMacros, WordExamplesAreClean) {
  for (const mcrref::Entry& e : mcrtest::ReferenceSources().entries) {
    std::string macro, none;
    for (const std::string& l : e.example) macro += l + "\n";
    mcrlang::NameSet preset = Preset(Split(e.run), ".", &none, SampleStartup());
    EXPECT_EQ(Shown(mcrlang::Check(macro, Words(), preset)), "") << e.name;
  }
}

// The examples of docs/language.md that end with status 0.
TEST(CheckRunningMacros, LanguageExamplesThatRunAreClean) {
  int examples = 0;
  for (const mcrtest::LanguageExample& e : mcrtest::LanguageExamples(Source("docs/language.md"))) {
    if (e.shows.find("[status ") != std::string::npos ||
        std::find(e.args.begin(), e.args.end(), "--check") != e.args.end())
      continue;
    ++examples;
    fs::path dir = fs::temp_directory_path() / "mcr-check-test";
    fs::create_directories(dir);
    for (const auto& [name, text] : e.files) std::ofstream(dir / name, std::ios::binary) << text;
    std::string macro;
    mcrlang::NameSet preset = Preset(e.args, dir, &macro);
    EXPECT_EQ(Shown(Rejections(mcrlang::Check(e.files.count(macro) ? e.files.at(macro) : "", Words(), preset))), "") << e.line;
  }
  EXPECT_GE(examples, 5);
}

// A host whose every word answers, as the checker's certainty assumes.
class AnsweringHost : public mcrlang::HostInterface {
 public:
  AnsweringHost() {
    for (const mcrlang::CheckWord& w : Words()) {
      mcrlang::WordInfo info{w.name, w.function, ""};
      for (const mcrlang::CheckParam& p : w.params) info.kinds += p.kind;
      infos_.push_back(info);
    }
  }
  const mcrlang::WordInfo* findWord(std::string_view name) override {
    for (const mcrlang::WordInfo& w : infos_)
      if (mcrhost::VarStore::Key(w.name) == mcrhost::VarStore::Key(name)) return &w;
    return nullptr;
  }
  mcrlang::CallResult call(const mcrlang::WordInfo& word, const std::vector<mcrlang::Arg>& args) override {
    const mcrlang::CheckWord& w = Words()[static_cast<std::size_t>(&word - infos_.data())];
    for (std::size_t i = 0; i < args.size(); ++i)
      if (w.params[i].required && args[i].kind == mcrlang::Arg::Kind::Omitted) return {std::string("omitted"), {}, {}};
    return {std::nullopt, w.givesString ? mcrlang::Value::Str("") : mcrlang::Value::Num(0), {}};
  }
  void output(const std::string&) override {}

 private:
  std::vector<mcrlang::WordInfo> infos_;
};

bool Branches(const mcrlang::Expr* e) {
  if (!e) return false;
  if (e->kind == mcrlang::Expr::Kind::Binary && (e->op == mcrlang::Op::And || e->op == mcrlang::Op::Or)) return true;
  for (const auto& a : e->args)
    if (Branches(a.get())) return true;
  return false;
}

// No if, while, and or or: every statement runs, in order.
bool Straight(const mcrlang::Program& p) {
  for (const mcrlang::Stmt& s : p.statements) {
    if (s.kind == mcrlang::Stmt::Kind::If || s.kind == mcrlang::Stmt::Kind::While) return false;
    if (Branches(s.index.get()) || Branches(s.value.get())) return false;
    for (const auto& a : s.args)
      if (Branches(a.get())) return false;
  }
  return true;
}

// source as the checker and as a run see it; returns whether the run
// judged it (it ran straight to its end).
bool CheckAgainstRun(const std::string& source) {
  std::vector<Finding> findings = mcrlang::Check(source, Words(), HostSets());
  mcrlang::ParseResult parsed = mcrlang::Parse(source, mcrlang::kIdentityCodec, 1, mcrlang::SourceEncoding(source));
  if (parsed.error) {
    EXPECT_EQ(findings.size(), 1u);
    EXPECT_TRUE(!findings.empty() && findings[0].error && findings[0].line == parsed.error->line);
    return false;
  }
  for (const Finding& f : findings) EXPECT_TRUE(f.line >= 1 && f.column >= 1) << Shown(findings);
  if (!Straight(*parsed.program)) return false;
  AnsweringHost host;
  mcrhost::VarStore vars;
  mcrlang::Interpreter in(host, vars, mcrlang::kIdentityCodec);
  mcrlang::RunResult run = in.run(*parsed.program);
  if (run.status != mcrlang::RunStatus::Finished) return false;
  EXPECT_EQ(Shown(findings), "") << "the run went through:\n" << source;
  return true;
}

TEST(CheckRunningMacros, StraightMacrosThatRunAreClean) {
  // The cases where a rule could claim too much.
  const char* const cases[] = {
      "x = 1\nprint x + GetTickCount\n",  // a function word written without parentheses
      "GetCalMasInf 1, \"NAME\", \"\", \"n\"\n",
      "t$ = Left$(\"ab\", 1) & 2\ndim t[2]\nt[1] = len(t$)\nprint size(t), t[1] + 1\n",
      "ScalarToHex 12\nprint str$(1) + \"a\", 1 < 2\n",
      "SplitPath \"C:\\x.y\", , , n$\nwait 0\n",
  };
  for (const char* c : cases) EXPECT_TRUE(CheckAgainstRun(c)) << c;
  // Whatever the fuzz corpus holds, whole and after its selector byte.
  std::error_code missing;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(MCR_SOURCE_DIR) / "tests/fuzz/corpus", missing))
    if (e.is_regular_file()) {
      std::string bytes = Read(e.path());
      CheckAgainstRun(bytes);
      if (!bytes.empty()) CheckAgainstRun(bytes.substr(1));
    }
}

// tests/check/cases.txt: each broken macro gives exactly its findings, each
// valid one none.
TEST(CheckCases, FindingsAreExactlyTheExpectedOnes) {
  struct Case {
    std::string title, macro;
    std::vector<std::string> expected;
  };
  std::vector<Case> cases;
  std::istringstream in(Source("tests/check/cases.txt"));
  for (std::string l; std::getline(in, l);) {
    if (l.rfind("== ", 0) == 0) cases.push_back({l.substr(3), "", {}});
    else if (l.rfind("-> ", 0) == 0 && !cases.empty()) cases.back().expected.push_back(l.substr(3));
    else if (!cases.empty()) cases.back().macro += l + "\n";
  }
  int broken = 0, found = 0, valid = 0, clean = 0;
  for (const Case& c : cases) {
    std::vector<std::string> got;
    for (const Finding& f : mcrlang::Check(c.macro, Words(), SampleStartup()))
      got.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + (f.error ? " error: " : " warning: ") + f.text);
    bool same = got.size() == c.expected.size();
    for (std::size_t i = 0; same && i < got.size(); ++i) same = got[i].rfind(c.expected[i], 0) == 0;
    (c.expected.empty() ? valid : broken) += 1;
    (c.expected.empty() ? clean : found) += same ? 1 : 0;
    std::string shown;
    for (const std::string& g : got) shown += "-> " + g + "\n";
    EXPECT_TRUE(same) << c.title << "\n" << shown;
    EXPECT_EQ(c.title.rfind("valid: ", 0) == 0, c.expected.empty()) << c.title;
  }
  std::printf("checker: %d of %d broken macros found, %d of %d valid macros clean\n", found, broken, clean, valid);
  EXPECT_GE(broken, 40);
  EXPECT_GE(valid, 10);
}

// A V parameter is described as what it is: an option word, or a variable.
TEST(CheckFacts, HelpTellsOptionsFromVariables) {
  const mcrref::SourceTree& sources = mcrtest::ReferenceSources();
  for (const mcrref::Reference& r : sources.refs) {
    std::string text = mcrref::Plain(r, sources.catalogue);
    if (r.word->name == std::string("COPY")) {
      EXPECT_NE(text.find("  option       V  an option, a word written bare: DONTASK (any letter case)\n"), std::string::npos) << text;
    }
    if (r.word->name == std::string("SplitPath")) {
      EXPECT_NE(text.find("  drive var  V  a variable's name written bare, not its value\n"), std::string::npos) << text;
    }
  }
}

// The facts the checker takes from the entries name real parameters of the
// right kind; a slip is reported with the entry's line.
TEST(CheckFacts, FaultsInTheFactsAreReported) {
  const struct { const char* fact; const char* problem; } cases[] = {
      {"required: txt", "required: \"txt\" is no parameter"},
      {"names: count", "names: \"count\" is no S parameter"},
      {"option: text = A", "option: \"text\" is no V parameter"},
      {"option: text A", "option of Left$ takes"},
      {"reads: _A b", "\"_A b\" is no variable name"},
  };
  for (const auto& c : cases) {
    std::string text = Source("docs/src/words.txt");
    text.insert(text.find("== Left$\n") + 9, std::string(c.fact) + "\n");
    std::vector<std::string> problems;
    mcrref::Join(mcrref::ParseEntries(text, &problems), mcrref::ParseCatalogue(Source("mcrpak/resources/strings.rc")),
                 &problems);
    std::string all;
    for (const std::string& p : problems) all += p + "\n";
    EXPECT_NE(all.find(c.problem), std::string::npos) << c.fact << "\n" << all;
  }
}

}  // namespace
