#include "seqlayout.h"

#include <cmath>
#include <cstring>

#include "../bridge/rounding.h"
#include "../bridge/sjistext.h"
#include "lebytes.h"

namespace mcr {

namespace {

constexpr SeqField kTextFields[] = {
    {"Comment", 1, 46, SeqFieldType::Text},
    {"Operator", 47, 30, SeqFieldType::Text},
    {"DataPath", 77, 261, SeqFieldType::Text},
    {"PreSeq", 338, 133, SeqFieldType::Text},
    {"PostSeq", 471, 133, SeqFieldType::Text},
};
constexpr SeqField kNumberFields[] = {
    {"Version", 0, 1, SeqFieldType::U8},
    {"Flag", 604, 2, SeqFieldType::U16},
    {"Inject", 606, 4, SeqFieldType::Inject},
    {"RunCount", 610, 4, SeqFieldType::U32},
    {"PrintSeq", 630, 4, SeqFieldType::U32},
    {"MethPEnb", 634, 4, SeqFieldType::U32},
};
constexpr std::size_t kRowCountOffset = 614;
constexpr std::size_t kFirstRowOffset = 618;
constexpr std::size_t kMethodEnabledOffset = 634;

constexpr std::size_t kRowTypeOffset = 4;
constexpr std::size_t kRowMethodPathOffset = 277;
constexpr std::size_t kRowMethodPathWidth = kSeqMethodPathMax + 1;
constexpr std::size_t kRowKeywordOffset = 1035;
constexpr std::size_t kRowExtensionsOffset = 1625;
// The keyword's own width is not recorded; it cannot run past the next field.
constexpr std::size_t kRowKeywordWidth = kRowExtensionsOffset - kRowKeywordOffset;

template <std::size_t N>
const SeqField* Find(const SeqField (&fields)[N], std::string_view name) {
  for (const SeqField& f : fields)
    if (EqualNoCase(f.name, name)) return &f;
  return nullptr;
}

}  // namespace

const SeqField* FindSeqTextField(std::string_view name) { return Find(kTextFields, name); }
const SeqField* FindSeqNumberField(std::string_view name) { return Find(kNumberFields, name); }

std::string SeqText(const std::uint8_t* header, const SeqField& f) {
  return le::Text(header, f.offset, f.width);
}

void PutSeqText(std::uint8_t* header, const SeqField& f, std::string_view value) {
  std::string_view cut = CutBytes(value, f.width - 1);
  std::memcpy(header + f.offset, cut.data(), cut.size());
  header[f.offset + cut.size()] = 0;
}

std::uint32_t SeqNumber(const std::uint8_t* header, const SeqField& f) {
  switch (f.type) {
    case SeqFieldType::U8: return header[f.offset];
    case SeqFieldType::U16: return le::U16(header, f.offset);
    default: return le::U32(header, f.offset);
  }
}

void PutSeqNumber(std::uint8_t* header, const SeqField& f, std::uint32_t value) {
  switch (f.type) {
    case SeqFieldType::U8: header[f.offset] = static_cast<std::uint8_t>(value); break;
    case SeqFieldType::U16: le::PutU16(header, f.offset, static_cast<std::uint16_t>(value)); break;
    case SeqFieldType::Inject: le::PutU32(header, f.offset, value & 0xFFFFu); break;
    default: le::PutU32(header, f.offset, value); break;
  }
}

std::int32_t SeqRowCount(const std::uint8_t* header) { return le::I32(header, kRowCountOffset); }
std::int32_t SeqFirstRowOffset(const std::uint8_t* header) { return le::I32(header, kFirstRowOffset); }
void PutSeqMethodEnabled(std::uint8_t* header, bool enabled) {
  le::PutU32(header, kMethodEnabledOffset, enabled ? 1u : 0u);
}

std::int32_t SeqRowType(const std::uint8_t* row) { return le::I32(row, kRowTypeOffset); }
std::int32_t SeqRowExtensions(const std::uint8_t* row) { return le::I32(row, kRowExtensionsOffset); }

long long SeqExtensionBytes(const std::uint8_t* row) {
  std::int32_t n = SeqRowExtensions(row);
  return n > 0 ? static_cast<long long>(n) * static_cast<long long>(kSeqExtensionSize) : 0;
}

std::string SeqRowKeyword(const std::uint8_t* row) {
  return le::Text(row, kRowKeywordOffset, kRowKeywordWidth);
}

std::string SeqRowMethodPath(const std::uint8_t* row) {
  return le::Text(row, kRowMethodPathOffset, kRowMethodPathWidth);
}

void PutSeqRowMethodPath(std::uint8_t* row, std::string_view path) {
  std::string_view cut = CutBytes(path, kSeqMethodPathMax);
  std::memcpy(row + kRowMethodPathOffset, cut.data(), cut.size());
  row[kRowMethodPathOffset + cut.size()] = 0;
}

std::string NormaliseMethodPath(std::string_view path) {
  std::string out(CutBytes(path, kSeqMethodPathMax));
  if (out.empty() || EndsWithBackslash(out)) return out;
  if (out.size() < kSeqMethodPathMax) return out + '\\';
  // No room: the last character (one or two bytes) gives way to the backslash.
  out.resize(CutBytes(out, out.size() - 1).size());
  return out + '\\';
}

std::int32_t SeqRowSelection(const double* row) {
  // Values beyond the 32-bit range saturate far outside 1 to 350.
  std::int32_t r = row ? RoundToInt(*row) : 0;
  return r >= 1 && r <= kSeqRowLimit ? r : 0;
}

}  // namespace mcr
