// UPDATE: copies a file only when the destination is missing or older, and
// walks a tree with one pair of path buffers that the recursion changes in
// place. No questions, no busy state; the first failure ends everything.
#include <windows.h>

#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/sjistext.h"
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

// What the platform said of one path: its kind, and for a file its
// last-write time and attributes (from a search on the path itself).
struct PathState {
  bool directory = false;
  bool file = false;
  FILETIME written = {};
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
};

PathState FromEntry(const WIN32_FIND_DATAA& entry) {
  PathState state;
  state.directory = IsDirectoryEntry(entry);
  state.file = !state.directory;
  state.written = entry.ftLastWriteTime;
  state.attributes = entry.dwFileAttributes;
  return state;
}

// A path the walk built: an entry name, so one search tells everything.
PathState Search(const char* path) {
  WIN32_FIND_DATAA entry;
  FindHandle search(path, &entry);
  return search ? FromEntry(entry) : PathState{};
}

// A path as the macro gave it, perhaps with a final separator. A file that
// the search cannot find has no time, and counts as missing.
PathState Examine(const char* path) {
  PathState state;
  if (IsDirectoryPath(path))
    state.directory = true;
  else if (IsFilePath(path))
    state = Search(path);
  return state;
}

class Updater {
 public:
  Updater(HostContext ctx, const char* source, const char* destination) : ctx_(ctx) {
    s_.Assign(source);
    d_.Assign(destination);
  }

  std::uint16_t Start() { return Step(Examine(s_.c_str()), Examine(d_.c_str())); }

 private:
  std::uint16_t Step(const PathState& source, const PathState& target) {
    std::string_view s = s_.view(), d = d_.view();
    if (!source.directory) {
      if (!source.file) return Refuse(kMsgCannotCopy);
      if (target.directory) return Refuse(kMsgNotSameKind);
      if (EqualNoCase(s, d)) return Refuse(kMsgCannotCopy);
      return FileUpdate(source, target);
    }
    if (target.file) return Refuse(kMsgNotSameKind);
    // Checked before the destination is made, so that a refused update
    // leaves nothing behind.
    if (UpdateTargetInside(s, d)) return Refuse(kMsgCannotCopy);
    if (!target.directory && !CreateDirectoryA(d_.c_str(), nullptr))
      return Worded(PlatformFailure());
    const char* pattern = s.empty() ? "" : EndsWithBackslash(s) ? "*.*" : "\\*.*";
    const char* separator = d.empty() || EndsWithBackslash(d) ? "" : "\\";
    if (!s_.Append(pattern) || !d_.Append(separator))
      return Fail(ctx_, kMsgCannotCopy, (std::string(s) + pattern).c_str(),
                  (std::string(d) + separator).c_str());
    return Walk();
  }

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
          status = Fail(ctx_, kMsgCannotCopy, Beside(s_, entry.cFileName).c_str(),
                        Beside(d_, entry.cFileName).c_str());
        else
          status = Step(FromEntry(entry), Search(d_.c_str()));
      } while (status == 0 && search.Next(&entry));
    }
    search.Close();
    if (status == kStatusNoText) status = Refuse(kMsgCannotCopy);
    s_.RemoveLast();
    d_.RemoveLast();
    return status;
  }

  std::uint16_t FileUpdate(const PathState& source, const PathState& target) {
    if (target.attributes != INVALID_FILE_ATTRIBUTES) {
      if (target.attributes != settled_) {
        if (!SetFileAttributesA(d_.c_str(), FILE_ATTRIBUTE_NORMAL))
          return Worded(PlatformFailure());
        if (settled_ == INVALID_FILE_ATTRIBUTES) settled_ = GetFileAttributesA(d_.c_str());
      }
      if (!OlderThan(target.written.dwHighDateTime, target.written.dwLowDateTime,
                     source.written.dwHighDateTime, source.written.dwLowDateTime))
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
  static std::string Beside(const PathBuffer& path, const char* name) {
    return std::string(path.view().substr(0, ComponentStart(path.view(), true))) + name;
  }

  HostContext ctx_;
  PathBuffer s_, d_;
  // The attributes a destination file reads back with once set to normal:
  // a file that already reads so is not set again (the platform may keep a
  // bit that the setting cannot clear, so this is learnt, not assumed).
  DWORD settled_ = INVALID_FILE_ATTRIBUTES;
};

}  // namespace

MCR_COMMAND(UpdateProc) {
  Args in(ctx, args);
  TextArg source = in.Text(1), destination = in.Text(2);
  // An omitted path updates nothing; the status tells the macro so.
  if (!source.given() || !destination.given()) return 1;
  source.MaxLength(kUpdateArgumentLimit);
  destination.MaxLength(kUpdateArgumentLimit);
  return Updater(ctx, source, destination).Start();
}

// The shape of the platform's copy-progress callback, kept for callers that
// pass it to a whole-file copy; it always lets the copy go on.
extern "C" DWORD CALLBACK UpdateProgressRoutine(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER,
                                                LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                                                LPVOID) {
  return PROGRESS_CONTINUE;
}
