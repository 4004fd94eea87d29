// The string, path, environment and clock words, called as a macro would.
#include <windows.h>

#include <cmath>

#include "testhost.h"

namespace mcrtest {
namespace {

// A word call and what it must give: a string result, a number result, or
// the raised error text with its status.
struct Case {
  const char* word;
  std::vector<Arg> args;
  std::uint16_t status;
  std::optional<std::string> text;    // expected string result (ANSI)
  std::optional<double> number;       // expected number result
  std::optional<std::string> error;   // expected kind-1 text (ANSI)
};

Case Text(const char* w, std::vector<Arg> a, const std::string& utf8) {
  return {w, std::move(a), 0, A(utf8), std::nullopt, std::nullopt};
}
Case Number(const char* w, std::vector<Arg> a, double n) {
  return {w, std::move(a), 0, std::nullopt, n, std::nullopt};
}
Case Error(const char* w, std::vector<Arg> a, std::string msg, std::uint16_t status = 1) {
  return {w, std::move(a), status, std::nullopt, std::nullopt, std::move(msg)};
}

void Check(Host& host, const Case& c) {
  Outcome o = host.call(c.word, c.args);
  EXPECT_EQ(o.status, c.status);
  if (c.text) {
    ASSERT_TRUE(o.result && o.result->isString);
    EXPECT_EQ(o.result->text, *c.text);
  }
  if (c.number) {
    ASSERT_TRUE(o.result && !o.result->isString);
    EXPECT_EQ(o.result->number, *c.number);
  }
  if (c.error) {
    ASSERT_NE(o.error(), nullptr);
    EXPECT_EQ(U(*o.error()), U(*c.error));
  } else {
    EXPECT_EQ(o.error(), nullptr) << U(*o.error());
  }
}

class StringWords : public ::testing::Test {
 protected:
  void SetUp() override { host_ = OpenHost(); }
  void Run(const std::vector<Case>& cases) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
      SCOPED_TRACE(std::string(cases[i].word) + " case " + std::to_string(i));
      Check(*host_, cases[i]);
    }
  }
  std::unique_ptr<Host> host_;
};

const std::string k128(128, 'x');
const std::string k129(129, 'x');

// The limits, one byte or one count past them. The robustness sweep checks
// that every listed check is made, but learns each limit from the word's own
// message, so the numbers are pinned here.
TEST_F(StringWords, Limits) {
  const std::string path256(256, 'p');
  Run({
      Error("Left$", {S(k129), N(1)}, Msg(1007, 128)), Error("GetEnv$", {S(k129)}, Msg(1007, 128)),
      Error("Space$", {N(3e10)}, Msg(1011, A(Label(1)).c_str(), 0, 130)),
      Error("GetToken", {S("a,b,c"), S(","), N(0), S("T$")}, Msg(1011, A(Label(3)).c_str(), 1, 50)),
      Error("GetToken", {S(k129), S(","), N(1), S("T$")}, Msg(1007, 128)),
      Error("Exist", {S(path256)}, Msg(1007, 255)), Error("CompactPath$", {S(path256), N(10)}, Msg(1007, 255)),
  });
}

TEST_F(StringWords, CountsAndTrim) {
  Run({
      Text("Left$", {S("abc"), N(1.5)}, "ab"),
      Text("Left$", {S(k128), N(200)}, k128),
      Text("Left$", {S("日本語"), N(2)}, "日"),   // counted in bytes
      Text("Left$", {S("ｱｲｳ"), N(2)}, "ｱｲ"),      // half-width katakana: one byte each
      Text("Right$", {S("日本語"), N(4)}, "本語"),
      Text("Space$", {N(130)}, std::string(130, ' ')),
      Text("Space$", {N(3.4)}, "   "),
      Text("Space$", {N(-4)}, ""),
      Error("Space$", {N(131)}, Msg(1011, A(Label(1)).c_str(), 0, 130)),
      Text("Trim$", {S(" 日本\t")}, "日本"),
      Text("Trim$", {S(std::string(519, 'y'))}, std::string(519, 'y')),
      Error("Trim$", {S(std::string(520, 'y'))}, Msg(1007, 519)),
  });
}

TEST_F(StringWords, Tokens) {
  const std::string first = A(Label(1));
  Run({
      Number("CountToken", {S("a--b--c"), S("--")}, 3),
      // Errors still give a result of 0 with status 0.
      {"CountToken", {S("a"), Omit()}, 0, std::nullopt, 0.0, Msg(1008)},
      {"CountToken", {S("a"), S("")}, 0, std::nullopt, 0.0, Msg(1013, first.c_str())},
      {"CountToken", {S(k129), S(",")}, 0, std::nullopt, 0.0, Msg(1007, 128)},
      // The empty separator is named as the first parameter.
      Error("GetToken", {S("a,b,c"), S(""), N(1), S("T$")}, Msg(1013, first.c_str())),
      Error("GetToken", {S("a,b,c"), S(","), N(51), S("T$")},
            Msg(1011, A(Label(3)).c_str(), 1, 50)),
      Error("GetToken", {S("a,b,c"), S(","), N(1), S("")}, Msg(1012, A(Label(4)).c_str())),
  });
  struct Tok { const char* text; const char* sep; double n; const char* token; } toks[] = {
      {"a,b,c", ",", 1.5, "b"}, {"x--y--z", "--", 3, "z"}, {"日本,語", ",", 1, "日本"}, {"a,b", ",", 50, ""},
  };
  for (const Tok& t : toks) {
    host_->vars().setString("T$", "stale");
    Outcome o = host_->call("GetToken", {S(t.text), S(t.sep), N(t.n), S("T$")});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(StrVar(*host_, "t$"), A(t.token)) << t.text << " #" << t.n;
  }
}

