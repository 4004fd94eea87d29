// COPY, UPDATE and EX_DELETE on trees the tests lay out in their own
// folders. Under Wine, Z: is the whole Linux file system: every path handed
// to the words is checked to lie inside the test's folder first, and the
// cases that name a drive root never pass DONTASK and cancel any question.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <map>
#include <thread>

#include "dialogs.h"
#include "leaks.h"
#include "testhost.h"

namespace mcrtest {
namespace {

const std::string kHyo = A("表"), kSoTxt = A("ソ.txt");  // second bytes 0x5C
Arg P(const std::string& ansi) { return Value::Str(ansi); }
std::string Slash(std::string p) {  // COPY's form of an ASCII path
  for (char& c : p) c = c == '\\' ? '/' : c;
  return p;
}
// The first n bytes of text, less a double-byte character cut in two.
std::string Cut(const std::string& text, std::size_t n) {
  std::size_t i = 0;
  for (std::size_t w; i < text.size() && i + (w = IsDBCSLeadByteEx(932, text[i]) ? 2 : 1) <= n;) i += w;
  return text.substr(0, i);
}
// A path as a text of at most n bytes shows it: longer, it gives way and ends in "...".
std::string Shortened(const std::string& path, std::size_t n) {
  return path.size() <= n ? path : Cut(path, n - 3) + "...";
}
// COPY's and the file-error texts keep within 135 bytes by shortening the
// path, the longer of two first; the catalogue's words stay whole.
std::string Err(const char* utf8, const std::string& path) {
  const std::string reason = A(utf8) + ": ";
  return reason + Shortened(path, 135 - reason.size());
}
std::string Within135(int id, const std::string& a, const std::string& b) {
  const std::size_t room = 135 - Msg(id, "", "").size();
  const std::size_t shorter = std::min(std::min(a.size(), b.size()), room / 2);
  const std::size_t longer = room - shorter;
  return a.size() <= b.size() ? Msg(id, Shortened(a, shorter).c_str(), Shortened(b, longer).c_str())
                              : Msg(id, Shortened(a, longer).c_str(), Shortened(b, shorter).c_str());
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }
ULONGLONG WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d);
  return (ULONGLONG(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime;
}
void SetWriteTime(const std::string& path, ULONGLONG t) {
  FILETIME ft{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
  HANDLE f = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(f, nullptr, nullptr, &ft);
  CloseHandle(f);
}

// Relative path -> contents of everything below dir (folders end in '\').
using Listing = std::map<std::string, std::string>;
Listing List(const std::string& dir, const std::string& rel = "") {
  Listing out;
  WIN32_FIND_DATAA e;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &e);
  for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &e)) {
    std::string name = e.cFileName;
    if (name == "." || name == "..") continue;
    if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[rel + name + "\\"] = "";
      out.merge(List(dir + "\\" + name, rel + name + "\\"));
    } else {
      out[rel + name] = ReadAll(dir + "\\" + name);
    }
  }
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  return out;
}

// Holds a file open without sharing on a second thread for ms milliseconds.
struct Holder {
  Holder(const std::string& path, DWORD ms) {
    HANDLE opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread = std::thread([=] {
      HANDLE f = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      SetEvent(opened);
      Sleep(ms);
      CloseHandle(f);
    });
    WaitForSingleObject(opened, 5000);
    CloseHandle(opened);
  }
  ~Holder() { thread.join(); }
  std::thread thread;
};

