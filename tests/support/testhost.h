// Shared helpers of the Wine suites: a host with the library loaded, texts
// in the ANSI code page, expected catalogue messages, temporary folders.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "hostcore.h"

namespace mcrtest {

using mcrhost::Arg;
using mcrhost::Host;
using mcrhost::Outcome;
using mcrhost::Value;
using mcrhost::Word;

// The library under test, next to the test executable.
std::string LibraryPath();

// A host window plus a connection to the library, registered.
std::unique_ptr<Host> OpenHost(mcrhost::HostOptions options = {});

// Arguments from UTF-8 source text.
Arg S(const std::string& utf8);
Arg N(double v);
inline Arg Omit() { return std::nullopt; }

// ANSI (Shift-JIS here) from UTF-8 and back.
std::string A(const std::string& utf8);
std::string U(const std::string& ansi);

// Catalogue text id as the test's own table gives it, formatted, in ANSI.
std::string Msg(int id, ...);
// The same with the inserts as texts (ANSI; %d takes a number's digits).
std::string MsgWith(int id, const std::vector<std::string>& inserts);
// A pattern that matches the catalogue-style format (ANSI) with anything in
// its places (%s, %.Ns, %d), capturing what fills them.
std::regex TextPattern(const std::string& format);
// The ordinal label text for parameter position n (1 to 5), UTF-8.
std::string Label(int n);
// The expected UTF-8 text of id, or null when the table has none.
const char* CatalogueText(int id);
std::vector<int> CatalogueIds();

// A whole file's bytes ("" when it cannot be read), and a file written whole.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

// The string variable's value (ANSI), or "<missing>".
std::string StrVar(Host& host, const std::string& name);

// A fresh folder under the temporary directory, removed with its contents.
class TempDir {
 public:
  // In base (a folder ending in a backslash) instead of the temporary folder.
  explicit TempDir(const std::string& base = {});
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

}  // namespace mcrtest
