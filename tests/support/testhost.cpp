#include "testhost.h"

#include <shellapi.h>

#include <cstdarg>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

namespace mcrtest {

namespace {

struct Text {
  int id;
  const char* utf8;
};
const Text kCatalogue[] = {
#include "../wine/catalogue_texts.inc"
};

}  // namespace

std::string LibraryPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\') + 1) + "MCRPAK.dll";
}

std::unique_ptr<Host> OpenHost(mcrhost::HostOptions options) {
  auto host = std::make_unique<Host>(std::move(options));
  std::string why;
  std::uint16_t s = host->open(LibraryPath().c_str(), &why);
  EXPECT_EQ(s, 0) << why;
  return host;
}

std::string A(const std::string& utf8) { return mcrhost::Utf8ToAnsi(utf8); }
std::string U(const std::string& ansi) { return mcrhost::AnsiToUtf8(ansi); }

Arg S(const std::string& utf8) { return Value::Str(A(utf8)); }
Arg N(double v) { return Value::Num(v); }

const char* CatalogueText(int id) {
  for (const Text& t : kCatalogue)
    if (t.id == id) return t.utf8;
  return nullptr;
}

std::vector<int> CatalogueIds() {
  std::vector<int> ids;
  for (const Text& t : kCatalogue) ids.push_back(t.id);
  return ids;
}

std::string Label(int n) { return CatalogueText(1203 + n); }

std::string Msg(int id, ...) {
  const char* text = CatalogueText(id);
  if (!text) return {};
  std::string format = A(text);
  char out[1025];
  va_list args;
  va_start(args, id);
  wvsprintfA(out, format.c_str(), args);
  va_end(args);
  return out;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string StrVar(Host& host, const std::string& name) {
  const mcrhost::Var* v = host.vars().find(name);
  if (!v) return "<missing>";
  if (v->type != mcrhost::Var::Type::String) return "<not a string>";
  return v->text;
}

TempDir::TempDir(const std::string& in) {
  char base[MAX_PATH];
  if (in.empty()) GetTempPathA(MAX_PATH, base);
  else lstrcpynA(base, in.c_str(), MAX_PATH);
  static int serial = 0;
  path_ = std::string(base) + "mcrtest_" + std::to_string(GetCurrentProcessId()) + "_" +
          std::to_string(++serial);
  CreateDirectoryA(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
  std::string from = path_ + std::string(1, '\0');
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&op);
}

}  // namespace mcrtest
