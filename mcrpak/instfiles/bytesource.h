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

// Moves to an offset read from a file as a signed number; a negative one
// cannot be taken.
inline bool SeekSigned(ByteSource& source, long long offset) {
  return offset >= 0 && source.Seek(static_cast<std::uint64_t>(offset));
}

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

// Reads up to n bytes at an absolute offset: the count read, fewer only at
// the end of the file, or -1 when the read failed.
using ReadAtFunction = std::function<long long(std::uint64_t offset, void* buffer, std::size_t n)>;

// Serves reads and seeks from a block read ahead, so that a reader walking a
// file record by record costs one read of the file per block instead of a
// read and a seek per record. A small file is read whole by the first read;
// a reader that goes on past its first block walks a long file (a sequence
// of thousands of rows) and gets walking blocks, whose few reads cost what
// one read of the file costs. What a reader observes does not change: the
// same bytes, the same short read at the end, seeks past the end allowed and
// the next read short, a failed read of the file reads nothing and leaves
// the position. Blocks come from pools, so a call does not pay for a fresh
// buffer.
class ReadAheadSource : public ByteSource {
 public:
  static constexpr std::size_t kBlockSize = 64 * 1024;
  static constexpr std::size_t kWalkBlockSize = 1024 * 1024;

  explicit ReadAheadSource(ReadAtFunction readAt) : readAt_(std::move(readAt)) {}
  ~ReadAheadSource() override;
  ReadAheadSource(const ReadAheadSource&) = delete;
  ReadAheadSource& operator=(const ReadAheadSource&) = delete;

  // Offsets beyond the signed 64-bit range cannot be taken, as in a file.
  bool Seek(std::uint64_t offset) override;
  std::uint64_t Position() const override { return pos_; }
  std::size_t Read(void* buffer, std::size_t n) override;
  // Read without the copy: the next n bytes (n at most a block) where they
  // lie in the block, valid until the next call; null when fewer than n
  // are there, with the position then as after the short Read.
  const std::uint8_t* ReadView(std::size_t n);
  // Whether a read failed rather than came to the end of the file.
  bool Failed() const { return failed_; }

 private:
  // The block at offset read; false when the read failed.
  bool Fill(std::uint64_t offset);

  ReadAtFunction readAt_;
  std::uint8_t* block_ = nullptr;
  std::size_t blockSize_ = 0;  // of block_: kBlockSize or kWalkBlockSize
  std::uint64_t blockStart_ = 0;
  std::size_t blockLength_ = 0;
  // Where the file ends once a read has come up short.
  std::uint64_t end_ = UINT64_MAX;
  std::uint64_t pos_ = 0;
  bool failed_ = false;
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
