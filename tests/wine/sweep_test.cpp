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
// (The bench points the WorkstationKey at its own sample, so the suite takes
// its turn with the others that do.)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

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
// A call taking longer than this has hung (the copy word alone may wait
// 15 seconds for a file another program holds).
constexpr DWORD kCallLimitMs = 30000;
const char kNotAvailable[] = "This word is not available in this build of MCRPAK.";

// --- catalogue texts ---------------------------------------------------------

struct Format {
  int id;
  std::string text;  // ANSI, with its places
};

// The texts a word may raise: the messages of the catalogue; an error-number
// text, ": " and a name (the file-error reporters); and the few texts
// particular words build around their own.
const std::vector<Format>& Formats() {
  static const std::vector<Format> formats = [] {
    std::vector<Format> f;
    for (int id : CatalogueIds()) {
      std::string t = A(CatalogueText(id));
      f.push_back({id, t});
      if (id >= 1405) f.push_back({id, t + ": %s"});
    }
    f.push_back({5020, ": %s"});
    return f;
  }();
  return formats;
}

const std::map<std::string, std::vector<std::string>>& WordTexts() {
  static const std::map<std::string, std::vector<std::string>> texts = {
      {"COPY", {"", " ", "SRC:%s : Retry %d", "DST:%s : Retry %d"}},
      {"EX_DELETE", {"%s" + A(CatalogueText(1239)), "%s" + A(CatalogueText(1241))}},
  };
  return texts;
}

// Whether text is format with its places filled; the filled values in order.
bool Match(std::string_view t, std::string_view f, std::vector<std::string>* values) {
  std::size_t pct = f.find('%');
  std::string_view literal = f.substr(0, pct);
  if (t.substr(0, literal.size()) != literal) return false;
  if (pct == std::string_view::npos) return t.size() == literal.size();
  t.remove_prefix(literal.size());
  f.remove_prefix(pct + 1);
  std::size_t precision = std::string_view::npos;
  if (!f.empty() && f[0] == '.') {
    std::size_t n = 1;
    precision = 0;
    while (n < f.size() && std::isdigit(static_cast<unsigned char>(f[n]))) precision = precision * 10 + (f[n++] - '0');
    f.remove_prefix(n);
  }
  if (f.empty()) return false;
  char type = f[0];
  f.remove_prefix(1);
  auto attempt = [&](std::size_t n) {
    std::size_t mark = values ? values->size() : 0;
    if (values) values->emplace_back(t.substr(0, n));
    if (Match(t.substr(n), f, values)) return true;
    if (values) values->resize(mark);
    return false;
  };
  if (type == 'd') {
    const std::size_t sign = !t.empty() && t[0] == '-';
    std::size_t n = sign;
    while (n < t.size() && std::isdigit(static_cast<unsigned char>(t[n]))) ++n;
    return n > sign && attempt(n);
  }
  if (type != 's') return false;
  // The inserted text ends where the next literal part of the format begins.
  std::string_view next = f.substr(0, f.find('%'));
  std::size_t limit = std::min(t.size(), precision);
  if (next.empty()) return f.empty() ? t.size() <= limit && attempt(t.size()) : false;
  for (std::size_t at = t.find(next); at != std::string_view::npos && at <= limit; at = t.find(next, at + 1))
    if (attempt(at)) return true;
  return false;
}

