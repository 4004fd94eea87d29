#include "calls.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>
#include <stdexcept>

namespace mcrtest {

namespace {

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

// A value as a line of text: a number to its last bit (a float's smallest
// normal value is no 0), a text in quotes, a table in brackets.
std::string Shown(const Value& v, bool anyCase = false) {
  char number[32];
  std::snprintf(number, sizeof number, "%.17g", v.number);
  return v.isString ? "\"" + U(anyCase ? mcrhost::VarStore::Key(v.text) : v.text) + "\"" : number;
}
std::string Shown(const std::vector<double>& table) {
  std::string out;
  for (double d : table) out += (out.empty() ? "" : ", ") + Shown(Value::Num(d));
  return "[" + out + "]";
}

// A line the call added matches its pattern when it starts with it, each *
// standing for any run of characters.
bool Matches(const char* pattern, const char* text) {
  if (!*pattern) return true;
  if (*pattern == '*') return Matches(pattern + 1, text) || (*text && Matches(pattern, text + 1));
  return *text == *pattern && Matches(pattern + 1, text + 1);
}

// One logical line, read from left to right.
class Line {
 public:
  Line(std::string text, const Bench& bench) : s_(std::move(text)), bench_(bench) {}

  char peek() {
    while (at_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[at_]))) ++at_;
    return at_ < s_.size() ? s_[at_] : '\0';
  }
  // The name at this place, not taken.
  std::string word() {
    const bool named = peek() && (std::isalpha(static_cast<unsigned char>(s_[at_])) || s_[at_] == '_');
    std::size_t end = at_;
    while (named && end < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[end])) || std::strchr("_$", s_[end])))
      ++end;
    return s_.substr(at_, end - at_);
  }
  bool is(const char* mark) { return s_.compare((peek(), at_), std::strlen(mark), mark) == 0; }
  bool take(const std::string& mark) {
    if (std::isalpha(static_cast<unsigned char>(mark[0])) ? word() != mark : !is(mark.c_str()) || (mark == "=" && is("=>")))
      return false;
    at_ += mark.size();
    return true;
  }
  void need(const char* mark) { if (!take(mark)) Fail(std::string("'") + mark + "' expected"); }
  std::string name() {
    std::string n = word();
    if (n.empty()) Fail("a name expected");
    at_ += n.size();
    return n;
  }
  bool atNumber() {
    const std::string w = word();
    return w == "nan" || w == "inf" || (w.empty() && peek() && std::strchr("-.0123456789", peek()));
  }
  double number() {
    char* end = nullptr;
    const double v = atNumber() ? std::strtod(s_.c_str() + at_, &end) : 0;
    if (!end || end == s_.c_str() + at_) Fail("a number expected");
    at_ = static_cast<std::size_t>(end - s_.c_str());
    return v;
  }
  bool atText() { const std::string w = word(); return peek() == '"' || peek() == '<' || w == "CRLF" || w == "LF" || w == "TAB"; }
  // "a" + "b" * 3 + <00> + CRLF, the bench's places expanded.
  std::string bytes() {
    std::string out;
    do {
      std::string part;
      if (take("CRLF")) {
        part = "\r\n";
      } else if (take("LF") || take("TAB")) {
        part = s_[at_ - 1] == 'B' ? "\t" : "\n";
      } else if (take("<")) {
        for (; at_ + 1 < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[at_])) &&
               std::isxdigit(static_cast<unsigned char>(s_[at_ + 1])); at_ += 2)
          part += static_cast<char>(std::stoi(s_.substr(at_, 2), nullptr, 16));
        if (!take(">")) Fail("bytes are pairs of hexadecimal digits between < and >");
      } else if (take("\"")) {
        for (; at_ < s_.size() && (s_[at_] != '"' || s_.compare(at_, 2, "\"\"") == 0); ++at_)
          part += s_[s_[at_] == '"' ? at_++ : at_];
        if (at_++ >= s_.size()) Fail("a text without its closing quote");
        part = bench_.Expand(A(part));
      } else {
        Fail("a text expected");
      }
      for (std::size_t times = take("*") ? static_cast<std::size_t>(number()) : 1; times; --times) out += part;
    } while (take("+"));
    return out;
  }
  // [n, n], a table.
  std::vector<double> table() {
    std::vector<double> t;
    for (need("["); !take("]"); take(",")) t.push_back(number());
    return t;
  }
  Value value() { return atText() ? Value::Str(bytes()) : Value::Num(number()); }
  // (#1, 0, "text"): the inserts of a message.
  std::vector<std::string> inserts() {
    std::vector<std::string> out;
    for (bool open = take("("); open && !take(")"); take(","))
      out.push_back(take("#") ? A(Label(static_cast<int>(number())))
                    : atText() ? bytes() : std::to_string(static_cast<long long>(number())));
    return out;
  }
  void end() { if (peek()) Fail("unexpected '" + s_.substr(at_) + "' at the end"); }

 private:
  std::string s_;
  std::size_t at_ = 0;
  const Bench& bench_;
};

