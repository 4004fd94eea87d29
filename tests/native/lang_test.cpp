// The macro language against a host of made-up words: what gets printed, what the words receive for each
// parameter kind, where errors stop a macro, and the limits docs/language.md states, at their edges; what
// each macro gives is tests/golden/lang_runs.txt. What the examples of docs/language.md show (reference_test
// runs them) is not repeated here.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "lang.h"

namespace {

using mcrlang::Arg;

std::string Repeat(const std::string& s, int n) { return n > 0 ? s + Repeat(s, n - 1) : ""; }

// Every call is recorded with what it received; Echo$ gives its argument, Args$ what it received, SetVar sets
// a variable, Fail fails with its text, NoValue gives nothing.
class FakeHost : public mcrlang::HostInterface {
 public:
  const mcrlang::WordInfo* findWord(std::string_view name) override {
    for (const mcrlang::WordInfo& w : words_)
      if (mcrhost::VarStore::Key(w.name) == mcrhost::VarStore::Key(name)) return &w;
    return nullptr;
  }
  mcrlang::CallResult call(const mcrlang::WordInfo& w, const std::vector<Arg>& args) override {
    std::string got;
    for (const Arg& a : args)
      got += (got.empty() ? "" : " ") + (a.kind == Arg::Kind::Omitted  ? std::string("-")
                                         : a.kind == Arg::Kind::Number ? "N:" + mcrlang::FormatNumber(a.number)
                                                                       : (a.kind == Arg::Kind::String ? "S:" : "V:") + a.text);
    out += "call " + w.name + (got.empty() ? "" : " ") + got + "\n";
    mcrlang::CallResult r;
    if (w.name == "Echo$" || w.name == "Args$") r.value = mcrlang::Value::Str(w.name == "Echo$" ? args[0].text : got);
    if (w.name == "SetVar") vars.setString(args[0].text, args[1].text);
    if (w.name == "Fail") r.error = args[0].text;
    return r;
  }
  void output(const std::string& line) override { out += line + "\n"; }
  void idle() override { ++idles; }
  void wait(double ms) override { waited += ms; }

  mcrhost::VarStore vars;
  std::string out;  // what was printed and called, in order
  int idles = 0;
  double waited = 0;

