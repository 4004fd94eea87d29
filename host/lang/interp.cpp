// Runs parsed macros: evaluates expressions, converts word arguments to the
// kinds the words were registered with, and stops at the first error with
// the line it happened on.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "ast.h"
#include "check.h"

namespace mcrlang {

namespace {

using mcrhost::Var;

struct Failure {
  int line;
  std::string message;
  std::string hint;
};
struct ExitSignal {};
struct StopSignal {
  int line;
  std::string message;
};

const std::vector<Builtin> kBuiltins = {
    {"len", "len(text$)", "the length of the text in bytes (a double-byte character counts 2)"},
    {"val", "val(text$)", "the number at the start of the text (blanks skipped), 0 when there is none"},
    {"str$", "str$(number)", "the number as print shows it"},
    {"chr$", "chr$(code)", "the one-byte string of the code 1 to 255"},
    {"size", "size(table)", "the number of elements of the table variable"},
    {"lines", "lines(file$)", "the number of lines of a text file, 0 when it cannot be read"},
    {"line$", "line$(file$, number)", "line number (from 1) of a text file without its line end, \"\" past the end"},
};

// The lines of a text file, each without its LF or CR LF.
std::vector<std::string> TextLines(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

bool EndsWithDollar(const std::string& name) { return !name.empty() && name.back() == '$'; }

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

class Runner {
 public:
  explicit Runner(Interpreter& in) : vars_(in.vars()), host_(in.host()), codec_(in.codec()) {}

  void block(const Block& statements) {
    for (const Stmt& s : statements) statement(s);
  }

 private:
  [[noreturn]] void fail(int line, const std::string& message, const std::string& hint = "") {
    throw Failure{line, message, hint};
  }

  std::string quoted(const std::string& ansi) { return "\"" + codec_.toUtf8(ansi) + "\""; }

  // Between two statements, and at every turn of a loop (whose body may be
  // empty), the host may stop the macro.
  void checkpoint(int line) {
    host_.idle();
    std::string why = host_.stopRequest();
    if (!why.empty()) throw StopSignal{line, why};
  }

  void statement(const Stmt& s) {
    checkpoint(s.line);
    switch (s.kind) {
      case Stmt::Kind::Assign: assign(s.name, evaluate(*s.value), s.line); break;
      case Stmt::Kind::AssignIndex: {
        Value v = evaluate(*s.value);
        if (v.isString) fail(s.line, "a table holds numbers, not the string " + quoted(v.text));
        element(s.name, *s.index, s.line) = v.number;
        break;
      }
      case Stmt::Kind::Call: command(s); break;
      case Stmt::Kind::Print: {
        std::string line;
        for (std::size_t i = 0; i < s.args.size(); ++i) {
          if (i) line += ' ';
          line += text(evaluate(*s.args[i]));
        }
        host_.output(codec_.toUtf8(line));
        break;
      }
      case Stmt::Kind::If:
        for (std::size_t i = 0; i < s.blocks.size(); ++i) {
          if (i == s.args.size() || condition(*s.args[i], "if")) {
            block(s.blocks[i]);
            break;
          }
        }
        break;
      case Stmt::Kind::While:
        while (condition(*s.args[0], "while")) {
          block(s.blocks[0]);
          checkpoint(s.line);
        }
        break;
      case Stmt::Kind::Exit: throw ExitSignal{};
      case Stmt::Kind::Dim: {
        if (EndsWithDollar(s.name))
          fail(s.line, "a table holds numbers: its name " + s.name + " must not end with $");
        double n = number(*s.index, "the size of a table");
        if (!(n >= 0 && n <= 65535) || n != std::floor(n))
          fail(s.line, "the size of a table is a whole number from 0 to 65535, not " + FormatNumber(n));
        std::uint32_t id = vars_.newTable(static_cast<std::size_t>(n));
        vars_.setTable(s.name, id);
        break;
      }
      case Stmt::Kind::Wait: {
        double ms = number(*s.value, "wait");
        if (!(ms >= 0)) fail(s.line, "wait needs milliseconds of 0 or more");
        host_.wait(ms);
        checkpoint(s.line);  // a stop ends the wait early
        break;
      }
    }
  }

  void assign(const std::string& name, const Value& v, int line) {
    if (EndsWithDollar(name)) {
      if (!v.isString) fail(line, name + " holds strings; the value is the number " + FormatNumber(v.number));
      vars_.setString(name, v.text);
    } else {
      if (v.isString)
        fail(line, name + " holds numbers; the value is the string " + quoted(v.text) +
                       " (string variables end with $)");
      vars_.setNumber(name, v.number);
    }
  }

  bool condition(const Expr& e, const char* statement) {
    Value v = evaluate(e);
    if (v.isString)
      fail(e.line, std::string(statement) + " needs a number (0 is false), not the string " + quoted(v.text));
    return v.number != 0;
  }

  double number(const Expr& e, const std::string& what) {
    Value v = evaluate(e);
    if (v.isString) fail(e.line, what + " must be a number, not the string " + quoted(v.text));
    return v.number;
  }

  std::string text(const Value& v) { return v.isString ? v.text : FormatNumber(v.number); }

  std::vector<double>& table(const std::string& name, int line) {
    const Var* v = vars_.find(name);
    if (!v) fail(line, "undefined variable " + name);
    if (v->type != Var::Type::Table) fail(line, name + " is not a table");
    std::vector<double>* t = vars_.table(v->table);
    if (!t) fail(line, name + " names a table that no longer exists");
    return *t;
  }

  double& element(const std::string& name, const Expr& index, int line) {
    std::vector<double>& t = table(name, line);
    double i = number(index, "an index");
    double whole = std::floor(i + 0.5);
    if (!(whole >= 1 && whole <= static_cast<double>(t.size())))
      fail(line, "index " + FormatNumber(i) + " is outside " + name + "[1.." + std::to_string(t.size()) + "]");
    return t[static_cast<std::size_t>(whole) - 1];
  }

  Value evaluate(const Expr& e) {
    switch (e.kind) {
      case Expr::Kind::Number: return Value::Num(e.number);
      case Expr::Kind::String: return Value::Str(e.text);
      case Expr::Kind::Name: return variable(e);
      case Expr::Kind::Index: return Value::Num(element(e.text, *e.args[0], e.line));
      case Expr::Kind::Call: return call(e);
      case Expr::Kind::Unary: {
        double v = number(*e.args[0], e.op == Op::Not ? "the operand of not" : "the operand of -");
        return Value::Num(e.op == Op::Not ? (v == 0 ? 1 : 0) : -v);
      }
      case Expr::Kind::Binary: return binary(e);
    }
    return {};
  }

  Value variable(const Expr& e) {
    if (const Var* v = vars_.find(e.text)) {
      switch (v->type) {
        case Var::Type::Number: return Value::Num(v->number);
        case Var::Type::String: return Value::Str(v->text);
        case Var::Type::Table: fail(e.line, e.text + " is a table: use " + e.text + "[i] or size(" + e.text + ")");
      }
    }
    // A function word written without parentheses is called without arguments.
    if (const WordInfo* w = host_.findWord(e.text))
      if (w->function) return word(*w, {}, e.line, true);
    fail(e.line, "undefined variable " + e.text);
  }

  Value binary(const Expr& e) {
    if (e.op == Op::And || e.op == Op::Or) {
      bool left = number(*e.args[0], "the operand of and/or") != 0;
      if (e.op == Op::And && !left) return Value::Num(0);
      if (e.op == Op::Or && left) return Value::Num(1);
      return Value::Num(number(*e.args[1], "the operand of and/or") != 0 ? 1 : 0);
    }
    Value a = evaluate(*e.args[0]);
    Value b = evaluate(*e.args[1]);
    switch (e.op) {
      case Op::Concat: return Value::Str(text(a) + text(b));
      case Op::Add:
        if (a.isString && b.isString) return Value::Str(a.text + b.text);
        if (a.isString != b.isString) fail(e.line, "+ cannot join a string and a number (& can)");
        return Value::Num(a.number + b.number);
      case Op::Sub:
      case Op::Mul:
      case Op::Div: {
        if (a.isString || b.isString) fail(e.line, "arithmetic needs numbers, not the string " + quoted(a.isString ? a.text : b.text));
        if (e.op == Op::Sub) return Value::Num(a.number - b.number);
        if (e.op == Op::Mul) return Value::Num(a.number * b.number);
        if (b.number == 0) fail(e.line, "division by zero");
        return Value::Num(a.number / b.number);
      }
      default: break;
    }
    if (a.isString != b.isString) fail(e.line, "cannot compare a string with a number");
    int order = a.isString ? a.text.compare(b.text) : (a.number < b.number ? -1 : a.number > b.number ? 1 : 0);
    bool r = false;
    switch (e.op) {
      case Op::Eq: r = order == 0; break;
      case Op::Ne: r = order != 0; break;
      case Op::Lt: r = order < 0; break;
      case Op::Gt: r = order > 0; break;
      case Op::Le: r = order <= 0; break;
      case Op::Ge: r = order >= 0; break;
      default: break;
    }
    return Value::Num(r ? 1 : 0);
  }

  Value call(const Expr& e) {
    std::string lower = LowerAscii(e.text);
    for (const Builtin& b : kBuiltins)
      if (lower == b.name) return builtin(lower, e);
    const WordInfo* w = host_.findWord(e.text);
    if (!w) fail(e.line, "unknown function " + e.text + suggestion(e.text, true));
    if (!w->function) fail(e.line, w->name + " is a command: it gives no value; write it as a statement");
    return word(*w, e.args, e.line, true);
  }

  Value builtin(const std::string& name, const Expr& e) {
    const bool two = name == "line$";
    if (e.args.size() != (two ? 2u : 1u) || !e.args[0] || (two && !e.args[1]))
      fail(e.line, name + " takes exactly " + (two ? "two arguments" : "one argument"));
    const Expr& arg = *e.args[0];
    if (name == "size") {
      if (arg.kind != Expr::Kind::Name) fail(e.line, "size takes the name of a table variable");
      return Value::Num(static_cast<double>(table(arg.text, e.line).size()));
    }
    Value v = evaluate(arg);
    if (name == "lines" || two) {
      if (!v.isString) fail(e.line, name + " takes a file name, not the number " + FormatNumber(v.number));
      std::vector<std::string> lines = TextLines(v.text);
      if (!two) return Value::Num(static_cast<double>(lines.size()));
      Value n = evaluate(*e.args[1]);
      if (n.isString) fail(e.line, "line$ takes a line number, not the string " + quoted(n.text));
      double i = std::floor(n.number + 0.5);
      return Value::Str(i >= 1 && i <= static_cast<double>(lines.size()) ? lines[static_cast<std::size_t>(i) - 1] : "");
    }
    if (name == "len" || name == "val") {
      if (!v.isString) fail(e.line, name + " takes a string, not the number " + FormatNumber(v.number));
      return Value::Num(name == "len" ? static_cast<double>(v.text.size()) : ParseLeadingNumber(v.text));
    }
    if (v.isString) fail(e.line, name + " takes a number, not the string " + quoted(v.text));
    if (name == "str$") return Value::Str(FormatNumber(v.number));
    double code = std::floor(v.number + 0.5);
    if (!(code >= 1 && code <= 255)) fail(e.line, "chr$ takes a code from 1 to 255, not " + FormatNumber(v.number));
    return Value::Str(std::string(1, static_cast<char>(static_cast<unsigned char>(code))));
  }

  void command(const Stmt& s) {
    const WordInfo* w = host_.findWord(s.name);
    if (!w) {
      for (const Builtin& b : kBuiltins)
        if (LowerAscii(s.name) == b.name) fail(s.line, s.name + " gives a value: use it in an expression");
      std::string instead = Instead(s.name);
      if (!instead.empty()) fail(s.line, s.name + " is no statement of this language: " + instead);
      fail(s.line, "unknown command " + s.name + suggestion(s.name, false));
    }
    word(*w, s.args, s.line, false);
  }

  // A near name among the words (functions only where a value is wanted),
  // the built-in functions or the statements.
  std::string suggestion(const std::string& name, bool function) {
    std::vector<std::string> names;
    for (const WordInfo& w : host_.words())
      if (w.function || !function) names.push_back(w.name);
    if (function)
      for (const Builtin& b : kBuiltins) names.push_back(b.name);
    else
      names.insert(names.end(), Keywords().begin(), Keywords().end());
    std::string near = Nearest(name, names);
    return near.empty() ? " (mcrhost --words lists the words)" : "; did you mean " + near + "?";
  }

  // Arguments by the kinds the word was registered with: a name as written
  // for V, a number for N, a string for S; an empty place is omitted.
  Value word(const WordInfo& w, const std::vector<ExprPtr>& exprs, int line, bool wantValue) {
    if (exprs.size() > w.kinds.size())
      fail(line, w.name + " takes " + std::to_string(w.kinds.size()) + " argument" +
                     (w.kinds.size() == 1 ? "" : "s") + ", not " + std::to_string(exprs.size()));
    std::vector<Arg> args(w.kinds.size());
    for (std::size_t i = 0; i < exprs.size(); ++i) {
      if (!exprs[i]) continue;
      const Expr& e = *exprs[i];
      std::string where = "argument " + std::to_string(i + 1) + " of " + w.name;
      char kind = w.kinds[i];
      if (kind == 'V') {
        if (e.kind != Expr::Kind::Name)
          fail(line, where + " is the name of a variable: write the bare name");
        args[i].kind = Arg::Kind::Name;
        args[i].text = e.text;
        continue;
      }
      Value v = evaluate(e);
      if (kind == 'N') {
        if (v.isString) fail(line, where + " must be a number, not the string " + quoted(v.text));
        args[i].kind = Arg::Kind::Number;
        args[i].number = v.number;
      } else {
        if (!v.isString) fail(line, where + " must be a string, not the number " + FormatNumber(v.number));
        args[i].kind = Arg::Kind::String;
        args[i].text = v.text;
      }
    }
    CallResult r = host_.call(w, args);
    if (r.error) fail(line, w.name + ": " + *r.error, r.hint);
    checkpoint(line);  // a stop asked for while the word ran
    if (!wantValue) return {};
    if (!r.value) fail(line, w.name + " gave no value");
    return *r.value;
  }

  mcrhost::VarStore& vars_;
  HostInterface& host_;
  const Codec& codec_;
};

}  // namespace

RunResult Interpreter::run(const Program& program) {
  RunResult result;
  try {
    Runner(*this).block(program.statements);
  } catch (const ExitSignal&) {
    result.status = RunStatus::Exited;
  } catch (const StopSignal& s) {
    result.status = RunStatus::Stopped;
    result.error = Error{s.line, s.message, 0, {}};
  } catch (const Failure& f) {
    result.status = RunStatus::Failed;
    result.error = Error{f.line, f.message, 0, f.hint};
  }
  return result;
}

std::string FormatNumber(double v) {
  if (v == 0) return "0";  // also -0
  char b[40];
  std::snprintf(b, sizeof b, "%.15g", v);
  return b;
}

double ParseLeadingNumber(std::string_view text) {
  std::size_t i = 0;
  auto digits = [&] {
    std::size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - start;
  };
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t whole = digits();
  std::size_t fraction = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    fraction = digits();
  }
  if (whole + fraction == 0) return 0;
  std::size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits()) end = i;
  }
  return std::strtod(std::string(text.substr(start, end - start)).c_str(), nullptr);
}

const std::vector<Builtin>& Builtins() { return kBuiltins; }

std::optional<std::string> WordFailure(std::uint16_t status, const std::string* raisedUtf8) {
  if (raisedUtf8) return *raisedUtf8;
  switch (status) {
    case 0: return std::nullopt;
    // COPY's bare statuses, which carry no text of their own.
    case 5004: return std::string("the copy buffer could not be locked while copying (status 5004)");
    case 5007: return std::string("there is no memory for the copy buffer (status 5007)");
    case 6023: return std::string("the source or the destination is missing or empty (status 6023)");
    default: return "failed with status " + std::to_string(status) + " and no message";
  }
}

}  // namespace mcrlang
