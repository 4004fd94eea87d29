// What the Wine figures share: the host every word is called through, a
// scratch folder for their files, and the baselines' plain buffered read.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench.h"
#include "hostcore.h"

namespace mcrbench {

// The host every figure calls words through (library loaded, registered).
mcrhost::Host& SharedHost();
// Calls a word and stops the benchmark if it fails or raises an error: a
// figure that times an error path measures nothing.
mcrhost::Outcome Call(const std::string& word, const std::vector<mcrhost::Arg>& args);
mcrhost::Arg S(const std::string& ansi);
mcrhost::Arg N(double v);
// A folder for the figures' files, removed when the benchmark ends.
const std::string& Scratch();

// A plain buffered reader over a file: one 1 MB buffer kept from file to
// file, refilled with ReadFile, the unread tail moved to its front.
class RawStream {
 public:
  explicit RawStream(const std::string& path);
  ~RawStream();
  RawStream(const RawStream&) = delete;
  RawStream& operator=(const RawStream&) = delete;

  // The next n bytes (at most 1 MB), or null when the file ends first.
  const std::uint8_t* Next(std::size_t n);

 private:
  HANDLE handle_;
  std::size_t at_ = 0, end_ = 0;
};

struct RawBytes {
  const std::uint8_t* data;
  std::size_t size;
};
// The first upTo bytes of a file (fewer when it is shorter), read as a
// plain buffered reader reads: ReadFile calls of 1 MB, into a buffer kept
// from call to call. Empty when the file cannot be opened.
RawBytes RawRead(const std::string& path, std::size_t upTo = SIZE_MAX);
// The same from a file the caller holds open, from its current position.
RawBytes RawRead(HANDLE file, std::size_t upTo = SIZE_MAX);

}  // namespace mcrbench
