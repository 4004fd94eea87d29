// The macro language against a host of made-up words: what gets printed,
// what the words receive for each parameter kind, and where errors stop a
// macro.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang.h"

namespace {

using mcrlang::Arg;
using mcrlang::CallResult;
using mcrlang::Value;
using mcrlang::WordInfo;

std::string Describe(const Arg& a) {
  switch (a.kind) {
    case Arg::Kind::Omitted: return "-";
    case Arg::Kind::Number: return "N:" + mcrlang::FormatNumber(a.number);
    case Arg::Kind::String: return "S:" + a.text;
    case Arg::Kind::Name: return "V:" + a.text;
  }
  return "?";
}

std::string DescribeAll(const std::vector<Arg>& args) {
  std::string out;
  for (const Arg& a : args) out += (out.empty() ? "" : " ") + Describe(a);
  return out;
}

class FakeHost : public mcrlang::HostInterface {
 public:
  explicit FakeHost(mcrhost::VarStore& vars) : vars_(vars) {}

  const WordInfo* findWord(std::string_view name) override {
    std::string key = mcrhost::VarStore::Key(name);
    for (const WordInfo& w : words_)
      if (mcrhost::VarStore::Key(w.name) == key) return &w;
    return nullptr;
  }

  CallResult call(const WordInfo& w, const std::vector<Arg>& args) override {
    CallResult r;
    calls.push_back(w.name + " " + DescribeAll(args));
    if (w.name == "Echo$") {
      if (args[0].kind == Arg::Kind::Omitted) r.error = "omitted";
      else r.value = Value::Str(args[0].text);
    } else if (w.name == "Add") {
      r.value = Value::Num(args[0].number + args[1].number);
    } else if (w.name == "Args$") {
      r.value = Value::Str(DescribeAll(args));
    } else if (w.name == "SetVar") {
      vars_.setString(args[0].text, args[1].text);
    } else if (w.name == "Fail") {
      r.error = args[0].text;
    } else if (w.name == "Tick") {
      r.value = Value::Num(++ticks_);
    }
    return r;
  }

  void output(const std::string& line) override { out += line + "\n"; }
  void idle() override { ++idles; }
  void wait(double ms) override { waited += ms; }

  std::string out;
  std::vector<std::string> calls;
  int idles = 0;
  double waited = 0;

