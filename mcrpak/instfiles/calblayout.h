// The calibration file calib.NN: a 20-byte header that points at the element
// count and at the first element record; 144-byte element records, each
// followed by its K calibration point entries of 48 bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <functional>
#include <vector>

#include "bytesource.h"
#include "masslist.h"

namespace mcr {

constexpr std::size_t kCalibHeaderSize = 20;
constexpr std::size_t kCalibRecordSize = 144;
constexpr std::size_t kCalibPointSize = 48;

struct CalibHeader {
  std::uint32_t countOffset;
  std::uint32_t firstRecordOffset;
};
CalibHeader DecodeCalibHeader(const std::uint8_t* p);

struct CalibRecord {
  std::int32_t mass;
  std::string name;       // ends before offset 30
  std::string quantMode;  // ends before offset 86
  std::int32_t points;    // K
  std::int32_t istdMark;  // > 0 internal standard, 0 analyte
};
CalibRecord DecodeCalibRecord(const std::uint8_t* p);

// A name in parentheses marks an element that is not quantified.
bool InParentheses(const std::string& name);

// The header and the element count of an open calibration file; nothing
// when either cannot be read whole.
struct CalibCount {
  CalibHeader header;
  std::int32_t count;
};
std::optional<CalibCount> ReadCalibCount(ByteSource& file);

// Hands the element records, from the first-record offset, to visit until
// the count is reached or visit answers false. Reading stops at the first
// record that cannot be read whole, and after a record whose K is negative
// (its successor cannot be found). True when every record visit asked for
// was read.
bool ForEachCalibRecord(ByteSource& file, const CalibCount& at,
                        const std::function<bool(const CalibRecord&)>& visit);

// The list a selector asks for. notQuantified is the quantitation-mode text
// that marks an element as not quantified (the catalogue's text 1231).
MassList ListCalibration(ByteSource& file, Selector selector, const std::string& notQuantified);

}  // namespace mcr