 private:
  std::vector<mcrlang::WordInfo> words_ = {{"Echo$", true, "S"}, {"Args$", true, "SNV"}, {"Record", false, "SNVS"},
                                           {"SetVar", false, "VS"}, {"Fail", false, "S"}, {"NoValue", true, ""}};
};

// What a macro printed and called, and how it ended.
std::string Shown(const std::string& source, FakeHost& host, mcrlang::Encoding encoding = mcrlang::Encoding::Utf8) {
  mcrlang::ParseResult p = mcrlang::Parse(source, mcrlang::kIdentityCodec, 1, encoding);
  mcrlang::RunResult run;
  if (p.program) run = mcrlang::Interpreter(host, host.vars, mcrlang::kIdentityCodec).run(*p.program);
  const mcrlang::Error e = p.error.value_or(run.error);
  const std::string end = p.incomplete ? "incomplete" : p.error ? "syntax error" : run.status == mcrlang::RunStatus::Failed
                    ? "error" : run.status == mcrlang::RunStatus::Exited ? "exit" : "";
  return host.out + (!end.empty() ? end + (e.line ? " at line " + std::to_string(e.line) : "") + (e.message.empty() ? "" : ": ") + e.message + "\n" : "");
}

TEST(Language, MacrosAndErrors) {
  const std::string cases[] = {
      "print \"b\" > \"a\", \"a\" <> \"a\", 3 <= 2, 3 >= 3, not 0 and 0, +4, .5, 7 / 2",
      "print \"it's\" ' a comment with \"quotes\"\nprint", "\xEF\xBB\xBFprint 1\r\nprint 2\r\nexit\r\nprint 3",
      // The deepest and longest the parser takes, and one more.
      "print " + Repeat("(", 199) + "1" + Repeat(")", 199) + ", 1" + Repeat(" + 1", 999),
      "print " + Repeat("- ", 199) + "1, " + Repeat("not ", 199) + "1", "print Args$(\"a\", 1" + Repeat(" + 1", 998) + ", v)",
      "print " + Repeat("Echo$(", 199) + "\"e\"" + Repeat(")", 199), Repeat("If 1 Then\n", 100) + "print 1\n" + Repeat("ENDIF\n", 100),
      "x = " + Repeat("(", 200) + "1" + Repeat(")", 200), "x = " + Repeat("- ", 200) + "1", "x = " + Repeat("not ", 200) + "1",
      "x = " + Repeat("f(", 200) + "1" + Repeat(")", 200), "x = 1" + Repeat(" + 1", 1000), Repeat("if 1 then\n", 101),
      "dim t[65535]\nt[65535] = 1\nprint size(t), t[65535], len(chr$(255))", "s$ = \"" + std::string(100000, 'x') + "\"\ns$ = s$ & s$\nprint len(s$)",
      // Indexes round to the nearest element.
      "dim t[3]\nt[1.5] = 5\nt[3] = t[2] * 2\ndim e[0]\nprint t[1], t[2], t[3], size(t), size(e)",
      "i = 0\nwhile 1\n i = i + 1\n IF i > 2 AND 1 OR 0 THEN\n  exit\n else\n  print i\n endif\nwend\nprint \"not reached\"",
      // S and N parameters get values, V parameters the name as written; in the last Record the
      // parenthesis belongs to the first argument.
      "print args$(\"a\" & 1, 1 + 1, Out_Var$)", "print Args$(, 2) & \"|\" & Args$() & \"|\" & Args$",
      "Record \"a\", , x\nRecord\nRecord(\"a\", 1, y, \"z\")\nRecord (\"a\") & \"b\", 1",
      "Echo$ \"discarded\"\nSetVar data$, \"from the word\"\nprint DATA$",
      // Run-time errors stop at their line, after what was printed; a syntax error stops the macro before
      // its first statement.
      "print 1\na$ = 1", "print \"a\" + 1", "print \"a\" * 2", "Record \"a\", 1, \"x\"", "print Echo$(\"a\", \"b\")",
      "print NoValue()", "x = Record(\"a\")", "print nosuch(1)", "x = 1\nprint x[1]", "print len(5)", "print len(\"a\", \"b\")",
      "dim t$[2]", "dim t[1.5]", "while \"\"\nwend", "wait -1",
      "i = 0\nwhile i < 5\n i = i + 1\n if i = 3 then\n  Fail \"at three\"\n endif\nwend",
      "print 1\nif 1 then\nprint 1", "x = 1 + _", "print \"abc", "print 1\nendif", "if 1 then\nwend", "if 1 print 1\nendif",
      "if 1 then print 1\nendif", "x = (1", "print Echo$(1 2)", "x = 2e", "print \xE6\x97\xA5", "print 1 _ 2", "then = 1"};
  std::string got;
  for (const std::string& source : cases) {
    FakeHost host;
    std::string head = source.substr(0, 60);
    for (std::size_t at; (at = head.find('\n')) != std::string::npos;) head.replace(at, 1, "|");
    got += "--- " + head + (source.size() > 60 ? "..." : "") + "\n" + Shown(source, host);
  }
  std::ifstream in(std::string(MCR_SOURCE_DIR) + "/tests/golden/lang_runs.txt");
  std::string want;
  for (std::string line; std::getline(in, line);) if (line.rfind("# ", 0) != 0) want += line + "\n";
  EXPECT_EQ(got, want);
}

// A refusing codec for the characters Shift-JIS has no code for: here, any
// four-byte UTF-8 character.
bool NoFourByte(const std::string& utf8, std::string* ansi) {
  *ansi = utf8;
  return utf8.find('\xF0') == std::string::npos;
}

// Macro files in either encoding: which one a file is read in, what its strings hand the words, and where
// an error in or after a string is placed (columns count characters).
TEST(Language, MacroFilesInEitherEncoding) {
  using mcrlang::Encoding;
  const std::string sjisKanji = "\x91\xAA\x92\xE8\x8A\x4A\x8E\x6E";  // 測定開始
  const std::string trails = "\x95\x5C\x83\x5C\x94\x5C";              // 表ソ能: each ends in the byte of a backslash
  const struct {
    std::string source;
    Encoding encoding;
    const char* shown;  // what the run printed and called, and how it ended
  } cases[] = {
      {"print \"abc\"", Encoding::Utf8, "abc\n"},
      {"print \"\xE6\xB8\xAC\xE5\xAE\x9A\", len(\"\xE6\xB8\xAC\")", Encoding::Utf8, "\xE6\xB8\xAC\xE5\xAE\x9A 3\n"},
      {"\xEF\xBB\xBFprint \"\x82\xA0\"", Encoding::Utf8, "syntax error at line 1: byte 0x82 is no UTF-8 character"},
      {"print \"" + sjisKanji + "\", len(\"" + sjisKanji + "\")", Encoding::ShiftJis, nullptr},
      {"Record \"" + trails + "\", 1, x, \"" + trails + "\"\"\"", Encoding::ShiftJis, nullptr},
      {"' " + trails + "\nprint \"" + trails + "\" & \"|\"", Encoding::ShiftJis, nullptr},
      {"print \"\x82\" & 1", Encoding::ShiftJis, "syntax error at line 1: bytes 0x82 0x22 are no Shift-JIS character"},
      {"print 1\nprint \"\xB1\xB2\xFD\"", Encoding::ShiftJis, "syntax error at line 2: byte 0xFD is no Shift-JIS"},
      // Many UTF-8 characters and one stray byte: a damaged UTF-8 file, whose stray byte is reported.
      {"print \"\xE6\xB8\xAC\xE5\xAE\x9A\xE9\x96\x8B\"\nprint \"\xE9\"", Encoding::Utf8,
       "syntax error at line 2: byte 0xE9 is no UTF-8 character"},
      {"print \"a\xF0\x9F\x98\x80\"", Encoding::Utf8, "syntax error at line 1: the character \"\xF0\x9F\x98\x80\" has no Shift-JIS code"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mcrlang::SourceEncoding(c.source), c.encoding) << c.source;
    FakeHost host;
    mcrlang::ParseResult p = mcrlang::Parse(c.source, {NoFourByte, mcrlang::Identity}, 1, c.encoding);
    mcrlang::RunResult run;
    if (p.program) run = mcrlang::Interpreter(host, host.vars, mcrlang::kIdentityCodec).run(*p.program);
    std::string shown = host.out + (p.error ? "syntax error at line " + std::to_string(p.error->line) + ": " + p.error->message : "");
    if (c.shown) {
      EXPECT_EQ(shown.substr(0, std::string(c.shown).size()), c.shown) << c.source;
    }
  }
  // Shift-JIS strings reach the words and the output byte for byte, the 0x5C of a trail byte included.
  FakeHost sjis;
  EXPECT_EQ(Shown("print \"" + sjisKanji + "\", len(\"" + sjisKanji + "\")\nRecord \"" + trails + "\", 1, x, \"" + trails +
                      "\"\"\"", sjis, Encoding::ShiftJis),
            sjisKanji + " 8\ncall Record S:" + trails + " N:1 V:x S:" + trails + "\"\n");
  // Columns count characters: the ^ after three kanji is the 13th, in either encoding; the 0x5C trail
  // byte of 表 ends neither the string nor the comment's line.
  for (auto [source, encoding] : {std::pair{std::string("print \"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\" ^"), Encoding::Utf8},
                                  {"print \"\x93\xFA\x96\x7B\x8C\xEA\" ^", Encoding::ShiftJis},
                                  {"print \"" + trails.substr(0, 2) + "\x93\xFA\x96\x7B\" ^ ' " + trails, Encoding::ShiftJis}}) {
    mcrlang::ParseResult p = mcrlang::Parse(source, mcrlang::kIdentityCodec, 1, encoding);
    ASSERT_TRUE(p.error) << source;
    EXPECT_EQ(p.error->column, 13) << source;
  }
}

// The host gets control between statements and while waiting; the text-file functions.
TEST(Language, YieldsAndTextFiles) {
  FakeHost host;
  Shown("i = 0\nwhile i < 100\n i = i + 1\nwend\nwait 250\nwait 0.5", host);
  EXPECT_GE(host.idles, 100);
  EXPECT_DOUBLE_EQ(host.waited, 250.5);
  const char* path = "lang_test_lines.txt";
  std::ofstream(path, std::ios::binary) << "first\r\n\r\nthird\nlast";
  FakeHost lines;
  std::string shown = Shown(std::string("f$ = \"") + path + "\"\nprint lines(f$), line$(f$, 1) & \"|\" & line$(f$, 2) & \"|\" & "
                          "line$(f$, 3.4) & \"|\" & line$(f$, 4) & \"|\" & line$(f$, 5) & \"|\" & line$(f$, 0)\n"
                          "print lines(\"no such file\"), line$(\"no such file\", 1) & \"|\"\nprint line$(f$)", lines);
  std::remove(path);
  EXPECT_EQ(shown, "4 first||third|last||\n0 |\nerror at line 4: line$ takes exactly two arguments\n");
  // The copy words' bare statuses, in the host's own words (tests/host shows a raised text and a failure without one).
  for (auto [status, text] : {std::pair{5004, "could not be locked"}, {5007, "no memory for the copy buffer"}, {6023, "missing or empty"}})
    EXPECT_NE(mcrlang::WordFailure(status, nullptr).value_or("").find(text), std::string::npos) << status;
}

}  // namespace
