#include "svmethcal.h"

#include "../bridge/sjistext.h"

namespace mcr {

namespace {

constexpr std::string_view kRefusedInName = " ,\"'*;\t`?";

// Byte offsets where the characters of text begin.
std::vector<std::size_t> CharStarts(std::string_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); i += IsSjisLead(static_cast<unsigned char>(text[i])) ? 2 : 1)
    starts.push_back(i);
  return starts;
}

bool IsSingle(std::string_view text, std::size_t at) {
  return !IsSjisLead(static_cast<unsigned char>(text[at])) || at + 1 == text.size();
}

}  // namespace

std::optional<std::vector<std::string>> ReservedExtensions(std::string_view list) {
  std::vector<std::string> entries;
  while (!list.empty() && entries.size() < kMaxReservedExtensions) {
    std::size_t colon = list.find(':');
    std::string_view piece = list.substr(0, colon);
    list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    if (piece.empty()) continue;
    std::string entry(piece);
    if (entry.front() != '.') entry.insert(entry.begin(), '.');
    if (!EndsWithBackslash(entry)) entry += '\\';
    if (entry.size() > kSvMethCalTextMax) return std::nullopt;
    entries.push_back(std::move(entry));
  }
  return entries;
}

const std::string* FindReservedExtension(std::string_view folder, const std::vector<std::string>& entries) {
  std::vector<std::size_t> starts = CharStarts(folder);
  for (const std::string& entry : entries)
    for (std::size_t at : starts)
      if (EqualNoCase(folder.substr(at, entry.size()), entry)) return &entry;
  return nullptr;
}

std::string FolderForm(std::string_view folder) {
  std::string form(folder);
  if (!form.empty() && !EndsWithBackslash(form)) form += '\\';
  return form;
}

std::string NamePart(std::string_view path) {
  std::size_t begin = 0, dot = std::string_view::npos;
  for (std::size_t at : CharStarts(path)) {
    if (!IsSingle(path, at)) continue;
    char c = path[at];
    if (c == '\\' || c == '/' || (c == ':' && at == 1)) {
      begin = at + 1;
      dot = std::string_view::npos;
    } else if (c == '.') {
      dot = at;
    }
  }
  std::size_t end = dot == std::string_view::npos ? path.size() : dot;
  return std::string(path.substr(begin, end - begin));
}

int FileNameMessage(std::string_view name) {
  if (name.empty()) return kMsgInvalidFileName;
  std::vector<std::size_t> starts = CharStarts(name);
  // A colon anywhere names a drive or a stream, never a plain file.
  for (std::size_t at : starts)
    if (IsSingle(name, at) && std::string_view("\\/:.").find(name[at]) != std::string_view::npos)
      return kMsgNameWithPath;
  if (name.size() > kFileNameMaxBytes) return kMsgNameTooLong;
  for (std::size_t at : starts)
    if (IsSingle(name, at) && kRefusedInName.find(name[at]) != std::string_view::npos) return kMsgInvalidFileName;
  return 0;
}

}  // namespace mcr
