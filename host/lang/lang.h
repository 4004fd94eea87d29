// The macro language of the command processor: lines of statements that
// assign variables, call the library's words, print, branch and loop.
// Platform-free: the host supplies its words, its output and the code-page
// conversions through the interfaces below; variables live in a VarStore
// that the host shares with the library's host operations.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vars.h"

namespace mcrlang {

// Printed lines and error messages are UTF-8; strings inside values and
// variables are in the ANSI code page (Shift-JIS on the workstation).
struct Codec {
  // False when a character has no code in the ANSI code page.
  bool (*toAnsi)(const std::string& utf8, std::string* ansi) = nullptr;
  std::string (*toUtf8)(const std::string& ansi) = nullptr;
};
bool IdentityToAnsi(const std::string& utf8, std::string* ansi);
std::string Identity(const std::string& text);
inline constexpr Codec kIdentityCodec{IdentityToAnsi, Identity};

// How the bytes of a macro file are read. The workstation's editors save
// Shift-JIS, editors on a PC mostly UTF-8: a file with a byte order mark,
// or whose non-ASCII bytes are well-formed UTF-8 (all of them, or all but
// a few stray bytes among many UTF-8 characters), is UTF-8, any other
// Shift-JIS. Shift-JIS strings reach the words byte for byte.
enum class Encoding { Utf8, ShiftJis };
Encoding SourceEncoding(std::string_view bytes);

struct Value {
  bool isString = false;
  double number = 0;
  std::string text;  // ANSI
  static Value Num(double v) { return {false, v, {}}; }
  static Value Str(std::string s) { return {true, 0, std::move(s)}; }
};

// One argument as the host passes it to a word.
struct Arg {
  enum class Kind { Omitted, Number, String, Name } kind = Kind::Omitted;
  double number = 0;
  std::string text;  // ANSI string, or the name as written
};

// A registered word as the host knows it.
struct WordInfo {
  std::string name;
  bool function = false;
  std::string kinds;  // one letter per parameter: N, S or V
};

struct CallResult {
  std::optional<std::string> error;  // UTF-8; the macro stops with it
  std::optional<Value> value;        // a function's result
  std::string hint;                  // with an error: a line that explains it, or ""
};

class HostInterface {
 public:
  virtual ~HostInterface() = default;
  virtual const WordInfo* findWord(std::string_view name) = 0;
  // The words there are, for "did you mean ...?" after an unknown one.
  virtual std::vector<WordInfo> words() { return {}; }
  virtual CallResult call(const WordInfo& word, const std::vector<Arg>& args) = 0;
  // One printed line (UTF-8, no line end).
  virtual void output(const std::string& utf8Line) = 0;
  // Called between statements, so the host can keep its windows alive.
  virtual void idle() {}
  // The wait statement: let ms milliseconds pass while windows stay alive
  // (it may end early when the macro is to stop).
  virtual void wait(double ms) { (void)ms; }
  // Why the macro must stop now (UTF-8), asked before every statement and
  // every turn of a loop; empty to go on.
  virtual std::string stopRequest() { return {}; }
};

struct Error {
  int line = 0;
  std::string message;  // UTF-8
  int column = 0;       // syntax errors: where on the line, in characters from 1
  std::string hint;     // run-time errors: what the host knows of the cause, or ""
};

struct Program;  // the parsed statements (ast.h)

struct ParseResult {
  std::shared_ptr<const Program> program;  // null when error is set
  std::optional<Error> error;
  // The source ended inside a block or after a continuation: more lines
  // would complete it (the interactive prompt asks for them).
  bool incomplete = false;
};

// firstLine numbers the first line of source (the prompt counts on).
ParseResult Parse(std::string_view source, const Codec& codec, int firstLine = 1,
                  Encoding encoding = Encoding::Utf8);

// Stopped: the host asked the macro to stop (stopRequest).
enum class RunStatus { Finished, Exited, Failed, Stopped };

struct RunResult {
  RunStatus status = RunStatus::Finished;
  Error error;  // when Failed or Stopped
};

class Interpreter {
 public:
  Interpreter(HostInterface& host, mcrhost::VarStore& vars, const Codec& codec)
      : host_(host), vars_(vars), codec_(codec) {}
  RunResult run(const Program& program);

  HostInterface& host() { return host_; }
  mcrhost::VarStore& vars() { return vars_; }
  const Codec& codec() const { return codec_; }

 private:
  HostInterface& host_;
  mcrhost::VarStore& vars_;
  Codec codec_;
};

// Numbers as print and str$ show them: up to 15 significant digits, no
// trailing zeros, integers without a decimal point.
std::string FormatNumber(double v);

// The leading number of text as val() reads it, 0 when there is none.
double ParseLeadingNumber(std::string_view text);

// The built-in functions of the language (lower case), for help texts.
struct Builtin {
  const char* name;
  const char* usage;
  const char* summary;
};
const std::vector<Builtin>& Builtins();
// The keywords (lower case): statements and word operators, never names.
const std::vector<std::string>& Keywords();
// For a statement other BASICs have and this language does not (for, next,
// goto, end if ...): what to write instead; "" for any other name.
std::string Instead(std::string_view statement);

// The error text for a word call that did not succeed: the first kind-1
// text the word raised (UTF-8), or the host's own words for a bare status.
// Nothing when the call succeeded.
std::optional<std::string> WordFailure(std::uint16_t status, const std::string* raisedUtf8);

}  // namespace mcrlang
