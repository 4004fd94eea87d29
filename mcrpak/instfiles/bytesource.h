// A readable instrument file as the layout code sees it: absolute seeks and
// reads that may come up short. The handlers hand over an open file; the
// tests hand over bytes in memory. Nothing here trusts a count or an offset
// read from the file: a seek past the end succeeds and the next read is
// short, exactly as with a file on disk.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mcr {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Moves to an absolute offset; false when the position cannot be taken.
  virtual bool Seek(std::uint64_t offset) = 0;
  virtual std::uint64_t Position() const = 0;
  // Reads up to n bytes at the position and moves past them; the count read.
  virtual std::size_t Read(void* buffer, std::size_t n) = 0;
};

// Whether exactly n bytes could be read.
inline bool ReadExact(ByteSource& source, void* buffer, std::size_t n) {
  return source.Read(buffer, n) == n;
}

// Moves delta bytes from the position; a move before the start fails.
bool Skip(ByteSource& source, std::int64_t delta);

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  bool Seek(std::uint64_t offset) override {
    pos_ = offset;
    return true;
  }
  std::uint64_t Position() const override { return pos_; }
  std::size_t Read(void* buffer, std::size_t n) override;

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint64_t pos_ = 0;
};

// Opens a file by path for reading; null when it cannot be opened. The
// run-group words open several files of one method through it.
using FileOpener = std::function<std::unique_ptr<ByteSource>(const std::string& path)>;

// The per-step file names of a method: dir + "\\" + stem + "0" + number, the
// form "%s\\qcdb.0%d" gives (a directory ending in a backslash gives a
// doubled one, and a number of two digits or a negative one is written out
// after the "0" just the same).
std::string StepFileName(const std::string& dir, const char* stem, long long number);
// dir + "\\" + stem + number as "%02u" writes it.
std::string TwoDigitFileName(const std::string& dir, const char* stem, unsigned number);

}  // namespace mcr
