// Lexer and recursive-descent parser of the macro language. A whole source
// is parsed before anything runs, so a syntax error anywhere stops a macro
// before its first statement.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "ast.h"
#include "check.h"

namespace mcrlang {

std::string Identity(const std::string& text) { return text; }
bool IdentityToAnsi(const std::string& utf8, std::string* ansi) {
  *ansi = utf8;
  return true;
}

namespace {

using mcrhost::IsSjisLead;
bool IsSjisTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The length of the well-formed UTF-8 character at s[i], 0 when there is none.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  std::size_t n = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

std::string Hex(unsigned char c) {
  char b[8];
  std::snprintf(b, sizeof b, "0x%02X", c);
  return b;
}

}  // namespace

Encoding SourceEncoding(std::string_view s) {
  if (s.substr(0, 3) == "\xEF\xBB\xBF") return Encoding::Utf8;
  // Shift-JIS text leaves a malformed byte at nearly every character and
  // makes a sequence of three or four well-formed bytes only by chance.
  std::size_t wide = 0, malformed = 0;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t n = Utf8Length(s, i);
    if (n == 0) ++malformed;
    if (n >= 3) ++wide;
    i += n ? n : 1;
  }
  return malformed == 0 || wide > malformed ? Encoding::Utf8 : Encoding::ShiftJis;
}