TEST_F(StringWords, EnvironmentAndClock) {
  SetEnvironmentVariableA("MCR_TEST_LONG", std::string(134, 'v').c_str());
  SetEnvironmentVariableA("MCR_TEST_TOO_LONG", std::string(135, 'v').c_str());
  Run({
      Text("GetEnv$", {S("MCR_TEST_LONG")}, std::string(134, 'v')),
      Text("GetEnv$", {S("MCR_TEST_TOO_LONG")}, ""),
      Text("GetEnv$", {S("MCR_TEST_NOT_SET")}, ""),
  });
  // The word reads the same clock as the process, between two readings of it.
  DWORD before = GetTickCount();
  Outcome a = host_->call("GetTickCount", {});
  DWORD after = GetTickCount();
  ASSERT_TRUE(a.result);
  EXPECT_GE(a.result->number, before);
  EXPECT_LE(a.result->number, after);
  EXPECT_EQ(a.result->number, std::floor(a.result->number));
}

TEST_F(StringWords, Exist) {
  TempDir dir;
  std::string file = dir.file("run01.icp");
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  std::string locked = dir.file("locked.icp");
  HANDLE held = CreateFileA(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Run({
      Number("Exist", {S(file)}, 1),
      Number("Exist", {S(dir.path())}, 0),
      Number("Exist", {S(dir.file("missing.icp"))}, 0),
      Number("Exist", {S(locked)}, 0),
  });
  CloseHandle(held);
}

TEST_F(StringWords, CompactPath) {
  const std::string path = "C:\\instrument\\methods\\environmental\\water\\run.icp";
  for (int width : {10, 20, 30}) {
    Outcome o = host_->call("CompactPath$", {S(path), N(width)});
    ASSERT_EQ(o.status, 0);
    const std::string& r = o.result->text;
    EXPECT_LE(r.size(), static_cast<std::size_t>(width)) << r;
    EXPECT_NE(r.find("..."), std::string::npos) << r;
  }
  EXPECT_EQ(host_->call("CompactPath$", {S(path), N(500)}).result->text, path);
  EXPECT_EQ(host_->call("CompactPath$", {S(path), N(-5)}).result->text, "");
}

TEST_F(StringWords, SplitPath) {
  struct Split { const char* path; const char* drive; const char* dir; const char* name; const char* ext; } cases[] = {
      {"C:\\data\\run01.icp", "C:", "\\data\\", "run01", ".icp"},
      {"run01", "", "", "run01", ""},
      {"\\\\server\\share\\a.b.c", "", "\\\\server\\share\\", "a.b", ".c"},
      {"D:", "D:", "", "", ""},
      {"C:\\ﾃﾞｰﾀ\\表.icp", "C:", "\\ﾃﾞｰﾀ\\", "表", ".icp"},
  };
  for (const Split& c : cases) {
    Outcome o = host_->call("SplitPath", {S(c.path), S("D$"), S("P$"), S("N$"), S("E$")});
    ASSERT_EQ(o.status, 0) << c.path;
    EXPECT_EQ(StrVar(*host_, "D$"), A(c.drive)) << c.path;
    EXPECT_EQ(StrVar(*host_, "P$"), A(c.dir)) << c.path;
    EXPECT_EQ(StrVar(*host_, "N$"), A(c.name)) << c.path;
    EXPECT_EQ(StrVar(*host_, "E$"), A(c.ext)) << c.path;
  }
  host_->vars().erase("D$");
  host_->vars().erase("N$");
  EXPECT_EQ(host_->call("SplitPath", {S("C:\\x\\y.z"), Omit(), Omit(), Omit(), S("E$")}).status, 0);
  EXPECT_EQ(StrVar(*host_, "E$"), ".z");
  EXPECT_EQ(StrVar(*host_, "D$"), "<missing>");
  Check(*host_, Error("SplitPath", {S("C:\\x"), Omit(), Omit(), Omit(), Omit()}, Msg(1006)));
}

TEST_F(StringWords, TempFileNameLeavesNoFile) {
  TempDir dir;
  for (auto [unique, base] : {std::pair{0.0, ""}, {5.0, "MCR5.TMP"}, {70000.0, "MCRFFFF.TMP"}}) {
    ASSERT_EQ(host_->call("GetTempFileName", {S(dir.path()), S("MCR"), N(unique), S("F$")}).status, 0);
    std::string name = StrVar(*host_, "F$");
    EXPECT_EQ(name.rfind(dir.path() + "\\MCR", 0), 0u) << name;
    EXPECT_EQ(GetFileAttributesA(name.c_str()), INVALID_FILE_ATTRIBUTES) << name;
    if (*base) {
      EXPECT_EQ(_stricmp(name.c_str() + dir.path().size() + 1, base), 0) << name;
    }
  }
  // An empty directory means the system's temporary folder.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  ASSERT_EQ(host_->call("GetTempFileName", {S(""), S("Q"), N(7), S("F$")}).status, 0);
  EXPECT_EQ(StrVar(*host_, "F$").rfind(temp, 0), 0u);
}

TEST_F(StringWords, VariableNameOfAVariable) {
  Outcome o = host_->call("GetVName4Func", {S("MASSES"), S("NAME$")});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(StrVar(*host_, "NAME$"), "MASSES");
  o = host_->call("GetVName4Func", {S("MASSES"), Omit()});
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.raised.empty()) << "fails without a message";
}

}  // namespace
}  // namespace mcrtest
