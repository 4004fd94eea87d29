// Every word called as a careless or hostile macro would: each parameter in
// turn omitted, empty, 64 KiB long, no number or out of every range, a missing
// variable or a table, the others as in a call that works. The process lives,
// what the host gets stays what it takes, nothing outside the test's folder
// changes; the probes then show the limits (held exactly) and which message
// comes first when two arguments are bad. Texts written by one word and read
// by another keep their layouts' widths. (The bench points the WorkstationKey
// at its own sample, so the suite takes its turn with the others that do.)
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <sstream>

#include "bridge/rounding.h"
#include "leaks.h"
#include "bridge/sjistext.h"
#include "wordcalls.h"

namespace mcrtest {
namespace {

using mcr::kWords;
using mcr::WordInfo;

// The longest string the host takes from the library as a result or as a
// variable's value: the platform formatter's 1 KiB less the terminator.
constexpr std::size_t kHostStringMax = 1023;

// The catalogue id of a raised text (-1: a word's text of its own; 0: none, or
// too long), values what fills its places. The texts: the catalogue's, an
// error-number text + ": " + a name (the file-error reporters), a few words' own.
int IdOf(const std::string& text, std::vector<std::string>* values = nullptr, const std::string& word = "") {
  struct Format { std::string word; int id; std::regex pattern; };  // word: "" for any
  static const std::vector<Format> formats = [] {
    std::vector<Format> f;
    for (int id : CatalogueIds()) {
      f.push_back({"", id, TextPattern(A(CatalogueText(id)))});
      if (id >= 1405) f.push_back({"", id, TextPattern(A(CatalogueText(id)) + ": %s")});
    }
    f.push_back({"", 5020, TextPattern(": %s")});
    for (const char* t : {"", " ", "SRC:%s : Retry %d", "DST:%s : Retry %d"}) f.push_back({"COPY", -1, TextPattern(t)});
    for (int id : {1239, 1241}) f.push_back({"EX_DELETE", -1, TextPattern("%s" + A(CatalogueText(id)))});
    return f;
  }();
  std::smatch m;
  for (const Format& f : formats)
    if ((f.word.empty() || f.word == word) && text.size() <= kHostStringMax && std::regex_match(text, m, f.pattern)) {
      if (values) values->assign(m.begin() + 1, m.end());
      return f.id;
    }
  return 0;
}

std::string Shown(const std::string& text) {
  return U(text.size() > 120 ? text.substr(0, 100) + "...(" + std::to_string(text.size()) + " bytes)" : text);
}

// cls: o omitted, e empty, l long, n number, w destroyed window, m missing variable or table.
struct Probe { std::string name; char cls; Arg arg; };

const std::vector<Probe>& ProbesFor(char kind) {
  static const std::string marks = std::regex_replace(std::string(4096, '.'), std::regex("."), "\\/,;:= \t|[]*?\"<>");
  // The odd run of lead bytes leaves the last without its trail byte.
  static const std::vector<Probe> texts = {
      {"omitted", 'o', Omit()}, {"empty", 'e', Value::Str("")},
      {"64 KiB of letters", 'l', Value::Str(std::string(65536, 'A'))},
      {"64 KiB of lead bytes", 'l', Value::Str(std::string(65535, '\x81'))},
      {"64 KiB of separators", 'l', Value::Str(marks)}};
  static const std::vector<Probe> names = [] {
    std::vector<Probe> p = texts;
    for (auto [name, var] : {std::pair{"a missing variable", "SweepMissing"}, {"a table", "SweepTable"}})
      p.push_back({name, 'm', Value::Str(var)});
    return p.push_back({"a 300-byte name", 'l', Value::Str(std::string(300, 'V'))}), p;
  }();
  // The handle of a window that no longer exists: refused like any other
  // number, and the one bad handle a word that sends messages may be given.
  static const double deadWindow = [] {
    HWND w = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    return DestroyWindow(w), static_cast<double>(reinterpret_cast<std::uintptr_t>(w));
  }();
  // NaN is followed by the number it must count as.
  static const std::vector<Probe> numbers = {
      {"omitted", 'o', Omit()},   {"a destroyed window", 'w', N(deadWindow)}, {"NaN", 'n', N(std::nan(""))},
      {"-2^31", 'n', N(-2147483648.0)}, {"+inf", 'n', N(HUGE_VAL)}, {"-inf", 'n', N(-HUGE_VAL)},
      {"1e308", 'n', N(1e308)},   {"-1e308", 'n', N(-1e308)}, {"-0.0", 'n', N(-0.0)},
      {"2^31", 'n', N(2147483648.0)}, {"-2^31-1", 'n', N(-2147483649.0)}, {"2^32", 'n', N(4294967296.0)}};
  return kind == 'N' ? numbers : kind == 'S' ? texts : names;
}

struct Single { std::size_t param; const Probe* probe; Outcome outcome; };  // param from 0

// A check a word makes ("position:id[/classes][=inserts]" in its plan's order),
// with the whole message when the plan gives its inserts.
struct Check { std::size_t param; int id; std::string classes; std::optional<std::string> text; };

std::vector<Check> OrderOf(const WordInfo& w) {
  std::vector<Check> order;
  std::istringstream items(PlanFor(w.name).order);
  for (std::string item; items >> item;) {
    unsigned param = 0, id = 0;
    char classes[16] = {};
    const std::size_t equals = item.find('=');
    std::sscanf(item.substr(0, equals).c_str(), "%u:%u/%15s", &param, &id, classes);
    order.push_back({param - 1, int(id), classes, std::nullopt});
    if (equals == std::string::npos) continue;
    // "#n" is the n-th parameter's label, anything else stands as written.
    std::vector<std::string> inserts;
    std::istringstream list(item.substr(equals + 1));
    for (std::string v; std::getline(list, v, ',');)
      inserts.push_back(v[0] == '#' ? A(Label(std::stoi(v.substr(1)))) : v);
    order.back().text = MsgWith(id, inserts);
  }
  return order;
}

// Messages about an argument itself (missing, too long, out of range, not a
// name, unknown), as opposed to what the word met doing its work: two of
// them never combine into a third message.
bool ArgumentCheck(int id) {
  return std::set<int>{1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1017, 1023, 1025, 1026, 1027, 1028, 1029,
                       1031, 1032, 1033}.count(id);
}

class Sweep : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The system drive, but not the temporary folder where the other suites
    // work at the same time, nor the user folders Wine links to the home
    // folder of the machine (the paths without their drive).
    const std::string temp = std::getenv("TEMP"), profile = std::getenv("USERPROFILE");
    std::vector<std::string> skip = {temp.substr(2, temp.find_last_not_of('\\') - 1)};
    for (const char* link : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos"})
      skip.push_back(profile.substr(2) + "\\" + link);
    watched_ = {{"C:", skip}, {LibraryPath().substr(0, LibraryPath().find_last_of('\\')), {}}};
    for (const auto& [root, skipped] : watched_) before_.push_back(FolderState::Take(root, skipped));
    bench_ = new Bench;
  }
  static void TearDownTestSuite() { delete bench_; }

