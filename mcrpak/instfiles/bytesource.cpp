#include "bytesource.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace mcr {

namespace {

// Blocks of one size kept between calls, enough for the few files one word
// holds open; each slot is taken and given back atomically, so no lock is
// needed. They are given back when the library is unloaded.
struct Pool {
  std::size_t size;
  std::atomic<std::uint8_t*> slots[4];

  ~Pool() {
    for (auto& slot : slots) delete[] slot.exchange(nullptr);
  }
  // Null when no block of the size can be had: the host's process may be
  // short of memory, and that must not end it.
  std::uint8_t* Take() {
    for (auto& slot : slots)
      if (std::uint8_t* block = slot.exchange(nullptr)) return block;
    return new (std::nothrow) std::uint8_t[size];
  }
  void Give(std::uint8_t* block) {
    for (auto& slot : slots) {
      std::uint8_t* empty = nullptr;
      if (slot.compare_exchange_strong(empty, block)) return;
    }
    delete[] block;
  }
};
Pool g_blocks{ReadAheadSource::kBlockSize, {}}, g_walkBlocks{ReadAheadSource::kWalkBlockSize, {}};

Pool& PoolOf(std::size_t size) { return size == ReadAheadSource::kBlockSize ? g_blocks : g_walkBlocks; }

}  // namespace

ReadAheadSource::~ReadAheadSource() {
  if (block_) PoolOf(blockSize_).Give(block_);
}

bool ReadAheadSource::Seek(std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  pos_ = offset;
  return true;
}

bool ReadAheadSource::Fill(std::uint64_t offset) {
  // Going on from within the first block or from its end is walking the file.
  const bool walking = blockLength_ && offset > blockStart_ && offset <= blockStart_ + blockLength_;
  if (!block_ || (walking && blockSize_ == kBlockSize)) {
    const std::size_t size = block_ ? kWalkBlockSize : kBlockSize;
    if (std::uint8_t* block = PoolOf(size).Take()) {  // else the block in hand serves on
      if (block_) PoolOf(blockSize_).Give(block_);
      block_ = block;
      blockSize_ = size;
    }
  }
  blockLength_ = 0;
  if (!block_) return false;
  long long got = readAt_(offset, block_, blockSize_);
  if (got < 0) return false;
  blockStart_ = offset;
  blockLength_ = static_cast<std::size_t>(got);
  if (blockLength_ < blockSize_) end_ = offset + blockLength_;
  return true;
}

const std::uint8_t* ReadAheadSource::ReadView(std::size_t n) {
  bool inBlock = pos_ >= blockStart_ && pos_ - blockStart_ <= blockLength_ &&
                 n <= blockLength_ - static_cast<std::size_t>(pos_ - blockStart_);
  if (!inBlock) {
    if (n > kBlockSize || pos_ >= end_) return nullptr;
    if (n > end_ - pos_) {  // the end is known to come first
      pos_ = end_;
      return nullptr;
    }
    // A block read from the position itself holds all n bytes when the
    // file does.
    if (!Fill(pos_)) {
      failed_ = true;
      return nullptr;
    }
    if (blockLength_ < n) {
      pos_ += blockLength_;
      return nullptr;
    }
  }
  const std::uint8_t* at = block_ + (pos_ - blockStart_);
  pos_ += n;
  return at;
}

std::size_t ReadAheadSource::Read(void* buffer, std::size_t n) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  const std::uint64_t from = pos_;
  std::size_t done = 0;
  while (done < n && pos_ < end_) {
    if (pos_ >= blockStart_ && pos_ - blockStart_ < blockLength_) {
      std::size_t at = static_cast<std::size_t>(pos_ - blockStart_);
      std::size_t count = std::min(n - done, blockLength_ - at);
      std::memcpy(out + done, block_ + at, count);
      done += count;
      pos_ += count;
      continue;
    }
    bool ok;
    if (n - done >= kBlockSize) {
      // A block or more still wanted goes straight to the caller.
      long long got = readAt_(pos_, out + done, n - done);
      ok = got >= 0;
      if (ok) {
        if (static_cast<std::size_t>(got) < n - done) end_ = pos_ + static_cast<std::uint64_t>(got);
        done += static_cast<std::size_t>(got);
        pos_ += static_cast<std::uint64_t>(got);
      }
    } else {
      // Blocks start at multiples of their size: a small file is read whole
      // however the reader seeks about in it.
      ok = Fill(pos_ - pos_ % kBlockSize);
    }
    if (!ok) {
      failed_ = true;
      pos_ = from;
      return 0;
    }
  }
  return done;
}

bool Skip(ByteSource& source, std::int64_t delta) {
  std::uint64_t at = source.Position();
  if (delta < 0 && static_cast<std::uint64_t>(-(delta + 1)) + 1 > at) return false;
  return source.Seek(at + static_cast<std::uint64_t>(delta));
}

std::size_t MemorySource::Read(void* buffer, std::size_t n) {
  if (pos_ >= bytes_.size()) return 0;
  std::size_t available = bytes_.size() - static_cast<std::size_t>(pos_);
  std::size_t count = n < available ? n : available;
  std::memcpy(buffer, bytes_.data() + pos_, count);
  pos_ += count;
  return count;
}

std::string StepFileName(const std::string& dir, const char* stem, long long number) {
  return dir + "\\" + stem + "0" + std::to_string(number);
}

std::string TwoDigitFileName(const std::string& dir, const char* stem, unsigned number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
  return dir + "\\" + stem + digits;
}

}  // namespace mcr
