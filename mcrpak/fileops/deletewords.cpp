// EX_DELETE: every file and tree that matches a pattern, after one
// question; the first item that cannot be deleted ends the command.
#include <windows.h>

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

constexpr std::size_t kReportLimit = 131;
constexpr std::size_t kRootPatternLength = 3;  // "C:\" keeps its backslash
constexpr int kCaptionDeleteDirectory = 1234;
constexpr int kCaptionDeleteFile = 1235;
constexpr int kCaptionDeleteAll = 1236;
constexpr int kMsgCancelled = 1237;
constexpr int kPrefixFailed = 1238;
constexpr int kSuffixFailed = 1239;
constexpr int kPrefixDeleted = 1240;
constexpr int kSuffixDeleted = 1241;

// prefix + path + suffix from the catalogue, as the reports read, in 131
// bytes: a long path gives way, the catalogue's words stay.
std::string Report(int prefix, const std::string& path, int suffix) {
  std::string format = std::string(LoadMessage(prefix)) + "%s";
  format += LoadMessage(suffix);
  return FormatCatalogueWithin(kReportLimit, format.c_str(), path.c_str());
}

[[noreturn]] void FailOn(HostContext ctx, const std::string& path) {
  RaiseError(ctx, kRaiseError, Report(kPrefixFailed, path, kSuffixFailed).c_str());
  AbortWith(1);
}

std::string FullPath(const std::string& path) {
  char full[MAX_PATH + 1] = {};
  DWORD n = GetFullPathNameA(path.empty() ? "." : path.c_str(), sizeof full, full, nullptr);
  return n > 0 && n < sizeof full ? std::string(full, n) : path;
}

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

// A drive or share root, a wildcard sweep of one, or a pattern without a
// name: each one typo away from emptying a whole disk, so never taken.
bool SweepsRoot(const std::string& pattern, const PathParts& parts) {
  std::string name = std::string(parts.name) + std::string(parts.ext);
  std::string base = std::string(parts.drive) + std::string(parts.dir);
  return name.empty() || IsRootDirectory(FullPath(pattern)) ||
         (HasWildcard(name) && IsRootDirectory(FullPath(base)));
}

// Removes everything below directory and the directory itself; false with
// failed set to the first path that could not be removed.
bool RemoveTree(const std::string& directory, std::string* failed) {
  WIN32_FIND_DATAA entry;
  FindHandle search((directory + "\\*.*").c_str(), &entry);
  if (!search) return true;
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    std::string path = directory + "\\" + entry.cFileName;
    if (IsDirectoryEntry(entry)) {
      if (!RemoveTree(path, failed)) return false;
    } else if (!DeleteFileA(path.c_str())) {
      *failed = path;
      return false;
    }
  } while (search.Next(&entry));
  search.Close();
  if (RemoveDirectoryA(directory.c_str())) return true;
  *failed = directory;
  return false;
}

// Opens each file that still matches exclusively, without buffering, and
// cancels its pending transfers, so that nothing of it lingers; failures
// are of no interest.
void ReleasePass(const std::string& pattern, bool filesOnly) {
  PathParts parts = SplitPathParts(pattern);
  std::string base = std::string(parts.drive) + std::string(parts.dir);
  if (!base.empty() && !EndsWithSeparator(base)) base += '\\';
  WIN32_FIND_DATAA entry;
  FindHandle search(pattern.c_str(), &entry);
  if (!search) return;
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    std::string path = base + entry.cFileName;
    if (IsDirectoryEntry(entry)) {
      if (!filesOnly) ReleasePass(path + "\\", false);
      continue;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_NO_BUFFERING, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CancelIo(file);
      CloseHandle(file);
    }
  } while (search.Next(&entry));
}

}  // namespace

MCR_COMMAND(Ex_DeleteProc) {
  Args in(ctx, args);
  // An empty pattern is as good as none: it would name the current folder.
  std::string pattern = in.Text(1).NonEmpty().get();
  bool ask = !in.Text(2).Is("DONTASK");
  bool filesOnly = in.Text(3).Is("FILEONLY");
  if (pattern.size() > kRootPatternLength && EndsWithBackslash(pattern)) pattern.pop_back();
  PathParts parts = SplitPathParts(pattern);
  if (SweepsRoot(pattern, parts)) FailOn(ctx, pattern);

  WIN32_FIND_DATAA entry;
  FindHandle search(pattern.c_str(), &entry);
  if (!search) FailOn(ctx, pattern);
  if (ask) {
    int caption = parts.name == "*"         ? kCaptionDeleteAll
                  : IsDirectoryEntry(entry) ? kCaptionDeleteDirectory
                                            : kCaptionDeleteFile;
    if (MessageBoxA(nullptr, pattern.c_str(), MessageText(caption).c_str(),
                    MB_OKCANCEL | MB_ICONHAND) != IDOK)
      Abort(ctx, kMsgCancelled);
  }

  std::string base = std::string(parts.drive) + std::string(parts.dir);
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    std::string path = base + entry.cFileName;
    std::string failed;
    if (!IsDirectoryEntry(entry)) {
      if (!DeleteFileA(path.c_str())) FailOn(ctx, path);
    } else if (!filesOnly && !RemoveTree(path, &failed)) {
      FailOn(ctx, failed);
    }
  } while (search.Next(&entry));
  search.Close();

  ReleasePass(pattern, filesOnly);
  RaiseError(ctx, kRaiseMessage, Report(kPrefixDeleted, pattern, kSuffixDeleted).c_str());
  return 0;
}