// The catalogue id of a raised text, 0 when it is none of them.
int IdOf(const std::string& text, std::vector<std::string>* values = nullptr) {
  for (const Format& f : Formats()) {
    if (values) values->clear();
    if (Match(text, f.text, values)) return f.id;
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
  static const std::vector<Probe> numbers = {
      {"omitted", 'o', Omit()},
      {"a destroyed window", 'w', N(deadWindow)},
      {"NaN", 'n', N(std::nan(""))},
      {"+inf", 'n', N(HUGE_VAL)},
      {"-inf", 'n', N(-HUGE_VAL)},
      {"1e308", 'n', N(1e308)},
      {"-1e308", 'n', N(-1e308)},
      {"-0.0", 'n', N(-0.0)},
      {"2^31", 'n', N(2147483648.0)},
      {"-2^31-1", 'n', N(-2147483649.0)},
      {"2^32", 'n', N(4294967296.0)},
  };
  return kind == 'N' ? numbers : kind == 'S' ? texts : names;
}

// --- crash and hang reports ------------------------------------------------------

// What is being called, for the two ways a call can end the process.
class CallWatch {
 public:
  static CallWatch& Get() {
    static CallWatch watch;
    return watch;
  }
  void begin(const std::string& what) {
    std::lock_guard<std::mutex> lock(m_);
    std::snprintf(what_, sizeof what_, "%s", what.c_str());
    started_ = GetTickCount();
  }
  void end() { started_ = 0; }

 private:
  CallWatch() {
    SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* e) -> LONG {
      std::fprintf(stderr, "\nCRASH (exception %08lx) in %s\n", e->ExceptionRecord->ExceptionCode, Get().what_);
      std::fflush(stderr);
      return EXCEPTION_CONTINUE_SEARCH;
    });
    std::thread([this] {
      for (;;) {
        Sleep(250);
        DWORD started = started_;
        if (!started || GetTickCount() - started < kCallLimitMs) continue;
        std::lock_guard<std::mutex> lock(m_);
        std::fprintf(stderr, "\nHANG: no answer after %lu ms from %s\n", kCallLimitMs, what_);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
      }
    }).detach();
  }
  std::mutex m_;
  char what_[512] = {};
  std::atomic<DWORD> started_{0};
};

// --- the sweep ---------------------------------------------------------------

struct Single {
  std::size_t param;  // from 0
  std::size_t probe;
  Outcome outcome;
};

struct Figures {
  std::size_t calls = 0, probes = 0, words = 0, texts = 0;
  DWORD ms = 0;
};

