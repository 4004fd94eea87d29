// The library's vocabulary as plain data: what registration offers the host,
// what the export table must hold, and what the host's help prints.
#pragma once
#include <cstddef>
#include <cstdint>

namespace mcr {

enum class WordKind : std::uint8_t { Function, Command };

struct WordInfo {
  WordKind kind;
  const char* name;        // macro name exactly as registered
  const char* exportName;  // handler export
  std::uint16_t ordinal;
  const char* params;      // one letter per parameter: N, S or V
  bool ready;              // false: the shared "not available" handler answers
  const char* paramNames;
  const char* summary;
};

inline constexpr WordInfo kWords[] = {
#define MCR_FN(name, handler, ord, kinds, state, pnames, summary) \
  {WordKind::Function, name, #handler, ord, kinds, MCR_STATE_##state, pnames, summary},
#define MCR_CMD(name, handler, ord, kinds, state, pnames, summary) \
  {WordKind::Command, name, #handler, ord, kinds, MCR_STATE_##state, pnames, summary},
#define MCR_STATE_READY true
#define MCR_STATE_PENDING false
#include "words.inc"
#undef MCR_FN
#undef MCR_CMD
};

struct ExportInfo {
  const char* name;
  std::uint16_t ordinal;
  bool ready;
  std::uint16_t stackBytes;  // argument bytes of a callee-cleans export in the 32-bit build
};

inline constexpr ExportInfo kOtherExports[] = {
#define MCR_EXPORT(name, ord, state, bytes) {#name, ord, MCR_STATE_##state, bytes},
#include "exports.inc"
#undef MCR_EXPORT
#undef MCR_STATE_READY
#undef MCR_STATE_PENDING
};

inline constexpr std::size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
inline constexpr std::size_t kFunctionCount = 30;
static_assert(kWordCount == 94, "the vocabulary has 94 words");

// Parameter letters to the kind bytes the host receives.
constexpr std::uint8_t KindByte(char letter) {
  return letter == 'N' ? 0x00 : letter == 'S' ? 0x01 : 0xFE;
}

}  // namespace mcr
