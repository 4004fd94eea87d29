// What the instrument-file suites share: a host with the library and a folder
// of fixture files, word calls checked against their status, result and
// message, files that show any rewrite, and the workstation key.
#pragma once
#include <windows.h>

#include <cmath>
#include <optional>

#include "bytes.h"
#include "testhost.h"

namespace mcrtest {

using Table = std::vector<double>;

struct Snapshot { std::string path; Bytes bytes; FILETIME written{}; };
inline Snapshot Snap(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a);
  return {path, Bytes::Load(path), a.ftLastWriteTime};
}
// Back-dated when saved, so that any rewrite, even of the same bytes, shows.
inline Snapshot Save(const Bytes& b, const std::string& path) {
  EXPECT_TRUE(b.save(path)) << path;
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME old{0x2A3B0000u, 0x01C0F000u};  // early 2001
  SetFileTime(h, &old, nullptr, &old);
  CloseHandle(h);
  return Snap(path);
}
inline void ExpectUnchanged(const Snapshot& before) {
  Snapshot now = Snap(before.path);
  EXPECT_TRUE(now.bytes == before.bytes) << before.path;
  EXPECT_EQ(CompareFileTime(&now.written, &before.written), 0) << before.path;
}

// Points the workstation key's "Path" at a folder (nothing: no value at all)
// and puts the earlier value back at the end of the test.
class WorkstationKey {
 public:
  static constexpr char kKey[] = "SOFTWARE\\Veltrix Technologies\\ICP-MS Quantaro\\CurrentVersion";
  WorkstationKey() {
    DWORD size = sizeof old_;
    had_ = RegGetValueA(HKEY_LOCAL_MACHINE, kKey, "Path", RRF_RT_REG_SZ, nullptr, old_, &size) == 0;
  }
  ~WorkstationKey() { Point(had_ ? std::optional<std::string>(old_) : std::nullopt); }
  void Point(const std::optional<std::string>& folder) {
    if (!folder) RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kKey, "Path");
    else RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKey, "Path", REG_SZ, folder->c_str(), DWORD(folder->size() + 1));
  }

 private:
  char old_[MAX_PATH] = {};
  bool had_ = false;
};

// A function call and what it must give: its result and its kind-1 text (ANSI,
// none when empty). These functions end with status 0, after an error too.
struct Case { const char* word; std::vector<Arg> args; double result; std::string error = ""; };

class InstWords : public ::testing::Test {
 protected:
  void SetUp() override { host_ = OpenHost(); }
  Outcome Call(const char* word, std::vector<Arg> args) { return host_->call(word, args); }
  void Ok(const Outcome& o) {
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.raised.empty()) << U(o.raised.empty() ? "" : o.raised[0].text);
  }
  // An empty message: the call ends with the status and raises nothing.
  void Err(const Outcome& o, const std::string& msg, std::uint16_t status = 1) {
    EXPECT_EQ(o.status, status);
    EXPECT_EQ(o.raised.empty(), msg.empty());
    if (msg.empty()) return;
    ASSERT_NE(o.error(), nullptr);
    EXPECT_EQ(U(*o.error()), U(msg));
  }
  void Run(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.word) + " case " + std::to_string(&c - cases.data()));
      Outcome o = Call(c.word, c.args);
      if (c.error.empty()) Ok(o);
      else Err(o, c.error, 0);
      ASSERT_TRUE(o.result && !o.result->isString);
      EXPECT_EQ(o.result->number, c.result);
    }
  }
  // The numeric variable, NaN when there is none.
  double Num(const char* name) {
    const mcrhost::Var* v = host_->vars().find(name);
    return v && v->type == mcrhost::Var::Type::Number ? v->number : std::nan("");
  }
  std::optional<Table> TableOf(const char* name) {
    const mcrhost::Var* v = host_->vars().find(name);
    if (!v || v->type != mcrhost::Var::Type::Table) return std::nullopt;
    return *host_->vars().table(v->table);
  }
  // Calls a function that fills the table variable T and returns the table.
  std::optional<Table> Listed(const char* word, std::vector<Arg> args, double count) {
    host_->vars().erase("T");
    Run({{word, std::move(args), count}});
    return TableOf("T");
  }

  TempDir dir_;
  std::unique_ptr<Host> host_;
};

}  // namespace mcrtest