namespace {

struct Token {
  enum class Type { Number, String, Ident, Op, Newline, End } type;
  int line;
  std::string text;  // identifier, operator, or the ANSI contents of a string
  double number = 0;
  int column = 0;
};

struct SyntaxError {
  int line;
  std::string message;
  bool incomplete;
  int column;
};

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Lower-cased copy for keyword comparisons.
std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

class Lexer {
 public:
  Lexer(std::string_view src, int firstLine, Encoding encoding, const Codec& codec)
      : s_(src), line_(firstLine), sjis_(encoding == Encoding::ShiftJis), codec_(codec) {
    if (!sjis_ && s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = lineStart_ = columnAt_ = 3;
  }

  std::vector<Token> run() {
    std::vector<Token> out;
    while (true) {
      skipBlanks();
      if (pos_ >= s_.size()) break;
      char c = s_[pos_];
      std::size_t before = out.size();
      int column = this->column();
      if (c == '\'') {
        skipComment();
      } else if (c == '\n') {
        out.push_back({Token::Type::Newline, line_, "", 0});
        ++line_;
        lineStart_ = ++pos_;
      } else if (c == '_' && (pos_ + 1 >= s_.size() || !IsIdentChar(s_[pos_ + 1]))) {
        continuation();
      } else if (IsIdentStart(c)) {
        std::size_t start = pos_;
        while (pos_ < s_.size() && IsIdentChar(s_[pos_])) ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '$') ++pos_;
        out.push_back({Token::Type::Ident, line_, std::string(s_.substr(start, pos_ - start)), 0});
      } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                 (c == '.' && pos_ + 1 < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_ + 1])))) {
        out.push_back(number());
      } else if (c == '"') {
        out.push_back(string());
      } else {
        out.push_back(op());
      }
      if (out.size() > before) out.back().column = column;
    }
    out.push_back({Token::Type::End, line_, "", 0, column()});
    return out;
  }

 private:
  [[noreturn]] void fail(const std::string& message, bool incomplete = false) {
    throw SyntaxError{line_, message, incomplete, column()};
  }

  // In characters: a double-byte Shift-JIS character, or a UTF-8 one of any
  // length, is one column. Counted on from the last column asked for, as
  // tokens come in order.
  int column() {
    if (columnAt_ < lineStart_ || columnAt_ > pos_) {
      columnAt_ = lineStart_;
      columns_ = 1;
    }
    while (columnAt_ < pos_) {
      auto c = static_cast<unsigned char>(s_[columnAt_]);
      columnAt_ += sjis_ && IsSjisLead(c) && columnAt_ + 1 < pos_ ? 2 : 1;
      if (sjis_ || (c & 0xC0) != 0x80) ++columns_;
    }
    return columns_;
  }

  void skipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r')) ++pos_;
  }
  void skipComment() {
    while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
  }

  // A lone "_" at the end of a line (a comment may follow) joins the next line.
  void continuation() {
    ++pos_;
    skipBlanks();
    if (pos_ < s_.size() && s_[pos_] == '\'') skipComment();
    if (pos_ >= s_.size()) fail("the source ends after a continuation _", true);
    if (s_[pos_] != '\n') fail("_ continues a line only at its end");
    lineStart_ = ++pos_;
    ++line_;
  }

  Token number() {
    std::size_t start = pos_;
    while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      std::size_t mark = pos_++;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) {
        while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
      } else {
        pos_ = mark;  // "2e" is the number 2 followed by a name
      }
    }
    if (pos_ < s_.size() && (IsIdentChar(s_[pos_]) || s_[pos_] == '$'))
      fail("a number runs into a name: " + std::string(s_.substr(start, pos_ + 1 - start)));
    std::string text(s_.substr(start, pos_ - start));
    return {Token::Type::Number, line_, text, std::strtod(text.c_str(), nullptr)};
  }

  // The contents in the ANSI code page: a Shift-JIS source's bytes as they
  // are (a trail byte such as the 0x5C of 表 is part of its character), a
  // UTF-8 source's converted character by character.
  Token string() {
    int line = line_;
    std::string text;
    ++pos_;
    std::size_t start = pos_;
    while (true) {
      if (pos_ >= s_.size() || s_[pos_] == '\n' || s_[pos_] == '\r') fail("a string is not closed with \"");
      const auto c = static_cast<unsigned char>(s_[pos_]);
      if (c == '"') {
        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '"') {
          text += '"';
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      if (c == '\0') fail("a string holds a NUL character");
      std::size_t n = c < 0x80 ? 1 : sjis_ ? sjisLength() : Utf8Length(s_, pos_);
      if (n == 0) fail(malformed());
      text.append(s_.substr(pos_, n));
      pos_ += n;
    }
    if (sjis_) return {Token::Type::String, line, text, 0};
    std::string ansi;
    if (!codec_.toAnsi(text, &ansi)) {
      // Name the first character that has no code, where it stands.
      const std::size_t end = pos_;
      for (std::size_t at = start, n; at < end; at += n) {
        n = Utf8Length(s_, at);
        std::string one(s_.substr(at, n)), converted;
        if (codec_.toAnsi(one, &converted)) continue;
        pos_ = at;
        fail("the character \"" + one + "\" has no Shift-JIS code, so no word could receive it");
      }
    }
    return {Token::Type::String, line, ansi, 0};
  }

  std::size_t sjisLength() const {
    const auto c = static_cast<unsigned char>(s_[pos_]);
    if (c >= 0xA1 && c <= 0xDF) return 1;  // half-width katakana
    if (!IsSjisLead(c) || pos_ + 1 >= s_.size()) return 0;
    return IsSjisTrail(static_cast<unsigned char>(s_[pos_ + 1])) ? 2 : 0;
  }
  std::string malformed() const {
    const auto c = static_cast<unsigned char>(s_[pos_]);
    if (!sjis_) return "byte " + Hex(c) + " is no UTF-8 character (the file is read as UTF-8: save it in one encoding)";
    const bool pair = IsSjisLead(c) && pos_ + 1 < s_.size();
    return (pair ? "bytes " + Hex(c) + " " + Hex(static_cast<unsigned char>(s_[pos_ + 1])) + " are" : "byte " + Hex(c) + " is") +
           " no Shift-JIS character (the file is read as Shift-JIS, as it is not UTF-8)";
  }

  Token op() {
    static const char* const kTwo[] = {"<>", "<=", ">="};
    for (const char* t : kTwo)
      if (s_.substr(pos_, 2) == t) {
        pos_ += 2;
        return {Token::Type::Op, line_, t, 0};
      }
    char c = s_[pos_];
    if (std::strchr("+-*/&=<>()[],", c) && c != '\0') {
      ++pos_;
      return {Token::Type::Op, line_, std::string(1, c), 0};
    }
    if (static_cast<unsigned char>(c) >= 0x80)
      fail("text outside quotes must be plain ASCII (put it in \"...\" or after ')");
    char shown[8];
    std::snprintf(shown, sizeof shown, std::isprint(static_cast<unsigned char>(c)) ? "%c" : "\\x%02X",
                  static_cast<unsigned char>(c));
    fail(std::string("unexpected character ") + shown + Operator(c));
  }

  // What a writer used to other languages may have meant by c.
  static std::string Operator(char c) {
    switch (c) {
      case '!': return " (not equal is written <>, not is a word)";
      case '^': return " (there is no power operator: multiply)";
      case '%': return " (there is no remainder operator)";
      case ';': return " (print separates its values with commas)";
      case ':': return " (one statement a line)";
      default: return "";
    }
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  std::size_t lineStart_ = 0;
  int line_;
  bool sjis_;
  const Codec& codec_;
  std::size_t columnAt_ = 0;  // where columns_ was counted to
  int columns_ = 1;
};

const char* const kKeywords[] = {"print", "if",   "then", "elseif", "else", "endif", "while",
                                 "wend",  "exit", "dim",  "wait",   "and",  "or",    "not"};

}  // namespace

