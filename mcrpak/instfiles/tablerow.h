// One row of the data table: the values of a data directory's data files
// (count rates) or quantitation result files (concentrations), placed in
// the columns of a table's layout, with the header fields of its first
// data file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bytesource.h"
#include "tableconfig.h"

namespace mcr {

// The longest cell text; a longer value is never cut into a wrong number.
constexpr std::size_t kCellMax = 31;
constexpr int kHeaderFieldCount = 10;

// Why a row is incomplete (it is written all the same).
enum class RowFailure {
  None,
  NoQuantResults,  // CONC: no quantitation file of any step gave results
  NoDataHeader,    // CPS: no data file header could be read
  NoMemory,        // a step's mass table could not be held; later steps were left out
};

struct Row {
  std::string line;  // with its CR LF
  RowFailure failure = RowFailure::None;
};

// Computes the row of data directory dir (written into the row as given)
// from the files opened through open. Throws std::bad_alloc when the cells
// themselves cannot be held.
Row ComputeRow(const TableLayout& layout, std::string_view dir, const FileOpener& open);

// Where the row's files are read from: dir itself, or its corrected data
// set dir\NAME# (NAME being dir's last component) with CORRECTION=ON.
std::string ReadingDirectory(std::string_view dir, bool correction);

// The whole mass a point at position x (20 x mass) belongs to: the nearest,
// a remainder of exactly 10 going down.
std::int32_t MassOfPosition(std::uint16_t x);

// A header number: 4 significant digits within the single-precision range.
std::string HeaderNumber(double value);

// The ten header fields of a 512-byte data file header, each followed by a tab.
std::string HeaderFields(const std::uint8_t* header);

}  // namespace mcr
