#include "calls.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <stdexcept>
#include <sstream>

namespace mcrtest {

namespace {

struct Token {
  enum Kind { Text, Number, Name, Mark, End } kind = End;
  std::string text;  // Text: ANSI bytes; Name and Mark: as written
  double number = 0;
};

// One logical line as tokens; error gets what could not be read.
std::vector<Token> Tokens(const std::string& line, std::string* error) {
  std::vector<Token> out;
  for (std::size_t i = 0; i < line.size();) {
    const unsigned char c = line[i];
    if (std::isspace(c)) {
      ++i;
    } else if (c == '"') {
      std::string utf8;
      for (++i;; ++i) {
        if (i >= line.size()) return *error = "a text without its closing quote", out;
        if (line[i] == '"' && (i + 1 >= line.size() || line[i + 1] != '"')) break;
        if (line[i] == '"') ++i;
        utf8 += line[i];
      }
      ++i;
      out.push_back({Token::Text, A(utf8)});
    } else if (c == '<') {
      std::size_t end = line.find('>', i);
      if (end == std::string::npos) return *error = "bytes without their closing >", out;
      std::string hex = line.substr(i + 1, end - i - 1), bytes;
      if (hex.size() % 2 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return *error = "bytes must be pairs of hexadecimal digits: <" + hex + ">", out;
      for (std::size_t k = 0; k < hex.size(); k += 2) bytes += static_cast<char>(std::stoi(hex.substr(k, 2), nullptr, 16));
      out.push_back({Token::Text, bytes});
      i = end + 1;
    } else if (std::isdigit(c) || (c == '-' && i + 1 < line.size() && (std::isdigit((unsigned char)line[i + 1]) ||
                                                                      line[i + 1] == '.' || line[i + 1] == 'i'))) {
      char* end = nullptr;
      double v = std::strtod(line.c_str() + i, &end);
      if (end == line.c_str() + i) return *error = "an unreadable number", out;
      out.push_back({Token::Number, "", v});
      i = static_cast<std::size_t>(end - line.c_str());
    } else if (std::isalpha(c) || c == '_') {
      std::size_t end = i;
      while (end < line.size() && (std::isalnum((unsigned char)line[end]) || line[end] == '_' || line[end] == '$')) ++end;
      std::string name = line.substr(i, end - i);
      if (name == "nan") out.push_back({Token::Number, "", std::nan("")});
      else if (name == "inf") out.push_back({Token::Number, "", HUGE_VAL});
      else if (name == "CRLF") out.push_back({Token::Text, "\r\n"});
      else if (name == "TAB") out.push_back({Token::Text, "\t"});
      else if (name == "LF") out.push_back({Token::Text, "\n"});
      else out.push_back({Token::Name, name});
      i = end;
    } else if (line.compare(i, 2, "=>") == 0) {
      out.push_back({Token::Mark, "=>"});
      i += 2;
    } else if (std::strchr(",()[]=+*~#", c)) {
      out.push_back({Token::Mark, std::string(1, static_cast<char>(c))});
      ++i;
    } else {
      return *error = std::string("an unexpected character '") + static_cast<char>(c) + "'", out;
    }
  }
  out.push_back({});
  return out;
}

// What a case expects, besides the status.
struct Expected {
  std::optional<std::uint16_t> status;
  std::optional<mcrhost::Value> result;
  std::optional<std::string> error;  // ANSI
  int errorLike = 0;                 // error ID(*): that catalogue text, whatever fills its places
  std::vector<std::string> shown;
  std::vector<std::string> others;  // "KIND TEXT" of texts of other kinds (9: a status text)
  struct Var { std::string name; std::optional<mcrhost::Var> value; std::vector<double> table; bool anyCase = false; };
  std::vector<Var> vars;
  struct File { std::string path; enum { Bytes, Missing, Unchanged, Adds } what; std::string bytes;
                 std::vector<std::string> lines; };
  std::vector<File> files;
  struct Reg { HKEY root; std::string key, name; DWORD type = REG_NONE; std::string bytes; };
  std::vector<Reg> regs;
};

class Line {
 public:
  Line(std::vector<Token> tokens, const Bench& bench) : t_(std::move(tokens)), bench_(bench) {}
  const Token& peek() const { return t_[at_]; }
  bool is(const char* mark) const { return peek().kind != Token::Text && peek().text == mark; }
  bool take(const char* mark) {
    if (!is(mark)) return false;
    ++at_;
    return true;
  }
  void need(const char* mark) {
    if (!take(mark)) fail(std::string("'") + mark + "' expected");
  }
  std::string name() {
    if (peek().kind != Token::Name) fail("a name expected");
    return t_[at_++].text;
  }
  double number() {
    if (peek().kind != Token::Number) fail("a number expected");
    return t_[at_++].number;
  }
  // "a" + "b" * 3 + <00> + CRLF, the bench's places expanded.
  std::string bytes() {
    std::string out;
    do {
      if (peek().kind != Token::Text) fail("a text expected");
      std::string part = bench_.Expand(t_[at_++].text);
      std::size_t times = 1;
      if (take("*")) times = static_cast<std::size_t>(number());
      for (std::size_t k = 0; k < times; ++k) out += part;
    } while (take("+"));
    return out;
  }
  bool atText() const { return peek().kind == Token::Text; }
  void back() { --at_; }
  bool atNumber() const { return peek().kind == Token::Number; }
  void end() {
    if (peek().kind != Token::End) fail("unexpected '" + peek().text + "' at the end");
  }
  [[noreturn]] void fail(const std::string& why) { throw std::runtime_error(why); }

  // A value: a text, a number, or [n, n] (a table; table gets its numbers).
  mcrhost::Value value(std::vector<double>* table = nullptr) {
    if (table && take("[")) {
      while (!take("]")) {
        table->push_back(number());
        take(",");
      }
      return mcrhost::Value::Num(0);
    }
    return atText() ? mcrhost::Value::Str(bytes()) : mcrhost::Value::Num(number());
  }

  std::vector<std::string> inserts() {
    std::vector<std::string> out;
    if (!take("(")) return out;
    while (!take(")")) {
      if (take("#")) out.push_back(A(Label(static_cast<int>(number()))));
      else if (atText()) out.push_back(bytes());
      else out.push_back(std::to_string(static_cast<long long>(number())));
      if (!is(")")) need(",");
    }
    return out;
  }

 private:
  std::vector<Token> t_;
  std::size_t at_ = 0;
  const Bench& bench_;
};

std::pair<HKEY, std::string> RegKey(const std::string& key) {
  if (key.rfind("HKLM\\", 0) == 0) return {HKEY_LOCAL_MACHINE, key.substr(5)};
  if (key.rfind("HKCU\\", 0) == 0) return {HKEY_CURRENT_USER, key.substr(5)};
  throw std::runtime_error("a registry key starts with HKCU\\ or HKLM\\");
}

DWORD RegType(const std::string& name) {
  static const std::pair<const char*, DWORD> types[] = {{"REG_SZ", REG_SZ}, {"REG_EXPAND_SZ", REG_EXPAND_SZ},
      {"REG_MULTI_SZ", REG_MULTI_SZ}, {"REG_DWORD", REG_DWORD}, {"REG_QWORD", REG_QWORD}, {"REG_BINARY", REG_BINARY}};
  for (const auto& [n, t] : types)
    if (name == n) return t;
  throw std::runtime_error("an unknown registry type " + name);
}

Expected Expectations(Line& l) {
  Expected e;
  do {
    if (l.take("=")) {
      e.result = l.value();
      continue;
    }
    const std::string word = l.name();
    if (word == "status") {
      e.status = static_cast<std::uint16_t>(l.number());
    } else if (word == "error" || word == "shown") {
      std::string text;  // error "" is an empty text
      if (l.atText()) {
        text = l.bytes();
      } else {
        int id = static_cast<int>(l.number());
        if (word == "error" && l.take("(")) {
          if (l.take("*")) {
            l.need(")");
            e.errorLike = id;
            continue;
          }
          l.back();
        }
        text = MsgWith(id, l.inserts());
      }
      if (word == "error") e.error = text;
      else e.shown.push_back(text);
    } else if (word == "kind") {
      std::string kind = std::to_string(static_cast<int>(l.number()));
      e.others.push_back(kind + " " + U(l.bytes()));
    } else if (word == "file") {
      Expected::File f{l.bytes(), Expected::File::Bytes, "", {}};
      if (l.take("=")) {
        f.bytes = l.bytes();
      } else if (const std::string how = l.name(); how == "adds") {
        f.what = Expected::File::Adds;
        for (l.need("["); !l.take("]"); l.take(",")) f.lines.push_back(l.bytes());
      } else {
        f.what = how == "missing" ? Expected::File::Missing : Expected::File::Unchanged;
      }
      e.files.push_back(f);
    } else if (word == "reg") {
      auto [root, key] = RegKey(l.bytes());
      Expected::Reg r{root, key, l.atText() ? l.bytes() : l.name(), REG_NONE, ""};
      if (l.take("=")) {
        r.type = RegType(l.name());
        r.bytes = l.bytes();
      } else if (l.name() != "missing") {
        l.fail("reg KEY NAME = TYPE BYTES or reg KEY NAME missing");
      }
      e.regs.push_back(r);
    } else {
      Expected::Var v{word, std::nullopt, {}};
      v.anyCase = l.is("like");
      if (v.anyCase || l.take("=")) {
        if (v.anyCase) l.name();
        const bool table = l.is("[");
        mcrhost::Value value = l.value(&v.table);
        mcrhost::Var var;
        var.type = table ? mcrhost::Var::Type::Table
                   : value.isString ? mcrhost::Var::Type::String : mcrhost::Var::Type::Number;
        var.text = value.text;
        var.number = value.number;
        v.value = var;
      } else if (l.name() != "missing") {
        l.fail("NAME = VALUE or NAME missing");
      }
      e.vars.push_back(v);
    }
  } while (l.take(","));
  l.end();
  return e;
}

// A number to its last bit (a float's smallest normal value is no 0).
std::string Exact(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string Shown(const mcrhost::Value& v) { return v.isString ? "\"" + U(v.text) + "\"" : Exact(v.number); }

// A variable as a line of text, to compare and to show.
std::string Described(const mcrhost::Var& v, const std::vector<double>& table, bool anyCase) {
  using Type = mcrhost::Var::Type;
  if (v.type == Type::Number) return "number " + Exact(v.number);
  if (v.type == Type::String) return "text \"" + U(anyCase ? mcrhost::VarStore::Key(v.text) : v.text) + "\"";
  std::string out = "table [";
  for (double d : table) out += (out.back() == '[' ? "" : ", ") + Exact(d);
  return out + "]";
}
std::string Described(const mcrhost::Var& v, const mcrhost::VarStore& vars, bool anyCase) {
  const std::vector<double>* table = v.type == mcrhost::Var::Type::Table ? vars.table(v.table) : nullptr;
  return Described(v, table ? *table : std::vector<double>{}, anyCase);
}

std::string RegBytes(HKEY root, const std::string& key, const std::string& name, DWORD* type) {
  BYTE data[4096];
  DWORD size = sizeof data;
  *type = REG_NONE;
  if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, type, data, &size)) return "";
  return std::string(reinterpret_cast<char*>(data), size);
}

// A line the call added matches its pattern when it starts with it, each *
// standing for any run of characters.
bool Matches(const char* pattern, const char* text) {
  if (!*pattern) return true;
  if (*pattern == '*') return Matches(pattern + 1, text) || (*text && Matches(pattern, text + 1));
  return *text == *pattern && Matches(pattern + 1, text + 1);
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "  " + U(line) + "\n";
  return out;
}

// One call and its checks.
void RunCase(Line& l, Bench& bench) {
  const std::string word = l.name();
  const mcrhost::Word* w = bench.host().find(word);
  if (!w) l.fail("no word " + word);
  std::vector<Arg> args;
  if (!l.is("=>")) {
    do {
      if (l.take("~")) args.push_back(Omit());
      else if (l.peek().kind == Token::Name) args.push_back(Value::Str(l.name()));
      else args.push_back(l.value());
      // A text for a number parameter is read as a number ("{H}", "{P}").
      const std::size_t at = args.size() - 1;
      if (args[at] && args[at]->isString && at < w->kinds.size() && w->kinds[at] == mcr::kKindNumber)
        args[at] = Value::Num(std::strtod(args[at]->text.c_str(), nullptr));
    } while (l.take(","));
  }
  l.need("=>");
  Expected e = l.peek().kind == Token::End ? Expected{} : Expectations(l);

  std::vector<Snapshot> before;
  std::vector<std::size_t> sizes;  // of the files whose added lines are expected
  for (const Expected::File& f : e.files) {
    if (f.what == Expected::File::Unchanged) before.push_back(Snap(f.path));
    if (f.what == Expected::File::Adds) sizes.push_back(ReadAll(f.path).size());
  }
  bench.host().clearShown();
  Outcome o = bench.host().call(*w, args);
  bench.EndStatement();

  EXPECT_EQ(o.status, e.status.value_or(e.error || e.errorLike ? 1 : 0)) << "status";
  if (e.errorLike)
    EXPECT_TRUE(o.error() && std::regex_match(*o.error(), TextPattern(A(CatalogueText(e.errorLike)))))
        << "message " << e.errorLike << " expected, not " << (o.error() ? U(*o.error()) : "<nothing raised>");
  else
    EXPECT_EQ(o.error() ? U(*o.error()) : "<nothing raised>", e.error ? U(*e.error) : "<nothing raised>");
  std::vector<std::string> shown, others;
  for (const mcrhost::Raised& r : o.raised) {
    if (r.kind == mcr::kRaiseMessage) shown.push_back(U(r.text));
    else if (r.kind != mcr::kRaiseError) others.push_back(std::to_string(r.kind) + " " + U(r.text));
  }
  EXPECT_EQ(others, e.others) << "texts of other kinds";
  for (const std::string& s : bench.host().shown()) shown.push_back(U(s));
  for (const DialogWatchdog::Seen& d : bench.Dialogs()) shown.push_back(U(d.text));
  std::vector<std::string> wanted;
  for (const std::string& s : e.shown) wanted.push_back(U(s));
  EXPECT_EQ(shown, wanted) << "shown";
  if (e.result) {
    ASSERT_TRUE(o.result) << "no result";
    EXPECT_EQ(Shown(*o.result), Shown(*e.result)) << "result";
  }
  for (const Expected::Var& v : e.vars) {
    const mcrhost::Var* got = bench.host().vars().find(v.name);
    std::string have = got ? Described(*got, bench.host().vars(), v.anyCase) : "missing";
    std::string want = v.value ? Described(*v.value, v.table, v.anyCase) : "missing";
    EXPECT_EQ(have, want) << v.name;
  }
  std::size_t added = 0;
  for (const Expected::File& f : e.files) {
    if (f.what == Expected::File::Adds) {
      std::istringstream in(ReadAll(f.path).substr(std::min(sizes[added++], ReadAll(f.path).size())));
      std::vector<std::string> lines;
      for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
      bool same = lines.size() == f.lines.size();
      for (std::size_t i = 0; same && i < lines.size(); ++i) same = Matches(f.lines[i].c_str(), lines[i].c_str());
      EXPECT_TRUE(same) << U(f.path) << " got the lines\n" << Joined(lines) << "where these were expected\n"
                        << Joined(f.lines);
      continue;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(f.path.c_str(), &found);  // a pattern may stand for the path
    const bool exists = search != INVALID_HANDLE_VALUE;
    if (exists) FindClose(search);
    if (f.what == Expected::File::Missing) {
      EXPECT_FALSE(exists) << U(f.path) << " should not exist";
    } else if (f.what == Expected::File::Bytes) {
      EXPECT_EQ(U(ReadAll(f.path)), U(f.bytes)) << U(f.path);
    }
  }
  for (const Snapshot& s : before) ExpectUnchanged(s);
  for (const Expected::Reg& r : e.regs) {
    DWORD type;
    std::string bytes = RegBytes(r.root, r.key, r.name, &type);
    EXPECT_EQ(type, r.type) << r.key << " " << r.name;
    EXPECT_EQ(bytes, r.bytes) << r.key << " " << r.name;
  }
}

// Files held open without sharing until the end of the case file.
struct Held {
  std::vector<HANDLE> handles;
  ~Held() {
    for (HANDLE h : handles) CloseHandle(h);
  }
};

void RunDirective(const std::string& keyword, Line& l, Bench& bench, Held& held) {
  mcrhost::VarStore& vars = bench.host().vars();
  if (keyword == "let") {
    std::string name = l.name();
    l.need("=");
    std::vector<double> table;
    const bool isTable = l.is("[");
    mcrhost::Value v = l.value(&table);
    if (isTable) {
      std::uint32_t id = vars.newTable(table.size());
      *vars.table(id) = table;
      vars.setTable(name, id);
    } else if (v.isString) {
      vars.setString(name, v.text);
    } else {
      vars.setNumber(name, v.number);
    }
  } else if (keyword == "unset") {
    vars.erase(l.name());
  } else if (keyword == "write") {
    std::string path = l.bytes();
    l.need("=");
    std::string bytes = l.bytes();
    for (std::size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
      CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    WriteAll(path, bytes);
  } else if (keyword == "hold") {
    std::string path = l.bytes();
    const DWORD share = l.peek().kind == Token::Name && l.name() == "readable" ? FILE_SHARE_READ : 0;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) l.fail("cannot hold " + U(path));
    held.handles.push_back(h);
  } else if (keyword == "env") {
    std::string name = l.name();
    l.need("=");
    SetEnvironmentVariableA(name.c_str(), l.bytes().c_str());
  } else if (keyword == "answer") {
    static const std::pair<const char*, int> ids[] = {{"IDOK", IDOK}, {"IDCANCEL", IDCANCEL}, {"IDYES", IDYES},
                                                      {"IDNO", IDNO}, {"IDRETRY", IDRETRY}};
    int id = l.atNumber() ? static_cast<int>(l.number()) : 0;
    if (!id) {
      const std::string n = l.name();
      for (const auto& [name, value] : ids)
        if (n == name) id = value;
    }
    if (!id) l.fail("answer IDOK, IDCANCEL, IDYES, IDNO, IDRETRY or a number");
    bench.Answer(id);
  }
  l.end();
}

}  // namespace

void RunCaseFile(const std::string& path, Bench& bench) {
  std::istringstream in(ReadAll(path));
  // Logical lines: a line that starts with blanks goes on with the one before.
  std::vector<std::pair<int, std::string>> lines;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    if (first > 0 && !lines.empty()) lines.back().second += " " + line.substr(first);
    else lines.push_back({number, line});
  }
  const std::string name = path.substr(path.find_last_of("\\/") + 1);
  std::size_t cases = 0;
  Held held;
  for (const auto& [at, text] : lines) {
    SCOPED_TRACE(name + ":" + std::to_string(at) + ": " + text);
    std::string error;
    std::vector<Token> tokens = Tokens(text, &error);
    if (!error.empty()) {
      ADD_FAILURE() << "cannot read the line: " << error;
      continue;
    }
    static const std::set<std::string> directives = {"let", "unset", "write", "hold", "env", "answer"};
    const bool directive = tokens[0].kind == Token::Name && directives.count(tokens[0].text);
    Line l(std::move(tokens), bench);
    try {
      if (directive) {
        RunDirective(l.name(), l, bench, held);
      } else {
        RunCase(l, bench);
        ++cases;
      }
    } catch (const std::exception& e) {
      ADD_FAILURE() << "cannot read the line: " << e.what();
    }
  }
  EXPECT_GT(cases, 0u) << name << " holds no case";
}

}  // namespace mcrtest