  static bool Listed(const char* list, std::size_t param) { return std::strchr(list, static_cast<char>('1' + param)); }
  static bool Guarded(const WordInfo& w, std::size_t param) { return Listed(PlanFor(w.name).guarded, param); }

  // The probe as the word may receive it: guarded texts stay inside the bench,
  // guarded window handles are the host's window, a destroyed one or nothing.
  static std::optional<Arg> ProbeArg(const WordInfo& w, std::size_t param, const Probe& p) {
    if (!Guarded(w, param) || !p.arg) return p.arg;
    if (w.params[param] == 'N') return p.cls == 'w' ? std::optional<Arg>(p.arg) : std::nullopt;
    return Arg(Value::Str(bench_->GuardPrefix(w) + p.arg->text));
  }
  static std::string Describe(const WordInfo& w, std::size_t param, const std::string& probe) {
    return "parameter " + std::to_string(param + 1) + " (" + w.params[param] + ") " + probe;
  }

  // One call with every check that holds for any call.
  static Outcome Call(const WordInfo& w, const std::vector<Arg>& args, const std::string& what) {
    SCOPED_TRACE(std::string(w.name) + " with " + what);
    const WordPlan& plan = PlanFor(w.name);
    Outcome o = bench_->Call(w, args, true, what);
    ++calls_;
    EXPECT_TRUE(o.status <= 1 || std::count(plan.bare.begin(), plan.bare.end(), o.status)) << "status " << o.status;
    for (const mcrhost::Raised& r : o.raised) {
      EXPECT_LE(r.text.size(), kHostStringMax) << Shown(r.text);
      EXPECT_EQ(mcr::WholeCharacters(r.text).size(), r.text.size()) << "a lone lead byte: " << Shown(r.text);
      EXPECT_FALSE(std::regex_search(r.text, std::regex("%[sd]"))) << "unfilled: " << Shown(r.text);
      EXPECT_TRUE((plan.flags & kForeignTexts) || IdOf(r.text, nullptr, w.name))
          << "kind " << r.kind << " text not in the catalogue: " << Shown(r.text);
    }
    EXPECT_LE(o.result ? o.result->text.size() : 0, kHostStringMax) << "the result";
    for (const auto& [name, v] : bench_->host().vars().all())
      EXPECT_LE(v.text.size(), kHostStringMax) << "variable " << Shown(name);
    for (const DialogWatchdog::Seen& d : bench_->Dialogs()) {
      EXPECT_TRUE(plan.flags & kAsks) << "opened a dialog: " << U(d.caption) << " / " << U(d.text);
      EXPECT_FALSE(d.stuck) << "a dialog did not close when answered: " << U(d.caption);
    }
    return o;
  }