// A check of a case: what it looks at, what that must be, and what it is
// after the call (from the outcome, the bench, the files and the registry).
struct Check {
  std::string what, want;
  std::function<std::string()> have;
};

Check FileCheck(Line& l) {
  const std::string path = l.bytes(), what = "file " + U(path);
  if (l.take("=")) return {what, U(l.bytes()), [path] { return U(ReadAll(path)); }};
  if (l.take("unchanged")) {
    return {what, "unchanged", [before = Snap(path)] {
      const Snapshot now = Snap(before.path);
      return now.bytes == before.bytes && !CompareFileTime(&now.written, &before.written) ? "unchanged" : "rewritten";
    }};
  }
  if (l.take("missing")) {
    return {what, "missing", [path] {
      WIN32_FIND_DATAA found;
      HANDLE search = FindFirstFileA(path.c_str(), &found);  // a pattern may stand for the path
      return search == INVALID_HANDLE_VALUE ? "missing" : (FindClose(search), "there");
    }};
  }
  l.need("adds");
  std::vector<std::string> patterns;
  std::string want;
  for (l.need("["); !l.take("]"); l.take(",")) want += patterns.emplace_back(U(l.bytes())) + "\n";
  return {what + ", the lines added", want, [path, patterns, want, size = ReadAll(path).size()] {
    const std::string now = ReadAll(path);
    std::istringstream in(now.substr(std::min(size, now.size())));
    std::string lines;
    std::size_t n = 0;
    bool same = true;
    for (std::string line; std::getline(in, line); lines += line + "\n", ++n) {
      line = U(line.substr(0, line.find('\r')));
      same = same && n < patterns.size() && Matches(patterns[n].c_str(), line.c_str());
    }
    return same && n == patterns.size() ? want : lines;
  }};
}

// The value as its type's number and its bytes.
Check RegCheck(Line& l) {
  const std::string at = l.bytes(), key = at.substr(std::min<std::size_t>(5, at.size()));
  const HKEY root = at.rfind("HKLM\\", 0) == 0 ? HKEY_LOCAL_MACHINE : at.rfind("HKCU\\", 0) == 0 ? HKEY_CURRENT_USER : nullptr;
  if (!root) Fail("a registry key starts with HKCU\\ or HKLM\\");
  const std::string name = l.atText() ? l.bytes() : l.name();
  const char* const types[] = {"", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD", "", "", "REG_MULTI_SZ",
                               "", "", "", "REG_QWORD"};
  std::string want = "missing";
  if (l.take("=")) {
    std::size_t type = 0;
    for (const std::string t = l.name(); type < 12 && t != types[type];) ++type;
    if (type == 12) Fail("an unknown registry type");
    want = types[type] + (" " + l.bytes());
  } else {
    l.need("missing");
  }
  return {"reg " + key + " " + name, want, [=] {
    BYTE data[4096];
    DWORD size = sizeof data, type = 0;
    if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size)) return std::string("missing");
    return types[type < 12 ? type : 0] + (" " + std::string(reinterpret_cast<char*>(data), size));
  }};
}

