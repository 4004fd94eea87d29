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
#include "../bridge/sjistext.h"
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

// The full path of path (its length 0 when it cannot be had).
std::string FullPath(const std::string& path) {
  char full[2 * MAX_PATH];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return n > 0 && n < sizeof full ? std::string(full, n) : std::string();
}

// Whether Windows can open the path at all: a full path of fewer than
// MAX_PATH bytes.
bool Openable(const std::string& path) {
  std::size_t n = FullPath(path).size();
  return n > 0 && n < MAX_PATH;
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

// Where a file is opened from for each block. OpenFile's open-file record
// keeps a full path of fewer than OFS_MAXPATHNAME (128) bytes; a longer path
// is opened with CreateFileA as OpenFile opens (shared for reading and
// writing), so that paths up to the command's 260 characters copy alike.
class FileRecord {
 public:
  explicit FileRecord(const std::string& path) : full_(FullPath(path)), viaRecord_(full_.size() < OFS_MAXPATHNAME) {}

  // The first open: OF_EXIST alone tests the file, with OF_CREATE and
  // OF_WRITE it creates or empties it. 0, or the system error; OpenFile may
  // also report access denied for an open that succeeded.
  unsigned long Open(const std::string& path, UINT mode) {
    if (viaRecord_) {
      HFILE file = OpenFile(path.c_str(), &record_, mode);
      if (file == HFILE_ERROR) return record_.nErrCode ? record_.nErrCode : ERROR_GEN_FAILURE;
      return record_.nErrCode == kAccessDenied ? kAccessDenied : 0;
    }
    HANDLE h = Create(mode);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(h);
    return 0;
  }

  // Opens the file again for one block (OF_READ or OF_WRITE); null with
  // error set when it cannot be opened.
  HANDLE Reopen(UINT mode, unsigned long* error) {
    if (viaRecord_) {
      HFILE file = OpenFile(record_.szPathName, &record_, OF_REOPEN | mode);
      *error = record_.nErrCode;
      return file == HFILE_ERROR ? nullptr : reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file));
    }
    HANDLE h = Create(mode);
    *error = GetLastError();
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
  }

 private:
  HANDLE Create(UINT mode) const {
    const bool write = (mode & (OF_WRITE | OF_CREATE)) != 0;
    return CreateFileA(full_.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, (mode & OF_CREATE) ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  OFSTRUCT record_ = {};
  std::string full_;
  bool viaRecord_;
};

// A file opened from its record for one block, closed on every path out.
class BlockFile {
 public:
  BlockFile(HostContext ctx, FileRecord& record, UINT mode, const std::string& path) {
    unsigned long error = 0;
    handle_ = record.Reopen(mode, &error);
    if (!handle_) FailSystem(ctx, error, path);
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

  // What a copy of s to d would have to refuse along the way, refused
  // before anything is created: a source or destination path too long for
  // Windows to open, anywhere in the tree.
  void CheckOpenable(const std::string& s, const std::string& d) {
    if (!Openable(s) || !Openable(d)) FailCopy(ctx_, kMsgCannotCopy, s, d);
    if (!IsDirectoryPath(s)) return;
    WIN32_FIND_DATAA entry;
    FindHandle search((WithSeparator(s) + "*.*").c_str(), &entry);
    if (!search) return;  // the walk reports it
    do {
      if (entry.cFileName[0] != '.') CheckOpenable(WithSeparator(s) + entry.cFileName, WithSeparator(d) + entry.cFileName);
    } while (search.Next(&entry));
  }

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
  void OpenRetrying(const std::string& path, FileRecord& record, UINT mode,
                    bool (*retryable)(unsigned long), const char* notice) {
    auto open = [&]() { return record.Open(path, mode); };
    bool exhausted = false;
    unsigned long error = OpenWithRetries(
        open, retryable, [](int ms) { Sleep(static_cast<DWORD>(ms)); }, &exhausted);
    if (exhausted)
      RaiseError(ctx_, kRaiseMessage, FormatCatalogueWithin(kCopyTextLimit, notice, path.c_str(), kOpenRetries).c_str());
    if (error != 0) FailSystem(ctx_, error, path);
  }

  void CopyOneFile(const std::string& s, const std::string& d) {
    FileRecord source(s), target(d);
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
  DWORD Transfer(FileRecord& record, const std::string& path, UINT mode, LARGE_INTEGER offset,
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
  Copier copier(ctx, buffer.get());
  copier.CheckOpenable(s, d);
  copier.Copy(s, d, ask);
  RaiseError(ctx, kRaiseStatus, " ");
  return 0;
}