class FileWords : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = OpenHost();
    GetCurrentDirectoryA(MAX_PATH, saved_);
    char full[MAX_PATH];
    GetFullPathNameA(dir_.path().c_str(), MAX_PATH, full, nullptr);
    root_ = full;
    SetCurrentDirectoryA(root_.c_str());
  }
  void TearDown() override {
    SetCurrentDirectoryA(saved_);
    for (const auto& [rel, bytes] : List(root_)) SetFileAttributesA(at(rel).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  std::string at(const std::string& rel) const { return root_ + "\\" + rel; }

  // Nested folders, dot names, an empty file, files of one copy block and
  // one byte more, a read-only file, names ending in 0x5C bytes; all with
  // distinct times.
  void MakeTree(const std::string& top) {
    for (const std::string& d : std::vector<std::string>{"", "\\sub", "\\sub\\deep", "\\.git", "\\" + kHyo})
      CreateDirectoryA((top + d).c_str(), nullptr);
    WriteAll(top + "\\empty.dat", "");
    WriteAll(top + "\\block.dat", std::string(32768, 'b'));
    WriteAll(top + "\\block1.dat", std::string(32768, 'c') + "d");
    WriteAll(top + "\\sub\\deep\\d.txt", "deep");
    WriteAll(top + "\\sub\\.hidden", "dot");
    WriteAll(top + "\\.git\\config", "dot dir");
    WriteAll(top + "\\" + kHyo + "\\" + kSoTxt, "sjis");
    WriteAll(top + "\\ro.txt", "read only");
    ULONGLONG t = 132000000000000000ULL;
    for (const auto& [rel, bytes] : List(top))
      if (rel.back() != '\\') SetWriteTime(top + "\\" + rel, t += 36000000000ULL);
    SetFileAttributesA((top + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  }

  // Runs the word only when every path lies inside the test's folder.
  Outcome Run(const char* word, const std::vector<std::string>& paths, std::vector<Arg> rest) {
    std::vector<Arg> args;
    for (const std::string& p : paths) {
      char full[2 * MAX_PATH] = {};
      DWORD n = GetFullPathNameA(p.c_str(), sizeof full, full, nullptr);
      std::string f = n > 0 && n < sizeof full ? std::string(full) : p;
      if (f.find("..") != std::string::npos || _strnicmp(f.c_str(), (root_ + "\\").c_str(), root_.size() + 1)) {
        ADD_FAILURE() << word << " refused: " << U(p) << " lies outside " << root_;
        return Outcome{0xFFFF, {}, {}};
      }
      args.push_back(P(p));
    }
    for (Arg& a : rest) args.push_back(std::move(a));
    return host_->call(word, args);
  }
  Outcome Copy(const std::string& s, const std::string& d, const char* option = "DONTASK") {
    return Run("COPY", {s, d}, {option ? P(option) : Omit()});
  }
  Outcome Update(const std::string& s, const std::string& d) { return Run("UPDATE", {s, d}, {}); }
  Outcome Delete(const std::string& pattern, const char* ask = "DONTASK", const char* files = nullptr) {
    return Run("EX_DELETE", {pattern}, {ask ? P(ask) : Omit(), files ? P(files) : Omit()});
  }

  // Each pair fails with its text and leaves the folder as it was.
  struct Refusal { std::string s, d, error; };
  void ExpectRefused(const char* word, const std::vector<Refusal>& cases);

  TempDir dir_;
  std::string root_;
  char saved_[MAX_PATH] = {};
  std::unique_ptr<Host> host_;
};

void ExpectError(const Outcome& o, const std::string& text) {
  EXPECT_EQ(o.status, 1);
  ASSERT_NE(o.error(), nullptr);
  EXPECT_EQ(U(*o.error()), U(text));
}

void FileWords::ExpectRefused(const char* word, const std::vector<Refusal>& cases) {
  for (const Refusal& c : cases) {
    SCOPED_TRACE(U(c.s) + " -> " + U(c.d));
    Listing before = List(root_);
    ExpectError(Run(word, {c.s, c.d}, {P("DONTASK")}), c.error);
    EXPECT_EQ(List(root_), before);
  }
}

TEST_F(FileWords, CopyTreeSkipsDotNamesAndKeepsBytesAndTimes) {
  MakeTree(at("src"));
  std::vector<std::string> ops;
  host_->onTrace = [&](const char* op, const std::string&, std::uint16_t) { ops.push_back(op); };
  Outcome o = Copy(at("src"), at("dst"));
  host_->onTrace = nullptr;
  EXPECT_EQ(o.status, 0);
  ASSERT_EQ(o.raised.size(), 1u);
  EXPECT_EQ(o.raised[0].kind, 9);
  EXPECT_EQ(o.raised[0].text, " ");
  // Busy from before the first file to after the closing status.
  EXPECT_EQ(std::vector<std::string>(ops.end() - 2, ops.end()), std::vector<std::string>({"RaiseError", "SetHostBusy"}));
  EXPECT_EQ(ops.front(), "SetHostBusy");
  Listing expected = List(at("src"));
  for (const char* dot : {".git\\", ".git\\config", "sub\\.hidden"}) EXPECT_EQ(expected.erase(dot), 1u);
  EXPECT_EQ(List(at("dst")), expected);
  for (const auto& [rel, bytes] : expected)
    EXPECT_TRUE(rel.back() == '\\' || WriteTime(at("dst\\" + rel)) == WriteTime(at("src\\" + rel))) << rel;
  EXPECT_EQ(Attributes(at("dst\\ro.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(FileWords, CopyChecksInTheirOrder) {
  for (const char* d : {"X", "X\\in"}) CreateDirectoryA(at(d).c_str(), nullptr);
  WriteAll(at("X\\f.txt"), "f");
  WriteAll(at("g.txt"), "g");
  const std::string longName(120, 'n');
  ExpectRefused("COPY", {
      {at("none.txt"), at("g.txt"), Msg(1306, at("none.txt").c_str(), at("g.txt").c_str())},
      {at("g.txt"), at("X"), Msg(1305, at("g.txt").c_str(), at("X").c_str())},
      {at("X"), at("g.txt"), Msg(1305, at("X").c_str(), at("g.txt").c_str())},
      // The same file under either separator or case, compared in the slash form.
      {at("g.txt"), root_ + "/g.txt", Msg(1306, Slash(at("g.txt")).c_str(), Slash(at("g.txt")).c_str())},
      {at("G.TXT"), at("g.txt"), Msg(1306, Slash(at("G.TXT")).c_str(), Slash(at("g.txt")).c_str())},
      // Inside its own tree: refused before anything is made.
      {at("X"), at("x\\in\\new"), Msg(1306, at("X").c_str(), at("x\\in\\new").c_str())},
      {at(longName), at("g.txt"), Within135(1306, at(longName), at("g.txt"))},
      {at("X"), at("no\\") + longName, Err("ﾌｧｲﾙまたはﾃﾞｨﾚｸﾄﾘが存在しません", at("no\\") + longName)},
  });
  EXPECT_EQ(Copy(at("X"), at("X2")).status, 0);  // a name that merely starts alike
  EXPECT_EQ(ReadAll(at("X2\\f.txt")), "f");
}

TEST_F(FileWords, CopyCompletesBareNamesAndAnswersMissingOnesBare) {
  CreateDirectoryA(at("d").c_str(), nullptr);
  WriteAll(at("d\\a.txt"), "a");
  WriteAll(at("top.txt"), "top");
  EXPECT_EQ(Copy(at("d\\a.txt"), "b.txt").status, 0);  // beside the source file
  EXPECT_EQ(ReadAll(at("d\\b.txt")), "a");
  EXPECT_EQ(Copy("top.txt", "top2.txt").status, 0);  // from the current folder
  EXPECT_EQ(ReadAll(at("top2.txt")), "top");
  // A folder's bare destination lies inside the folder.
  ExpectError(Copy(at("d"), "e"), Msg(1306, at("d").c_str(), at("d\\e").c_str()));
  for (auto args : {std::vector<Arg>{Omit(), P("x")}, {P(""), Omit()}, {P(at("top.txt")), P("")}}) {
    Outcome o = host_->call("COPY", args);
    EXPECT_EQ(o.status, 6023);
    EXPECT_TRUE(o.raised.empty());
    EXPECT_FALSE(host_->busy());
  }
}

TEST_F(FileWords, CopyAsksBeforeOverwriting) {
  WriteAll(at("s.txt"), "new");
  WriteAll(at("d.txt"), "old");
  SetFileAttributesA(at("d.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  DialogScript ok({Press(IDOK)});
  EXPECT_EQ(Copy(at("s.txt"), at("d.txt"), nullptr).status, 0);
  ok.finish();
  ASSERT_EQ(ok.seen().size(), 1u);
  EXPECT_EQ(ok.seen()[0].caption + "|" + ok.seen()[0].text, Msg(1310) + "|" + at("d.txt"));
  EXPECT_EQ(ok.seen()[0].owner, host_->window());
  EXPECT_EQ(ReadAll(at("d.txt")), "new");
  EXPECT_EQ(Attributes(at("d.txt")) & FILE_ATTRIBUTE_READONLY, 0u);

  MakeTree(at("tree"));
  MakeTree(at("target"));
  WriteAll(at("target\\empty.dat"), "x");
  Listing before = List(at("target"));
  DialogScript cancel({Press(IDCANCEL)});
  ExpectError(Copy(at("tree"), at("target"), "ask"), "");
  cancel.finish();
  EXPECT_EQ(cancel.seen().at(0).caption, Msg(1309));
  EXPECT_EQ(List(at("target")), before);
  DialogScript none({});  // read-only files inside: overwritten without a word
  EXPECT_EQ(Copy(at("tree"), at("target"), "dontask").status, 0);
  none.finish();
  EXPECT_EQ(ReadAll(at("target\\empty.dat")), "");
  WriteAll(at("target\\empty.dat"), "x");
  DialogScript once({Press(IDOK)});  // after OK nothing inside the tree is asked about
  EXPECT_EQ(Copy(at("tree"), at("target"), nullptr).status, 0);
  once.finish();
  EXPECT_EQ(ReadAll(at("target\\empty.dat")), "");
}

// Under Wine a file held without sharing answers 32 (sharing violation):
// the source is retried on any failure, the destination only on 5.
TEST_F(FileWords, CopyWaitsForAHeldSourceButNotForAHeldDestination) {
  WriteAll(at("s.txt"), std::string(40000, 's'));
  DWORD start = GetTickCount();
  {
    Holder hold(at("s.txt"), 700);
    EXPECT_EQ(Copy(at("s.txt"), at("d.txt")).status, 0);
  }
  EXPECT_GE(GetTickCount() - start, 600u);  // waited 200, 400 (and 600) ms
  EXPECT_EQ(ReadAll(at("d.txt")), ReadAll(at("s.txt")));
  Holder hold(at("d.txt"), 1500);
  start = GetTickCount();
  Outcome o = Copy(at("s.txt"), at("d.txt"));
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_EQ(o.raised.size(), 1u);  // no DST notice
  ExpectError(o, Err("共有違反", Slash(at("d.txt"))));
}

// The one slow case: a source file held through the whole schedule (15 s).
// The files copied before it stay.
TEST_F(FileWords, CopyGivesUpAfterTheScheduleAndKeepsWhatItCopied) {
  MakeTree(at("src"));
  Holder hold(at("src\\sub\\deep\\d.txt"), 17000);
  Outcome o = Copy(at("src"), at("dst"));
  const std::string held = Slash(at("src\\sub\\deep\\d.txt"));
  ASSERT_EQ(o.raised.size(), 2u);
  EXPECT_EQ(o.raised[0].kind, 0);
  EXPECT_EQ(o.raised[0].text, "SRC:" + held + " : Retry 20");
  ExpectError(o, Err("共有違反", held));
  Listing src = List(at("src"));
  for (const auto& [rel, bytes] : List(at("dst"))) EXPECT_EQ(bytes, src[rel]) << rel;
  EXPECT_FALSE(Exists(at("dst\\sub\\deep\\d.txt")));
}

// Failures deep in a walk happen with two searches open. The platform opens
// a few handles of its own on first use: the second round must end where
// the first did.
TEST_F(FileWords, NoHandleOutlivesACallOnAnyPath) {
  MakeTree(at("src"));
  SetFileAttributesA(at("src\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  CreateDirectoryA(at("clash").c_str(), nullptr);
  CreateDirectoryA(at("clash\\sub").c_str(), nullptr);
  WriteAll(at("clash\\sub\\deep"), "a file where the source has a folder");
  std::function<Outcome()> calls[] = {
      [&] { return Copy(at("src"), at("copy")); }, [&] { return Copy(at("src"), at("clash")); },
      [&] { return Copy(at("src\\block1.dat"), at("one.dat")); }, [&] { return Update(at("src"), at("upd")); },
      [&] { return Update(at("src"), at("clash")); },
      [&] { return Delete(at("upd\\*.*")); },
      [&] {
        SetFileAttributesA(at("copy\\sub\\deep\\d.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        return Delete(at("copy"));  // stops there
      }};
  const std::uint16_t statuses[] = {0, 1, 0, 0, 1, 0, 1};
  std::size_t counts[2];
  for (std::size_t& count : counts) {
    for (std::size_t i = 0; i < std::size(calls); ++i) EXPECT_EQ(calls[i]().status, statuses[i]) << i;
    Sleep(300);
    count = ProcessHandleCount();
  }
  EXPECT_EQ(counts[1], counts[0]);
}

TEST_F(FileWords, UpdateCopiesOnlyWhatIsMissingOrOlder) {
  MakeTree(at("src"));
  EXPECT_EQ(Update(at("src"), at("dst")).status, 0);
  Listing expected = List(at("src"));
  for (const char* dot : {".git\\", ".git\\config", "sub\\.hidden"}) expected.erase(dot);
  EXPECT_EQ(List(at("dst")), expected);
  // Destination contents changed behind equal, newer and older times:
  // only the older one is copied; all three lose read-only.
  const std::string same = "sub\\deep\\d.txt", newer = "block.dat", older = kHyo + "\\" + kSoTxt;
  for (const std::string& rel : {same, newer, older}) {
    ULONGLONG t = WriteTime(at("src\\" + rel));
    WriteAll(at("dst\\" + rel), "changed");
    SetWriteTime(at("dst\\" + rel), rel == same ? t : rel == newer ? t + 10 : t - 10);
    SetFileAttributesA(at("dst\\" + rel).c_str(), FILE_ATTRIBUTE_READONLY);
  }
  EXPECT_EQ(Update(at("src"), at("dst")).status, 0);
  EXPECT_EQ(ReadAll(at("dst\\" + same)) + ReadAll(at("dst\\" + newer)) + ReadAll(at("dst\\" + older)), "changedchangedsjis");
  for (const std::string& rel : {same, newer, older}) EXPECT_EQ(Attributes(at("dst\\" + rel)) & 1u, 0u) << rel;
}

TEST_F(FileWords, UpdateChecksInTheirOrderAndBoundsItsPaths) {
  CreateDirectoryA(at("a").c_str(), nullptr);
  WriteAll(at("a\\f.txt"), "f");
  WriteAll(at("g.txt"), "g");
  char text[600] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_PATH_NOT_FOUND,
                 LANG_USER_DEFAULT, text, sizeof text, nullptr);
  std::string noPath(text, 0, 132);
  noPath.erase(noPath.find_last_not_of("\r\n") + 1);
  // A destination folder whose entries would outgrow the 264-byte buffer.
  std::string deep = root_;
  while (deep.size() < 225) CreateDirectoryA((deep += "\\" + std::string(std::min<std::size_t>(40, 230 - deep.size()), 'd')).c_str(), nullptr);
  const std::string name(40, 'n');
  WriteAll(at("a\\") + name, "x");
  ExpectRefused("UPDATE", {
      {at("none"), at("x"), Msg(1306, at("none").c_str(), at("x").c_str())},
      {at("g.txt"), at("a"), Msg(1305, at("g.txt").c_str(), at("a").c_str())},
      {at("a"), at("g.txt"), Msg(1305, at("a").c_str(), at("g.txt").c_str())},
      {at("g.txt"), at("G.TXT"), Msg(1306, at("g.txt").c_str(), at("G.TXT").c_str())},
      {at("a"), at("A"), Msg(1306, at("a").c_str(), at("A").c_str())},
      {at("a"), at("a\\b"), Msg(1306, at("a").c_str(), at("a\\b").c_str())},
      {at("a"), at("new\\deeper"), noPath},  // one level is made, not two
      {at("a") + std::string(260 - at("a").size(), '\\'), at("x"), Msg(1007, 259)},
  });
  // Named as the paths would have read (a path past 260 bytes shortened);
  // what fitted is already copied.
  ExpectError(Update(at("a"), deep),
              Msg(1306, (at("a\\") + name).c_str(), Shortened(deep + "\\" + name, 260).c_str()));
  EXPECT_EQ(Update(at("a"), at("ab")).status, 0);  // a name that merely starts alike
  EXPECT_EQ(ReadAll(at("ab\\f.txt")), "f");
  Outcome o = host_->call("UPDATE", {Omit(), P(at("y"))});  // updates nothing, says so
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.raised.empty());
}

TEST_F(FileWords, DeleteAsksOnceWithTheCaptionOfThePattern) {
  MakeTree(at("t"));
  SetFileAttributesA(at("t\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  struct Case { std::string pattern; int caption; } cases[] = {
      {at("t\\*.*"), 1236}, {at("t\\*.dat"), 1236}, {at("t\\su?"), 1234}, {at("t\\bl*"), 1235}};
  for (const Case& c : cases) {
    Listing before = List(at("t"));
    DialogScript cancel({Press(IDCANCEL)});
    ExpectError(Delete(c.pattern, nullptr), Msg(1237));
    cancel.finish();
    ASSERT_EQ(cancel.seen().size(), 1u);
    EXPECT_EQ(cancel.seen()[0].caption + "|" + cancel.seen()[0].text, Msg(c.caption) + "|" + c.pattern);
    EXPECT_EQ(cancel.seen()[0].owner, nullptr);
    EXPECT_EQ(List(at("t")), before);
  }
  DialogScript ok({Press(IDOK)});
  Outcome o = Delete(at("t\\*.*"), "ask");
  ok.finish();
  ASSERT_EQ(o.raised.size(), 1u);
  EXPECT_EQ(o.raised[0].kind, 0);
  EXPECT_EQ(o.raised[0].text, at("t\\*.*") + A(" を削除しました"));
  EXPECT_TRUE(List(at("t")).empty() && Exists(at("t")));  // dot names go too
}

TEST_F(FileWords, DeleteTreesOrOnlyFilesAndStopsAtTheFirstFailure) {
  MakeTree(at("t"));
  DialogScript none({});
  Listing before = List(root_);
  EXPECT_EQ(Delete(at("t\\"), "DontAsk", "fileonly").raised.at(0).text, at("t") + A(" を削除しました"));
  EXPECT_EQ(List(root_), before);
  ExpectError(Delete(at("t\\*.*"), "dontask", "FileOnly"), at("t\\ro.txt") + A(" は削除できません"));
  SetFileAttributesA(at("t\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Delete(at("t\\*.*"), "dontask", "FileOnly").status, 0);
  for (const auto& [rel, bytes] : List(at("t"))) EXPECT_NE(rel.find('\\'), std::string::npos) << rel;
  {
    Holder hold(at("t\\sub\\deep\\d.txt"), 800);
    ExpectError(Delete(at("t")), at("t\\sub\\deep\\d.txt") + A(" は削除できません"));
  }
  EXPECT_TRUE(Exists(at("t\\sub\\deep\\d.txt")));
  EXPECT_EQ(Delete(at("t"), "DONTASK", "files").status, 0);
  EXPECT_FALSE(Exists(at("t")));
  // Nothing matches: said before any question, in 131 bytes, the pattern
  // giving way to the words after it.
  ExpectError(Delete(at("none*"), nullptr), at("none*") + A(" は削除できません"));
  const std::string longPattern = at(std::string(140, 'z')), refused = A(" は削除できません");
  ExpectError(Delete(longPattern), Shortened(longPattern, 131 - refused.size()) + refused);
  none.finish();
}

// Were the refusal broken, the question would come (no DONTASK) and the
// empty script would cancel it.
TEST_F(FileWords, DeleteRefusesRootsAndEmptyPatterns) {
  std::string up;
  for (int i = 0; i < 20; ++i) up += "..\\";
  DialogScript none({});
  for (std::string pattern : std::vector<std::string>{"C:\\", "C:\\*.*", "c:\\*", "\\*.*", "Z:\\", "C:", up + "*.*", up}) {
    Outcome o = host_->call("EX_DELETE", {P(pattern), Omit(), Omit()});
    if (pattern.size() > 3) pattern.erase(pattern.find_last_not_of('\\') + 1);
    ExpectError(o, pattern + A(" は削除できません"));
  }
  ExpectError(host_->call("EX_DELETE", {P(""), P("DONTASK"), Omit()}), Msg(1008));
  none.finish();
}

}  // namespace
}  // namespace mcrtest
