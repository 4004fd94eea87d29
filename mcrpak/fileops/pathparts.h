// Path text logic of the file words: splitting, separators, the inside tests
// and the fixed working buffer of the update walk. Paths are Shift-JIS byte
// strings; a trail byte equal to '\' is never taken for a separator.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mcr {

// Drive ("C:"), directory (through its last separator), name and extension
// (from the last dot of the final component), as the runtime's splitter cuts.
struct PathParts {
  std::string_view drive, dir, name, ext;
};
PathParts SplitPathParts(std::string_view path);

// A drive or a directory is given.
bool HasDirectoryPart(std::string_view path);
// The last character is '\' or '/'.
bool EndsWithSeparator(std::string_view path);
// Where the final component starts: just after the last '\' or '/' (or ':'
// when colonEnds), 0 when there is none.
std::size_t ComponentStart(std::string_view path, bool colonEnds);
// "." and "..".
bool IsDotEntry(std::string_view name);

// The copy command's test: d is s, or lies inside s. slashS and slashD are
// the two paths with every separator turned into '/'.
bool CopyTargetInside(std::string_view s, std::string_view d, std::string_view slashS,
                      std::string_view slashD);
// The update command's test, on the paths as given: either separator counts.
bool UpdateTargetInside(std::string_view s, std::string_view d);

// A full path that names the root of a drive or of a network share.
bool IsRootDirectory(std::string_view fullPath);


// Waits before retry k (1 to kOpenRetries) of an open that failed.
constexpr int kOpenRetries = 20;
constexpr int kRetryStepMs = 200;
constexpr int kRetryLongestMs = 2200;
constexpr int RetryWaitMs(int k) {
  return kRetryStepMs * k <= kRetryLongestMs ? kRetryStepMs * k : kRetryStepMs;
}

// Retries open() on the schedule while retryable(error) holds: open()
// returns 0 or an error code, wait(ms) sleeps. Returns the last result.
template <typename Open, typename Retryable, typename Wait>
unsigned long OpenWithRetries(Open open, Retryable retryable, Wait wait, bool* exhausted) {
  unsigned long error = open();
  for (int k = 1; k <= kOpenRetries && retryable(error); ++k) {
    wait(RetryWaitMs(k));
    error = open();
  }
  *exhausted = retryable(error);
  return error;
}

// Last-write times as two 32-bit halves.
inline bool OlderThan(std::uint32_t hiA, std::uint32_t loA, std::uint32_t hiB, std::uint32_t loB) {
  return hiA != hiB ? hiA < hiB : loA < loB;
}

// A path in a fixed buffer that a directory walk changes in place: a pattern
// or an entry name goes on, and comes off again on the way back. Nothing is
// changed by an operation that would not fit.
class PathBuffer {
 public:
  static constexpr std::size_t kSize = 264;
  PathBuffer() = default;
  bool Assign(std::string_view text);
  bool Append(std::string_view text);
  // Replaces everything after the last separator or drive colon by name.
  bool ReplaceLast(std::string_view name);
  // Cuts at the last separator (a drive colon stays).
  void RemoveLast();
  const char* c_str() const { return text_; }
  std::string_view view() const { return {text_, size_}; }
  std::size_t size() const { return size_; }

 private:
  char text_[kSize] = {};
  std::size_t size_ = 0;
};

}  // namespace mcr
