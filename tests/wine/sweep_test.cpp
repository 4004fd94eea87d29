// Every word of the vocabulary called as a careless or hostile macro would
// call it: each parameter in turn omitted, empty, 64 KiB long, a number that
// is no number or lies outside every range, the name of a missing variable
// or of a table, while the other arguments stay those of a call that works.
// Whatever comes in, the process survives, the word answers with status 0
// or 1 (or a bare result of its own), every text it raises is a catalogue
// text with its places filled, no string handed to the host is longer than
// the host takes, and nothing outside the test's folder changes. The probes
// then show the words' limits, which are checked at exactly the limit and one
// past it, and which message comes first when two arguments are bad at once.
// Texts one word writes and another reads back keep the widths the layouts
// give them.
// (The bench points the WorkstationKey at its own sample, so the suite takes
// its turn with the others that do.)
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "bridge/rounding.h"
#include "filestate.h"
#include "util/sjistext.h"
#include "wordcalls.h"

namespace mcrtest {
namespace {

using mcr::kWords;
using mcr::WordInfo;

// The longest string the host takes from the library as a result or as a
// variable's value: the platform formatter's 1 KiB less the terminator.
constexpr std::size_t kHostStringMax = 1023;
const char kNotAvailable[] = "This word is not available in this build of MCRPAK.";

// --- catalogue texts ---------------------------------------------------------

// The catalogue id of a raised text (-1 for a text a word builds around its
// own), 0 when it is none of them (or longer than any text may be); values
// gets what fills its places. The texts: the messages of the catalogue; an
// error-number text, ": " and a name (the file-error reporters); and the
// few texts of particular words.
int IdOf(const std::string& text, std::vector<std::string>* values = nullptr, const std::string& word = "") {
  using Formats = std::vector<std::pair<int, std::regex>>;
  static const Formats catalogue = [] {
    Formats f;
    for (int id : CatalogueIds()) {
      f.push_back({id, TextPattern(A(CatalogueText(id)))});
      if (id >= 1405) f.push_back({id, TextPattern(A(CatalogueText(id)) + ": %s")});
    }
    f.push_back({5020, TextPattern(": %s")});
    return f;
  }();
  static const Formats none;
  static const std::map<std::string, Formats> own = [] {
    std::map<std::string, Formats> m;
    for (const char* t : {"", " ", "SRC:%s : Retry %d", "DST:%s : Retry %d"}) m["COPY"].push_back({-1, TextPattern(t)});
    for (int id : {1239, 1241}) m["EX_DELETE"].push_back({-1, TextPattern("%s" + A(CatalogueText(id)))});
    return m;
  }();
  if (text.size() > kHostStringMax) return 0;
  std::smatch m;
  for (const Formats* list : {&catalogue, own.count(word) ? &own.at(word) : &none})
    for (const auto& [id, pattern] : *list)
      if (std::regex_match(text, m, pattern)) {
        if (values) values->assign(m.begin() + 1, m.end());
        return id;
      }
  return 0;
}

std::string Shown(std::string text) {
  if (text.size() > 120) text = text.substr(0, 100) + "...(" + std::to_string(text.size()) + " bytes)";
  return U(text);
}

// --- probes ------------------------------------------------------------------

struct Probe {
  std::string name;
  char cls;  // o omitted, e empty, l long, n number, w destroyed window, m missing variable or table
  Arg arg;
};

std::string Repeat(const std::string& unit, std::size_t bytes) {
  std::string s;
  while (s.size() < bytes) s += unit;
  return s.substr(0, bytes);
}

const std::vector<Probe>& ProbesFor(char kind) {
  static const std::vector<Probe> texts = {
      {"omitted", 'o', Omit()},
      {"empty", 'e', Value::Str("")},
      {"64 KiB of letters", 'l', Value::Str(std::string(65536, 'A'))},
      // An odd run: the last lead byte has no trail byte.
      {"64 KiB of lead bytes", 'l', Value::Str(std::string(65535, '\x81'))},
      {"64 KiB of separators", 'l', Value::Str(Repeat("\\/,;:= \t|[]*?\"<>", 65536))},
  };
  static const std::vector<Probe> names = [] {
    std::vector<Probe> p = texts;
    p.push_back({"a missing variable", 'm', Value::Str("SweepMissing")});
    p.push_back({"a table", 'm', Value::Str("SweepTable")});
    p.push_back({"a 300-byte name", 'l', Value::Str(std::string(300, 'V'))});
    return p;
  }();
  // The handle of a window that no longer exists: refused like any other
  // number, and the one bad handle a word that sends messages may be given.
  static const double deadWindow = [] {
    HWND w = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(w);
    return static_cast<double>(reinterpret_cast<std::uintptr_t>(w));
  }();
  // NaN is followed by the number it must count as.
  static const std::vector<Probe> numbers = {
      {"omitted", 'o', Omit()},          {"a destroyed window", 'w', N(deadWindow)},
      {"NaN", 'n', N(std::nan(""))},     {"-2^31", 'n', N(-2147483648.0)},
      {"+inf", 'n', N(HUGE_VAL)},        {"-inf", 'n', N(-HUGE_VAL)},
      {"1e308", 'n', N(1e308)},          {"-1e308", 'n', N(-1e308)},
      {"-0.0", 'n', N(-0.0)},            {"2^31", 'n', N(2147483648.0)},
      {"-2^31-1", 'n', N(-2147483649.0)}, {"2^32", 'n', N(4294967296.0)},
  };
  return kind == 'N' ? numbers : kind == 'S' ? texts : names;
}

// --- the sweep ---------------------------------------------------------------

struct Single {
  std::size_t param;  // from 0
  std::size_t probe;
  Outcome outcome;
};

// The checks a word makes, in its own order: "position:id[/classes][=inserts]".
struct Check {
  std::size_t param;
  int id;
  std::string classes;
  std::optional<std::string> text;  // the whole message, when the plan gives its inserts
  bool covers(std::size_t p, int i, char cls) const {
    return param == p && id == i && (classes.empty() || classes.find(cls) != std::string::npos);
  }
};

std::vector<Check> OrderOf(const WordInfo& w) {
  std::vector<Check> order;
  std::istringstream items(PlanFor(w.name).order);
  for (std::string item; items >> item;) {
    unsigned param = 0;
    int id = 0;
    char classes[16] = {};
    const std::size_t equals = item.find('=');
    std::sscanf(item.substr(0, equals).c_str(), "%u:%d/%15s", &param, &id, classes);
    std::optional<std::string> text;
    if (equals != std::string::npos) {
      // "#n" is the n-th parameter's label, anything else stands as written.
      std::vector<std::string> inserts;
      std::istringstream list(item.substr(equals + 1));
      for (std::string v; std::getline(list, v, ',');) inserts.push_back(v[0] == '#' ? A(Label(std::stoi(v.substr(1)))) : v);
      text = MsgWith(id, inserts);
    }
    order.push_back({param - 1, id, classes, text});
  }
  return order;
}

// Messages about an argument itself (missing, too long, out of range, not a
// name, unknown), as opposed to what the word met doing its work: two of
// them never combine into a third message.
bool ArgumentCheck(int id) {
  static const std::set<int> ids = {1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1017, 1023,
                                    1025, 1026, 1027, 1028, 1029, 1031, 1032, 1033};
  return ids.count(id) != 0;
}

class Sweep : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char temp[MAX_PATH], user[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    DWORD size = sizeof user;
    GetUserNameA(user, &size);
    // The system drive, but not the temporary folder where the other suites
    // work at the same time, nor the user folders Wine links to the home
    // folder of the machine.
    outsideSkip_ = {std::string(temp + 2, temp + std::strlen(temp) - 1)};
    for (const char* link : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos"})
      outsideSkip_.push_back(std::string("\\users\\") + user + "\\" + link);
    outside_ = FolderState::Take("C:", outsideSkip_);
    programFolder_ = LibraryPath().substr(0, LibraryPath().find_last_of('\\'));
    program_ = FolderState::Take(programFolder_);
    bench_ = new Bench;
  }
  static void TearDownTestSuite() {
    delete bench_;
    bench_ = nullptr;
  }

  static bool Listed(const char* list, std::size_t param) { return std::strchr(list, static_cast<char>('1' + param)); }
  static bool Guarded(const WordInfo& w, std::size_t param) { return Listed(PlanFor(w.name).guarded, param); }

  // The probe as this word may receive it: guarded texts stay inside the
  // bench, guarded window handles are the host's window, a destroyed one or
  // nothing.
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
    const unsigned flags = PlanFor(w.name).flags;
    Outcome o = bench_->Call(w, args, true, what);
    ++calls_;

    if (!w.ready) {
      EXPECT_EQ(o.status, 1);
      EXPECT_TRUE(o.error() && *o.error() == kNotAvailable) << (o.error() ? Shown(*o.error()) : "no text");
    } else {
      const std::vector<std::uint16_t>& bare = PlanFor(w.name).bare;
      EXPECT_TRUE(o.status <= 1 || std::count(bare.begin(), bare.end(), o.status)) << "status " << o.status;
    }
    for (const mcrhost::Raised& r : o.raised) {
      ++texts_;
      EXPECT_LE(r.text.size(), kHostStringMax) << Shown(r.text);
      EXPECT_EQ(mcr::WholeCharacters(r.text).size(), r.text.size()) << "a lone lead byte: " << Shown(r.text);
      EXPECT_FALSE(std::regex_search(r.text, std::regex("%[sd]"))) << "unfilled: " << Shown(r.text);
      if (w.ready && !(flags & kForeignTexts)) {
        EXPECT_NE(IdOf(r.text, nullptr, w.name), 0) << "kind " << r.kind << " text not in the catalogue: " << Shown(r.text);
      }
    }
    EXPECT_LE(o.result ? o.result->text.size() : 0, kHostStringMax) << "the result";
    for (const auto& [name, v] : bench_->host().vars().all())
      EXPECT_LE(v.text.size(), kHostStringMax) << "variable " << Shown(name);
    for (const DialogWatchdog::Seen& d : bench_->Dialogs()) {
      EXPECT_TRUE(flags & kAsks) << "opened a dialog: " << U(d.caption) << " / " << U(d.text);
      EXPECT_FALSE(d.stuck) << "a dialog did not close when answered: " << U(d.caption);
    }
    return o;
  }

