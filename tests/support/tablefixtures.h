// Data files, quantitation result files and configuration blocks of the data table, laid down field by field.
// The mass table does not follow the header directly and the counts may claim more than the file holds.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bytes.h"

namespace mcrtest::tfx {

struct Point { std::uint16_t x; float time, counts; };
struct Entry { std::int16_t mass; float mean, sd; std::int16_t detector; };

constexpr std::size_t kTableAt = 600;  // a gap after the 512-byte header

// Header (multiplier 1, positions in 16-bit words counted from 1), mass table, acquisition block, points.
inline Bytes DataFile(const std::vector<Entry>& entries, const std::vector<Point>& points,
                      std::optional<std::int16_t> entryCount = {}, std::optional<std::int16_t> pointCount = {}) {
  const std::size_t block = kTableAt + 24 * entries.size(), first = block + 24;
  Bytes b = Bytes(512).i16(306, entryCount.value_or(static_cast<std::int16_t>(entries.size()))).i32(308, kTableAt / 2 + 1)
                .i32(264, static_cast<std::int32_t>(block / 2 + 1)).f32(312, 1.0f);
  for (std::size_t i = 0, at = kTableAt; i < entries.size(); ++i, at += 24)
    b.i16(at, entries[i].mass).f32(at + 12, entries[i].mean).f32(at + 18, entries[i].sd).i16(at + 22, entries[i].detector);
  b.i16(block + 16, pointCount.value_or(static_cast<std::int16_t>(points.size()))).resize(first);
  for (std::size_t i = 0; i < points.size(); ++i)
    b.u16(first + 10 * i, points[i].x).f32(first + 10 * i + 2, points[i].time).f32(first + 10 * i + 6, points[i].counts);
  return b;
}

struct Result { std::int32_t mass; float rate, conc; std::string unit; float sd; std::int16_t detector; };

// The 1540-byte header (the record count, results present) and the records.
inline Bytes QuantFile(const std::vector<Result>& results) {
  Bytes b = Bytes(1540).i32(938, static_cast<std::int32_t>(results.size())).i32(1350, 1);
  for (const Result& r : results)
    b.append(Bytes(132).i32(0, r.mass).f32(16, r.rate).f32(20, r.conc).text(24, r.unit, 18).f32(42, r.sd).i16(78, r.detector));
  return b;
}

// A configuration block: the key block, a header-columns section and the data columns.
inline std::string Config(const std::string& keys, const std::string& descriptors,
                          const std::string& headerCols = "<HEADER COLS>\r\nName\tInfo\r\n</HEADER COLS>\r\n") {
  return "<CONFIG>\r\n" + keys + "</CONFIG>\r\n" + headerCols + "<DATA COLS>\r\n" + descriptors + "</DATA COLS>\r\n";
}

}  // namespace mcrtest::tfx