 private:
  mcrhost::VarStore& vars_;
  int ticks_ = 0;
  std::vector<WordInfo> words_ = {
      {"Echo$", true, "S"},       {"Add", true, "NN"},     {"Args$", true, "SNV"},
      {"Record", false, "SNVS"},  {"SetVar", false, "VS"}, {"Fail", false, "S"},
      {"NoValue", true, ""},      {"Tick", true, ""},
  };
};

struct Outcome {
  std::string out;
  std::vector<std::string> calls;
  mcrlang::RunResult run;
  std::optional<mcrlang::Error> syntax;
  bool incomplete = false;
};

Outcome RunMacro(const std::string& source, const mcrlang::Codec& codec = mcrlang::kIdentityCodec) {
  mcrhost::VarStore vars;
  FakeHost host(vars);
  Outcome o;
  mcrlang::ParseResult p = mcrlang::Parse(source, codec);
  o.syntax = p.error;
  o.incomplete = p.incomplete;
  if (p.program) {
    mcrlang::Interpreter in(host, vars, codec);
    o.run = in.run(*p.program);
  }
  o.out = host.out;
  o.calls = host.calls;
  return o;
}

struct PrintCase {
  const char* source;
  const char* out;
};

void ExpectPrints(const std::vector<PrintCase>& cases) {
  for (const PrintCase& c : cases) {
    Outcome o = RunMacro(c.source);
    ASSERT_FALSE(o.syntax) << c.source << "\n" << o.syntax->message;
    EXPECT_NE(o.run.status, mcrlang::RunStatus::Failed) << c.source << "\n" << o.run.error.message;
    EXPECT_EQ(o.out, c.out) << c.source;
  }
}

TEST(Language, ExpressionsAndPrint) {
  ExpectPrints({
      {"print 1 + 2 * 3, (1 + 2) * 3, 7 / 2, -2 - -3", "7 9 3.5 1\n"},
      {"print 2 - 3 - 4, 24 / 4 / 2, - - 5, +4", "-5 3 5 4\n"},
      {"print \"a\"\"b\" & 1 & \"c\", \"ab\" + \"cd\"", "a\"b1c abcd\n"},
      {"print 1 < 2, \"b\" > \"a\", 2 = 2, \"a\" <> \"a\", 3 <= 2, 3 >= 3", "1 1 1 0 0 1\n"},
      {"print \"B\" < \"a\", \"abc\" < \"abd\", \"ab\" < \"abc\"", "1 1 1\n"},
      {"print not 1 = 2 and 3 > 2 or 0, not 0 and 0, 1 or 0 and 0", "1 0 1\n"},
      {"print 1 + 2 & 3 * 2, 1 & 2 = \"12\"", "36 1\n"},
      {"print 0 and nosuch, 1 or nosuch", "0 1\n"},  // the right side is not evaluated
      {"print 1e20, 0.1 + 0.2, -0, 1 / 3, 1.50, .5, 123456789012", "1e+20 0.3 0 0.333333333333333 1.5 0.5 123456789012\n"},
      {"print", "\n"},
      {"print \"it's\" ' a comment with \"quotes\"", "it's\n"},
      {"x = 1 + _\n  2 _ ' comment after the continuation\n  + 3\nprint x", "6\n"},
      {"\xEF\xBB\xBFprint 1\r\nprint 2\r\n", "1\n2\n"},  // byte-order mark, CR LF
  });
}

TEST(Language, VariablesTablesAndBuiltins) {
  ExpectPrints({
      {"Abc = 5\nABC = abc + 1\nprint aBc", "6\n"},
      {"a$ = \"x\"\nA$ = a$ & a$\nprint a$", "xx\n"},
      {"dim t[3]\nt[2] = 5\nt[3] = t[2] * 2\nprint t[1], t[2], t[3], size(t)", "0 5 10 3\n"},
      {"dim t[2]\nt[1.5] = 7\nprint t[2]", "7\n"},  // indexes round to the nearest element
      {"dim t[0]\nprint size(t)", "0\n"},
      {"print len(\"abc\"), len(\"\"), val(\" 12.5e1x\"), val(\"x\"), val(\"-.5\"), val(\"3e\")", "3 0 125 0 -0.5 3\n"},
      {"print str$(2.50) & \"|\", chr$(65) & chr$(97.4), len(chr$(255))", "2.5| Aa 1\n"},
  });
}

TEST(Language, IfWhileAndExit) {
  ExpectPrints({
      {"x = 2\nif x = 1 then\n print \"one\"\nelseif x = 2 then\n print \"two\"\nelse\n print \"many\"\nendif",
       "two\n"},
      {"if 0 then\nprint 1\nelse\nprint 2\nendif\nIF 1 THEN\nPRINT 3\nENDIF", "2\n3\n"},
      {"if 0 then\nelseif 0 then\nelse\nendif\nprint \"empty blocks\"", "empty blocks\n"},
      {"i = 0\nwhile i < 3\n i = i + 1\n if i = 2 then\n  print \"two\"\n else\n  print i\n endif\nwend",
       "1\ntwo\n3\n"},
      {"i = 0\nwhile 1\n i = i + 1\n if i > 2 then\n  exit\n endif\nwend\nprint \"not reached\"", ""},
      {"print 1\nexit\nprint 2", "1\n"},
      {"\n\n' only comments\n\n", ""},
  });
  EXPECT_EQ(RunMacro("print 1\nexit").run.status, mcrlang::RunStatus::Exited);
  EXPECT_EQ(RunMacro("print 1").run.status, mcrlang::RunStatus::Finished);
}

// What a word receives: omitted places, numbers, strings, and for V
// parameters the name as written rather than a value.
TEST(Language, WordArgumentsFollowTheRegisteredKinds) {
  struct Case {
    const char* source;
    const char* call;
    const char* out;
  } cases[] = {
      {"print Args$(\"a\", 2, x)", "Args$ S:a N:2 V:x", "S:a N:2 V:x\n"},
      {"print Args$(, 2)", "Args$ - N:2 -", "- N:2 -\n"},
      {"print Args$(,,)", "Args$ - - -", "- - -\n"},
      {"print Args$()", "Args$ - - -", "- - -\n"},
      {"print Args$", "Args$ - - -", "- - -\n"},  // a function without parentheses
      {"print args$(\"a\" & 1, 1 + 1, Out_Var$)", "Args$ S:a1 N:2 V:Out_Var$", "S:a1 N:2 V:Out_Var$\n"},
      {"Record \"a\", , x", "Record S:a - V:x -", ""},
      {"Record , 1", "Record - N:1 - -", ""},
      {"Record", "Record - - - -", ""},
      {"Record(\"a\", 1, y, \"z\")", "Record S:a N:1 V:y S:z", ""},
      {"Record (\"a\") & \"b\", 1", "Record S:ab N:1 - -", ""},  // the parenthesis belongs to the argument
      {"x = 5\nRecord \"\", x, x", "Record S: N:5 V:x -", ""},
      {"Echo$ \"discarded\"", "Echo$ S:discarded", ""},
      {"SetVar out$, \"from the word\"\nprint out$", "SetVar V:out$ S:from the word", "from the word\n"},
      {"print Tick + Tick()", "Tick \nTick ", "3\n"},
  };
  for (const Case& c : cases) {
    Outcome o = RunMacro(c.source);
    ASSERT_FALSE(o.syntax) << c.source << "\n" << o.syntax->message;
    ASSERT_NE(o.run.status, mcrlang::RunStatus::Failed) << c.source << "\n" << o.run.error.message;
    std::string calls;
    for (const std::string& s : o.calls) calls += (calls.empty() ? "" : "\n") + s;
    EXPECT_EQ(calls, c.call) << c.source;
    EXPECT_EQ(o.out, c.out) << c.source;
  }
}

// A stand-in for the ANSI code page: Latin-1, so that a character that takes
// two bytes in UTF-8 takes one inside the macro.
std::string ToLatin1(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}
std::string FromLatin1(const std::string& latin1) {
  std::string out;
  for (char ch : latin1) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

TEST(Language, LiteralsAreConvertedInAndPrintedLinesOut) {
  const mcrlang::Codec latin1{ToLatin1, FromLatin1};
  Outcome o = RunMacro("s$ = \"h\xC3\xA9\"\"\"\nprint len(s$), s$ & \"!\"\nRecord s$", latin1);
  ASSERT_FALSE(o.syntax);
  EXPECT_EQ(o.out, "3 h\xC3\xA9\"!\n");
  ASSERT_EQ(o.calls.size(), 1u);
  EXPECT_EQ(o.calls[0], "Record S:h\xE9\" - - -");  // the word sees the converted bytes

  // Values quoted in error messages come back in UTF-8.
  o = RunMacro("x = \"\xC3\xA9\"", latin1);
  EXPECT_NE(o.run.error.message.find("\"\xC3\xA9\""), std::string::npos) << o.run.error.message;
}

TEST(Language, RuntimeErrorsStopAtTheirLine) {
  struct Case {
    const char* source;
    int line;
    const char* message;  // a part of the message
    const char* out;      // printed before the error
  } cases[] = {
      {"print x", 1, "undefined variable x", ""},
      {"print 1\na$ = 1", 2, "a$ holds strings", "1\n"},
      {"a = \"s\"", 1, "a holds numbers; the value is the string \"s\"", ""},
      {"print 1 / 0", 1, "division by zero", ""},
      {"print \"a\" + 1", 1, "+ cannot join a string and a number", ""},
      {"print \"a\" * 2", 1, "arithmetic needs numbers", ""},
      {"print \"a\" < 1", 1, "cannot compare a string with a number", ""},
      {"print -\"a\"", 1, "the operand of - must be a number", ""},
      {"print Add(\"1\", 2)", 1, "argument 1 of Add must be a number, not the string \"1\"", ""},
      {"print Echo$(1)", 1, "argument 1 of Echo$ must be a string, not the number 1", ""},
      {"Record \"a\", 1, \"x\"", 1, "argument 3 of Record is the name of a variable", ""},
      {"print Echo$(\"a\", \"b\")", 1, "Echo$ takes 1 argument, not 2", ""},
      {"print 1\n\nFail \"boom\"\nprint 2", 3, "Fail: boom", "1\n"},
      {"print Echo$()", 1, "Echo$: omitted", ""},
      {"print NoValue()", 1, "NoValue gave no value", ""},
      {"x = Record(\"a\")", 1, "Record is a command", ""},
      {"nosuch 1", 1, "unknown command nosuch", ""},
      {"len \"a\"", 1, "len gives a value", ""},
      {"print nosuch(1)", 1, "unknown function nosuch", ""},
      {"dim t[2]\nprint t[3]", 2, "index 3 is outside t[1..2]", ""},
      {"dim t[2]\nprint t", 2, "t is a table", ""},
      {"x = 1\nprint x[1]", 2, "x is not a table", ""},
      {"print size(x)", 1, "undefined variable x", ""},
      {"print size(\"x\")", 1, "size takes the name of a table variable", ""},
      {"print len(5)", 1, "len takes a string", ""},
      {"print chr$(0)", 1, "chr$ takes a code from 1 to 255", ""},
      {"print len(\"a\", \"b\")", 1, "len takes exactly one argument", ""},
      {"dim t$[2]", 1, "must not end with $", ""},
      {"dim t[1.5]", 1, "whole number from 0 to 65535", ""},
      {"if \"a\" then\nendif", 1, "if needs a number", ""},
      {"while \"\"\nwend", 1, "while needs a number", ""},
      {"wait -1", 1, "wait needs milliseconds of 0 or more", ""},
      {"x = 1 + _\n  y", 2, "undefined variable y", ""},  // the physical line of the fault
      {"i = 0\nwhile i < 5\n i = i + 1\n if i = 3 then\n  Fail \"at three\"\n endif\nwend", 5, "Fail: at three", ""},
  };
  for (const Case& c : cases) {
    Outcome o = RunMacro(c.source);
    ASSERT_FALSE(o.syntax) << c.source << "\n" << o.syntax->message;
    ASSERT_EQ(o.run.status, mcrlang::RunStatus::Failed) << c.source;
    EXPECT_EQ(o.run.error.line, c.line) << c.source;
    EXPECT_NE(o.run.error.message.find(c.message), std::string::npos)
        << c.source << "\n  got: " << o.run.error.message;
    EXPECT_EQ(o.out, c.out) << c.source;
  }
}

TEST(Language, SyntaxErrorsStopBeforeAnythingRuns) {
  struct Case {
    const char* source;
    int line;
    const char* message;
    bool incomplete;
  } cases[] = {
      {"print 1\nif 1 then\nprint 1", 3, "missing endif for the if on line 2", true},
      {"while 1", 1, "missing wend for the while on line 1", true},
      {"x = 1 + _", 1, "ends after a continuation", true},
      {"print \"abc", 1, "not closed", false},
      {"print 1\nendif", 2, "endif without an open if", false},
      {"wend", 1, "wend without an open while", false},
      {"if 1 then\nwend\nendif", 2, "does not close the block", false},
      {"if 1 print 1\nendif", 1, "expected then", false},
      {"if 1 then print 1\nendif", 1, "expected the end of the line after then", false},
      {"if 1 then\nelse print 2\nendif", 2, "expected the end of the line after else", false},
      {"x =", 1, "expected a value", false},
      {"x = (1", 1, "expected ) to close the parenthesis", false},
      {"print 1 2", 1, "expected the end of the line", false},
      {"print Echo$(1 2)", 1, "to close the arguments", false},
      {"x = 2e", 1, "a number runs into a name", false},
      {"print \xE6\x97\xA5", 1, "plain ASCII", false},
      {"print 1 _ 2", 1, "_ continues a line only at its end", false},
      {"x = 1 ; y = 2", 1, "unexpected character ;", false},
      {"dim t(3)", 1, "expected [", false},
      {"dim print[3]", 1, "expected a name after dim", false},
      {"exit 1", 1, "expected the end of the line after exit", false},
      {"then = 1", 1, "cannot start a statement", false},
      {"x = not", 1, "expected a value", false},
      {"\"text\"", 1, "a statement starts with a name", false},
      {"print 1\n\n\nprint (", 4, "expected a value", false},
      {"t[1 = 2", 1, "expected ] after the index", false},
  };
  for (const Case& c : cases) {
    Outcome o = RunMacro(c.source);
    ASSERT_TRUE(o.syntax) << c.source;
    EXPECT_EQ(o.syntax->line, c.line) << c.source;
    EXPECT_NE(o.syntax->message.find(c.message), std::string::npos)
        << c.source << "\n  got: " << o.syntax->message;
    EXPECT_EQ(o.incomplete, c.incomplete) << c.source;
    EXPECT_TRUE(o.calls.empty() && o.out.empty()) << c.source;
  }
}

TEST(Language, NestingIsBounded) {
  Outcome o = RunMacro("x = " + std::string(5000, '(') + "1" + std::string(5000, ')'));
  ASSERT_TRUE(o.syntax);
  EXPECT_NE(o.syntax->message.find("nested too deeply"), std::string::npos);
  o = RunMacro("x = " + std::string(5000, '-') + "1");
  ASSERT_TRUE(o.syntax);
  o = RunMacro("x = " + std::string(100, '(') + "1" + std::string(100, ')') + "\nprint x");
  EXPECT_FALSE(o.syntax);
  EXPECT_EQ(o.out, "1\n");

  std::string chain = "x = 1";
  for (int i = 0; i < 5000; ++i) chain += " + 1";
  o = RunMacro(chain);
  ASSERT_TRUE(o.syntax);
  EXPECT_NE(o.syntax->message.find("too long"), std::string::npos);

  std::string nested;
  for (int i = 0; i < 500; ++i) nested += "if 1 then\n";
  o = RunMacro(nested);
  ASSERT_TRUE(o.syntax);
  EXPECT_NE(o.syntax->message.find("blocks are nested too deeply"), std::string::npos);
}

// The prompt parses piece by piece: numbering goes on from where it stood and
// variables outlive each piece.
TEST(Language, PiecesShareVariablesAndNumberTheirLines) {
  mcrhost::VarStore vars;
  FakeHost host(vars);
  mcrlang::Interpreter in(host, vars, mcrlang::kIdentityCodec);
  auto first = mcrlang::Parse("x = 41", mcrlang::kIdentityCodec, 1);
  ASSERT_TRUE(first.program);
  EXPECT_EQ(in.run(*first.program).status, mcrlang::RunStatus::Finished);
  auto second = mcrlang::Parse("print x + 1\nprint y", mcrlang::kIdentityCodec, 2);
  ASSERT_TRUE(second.program);
  mcrlang::RunResult r = in.run(*second.program);
  EXPECT_EQ(host.out, "42\n");
  EXPECT_EQ(r.status, mcrlang::RunStatus::Failed);
  EXPECT_EQ(r.error.line, 3);
}

TEST(Language, HostKeepsControlBetweenStatementsAndInWait) {
  mcrhost::VarStore vars;
  FakeHost host(vars);
  mcrlang::Interpreter in(host, vars, mcrlang::kIdentityCodec);
  auto p = mcrlang::Parse("i = 0\nwhile i < 100\n i = i + 1\nwend\nwait 250\nwait 0.5", mcrlang::kIdentityCodec);
  ASSERT_TRUE(p.program);
  in.run(*p.program);
  EXPECT_GE(host.idles, 100);
  EXPECT_DOUBLE_EQ(host.waited, 250.5);
}

TEST(Language, WordFailureTexts) {
  const std::string raised = "raised text";
  struct Case {
    std::uint16_t status;
    const std::string* raised;
    const char* text;  // null: the call succeeded
  } cases[] = {
      {0, nullptr, nullptr},
      {0, &raised, "raised text"},  // a function that raises and still returns 0
      {1, &raised, "raised text"},
      {1, nullptr, "failed with status 1 and no message"},
      {5004, nullptr, "could not be locked"},
      {5007, nullptr, "no memory for the copy buffer"},
      {6023, nullptr, "the source or the destination is missing or empty"},
  };
  for (const Case& c : cases) {
    auto text = mcrlang::WordFailure(c.status, c.raised);
    if (!c.text) {
      EXPECT_FALSE(text) << c.status;
    } else {
      ASSERT_TRUE(text) << c.status;
      EXPECT_NE(text->find(c.text), std::string::npos) << *text;
    }
  }
}

}  // namespace
