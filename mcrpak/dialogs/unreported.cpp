#include "unreported.h"

#include <cstdio>
#include <cstring>

#include "../instfiles/lebytes.h"

namespace mcr {

std::size_t ReadUnreportedBlock(ByteSource& file, UnreportedBlock& block) {
  block.fill(0);
  std::size_t whole = 0;
  std::uint8_t raw[kUnreportedEntrySize];
  while (whole < block.size() && ReadExact(file, raw, sizeof raw)) block[whole++] = le::I32(raw, 0);
  return whole;
}

std::array<std::uint8_t, kUnreportedFileSize> EncodeUnreportedBlock(const UnreportedBlock& block) {
  std::array<std::uint8_t, kUnreportedFileSize> bytes{};
  for (std::size_t i = 0; i < block.size(); ++i)
    le::PutU32(bytes.data(), i * kUnreportedEntrySize, static_cast<std::uint32_t>(block[i]));
  return bytes;
}

std::string MeasuredItemText(int mass, const char (&name)[kMassNameWidth], int step) {
  const void* end = std::memchr(name, 0, kMassNameWidth);
  std::string_view element(name, end ? static_cast<std::size_t>(static_cast<const char*>(end) - name)
                                     : kMassNameWidth);
  char head[16], tail[16];
  std::snprintf(head, sizeof head, "%3d\t", mass);
  std::snprintf(tail, sizeof tail, "\t#%d", step);
  return head + std::string(element) + tail;
}

std::string UnreportedItemText(int mass, int step) {
  char text[24];
  std::snprintf(text, sizeof text, "%3d\t#%d", mass, step);
  return text;
}

int ItemMass(std::string_view item) {
  std::string_view head = item.substr(0, 3);
  std::size_t i = 0;
  while (i < head.size() && head[i] == ' ') ++i;
  int mass = 0;
  for (; i < head.size() && head[i] >= '0' && head[i] <= '9'; ++i) mass = mass * 10 + (head[i] - '0');
  return mass;
}

int ItemStep(std::string_view item) {
  if (item.empty() || item.back() < '0' || item.back() > '9') return 0;
  return item.back() - '0';
}

std::string UnreportedTextOf(std::string_view measuredItem) {
  if (measuredItem.empty()) return {};
  return std::string(measuredItem.substr(0, 3)) + "\t#" + measuredItem.back();
}

}  // namespace mcr