class Sweep : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    // The system drive, but not the temporary folder where the other suites
    // work at the same time, nor the user folders Wine links to the home
    // folder of the machine.
    outsideSkip_ = {std::string(temp + 2, temp + std::strlen(temp) - 1)};
    char user[MAX_PATH];
    DWORD size = sizeof user;
    GetUserNameA(user, &size);
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

  static bool Guarded(const WordInfo& w, std::size_t param) {
    const WordPlan* plan = PlanFor(w.name);
    return plan && std::strchr(plan->guarded, static_cast<char>('1' + param));
  }

  // The probe as this word may receive it: guarded texts stay inside the
  // bench, guarded window handles are the host's window, a destroyed one or
  // nothing.
  static std::optional<Arg> ProbeArg(const WordInfo& w, std::size_t param, const Probe& p) {
    if (!Guarded(w, param)) return p.arg;
    if (w.params[param] == 'N') return p.cls == 'o' || p.cls == 'w' ? std::optional<Arg>(p.arg) : std::nullopt;
    if (!p.arg) return p.arg;
    return Arg(Value::Str(bench_->GuardPrefix(w) + p.arg->text));
  }

  // One call with every check that holds for any call.
  static Outcome Call(const WordInfo& w, const std::vector<Arg>& args, const std::string& what) {
    SCOPED_TRACE(std::string(w.name) + " with " + what);
    const WordPlan* plan = PlanFor(w.name);
    const unsigned flags = plan ? plan->flags : 0;
    CallWatch::Get().begin(std::string(w.name) + " with " + what);
    Outcome o = bench_->Call(w, args);
    CallWatch::Get().end();
    ++figures_.calls;

    if (!w.ready) {
      EXPECT_EQ(o.status, 1);
      EXPECT_TRUE(o.error() && *o.error() == kNotAvailable) << (o.error() ? Shown(*o.error()) : "no text");
    } else {
      bool bare = plan && std::count(plan->bare.begin(), plan->bare.end(), o.status);
      EXPECT_TRUE(o.status <= 1 || bare) << "status " << o.status;
    }
    for (const mcrhost::Raised& r : o.raised) {
      ++figures_.texts;
      EXPECT_LE(r.text.size(), kHostStringMax) << Shown(r.text);
      EXPECT_EQ(mcr::WholeCharacters(r.text).size(), r.text.size()) << "a lone lead byte: " << Shown(r.text);
      EXPECT_EQ(r.text.find("%s"), std::string::npos) << "unfilled: " << Shown(r.text);
      EXPECT_EQ(r.text.find("%d"), std::string::npos) << "unfilled: " << Shown(r.text);
      if (!w.ready || (flags & kForeignTexts)) continue;
      bool own = false;
      auto extra = WordTexts().find(w.name);
      if (extra != WordTexts().end())
        for (const std::string& f : extra->second) own |= Match(r.text, f, nullptr);
      EXPECT_TRUE(own || IdOf(r.text)) << "kind " << r.kind << " text not in the catalogue: " << Shown(r.text);
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

  static std::string Describe(const WordInfo& w, std::size_t param, const std::string& probe) {
    return "parameter " + std::to_string(param + 1) + " (" + w.params[param] + ") " + probe;
  }

  // Each parameter of each word with each probe, the others as in the
  // word's valid call; kept for the tests that learn from them.
  static const std::map<std::string, std::vector<Single>>& Singles() {
    static std::map<std::string, std::vector<Single>> singles;
    static bool done = false;
    if (done) return singles;
    done = true;
    DWORD start = GetTickCount();
    for (const WordInfo& w : kWords) {
      ++figures_.words;
      std::vector<Arg> base = bench_->Baseline(w);
      Call(w, base, "its valid call");
      std::vector<Single>& mine = singles[w.name];
      for (std::size_t p = 0; p < base.size(); ++p) {
        const std::vector<Probe>& probes = ProbesFor(w.params[p]);
        for (std::size_t k = 0; k < probes.size(); ++k) {
          std::optional<Arg> arg = ProbeArg(w, p, probes[k]);
          if (!arg) continue;
          std::vector<Arg> args = base;
          args[p] = *arg;
          ++figures_.probes;
          mine.push_back({p, k, Call(w, args, Describe(w, p, probes[k].name))});
        }
      }
    }
    figures_.ms = GetTickCount() - start;
    return singles;
  }

  static Bench* bench_;
  static Figures figures_;
  static FolderState outside_, program_;
  static std::vector<std::string> outsideSkip_;
  static std::string programFolder_;
};

Bench* Sweep::bench_ = nullptr;
Figures Sweep::figures_;
FolderState Sweep::outside_, Sweep::program_;
std::vector<std::string> Sweep::outsideSkip_;
std::string Sweep::programFolder_;

TEST_F(Sweep, EveryWordSurvivesEveryProbe) {
  Singles();
  std::printf("sweep: %zu words, %zu probes, %zu calls, %zu texts checked, %lu ms\n", figures_.words,
              figures_.probes, figures_.calls, figures_.texts, figures_.ms);
  RecordProperty("calls", static_cast<int>(figures_.calls));
  RecordProperty("probes", static_cast<int>(figures_.probes));
}

// One rule for a number that is no number: every word converts NaN as the
// x87 unit stores it, -2147483648, so it answers NaN exactly as it answers
// that number.
TEST_F(Sweep, NotANumberCountsAsTheLowestWholeNumber) {
  std::size_t compared = 0;
  for (const WordInfo& w : kWords) {
    if (!w.ready) continue;
    const WordPlan* plan = PlanFor(w.name);
    std::vector<Arg> base = bench_->Baseline(w);
    for (std::size_t p = 0; p < base.size(); ++p) {
      if (w.params[p] != 'N' || Guarded(w, p) || (plan && std::strchr(plan->reals, static_cast<char>('1' + p))))
        continue;
      SCOPED_TRACE(std::string(w.name) + " parameter " + std::to_string(p + 1));
      std::vector<Arg> nan = base, low = base;
      nan[p] = N(std::nan(""));
      low[p] = N(-2147483648.0);
      Outcome a = Call(w, nan, Describe(w, p, "NaN")), b = Call(w, low, Describe(w, p, "-2^31"));
      ++compared;
      EXPECT_EQ(a.status, b.status);
      ASSERT_EQ(a.raised.size(), b.raised.size());
      for (std::size_t i = 0; i < a.raised.size(); ++i) EXPECT_EQ(U(a.raised[i].text), U(b.raised[i].text));
      ASSERT_EQ(a.result.has_value(), b.result.has_value());
      if (a.result) {
        EXPECT_EQ(a.result->text, b.result->text);
        EXPECT_EQ(a.result->number, b.result->number);
      }
    }
  }
  std::printf("NaN compared with -2147483648 at %zu parameters\n", compared);
}

// The checks a word makes, in its own order ("position:id[/classes]").
struct Check {
  std::size_t param;
  int id;
  std::string classes;
};
std::vector<Check> OrderOf(const WordInfo& w) {
  std::vector<Check> order;
  const WordPlan* plan = PlanFor(w.name);
  if (!plan) return order;
  std::string text = plan->order;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find(' ', at);
    std::string item = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    std::size_t colon = item.find(':'), slash = item.find('/');
    order.push_back({static_cast<std::size_t>(std::stoi(item.substr(0, colon)) - 1),
                     std::stoi(item.substr(colon + 1, slash - colon - 1)),
                     slash == std::string::npos ? "" : item.substr(slash + 1)});
  }
  return order;
}
std::size_t Position(const std::vector<Check>& order, std::size_t param, int id, char cls) {
  for (std::size_t i = 0; i < order.size(); ++i)
    if (order[i].param == param && order[i].id == id &&
        (order[i].classes.empty() || order[i].classes.find(cls) != std::string::npos))
      return i;
  return order.size();
}

