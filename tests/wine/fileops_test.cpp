// COPY, UPDATE and EX_DELETE where a case file cannot look (the refusals,
// path completion, options and texts are in tests/calls/fileops.calls): file
// times and attributes, the questions' windows, files held for a while, and
// the update walk's buffer. Under Wine, Z: is the whole Linux file system:
// every path handed to the words is checked to lie inside the test's folder.
#include <windows.h>

#include <algorithm>
#include <map>
#include <thread>

#include "dialogs.h"
#include "testhost.h"

namespace mcrtest {
namespace {

const std::string kHyo = A("表"), kSoTxt = A("ソ.txt");  // second bytes 0x5C
Arg P(const std::string& ansi) { return Value::Str(ansi); }
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

// Holds a file open without sharing for ms milliseconds.
struct Holder {
  Holder(const std::string& path, DWORD ms)
      : thread([ms, f = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)] {
          Sleep(ms);
          CloseHandle(f);
        }) {}
  ~Holder() { thread.join(); }
  std::thread thread;
};

class FileWords : public ::testing::Test {
 protected:
  void SetUp() override { host_ = OpenHost(); }
  void TearDown() override {
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
  Listing TreeWithoutDotNames(const std::string& top) {
    Listing l = List(top);
    for (const char* dot : {".git\\", ".git\\config", "sub\\.hidden"}) EXPECT_EQ(l.erase(dot), 1u);
    return l;
  }

  // Runs the word only when every path lies inside the test's folder.
  Outcome Run(const char* word, const std::vector<std::string>& paths, std::vector<Arg> rest) {
    std::vector<Arg> args;
    for (const std::string& p : paths) {
      if (p.find("..") != std::string::npos || _strnicmp(p.c_str(), (root_ + "\\").c_str(), root_.size() + 1)) {
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

  TempDir dir_;
  const std::string root_ = dir_.path();
  std::unique_ptr<Host> host_;
};

void ExpectError(const Outcome& o, const std::string& text) {
  EXPECT_EQ(o.status, 1);
  ASSERT_NE(o.error(), nullptr);
  EXPECT_EQ(U(*o.error()), U(text));
}

TEST_F(FileWords, CopyTreeSkipsDotNamesAndKeepsBytesAndTimes) {
  MakeTree(at("src"));
  std::vector<std::string> ops;
  host_->onTrace = [&](const char* op, const std::string&, std::uint16_t) { ops.push_back(op); };
  Outcome o = Copy(at("src"), at("dst"));
  host_->onTrace = nullptr;
  EXPECT_EQ(o.status, 0);
  // Busy from before the first file to after the closing status.
  EXPECT_EQ(ops.front(), "SetHostBusy");
  EXPECT_EQ(std::vector<std::string>(ops.end() - 2, ops.end()), std::vector<std::string>({"RaiseError", "SetHostBusy"}));
  Listing expected = TreeWithoutDotNames(at("src"));
  EXPECT_EQ(List(at("dst")), expected);
  for (const auto& [rel, bytes] : expected)
    EXPECT_TRUE(rel.back() == '\\' || WriteTime(at("dst\\" + rel)) == WriteTime(at("src\\" + rel))) << rel;
  EXPECT_EQ(Attributes(at("dst\\ro.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(FileWords, CopyAsksTheHostWindowOnceBeforeOverwriting) {
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
  SetFileAttributesA(at("target\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  WriteAll(at("target\\ro.txt"), "x");
  SetFileAttributesA(at("target\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  Listing before = List(at("target"));
  DialogScript cancel({Press(IDCANCEL)});
  ExpectError(Copy(at("tree"), at("target"), nullptr), "");
  cancel.finish();
  EXPECT_EQ(cancel.seen().at(0).caption, Msg(1309));
  EXPECT_EQ(List(at("target")), before);
  DialogScript once({Press(IDOK)});  // after OK nothing inside the tree is asked about, read-only or not
  EXPECT_EQ(Copy(at("tree"), at("target"), nullptr).status, 0);
  once.finish();
  EXPECT_EQ(ReadAll(at("target\\ro.txt")), "read only");
}

// Under Wine a file held without sharing answers 32 (sharing violation):
// the source is retried on any failure (the destination only on 5, see the
// case file).
TEST_F(FileWords, CopyWaitsForAHeldSource) {
  WriteAll(at("s.txt"), std::string(40000, 's'));
  DWORD start = GetTickCount();
  {
    Holder hold(at("s.txt"), 700);
    EXPECT_EQ(Copy(at("s.txt"), at("d.txt")).status, 0);
  }
  EXPECT_GE(GetTickCount() - start, 600u);  // waited 200, 400 (and 600) ms
  EXPECT_EQ(ReadAll(at("d.txt")), ReadAll(at("s.txt")));
}

// The one slow case: a source file held through the whole schedule (15 s).
// The files copied before it stay.
TEST_F(FileWords, CopyGivesUpAfterTheScheduleAndKeepsWhatItCopied) {
  MakeTree(at("src"));
  Holder hold(at("src\\sub\\deep\\d.txt"), 17000);
  Outcome o = Copy(at("src"), at("dst"));
  std::string held = at("src\\sub\\deep\\d.txt");
  std::replace(held.begin(), held.end(), '\\', '/');  // COPY's form of the path
  ASSERT_EQ(o.raised.size(), 2u);
  EXPECT_EQ(o.raised[0].kind, 0);
  EXPECT_EQ(o.raised[0].text, "SRC:" + held + " : Retry 20");
  ExpectError(o, A("共有違反: ") + held);
  Listing src = List(at("src"));
  for (const auto& [rel, bytes] : List(at("dst"))) EXPECT_EQ(bytes, src[rel]) << rel;
  EXPECT_EQ(Attributes(at("dst\\sub\\deep\\d.txt")), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileWords, UpdateCopiesOnlyWhatIsMissingOrOlder) {
  MakeTree(at("src"));
  EXPECT_EQ(Update(at("src"), at("dst")).status, 0);
  EXPECT_EQ(List(at("dst")), TreeWithoutDotNames(at("src")));
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

TEST_F(FileWords, UpdateMakesOneLevelAndNamesAPathPastItsBuffer) {
  CreateDirectoryA(at("a").c_str(), nullptr);
  const std::string name(40, 'n');
  WriteAll(at("a\\") + name, "x");
  // The system's own text, cut to 132 bytes.
  char text[600] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_PATH_NOT_FOUND,
                 LANG_USER_DEFAULT, text, sizeof text, nullptr);
  std::string noPath(text, 0, 132);
  ExpectError(Update(at("a"), at("new\\deeper")), noPath.erase(noPath.find_last_not_of("\r\n") + 1));
  EXPECT_EQ(Attributes(at("new")), INVALID_FILE_ATTRIBUTES);
  // A destination folder of 225 to 230 bytes: its entry outgrows the
  // 264-byte buffer, and is named as it would have read, past 260 bytes
  // shortened.
  std::string deep = root_;
  while (deep.size() < 225)
    CreateDirectoryA((deep += "\\" + std::string(std::min<std::size_t>(40, 230 - deep.size()), 'd')).c_str(), nullptr);
  const std::string past = (deep + "\\" + name).substr(0, 257) + "...";
  ExpectError(Update(at("a"), deep), Msg(1306, (at("a\\") + name).c_str(), past.c_str()));
}

TEST_F(FileWords, DeleteAsksOnceWithTheCaptionOfThePattern) {
  MakeTree(at("t"));
  SetFileAttributesA(at("t\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  struct Case { std::string pattern; int caption; } cases[] = {
      {at("t\\*.*"), 1236}, {at("t\\*.dat"), 1236}, {at("t\\su?"), 1234}, {at("t\\bl*"), 1235}};
  for (const Case& c : cases) {
    Listing before = List(at("t"));
    DialogScript cancel({Press(IDCANCEL)});
    ExpectError(Run("EX_DELETE", {c.pattern}, {Omit(), Omit()}), Msg(1237));
    cancel.finish();
    ASSERT_EQ(cancel.seen().size(), 1u);
    EXPECT_EQ(cancel.seen()[0].caption + "|" + cancel.seen()[0].text, Msg(c.caption) + "|" + c.pattern);
    EXPECT_EQ(cancel.seen()[0].owner, nullptr);
    EXPECT_EQ(List(at("t")), before);
  }
  DialogScript ok({Press(IDOK)});
  Outcome o = Run("EX_DELETE", {at("t\\*.*")}, {P("ask"), Omit()});
  ok.finish();
  ASSERT_EQ(o.raised.size(), 1u);
  EXPECT_EQ(o.raised[0].kind, 0);
  EXPECT_EQ(o.raised[0].text, at("t\\*.*") + A(" を削除しました"));
  EXPECT_TRUE(List(at("t")).empty() && Attributes(at("t")) != INVALID_FILE_ATTRIBUTES);  // dot names go too
}

}  // namespace
}  // namespace mcrtest