const std::vector<std::string>& Keywords() {
  static const std::vector<std::string> keywords(std::begin(kKeywords), std::end(kKeywords));
  return keywords;
}

std::string Instead(std::string_view statement) {
  static const struct {
    const char* names;  // blank-separated
    const char* instead;
  } kForeign[] = {
      {"for next step", "count with a variable of your own: i = 1, then while i <= n ... i = i + 1 ... wend"},
      {"goto gosub return", "there are no jumps: branch with if ... endif, repeat with while ... wend"},
      {"end", "blocks end with endif and wend, one word each; exit ends the macro"},
      {"endwhile loop do until", "a loop is while condition ... wend"},
      {"select case", "choose with if ... elseif ... else ... endif"},
      {"let", "assign without it: name = value"},
      {"rem", "a comment starts with '"},
      {"sub function call", "a macro has no procedures of its own: it runs from its first line"},
  };
  const std::string key = " " + Lower(statement) + " ";
  for (const auto& f : kForeign)
    if ((" " + std::string(f.names) + " ").find(key) != std::string::npos) return f.instead;
  return "";
}

namespace {

bool IsKeyword(const std::string& word) {
  std::string w = Lower(word);
  for (const char* k : kKeywords)
    if (w == k) return true;
  return false;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

  Block program() {
    Block block = statements(nullptr);
    if (!at(Token::Type::End)) {
      const char* opener = atWord("wend") ? "while" : "if";
      blockError(peek().text + " without an open " + opener, opener, 0);
    }
    return block;
  }

 private:
  [[noreturn]] void fail(const Token& at, const std::string& message, bool incomplete = false) {
    throw SyntaxError{at.line, message, incomplete, at.column};
  }

  // A block that does not close is most often a misspelt keyword earlier
  // on (whlie, endfi), which parsed as a command: name it where it stands.
  [[noreturn]] void blockError(const std::string& message, const char* keyword, std::size_t since,
                               bool incomplete = false) {
    for (auto it = suspects_.rbegin(); it != suspects_.rend(); ++it)
      if (it->keyword == keyword && it->token >= since)
        fail(t_[it->token], t_[it->token].text + " is no statement; did you mean " + keyword + "? (" + message + ")");
    fail(peek(), message, incomplete);
  }
  struct Suspect {
    std::size_t token;
    std::string keyword;
  };
  std::vector<Suspect> suspects_;

  const Token& peek(std::size_t ahead = 0) const {
    std::size_t i = pos_ + ahead;
    return t_[i < t_.size() ? i : t_.size() - 1];
  }
  const Token& next() {
    const Token& tok = peek();
    if (pos_ < t_.size() - 1) ++pos_;
    return tok;
  }
  bool at(Token::Type type) const { return peek().type == type; }
  bool atOp(const char* op) const { return at(Token::Type::Op) && peek().text == op; }
  bool atWord(const char* keyword) const {
    return at(Token::Type::Ident) && Lower(peek().text) == keyword;
  }
  bool atLineEnd() const { return at(Token::Type::Newline) || at(Token::Type::End); }

  void expectOp(const char* op, const char* context) {
    if (!atOp(op)) fail(peek(), std::string("expected ") + op + " " + context + Found());
    next();
  }
  void expectLineEnd(const char* after) {
    if (!atLineEnd()) fail(peek(), std::string("expected the end of the line after ") + after + Found());
    if (at(Token::Type::Newline)) next();
  }
  std::string Found() const {
    switch (peek().type) {
      case Token::Type::End: return ", found the end of the source";
      case Token::Type::Newline: return ", found the end of the line";
      case Token::Type::String: return ", found a string";
      default: return ", found \"" + peek().text + "\"";
    }
  }

  // Statements up to one of the terminators (or the end of the source when
  // terminators is null).
  Block statements(const char* const* terminators) {
    Block block;
    while (true) {
      if (at(Token::Type::Newline)) {
        next();
        continue;
      }
      if (at(Token::Type::End)) return block;
      if (terminators)
        for (const char* const* t = terminators; *t; ++t)
          if (atWord(*t)) return block;
      if (atWord("elseif") || atWord("else") || atWord("endif") || atWord("wend")) {
        if (!terminators) return block;
        blockError("\"" + peek().text + "\" does not close the block that is open here",
                   atWord("wend") ? "while" : "if", 0);
      }
      block.push_back(statement());
    }
  }

  Stmt statement() {
    const std::size_t start = pos_;
    const Token& first = peek();
    if (first.type != Token::Type::Ident)
      fail(first, "a statement starts with a name or a keyword" + Found());
    Stmt s{};
    s.line = first.line;
    s.column = first.column;
    std::string word = Lower(first.text);
    if (word == "print") {
      next();
      s.kind = Stmt::Kind::Print;
      if (!atLineEnd()) {
        s.args.push_back(expression());
        while (atOp(",")) {
          next();
          s.args.push_back(expression());
        }
      }
      expectLineEnd("print's values");
    } else if (word == "if") {
      BlockDepth guard(*this);
      ifStatement(s);
    } else if (word == "while") {
      BlockDepth guard(*this);
      next();
      s.kind = Stmt::Kind::While;
      s.args.push_back(expression());
      expectLineEnd("the condition of while");
      static const char* const kEnd[] = {"wend", nullptr};
      s.blocks.push_back(statements(kEnd));
      closeBlock("wend", "while", start);
    } else if (word == "exit") {
      next();
      s.kind = Stmt::Kind::Exit;
      expectLineEnd("exit");
    } else if (word == "dim") {
      next();
      s.kind = Stmt::Kind::Dim;
      s.name = variableName("dim");
      expectOp("[", "after the table's name");
      s.index = expression();
      expectOp("]", "after the table's size");
      expectLineEnd("dim");
    } else if (word == "wait") {
      next();
      s.kind = Stmt::Kind::Wait;
      s.value = expression();
      expectLineEnd("wait's milliseconds");
    } else if (IsKeyword(first.text)) {
      fail(first, "\"" + first.text + "\" cannot start a statement");
    } else if (peek(1).type == Token::Type::Op && peek(1).text == "=") {
      s.kind = Stmt::Kind::Assign;
      s.name = next().text;
      next();
      s.value = expression();
      expectLineEnd("the assigned value");
    } else if (peek(1).type == Token::Type::Op && peek(1).text == "[") {
      s.kind = Stmt::Kind::AssignIndex;
      s.name = next().text;
      next();
      s.index = expression();
      expectOp("]", "after the index");
      expectOp("=", "to assign a table element");
      s.value = expression();
      expectLineEnd("the assigned value");
    } else {
      command(s, start);
    }
    return s;
  }

  void command(Stmt& s, std::size_t start) {
    static const std::vector<std::string> kBlockWords = {"if", "elseif", "else", "endif", "while", "wend"};
    s.kind = Stmt::Kind::Call;
    s.name = next().text;
    try {
      s.args = commandArguments();
      if (atWord("then"))
        fail(t_[start], s.name + " is no statement: then follows the condition of if or elseif" +
                            Suggestion(Nearest(s.name, {"if", "elseif"})));
      expectLineEnd("the arguments");
    } catch (const SyntaxError&) {
      // for i = 1 to 10, end if: a statement of other languages.
      std::string instead = Instead(s.name);
      if (instead.empty()) throw;
      fail(t_[start], s.name + " is no statement of this language: " + instead);
    }
    std::string near = Nearest(s.name, kBlockWords);
    if (!near.empty()) suspects_.push_back({start, near});
  }
  static std::string Suggestion(const std::string& near) { return near.empty() ? "" : "; did you mean " + near + "?"; }

  void ifStatement(Stmt& s) {
    const std::size_t start = pos_;
    s.kind = Stmt::Kind::If;
    static const char* const kEnd[] = {"elseif", "else", "endif", nullptr};
    next();
    while (true) {
      s.args.push_back(expression());
      if (!atWord("then")) fail(peek(), "expected then after the condition of if" + Found());
      next();
      expectLineEnd("then (an if block ends with endif)");
      s.blocks.push_back(statements(kEnd));
      if (atWord("elseif")) {
        next();
        continue;
      }
      if (atWord("else")) {
        next();
        if (atWord("if")) fail(peek(), "else if is written as one word here: elseif");
        expectLineEnd("else");
        static const char* const kEndOnly[] = {"endif", nullptr};
        s.blocks.push_back(statements(kEndOnly));
      }
      closeBlock("endif", "if", start);
      return;
    }
  }

  // opener: the token of the statement that opened the block.
  void closeBlock(const char* word, const char* opener, std::size_t openerToken) {
    if (!atWord(word))
      blockError(std::string("missing ") + word + " for the " + opener + " on line " +
                     std::to_string(t_[openerToken].line) + Found(),
                 word, openerToken, at(Token::Type::End));
    next();
    expectLineEnd(word);
  }

  std::string variableName(const char* context) {
    if (!at(Token::Type::Ident) || IsKeyword(peek().text))
      fail(peek(), std::string("expected a name after ") + context + Found());
    return next().text;
  }

  // WORD a, , c  or  WORD(a, , c) when the parentheses close the statement.
  std::vector<ExprPtr> commandArguments() {
    if (atOp("(")) {
      std::size_t mark = pos_;
      next();
      std::vector<ExprPtr> args = callArguments();
      if (atLineEnd()) return args;
      pos_ = mark;  // "(a) & b" and the like: the parenthesis belongs to the first argument
    }
    std::vector<ExprPtr> args;
    if (atLineEnd()) return args;
    while (true) {
      args.push_back(atOp(",") || atLineEnd() ? nullptr : expression());
      if (!atOp(",")) break;
      next();
    }
    return args;
  }

  // After "(": arguments up to and including ")".
  std::vector<ExprPtr> callArguments() {
    std::vector<ExprPtr> args;
    if (atOp(")")) {
      next();
      return args;
    }
    while (true) {
      args.push_back(atOp(",") || atOp(")") ? nullptr : expression());
      if (atOp(",")) {
        next();
        continue;
      }
      expectOp(")", "to close the arguments");
      return args;
    }
  }

  ExprPtr node(Expr::Kind kind, const Token& at) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->line = at.line;
    e->column = at.column;
    return e;
  }
  // Operator chains grow the tree without recursion in the parser; bounding
  // the tree's depth keeps evaluating and freeing it off the stack's limits.
  ExprPtr binary(Op op, ExprPtr left, ExprPtr right, int line) {
    int depth = 1 + std::max(Height(*left), Height(*right));
    if (depth > kMaxHeight) fail(peek(), "the expression is too long");
    ExprPtr e = node(Expr::Kind::Binary, peek());
    e->line = line;
    e->column = left->column;
    e->height = depth;
    e->op = op;
    e->args.push_back(std::move(left));
    e->args.push_back(std::move(right));
    return e;
  }

