// The sequence file: a 1034-byte header, then row records of 1909 bytes each
// followed by the row's 34-byte extension entries.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mcr {

constexpr std::size_t kSeqHeaderSize = 1034;
constexpr std::size_t kSeqRowSize = 1909;
constexpr std::size_t kSeqExtensionSize = 34;
constexpr std::int32_t kSeqRowLimit = 350;
constexpr std::int32_t kSeqKeywordRowType = 6;
// Field names of 20 bytes or more are refused before any file is opened.
constexpr std::size_t kSeqFieldNameLimit = 20;
// The method path a row carries: at most 260 bytes and its terminator.
constexpr std::size_t kSeqMethodPathMax = 260;

enum class SeqFieldType { Text, U8, U16, Inject, U32 };

struct SeqField {
  const char* name;
  std::size_t offset;
  std::size_t width;
  SeqFieldType type;
};

// Text fields only, or numeric fields only; name compared without case.
const SeqField* FindSeqTextField(std::string_view name);
const SeqField* FindSeqNumberField(std::string_view name);

std::string SeqText(const std::uint8_t* header, const SeqField& f);
// Puts value, cut to the field's width less one, and its terminator; the
// bytes after the terminator keep what they held.
void PutSeqText(std::uint8_t* header, const SeqField& f, std::string_view value);
std::uint32_t SeqNumber(const std::uint8_t* header, const SeqField& f);
// Stores the field's share of value (low 8 or 16 bits, or all 32).
void PutSeqNumber(std::uint8_t* header, const SeqField& f, std::uint32_t value);

std::int32_t SeqRowCount(const std::uint8_t* header);
std::int32_t SeqFirstRowOffset(const std::uint8_t* header);
void PutSeqMethodEnabled(std::uint8_t* header, bool enabled);

std::int32_t SeqRowType(const std::uint8_t* row);
std::int32_t SeqRowExtensions(const std::uint8_t* row);
// The bytes the row's extension entries take (none for a count of 0 or less).
long long SeqExtensionBytes(const std::uint8_t* row);
std::string SeqRowKeyword(const std::uint8_t* row);
std::string SeqRowMethodPath(const std::uint8_t* row);
// Puts an already normalised method path and its terminator.
void PutSeqRowMethodPath(std::uint8_t* row, std::string_view path);

// The method path as rows carry it: cut to 260 bytes and, when not empty,
// ending in a backslash (added when there is room, otherwise replacing the
// last character).
std::string NormaliseMethodPath(std::string_view path);
// The row a SeqRpcMPath row argument selects (1 to 350), or 0 for every row.
std::int32_t SeqRowSelection(const double* row);

}  // namespace mcr
