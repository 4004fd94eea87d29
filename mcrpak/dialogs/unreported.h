// The elements a QC report leaves out: one file per tune step (qcunrep.0N,
// one 32-bit entry per mass) and the texts of the two lists in which the
// operator moves measured masses into the unreported ones.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "../instfiles/bytesource.h"
#include "../instfiles/masslist.h"
#include "../instfiles/runmasses.h"

namespace mcr {

constexpr std::size_t kUnreportedEntrySize = 4;
constexpr std::size_t kUnreportedFileSize = kMassMax * kUnreportedEntrySize;

// Entry m - 1 stands for mass m. Only the low byte is the flag: 1 leaves the
// mass out of the report. The other bytes are kept as the file had them.
using UnreportedBlock = std::array<std::int32_t, kMassMax>;

// The dialog's working data: one block per tune step.
struct UnreportedSteps {
  UnreportedBlock steps[kTuneSteps];
};

inline bool IsUnreported(std::int32_t entry) { return (entry & 0xFF) == 1; }
inline std::int32_t WithUnreportedFlag(std::int32_t entry, bool unreported) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(entry) & ~0xFFu) | (unreported ? 1u : 0u));
}

// Clears block and reads the file's entries into it one by one; returns how
// many were read whole (a trailing part of an entry is not taken).
std::size_t ReadUnreportedBlock(ByteSource& file, UnreportedBlock& block);
std::array<std::uint8_t, kUnreportedFileSize> EncodeUnreportedBlock(const UnreportedBlock& block);

// List texts: a measured element "%3d\t<name>\t#%d" (mass, name, step) and
// an unreported one "%3d\t#%d" (mass, step). name is the mass table's
// zero-terminated field.
std::string MeasuredItemText(int mass, const char (&name)[kMassNameWidth], int step);
std::string UnreportedItemText(int mass, int step);
// The number in an item's first three characters, and the digit that ends it
// (0 when it does not end in a digit).
int ItemMass(std::string_view item);
int ItemStep(std::string_view item);
// The unreported text for a measured item: its first three characters, "\t#"
// and its last character.
std::string UnreportedTextOf(std::string_view measuredItem);

// Masses that may be added to the unreported list.
constexpr int kUnreportedAddMin = 2;

}  // namespace mcr
