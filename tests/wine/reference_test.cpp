// The examples of the references run as a macro writer would run them: each
// available word's example from docs/src/words.txt (the source of
// docs/words.md) on a freshly laid out sample workstation, and each example
// of docs/language.md. A reference whose examples do not do what it says is
// wrong.
#include <fstream>
#include <map>
#include <sstream>

#include "langexamples.h"
#include "mcrhostrun.h"
#include "testhost.h"
#include "refsources.h"
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

std::string Marker(const mcrref::Entry& e) { return "@@ " + e.name + "\n"; }

std::string Prints(const mcrref::Entry& e) {
  std::string text;
  for (const std::string& l : e.prints) text += l + "\n";
  return text;
}

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

// The examples that need the same options run together, on one sample, each
// after a line that names it: one mcrhost for many, where starting one costs
// more than the example. An example that fails there (an error, or what an
// example before it left behind) runs alone on a fresh sample, and that
// verdict stands; the examples after it run together again.
TEST(WordExamples, RunOnTheSampleAndPrintWhatTheySay) {
  std::map<std::string, std::vector<const mcrref::Entry*>> groups;
  std::size_t ready = 0, examples = 0;
  for (const mcr::WordInfo& w : mcr::kWords) {
    ready += w.ready;
    for (const mcrref::Entry& e : ReferenceSources().entries)
      if (w.ready && e.name == w.name) groups[e.run].push_back(&e);
  }
  auto alone = [](const mcrref::Entry& e) {
    HostRun r = RunExamples({&e});
    EXPECT_EQ(r.status, 0u) << e.name << ": " << r.err;
    EXPECT_EQ(r.err, "") << e.name;
    EXPECT_TRUE(e.prints.empty() || r.out == Marker(e) + Prints(e)) << e.name << ":\n" << r.out;
  };
  for (auto& [run, pending] : groups) {
    examples += pending.size();
    while (!pending.empty()) {
      HostRun r = RunExamples(pending);
      // An error names its line and stops the macro there: what ran before it
      // ran cleanly. Anything else on stderr: each runs alone.
      if (!r.err.empty() && !(r.status == 1 && r.err.rfind("example.mac:", 0) == 0 &&
                              r.err.find('\n') + 1 == r.err.size())) {
        for (const mcrref::Entry* e : pending) alone(*e);
        break;
      }
      std::size_t done = 0;
      for (; done < pending.size(); ++done) {
        std::size_t from = r.out.find(Marker(*pending[done])) + Marker(*pending[done]).size();
        std::size_t to = done + 1 < pending.size() ? r.out.find(Marker(*pending[done + 1]))
                         : r.status || !r.err.empty() ? std::string::npos : r.out.size();
        if (from < Marker(*pending[done]).size() || to == std::string::npos ||
            (!pending[done]->prints.empty() && r.out.substr(from, to - from) != Prints(*pending[done])))
          break;
      }
      if (done < pending.size()) alone(*pending[done]);
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(std::min(done + 1, pending.size())));
    }
  }
  EXPECT_EQ(examples, ready) << "a word without an example";
}

// --- docs/language.md ----------------------------------------------------------

// Each example of docs/language.md, run as its text block says, writes what
// the rest of the block shows.
TEST(LanguageDoc, ExamplesDoWhatTheTextSays) {
  int examples = 0;
  for (const LanguageExample& e : LanguageExamples(Source("docs/language.md"))) {
    TempDir dir;
    for (const auto& [name, text] : e.files) Write(dir.file(name), text);
    HostRunOptions options;
    options.cwd = dir.path();
    HostRun r = RunMcrhost(e.args, options);
    EXPECT_EQ(r.out + r.err + (r.status ? "[status " + std::to_string(r.status) + "]\n" : ""), e.shows)
        << "the example that ends at docs/language.md line " << e.line;
    ++examples;
  }
  EXPECT_GE(examples, 20);
}

}  // namespace
}  // namespace mcrtest
