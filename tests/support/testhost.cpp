#include "testhost.h"

#include <shellapi.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "wordref.h"

namespace mcrtest {

namespace {

constexpr char kStationKey[] = "SOFTWARE\\Veltrix Technologies\\ICP-MS Quantaro\\CurrentVersion";

// The catalogue as its resource script writes it, escapes undone.
const mcrref::Catalogue& Catalogue() {
  static const mcrref::Catalogue texts = [] {
    mcrref::Catalogue out = mcrref::ParseCatalogue(ReadAll(std::string(MCR_SOURCE_DIR) + "/mcrpak/resources/strings.rc"));
    for (auto& [id, text] : out)
      for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '\\') text.replace(i, 2, 1, text[i + 1] == 'n' ? '\n' : text[i + 1] == 't' ? '\t' : text[i + 1]);
    return out;
  }();
  return texts;
}

}  // namespace

DWORD Scaled(DWORD ms) {
  static const double factor = [] {
    const char* text = std::getenv("MCR_TIME_SCALE");
    const double f = text ? std::atof(text) : 1;
    return f >= 1 && f <= 100 ? f : 1;
  }();
  return static_cast<DWORD>(ms * factor);
}

std::string LibraryPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, std::strrchr(path, '\\') + 1) + "MCRPAK.dll";
}

std::unique_ptr<Host> OpenHost(mcrhost::HostOptions options) {
  auto host = std::make_unique<Host>(std::move(options));
  std::string why;
  EXPECT_EQ(host->open(LibraryPath().c_str(), &why), 0) << why;
  return host;
}

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

// The format (ANSI) with each place (%s, %.Ns, %d) filled by place(kind,
// precision) and "%%" read as '%'; escape makes the rest a pattern's text.
static std::string Fill(const std::string& format, const std::function<std::string(char, std::size_t)>& place,
                        bool escape) {
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    std::size_t end = i + 1;
    while (format[i] == '%' && end < format.size() && !std::isalpha((unsigned char)format[end]) && format[end] != '%') ++end;
    if (format[i] == '%' && end < format.size() && format[end] != '%')
      out += place(format[end], format[i + 1] == '.' ? std::strtoul(&format[i + 2], nullptr, 10) : 0);
    else
      out += std::string(escape && std::strchr("^$\\.*+?()[]{}|", format[i]) ? "\\" : "") + format[i];
    i = format[i] == '%' ? end : i;
  }
  return out;
}

std::string MsgWith(int id, const std::vector<std::string>& inserts) {
  if (!CatalogueText(id)) return "<no catalogue text " + std::to_string(id) + ">";
  std::size_t next = 0;
  return Fill(A(CatalogueText(id)), [&](char kind, std::size_t precision) {
    const std::string value = next < inserts.size() ? inserts[next++] : "<missing insert>";
    return kind == 's' && precision ? value.substr(0, precision) : value;
  }, false);
}

std::regex TextPattern(const std::string& format) {
  return std::regex(Fill(format, [](char kind, std::size_t n) -> std::string {
    return kind == 'd' ? "(-?[0-9]+)" : n ? "([\\s\\S]{0," + std::to_string(n) + "})" : "([\\s\\S]*)";
  }, true));
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string StrVar(Host& host, const std::string& name) {
  const mcrhost::Var* v = host.vars().find(name);
  return !v ? "<missing>" : v->type == mcrhost::Var::Type::String ? v->text : "<not a string>";
}

Snapshot Snap(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a);
  return {path, Bytes::Load(path), a.ftLastWriteTime};
}

Snapshot Save(const Bytes& b, const std::string& path) {
  EXPECT_TRUE(b.save(path)) << path;
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME old{0x2A3B0000u, 0x01C0F000u};  // early 2001
  SetFileTime(h, &old, nullptr, &old);
  CloseHandle(h);
  return Snap(path);
}

void ExpectUnchanged(const Snapshot& before) {
  Snapshot now = Snap(before.path);
  EXPECT_TRUE(now.bytes == before.bytes) << before.path;
  EXPECT_EQ(CompareFileTime(&now.written, &before.written), 0) << before.path;
}

TempDir::TempDir(const std::string& base) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  static int serial = 0;
  path_ = (base.empty() ? temp : base) + "mcrtest_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
  CreateDirectoryA(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
  std::string from = path_ + std::string(1, '\0');
  SHFILEOPSTRUCTA op{nullptr, FO_DELETE, from.c_str(), nullptr, FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT,
                     FALSE, nullptr, nullptr};
  SHFileOperationA(&op);
}

WorkstationKey::WorkstationKey() {
  char old[MAX_PATH] = {};
  DWORD size = sizeof old;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kStationKey, "Path", RRF_RT_REG_SZ, nullptr, old, &size) == 0) old_ = old;
}

void WorkstationKey::Point(const std::optional<std::string>& folder) {
  if (!folder) RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kStationKey, "Path");
  else RegSetKeyValueA(HKEY_LOCAL_MACHINE, kStationKey, "Path", REG_SZ, folder->c_str(), DWORD(folder->size() + 1));
}

}  // namespace mcrtest