// The checks after =>; the outcome's status, error, shown texts and texts of
// other kinds are checked whatever is given (nothing: status 0, nothing raised).
std::vector<Check> Expectations(Line& l, Bench& bench, const Outcome& o) {
  std::vector<Check> checks;
  std::optional<std::string> status;
  std::string error = "<nothing raised>", shown, others;
  int like = 0;  // error ID(*)
  for (bool more = l.peek(); more; more = l.take(",")) {
    if (l.take("=")) {
      checks.push_back({"result", Shown(l.value()), [&o] { return o.result ? Shown(*o.result) : "no result"; }});
      continue;
    }
    const std::string word = l.name();
    if (word == "status") {
      status = std::to_string(static_cast<int>(l.number()));
    } else if (word == "error" || word == "shown") {
      std::string text;  // error "" is an empty text
      if (l.atText()) text = l.bytes();
      else if (const int id = static_cast<int>(l.number()); word == "error" && l.take("(*)")) like = id;
      else text = MsgWith(id, l.inserts());
      if (word == "shown") shown += "shown " + U(text) + "\n";
      else error = like ? "<message " + std::to_string(like) + ">" : U(text);
    } else if (word == "kind") {
      const int kind = static_cast<int>(l.number());  // read before the text that follows it
      others += "kind " + std::to_string(kind) + " " + U(l.bytes()) + "\n";
    } else if (word == "file" || word == "reg") {
      checks.push_back(word == "file" ? FileCheck(l) : RegCheck(l));
    } else {
      // A variable: missing, a number, a "text" or a [table].
      const bool anyCase = l.take("like");
      std::string want = "missing";
      if (anyCase || l.take("=")) want = l.is("[") ? Shown(l.table()) : Shown(l.value(), anyCase);
      else l.need("missing");
      checks.push_back({word, want, [&bench, word, anyCase] {
        const mcrhost::VarStore& vars = bench.host().vars();
        const mcrhost::Var* v = vars.find(word);
        using Type = mcrhost::Var::Type;
        return !v ? "missing" : v->type == Type::Table ? Shown(*vars.table(v->table))
                  : Shown(v->type == Type::String ? Value::Str(v->text) : Value::Num(v->number), anyCase);
      }});
    }
  }
  l.end();
  // The outcome as lines: its status, error, the texts shown, texts of other kinds.
  const std::string outcome = "status " + status.value_or(error == "<nothing raised>" ? "0" : "1") + "\nerror " + error;
  checks.push_back({"outcome", outcome + "\n" + shown + others, [&o, &bench, like] {
    std::string error = o.error() ? U(*o.error()) : "<nothing raised>", texts, others;
    if (like && o.error() && std::regex_match(*o.error(), TextPattern(A(CatalogueText(like)))))
      error = "<message " + std::to_string(like) + ">";
    for (const mcrhost::Raised& r : o.raised) {
      if (r.kind == mcr::kRaiseMessage) texts += "shown " + U(r.text) + "\n";
      else if (r.kind != mcr::kRaiseError) others += "kind " + std::to_string(r.kind) + " " + U(r.text) + "\n";
    }
    for (const std::string& s : bench.host().shown()) texts += "shown " + U(s) + "\n";
    for (const DialogScript::Seen& d : bench.Dialogs()) texts += "shown " + U(d.text) + "\n";
    return "status " + std::to_string(o.status) + "\nerror " + error + "\n" + texts + others;
  }});
  return checks;
}

