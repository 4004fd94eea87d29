// The checker reports only what the language or a word's facts make
// certain: a statement that fails whenever it is reached (error), a name no
// statement ever sets, a statement no run reaches (warning). Whatever
// depends on values known only while running is left to the run.
#include "check.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "ast.h"

namespace mcrlang {

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// Edits (insert, delete, replace, swap two neighbours) from a to b.
std::size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i)
    for (std::size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

bool MatchesPattern(const std::string& pattern, const std::string& name) {
  std::size_t hash = pattern.find('#');
  if (name.compare(0, hash, pattern, 0, hash) != 0) return false;
  std::size_t i = hash;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
  return i > hash && name.compare(i, std::string::npos, pattern, hash + 1, std::string::npos) == 0;
}

// A built-in function as its usage line ("line$(file$, number)") gives it:
// what it gives by its name, what each argument takes by the argument's
// name (a table is named bare).
struct BuiltinShape {
  std::string name;  // lower case
  char gives = 'N';
  std::string takes;  // N, S or T (a table's name) per argument
};

const BuiltinShape* FindBuiltin(std::string_view name) {
  static const std::vector<BuiltinShape> shapes = [] {
    std::vector<BuiltinShape> out;
    for (const Builtin& b : Builtins()) {
      BuiltinShape s{b.name, std::string(b.name).back() == '$' ? 'S' : 'N', ""};
      std::string_view usage(b.usage);
      usage = usage.substr(usage.find('(') + 1);
      while (!usage.empty() && usage.front() != ')') {
        std::size_t end = usage.find_first_of(",)");
        std::string_view arg = usage.substr(0, end);
        s.takes += arg.back() == '$' ? 'S' : arg == "table" ? 'T' : 'N';
        usage = usage.substr(end == std::string_view::npos ? usage.size() : end);
        if (!usage.empty() && usage.front() == ',') usage = usage.substr(usage.find_first_not_of(", "));
      }
      out.push_back(s);
    }
    return out;
  }();
  for (const BuiltinShape& s : shapes)
    if (Upper(s.name) == Upper(name)) return &s;
  return nullptr;
}

class Checker {
 public:
  Checker(const std::vector<CheckWord>& words, NameSet assigned) : assigned_(std::move(assigned)) {
    for (const CheckWord& w : words) {
      byKey_[Upper(w.name)] = &w;
      for (const std::string& v : w.reads) documented_.add(v);
      for (const std::string& v : w.writes) documented_.add(v);
    }
  }

  // What the statements set, wherever they stand: an order of runs is not
  // known before the run.
  void collect(const Block& block) {
    for (const Stmt& s : block) {
      if (s.kind == Stmt::Kind::Assign || s.kind == Stmt::Kind::Dim) assigned_.add(s.name);
      if (s.kind == Stmt::Kind::Call)
        if (const CheckWord* w = word(s.name)) collectCall(*w, s.args);
      for (const ExprPtr& e : s.args) collect(e.get());
      collect(s.index.get());
      collect(s.value.get());
      for (const Block& b : s.blocks) collect(b);
    }
  }

  void check(const Block& block) {
    const Stmt* exit = nullptr;
    for (const Stmt& s : block) {
      if (exit)
        return warn(s.line, s.column, "this statement is never reached: the exit on line " +
                                          std::to_string(exit->line) + " ends the macro");
      statement(s);
      if (s.kind == Stmt::Kind::Exit) exit = &s;
    }
  }

  NameSet& assigned() { return assigned_; }
  std::vector<Finding>& findings() { return out_; }

 private:
  const CheckWord* word(const std::string& name) const {
    auto it = byKey_.find(Upper(name));
    return it == byKey_.end() ? nullptr : it->second;
  }

  void collect(const Expr* e) {
    if (!e) return;
    if (e->kind == Expr::Kind::Call)
      if (const CheckWord* w = word(e->text)) collectCall(*w, e->args);
    for (const ExprPtr& a : e->args) collect(a.get());
  }
  void collectCall(const CheckWord& w, const std::vector<ExprPtr>& args) {
    for (const std::string& v : w.writes) assigned_.add(v);
    for (std::size_t i = 0; i < args.size() && i < w.params.size(); ++i) {
      const Expr* a = args[i].get();
      const CheckParam& p = w.params[i];
      if (!a) continue;
      if (p.kind == 'V' && !p.option && a->kind == Expr::Kind::Name) assigned_.add(a->text);
      if (p.namesVariable) {
        if (a->kind != Expr::Kind::String) {
          unknownTargets_ = true;  // a name made while running: any variable may be it
        } else {
          assigned_.add(a->text);
          assigned_.add(a->text + "#");
        }
      }
    }
  }

  void error(int line, int column, const std::string& text) { out_.push_back({line, column, true, text}); }
  void warn(int line, int column, const std::string& text) { out_.push_back({line, column, false, text}); }

  void statement(const Stmt& s) {
    switch (s.kind) {
      case Stmt::Kind::Assign: {
        expression(*s.value);
        char k = Kind(*s.value);
        bool text = s.name.back() == '$';
        if (k && (k == 'S') != text)
          error(s.value->line, s.value->column,
                text ? s.name + " holds strings; the value is a number"
                     : s.name + " holds numbers; the value is a string (string variables end with $)");
        break;
      }
      case Stmt::Kind::AssignIndex:
        read(s.name, s.line, s.column);
        expression(*s.index);
        expression(*s.value);
        if (Kind(*s.value) == 'S') error(s.value->line, s.value->column, "a table holds numbers, not a string");
        break;
      case Stmt::Kind::Call: command(s); break;
      case Stmt::Kind::Print:
        for (const ExprPtr& e : s.args) expression(*e);
        break;
      case Stmt::Kind::If:
      case Stmt::Kind::While:
        for (const ExprPtr& e : s.args) needNumber(*e, s.kind == Stmt::Kind::If ? "if" : "while");
        for (const Block& b : s.blocks) check(b);
        break;
      case Stmt::Kind::Exit: break;
      case Stmt::Kind::Dim:
        if (s.name.back() == '$') error(s.line, s.column, "a table holds numbers: its name " + s.name + " must not end with $");
        needNumber(*s.index, "the size of a table");
        if (s.index->kind == Expr::Kind::Number && !(s.index->number >= 0 && s.index->number <= 65535 &&
                                                     s.index->number == static_cast<long>(s.index->number)))
          error(s.index->line, s.index->column,
                "the size of a table is a whole number from 0 to 65535, not " + FormatNumber(s.index->number));
        break;
      case Stmt::Kind::Wait: needNumber(*s.value, "wait"); break;
    }
  }

  void needNumber(const Expr& e, const std::string& what) {
    expression(e);
    if (Kind(e) == 'S') error(e.line, e.column, what + " needs a number, not a string");
  }

  // The kind an expression certainly has, 0 when only the run knows: a
  // variable may hold what a word put there, whatever its name says.
  static char Kind(const Expr& e) {
    switch (e.kind) {
      case Expr::Kind::Number: return 'N';
      case Expr::Kind::String: return 'S';
      case Expr::Kind::Name: return 0;
      case Expr::Kind::Index:
      case Expr::Kind::Unary: return 'N';
      case Expr::Kind::Binary:
        if (e.op == Op::Concat) return 'S';
        if (e.op != Op::Add) return 'N';
        return Kind(*e.args[0]) == Kind(*e.args[1]) ? Kind(*e.args[0]) : 0;
      case Expr::Kind::Call: {
        const BuiltinShape* b = FindBuiltin(e.text);
        return b ? b->gives : 0;
      }
    }
    return 0;
  }

  void expression(const Expr& e) {
    switch (e.kind) {
      case Expr::Kind::Number:
      case Expr::Kind::String: return;
      case Expr::Kind::Name:
        if (const CheckWord* w = word(e.text))
          if (w->function && !assigned_.has(e.text)) return call(*w, {}, e.line, e.column);
        return read(e.text, e.line, e.column);
      case Expr::Kind::Index:
        read(e.text, e.line, e.column);
        return needNumber(*e.args[0], "an index");
      case Expr::Kind::Unary: return needNumber(*e.args[0], e.op == Op::Not ? "not" : "-");
      case Expr::Kind::Binary: return binary(e);
      case Expr::Kind::Call: return function(e);
    }
  }

  void binary(const Expr& e) {
    const Expr& a = *e.args[0];
    const Expr& b = *e.args[1];
    if (e.op == Op::And || e.op == Op::Or) {
      needNumber(a, e.op == Op::And ? "and" : "or");
      // A number written on the left decides without the right side.
      bool decided = a.kind == Expr::Kind::Number && (e.op == Op::And ? a.number == 0 : a.number != 0);
      if (!decided) needNumber(b, e.op == Op::And ? "and" : "or");
      return;
    }
    expression(a);
    expression(b);
    char ka = Kind(a), kb = Kind(b);
    switch (e.op) {
      case Op::Concat: return;
      case Op::Add:
        if (ka && kb && ka != kb) error(e.line, e.column, "+ cannot join a string and a number (& can)");
        return;
      case Op::Sub:
      case Op::Mul:
      case Op::Div:
        if (ka == 'S' || kb == 'S') error(e.line, e.column, "arithmetic needs numbers, not a string");
        if (e.op == Op::Div && b.kind == Expr::Kind::Number && b.number == 0) error(b.line, b.column, "division by zero");
        return;
      default:
        if (ka && kb && ka != kb) error(e.line, e.column, "cannot compare a string with a number");
    }
  }

  void function(const Expr& e) {
    if (const BuiltinShape* b = FindBuiltin(e.text)) return builtin(e, *b);
    const CheckWord* w = word(e.text);
    if (!w) {
      std::vector<std::string> names;
      for (const auto& [key, cw] : byKey_)
        if (cw->function) names.push_back(cw->name);
      for (const Builtin& b : Builtins()) names.push_back(b.name);
      // Its arguments' kinds are unknown: a bare name may be a variable to set.
      return error(e.line, e.column, "unknown function " + e.text + Suggestion(e.text, names));
    }
    if (!w->function) error(e.line, e.column, w->name + " is a command: it gives no value; write it as a statement");
    call(*w, e.args, e.line, e.column);
  }

  void builtin(const Expr& e, const BuiltinShape& b) {
    const std::size_t n = b.takes.size();
    if (e.args.size() != n || std::count(e.args.begin(), e.args.end(), nullptr)) {
      error(e.line, e.column, b.name + " takes exactly " + (n == 1 ? std::string("one argument") : n == 2 ? std::string("two arguments") : std::to_string(n) + " arguments"));
      return;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const Expr& a = *e.args[i];
      if (b.takes[i] == 'T') {
        if (a.kind != Expr::Kind::Name) error(a.line, a.column, b.name + " takes the name of a table variable");
        else read(a.text, a.line, a.column);
        continue;
      }
      expression(a);
      if (Kind(a) && Kind(a) != b.takes[i])
        error(a.line, a.column, b.name + " takes " + (b.takes[i] == 'N' ? "a number" : "a string") + " as argument " +
                                    std::to_string(i + 1) + ", not " + (b.takes[i] == 'N' ? "a string" : "a number"));
    }
  }

  void command(const Stmt& s) {
    const CheckWord* w = word(s.name);
    if (w) return call(*w, s.args, s.line, s.column);
    if (FindBuiltin(s.name)) {
      error(s.line, s.column, s.name + " gives a value: use it in an expression");
    } else {
      std::vector<std::string> names = Keywords();
      for (const auto& [key, cw] : byKey_) names.push_back(cw->name);
      error(s.line, s.column, "unknown command " + s.name + Suggestion(s.name, names));
    }
  }

  void call(const CheckWord& w, const std::vector<ExprPtr>& args, int line, int column) {
    const std::size_t n = w.params.size();
    if (args.size() > n) {
      const Expr* extra = args[n].get();
      error(extra ? extra->line : line, extra ? extra->column : column,
            w.name + " takes " + std::to_string(n) + " argument" + (n == 1 ? "" : "s") + ", not " +
                std::to_string(args.size()));
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (!args[i]) continue;
      const Expr& a = *args[i];
      if (i >= n) {
        expression(a);
        continue;
      }
      const CheckParam& p = w.params[i];
      std::string where = "argument " + std::to_string(i + 1) + " (" + p.name + ") of " + w.name;
      if (p.kind == 'V') {
        if (a.kind != Expr::Kind::Name)
          error(a.line, a.column,
                where + (p.option ? " is an option word: write it bare" : " is the name of a variable: write the bare name"));
        continue;
      }
      expression(a);
      char k = Kind(a);
      if (k && k != p.kind)
        error(a.line, a.column, where + (p.kind == 'N' ? " must be a number, not a string" : " must be a string, not a number"));
    }
    for (std::size_t i = 0; i < n; ++i)
      if (w.params[i].required && (i >= args.size() || !args[i]))
        error(line, column, w.name + " needs argument " + std::to_string(i + 1) + " (" + w.params[i].name +
                                "): the word fails without it");
  }

  void read(const std::string& name, int line, int column) {
    if (unknownTargets_ || assigned_.has(name) || documented_.has(name)) return;
    if (!warned_.insert(Upper(name)).second) return;
    std::string near = assigned_.nearest(name);
    warn(line, column,
         name + " is read but never set: no statement of the macro or of its start-up macro assigns it" +
             (near.empty() ? "" : "; did you mean " + near + "?"));
  }

  static std::string Suggestion(const std::string& name, const std::vector<std::string>& candidates) {
    std::string near = Nearest(name, candidates);
    return near.empty() ? " (mcrhost --words lists the words)" : "; did you mean " + near + "?";
  }

  std::map<std::string, const CheckWord*> byKey_;
  NameSet documented_;
  NameSet assigned_;
  bool unknownTargets_ = false;
  std::set<std::string> warned_;
  std::vector<Finding> out_;
};

}  // namespace

