// UPDATE: copies a file only when the destination is missing or older, and
// walks a tree with one pair of path buffers that the recursion changes in
// place. No questions, no busy state; the first failure ends everything.
#include <windows.h>

#include <cstring>
#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../util/sjistext.h"
#include "fsowners.h"
#include "pathparts.h"

using namespace mcr;

namespace {

// The platform's longest path (MAX_PATH less the terminator); the buffers
// keep room for a search pattern beyond it.
constexpr std::size_t kUpdateArgumentLimit = MAX_PATH - 1;
constexpr std::size_t kSystemTextLimit = 132;
constexpr int kMsgNotSameKind = 1305;
constexpr int kMsgCannotCopy = 1306;
// A failure that has no system text and is worded with kMsgCannotCopy by
// the step that sees it.
constexpr std::uint16_t kStatusNoText = kMsgCannotCopy;

bool LastWriteTime(const char* path, FILETIME* time) {
  WIN32_FIND_DATAA entry;
  FindHandle search(path, &entry);
  if (!search) return false;
  *time = entry.ftLastWriteTime;
  return true;
}

class Updater {
 public:
  Updater(HostContext ctx, const char* source, const char* destination) : ctx_(ctx) {
    s_.Assign(source);
    d_.Assign(destination);
  }

  std::uint16_t Step() {
    std::string_view s = s_.view(), d = d_.view();
    if (!IsDirectoryPath(s)) {
      if (!IsFilePath(s)) return Refuse(kMsgCannotCopy);
      if (IsDirectoryPath(d)) return Refuse(kMsgNotSameKind);
      if (EqualNoCase(s, d)) return Refuse(kMsgCannotCopy);
      return FileUpdate();
    }
    if (IsFilePath(d)) return Refuse(kMsgNotSameKind);
    // Checked before the destination is made, so that a refused update
    // leaves nothing behind.
    if (UpdateTargetInside(s, d)) return Refuse(kMsgCannotCopy);
    if (!IsDirectoryPath(d) && !CreateDirectoryA(d_.c_str(), nullptr))
      return Worded(PlatformFailure());
    const char* pattern = s.empty() ? "" : EndsWithBackslash(s) ? "*.*" : "\\*.*";
    const char* separator = d.empty() || EndsWithBackslash(d) ? "" : "\\";
    if (!s_.Append(pattern) || !d_.Append(separator))
      return TooLong(std::string(s) + pattern, std::string(d) + separator);
    return Walk();
  }

 private:
  std::uint16_t Walk() {
    WIN32_FIND_DATAA entry;
    FindHandle search(s_.c_str(), &entry);
    std::uint16_t status = 0;
    if (!search || !IsDirectoryEntry(entry)) {
      status = PlatformFailure();
    } else {
      do {
        if (entry.cFileName[0] == '.') continue;
        if (!s_.ReplaceLast(entry.cFileName) || !d_.ReplaceLast(entry.cFileName))
          status = TooLong(Beside(s_, entry.cFileName), Beside(d_, entry.cFileName));
        else
          status = Step();
      } while (status == 0 && search.Next(&entry));
    }
    search.Close();
    if (status == kStatusNoText) status = Refuse(kMsgCannotCopy);
    s_.RemoveLast();
    d_.RemoveLast();
    return status;
  }

  std::uint16_t FileUpdate() {
    FILETIME source, destination;
    if (!LastWriteTime(s_.c_str(), &source)) return Refuse(kMsgCannotCopy);
    if (LastWriteTime(d_.c_str(), &destination)) {
      if (!SetFileAttributesA(d_.c_str(), FILE_ATTRIBUTE_NORMAL)) return Worded(PlatformFailure());
      if (!OlderThan(destination.dwHighDateTime, destination.dwLowDateTime,
                     source.dwHighDateTime, source.dwLowDateTime))
        return 0;
    }
    if (!CopyFileA(s_.c_str(), d_.c_str(), FALSE)) return Worded(PlatformFailure());
    return 0;
  }

  // Raises the system's text for the last error: 1, or kStatusNoText when
  // the system has none.
  std::uint16_t PlatformFailure() {
    char text[kMessageMax + 1] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             GetLastError(), LANG_USER_DEFAULT, text, sizeof text, nullptr);
    std::string cut(CutBytes(std::string_view(text, n), kSystemTextLimit));
    while (!cut.empty() && (cut.back() == '\n' || cut.back() == '\r')) cut.pop_back();
    if (cut.empty()) return kStatusNoText;
    RaiseError(ctx_, kRaiseError, cut.c_str());
    return 1;
  }

  std::uint16_t Worded(std::uint16_t status) {
    return status == kStatusNoText ? Refuse(kMsgCannotCopy) : status;
  }

  std::uint16_t Refuse(int id) { return Fail(ctx_, id, s_.c_str(), d_.c_str()); }

  // A path that would not fit its buffer is named as it would have read.
  std::uint16_t TooLong(const std::string& s, const std::string& d) {
    return Fail(ctx_, kMsgCannotCopy, s.c_str(), d.c_str());
  }

  static std::string Beside(const PathBuffer& path, const char* name) {
    return std::string(path.view().substr(0, ComponentStart(path.view(), true))) + name;
  }

  HostContext ctx_;
  PathBuffer s_, d_;
};

}  // namespace

MCR_COMMAND(UpdateProc) {
  Args in(ctx, args);
  TextArg source = in.Text(1), destination = in.Text(2);
  // An omitted path updates nothing; the status tells the macro so.
  if (!source.given() || !destination.given()) return 1;
  source.MaxLength(kUpdateArgumentLimit);
  destination.MaxLength(kUpdateArgumentLimit);
  return Updater(ctx, source, destination).Step();
}

// The shape of the platform's copy-progress callback, kept for callers that
// pass it to a whole-file copy; it always lets the copy go on.
extern "C" DWORD CALLBACK UpdateProgressRoutine(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER,
                                                LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                                                LPVOID) {
  return PROGRESS_CONTINUE;
}
