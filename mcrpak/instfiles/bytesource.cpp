#include "bytesource.h"

#include <cstring>

namespace mcr {

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