void NameSet::add(std::string_view name) {
  std::string key = Upper(name);
  if (key.find('#') == std::string::npos) exact_.emplace(key, name);
  else patterns_.insert(key);
}

bool NameSet::has(std::string_view name) const {
  std::string key = Upper(name);
  if (exact_.count(key)) return true;
  for (const std::string& p : patterns_)
    if (MatchesPattern(p, key)) return true;
  return false;
}

std::string NameSet::nearest(std::string_view name) const {
  std::vector<std::string> names;
  for (const auto& [key, written] : exact_) names.push_back(written);
  return Nearest(name, names);
}

std::string Nearest(std::string_view name, const std::vector<std::string>& candidates) {
  const std::string key = Upper(name);
  // A slip: one edit in a short name, one in four in a longer one.
  const std::size_t limit = key.size() < 3 ? 0 : std::max<std::size_t>(1, key.size() / 4);
  std::string best;
  std::size_t bestDistance = limit + 1;
  for (const std::string& c : candidates) {
    std::size_t d = Distance(key, Upper(c));
    if (d > 0 && d < bestDistance) {
      best = c;
      bestDistance = d;
    }
  }
  return best;
}

NameSet Assigned(std::string_view source, const std::vector<CheckWord>& words, NameSet names) {
  ParseResult p = Parse(source, kIdentityCodec);
  Checker c(words, std::move(names));
  if (p.program) c.collect(p.program->statements);
  return c.assigned();
}

std::vector<Finding> Check(std::string_view source, const std::vector<CheckWord>& words, const NameSet& preset) {
  ParseResult p = Parse(source, kIdentityCodec);
  if (p.error) return {{p.error->line, p.error->column, true, p.error->message}};
  Checker c(words, preset);
  c.collect(p.program->statements);
  c.check(p.program->statements);
  std::vector<Finding>& out = c.findings();
  std::stable_sort(out.begin(), out.end(), [](const Finding& a, const Finding& b) {
    return a.line != b.line ? a.line < b.line : a.column < b.column;
  });
  return out;
}

}  // namespace mcrlang