// Messages about an argument itself (missing, too long, out of range, not a
// name, unknown), as opposed to what the word met doing its work: two of
// them never combine into a third message.
bool ArgumentCheck(int id) {
  static const std::set<int> ids = {1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1017, 1023,
                                    1025, 1026, 1027, 1028, 1029, 1031, 1032, 1033};
  return ids.count(id) != 0;
}

// Two bad arguments at once: the message is the one of the check the word
// makes first (the order the plans give), and never a third one.
TEST_F(Sweep, TwoBadArgumentsRaiseTheFirstCheck) {
  std::size_t pairs = 0, ordered = 0;
  for (const WordInfo& w : kWords) {
    const WordPlan* plan = PlanFor(w.name);
    if (!w.ready || (plan && (plan->flags & kSlow))) continue;
    std::vector<Check> order = OrderOf(w);
    // Per parameter, the first probe that fails with each message.
    struct Bad { std::size_t param, probe; int id; std::string text; };
    std::vector<Bad> bad;
    for (const Single& s : Singles().at(w.name)) {
      const std::string* e = s.outcome.error();
      int id = e ? IdOf(*e) : 0;
      if (!id) continue;
      bool known = std::any_of(bad.begin(), bad.end(), [&](const Bad& b) { return b.param == s.param && b.id == id; });
      if (!known) bad.push_back({s.param, s.probe, id, *e});
    }
    std::vector<Arg> base = bench_->Baseline(w);
    for (const Bad& x : bad)
      for (const Bad& y : bad) {
        if (x.param >= y.param || x.text == y.text) continue;
        const Probe& px = ProbesFor(w.params[x.param])[x.probe];
        const Probe& py = ProbesFor(w.params[y.param])[y.probe];
        std::vector<Arg> args = base;
        args[x.param] = *ProbeArg(w, x.param, px);
        args[y.param] = *ProbeArg(w, y.param, py);
        std::string what = Describe(w, x.param, px.name) + " and " + Describe(w, y.param, py.name);
        Outcome o = Call(w, args, what);
        ++pairs;
        SCOPED_TRACE(std::string(w.name) + " with " + what);
        ASSERT_NE(o.error(), nullptr);
        std::size_t ix = Position(order, x.param, x.id, px.cls), iy = Position(order, y.param, y.id, py.cls);
        if (ix < order.size() && iy < order.size()) {
          ++ordered;
          EXPECT_EQ(Shown(*o.error()), Shown(ix < iy ? x.text : y.text));
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
    std::vector<Arg> base = bench_->Baseline(w);
    std::set<std::string> tried;
    for (const Single& s : Singles().at(w.name)) {
      const std::string* e = s.outcome.error();
      std::vector<std::string> values;
      int id = e ? IdOf(*e, &values) : 0;
      const char kind = w.params[s.param];
      std::vector<std::pair<Arg, bool>> cases;  // argument, whether it must raise the text
      if (id == 1007 && kind != 'N') {
        std::size_t limit = std::stoul(values.back());
        // Parameters whose lengths count together leave this one the rest.
        const WordPlan* plan = PlanFor(w.name);
        std::string shared = plan ? plan->sharedLimit : "";
        std::string together = shared.substr(0, shared.find(':'));
        const char mine = static_cast<char>('1' + s.param);
        if (together.find(mine) != std::string::npos && std::to_string(limit) == shared.substr(shared.find(':') + 1))
          for (char c : together)
            if (c != mine && base[c - '1']) limit -= std::min(limit, base[c - '1']->text.size());
        std::string prefix = Guarded(w, s.param) ? bench_->GuardPrefix(w) : "";
        if (prefix.size() > limit) continue;
        cases = {{Value::Str(prefix + std::string(limit - prefix.size(), 'a')), false},
                 {Value::Str(prefix + std::string(limit + 1 - prefix.size(), 'a')), true}};
      } else if ((id == 1010 || id == 1011) && kind == 'N') {
        double v = ProbesFor('N')[s.probe].arg->number;
        std::int32_t low = std::stoi(values[1]), high = std::stoi(values.back());
        bool below = mcr::RoundToInt(v) < low;
        std::int32_t edge = below ? low : high;
        cases = {{N(edge), false}, {N(below ? edge - 1.0 : edge + 1.0), true}};
      } else {
        continue;
      }
      if (!tried.insert(std::to_string(s.param) + *e + (cases[1].first->isString ? "" : std::to_string(cases[1].first->number))).second)
        continue;
      ++limits;
      for (const auto& [arg, raises] : cases) {
        std::vector<Arg> args = base;
        args[s.param] = arg;
        std::string what = Describe(w, s.param, arg->isString ? std::to_string(arg->text.size()) + " bytes long"
                                                              : std::to_string(arg->number));
        Outcome o = Call(w, args, what);
        SCOPED_TRACE(std::string(w.name) + " with " + what);
        if (raises) {
          EXPECT_EQ(o.error() ? Shown(*o.error()) : "nothing", Shown(*e));
        } else {
          EXPECT_TRUE(!o.error() || *o.error() != *e) << Shown(*e);
        }
      }
    }
  }
  std::printf("%zu limits checked at their value and one past it\n", limits);
}

// A text field written by one word and read back by another keeps exactly
// what fits: the widest value whole, one byte more cut to the width (or, for
// a value that must fit whole, not stored), and never half of a double-byte
// character.
TEST_F(Sweep, WrittenTextsReadBackCutAtTheirWidth) {
  struct Trip {
    const char* set;
    const char* setArgs;  // {v}: the value
    const char* get;
    const char* getArgs;
    const char* out;       // the variable the getter sets
    const char* viaVar;    // the setter reads the value from this variable instead
  };
  const Trip trips[] = {
      {"SetSeqHdStr", "{W}\\demo.seq|Comment|{v}", "GetSeqHdStr", "{W}\\demo.seq|Comment|r$", "r$", ""},
      {"SetSeqHdStr", "{W}\\demo.seq|Operator|{v}", "GetSeqHdStr", "{W}\\demo.seq|Operator|r$", "r$", ""},
      {"SetSeqHdStr", "{W}\\demo.seq|DataPath|{v}", "GetSeqHdStr", "{W}\\demo.seq|DataPath|r$", "r$", ""},
      {"SetSeqHdStr", "{W}\\demo.seq|PreSeq|{v}", "GetSeqHdStr", "{W}\\demo.seq|PreSeq|r$", "r$", ""},
      {"SetSeqHdStr", "{W}\\demo.seq|PostSeq|{v}", "GetSeqHdStr", "{W}\\demo.seq|PostSeq|r$", "r$", ""},
      {"WriteHdr2Data", "|_OPERATOR$", "GetHdrFromData", "|_OPERATOR$", "_OPERATOR$", "_OPERATOR$"},
      {"WriteHdr2Data", "|_DATANAME$", "GetHdrFromData", "|_DATANAME$", "_DATANAME$", "_DATANAME$"},
      {"WriteHdr2Data", "|_MISCINFO$", "GetHdrFromData", "|_MISCINFO$", "_MISCINFO$", "_MISCINFO$"},
      {"WriteProfile", "Trip|Key|{v}|{W}\\trip.ini", "GetProfile", "Trip|Key||r$|{W}\\trip.ini", "r$", ""},
      {"REGSET", "HKEY_CURRENT_USER|{K}|Trip|REG_SZ|v$", "REGGET", "HKEY_CURRENT_USER|{K}|Trip|r$", "r$", "v$"},
  };
  auto info = [](const char* name) -> const WordInfo* {
    for (const WordInfo& w : kWords)
      if (name == std::string(w.name)) return w.ready ? &w : nullptr;
    return nullptr;
  };
  auto args = [&](const WordInfo& w, std::string fields, const std::string& value) {
    std::size_t v = fields.find("{v}");
    if (v != std::string::npos) fields.replace(v, 3, "\x01");
    std::vector<Arg> out;
    std::size_t at = 0;
    for (std::size_t i = 0; i < std::strlen(w.params); ++i) {
      std::size_t bar = fields.find('|', at);
      std::string f = fields.substr(at, bar == std::string::npos ? std::string::npos : bar - at);
      at = bar == std::string::npos ? fields.size() : bar + 1;
      out.push_back(f == "\x01" ? Arg(Value::Str(value)) : bench_->Field(w.params[i], f));
    }
    return out;
  };
  std::size_t checked = 0;
  for (const Trip& t : trips) {
    const WordInfo* set = info(t.set);
    const WordInfo* get = info(t.get);
    if (!set || !get) continue;
    SCOPED_TRACE(std::string(t.set) + " " + t.setArgs);
    // Writes value and reads it back; nullopt when the setter refused it.
    auto trip = [&](const std::string& value) -> std::optional<std::string> {
      std::vector<Arg> setArgs = args(*set, t.setArgs, value);
      Outcome w;
      if (*t.viaVar) {
        // The value travels in a variable: set it between the reset and the call.
        bench_->host().vars().setString(t.viaVar, value);
        w = bench_->host().call(set->name, setArgs);
      } else {
        w = Call(*set, setArgs, std::to_string(value.size()) + " bytes");
      }
      if (w.status != 0 || w.error()) return std::nullopt;
      Call(*get, args(*get, t.getArgs, value), "reading back");
      std::string read = StrVar(bench_->host(), t.out);
      return read == "<missing>" ? "" : read;
    };
    // The longest value the setter takes (at most 300 bytes).
    std::size_t longest = 300;
    if (!trip(std::string(longest, 'a'))) {
      std::size_t lo = 0, hi = longest;
      while (lo + 1 < hi) {
        std::size_t mid = (lo + hi) / 2;
        (trip(std::string(mid, 'a')) ? lo : hi) = mid;
      }
      longest = lo;
    }
    ASSERT_GT(longest, 2u);
    std::string back = *trip(std::string(longest, 'a'));
    std::size_t width = back.size();
    if (width == 0) {  // all or nothing: the widest value that comes back whole
      std::size_t lo = 0, hi = longest;
      while (lo + 1 < hi) {
        std::size_t mid = (lo + hi) / 2;
        (trip(std::string(mid, 'a'))->size() == mid ? lo : hi) = mid;
      }
      width = lo;
      EXPECT_EQ(*trip(std::string(width + 1, 'a')), "") << "one past the width " << width;
    } else if (width < longest) {
      EXPECT_EQ(*trip(std::string(width + 1, 'a')), std::string(width, 'a'));
      EXPECT_EQ(*trip(std::string(width - 1, 'a') + "\x82\xa0"), std::string(width - 1, 'a')) << "half a character";
      EXPECT_EQ(*trip(std::string(width - 2, 'a') + "\x82\xa0"), std::string(width - 2, 'a') + "\x82\xa0");
    }
    EXPECT_EQ(*trip(std::string(width, 'a')), std::string(width, 'a')) << "exactly the width " << width;
    std::printf("%s -> %s: width %zu\n", t.set, t.get, width);
    ++checked;
  }
  std::printf("%zu fields written and read back\n", checked);
}

// Exactly at a limit nothing is cut and nothing is said: a width equal to
// the text's length, a count of the whole text, the first and the last token
// there may be.
TEST_F(Sweep, ExactLimitsKeepTheWholeText) {
  const std::string path = bench_->Expand("{M}\\run.icp"), t128(128, 't');
  std::string tokens = "A";  // 50 tokens, the last one Z, in 99 bytes
  for (int i = 2; i <= 50; ++i) tokens += i < 50 ? ",x" : ",Z";
  struct Case {
    const char* word;
    std::vector<Arg> args;
    std::string want;
    const char* var;  // where the word puts its answer; none: the result
  } cases[] = {
      {"CompactPath$", {S(path), N(static_cast<double>(path.size()))}, path, nullptr},
      {"Left$", {S(t128), N(128)}, t128, nullptr},
      {"Right$", {S(t128), N(128)}, t128, nullptr},
      {"GetToken", {S(tokens), S(","), N(1), S("tok$")}, "A", "tok$"},
      {"GetToken", {S(tokens), S(","), N(50), S("tok$")}, "Z", "tok$"},
  };
  for (const Case& c : cases) {
    const WordInfo* w = nullptr;
    for (const WordInfo& x : kWords)
      if (c.word == std::string(x.name) && x.ready) w = &x;
    if (!w) continue;
    Outcome o = Call(*w, c.args, "exactly at its limit");
    SCOPED_TRACE(c.word);
    EXPECT_EQ(o.error(), nullptr);
    EXPECT_EQ(c.var ? StrVar(bench_->host(), c.var) : o.result ? o.result->text : "<none>", c.want);
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