  // The call of a ready word with the arguments of its valid call, one of
  // them replaced.
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
    DWORD start = GetTickCount();
    std::size_t probes = 0;
    for (const WordInfo& w : kWords) {
      Call(w, bench_->Baseline(w), "its valid call");
      std::vector<Single>& mine = singles[w.name];
      for (std::size_t p = 0; p < std::strlen(w.params); ++p)
        for (std::size_t k = 0; k < ProbesFor(w.params[p]).size(); ++k)
          if (std::optional<Arg> arg = ProbeArg(w, p, ProbesFor(w.params[p])[k])) {
            ++probes;
            mine.push_back({p, k, CallWith(w, p, *arg, ProbesFor(w.params[p])[k].name)});
          }
    }
    std::printf("sweep: %zu words, %zu probes, %zu calls, %zu texts checked, %lu ms\n", std::size(kWords), probes,
                calls_, texts_, GetTickCount() - start);
    return singles;
  }

  static inline Bench* bench_ = nullptr;
  static inline std::size_t calls_ = 0, texts_ = 0;
  static inline FolderState outside_, program_;
  static inline std::vector<std::string> outsideSkip_;
  static inline std::string programFolder_;
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
    for (std::size_t i = 0; w.ready && i + 1 < singles.size(); ++i) {
      const Single &nan = singles[i], &low = singles[i + 1];
      if (w.params[nan.param] != 'N' || ProbesFor('N')[nan.probe].name != "NaN" || Listed(PlanFor(w.name).reals, nan.param))
        continue;
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
    if (!w.ready) continue;
    SCOPED_TRACE(w.name);
    const std::vector<Check> order = OrderOf(w);
    // Per parameter, the first probe that fails with each message.
    struct Bad { std::size_t param, probe; int id; std::string text; std::size_t rank; };
    std::vector<Bad> bad;
    std::vector<bool> met(order.size());
    for (const Single& s : Singles().at(w.name)) {
      const std::string* e = s.outcome.error();
      int id = e ? IdOf(*e) : 0;
      if (!id) continue;
      char cls = ProbesFor(w.params[s.param])[s.probe].cls;
      auto check = std::find_if(order.begin(), order.end(), [&](const Check& c) { return c.covers(s.param, id, cls); });
      const std::size_t rank = check - order.begin();
      if (rank < order.size()) met[rank] = true;
      if (rank < order.size() && check->text) {
        EXPECT_EQ(Shown(*e), Shown(*check->text)) << "parameter " << s.param + 1 << " "
                                                   << ProbesFor(w.params[s.param])[s.probe].name;
      }
      if (std::none_of(bad.begin(), bad.end(), [&](const Bad& b) { return b.param == s.param && b.id == id; }))
        bad.push_back({s.param, s.probe, id, *e, rank});
    }
    for (std::size_t i = 0; i < order.size(); ++i)
      EXPECT_TRUE(met[i] || !ArgumentCheck(order[i].id))
          << "no probe met the check " << order[i].param + 1 << ":" << order[i].id;
    if (PlanFor(w.name).flags & kSlow) continue;
    for (const Bad& x : bad)
      for (const Bad& y : bad) {
        if (x.param >= y.param || x.text == y.text) continue;
        const Probe& px = ProbesFor(w.params[x.param])[x.probe];
        const Probe& py = ProbesFor(w.params[y.param])[y.probe];
        std::vector<Arg> args = bench_->Baseline(w);
        args[x.param] = *ProbeArg(w, x.param, px);
        args[y.param] = *ProbeArg(w, y.param, py);
        std::string what = Describe(w, x.param, px.name) + " and " + Describe(w, y.param, py.name);
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
    if (!w.ready) continue;
    const std::vector<Arg> base = bench_->Baseline(w);
    std::set<std::string> tried;
    for (const Single& s : Singles().at(w.name)) {
      const std::string* e = s.outcome.error();
      std::vector<std::string> values;
      int id = e ? IdOf(*e, &values) : 0;
      const char kind = w.params[s.param];
      Arg at, past;  // the argument exactly at the limit and one past it
      if (id == 1007 && kind != 'N') {
        std::size_t limit = std::stoul(values.back());
        // Parameters whose lengths count together ("positions:limit") leave
        // this one the rest.
        std::string shared = PlanFor(w.name).sharedLimit;
        std::string together = shared.substr(0, shared.find(':'));
        if (Listed(together.c_str(), s.param) && std::to_string(limit) == shared.substr(shared.find(':') + 1))
          for (char c : together)
            if (static_cast<std::size_t>(c - '1') != s.param && base[c - '1'])
              limit -= std::min(limit, base[c - '1']->text.size());
        std::string prefix = Guarded(w, s.param) ? bench_->GuardPrefix(w) : "";
        if (prefix.size() > limit) continue;
        at = Value::Str(prefix + std::string(limit - prefix.size(), 'a'));
        past = Value::Str(at->text + "a");
      } else if ((id == 1010 || id == 1011) && kind == 'N') {
        const bool below = mcr::RoundToInt(ProbesFor('N')[s.probe].arg->number) < std::stoi(values[1]);
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
        return a->isString ? std::to_string(a->text.size()) + " bytes long" : std::to_string(a->number);
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
  struct Trip {
    std::string set, setArgs;  // {v}: the value
    std::string get, getArgs;
    std::string out;     // the variable the getter sets
    std::string viaVar;  // the setter reads the value from this variable instead
    std::size_t width;
    bool whole = false;
  };
  std::vector<Trip> trips;
  for (auto [field, width] :
       {std::pair{"Comment", 45}, {"Operator", 29}, {"DataPath", 260}, {"PreSeq", 132}, {"PostSeq", 132}})
    trips.push_back({"SetSeqHdStr", std::string("{W}\\demo.seq|") + field + "|{v}", "GetSeqHdStr",
                     std::string("{W}\\demo.seq|") + field + "|r$", "r$", "", static_cast<std::size_t>(width)});
  for (auto [var, width] : {std::pair{"_OPERATOR$", 28}, {"_DATANAME$", 60}, {"_MISCINFO$", 60}})
    trips.push_back({"WriteHdr2Data", std::string("|") + var, "GetHdrFromData", std::string("|") + var, var, var,
                     static_cast<std::size_t>(width)});
  trips.push_back({"WriteProfile", "Trip|Key|{v}|{W}\\trip.ini", "GetProfile", "Trip|Key||r$|{W}\\trip.ini", "r$", "", 126});
  // The platform stores a text's terminator even when the count leaves it
  // out, so the reader's 260-byte buffer takes 259 bytes.
  trips.push_back(
      {"REGSET", "HKEY_CURRENT_USER|{K}|Trip|REG_SZ|v$", "REGGET", "HKEY_CURRENT_USER|{K}|Trip|r$", "r$", "v$", 259, true});
  for (const Trip& t : trips) {
    const WordInfo* set = ReadyWord(t.set);
    const WordInfo* get = ReadyWord(t.get);
    if (!set || !get) continue;
    SCOPED_TRACE(t.set + " " + t.setArgs);
    // Writes the value (through a variable: set after the bench's reset) and reads it back.
    auto trip = [&](const std::string& value) -> std::string {
      std::vector<Arg> setArgs = bench_->Args(*set, t.setArgs);
      for (Arg& a : setArgs)
        if (a && a->text == "{v}") a = Value::Str(value);
      if (!t.viaVar.empty()) bench_->host().vars().setString(t.viaVar, value);
      Outcome w = bench_->host().call(set->name, setArgs);
      if (w.status != 0 || w.error()) return "<refused>";
      Call(*get, bench_->Args(*get, t.getArgs), "reading back");
      std::string read = StrVar(bench_->host(), t.out);
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
  for (const std::string& change : FolderState::Take("C:", outsideSkip_).ChangesSince(outside_))
    ADD_FAILURE() << change;
  for (const std::string& change : FolderState::Take(programFolder_).ChangesSince(program_)) ADD_FAILURE() << change;
  std::printf("%zu entries of the system drive and %zu of the program folder unchanged\n", outside_.size(),
              program_.size());
}

}  // namespace
}  // namespace mcrtest
