// COPY, UPDATE and EX_DELETE on trees the tests lay out in their own
// folders. Under Wine, Z: is the whole Linux file system: every path handed
// to the words is checked to lie inside the test's folder first, and the
// cases that name a drive root never pass DONTASK and cancel any question.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "dialogs.h"
#include "testhost.h"

namespace mcrtest {
namespace {

// Shift-JIS names whose second byte is 0x5C, the backslash.
const std::string kHyo = A("表");
const std::string kSoTxt = A("ソ.txt");

Arg P(const std::string& ansi) { return Value::Str(ansi); }

// The form COPY compares and reports file paths in (ASCII paths only).
std::string Slash(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string Bytes(std::size_t n, unsigned seed) {
  std::string b(n, '\0');
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<char>((i * 131 + seed) >> 3);
  return b;
}

void Put(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
  DWORD n = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
}

std::string Get(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(GetFileSize(f, nullptr), '\0');
  DWORD n = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
  return bytes;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
bool ReadOnly(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

ULONGLONG WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return 0;
  return (ULONGLONG(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime;
}

// Sets the last-write time to a fixed moment, hours from a base.
void SetWriteTime(const std::string& path, int hours) {
  ULONGLONG t = 132000000000000000ULL + ULONGLONG(hours) * 36000000000ULL;
  FILETIME ft{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
  HANDLE f = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
  SetFileTime(f, nullptr, nullptr, &ft);
  CloseHandle(f);
}

// Relative path -> contents of every file below dir (dot names included).
using Listing = std::map<std::string, std::string>;
void List(const std::string& dir, const std::string& rel, Listing* out) {
  WIN32_FIND_DATAA e;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &e);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = e.cFileName;
    if (name == "." || name == "..") continue;
    if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*out)[rel + name + "\\"] = "";
      List(dir + "\\" + name, rel + name + "\\", out);
    } else {
      (*out)[rel + name] = Get(dir + "\\" + name);
    }
  } while (FindNextFileA(h, &e));
  FindClose(h);
}
Listing List(const std::string& dir) {
  Listing l;
  List(dir, "", &l);
  return l;
}

// Holds a file open without sharing on a second thread for ms milliseconds.
class Holder {
 public:
  Holder(const std::string& path, DWORD ms) {
    HANDLE opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([=] {
      HANDLE f = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             0, nullptr);
      SetEvent(opened);
      Sleep(ms);
      CloseHandle(f);
    });
    WaitForSingleObject(opened, 5000);
    CloseHandle(opened);
  }
  ~Holder() { thread_.join(); }

 private:
  std::thread thread_;
};

// Handles this process holds, as the system lists them.
std::size_t OwnHandles() {
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<Query>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation"));
  struct Entry {
    ULONG pid;
    BYTE type, flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
  };
  struct Table {
    ULONG count;
    Entry entries[1];
  };
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kTooSmall = static_cast<LONG>(0xC0000004);
  std::vector<char> buffer(1 << 20);
  ULONG need = 0;
  while (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &need) ==
         kTooSmall)
    buffer.resize(buffer.size() * 2);
  const auto* table = reinterpret_cast<const Table*>(buffer.data());
  std::size_t own = 0;
  for (ULONG i = 0; i < table->count; ++i) own += table->entries[i].pid == GetCurrentProcessId();
  return own;
}

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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
    // Read-only fixtures would outlive the folder's removal.
    Listing all = List(root_);
    for (const auto& [rel, bytes] : all) SetFileAttributesA(at(rel).c_str(), FILE_ATTRIBUTE_NORMAL);
  }

  std::string at(const std::string& rel) const { return root_ + "\\" + rel; }

  // A tree with nested folders, dot names, an empty file, files at and just
  // past one copy block, a read-only file and names ending in 0x5C bytes.
  void MakeTree(const std::string& top) {
    for (const char* d : {"", "\\sub", "\\sub\\deep", "\\.git"})
      CreateDirectoryA((top + d).c_str(), nullptr);
    CreateDirectoryA((top + "\\" + kHyo).c_str(), nullptr);
    Put(top + "\\empty.dat", "");
    Put(top + "\\block.dat", Bytes(32768, 1));
    Put(top + "\\block1.dat", Bytes(32769, 2));
    Put(top + "\\sub\\deep\\d.txt", "deep");
    Put(top + "\\sub\\.hidden", "dot");
    Put(top + "\\.git\\config", "dot dir");
    Put(top + "\\" + kHyo + "\\" + kSoTxt, "sjis");
    Put(top + "\\ro.txt", "read only");
    SetFileAttributesA((top + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    int hour = 0;
    for (const auto& [rel, bytes] : List(top))
      if (rel.back() != '\\') SetWriteTime(top + "\\" + rel, ++hour);
  }

  // Runs the word only when every path lies inside the test's folder.
  Outcome Run(const char* word, const std::vector<std::string>& paths, std::vector<Arg> rest = {}) {
    std::vector<Arg> args;
    for (const std::string& p : paths) {
      char full[2 * MAX_PATH] = {};
      DWORD n = GetFullPathNameA(p.c_str(), sizeof full, full, nullptr);
      std::string f = n > 0 && n < sizeof full ? std::string(full) : p;
      if (f.find("..") != std::string::npos) f.clear();
      if (f.size() <= root_.size() ||
          _strnicmp(f.c_str(), (root_ + "\\").c_str(), root_.size() + 1) != 0) {
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
  Outcome Update(const std::string& s, const std::string& d) { return Run("UPDATE", {s, d}); }
  Outcome Delete(const std::string& pattern, const char* ask = "DONTASK",
                 const char* files = nullptr) {
    return Run("EX_DELETE", {pattern}, {ask ? P(ask) : Omit(), files ? P(files) : Omit()});
  }

  // Each pair fails with its text and leaves the folder as it was.
  struct Refusal {
    std::string s, d, error;
  };
  void ExpectRefused(const std::function<Outcome(const std::string&, const std::string&)>& word,
                     const std::vector<Refusal>& cases);

  TempDir dir_;
  std::string root_;
  char saved_[MAX_PATH] = {};
  std::unique_ptr<Host> host_;
};

void ExpectError(const Outcome& o, const std::string& text, std::uint16_t status = 1) {
  EXPECT_EQ(o.status, status);
  ASSERT_NE(o.error(), nullptr);
  EXPECT_EQ(U(*o.error()), U(text));
}

void FileWords::ExpectRefused(
    const std::function<Outcome(const std::string&, const std::string&)>& word,
    const std::vector<Refusal>& cases) {
  for (const Refusal& c : cases) {
    SCOPED_TRACE(U(c.s) + " -> " + U(c.d));
    Listing before = List(root_);
    ExpectError(word(c.s, c.d), c.error);
    EXPECT_EQ(List(root_), before);
  }
}

// ---- COPY ---------------------------------------------------------------------

TEST_F(FileWords, CopyTreeSkipsDotNamesAndKeepsBytesAndTimes) {
  MakeTree(at("src"));
  std::vector<std::string> ops;
  host_->onTrace = [&](const char* op, const std::string& detail, std::uint16_t) {
    ops.push_back(std::string(op) + " " + detail);
  };
  Outcome o = Copy(at("src"), at("dst"));
  host_->onTrace = nullptr;
  EXPECT_EQ(o.status, 0);
  ASSERT_EQ(o.raised.size(), 1u);
  EXPECT_EQ(o.raised[0].kind, 9);
  EXPECT_EQ(o.raised[0].text, " ");
  // Busy from before the first file to after the last message.
  ASSERT_GE(ops.size(), 3u);
  EXPECT_EQ(ops.front().rfind("SetHostBusy", 0), 0u) << ops.front();
  EXPECT_EQ(ops.back().rfind("SetHostBusy", 0), 0u) << ops.back();
  EXPECT_EQ(ops[ops.size() - 2].rfind("RaiseError", 0), 0u);

  Listing src = List(at("src")), dst = List(at("dst"));
  Listing expected = src;
  for (const char* dot : {".git\\", ".git\\config", "sub\\.hidden"})
    EXPECT_EQ(expected.erase(dot), 1u);
  EXPECT_EQ(dst, expected);
  for (const auto& [rel, bytes] : expected)
    if (rel.back() != '\\') {
      EXPECT_EQ(WriteTime(at("dst\\" + rel)), WriteTime(at("src\\" + rel))) << rel;
    }
  EXPECT_FALSE(ReadOnly(at("dst\\ro.txt")));
  EXPECT_TRUE(ReadOnly(at("src\\ro.txt")));
}

TEST_F(FileWords, CopyChecksInTheirOrder) {
  CreateDirectoryA(at("X").c_str(), nullptr);
  CreateDirectoryA(at("X\\in").c_str(), nullptr);
  Put(at("X\\f.txt"), "f");
  Put(at("g.txt"), "g");
  const std::string longName(120, 'n');
  ExpectRefused(
      [&](const std::string& s, const std::string& d) { return Copy(s, d); },
      {
          {at("none.txt"), at("g.txt"), Msg(1306, at("none.txt").c_str(), at("g.txt").c_str())},
          {at("g.txt"), at("X"), Msg(1305, at("g.txt").c_str(), at("X").c_str())},
          {at("X"), at("g.txt"), Msg(1305, at("X").c_str(), at("g.txt").c_str())},
          // The same file spelt with either separator, compared in the slash form.
          {at("g.txt"), root_ + "/g.txt",
           Msg(1306, Slash(at("g.txt")).c_str(), Slash(at("g.txt")).c_str())},
          {at("G.TXT"), at("g.txt"),
           Msg(1306, Slash(at("G.TXT")).c_str(), Slash(at("g.txt")).c_str())},
          // Inside its own tree, refused before anything is made.
          {at("X"), at("X\\new"), Msg(1306, at("X").c_str(), at("X\\new").c_str())},
          {at("X"), at("x\\in\\new"), Msg(1306, at("X").c_str(), at("x\\in\\new").c_str())},
          // Texts are cut at 135 bytes.
          {at(longName), at("g.txt"),
           std::string(Msg(1306, at(longName).c_str(), at("g.txt").c_str()), 0, 135)},
          // Runtime error number and path: the parent folder is missing.
          {at("X"), at("no\\deeper"), A("ﾌｧｲﾙまたはﾃﾞｨﾚｸﾄﾘが存在しません: ") + at("no\\deeper")},
          {at("X"), at("no\\") + longName,
           std::string(A("ﾌｧｲﾙまたはﾃﾞｨﾚｸﾄﾘが存在しません: ") + at("no\\") + longName, 0, 135)},
      });
  // A sibling whose name merely begins with the source's is no clash.
  EXPECT_EQ(Copy(at("X"), at("X2")).status, 0);
  EXPECT_EQ(Get(at("X2\\f.txt")), "f");
}

TEST_F(FileWords, CopyCompletesBareNamesAndAnswersMissingOnesBare) {
  CreateDirectoryA(at("d").c_str(), nullptr);
  Put(at("d\\a.txt"), "a");
  Put(at("top.txt"), "top");
  EXPECT_EQ(Copy(at("d\\a.txt"), "b.txt").status, 0);  // beside the source file
  EXPECT_EQ(Get(at("d\\b.txt")), "a");
  // A bare name for a folder's copy lands inside that folder: refused.
  ExpectError(Copy(at("d"), "e"), Msg(1306, at("d").c_str(), at("d\\e").c_str()));
  EXPECT_EQ(Copy("top.txt", "top2.txt").status, 0);  // from the current folder
  EXPECT_EQ(Get(at("top2.txt")), "top");
  struct Case {
    Arg s, d;
  } cases[] = {
      {Omit(), P(at("x"))},      {P(""), P(at("x"))}, {P(at("top.txt")), Omit()},
      {P(at("top.txt")), P("")}, {Omit(), Omit()},
  };
  for (const Case& c : cases) {
    Outcome o = host_->call("COPY", {c.s, c.d, P("DONTASK")});
    EXPECT_EQ(o.status, 6023);
    EXPECT_TRUE(o.raised.empty());
    EXPECT_FALSE(host_->busy());
  }
}

TEST_F(FileWords, CopyAsksBeforeOverwriting) {
  Put(at("s.txt"), "new");
  Put(at("d.txt"), "old");
  SetFileAttributesA(at("d.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  {  // OK: the read-only copy is overwritten.
    DialogScript script({Press(IDOK)});
    EXPECT_EQ(Copy(at("s.txt"), at("d.txt"), nullptr).status, 0);
    script.finish();
    ASSERT_EQ(script.seen().size(), 1u);
    EXPECT_EQ(script.seen()[0].caption, Msg(1310));
    EXPECT_EQ(script.seen()[0].text, at("d.txt"));
    EXPECT_EQ(script.seen()[0].owner, host_->window());
    EXPECT_EQ(Get(at("d.txt")), "new");
    EXPECT_FALSE(ReadOnly(at("d.txt")));
  }
  MakeTree(at("tree"));
  CreateDirectoryA(at("target").c_str(), nullptr);
  Put(at("target\\keep"), "k");
  {  // Cancel at the folder: nothing changes, the error has no text.
    DialogScript script({Press(IDCANCEL)});
    Listing before = List(at("target"));
    ExpectError(Copy(at("tree"), at("target"), "ask"), "");
    script.finish();
    EXPECT_EQ(script.seen().at(0).caption, Msg(1309));
    EXPECT_EQ(List(at("target")), before);
  }
  {  // One question for the folder, none for the files inside it.
    Put(at("target\\empty.dat"), "x");
    DialogScript script({Press(IDOK)});
    EXPECT_EQ(Copy(at("tree"), at("target"), "").status, 0);
    script.finish();
    EXPECT_EQ(Get(at("target\\empty.dat")), "");
  }
  {  // DONTASK in any case: never a question.
    SetFileAttributesA(at("d.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Put(at("s.txt"), "newer");
    DialogScript none({});
    EXPECT_EQ(Copy(at("s.txt"), at("d.txt"), "dontask").status, 0);
    none.finish();
    EXPECT_EQ(Get(at("d.txt")), "newer");
  }
}

// Under Wine a file held without sharing answers 32 (sharing violation):
// the source is retried on any failure, the destination only on 5.
TEST_F(FileWords, CopyWaitsForAHeldSourceButNotForAHeldDestination) {
  Put(at("s.txt"), Bytes(40000, 3));
  double took = 0;
  {
    Holder hold(at("s.txt"), 700);
    took = Seconds([&] { EXPECT_EQ(Copy(at("s.txt"), at("d.txt")).status, 0); });
  }
  EXPECT_EQ(Get(at("d.txt")), Get(at("s.txt")));
  EXPECT_GE(took, 0.6);  // waited 200 + 400 (+ 600) ms

  Put(at("d2.txt"), "held");
  Holder hold(at("d2.txt"), 1500);
  Outcome o;
  took = Seconds([&] { o = Copy(at("s.txt"), at("d2.txt")); });
  ExpectError(o, A("共有違反: ") + Slash(at("d2.txt")));
  EXPECT_EQ(o.raised.size(), 1u);  // no DST notice
  EXPECT_LT(took, 1.0);
}

// The one slow case: a tree whose source file stays held through the whole
// schedule (15 s). The files copied before it stay.
TEST_F(FileWords, CopyGivesUpAfterTheScheduleAndKeepsWhatItCopied) {
  MakeTree(at("src"));
  Holder hold(at("src\\sub\\deep\\d.txt"), 17000);
  Outcome o = Copy(at("src"), at("dst"));
  const std::string held = Slash(at("src\\sub\\deep\\d.txt"));
  ASSERT_EQ(o.raised.size(), 2u);
  EXPECT_EQ(o.raised[0].kind, 0);
  EXPECT_EQ(o.raised[0].text, "SRC:" + held + " : Retry 20");
  ExpectError(o, A("共有違反: ") + held);
  Listing src = List(at("src"));
  for (const auto& [rel, bytes] : List(at("dst"))) EXPECT_EQ(bytes, src[rel]) << rel;
  EXPECT_FALSE(Exists(at("dst\\sub\\deep\\d.txt")));
}

// Failures deep in a walk leave two searches open when they happen.
TEST_F(FileWords, NoHandleOutlivesACallOnAnyPath) {
  MakeTree(at("src"));
  SetFileAttributesA(at("src\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  for (const char* d : {"clash", "clash\\sub"}) CreateDirectoryA(at(d).c_str(), nullptr);
  Put(at("clash\\sub\\deep"), "a file where the source has a folder");
  struct Case {
    std::function<Outcome()> call;
    std::uint16_t status;
  } cases[] = {
      {[&] { return Copy(at("src"), at("copy")); }, 0},
      {[&] { return Copy(at("src"), at("clash")); }, 1},
      {[&] { return Copy(at("src"), at("no\\deeper")); }, 1},
      {[&] { return Copy(at("src\\block1.dat"), at("one.dat")); }, 0},
      {[&] { return Update(at("src"), at("upd")); }, 0},
      {[&] { return Update(at("src"), at("clash")); }, 1},
      {[&] { return Delete(at("upd\\*.*")); }, 0},
      {[&] {
         SetFileAttributesA(at("copy\\sub\\deep\\d.txt").c_str(), FILE_ATTRIBUTE_READONLY);
         return Delete(at("copy"));
       },
       1},
  };
  // The platform opens a few handles of its own on first use (a worker
  // thread, named-object directories): the first round lets it, the second
  // must end where the first did.
  std::size_t counts[2];
  for (std::size_t& count : counts) {
    for (std::size_t i = 0; i < std::size(cases); ++i)
      EXPECT_EQ(cases[i].call().status, cases[i].status) << i;
    Sleep(300);
    count = OwnHandles();
  }
  EXPECT_GT(counts[0], 0u);
  EXPECT_EQ(counts[1], counts[0]);
}

// ---- UPDATE -------------------------------------------------------------------

TEST_F(FileWords, UpdateCopiesOnlyWhatIsMissingOrOlder) {
  MakeTree(at("src"));
  EXPECT_EQ(Update(at("src"), at("dst")).status, 0);
  Listing src = List(at("src")), dst = List(at("dst"));
  EXPECT_EQ(dst.size(), 9u);
  for (const auto& [rel, bytes] : dst) {
    EXPECT_EQ(bytes, src[rel]) << rel;
    if (rel.back() != '\\') {
      EXPECT_EQ(WriteTime(at("dst\\" + rel)), WriteTime(at("src\\" + rel)));
    }
  }
  EXPECT_FALSE(Exists(at("dst\\.git")));
  EXPECT_FALSE(Exists(at("dst\\sub\\.hidden")));

  // Destination contents changed behind its times: only a file whose
  // source is newer is copied; equal and newer ones only lose read-only.
  const std::string same = "sub\\deep\\d.txt", newer = "block.dat", older = kHyo + "\\" + kSoTxt;
  for (const std::string& rel : {same, newer, older}) {
    ULONGLONG t = WriteTime(at("src\\" + rel));
    Put(at("dst\\" + rel), "changed");
    HANDLE f = CreateFileA(at("dst\\" + rel).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ULONGLONG want = rel == same ? t : rel == newer ? t + 10 : t - 10;
    FILETIME ft{static_cast<DWORD>(want), static_cast<DWORD>(want >> 32)};
    SetFileTime(f, nullptr, nullptr, &ft);
    CloseHandle(f);
    SetFileAttributesA(at("dst\\" + rel).c_str(), FILE_ATTRIBUTE_READONLY);
  }
  EXPECT_EQ(Update(at("src"), at("dst")).status, 0);
  EXPECT_EQ(Get(at("dst\\" + same)), "changed");
  EXPECT_EQ(Get(at("dst\\" + newer)), "changed");
  EXPECT_EQ(Get(at("dst\\" + older)), "sjis");
  for (const std::string& rel : {same, newer, older})
    EXPECT_FALSE(ReadOnly(at("dst\\" + rel))) << rel;
}

TEST_F(FileWords, UpdateChecksInTheirOrder) {
  CreateDirectoryA(at("a").c_str(), nullptr);
  Put(at("a\\f.txt"), "f");
  Put(at("g.txt"), "g");
  char text[600] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 ERROR_PATH_NOT_FOUND, LANG_USER_DEFAULT, text, sizeof text, nullptr);
  std::string noPath(text, 0, 132);
  while (!noPath.empty() && (noPath.back() == '\n' || noPath.back() == '\r')) noPath.pop_back();
  ASSERT_FALSE(noPath.empty());
  ExpectRefused([&](const std::string& s, const std::string& d) { return Update(s, d); },
                {
                    {at("none"), at("x"), Msg(1306, at("none").c_str(), at("x").c_str())},
                    {at("g.txt"), at("a"), Msg(1305, at("g.txt").c_str(), at("a").c_str())},
                    {at("a"), at("g.txt"), Msg(1305, at("a").c_str(), at("g.txt").c_str())},
                    {at("g.txt"), at("G.TXT"), Msg(1306, at("g.txt").c_str(), at("G.TXT").c_str())},
                    {at("a"), at("A"), Msg(1306, at("a").c_str(), at("A").c_str())},
                    {at("a"), at("a\\b"), Msg(1306, at("a").c_str(), at("a\\b").c_str())},
                    {at("a"), at("new\\deeper"), noPath},  // one level is made, not two
                    {at("a") + std::string(260 - at("a").size(), '\\'), at("x"), Msg(1007, 259)},
                    {at("a"), at("x") + std::string(260 - at("x").size(), 'x'), Msg(1007, 259)},
                });
  EXPECT_EQ(Update(at("a"), at("ab")).status, 0);
  EXPECT_EQ(Get(at("ab\\f.txt")), "f");
  // An omitted path updates nothing and raises nothing, but says so.
  for (auto args : {std::vector<Arg>{Omit(), P(at("y"))}, std::vector<Arg>{P(at("a")), Omit()}}) {
    Outcome o = host_->call("UPDATE", args);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.raised.empty());
  }
  EXPECT_FALSE(Exists(at("y")));
}

// Paths that would outgrow the walk's buffers stop it with the paths named;
// nothing past the buffers is written.
TEST_F(FileWords, UpdateStopsAtPathsTooLongForItsBuffers) {
  std::string deep = root_;
  while (deep.size() < 225) {
    deep += "\\" + std::string(std::min<std::size_t>(40, 230 - deep.size()), 'd');
    CreateDirectoryA(deep.c_str(), nullptr);
  }
  const std::string name(40, 'n');
  std::wstring wide(deep.begin(), deep.end());
  const std::wstring longFile = L"\\\\?\\" + wide + L"\\" + std::wstring(name.begin(), name.end());
  HANDLE f = CreateFileW(longFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  ExpectError(Update(deep, at("out")),
              Msg(1306, (deep + "\\" + name).c_str(), (at("out") + "\\" + name).c_str()));
  EXPECT_TRUE(List(at("out")).empty());

  CreateDirectoryA(at("s").c_str(), nullptr);
  Put(at("s\\") + name, "x");
  const std::string target = deep + "\\t";
  ExpectError(Update(at("s"), target),
              Msg(1306, (at("s\\") + name).c_str(), (target + "\\" + name).c_str()));
  DeleteFileW(longFile.c_str());  // beyond what the folder's removal reaches
}

TEST_F(FileWords, UpdateProgressRoutineLetsTheCopyGoOn) {
  using Routine = DWORD(CALLBACK*)(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER,
                                   DWORD, DWORD, HANDLE, HANDLE, LPVOID);
  auto routine =
      reinterpret_cast<Routine>(GetProcAddress(host_->library(), "UpdateProgressRoutine"));
  ASSERT_NE(routine, nullptr);
  Put(at("big"), Bytes(300000, 4));
  BOOL cancel = FALSE;
  ASSERT_TRUE(CopyFileExA(at("big").c_str(), at("big2").c_str(), routine, nullptr, &cancel, 0));
  EXPECT_EQ(Get(at("big2")), Get(at("big")));
}

// ---- EX_DELETE ----------------------------------------------------------------

TEST_F(FileWords, DeleteAsksOnceWithTheCaptionOfThePattern) {
  MakeTree(at("t"));
  SetFileAttributesA(at("t\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  struct Case {
    std::string pattern;
    int caption;
  } cases[] = {
      {at("t\\*.*"), 1236},
      {at("t\\*.dat"), 1236},
      {at("t\\su?"), 1234},
      {at("t\\bl*"), 1235},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U(c.pattern));
    Listing before = List(at("t"));
    DialogScript script({Press(IDCANCEL)});
    ExpectError(Delete(c.pattern, nullptr), Msg(1237));
    script.finish();
    ASSERT_EQ(script.seen().size(), 1u);
    EXPECT_EQ(script.seen()[0].caption, Msg(c.caption));
    EXPECT_EQ(script.seen()[0].text, c.pattern);
    EXPECT_EQ(script.seen()[0].owner, nullptr);
    EXPECT_EQ(List(at("t")), before);
  }
  DialogScript script({Press(IDOK)});
  Outcome o = Delete(at("t\\*.*"), "ask");
  script.finish();
  EXPECT_EQ(o.status, 0);
  ASSERT_EQ(o.raised.size(), 1u);
  EXPECT_EQ(o.raised[0].kind, 0);
  EXPECT_EQ(o.raised[0].text, at("t\\*.*") + A(" を削除しました"));
  EXPECT_TRUE(List(at("t")).empty());  // dot names go too
  EXPECT_TRUE(Exists(at("t")));
}

TEST_F(FileWords, DeleteTreesOrOnlyFiles) {
  MakeTree(at("t"));
  SetFileAttributesA(at("t\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  Listing before = List(root_);
  DialogScript none({});
  Outcome o = Delete(at("t\\"), "DontAsk", "fileonly");  // one folder: kept with FILEONLY
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.raised.at(0).text, at("t") + A(" を削除しました"));
  EXPECT_EQ(List(root_), before);
  EXPECT_EQ(Delete(at("t\\*.*"), "dontask", "FileOnly").status, 0);
  Listing left = List(at("t"));
  for (const auto& [rel, bytes] : left) EXPECT_TRUE(rel.find('\\') != std::string::npos) << rel;
  EXPECT_TRUE(Exists(at("t\\sub\\deep\\d.txt")));
  EXPECT_EQ(Delete(at("t"), "DONTASK", "files").status, 0);
  EXPECT_FALSE(Exists(at("t")));
  none.finish();
}

TEST_F(FileWords, DeleteStopsAtTheFirstItemItCannotDelete) {
  DialogScript none({});
  // Nothing matches: reported before any question.
  ExpectError(Delete(at("none*"), nullptr), at("none*") + A(" は削除できません"));
  // The report is cut at 131 bytes.
  const std::string longPattern = at(std::string(140, 'z'));
  ExpectError(Delete(longPattern), std::string(longPattern + A(" は削除できません"), 0, 131));

  CreateDirectoryA(at("r").c_str(), nullptr);
  Put(at("r\\a.txt"), "a");
  Put(at("r\\ro.txt"), "r");
  SetFileAttributesA(at("r\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  ExpectError(Delete(at("r\\*.txt")), at("r\\ro.txt") + A(" は削除できません"));
  EXPECT_TRUE(Exists(at("r\\ro.txt")));

  MakeTree(at("h"));
  SetFileAttributesA(at("h\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  {
    Holder hold(at("h\\sub\\deep\\d.txt"), 800);
    ExpectError(Delete(at("h")), at("h\\sub\\deep\\d.txt") + A(" は削除できません"));
  }
  EXPECT_TRUE(Exists(at("h\\sub\\deep\\d.txt")));
  none.finish();
}

// A drive root, a wildcard over one, or an empty pattern is refused before
// the search. No DONTASK here: were the refusal broken, the question would
// come and be cancelled by the empty script.
TEST_F(FileWords, DeleteRefusesRootsAndEmptyPatterns) {
  std::string up;
  for (std::size_t i = 0; i < 20; ++i) up += "..\\";
  for (const std::string& pattern : std::vector<std::string>{"C:\\", "C:\\*.*", "c:\\*", "\\*.*",
                                                             "Z:\\", "C:", up + "*.*", up}) {
    SCOPED_TRACE(pattern);
    DialogScript none({});
    Outcome o = host_->call("EX_DELETE", {P(pattern), Omit(), Omit()});
    none.finish();
    ExpectError(o, std::string(pattern.size() > 3 && pattern.back() == '\\'
                                   ? pattern.substr(0, pattern.size() - 1)
                                   : pattern) +
                       A(" は削除できません"));
  }
  DialogScript none({});
  ExpectError(host_->call("EX_DELETE", {P(""), Omit(), Omit()}), Msg(1008));
  ExpectError(host_->call("EX_DELETE", {Omit(), P("DONTASK"), Omit()}), Msg(1008));
  none.finish();
}

}  // namespace
}  // namespace mcrtest
