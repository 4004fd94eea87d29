// COPY: a file or a whole tree, through one 32 KB buffer, reopening both
// files for every block so that no file stays open while other tasks may
// want it; opens that fail are retried for a while before giving up.
#include <direct.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/msgformat.h"
#include "../util/sjistext.h"
#include "fsowners.h"
#include "pathparts.h"

using namespace mcr;

namespace {

constexpr DWORD kBlockSize = 32768;
constexpr std::size_t kArgumentLimit = 260;
constexpr std::size_t kCopyTextLimit = 135;
constexpr std::uint16_t kNoBuffer = 5007;
constexpr std::uint16_t kNoPath = 6023;
constexpr std::uint16_t kBufferLocked = 5004;
constexpr int kMsgNotSameKind = 1305;
constexpr int kMsgCannotCopy = 1306;
constexpr int kMsgShortWrite = 1308;
constexpr int kCaptionOverwriteDirectory = 1309;
constexpr int kCaptionOverwriteFile = 1310;
constexpr unsigned long kAccessDenied = ERROR_ACCESS_DENIED;

// Catalogue text id formatted with the two paths (or one) in COPY's 135
// bytes: long paths give way, the text stays.
[[noreturn]] void FailCopy(HostContext ctx, int id, const std::string& first,
                           const std::string& second = {}) {
  RaiseError(ctx, kRaiseError, MessageTextWithin(kCopyTextLimit, id, first.c_str(), second.c_str()).c_str());
  AbortWith(1);
}

[[noreturn]] void FailSystem(HostContext ctx, unsigned long code, const std::string& path) {
  AbortWith(FailSystemError(ctx, code, path.c_str()));
}

// The path with every backslash turned into '/', converted through UTF-16 so
// that a double-byte character whose second byte is 0x5C stays whole.
std::string SlashForm(const std::string& path) {
  if (path.empty()) return path;
  int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
  for (wchar_t& c : wide)
    if (c == L'\\') c = L'/';
  int m = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(m), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
  return out;
}

// The open-file record holds a full path of fewer than OFS_MAXPATHNAME
// bytes: a longer one could never be opened, so it is refused at once
// rather than retried for seconds.
bool FitsOpenRecord(const std::string& path) {
  char full[2 * MAX_PATH];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return n > 0 && n < OFS_MAXPATHNAME;
}

std::string WithSeparator(std::string path) {
  if (!EndsWithSeparator(path)) path += '\\';
  return path;
}

// A bare source name is taken from the current directory.
std::string CompleteSource(const char* argument) {
  std::string source(CutBytes(argument, kArgumentLimit));
  if (HasDirectoryPart(source)) return source;
  char current[MAX_PATH + 1] = {};
  GetCurrentDirectoryA(sizeof current, current);
  return WithSeparator(current) + source;
}

// A bare destination name goes beside a source file, or inside a source
// directory.
std::string CompleteDestination(const char* argument, const std::string& source) {
  std::string destination(CutBytes(argument, kArgumentLimit));
  if (HasDirectoryPart(destination)) return destination;
  PathParts name = SplitPathParts(destination);
  std::string bare = std::string(name.name) + std::string(name.ext);
  if (IsFilePath(source)) {
    PathParts parts = SplitPathParts(source);
    return source.substr(0, parts.drive.size() + parts.dir.size()) + bare;
  }
  return WithSeparator(source) + bare;
}

// A file opened from its record for one block, closed on every path out.
class BlockFile {
 public:
  BlockFile(HostContext ctx, OFSTRUCT& record, UINT mode, const std::string& path) {
    HFILE file = OpenFile(record.szPathName, &record, OF_REOPEN | mode);
    if (file == HFILE_ERROR) FailSystem(ctx, record.nErrCode, path);
    handle_ = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file));
  }
  ~BlockFile() { CloseHandle(handle_); }
  BlockFile(const BlockFile&) = delete;
  BlockFile& operator=(const BlockFile&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class Copier {
 public:
  Copier(HostContext ctx, HGLOBAL buffer) : ctx_(ctx), buffer_(buffer) {}

  void Copy(const std::string& s, const std::string& d, bool ask) {
    if (!IsDirectoryPath(s)) {
      if (!IsFilePath(s)) FailCopy(ctx_, kMsgCannotCopy, s, d);
      if (IsDirectoryPath(d)) FailCopy(ctx_, kMsgNotSameKind, s, d);
      if (IsFilePath(d)) ConfirmOverwrite(kCaptionOverwriteFile, d, ask);
      std::string slashS = SlashForm(s), slashD = SlashForm(d);
      if (EqualNoCase(slashS, slashD))
        FailCopy(ctx_, kMsgCannotCopy, slashS, slashD);
      CopyOneFile(slashS, slashD);
      return;
    }
    if (IsFilePath(d)) FailCopy(ctx_, kMsgNotSameKind, s, d);
    bool exists = IsDirectoryPath(d);
    if (exists) {
      ConfirmOverwrite(kCaptionOverwriteDirectory, d, ask);
      ask = false;
    }
    // Checked before the destination is created, so that a refused copy
    // leaves nothing behind.
    if (CopyTargetInside(s, d, SlashForm(s), SlashForm(d)))
      FailCopy(ctx_, kMsgCannotCopy, s, d);
    if (!exists && _mkdir(d.c_str()) != 0) AbortWith(FailErrno(ctx_, errno, d.c_str()));
    Walk(WithSeparator(s), WithSeparator(d), ask);
  }

 private:
  void Walk(const std::string& from, const std::string& to, bool ask) {
    std::string pattern = from + "*.*";
    WIN32_FIND_DATAA entry;
    FindHandle search(pattern.c_str(), &entry);
    if (!search || !IsDirectoryEntry(entry)) FailSystem(ctx_, GetLastError(), pattern);
    do {
      if (entry.cFileName[0] == '.') continue;
      Copy(from + entry.cFileName, to + entry.cFileName, ask);
    } while (search.Next(&entry));
  }

  void ConfirmOverwrite(int caption, const std::string& d, bool ask) {
    if (ask) {
      HWND owner = GetHostWindow(ctx_);
      if (!owner || MessageBoxA(owner, d.c_str(), MessageText(caption).c_str(),
                                MB_OKCANCEL | MB_ICONHAND) != IDOK) {
        RaiseError(ctx_, kRaiseError, "");
        AbortWith(1);
      }
    }
    SetFileAttributesA(d.c_str(), FILE_ATTRIBUTE_NORMAL);
  }

  // Opens on the retry schedule; a failure that outlasts it ends the copy.
  void OpenRetrying(const std::string& path, OFSTRUCT& record, UINT mode,
                    bool (*retryable)(unsigned long), const char* notice) {
    auto open = [&]() -> unsigned long {
      HFILE file = OpenFile(path.c_str(), &record, mode);
      if (file == HFILE_ERROR) return record.nErrCode ? record.nErrCode : ERROR_GEN_FAILURE;
      return record.nErrCode == kAccessDenied ? kAccessDenied : 0;
    };
    bool exhausted = false;
    unsigned long error = OpenWithRetries(
        open, retryable, [](int ms) { Sleep(static_cast<DWORD>(ms)); }, &exhausted);
    if (exhausted)
      RaiseError(ctx_, kRaiseMessage, FormatCatalogueWithin(kCopyTextLimit, notice, path.c_str(), kOpenRetries).c_str());
    if (error != 0) FailSystem(ctx_, error, path);
  }

  void CopyOneFile(const std::string& s, const std::string& d) {
    if (!FitsOpenRecord(s) || !FitsOpenRecord(d)) FailCopy(ctx_, kMsgCannotCopy, s, d);
    OFSTRUCT source = {}, target = {};
    OpenRetrying(
        s, source, OF_EXIST, [](unsigned long e) { return e != 0; }, "SRC:%.200s : Retry %d");
    OpenRetrying(
        d, target, OF_EXIST | OF_CREATE | OF_WRITE,
        [](unsigned long e) { return e == kAccessDenied; }, "DST:%.200s : Retry %d");
    LARGE_INTEGER offset = {};
    for (;;) {
      DWORD n = Transfer(source, s, OF_READ, offset, kBlockSize);
      if (n == 0) break;
      Transfer(target, d, OF_WRITE, offset, n);
      offset.QuadPart += n;
    }
    BlockFile from(ctx_, source, OF_READ, s);
    BlockFile to(ctx_, target, OF_WRITE, d);
    FILETIME created, accessed, written;
    if (!GetFileTime(from.get(), &created, &accessed, &written))
      FailSystem(ctx_, GetLastError(), s);
    if (!SetFileTime(to.get(), &created, &written, &written)) FailSystem(ctx_, GetLastError(), d);
  }

  // One block read (mode OF_READ, up to size bytes) or written (size bytes)
  // at offset; returns the bytes moved.
  DWORD Transfer(OFSTRUCT& record, const std::string& path, UINT mode, LARGE_INTEGER offset,
                 DWORD size) {
    BlockFile file(ctx_, record, mode, path);
    if (!SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN))
      FailSystem(ctx_, GetLastError(), path);
    GlobalLocked<char> bytes(buffer_);
    if (!bytes.get()) AbortWith(kBufferLocked);
    DWORD moved = 0;
    BOOL ok = mode == OF_READ ? ReadFile(file.get(), bytes.get(), size, &moved, nullptr)
                              : WriteFile(file.get(), bytes.get(), size, &moved, nullptr);
    if (!ok) FailSystem(ctx_, GetLastError(), path);
    if (mode != OF_READ && moved < size) FailCopy(ctx_, kMsgShortWrite, path);
    return moved;
  }

  HostContext ctx_;
  HGLOBAL buffer_;
};

class BusyState {
 public:
  explicit BusyState(HostContext ctx) : ctx_(ctx) { SetHostBusy(ctx_, true); }
  ~BusyState() { SetHostBusy(ctx_, false); }
  BusyState(const BusyState&) = delete;
  BusyState& operator=(const BusyState&) = delete;

 private:
  HostContext ctx_;
};

}  // namespace

MCR_COMMAND(CopyProc) {
  GlobalBlock buffer(GMEM_MOVEABLE, kBlockSize);
  if (!buffer.get()) return kNoBuffer;
  BusyState busy(ctx);
  Args in(ctx, args);
  bool ask = !in.Text(3).Is("DONTASK");
  TextArg source = in.Text(1);
  if (source.empty()) return kNoPath;
  std::string s = CompleteSource(source);
  TextArg destination = in.Text(2);
  if (destination.empty()) return kNoPath;
  std::string d = CompleteDestination(destination, s);
  Copier(ctx, buffer.get()).Copy(s, d, ask);
  RaiseError(ctx, kRaiseStatus, " ");
  return 0;
}