// One call and its checks.
void RunCase(Line& l, Bench& bench) {
  const std::string word = l.name();
  const mcrhost::Word* w = bench.host().find(word);
  if (!w) Fail("no word " + word);
  std::vector<Arg> args;
  for (bool more = !l.is("=>"); more; more = l.take(",")) {
    Arg a = l.take("~") ? Omit() : !l.atNumber() && !l.word().empty() && !l.atText() ? Value::Str(l.name()) : l.value();
    // A text for a number parameter is read as a number ("{H}", "{P}").
    if (a && a->isString && args.size() < w->kinds.size() && w->kinds[args.size()] == mcr::kKindNumber)
      a = Value::Num(std::strtod(a->text.c_str(), nullptr));
    args.push_back(a);
  }
  l.need("=>");
  Outcome o;
  const std::vector<Check> checks = Expectations(l, bench, o);
  bench.host().clearShown();
  o = bench.host().call(*w, args);
  bench.EndStatement();
  for (const Check& c : checks) EXPECT_EQ(c.have(), c.want) << c.what;
}

void RunDirective(const std::string& keyword, Line& l, Bench& bench, std::vector<HANDLE>& held) {
  mcrhost::VarStore& vars = bench.host().vars();
  if (keyword == "answer") {
    const char* const ids[] = {"", "IDOK", "IDCANCEL", "", "IDRETRY", "", "IDYES", "IDNO"};
    int id = l.atNumber() ? static_cast<int>(l.number()) : 0;
    for (const std::string n = id ? "" : l.name(); !id || (n.size() && n != ids[id]);)
      if (++id == 8) Fail("answer IDOK, IDCANCEL, IDYES, IDNO, IDRETRY or a number");
    l.end();
    return bench.Answer(id);
  }
  const std::string name = keyword == "write" || keyword == "hold" ? l.bytes() : l.name();
  if (keyword != "unset" && keyword != "hold") l.need("=");
  if (keyword == "let" && l.is("[")) {
    const std::uint32_t id = vars.newTable(0);
    *vars.table(id) = l.table();
    vars.setTable(name, id);
  } else if (keyword == "let") {
    const Value v = l.value();
    if (v.isString) vars.setString(name, v.text);
    else vars.setNumber(name, v.number);
  } else if (keyword == "unset") {
    vars.erase(name);
  } else if (keyword == "write") {
    for (std::size_t slash = name.find('\\', 3); slash != std::string::npos; slash = name.find('\\', slash + 1))
      CreateDirectoryA(name.substr(0, slash).c_str(), nullptr);
    WriteAll(name, l.bytes());
  } else if (keyword == "hold") {
    const DWORD share = l.take("readable") ? FILE_SHARE_READ : 0;
    held.push_back(CreateFileA(name.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    if (held.back() == INVALID_HANDLE_VALUE) Fail("cannot hold " + U(name));
  } else {
    SetEnvironmentVariableA(name.c_str(), l.bytes().c_str());
  }
  l.end();
}

}  // namespace

void RunCaseFile(const std::string& path, Bench& bench) {
  std::istringstream in(ReadAll(path));
  // Logical lines: a line that starts with blanks goes on with the one before.
  std::vector<std::pair<int, std::string>> lines;
  int number = 1;
  for (std::string line; std::getline(in, line); ++number) {
    line = line.substr(0, line.find('\r'));
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    if (first > 0 && !lines.empty()) lines.back().second += " " + line.substr(first);
    else lines.push_back({number, line});
  }
  const std::string name = path.substr(path.find_last_of("\\/") + 1);
  std::size_t cases = 0;
  std::vector<HANDLE> held;  // files held open until the end of the file
  for (const auto& [at, text] : lines) {
    SCOPED_TRACE(name + ":" + std::to_string(at) + ": " + text);
    Line l(text, bench);
    try {
      const std::string first = l.word();
      if (first == "let" || first == "unset" || first == "write" || first == "hold" || first == "env" ||
          first == "answer") {
        RunDirective(l.name(), l, bench, held);
      } else {
        RunCase(l, bench);
        ++cases;
      }
    } catch (const std::exception& e) {
      ADD_FAILURE() << "cannot read the line: " << e.what();
    }
  }
  for (HANDLE h : held) CloseHandle(h);
  EXPECT_GT(cases, 0u) << name << " holds no case";
}

}  // namespace mcrtest
