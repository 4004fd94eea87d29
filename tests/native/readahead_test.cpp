// The read-ahead block under every instrument-file reader: whatever the
// pattern of seeks and reads, a reader sees exactly what it saw reading the
// file directly, and walking a file costs one read of it per block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "instfiles/bytesource.h"

namespace {

using mcr::MemorySource;
using mcr::ReadAheadSource;

constexpr std::size_t kBlock = ReadAheadSource::kBlockSize;
// Three whole blocks and a part of a fourth.
constexpr std::size_t kFileSize = 3 * kBlock + 1000;

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  return bytes;
}

// The file's reads as a source sees them, counted; a read that touches
// failAt fails.
struct CountingFile {
  std::vector<std::uint8_t> bytes = Pattern(kFileSize);
  int reads = 0;
  std::uint64_t failAt = UINT64_MAX;

  mcr::ReadAtFunction ReadAt() {
    return [this](std::uint64_t offset, void* buffer, std::size_t n) -> long long {
      ++reads;
      if (failAt >= offset && failAt - offset < n) return -1;
      if (offset >= bytes.size()) return 0;
      std::size_t count = std::min<std::size_t>(n, bytes.size() - offset);
      std::memcpy(buffer, bytes.data() + offset, count);
      return static_cast<long long>(count);
    };
  }
};

struct Step {
  std::uint64_t seek;  // kStay: read on from where the last step ended
  std::size_t read;
  bool view = false;   // ReadView instead of Read
};
constexpr std::uint64_t kStay = UINT64_MAX;

// Sequence rows viewed one after another from the first row to the end.
std::vector<Step> ViewedRows() {
  std::vector<Step> steps{{1034, 1909, true}};
  for (std::size_t at = 1034 + 1909; at <= kFileSize; at += 1909) steps.push_back({kStay, 1909, true});
  return steps;
}

TEST(ReadAhead, SeesWhatADirectReadSees) {
  const struct { const char* what; std::vector<Step> steps; } cases[] = {
      {"a record straddling two blocks", {{kBlock - 10, 100}, {kStay, 1909}}},
      {"records walked across every block", {{1034, 1909}, {kStay, 1909}, {kStay, 200000}}},
      {"back and forth across a block", {{70000, 144}, {100, 144}, {140000, 144}, {kBlock - 1, 2}, {5, 20}}},
      {"a short read at the end, then nothing", {{kFileSize - 5, 20}, {kStay, 20}, {kFileSize - 1, 1}}},
      {"a seek past the end", {{kFileSize + 100, 14}, {kStay, 14}, {0, 14}}},
      {"a read larger than a block from inside one", {{10, 14}, {kStay, 2 * kBlock + 7}, {kStay, 30}}},
      {"a whole-block read on a block edge", {{kBlock, kBlock}, {kStay, kBlock}, {kStay, 1}}},
      {"nothing asked", {{3, 0}, {kStay, 0}, {kStay, 1}}},
      {"rows viewed across every block, the last one short", ViewedRows()},
      {"a viewed record straddling two blocks", {{kBlock - 10, 100, true}, {kStay, 1909, true}}},
      {"a viewed short record at the end, then nothing", {{kFileSize - 5, 20, true}, {kStay, 20, true}}},
      {"views and reads mixed", {{140000, 144, true}, {100, 144}, {kBlock - 1, 2, true}, {kStay, 3}}},
  };
  for (const auto& c : cases) {
    CountingFile file;
    ReadAheadSource buffered(file.ReadAt());
    MemorySource direct(file.bytes);
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      if (s.seek != kStay) {
        ASSERT_TRUE(buffered.Seek(s.seek)) << c.what << " step " << i;
        direct.Seek(s.seek);
      }
      std::vector<std::uint8_t> got(s.read + 1, 0xEE), want(s.read + 1, 0xEE);
      std::size_t wanted = direct.Read(want.data(), s.read);
      if (s.view) {
        const std::uint8_t* view = buffered.ReadView(s.read);
        ASSERT_EQ(view != nullptr, wanted == s.read) << c.what << " step " << i;
        if (view) std::memcpy(got.data(), view, s.read);
        else got = want;  // a view that is not there shows nothing
      } else {
        ASSERT_EQ(buffered.Read(got.data(), s.read), wanted) << c.what << " step " << i;
      }
      EXPECT_EQ(got, want) << c.what << " step " << i;
      EXPECT_EQ(buffered.Position(), direct.Position()) << c.what << " step " << i;
    }
    EXPECT_FALSE(buffered.Failed()) << c.what;
  }
}

TEST(ReadAhead, OneFileReadPerBlock) {
  for (bool view : {false, true}) {
    CountingFile file;
    ReadAheadSource source(file.ReadAt());
    std::uint8_t row[1909];
    std::size_t rows = 0;
    while (view ? source.ReadView(sizeof row) != nullptr : source.Read(row, sizeof row) == sizeof row) ++rows;
    EXPECT_EQ(rows, kFileSize / sizeof row) << view;
    EXPECT_EQ(file.reads, 4) << view;  // the fourth block is short: the end is known from it
    source.Seek(kFileSize + 5);
    EXPECT_EQ(source.Read(row, 1), 0u) << view;
    EXPECT_EQ(source.ReadView(1), nullptr) << view;
    EXPECT_EQ(file.reads, 4) << view;
  }
  // A small file is read whole by its first read.
  CountingFile small;
  small.bytes.resize(5000);
  ReadAheadSource whole(small.ReadAt());
  std::uint8_t record[144];
  for (std::uint64_t at : {4000, 20, 3000, 0})
    ASSERT_TRUE(whole.Seek(at) && whole.Read(record, sizeof record) == sizeof record) << at;
  EXPECT_EQ(small.reads, 1);
}

TEST(ReadAhead, FailedReadReadsNothing) {
  // A read of the file that touches failAt fails; warm is read first when given.
  const struct { std::uint64_t failAt, warm, seek; std::size_t read; bool view; } cases[] = {
      {0, kStay, 0, 1, false},                     // the first read of the file
      {kBlock + 3, 0, kBlock - 50, 100, false},    // half the record is in the block already read
      {kBlock + 3, 0, kBlock - 50, 100, true},
      {2 * kBlock, kStay, 10, 3 * kBlock, false},  // a read larger than a block
  };
  for (const auto& c : cases) {
    CountingFile file;
    file.failAt = c.failAt;
    ReadAheadSource source(file.ReadAt());
    std::vector<std::uint8_t> buffer(c.read);
    if (c.warm != kStay) {
      ASSERT_TRUE(source.Seek(c.warm) && source.Read(buffer.data(), 1) == 1) << c.failAt;
    }
    ASSERT_TRUE(source.Seek(c.seek));
    if (c.view)
      EXPECT_EQ(source.ReadView(c.read), nullptr) << c.failAt;
    else
      EXPECT_EQ(source.Read(buffer.data(), c.read), 0u) << c.failAt;
    EXPECT_EQ(source.Position(), c.seek) << c.failAt;
    EXPECT_TRUE(source.Failed()) << c.failAt;
  }
  // Offsets a file cannot take are refused, as by the file itself.
  CountingFile file;
  ReadAheadSource source(file.ReadAt());
  EXPECT_TRUE(source.Seek(INT64_MAX));
  EXPECT_FALSE(source.Seek(std::uint64_t{INT64_MAX} + 1));
  EXPECT_EQ(source.Position(), std::uint64_t{INT64_MAX});
}

}  // namespace
