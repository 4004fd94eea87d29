#include "pathparts.h"

#include <cstring>

#include "../bridge/sjistext.h"

namespace mcr {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Offset of the last single-byte character for which match holds, or npos.
template <typename Match>
std::size_t LastChar(std::string_view text, Match match) {
  std::size_t found = std::string_view::npos;
  std::size_t i = 0;
  while (i < text.size()) {
    bool wide = IsSjisLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
    if (!wide && match(text[i])) found = i;
    i += wide ? 2 : 1;
  }
  return found;
}

bool HasDrive(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' && !IsSjisLead(static_cast<unsigned char>(path[0]));
}

}  // namespace

PathParts SplitPathParts(std::string_view path) {
  PathParts parts;
  if (HasDrive(path)) {
    parts.drive = path.substr(0, 2);
    path.remove_prefix(2);
  }
  std::size_t last = LastChar(path, IsSeparator);
  if (last != std::string_view::npos) {
    parts.dir = path.substr(0, last + 1);
    path.remove_prefix(last + 1);
  }
  std::size_t dot = LastChar(path, [](char c) { return c == '.'; });
  parts.name = path.substr(0, dot == std::string_view::npos ? path.size() : dot);
  if (dot != std::string_view::npos) parts.ext = path.substr(dot);
  return parts;
}

bool HasDirectoryPart(std::string_view path) {
  PathParts parts = SplitPathParts(path);
  return !parts.drive.empty() || !parts.dir.empty();
}

bool EndsWithSeparator(std::string_view path) {
  std::size_t last = LastChar(path, IsSeparator);
  return last != std::string_view::npos && last + 1 == path.size();
}

std::size_t ComponentStart(std::string_view path, bool colonEnds) {
  std::size_t last =
      LastChar(path, [colonEnds](char c) { return IsSeparator(c) || (colonEnds && c == ':'); });
  return last == std::string_view::npos ? 0 : last + 1;
}

bool IsDotEntry(std::string_view name) { return name == "." || name == ".."; }

bool CopyTargetInside(std::string_view s, std::string_view d, std::string_view slashS,
                      std::string_view slashD) {
  if (s.size() > d.size()) return false;
  if (s.size() == d.size()) return EqualNoCase(s, d);
  if (slashS.size() > slashD.size() || !EqualNoCase(slashD.substr(0, slashS.size()), slashS))
    return false;
  return (!slashS.empty() && slashS.back() == '/') || slashD[slashS.size()] == '/';
}

bool UpdateTargetInside(std::string_view s, std::string_view d) {
  if (EqualNoCase(s, d)) return true;
  if (d.size() <= s.size() || !EqualNoCase(d.substr(0, s.size()), s)) return false;
  return EndsWithSeparator(s) || IsSeparator(d[s.size()]);
}

bool IsRootDirectory(std::string_view full) {
  if (HasDrive(full)) return full.size() == 2 || (full.size() == 3 && IsSeparator(full[2]));
  if (full.size() == 1) return IsSeparator(full[0]);
  if (full.size() < 2 || !IsSeparator(full[0]) || !IsSeparator(full[1])) return false;
  // \\server\share, with or without the final separator: no separator
  // inside the rest but the one between server and share.
  std::string_view rest = full.substr(2);
  if (EndsWithSeparator(rest)) rest.remove_suffix(1);
  std::size_t last = LastChar(rest, IsSeparator);
  return last == std::string_view::npos ||
         LastChar(rest.substr(0, last), IsSeparator) == std::string_view::npos;
}

bool PathBuffer::Assign(std::string_view text) {
  if (text.size() >= kSize) return false;
  std::memcpy(text_, text.data(), text.size());
  size_ = text.size();
  text_[size_] = '\0';
  return true;
}

bool PathBuffer::Append(std::string_view text) {
  if (size_ + text.size() >= kSize) return false;
  std::memcpy(text_ + size_, text.data(), text.size());
  size_ += text.size();
  text_[size_] = '\0';
  return true;
}

bool PathBuffer::ReplaceLast(std::string_view name) {
  std::size_t start = ComponentStart(view(), true);
  if (start + name.size() >= kSize) return false;
  std::memcpy(text_ + start, name.data(), name.size());
  size_ = start + name.size();
  text_[size_] = '\0';
  return true;
}

void PathBuffer::RemoveLast() {
  std::size_t start = ComponentStart(view(), true);
  if (start == 0) {
    size_ = 0;
  } else {
    size_ = text_[start - 1] == ':' ? start : start - 1;
  }
  text_[size_] = '\0';
}

}  // namespace mcr
