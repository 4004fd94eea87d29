// The macro language against a host of made-up words: what gets printed,
// what the words receive for each parameter kind, where errors stop a macro,
// and the limits docs/language.md states, at their edges. What the examples
// of docs/language.md show (reference_test runs them) is not repeated here.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "lang.h"

namespace {

using mcrlang::Arg;
using mcrlang::RunStatus;
using mcrlang::Value;

std::string Describe(const std::vector<Arg>& args) {
  std::string out;
  for (const Arg& a : args) {
    if (!out.empty()) out += ' ';
    if (a.kind == Arg::Kind::Omitted) out += "-";
    else if (a.kind == Arg::Kind::Number) out += "N:" + mcrlang::FormatNumber(a.number);
    else out += (a.kind == Arg::Kind::String ? "S:" : "V:") + a.text;
  }
  return out;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}

// Every call is recorded; Echo$ gives its argument, Args$ what it received,
// SetVar sets a variable, Fail fails with its text, NoValue gives nothing.
class FakeHost : public mcrlang::HostInterface {
 public:
  const mcrlang::WordInfo* findWord(std::string_view name) override {
    for (const mcrlang::WordInfo& w : words_)
      if (mcrhost::VarStore::Key(w.name) == mcrhost::VarStore::Key(name)) return &w;
    return nullptr;
  }
  mcrlang::CallResult call(const mcrlang::WordInfo& w, const std::vector<Arg>& args) override {
    calls += w.name + " " + Describe(args) + "\n";
    mcrlang::CallResult r;
    if (w.name == "Echo$") r.value = Value::Str(args[0].text);
    if (w.name == "Args$") r.value = Value::Str(Describe(args));
    if (w.name == "SetVar") vars.setString(args[0].text, args[1].text);
    if (w.name == "Fail") r.error = args[0].text;
    return r;
  }
  void output(const std::string& line) override { out += line + "\n"; }
  void idle() override { ++idles; }
  void wait(double ms) override { waited += ms; }

  mcrhost::VarStore vars;
  std::string out, calls;
  int idles = 0;
  double waited = 0;

