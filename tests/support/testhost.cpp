#include "testhost.h"

#include <shellapi.h>

#include <cstdarg>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "wordref.h"

namespace mcrtest {

namespace {

// The catalogue as its resource script writes it, escapes undone.
const std::map<int, std::string>& Catalogue() {
  static const std::map<int, std::string> texts = [] {
    std::map<int, std::string> out;
    for (auto& [id, written] : mcrref::ParseCatalogue(ReadAll(std::string(MCR_SOURCE_DIR) + "/mcrpak/resources/strings.rc"))) {
      std::string& text = out[id];
      for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] == '\\' && i + 1 < written.size()) {
          char c = written[++i];
          text += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
          text += written[i];
        }
      }
    }
    return out;
  }();
  return texts;
}

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
  auto it = Catalogue().find(id);
  return it == Catalogue().end() ? nullptr : it->second.c_str();
}

std::vector<int> CatalogueIds() {
  std::vector<int> ids;
  for (const auto& [id, text] : Catalogue()) ids.push_back(id);
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

std::string MsgWith(int id, const std::vector<std::string>& inserts) {
  const char* text = CatalogueText(id);
  if (!text) return "<no catalogue text " + std::to_string(id) + ">";
  std::string format = A(text), out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      out += format[i];
      continue;
    }
    std::size_t precision = std::string::npos, end = i + 1;
    if (format[end] == '.') precision = std::strtoul(format.c_str() + end + 1, nullptr, 10);
    while (end < format.size() && !std::isalpha((unsigned char)format[end]) && format[end] != '%') ++end;
    if (end >= format.size() || format[end] == '%') {
      out += '%';
      i = end;
      continue;
    }
    std::string value = next < inserts.size() ? inserts[next++] : "<missing insert>";
    out += format[end] == 's' ? value.substr(0, precision) : value;
    i = end;
  }
  return out;
}

std::regex TextPattern(const std::string& format) {
  std::string re;
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    std::size_t n = 0, end = i + 1;
    if (c == '%' && end < format.size() && format[end] == '.')
      for (++end; end < format.size() && std::isdigit(static_cast<unsigned char>(format[end])); ++end)
        n = n * 10 + (format[end] - '0');
    if (c == '%' && end < format.size() && (format[end] == 's' || format[end] == 'd')) {
      re += format[end] == 'd' ? "(-?[0-9]+)" : n ? "([\\s\\S]{0," + std::to_string(n) + "})" : "([\\s\\S]*)";
      i = end;
    } else {
      if (std::strchr("^$\\.*+?()[]{}|", c) && c) re += '\\';
      re += c;
    }
  }
  return std::regex(re);
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
