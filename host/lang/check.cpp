// The checker reports as an error only what the language or a word's facts
// make certain: a statement that fails whenever it is reached. What is
// likely but could be wrong is a warning: a kind read from the name of a
// variable a word may have set otherwise, an option word a word takes for
// none, a name no statement ever sets, a statement no run reaches.
// Whatever depends on values known only while running is left to the run.
#include "check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
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

bool EndsWithDollar(const std::string& name) { return !name.empty() && name.back() == '$'; }
bool IsPrefix(const std::string& name) { return !name.empty() && name.back() == '*'; }

bool MatchesPattern(const std::string& pattern, const std::string& name) {
  if (IsPrefix(pattern)) return name.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
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


// "a", "a or b", "a, b or c"
std::string Alternatives(const std::vector<std::string>& words) {
  std::string out;
  for (std::size_t i = 0; i < words.size(); ++i)
    out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  return out;
}

// What an expression gives, as far as it is known before the run.
struct Kind {
  Kind(char k = 0, bool sure = true, std::string reason = {}) : of(k), certain(sure), why(std::move(reason)) {}
  char of;       // 'N', 'S', or 0 when only the run knows
  bool certain;  // false: a variable that a word may have set otherwise
  std::string why;  // where the kind comes from, when not from the expression's form
};

// ": a$ holds strings (...)" for the kinds that explain a finding.
std::string Why(const Kind& a, const Kind& b = {}) {
  std::string out;
  for (const Kind* k : {&a, &b})
    if (!k->why.empty()) out += (out.empty() ? ": " : "; ") + k->why;
  return out;
}

class Checker {
 public:
  Checker(const std::vector<CheckWord>& words, NameSet preset) : assigned_(preset), preset_(std::move(preset)) {
    for (const CheckWord& w : words) {
      byKey_[Upper(w.name)] = &w;
      for (const std::string& v : w.reads) documented_.add(v);
      for (const std::string& v : w.writes) documented_.add(v, NameSet::kByWord);
    }
  }

  // What the statements set, wherever they stand: an order of runs is not
  // known before the run.
  void collectAll(const Block& block) {
    literals(block);
    collect(block);
    for (const Expr* e : computed_) {
      std::vector<std::string> names;
      if (!Targets(*e, &names)) {
        computedLines_.push_back(e->line);
        continue;
      }
      for (const std::string& n : names) {
        assigned_.add(n, NameSet::kByWord);
        if (!IsPrefix(n)) assigned_.add(n + "#", NameSet::kByWord);
      }
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
  // A name that stands for a call of a function word without arguments.
  const CheckWord* functionWord(const std::string& name) const {
    const CheckWord* w = word(name);
    return w && w->function && !assigned_.has(name) ? w : nullptr;
  }

  // The strings each string variable is given, for names a word is told
  // to set in a variable (GetCalMasInf ..., name$).
  void literals(const Block& block) {
    for (const Stmt& s : block) {
      if (s.kind == Stmt::Kind::Assign && EndsWithDollar(s.name)) {
        if (s.value->kind == Expr::Kind::String) literals_[Upper(s.name)].push_back(s.value->text);
        else computedStrings_.insert(Upper(s.name));
      }
      for (const Block& b : s.blocks) literals(b);
    }
  }

  void collect(const Block& block) {
    for (const Stmt& s : block) {
      if (s.kind == Stmt::Kind::Assign) assigned_.add(s.name);
      if (s.kind == Stmt::Kind::Dim) {
        assigned_.add(s.name, NameSet::kDimmed);
        Dim& d = dims_[Upper(s.name)];
        if (!d.line) d.line = s.line;
        if (s.index->kind == Expr::Kind::Number) d.size = std::max(d.size, s.index->number);
        else d.known = false;
      }
      if (s.kind == Stmt::Kind::Call)
        if (const CheckWord* w = word(s.name)) collectCall(*w, s.args);
      for (const ExprPtr& e : s.args) collect(e.get());
      collect(s.index.get());
      collect(s.value.get());
      for (const Block& b : s.blocks) collect(b);
    }
  }
  void collect(const Expr* e) {
    if (!e) return;
    if (e->kind == Expr::Kind::Call)
      if (const CheckWord* w = word(e->text)) collectCall(*w, e->args);
    for (const ExprPtr& a : e->args) collect(a.get());
  }
  void collectCall(const CheckWord& w, const std::vector<ExprPtr>& args) {
    for (const std::string& v : w.writes) assigned_.add(v, NameSet::kByWord);
    for (std::size_t i = 0; i < args.size() && i < w.params.size(); ++i) {
      const Expr* a = args[i].get();
      const CheckParam& p = w.params[i];
      if (!a) continue;
      if (p.kind == 'V' && !p.option && a->kind == Expr::Kind::Name) assigned_.add(a->text, NameSet::kByWord);
      // A bare number variable there is a slip the check reports, no name.
      if (p.namesVariable && !(a->kind == Expr::Kind::Name && !EndsWithDollar(a->text))) computed_.push_back(a);
    }
  }

  // The names a string expression can give: "t", or "t*" for any name
  // that starts with t. False when the run alone can tell.
  bool Targets(const Expr& e, std::vector<std::string>* out) const {
    switch (e.kind) {
      case Expr::Kind::String: out->push_back(e.text); return true;
      case Expr::Kind::Name: {
        auto it = literals_.find(Upper(e.text));
        if (it == literals_.end() || computedStrings_.count(it->first) || (assigned_.how(e.text) & NameSet::kByWord))
          return false;
        out->insert(out->end(), it->second.begin(), it->second.end());
        return true;
      }
      case Expr::Kind::Binary: {
        if (e.op != Op::Concat && e.op != Op::Add) return false;
        std::vector<std::string> left;
        if (!Targets(*e.args[0], &left)) return false;
        const Expr& right = *e.args[1];
        for (std::string& l : left)
          out->push_back(IsPrefix(l) ? l : right.kind == Expr::Kind::String ? l + right.text : l + "*");
        return true;
      }
      default: return false;
    }
  }

  void error(int line, int column, const std::string& text) { out_.push_back({line, column, true, text}); }
  void warn(int line, int column, const std::string& text) { out_.push_back({line, column, false, text}); }
  // A finding that rests on a kind: an error when the kind is certain.
  void report(bool certain, const Expr& at, const std::string& text) {
    out_.push_back({at.line, at.column, certain, text});
  }

  void statement(const Stmt& s) {
    switch (s.kind) {
      case Stmt::Kind::Assign: {
        expression(*s.value);
        Kind k = kindOf(*s.value);
        bool text = EndsWithDollar(s.name);
        if (k.of && (k.of == 'S') != text)
          report(k.certain, *s.value,
                 (text ? s.name + " holds strings; the value is a number"
                       : s.name + " holds numbers; the value is a string (string variables end with $)") + Why(k));
        break;
      }
      case Stmt::Kind::AssignIndex: {
        indexed(s.name, *s.index, s.line, s.column);
        expression(*s.value);
        Kind k = kindOf(*s.value);
        if (k.of == 'S') report(k.certain, *s.value, "a table holds numbers, not a string" + Why(k));
        break;
      }
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
        if (EndsWithDollar(s.name)) error(s.line, s.column, "a table holds numbers: its name " + s.name + " must not end with $");
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
    Kind k = kindOf(e);
    if (k.of == 'S') report(k.certain, e, what + " needs a number, not a string" + Why(k));
  }

  // The kind of a variable is the one its name gives, unless a word set it.
  Kind variableKind(const std::string& name) const {
    const bool text = EndsWithDollar(name);
    const bool certain = !((assigned_.how(name) | documented_.how(name)) & NameSet::kByWord) && computedLines_.empty();
    std::string why = name + " holds " + (text ? "strings" : "numbers");
    if (certain) why += text ? " (its name ends with $)" : " (its name does not end with $)";
    else why += std::string(" by its name, unless a word put ") + (text ? "a number" : "a string") + " there";
    return {text ? 'S' : 'N', certain, why};
  }

  Kind kindOf(const Expr& e) const {
    switch (e.kind) {
      case Expr::Kind::Number: return {'N'};
      case Expr::Kind::String: return {'S'};
      case Expr::Kind::Name:
        if (const CheckWord* w = functionWord(e.text)) return wordKind(*w);
        return variableKind(e.text);
      case Expr::Kind::Index:
      case Expr::Kind::Unary: return {'N'};
      case Expr::Kind::Binary: {
        if (e.op == Op::Concat) return {'S'};
        if (e.op != Op::Add) return {'N'};
        Kind a = kindOf(*e.args[0]), b = kindOf(*e.args[1]);
        if (!a.of || a.of != b.of) return {};
        return {a.of, a.certain && b.certain, a.why.empty() ? b.why : a.why};
      }
      case Expr::Kind::Call: {
        if (const BuiltinShape* b = FindBuiltin(e.text)) return {b->gives};
        const CheckWord* w = word(e.text);
        return w && w->function ? wordKind(*w) : Kind{};
      }
    }
    return {};
  }
  static Kind wordKind(const CheckWord& w) {
    return {w.givesString ? 'S' : 'N', true, w.name + (w.givesString ? " gives a string" : " gives a number")};
  }

  void expression(const Expr& e) {
    switch (e.kind) {
      case Expr::Kind::Number:
      case Expr::Kind::String: return;
      case Expr::Kind::Name:
        if (const CheckWord* w = functionWord(e.text)) return call(*w, {}, e.line, e.column);
        return read(e.text, e.line, e.column);
      case Expr::Kind::Index: return indexed(e.text, *e.args[0], e.line, e.column);
      case Expr::Kind::Unary: return needNumber(*e.args[0], e.op == Op::Not ? "not" : "-");
      case Expr::Kind::Binary: return binary(e);
      case Expr::Kind::Call: return function(e);
    }
  }

  // name used as a table: whether it can be one (false when it cannot).
  bool table(const std::string& name, int line, int column) {
    read(name, line, column);
    const unsigned how = assigned_.how(name) | documented_.how(name);
    if (!how || (how & (NameSet::kDimmed | NameSet::kByWord)) || !computedLines_.empty()) return true;
    error(line, column, name + " is no table: only dim " + name + "[size] (or a word that fills a table) makes one");
    return false;
  }

  // name[index], read or assigned.
  void indexed(const std::string& name, const Expr& index, int line, int column) {
    needNumber(index, "an index");
    if (!table(name, line, column)) return;
    const unsigned how = assigned_.how(name) | documented_.how(name);
    if (!computedLines_.empty() || (how & NameSet::kByWord)) return;  // a word may make a table of any size
    auto d = dims_.find(Upper(name));
    if (d == dims_.end() || !d->second.known || (preset_.how(name) & NameSet::kDimmed)) return;
    const bool negative = index.kind == Expr::Kind::Unary && index.op == Op::Neg && index.args[0]->kind == Expr::Kind::Number;
    if (index.kind != Expr::Kind::Number && !negative) return;
    const double i = negative ? -index.args[0]->number : index.number, whole = std::floor(i + 0.5);
    if (!(whole >= 1 && whole <= d->second.size))
      error(index.line, index.column, "index " + FormatNumber(i) + " is outside " + name + "[1.." + FormatNumber(d->second.size) +
                                          "]: no dim of it makes it larger (the first is on line " +
                                          std::to_string(d->second.line) + ")");
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
    Kind ka = kindOf(a), kb = kindOf(b);
    const bool certain = ka.certain && kb.certain;
    switch (e.op) {
      case Op::Concat: return;
      case Op::Add:
        if (ka.of && kb.of && ka.of != kb.of) report(certain, e, "+ cannot join a string and a number (& can)" + Why(ka, kb));
        return;
      case Op::Sub:
      case Op::Mul:
      case Op::Div: {
        const Kind none;
        const Kind& sa = ka.of == 'S' ? ka : none;
        const Kind& sb = kb.of == 'S' ? kb : none;
        if (sa.of || sb.of) report(sa.certain && sb.certain, e, "arithmetic needs numbers, not a string" + Why(sa, sb));
        if (e.op == Op::Div && b.kind == Expr::Kind::Number && b.number == 0) error(b.line, b.column, "division by zero");
        return;
      }
      default:
        if (ka.of && kb.of && ka.of != kb.of) report(certain, e, "cannot compare a string with a number" + Why(ka, kb));
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
      std::string elements = dims_.count(Upper(e.text)) ? "; " + e.text + " is a table: its elements are " + e.text + "[i]" : "";
      return error(e.line, e.column, "unknown function " + e.text + (elements.empty() ? Suggestion(e.text, names) : elements));
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
        else table(a.text, a.line, a.column);
        continue;
      }
      expression(a);
      Kind k = kindOf(a);
      if (k.of && k.of != b.takes[i])
        report(k.certain, a, b.name + " takes " + (b.takes[i] == 'N' ? "a number" : "a string") + " as argument " +
                                 std::to_string(i + 1) + ", not " + (b.takes[i] == 'N' ? "a string" : "a number") + Why(k));
    }
  }

  void command(const Stmt& s) {
    const CheckWord* w = word(s.name);
    if (w) return call(*w, s.args, s.line, s.column);
    if (FindBuiltin(s.name)) {
      error(s.line, s.column, s.name + " gives a value: use it in an expression");
    } else if (!Instead(s.name).empty()) {
      error(s.line, s.column, s.name + " is no statement of this language: " + Instead(s.name));
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
    for (std::size_t i = 0; i < args.size() && i < n; ++i) {
      if (!args[i]) continue;
      const Expr& a = *args[i];
      const CheckParam& p = w.params[i];
      std::string where = "argument " + std::to_string(i + 1) + " (" + p.name + ") of " + w.name;
      if (p.kind == 'V') {
        if (a.kind != Expr::Kind::Name)
          error(a.line, a.column,
                where + (p.option ? " is an option word: write it bare" : " is the name of a variable: write the bare name"));
        else if (p.option) option(p, a, where);
        continue;
      }
      if (p.namesVariable && a.kind == Expr::Kind::Name && !EndsWithDollar(a.text) && !functionWord(a.text)) {
        report(!(assigned_.how(a.text) & NameSet::kByWord), a,
               where + " is the name of the variable to set, as a string: write \"" + a.text + "\", not " + a.text);
        continue;
      }
      expression(a);
      Kind k = kindOf(a);
      if (k.of && k.of != p.kind)
        report(k.certain, a, where + (p.kind == 'N' ? " must be a number, not a string" : " must be a string, not a number") + Why(k));
    }
    for (std::size_t i = 0; i < n; ++i)
      if (w.params[i].required && (i >= args.size() || !args[i]))
        error(line, column, w.name + " needs argument " + std::to_string(i + 1) + " (" + w.params[i].name +
                                "): the word fails without it");
  }

  // A word that cannot do without its option fails on one it does not
  // know; the others take it for no option at all.
  void option(const CheckParam& p, const Expr& a, const std::string& where) {
    if (p.options.empty()) return;
    for (const std::string& o : p.options)
      if (Upper(o) == Upper(a.text)) return;
    report(p.required, a, where + " is " + a.text + ", which is none of its option words (" + Alternatives(p.options) + ")" +
                              Suggestion(a.text, p.options, ""));
  }

  void read(const std::string& name, int line, int column) {
    if (assigned_.has(name) || documented_.has(name)) return;
    if (!warned_.insert(Upper(name)).second) return;
    std::string near = assigned_.nearest(name);
    std::string computed;
    for (int l : computedLines_) computed += (computed.empty() ? "" : ", ") + std::to_string(l);
    warn(line, column,
         name + " is read but never set: no statement of the macro or of its start-up macro assigns it" +
             (near.empty() ? "" : "; did you mean " + near + "?") +
             (computed.empty() ? "" : " (unless a word sets it by the name computed on line " + computed + ")"));
  }

  static std::string Suggestion(const std::string& name, const std::vector<std::string>& candidates,
                                const char* otherwise = " (mcrhost --words lists the words)") {
    std::string near = Nearest(name, candidates);
    return near.empty() ? otherwise : "; did you mean " + near + "?";
  }

  struct Dim {
    double size = 0;     // the largest constant size
    bool known = true;   // false when a size is computed
    int line = 0;        // of the first dim
  };

  std::map<std::string, const CheckWord*> byKey_;
  NameSet documented_;
  NameSet assigned_;
  const NameSet preset_;
  std::map<std::string, std::vector<std::string>> literals_;  // the strings a variable is given
  std::set<std::string> computedStrings_;                     // variables given other values too
  std::vector<const Expr*> computed_;  // names a word is told to set, made while running
  std::vector<int> computedLines_;     // of those no string of the macro tells
  std::map<std::string, Dim> dims_;
  std::set<std::string> warned_;
  std::vector<Finding> out_;
};

}  // namespace

void NameSet::add(std::string_view name, unsigned how) {
  if (name.empty()) return;
  std::string key = Upper(name);
  if (key.find('#') == std::string::npos && !IsPrefix(key)) {
    Entry& e = exact_[key];
    if (e.written.empty()) e.written = name;
    e.how |= how;
  } else {
    patterns_[key] |= how;
  }
}

unsigned NameSet::how(std::string_view name) const {
  std::string key = Upper(name);
  auto it = exact_.find(key);
  unsigned how = it == exact_.end() ? 0 : it->second.how;
  for (const auto& [p, h] : patterns_)
    if (MatchesPattern(p, key)) how |= h;
  return how;
}

std::string NameSet::nearest(std::string_view name) const {
  std::vector<std::string> names;
  for (const auto& [key, e] : exact_) names.push_back(e.written);
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
  ParseResult p = Parse(source, kIdentityCodec, 1, SourceEncoding(source));
  Checker c(words, std::move(names));
  if (p.program) c.collectAll(p.program->statements);
  return c.assigned();
}

std::vector<Finding> Check(std::string_view source, const std::vector<CheckWord>& words, const NameSet& preset,
                           const Codec& codec) {
  ParseResult p = Parse(source, codec, 1, SourceEncoding(source));
  if (p.error) return {{p.error->line, p.error->column, true, p.error->message}};
  Checker c(words, preset);
  c.collectAll(p.program->statements);
  c.check(p.program->statements);
  std::vector<Finding>& out = c.findings();
  std::stable_sort(out.begin(), out.end(), [](const Finding& a, const Finding& b) {
    return a.line != b.line ? a.line < b.line : a.column < b.column;
  });
  return out;
}

}  // namespace mcrlang