  struct Depth {
    explicit Depth(Parser& p) : p_(p) {
      if (++p_.depth_ > kMaxDepth) p_.fail(p_.peek(), "the expression is nested too deeply");
    }
    ~Depth() { --p_.depth_; }
    Parser& p_;
  };
  static constexpr int kMaxDepth = 200;
  struct BlockDepth {
    explicit BlockDepth(Parser& p) : p_(p) {
      if (++p_.blocks_ > kMaxBlocks) p_.fail(p_.peek(), "blocks are nested too deeply");
    }
    ~BlockDepth() { --p_.blocks_; }
    Parser& p_;
  };
  static constexpr int kMaxBlocks = 100;
  static constexpr int kMaxHeight = 1000;
  static int Height(const Expr& e) { return e.height; }

  ExprPtr expression() {
    Depth guard(*this);
    ExprPtr left = andExpr();
    while (atWord("or")) {
      int line = next().line;
      left = binary(Op::Or, std::move(left), andExpr(), line);
    }
    return left;
  }
  ExprPtr andExpr() {
    ExprPtr left = notExpr();
    while (atWord("and")) {
      int line = next().line;
      left = binary(Op::And, std::move(left), notExpr(), line);
    }
    return left;
  }
  ExprPtr notExpr() {
    if (atWord("not")) {
      Depth guard(*this);
      ExprPtr e = node(Expr::Kind::Unary, next());
      e->op = Op::Not;
      e->args.push_back(notExpr());
      e->height = 1 + Height(*e->args[0]);
      return e;
    }
    return comparison();
  }
  ExprPtr comparison() {
    static const struct { const char* text; Op op; } kOps[] = {
        {"=", Op::Eq}, {"<>", Op::Ne}, {"<", Op::Lt}, {">", Op::Gt}, {"<=", Op::Le}, {">=", Op::Ge}};
    ExprPtr left = concat();
    while (at(Token::Type::Op)) {
      const Op* found = nullptr;
      for (const auto& o : kOps)
        if (peek().text == o.text) found = &o.op;
      if (!found) break;
      Op op = *found;
      int line = next().line;
      left = binary(op, std::move(left), concat(), line);
    }
    return left;
  }
  ExprPtr concat() {
    ExprPtr left = sum();
    while (atOp("&")) {
      int line = next().line;
      left = binary(Op::Concat, std::move(left), sum(), line);
    }
    return left;
  }
  ExprPtr sum() {
    ExprPtr left = product();
    while (atOp("+") || atOp("-")) {
      Op op = peek().text == "+" ? Op::Add : Op::Sub;
      int line = next().line;
      left = binary(op, std::move(left), product(), line);
    }
    return left;
  }
  ExprPtr product() {
    ExprPtr left = unary();
    while (atOp("*") || atOp("/")) {
      Op op = peek().text == "*" ? Op::Mul : Op::Div;
      int line = next().line;
      left = binary(op, std::move(left), unary(), line);
    }
    return left;
  }
  ExprPtr unary() {
    if (atOp("-") || atOp("+")) {
      Depth guard(*this);
      bool negate = peek().text == "-";
      const Token& sign = next();
      ExprPtr operand = unary();
      if (!negate) return operand;
      ExprPtr e = node(Expr::Kind::Unary, sign);
      e->op = Op::Neg;
      e->height = 1 + Height(*operand);
      e->args.push_back(std::move(operand));
      return e;
    }
    return primary();
  }
  ExprPtr primary() {
    const Token& tok = peek();
    switch (tok.type) {
      case Token::Type::Number: {
        ExprPtr e = node(Expr::Kind::Number, tok);
        e->number = next().number;
        return e;
      }
      case Token::Type::String: {
        ExprPtr e = node(Expr::Kind::String, tok);
        e->text = next().text;
        return e;
      }
      case Token::Type::Ident: {
        if (IsKeyword(tok.text)) fail(tok, "expected a value" + Found());
        const Token& at = tok;
        std::string name = next().text;
        if (atOp("(")) {
          next();
          ExprPtr e = node(Expr::Kind::Call, at);
          e->text = name;
          e->args = callArguments();
          for (const ExprPtr& a : e->args)
            if (a) e->height = std::max(e->height, 1 + Height(*a));
          if (e->height > kMaxHeight) fail(peek(), "the expression is too long");
          return e;
        }
        if (atOp("[")) {
          next();
          ExprPtr e = node(Expr::Kind::Index, at);
          e->text = name;
          e->args.push_back(expression());
          e->height = 1 + Height(*e->args[0]);
          expectOp("]", "after the index");
          return e;
        }
        ExprPtr e = node(Expr::Kind::Name, at);
        e->text = name;
        return e;
      }
      case Token::Type::Op:
        if (tok.text == "(") {
          next();
          ExprPtr e = expression();
          expectOp(")", "to close the parenthesis");
          return e;
        }
        [[fallthrough]];
      default:
        fail(tok, "expected a value" + Found());
    }
  }

  std::vector<Token> t_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  int blocks_ = 0;
};

}  // namespace

ParseResult Parse(std::string_view source, const Codec& codec, int firstLine, Encoding encoding) {
  ParseResult result;
  try {
    auto program = std::make_shared<Program>();
    Parser parser(Lexer(source, firstLine, encoding, codec).run());
    program->statements = parser.program();
    result.program = std::move(program);
  } catch (const SyntaxError& e) {
    result.error = Error{e.line, e.message, e.column, {}};
    result.incomplete = e.incomplete;
  }
  return result;
}

}  // namespace mcrlang
