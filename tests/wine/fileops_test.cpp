// COPY, UPDATE and EX_DELETE where their case file (tests/calls/fileops.calls)
// cannot look: times and attributes, the questions' windows, a file held
// through the retries, the update walk's buffer. Under Wine Z: is the whole
// file system: every path handed to the words must lie in the test's folder.
#include <windows.h>

#include <algorithm>
#include <map>
#include <thread>

#include "dialogs.h"
#include "testhost.h"

namespace mcrtest {
namespace {

const std::string kHyo = A("表"), kSoTxt = A("ソ.txt");  // second bytes 0x5C
bool ReadOnly(const std::string& path) { return GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY; }
// The last-write time (set when at is given).
ULONGLONG WriteTime(const std::string& path, ULONGLONG at = 0) {
  HANDLE f = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  FILETIME t{static_cast<DWORD>(at), static_cast<DWORD>(at >> 32)};
  if (at) SetFileTime(f, nullptr, nullptr, &t);
  GetFileTime(f, nullptr, nullptr, &t);
  CloseHandle(f);
  return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// Relative path -> contents of everything below dir (folders end in '\').
using Listing = std::map<std::string, std::string>;
Listing List(const std::string& dir, const std::string& rel = "") {
  Listing out;
  WIN32_FIND_DATAA e;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &e);
  for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &e)) {
    const std::string name = e.cFileName, path = dir + "\\" + name;
    if (name == "." || name == "..") continue;
    if (!(e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out[rel + name] = ReadAll(path);
    else out[rel + name + "\\"] = "", out.merge(List(path, rel + name + "\\"));
  }
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  return out;
}

class FileWords : public ::testing::Test {
 protected:
  std::string at(const std::string& rel) const { return root_ + "\\" + rel; }

  // Nested folders, dot names, an empty file, files of one copy block and
  // one byte more, a read-only file, names ending in 0x5C bytes; all with
  // distinct times. Returns the tree without its dot names.
  Listing MakeTree(const std::string& top, const std::string& readOnly = "read only") {
    for (const std::string& d : std::vector<std::string>{"", "\\sub", "\\sub\\deep", "\\.git", "\\" + kHyo})
      CreateDirectoryA((top + d).c_str(), nullptr);
    const std::pair<std::string, std::string> files[] = {
        {"empty.dat", ""}, {"block.dat", std::string(32768, 'b')}, {"block1.dat", std::string(32768, 'c') + "d"},
        {"sub\\deep\\d.txt", "deep"}, {"sub\\.hidden", "dot"}, {".git\\config", "dot dir"},
        {kHyo + "\\" + kSoTxt, "sjis"}, {"ro.txt", readOnly}};
    ULONGLONG t = 132000000000000000ULL;
    for (const auto& [rel, bytes] : files)
      WriteAll(top + "\\" + rel, bytes), WriteTime(top + "\\" + rel, t += 36000000000ULL);
    SetFileAttributesA((top + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Listing l = List(top);
    for (const char* dot : {".git\\", ".git\\config", "sub\\.hidden"}) l.erase(dot);
    return l;
  }

  // Runs the word only when every path lies inside the test's folder.
  Outcome Run(const char* word, const std::vector<std::string>& paths, std::vector<Arg> rest = {}) {
    std::vector<Arg> args;
    for (const std::string& p : paths) {
      if (p.find("..") != std::string::npos || _strnicmp(p.c_str(), (root_ + "\\").c_str(), root_.size() + 1))
        return ADD_FAILURE() << word << " refused: " << U(p) << " lies outside " << root_, Outcome{0xFFFF, {}, {}};
      args.push_back(Value::Str(p));
    }
    args.insert(args.end(), rest.begin(), rest.end());
    return host_->call(word, args);
  }
  Outcome Copy(const std::string& s, const std::string& d, Arg option = S("DONTASK")) {
    return Run("COPY", {s, d}, {option});
  }
  static void ExpectError(const Outcome& o, const std::string& text) {
    EXPECT_EQ(std::to_string(o.status) + " " + (o.error() ? U(*o.error()) : "<none>"), "1 " + U(text));
  }
  // What the questions showed, one line each: caption|text|owner.
  std::string Asked(DialogScript& script) {
    script.finish();
    std::string all;
    for (const auto& d : script.seen())
      all += d.caption + "|" + d.text + (d.owner == host_->window() ? "|host\n" : d.owner ? "|other\n" : "|none\n");
    return all;
  }

  TempDir dir_;
  const std::string root_ = dir_.path();
  std::unique_ptr<Host> host_ = OpenHost();
};

TEST_F(FileWords, CopyTreeSkipsDotNamesAndKeepsBytesAndTimes) {
  const Listing expected = MakeTree(at("src"));
  std::vector<std::string> ops;
  host_->onTrace = [&](const char* op, const std::string&, std::uint16_t) { ops.push_back(op); };
  EXPECT_EQ(Copy(at("src"), at("dst")).status, 0);
  host_->onTrace = nullptr;
  // Busy from before the first file to after the closing status.
  EXPECT_EQ(ops.front() + " " + ops[ops.size() - 2] + " " + ops.back(), "SetHostBusy RaiseError SetHostBusy");
  EXPECT_EQ(List(at("dst")), expected);
  for (const auto& [rel, bytes] : expected)
    EXPECT_TRUE(rel.back() == '\\' || WriteTime(at("dst\\" + rel)) == WriteTime(at("src\\" + rel))) << rel;
  EXPECT_FALSE(ReadOnly(at("dst\\ro.txt")));
}

// Full paths on either side of what the open-file record keeps (127 bytes)
// copy alike.
TEST_F(FileWords, CopyFullPathsOnEitherSideOfTheOpenFileRecord) {
  for (std::size_t length : {127u, 128u}) {
    const std::string src = at(std::string(length - root_.size() - 5, 's') + ".txt"),
                      dst = at(std::string(length - root_.size() - 5, 'd') + ".txt");
    ASSERT_EQ(src.size(), length);
    WriteAll(src, "record");
    EXPECT_EQ(Copy(src, dst).status, 0) << length;
    EXPECT_EQ(ReadAll(dst), "record") << length;
  }
}

// A file is asked about with the host window as the owner; a tree once,
// before anything is written, read-only files in it or not.
TEST_F(FileWords, CopyAsksTheHostWindowOnceBeforeOverwriting) {
  WriteAll(at("s.txt"), "new");
  WriteAll(at("d.txt"), "old");
  SetFileAttributesA(at("d.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  DialogScript ok({Press(IDOK)});
  EXPECT_EQ(Copy(at("s.txt"), at("d.txt"), Omit()).status, 0);
  EXPECT_EQ(Asked(ok), Msg(1310) + "|" + at("d.txt") + "|host\n");
  EXPECT_EQ(ReadAll(at("d.txt")) + (ReadOnly(at("d.txt")) ? " read-only" : ""), "new");
  MakeTree(at("tree"));
  MakeTree(at("target"), "x");
  const Listing before = List(at("target"));
  DialogScript cancel({Press(IDCANCEL)});
  ExpectError(Copy(at("tree"), at("target"), Omit()), "");
  EXPECT_EQ(Asked(cancel), Msg(1309) + "|" + at("target") + "|host\n");
  EXPECT_EQ(List(at("target")), before);
  DialogScript once({Press(IDOK)});
  EXPECT_EQ(Copy(at("tree"), at("target"), Omit()).status, 0);
  EXPECT_EQ(Asked(once) + ReadAll(at("target\\ro.txt")), Msg(1309) + "|" + at("target") + "|host\nread only");
}

// The one slow case: a source file held through the whole retry schedule
// (15 s; under Wine a file held without sharing answers 32, which the source
// retries). The files copied before it stay.
TEST_F(FileWords, CopyGivesUpAfterTheScheduleAndKeepsWhatItCopied) {
  const Listing src = MakeTree(at("src"));
  std::string held = at("src\\sub\\deep\\d.txt");
  std::thread hold([f = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)] {
    Sleep(17000);
    CloseHandle(f);
  });
  Outcome o = Copy(at("src"), at("dst"));
  hold.join();
  std::replace(held.begin(), held.end(), '\\', '/');  // COPY's form of the path
  ASSERT_EQ(o.raised.size(), 2u);
  EXPECT_EQ(std::to_string(o.raised[0].kind) + " " + o.raised[0].text, "0 SRC:" + held + " : Retry 20");
  ExpectError(o, A("共有違反: ") + held);
  for (const auto& [rel, bytes] : List(at("dst"))) EXPECT_EQ(bytes, src.at(rel)) << rel;
  EXPECT_EQ(GetFileAttributesA(at("dst\\sub\\deep\\d.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Destination contents changed behind equal, newer and older times: only the
// older one is copied; all three lose read-only.
TEST_F(FileWords, UpdateCopiesOnlyWhatIsMissingOrOlder) {
  const Listing src = MakeTree(at("src"));
  EXPECT_EQ(Run("UPDATE", {at("src"), at("dst")}).status, 0);
  EXPECT_EQ(List(at("dst")), src);
  const std::string same = "sub\\deep\\d.txt", newer = "block.dat", older = kHyo + "\\" + kSoTxt;
  for (const std::string& rel : {same, newer, older}) {
    const ULONGLONG t = WriteTime(at("src\\" + rel));
    WriteAll(at("dst\\" + rel), "changed");
    WriteTime(at("dst\\" + rel), rel == same ? t : rel == newer ? t + 10 : t - 10);
    SetFileAttributesA(at("dst\\" + rel).c_str(), FILE_ATTRIBUTE_READONLY);
  }
  EXPECT_EQ(Run("UPDATE", {at("src"), at("dst")}).status, 0);
  EXPECT_EQ(ReadAll(at("dst\\" + same)) + ReadAll(at("dst\\" + newer)) + ReadAll(at("dst\\" + older)),
            "changedchangedsjis");
  EXPECT_FALSE(ReadOnly(at("dst\\" + same)) || ReadOnly(at("dst\\" + newer)) || ReadOnly(at("dst\\" + older)));
}

// UPDATE makes one level of destination only, and names the system's own
// text cut to 132 bytes. A destination folder of 225 to 230 bytes: its entry
// outgrows the 264-byte buffer, and is named as it would have read, past 260
// bytes shortened.
TEST_F(FileWords, UpdateMakesOneLevelAndNamesAPathPastItsBuffer) {
  const std::string name(40, 'n');
  CreateDirectoryA(at("a").c_str(), nullptr);
  WriteAll(at("a\\") + name, "x");
  char text[600] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_PATH_NOT_FOUND,
                 LANG_USER_DEFAULT, text, sizeof text, nullptr);
  std::string noPath(text, 0, 132);
  ExpectError(Run("UPDATE", {at("a"), at("new\\deeper")}), noPath.erase(noPath.find_last_not_of("\r\n") + 1));
  EXPECT_EQ(GetFileAttributesA(at("new").c_str()), INVALID_FILE_ATTRIBUTES);
  std::string deep = root_;
  while (deep.size() < 225)
    CreateDirectoryA((deep += "\\" + std::string(std::min<std::size_t>(40, 230 - deep.size()), 'd')).c_str(), nullptr);
  const std::string past = (deep + "\\" + name).substr(0, 257) + "...";
  ExpectError(Run("UPDATE", {at("a"), deep}), Msg(1306, (at("a\\") + name).c_str(), past.c_str()));
}

// The question has no owner and the pattern's caption: all files, a
// wildcard pattern, a folder name.
TEST_F(FileWords, DeleteAsksOnceWithTheCaptionOfThePattern) {
  MakeTree(at("t"));
  SetFileAttributesA(at("t\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  const Listing before = List(at("t"));
  for (auto [pattern, caption] : {std::pair{"t\\*.*", 1236}, {"t\\*.dat", 1236}, {"t\\su?", 1234}, {"t\\bl*", 1235}}) {
    DialogScript cancel({Press(IDCANCEL)});
    ExpectError(Run("EX_DELETE", {at(pattern)}, {Omit(), Omit()}), Msg(1237));
    EXPECT_EQ(Asked(cancel), Msg(caption) + "|" + at(pattern) + "|none\n");
    EXPECT_EQ(List(at("t")), before);
  }
  DialogScript ok({Press(IDOK)});
  Outcome o = Run("EX_DELETE", {at("t\\*.*")}, {S("ask"), Omit()});
  ok.finish();
  ASSERT_EQ(o.raised.size(), 1u);
  EXPECT_EQ(std::to_string(o.raised[0].kind) + " " + o.raised[0].text, "0 " + at("t\\*.*") + A(" を削除しました"));
  // Dot names go too; the folder stays.
  EXPECT_TRUE(List(at("t")).empty() && GetFileAttributesA(at("t").c_str()) != INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace mcrtest
