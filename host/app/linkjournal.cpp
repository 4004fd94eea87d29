#include "linkjournal.h"

#include <windows.h>

#include "anlinkplace.h"
#include "hostcore.h"

namespace mcrhost {

namespace {

unsigned long long SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return 0;
  return (static_cast<unsigned long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

}  // namespace

LinkJournal::LinkJournal()
    : path_(anlinksim::Folder() + anlinksim::kJournalFile), seen_(SizeOf(path_)) {}

std::vector<std::string> LinkJournal::Take() {
  std::vector<std::string> lines;
  unsigned long long size = SizeOf(path_);
  if (size < seen_) seen_ = 0;  // the journal was started anew
  if (size == seen_) return lines;
  HANDLE f = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return lines;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(seen_);
  std::string text(static_cast<std::size_t>(size - seen_), '\0');
  DWORD got = 0;
  if (SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && ReadFile(f, text.data(), static_cast<DWORD>(text.size()), &got, nullptr))
    text.resize(got);
  else
    text.clear();
  CloseHandle(f);
  // Whole lines only; a line still being written waits for the next look.
  std::size_t end = text.rfind('\n');
  if (end == std::string::npos) return lines;
  seen_ += end + 1;
  std::size_t from = 0;
  for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1) {
    std::string line = text.substr(from, nl - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t tab = line.find('\t');  // between the call and its answer
    if (tab != std::string::npos) line[tab] = ' ';
    lines.push_back(AnsiToUtf8(line));
  }
  return lines;
}

}  // namespace mcrhost
