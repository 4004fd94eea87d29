// What every Wine suite shares: a host with the library loaded, texts in the
// ANSI code page, the catalogue's messages, files and their snapshots,
// temporary folders, the workstation key, and a fixture of a host and a folder.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "bytes.h"
#include "hostcore.h"

namespace mcrtest {

using mcrhost::Arg;
using mcrhost::Host;
using mcrhost::Outcome;
using mcrhost::Value;
using mcrhost::Word;

// A limit on how long the test waits for something, multiplied by the
// factor in MCR_TIME_SCALE (1 when unset): the 32-bit suites run in an
// emulated PC several times slower. What the library times itself does not
// scale, so only the tests' own waits go through here.
DWORD Scaled(DWORD ms);

// The library under test, next to the test executable.
std::string LibraryPath();
// A host window plus a connection to the library, registered.
std::unique_ptr<Host> OpenHost(mcrhost::HostOptions options = {});

// ANSI (Shift-JIS here) from UTF-8 and back; arguments from UTF-8.
inline std::string A(const std::string& utf8) { return mcrhost::Utf8ToAnsi(utf8); }
inline std::string U(const std::string& ansi) { return mcrhost::AnsiToUtf8(ansi); }
inline Arg S(const std::string& utf8) { return Value::Str(A(utf8)); }
inline Arg N(double v) { return Value::Num(v); }
inline Arg Omit() { return std::nullopt; }

// The catalogue as its resource script has it: the UTF-8 text of id (null
// when there is none), and all the ids.
const char* CatalogueText(int id);
std::vector<int> CatalogueIds();
// The text of id in ANSI with the inserts (ANSI texts; a number's digits for
// %d) in its places; Msg takes them as texts and numbers.
std::string MsgWith(int id, const std::vector<std::string>& inserts);
inline std::string Insert(const std::string& text) { return text; }
inline std::string Insert(long long number) { return std::to_string(number); }
template <typename... T>
std::string Msg(int id, const T&... inserts) { return MsgWith(id, {Insert(inserts)...}); }
// A pattern that matches the format (ANSI) with anything in its places (%s,
// %.Ns, %d), capturing what fills them.
std::regex TextPattern(const std::string& format);
// The ordinal label text for parameter position n (1 to 5), UTF-8.
std::string Label(int n);

// A whole file's bytes ("" when it cannot be read), and a file written whole.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
// The string variable's value (ANSI), or "<missing>".
std::string StrVar(Host& host, const std::string& name);

// A file's bytes and time stamp, to show any rewrite, even of the same bytes.
struct Snapshot { std::string path; Bytes bytes; FILETIME written{}; };
Snapshot Snap(const std::string& path);
// The file written and back-dated, so that a rewrite shows in its time stamp.
Snapshot Save(const Bytes& b, const std::string& path);
void ExpectUnchanged(const Snapshot& before);

// A fresh folder under the temporary directory (or in base, a folder ending
// in a backslash), removed with its contents.
class TempDir {
 public:
  explicit TempDir(const std::string& base = {});
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Points the workstation key's "Path" at a folder (nothing: no value at all)
// and puts the earlier value back at the end of the test.
class WorkstationKey {
 public:
  WorkstationKey();
  ~WorkstationKey() { Point(old_); }
  void Point(const std::optional<std::string>& folder);

 private:
  std::optional<std::string> old_;
};

// A host with the library and a folder of files of the test's own.
class InstWords : public ::testing::Test {
 protected:
  void SetUp() override { host_ = OpenHost(); }
  Outcome Call(const char* word, std::vector<Arg> args) { return host_->call(word, args); }
  // Status 0, nothing raised: "0" (else the status and the first text raised).
  void Ok(const Outcome& o) { EXPECT_EQ(std::to_string(o.status) + U(o.raised.empty() ? "" : o.raised[0].text), "0"); }
  // The numeric variable, NaN when there is none.
  double Num(const char* name) {
    const mcrhost::Var* v = host_->vars().find(name);
    return v && v->type == mcrhost::Var::Type::Number ? v->number : std::nan("");
  }

  TempDir dir_;
  std::unique_ptr<Host> host_;
};

}  // namespace mcrtest
