// The reference's facts that mcrhost --check and mcrhost's hints act on,
// held against the words themselves. A parameter its entry calls required
// must make the word fail when it alone is left out of a call that succeeds
// (else --check would reject a macro that runs), and every variable a word
// asks the host for under a name of its own must be among the host
// variables its entry says it reads (else the hint and --check miss it).
// A required option that is none of the word's option words must make it
// fail too, since --check calls that an error.
// (The bench points the WorkstationKey at its own sample, so the suite takes
// its turn with the others that do.)
#include <algorithm>

#include "refsources.h"
#include "wordcalls.h"

namespace mcrtest {
namespace {

const std::vector<mcrlang::CheckWord>& Facts() {
  static const std::vector<mcrlang::CheckWord> facts = mcrref::CheckWords(ReferenceSources().refs);
  return facts;
}

std::string Key(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

TEST(WordFacts, RequiredParametersAndHostVariablesHold) {
  Bench bench;
  std::vector<std::string> asked;  // variables the call asked for
  bench.host().onTrace = [&](const char* op, const std::string& detail, std::uint16_t) {
    std::string o(op);
    if ((o == "GetStrVar" || o == "GetNumVar" || o == "GetTableVar") && detail.size() > 2)
      asked.push_back(Key(detail.substr(1, detail.size() - 2)));
  };
  int required = 0, options = 0;
  for (const mcrlang::CheckWord& f : Facts()) {
    const mcr::WordInfo* w = ReadyWord(f.name);
    if (!w || !PlanFor(f.name).valid) continue;
    SCOPED_TRACE(f.name);
    std::vector<Arg> valid = bench.Baseline(*w);
    asked.clear();
    bench.Call(*w, valid);
    std::vector<std::string> listed;
    for (const std::string& v : f.reads) listed.push_back(Key(v));
    for (const std::string& name : asked) {
      bool argument = std::any_of(valid.begin(), valid.end(), [&](const Arg& a) {
        return a && a->isString && !a->text.empty() && name.rfind(Key(a->text), 0) == 0;  // "t", or "t1" of a "t" that names
      });
      EXPECT_TRUE(argument || std::count(listed.begin(), listed.end(), name))
          << f.name << " reads " << name << ", which its entry's reads: does not list";
    }
    for (std::size_t i = 0; i < f.params.size(); ++i) {
      if (!f.params[i].required) continue;
      ++required;
      std::vector<Arg> without = valid;
      without[i] = std::nullopt;
      Outcome o = bench.Call(*w, without, true, "without " + f.params[i].name);
      EXPECT_TRUE(o.status != 0 || o.error()) << f.name << " succeeds without its required " << f.params[i].name;
      if (f.params[i].options.empty()) continue;
      ++options;
      std::vector<Arg> unknown = valid;
      unknown[i] = Value::Str("NO_SUCH_OPTION");
      o = bench.Call(*w, unknown, true, "with an unknown " + f.params[i].name);
      EXPECT_TRUE(o.status != 0 || o.error()) << f.name << " takes NO_SUCH_OPTION for its required " << f.params[i].name;
    }
  }
  EXPECT_GE(required, 50);
  EXPECT_GE(options, 5);  // DATATABLE's command and the sequence header's fields
}

}  // namespace
}  // namespace mcrtest