 private:
  std::vector<mcrlang::WordInfo> words_ = {{"Echo$", true, "S"},     {"Args$", true, "SNV"},
                                           {"Record", false, "SNVS"}, {"SetVar", false, "VS"},
                                           {"Fail", false, "S"},      {"NoValue", true, ""}};
};

struct Outcome {
  FakeHost host;  // what was printed and called
  mcrlang::RunResult run;
  std::optional<mcrlang::Error> syntax;
  bool incomplete = false;
  mcrlang::Error error() const { return syntax.value_or(run.error); }
};

Outcome RunMacro(const std::string& source) {
  Outcome r;
  mcrlang::ParseResult p = mcrlang::Parse(source, mcrlang::kIdentityCodec);
  r.syntax = p.error;
  r.incomplete = p.incomplete;
  if (p.program) r.run = mcrlang::Interpreter(r.host, r.host.vars, mcrlang::kIdentityCodec).run(*p.program);
  return r;
}

TEST(Language, MacrosPrintAndCallWords) {
  struct Case {
    std::string source;
    std::string out;
    std::string calls = "";  // the words called, with what they received
  } cases[] = {
      // (docs/language.md shows the rest of the operators, numbers and texts.)
      {"print \"b\" > \"a\", \"a\" <> \"a\", 3 <= 2, 3 >= 3, not 0 and 0, +4, .5, 7 / 2", "1 0 0 1 0 4 0.5 3.5\n"},
      {"print \"it's\" ' a comment with \"quotes\"\nprint", "it's\n\n"},
      {"\xEF\xBB\xBFprint 1\r\nprint 2\r\n", "1\n2\n"},
      // The deepest and longest the parser takes (one more fails below).
      {"print " + Repeat("(", 199) + "1" + Repeat(")", 199) + ", 1" + Repeat(" + 1", 999), "1 1000\n"},
      {"print " + Repeat("- ", 199) + "1, " + Repeat("not ", 199) + "1", "-1 0\n"},
      {"print Args$(\"a\", 1" + Repeat(" + 1", 998) + ", v)", "S:a N:999 V:v\n", "Args$ S:a N:999 V:v\n"},
      {"print " + Repeat("Echo$(", 199) + "\"e\"" + Repeat(")", 199), "e\n", Repeat("Echo$ S:e\n", 199)},
      {Repeat("if 1 then\n", 100) + "print 1\n" + Repeat("endif\n", 100), "1\n"},
      {"dim t[65535]\nt[65535] = 1\nprint size(t), t[65535]", "65535 1\n"},
      {"s$ = \"" + std::string(100000, 'x') + "\"\ns$ = s$ & s$\nprint len(s$)", "200000\n"},
      // indexes round to the nearest element
      {"dim t[3]\nt[1.5] = 5\nt[3] = t[2] * 2\ndim e[0]\nprint t[1], t[2], t[3], size(t), size(e)", "0 5 10 3 0\n"},
      {"i = 0\nwhile 1\n i = i + 1\n if i > 2 then\n  exit\n else\n  print i\n endif\nwend\nprint \"not reached\"",
       "1\n2\n"},
      // S and N parameters get values, V parameters the name as written
      {"print args$(\"a\" & 1, 1 + 1, Out_Var$)", "S:a1 N:2 V:Out_Var$\n", "Args$ S:a1 N:2 V:Out_Var$\n"},
      {"print Args$(, 2) & \"|\" & Args$() & \"|\" & Args$", "- N:2 -|- - -|- - -\n",
       "Args$ - N:2 -\nArgs$ - - -\nArgs$ - - -\n"},
      // In the last call the parenthesis belongs to the first argument.
      {"Record \"a\", , x\nRecord\nRecord(\"a\", 1, y, \"z\")\nRecord (\"a\") & \"b\", 1", "",
       "Record S:a - V:x -\nRecord - - - -\nRecord S:a N:1 V:y S:z\nRecord S:ab N:1 - -\n"},
      {"Echo$ \"discarded\"\nSetVar out$, \"from the word\"\nprint out$", "from the word\n",
       "Echo$ S:discarded\nSetVar V:out$ S:from the word\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source.substr(0, 80));
    Outcome r = RunMacro(c.source);
    EXPECT_TRUE(!r.syntax && r.run.status != RunStatus::Failed) << r.error().message;
    EXPECT_EQ(r.host.out, c.out);
    EXPECT_EQ(r.host.calls, c.calls);
  }
  EXPECT_EQ(RunMacro("print 1\nexit").run.status, RunStatus::Exited);
}

TEST(Language, ErrorsStopAtTheirLine) {
  struct Case {
    std::string source;
    int line;
    const char* message;  // a part of the message
    char kind;            // R at run time, S syntax, I syntax that more lines would complete
    const char* out = "";  // printed before a run-time error
  } cases[] = {
      {"print 1\na$ = 1", 2, "a$ holds strings", 'R', "1\n"},
      {"print \"a\" + 1", 1, "+ cannot join a string and a number", 'R'},
      {"print \"a\" * 2", 1, "arithmetic needs numbers", 'R'},
      {"Record \"a\", 1, \"x\"", 1, "argument 3 of Record is the name of a variable", 'R'},
      {"print Echo$(\"a\", \"b\")", 1, "Echo$ takes 1 argument, not 2", 'R'},
      {"print NoValue()", 1, "NoValue gave no value", 'R'},
      {"x = Record(\"a\")", 1, "Record is a command", 'R'},
      {"print nosuch(1)", 1, "unknown function nosuch", 'R'},
      {"x = 1\nprint x[1]", 2, "x is not a table", 'R'},
      {"print len(5)", 1, "len takes a string", 'R'},
      {"print len(\"a\", \"b\")", 1, "len takes exactly one argument", 'R'},
      {"dim t$[2]", 1, "must not end with $", 'R'},
      {"dim t[1.5]", 1, "whole number from 0 to 65535", 'R'},
      {"while \"\"\nwend", 1, "while needs a number", 'R'},
      {"wait -1", 1, "wait needs milliseconds of 0 or more", 'R'},
      {"i = 0\nwhile i < 5\n i = i + 1\n if i = 3 then\n  Fail \"at three\"\n endif\nwend", 5, "Fail: at three", 'R'},
      // A syntax error anywhere stops the macro before its first statement.
      {"print 1\nif 1 then\nprint 1", 3, "missing endif for the if on line 2", 'I'},
      {"x = 1 + _", 1, "ends after a continuation", 'I'},
      {"print \"abc", 1, "not closed", 'S'},
      {"print 1\nendif", 2, "endif without an open if", 'S'},
      {"if 1 then\nwend", 2, "\"wend\" does not close the block that is open here", 'S'},
      {"if 1 print 1\nendif", 1, "expected then", 'S'},
      {"if 1 then print 1\nendif", 1, "expected the end of the line after then", 'S'},
      {"x = (1", 1, "expected ) to close the parenthesis", 'S'},
      {"print Echo$(1 2)", 1, "to close the arguments", 'S'},
      {"x = 2e", 1, "a number runs into a name", 'S'},
      {"print \xE6\x97\xA5", 1, "plain ASCII", 'S'},
      {"print 1 _ 2", 1, "_ continues a line only at its end", 'S'},
      {"then = 1", 1, "cannot start a statement", 'S'},
      {"x = " + Repeat("(", 200) + "1" + Repeat(")", 200), 1, "nested too deeply", 'S'},
      {"x = " + Repeat("- ", 200) + "1", 1, "nested too deeply", 'S'},
      {"x = " + Repeat("not ", 200) + "1", 1, "nested too deeply", 'S'},
      {"x = " + Repeat("f(", 200) + "1" + Repeat(")", 200), 1, "nested too deeply", 'S'},
      {"x = 1" + Repeat(" + 1", 1000), 1, "the expression is too long", 'S'},
      {Repeat("if 1 then\n", 101), 101, "blocks are nested too deeply", 'S'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source.substr(0, 80));
    Outcome r = RunMacro(c.source);
    EXPECT_EQ(r.syntax.has_value(), c.kind != 'R');
    EXPECT_EQ(r.run.status == RunStatus::Failed, c.kind == 'R');
    EXPECT_EQ(r.error().line, c.line);
    EXPECT_NE(r.error().message.find(c.message), std::string::npos) << r.error().message;
    EXPECT_EQ(r.incomplete, c.kind == 'I');
    EXPECT_EQ(r.host.out, c.out);
  }
}

// The host gets control between statements and while waiting.
TEST(Language, YieldsToTheHost) {
  Outcome r = RunMacro("i = 0\nwhile i < 100\n i = i + 1\nwend\nwait 250\nwait 0.5");
  EXPECT_GE(r.host.idles, 100);
  EXPECT_DOUBLE_EQ(r.host.waited, 250.5);
}

TEST(Language, TextFileLines) {
  const char* path = "lang_test_lines.txt";
  std::ofstream(path, std::ios::binary) << "first\r\n\r\nthird\nlast";
  Outcome r = RunMacro(std::string("f$ = \"") + path + "\"\nprint lines(f$), line$(f$, 1) & \"|\" & line$(f$, 2) & \"|\" & "
                       "line$(f$, 3.4) & \"|\" & line$(f$, 4) & \"|\" & line$(f$, 5) & \"|\" & line$(f$, 0)\n"
                       "print lines(\"no such file\"), line$(\"no such file\", 1) & \"|\"\nprint line$(f$)");
  std::remove(path);
  EXPECT_EQ(r.host.out, "4 first||third|last||\n0 |\n");
  EXPECT_EQ(r.error().line, 4);
  EXPECT_NE(r.error().message.find("line$ takes exactly two arguments"), std::string::npos) << r.error().message;
}

// The copy words' bare statuses, in the host's own words (tests/host shows a
// raised text and a failure without one).
TEST(Language, WordFailureTexts) {
  const std::pair<int, const char*> copies[] = {
      {5004, "could not be locked"}, {5007, "no memory for the copy buffer"}, {6023, "missing or empty"}};
  for (const auto& [status, text] : copies)
    EXPECT_NE(mcrlang::WordFailure(status, nullptr).value_or("").find(text), std::string::npos) << status;
}

}  // namespace
