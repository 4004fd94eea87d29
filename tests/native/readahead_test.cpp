// The read-ahead block under every instrument-file reader: whatever the
// pattern of seeks and reads, a reader sees exactly what it saw reading the
// file directly, and walking a file costs one read of its first block and
// one per walking block after it.
#include <gtest/gtest.h>

#include <cstring>

#include "instfiles/bytesource.h"

namespace {

using mcr::ReadAheadSource;

constexpr std::size_t kBlock = ReadAheadSource::kBlockSize, kWalk = ReadAheadSource::kWalkBlockSize;
constexpr std::size_t kFileSize = 3 * kBlock + 1000;  // a fourth block short
constexpr std::uint64_t kStay = UINT64_MAX;  // a step that reads on from where the last one ended

// The file's reads, counted; a read that touches failAt fails.
struct CountingFile {
  std::vector<std::uint8_t> bytes;
  int reads = 0;
  std::uint64_t failAt = UINT64_MAX;
  explicit CountingFile(std::size_t size = kFileSize) : bytes(size) {
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  }
  mcr::ReadAtFunction ReadAt() {
    return [this](std::uint64_t offset, void* buffer, std::size_t n) -> long long {
      ++reads;
      if (failAt >= offset && failAt - offset < n) return -1;
      std::size_t count = offset >= bytes.size() ? 0 : std::min<std::size_t>(n, bytes.size() - offset);
      if (count) std::memcpy(buffer, bytes.data() + offset, count);
      return static_cast<long long>(count);
    };
  }
};

struct Step { std::uint64_t seek; std::size_t read; bool view = false; };  // view: ReadView instead of Read

TEST(ReadAhead, SeesWhatADirectReadSees) {
  const std::vector<Step> cases[] = {
      {{kBlock - 10, 100}, {kStay, 1909}, {kStay, 200000}},  // straddling two blocks, then past the end
      {{70000, 144}, {100, 144}, {140000, 144}, {kBlock - 1, 2}, {5, 20}},
      {{kFileSize - 5, 20}, {kStay, 20}, {kFileSize - 1, 1}, {kFileSize + 100, 14}, {kStay, 14}, {0, 14}},
      {{10, 14}, {kStay, 2 * kBlock + 7}, {kStay, 30}, {kBlock, kBlock}, {kStay, kBlock}, {kStay, 1}},
      {{3, 0}, {kStay, 0}, {kStay, 1}},
      {{kBlock - 10, 100, true}, {kStay, 1909, true}, {kFileSize - 5, 20, true}, {kStay, 20, true}},
      {{140000, 144, true}, {100, 144}, {kBlock - 1, 2, true}, {kStay, 3}}};
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    CountingFile file;
    ReadAheadSource buffered(file.ReadAt());
    mcr::MemorySource direct(file.bytes);
    for (std::size_t i = 0; i < cases[k].size(); ++i) {
      const Step& s = cases[k][i];
      if (s.seek != kStay) { ASSERT_TRUE(buffered.Seek(s.seek) && (direct.Seek(s.seek), true)) << k << " step " << i; }
      std::vector<std::uint8_t> got(s.read + 1, 0xEE), want(s.read + 1, 0xEE);
      std::size_t wanted = direct.Read(want.data(), s.read);
      const std::uint8_t* view = s.view ? buffered.ReadView(s.read) : nullptr;
      if (s.view) { ASSERT_EQ(view != nullptr, wanted == s.read) << k << " step " << i; }
      if (view) std::memcpy(got.data(), view, s.read);
      else if (s.view) got = want;  // a view that is not there shows nothing
      else ASSERT_EQ(buffered.Read(got.data(), s.read), wanted) << k << " step " << i;
      EXPECT_EQ(got, want) << k << " step " << i;
      EXPECT_EQ(buffered.Position(), direct.Position()) << k << " step " << i;
    }
    EXPECT_FALSE(buffered.Failed()) << k;
  }
}

TEST(ReadAhead, OneFileReadPerBlock) {
  // The second walking block is short, though longer than a first block.
  constexpr std::size_t kLong = 2 * kBlock + kWalk + 1000;
  for (bool view : {false, true}) {
    CountingFile file(kLong);
    ReadAheadSource source(file.ReadAt());
    std::uint8_t row[1909];
    std::size_t rows = 0;
    while (view ? source.ReadView(sizeof row) != nullptr : source.Read(row, sizeof row) == sizeof row) ++rows;
    EXPECT_EQ(rows, kLong / sizeof row) << view;
    source.Seek(kLong + 5);
    EXPECT_TRUE(source.Read(row, 1) == 0 && source.ReadView(1) == nullptr) << view;
    EXPECT_EQ(file.reads, 3) << view;  // the end is known from the short block
  }
}

TEST(ReadAhead, FailedReadReadsNothing) {
  // The first read of the file; half a record in the block already read (warm
  // is read first when given); a read larger than a block.
  const struct { std::uint64_t failAt, warm, seek; std::size_t read; bool view; } cases[] = {
      {0, kStay, 0, 1, false}, {kBlock + 3, 0, kBlock - 50, 100, false}, {kBlock + 3, 0, kBlock - 50, 100, true},
      {2 * kBlock, kStay, 10, 3 * kBlock, false}};
  for (const auto& c : cases) {
    CountingFile file;
    file.failAt = c.failAt;
    ReadAheadSource source(file.ReadAt());
    std::vector<std::uint8_t> buffer(c.read);
    if (c.warm != kStay) { ASSERT_TRUE(source.Seek(c.warm) && source.Read(buffer.data(), 1) == 1) << c.failAt; }
    ASSERT_TRUE(source.Seek(c.seek));
    EXPECT_TRUE(c.view ? source.ReadView(c.read) == nullptr : source.Read(buffer.data(), c.read) == 0) << c.failAt;
    EXPECT_TRUE(source.Position() == c.seek && source.Failed()) << c.failAt;
  }
}

}  // namespace
