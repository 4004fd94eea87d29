// The examples of the references run as a macro writer would run them: each
// available word's example from docs/src/words.txt (the source of
// docs/words.md) on a freshly laid out sample workstation, and each example
// of docs/language.md. A reference whose examples do not do what it says is
// wrong.
#include <fstream>
#include <map>
#include <sstream>

#include "mcrhostrun.h"
#include "testhost.h"
#include "wordref.h"
#include "workstation.h"

namespace mcrtest {
namespace {

std::string Source(const std::string& relative) { return ReadAll(std::string(MCR_SOURCE_DIR) + "/" + relative); }

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// --- docs/words.md -------------------------------------------------------------

const std::vector<mcrref::Entry>& Entries() {
  static const std::vector<mcrref::Entry> entries = [] {
    std::vector<std::string> problems;
    return mcrref::ParseEntries(Source("docs/src/words.txt"), &problems);
  }();
  return entries;
}

std::vector<std::string> ReadyWords() {
  std::vector<std::string> names;
  for (const mcr::WordInfo& w : mcr::kWords)
    if (w.ready) names.push_back(w.name);
  return names;
}

std::string Marker(const mcrref::Entry& e) { return "@@ " + e.name + "\n"; }

// The examples one after another in one macro, each after a line that names
// it, on a fresh sample with the options they share.
HostRun RunExamples(const std::vector<const mcrref::Entry*>& examples) {
  TempDir dir;
  std::string error, macro;
  EXPECT_TRUE(mcrsample::LayOut(dir.file("ws"), &error) &&
              mcrsample::WriteInstallKey(mcrsample::kInstallKey, dir.file("ws"), &error)) << error;
  for (const mcrref::Entry* e : examples) {
    macro += "print \"" + Marker(*e).substr(0, Marker(*e).size() - 1) + "\"\n";
    for (const std::string& l : e->example) macro += l + "\n";
  }
  Write(dir.file("example.mac"), macro);
  std::vector<std::string> args{"--startup", dir.file("ws\\startup.mac")};
  for (std::string& a : Words(examples[0]->run)) args.push_back(a == "DIR" ? dir.file("pictures") : a);
  args.push_back("example.mac");
  HostRunOptions options;
  options.cwd = dir.path();
  return RunMcrhost(args, options);
}

// What each example printed when the examples that need the same options ran
// together, on one sample: one mcrhost for many, where starting one costs more
// than the example. An example that fails there (an error, or what an example
// before it left behind) is left out, runs alone, and that verdict stands;
// the examples after it run together again.
const std::map<std::string, std::string>& TogetherOutputs() {
  static const std::map<std::string, std::string> outputs = [] {
    std::map<std::string, std::vector<const mcrref::Entry*>> groups;
    for (const std::string& name : ReadyWords())
      for (const mcrref::Entry& e : Entries())
        if (e.name == name) groups[e.run].push_back(&e);
    std::map<std::string, std::string> out;
    for (auto& [run, pending] : groups) {
      while (!pending.empty()) {
        HostRun r = RunExamples(pending);
        // An error names its line and stops the macro there: what ran before it
        // ran cleanly. Anything else on stderr: each example runs alone.
        if (!r.err.empty() && !(r.status == 1 && r.err.rfind("example.mac:", 0) == 0 &&
                                r.err.find('\n') + 1 == r.err.size()))
          break;
        std::size_t done = 0;
        for (; done < pending.size(); ++done) {
          std::size_t from = r.out.find(Marker(*pending[done]));
          std::size_t to = done + 1 < pending.size() ? r.out.find(Marker(*pending[done + 1]))
                                                     : (r.status || !r.err.empty() ? std::string::npos : r.out.size());
          if (from == std::string::npos || to == std::string::npos) break;
          from += Marker(*pending[done]).size();
          out[pending[done]->name] = r.out.substr(from, to - from);
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(std::min(done + 1, pending.size())));
      }
    }
    return out;
  }();
  return outputs;
}

class WordExample : public ::testing::TestWithParam<std::string> {};

TEST_P(WordExample, RunsOnTheSampleAndPrintsWhatItSays) {
  const mcrref::Entry* entry = nullptr;
  for (const mcrref::Entry& e : Entries())
    if (e.name == GetParam()) entry = &e;
  ASSERT_TRUE(entry) << "no entry for " << GetParam();
  std::string expected;
  for (const std::string& l : entry->prints) expected += l + "\n";
  auto together = TogetherOutputs().find(entry->name);
  if (together != TogetherOutputs().end() && (entry->prints.empty() || together->second == expected)) return;
  HostRun r = RunExamples({entry});
  EXPECT_EQ(r.status, 0u) << r.err;
  EXPECT_EQ(r.err, "");
  if (!entry->prints.empty()) {
    EXPECT_EQ(r.out, Marker(*entry) + expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Words, WordExample, ::testing::ValuesIn(ReadyWords()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name;
                           for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

// --- docs/language.md ----------------------------------------------------------

// An example: the macro files of the ```mcr blocks before a ```text block
// (named by a first line "' NAME.mac", else example.mac), the command line
// (the text block's "$ mcrhost ..." line, else "example.mac"), and what
// mcrhost writes: standard output, standard error, "[status N]" unless 0.
struct LanguageExample {
  int line = 0;
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::string> args;
  std::string expected;
};

std::vector<LanguageExample> LanguageExamples() {
  std::vector<LanguageExample> out;
  std::istringstream in(Source("docs/language.md"));
  LanguageExample next;
  std::string fence, body;
  int lineNo = 0, blockLine = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNo;
    if (fence.empty()) {
      if (line.rfind("```", 0) == 0) {
        fence = line.substr(3);
        body.clear();
        blockLine = lineNo;
      }
      continue;
    }
    if (line != "```") {
      body += line + "\n";
      continue;
    }
    if (fence == "mcr") {
      std::string name = "example.mac";
      if (body.rfind("' ", 0) == 0 && body.find(".mac\n") == body.find('\n') - 4) name = body.substr(2, body.find('\n') - 2);
      next.files.emplace_back(name, body);
    } else if (fence == "text" && !next.files.empty()) {
      next.line = blockLine;
      if (body.rfind("$ mcrhost", 0) == 0) {
        next.args = Words(body.substr(9, body.find('\n') - 9));
        body.erase(0, body.find('\n') + 1);
      } else {
        next.args = {"example.mac"};
      }
      next.expected = body;
      out.push_back(next);
      next = LanguageExample();
    }
    fence.clear();
  }
  return out;
}

class LanguageDoc : public ::testing::TestWithParam<LanguageExample> {};

TEST_P(LanguageDoc, ExampleDoesWhatTheTextSays) {
  const LanguageExample& e = GetParam();
  TempDir dir;
  for (const auto& [name, text] : e.files) Write(dir.file(name), text);
  HostRunOptions options;
  options.cwd = dir.path();
  HostRun r = RunMcrhost(e.args, options);
  std::string got = r.out + r.err + (r.status ? "[status " + std::to_string(r.status) + "]\n" : "");
  EXPECT_EQ(got, e.expected) << "the example before docs/language.md line " << e.line;
}

INSTANTIATE_TEST_SUITE_P(Language, LanguageDoc, ::testing::ValuesIn(LanguageExamples()),
                         [](const ::testing::TestParamInfo<LanguageExample>& info) {
                           return "line" + std::to_string(info.param.line);
                         });

TEST(LanguageDoc, HasItsExamples) { EXPECT_GE(LanguageExamples().size(), 20u); }  // else the suite above has none

}  // namespace
}  // namespace mcrtest