  // The valid call of a ready word with one argument replaced.
  static Outcome CallWith(const WordInfo& w, std::size_t param, const Arg& arg, const std::string& what) {
    std::vector<Arg> args = bench_->Baseline(w);
    args[param] = arg;
    return Call(w, args, Describe(w, param, what));
  }

  // Each parameter of each word with each probe, the others as in the
  // word's valid call; kept for the tests that learn from them.
  static const std::map<std::string, std::vector<Single>>& Singles() {
    static std::map<std::string, std::vector<Single>> singles;
    if (!singles.empty()) return singles;
    const DWORD start = GetTickCount();
    for (const WordInfo& w : kWords) {
      Call(w, bench_->Baseline(w), "its valid call");
      std::vector<Single>& mine = singles[w.name];
      for (std::size_t p = 0; p < std::strlen(w.params); ++p)
        for (const Probe& probe : ProbesFor(w.params[p]))
          if (std::optional<Arg> arg = ProbeArg(w, p, probe))
            mine.push_back({p, &probe, CallWith(w, p, *arg, probe.name)});
    }
    std::printf("sweep: %zu words, %zu probes, %lu ms\n", std::size(kWords), calls_ - std::size(kWords),
                GetTickCount() - start);
    return singles;
  }

  static inline Bench* bench_ = nullptr;
  static inline std::size_t calls_ = 0;
  // The system drive (but for the folders it skips) and the program folder, as they were.
  static inline std::vector<std::pair<std::string, std::vector<std::string>>> watched_;
  static inline std::vector<FolderState> before_;
};

TEST_F(Sweep, EveryWordSurvivesEveryProbe) { Singles(); }

// One rule for a number that is no number: every word converts NaN as the
// x87 unit stores it, -2147483648, so it answers NaN exactly as it answers
// that number.
TEST_F(Sweep, NotANumberCountsAsTheLowestWholeNumber) {
  auto answer = [](const Outcome& o) {
    std::string s = std::to_string(o.status);
    for (const mcrhost::Raised& r : o.raised) s += " | " + U(r.text);
    return o.result ? s + " = " + (o.result->isString ? U(o.result->text) : std::to_string(o.result->number)) : s;
  };
  std::size_t compared = 0;
  for (const WordInfo& w : kWords) {
    const std::vector<Single>& singles = Singles().at(w.name);
    for (std::size_t i = 0; i + 1 < singles.size(); ++i) {
      const Single &nan = singles[i], &low = singles[i + 1];
      if (nan.probe->name != "NaN" || Listed(PlanFor(w.name).reals, nan.param)) continue;
      ++compared;
      EXPECT_EQ(answer(nan.outcome), answer(low.outcome)) << w.name << " parameter " << nan.param + 1;
    }
  }
  std::printf("NaN compared with -2147483648 at %zu parameters\n", compared);
}

// Two bad arguments at once: the message is the one of the check the word
// makes first (the order the plans give), and never a third one. Every
// check of an argument itself that a plan lists is one some probe meets.
TEST_F(Sweep, TwoBadArgumentsRaiseTheFirstCheck) {
  std::size_t pairs = 0, ordered = 0;
  for (const WordInfo& w : kWords) {
    SCOPED_TRACE(w.name);
    const std::vector<Check> order = OrderOf(w);
    // Per parameter, the first probe that fails with each message.
    struct Bad { const Single* s; int id; std::string text; std::size_t rank; Arg arg; std::string what; };
    std::vector<Bad> bad;
    std::vector<bool> met(order.size());
    for (const Single& s : Singles().at(w.name)) {
      const std::string* e = s.outcome.error();
      const int id = e ? IdOf(*e) : 0;
      if (!id) continue;
      auto check = std::find_if(order.begin(), order.end(), [&](const Check& c) {
        return c.param == s.param && c.id == id && (c.classes.empty() || std::strchr(c.classes.c_str(), s.probe->cls));
      });
      const std::size_t rank = check - order.begin();
      if (rank < order.size()) met[rank] = true;
      EXPECT_EQ(Shown(*e), Shown(rank < order.size() && check->text ? *check->text : *e))
          << "parameter " << s.param + 1 << " " << s.probe->name;
      if (std::none_of(bad.begin(), bad.end(), [&](const Bad& b) { return b.s->param == s.param && b.id == id; }))
        bad.push_back({&s, id, *e, rank, *ProbeArg(w, s.param, *s.probe), Describe(w, s.param, s.probe->name)});
    }
    for (std::size_t i = 0; i < order.size(); ++i)
      EXPECT_TRUE(met[i] || !ArgumentCheck(order[i].id)) << "no probe met the check " << order[i].param + 1 << ":"
                                                         << order[i].id;
    if (PlanFor(w.name).flags & kSlow) continue;
    for (const Bad& x : bad)
      for (const Bad& y : bad) {
        if (x.s->param >= y.s->param || x.text == y.text) continue;
        std::vector<Arg> args = bench_->Baseline(w);
        args[x.s->param] = x.arg, args[y.s->param] = y.arg;
        const std::string what = x.what + " and " + y.what;
        Outcome o = Call(w, args, what);
        ++pairs;
        SCOPED_TRACE(what);
        ASSERT_NE(o.error(), nullptr);
        if (x.rank < order.size() && y.rank < order.size()) {
          ++ordered;
          EXPECT_EQ(Shown(*o.error()), Shown(x.rank < y.rank ? x.text : y.text));
        } else if (ArgumentCheck(x.id) && ArgumentCheck(y.id)) {
          EXPECT_TRUE(*o.error() == x.text || *o.error() == y.text) << Shown(*o.error());
        }
      }
  }
  std::printf("%zu pairs of bad arguments, %zu of them in a known order\n", pairs, ordered);
}

// The limits the words report (1007 with the longest text, 1010 and 1011
// with their bounds) hold exactly: the limit itself passes without that
// message, one past it raises it.
TEST_F(Sweep, LimitsHoldExactlyAtTheirValue) {
  std::size_t limits = 0;
  for (const WordInfo& w : kWords) {
    const std::vector<Arg> base = bench_->Baseline(w);
    std::set<std::string> tried;
    for (const Single& s : Singles().at(w.name)) {
      const std::string* e = s.outcome.error();
      std::vector<std::string> values;
      const int id = e ? IdOf(*e, &values) : 0;
      const char kind = w.params[s.param];
      Arg at, past;  // the argument exactly at the limit and one past it
      if (id == 1007 && kind != 'N') {
        std::size_t limit = std::stoul(values.back());
        // Parameters whose lengths count together ("positions:limit") leave
        // this one the rest.
        const std::string shared = PlanFor(w.name).sharedLimit, together = shared.substr(0, shared.find(':'));
        if (Listed(together.c_str(), s.param) && std::to_string(limit) == shared.substr(shared.find(':') + 1))
          for (char c : together)
            if (static_cast<std::size_t>(c - '1') != s.param && base[c - '1'])
              limit -= std::min(limit, base[c - '1']->text.size());
        const std::string prefix = Guarded(w, s.param) ? bench_->GuardPrefix(w) : "";
        if (prefix.size() > limit) continue;
        at = Value::Str(prefix + std::string(limit - prefix.size(), 'a'));
        past = Value::Str(at->text + "a");
      } else if ((id == 1010 || id == 1011) && kind == 'N') {
        const bool below = mcr::RoundToInt(s.probe->arg->number) < std::stoi(values[1]);
        const double edge = std::stoi(below ? values[1] : values.back());
        at = N(edge);
        past = N(below ? edge - 1 : edge + 1);
      } else {
        continue;
      }
      if (!tried.insert(std::to_string(s.param) + *e + (kind == 'N' ? std::to_string(past->number) : "")).second)
        continue;
      ++limits;
      auto what = [](const Arg& a) {
        return a->isString ? std::to_string(a->text.size()) + " bytes" : std::to_string(a->number);
      };
      Outcome inside = CallWith(w, s.param, at, what(at)), outside = CallWith(w, s.param, past, what(past));
      EXPECT_TRUE(!inside.error() || *inside.error() != *e) << w.name << " at " << what(at) << ": " << Shown(*e);
      EXPECT_EQ(outside.error() ? Shown(*outside.error()) : "nothing", Shown(*e)) << w.name << " at " << what(past);
    }
  }
  std::printf("%zu limits checked at their value and one past it\n", limits);
}

// A text field written by one word and read back by another keeps exactly
// its width, as the file layouts and buffers give it: the widest value
// whole, one byte more cut to the width (or, where a value must fit whole,
// not read back at all), and never half of a double-byte character.
TEST_F(Sweep, WrittenTextsReadBackCutAtTheirWidth) {
  // A setter that reads the value from a variable (via) and its getter set that variable; {v} stands for the value.
  struct Trip { const char *set, *get; std::size_t width; const char* via = ""; bool whole = false; } trips[] = {
      {"SetSeqHdStr {W}\\demo.seq|Comment|{v}", "GetSeqHdStr {W}\\demo.seq|Comment|r$", 45},
      {"SetSeqHdStr {W}\\demo.seq|Operator|{v}", "GetSeqHdStr {W}\\demo.seq|Operator|r$", 29},
      {"SetSeqHdStr {W}\\demo.seq|DataPath|{v}", "GetSeqHdStr {W}\\demo.seq|DataPath|r$", 260},
      {"SetSeqHdStr {W}\\demo.seq|PreSeq|{v}", "GetSeqHdStr {W}\\demo.seq|PreSeq|r$", 132},
      {"SetSeqHdStr {W}\\demo.seq|PostSeq|{v}", "GetSeqHdStr {W}\\demo.seq|PostSeq|r$", 132},
      {"WriteHdr2Data |_OPERATOR$", "GetHdrFromData |_OPERATOR$", 28, "_OPERATOR$"},
      {"WriteHdr2Data |_DATANAME$", "GetHdrFromData |_DATANAME$", 60, "_DATANAME$"},
      {"WriteHdr2Data |_MISCINFO$", "GetHdrFromData |_MISCINFO$", 60, "_MISCINFO$"},
      {"WriteProfile Trip|Key|{v}|{W}\\trip.ini", "GetProfile Trip|Key||r$|{W}\\trip.ini", 126},
      // The platform stores a text's terminator even when the count leaves
      // it out, so the reader's 260-byte buffer takes 259 bytes.
      {"REGSET HKEY_CURRENT_USER|{K}|Trip|REG_SZ|r$", "REGGET HKEY_CURRENT_USER|{K}|Trip|r$", 259, "r$", true}};
  for (const Trip& t : trips) {
    SCOPED_TRACE(t.set);
    auto call = [](std::string line, const std::string& value, bool checked) {
      if (std::size_t v = line.find("{v}"); v != std::string::npos) line.replace(v, 3, value);
      const WordInfo& w = *ReadyWord(line.substr(0, line.find(' ')));
      const std::vector<Arg> args = bench_->Args(w, line.substr(line.find(' ') + 1));
      return checked ? Call(w, args, "reading back") : bench_->host().call(w.name, args);
    };
    auto trip = [&](const std::string& value) -> std::string {
      if (*t.via) bench_->host().vars().setString(t.via, value);  // after the bench's reset
      Outcome set = call(t.set, value, false);
      if (set.status != 0 || set.error()) return "<refused>";
      call(t.get, value, true);
      const std::string read = StrVar(bench_->host(), *t.via ? t.via : "r$");
      return read == "<missing>" ? "" : read;
    };
    auto as = [](std::size_t n) { return std::string(n, 'a'); };
    EXPECT_EQ(trip(as(t.width)), as(t.width)) << "exactly the width " << t.width;
    EXPECT_EQ(trip(as(t.width + 1)), t.whole ? "" : as(t.width)) << "one past the width";
    if (t.whole) continue;
    EXPECT_EQ(trip(as(t.width - 1) + "\x82\xa0"), as(t.width - 1)) << "half a character";
    EXPECT_EQ(trip(as(t.width - 2) + "\x82\xa0"), as(t.width - 2) + "\x82\xa0");
  }
}

// Runs last: whatever the words were given, nothing outside the test's
// folder was created, changed or removed.
TEST_F(Sweep, NothingOutsideTheTestFolderChanged) {
  Singles();
  for (std::size_t i = 0; i < watched_.size(); ++i)
    for (const std::string& change : FolderState::Take(watched_[i].first, watched_[i].second).ChangesSince(before_[i]))
      ADD_FAILURE() << change;
  std::printf("%zu entries of the system drive and %zu of the program folder unchanged\n", before_[0].size(),
              before_[1].size());
}

}  // namespace
}  // namespace mcrtest
