// The data table file's layout: the configuration block it carries (copied
// from the batch view's dataview.cfg when the table is made), the column
// descriptors and the map from (step, mass position) to column, and the
// closing line that rows are written in front of.
#pragma once
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bytesource.h"

namespace mcr {

constexpr int kTableSteps = 6;
// Mass positions in steps of 0.05 less 11: masses 0.55 to 260.5.
constexpr int kTablePositions = 5200;
constexpr std::int32_t kPositionOffset = 11;

constexpr std::string_view kConfigStart = "<CONFIG>\r\n";
constexpr std::string_view kDataColsEnd = "</DATA COLS>\r\n";
constexpr std::string_view kTableStart = "<DATA TABLE>\r\n";
constexpr std::string_view kTableEnd = "</DATA TABLE>\r\n";

enum class TableData { Cps, Conc };
enum class TableKind { Mass, Point };
enum class Additional { None, Detector, Cps, Rsd, Unit, Count };

struct TableSettings {
  TableData data = TableData::Cps;
  bool correction = false;
  bool headerInfo = false;
  std::int32_t headerCols = 0;
  TableKind kind = TableKind::Mass;
  Additional additional = Additional::None;
};

// Applies one line of the key block (with its line end); false when the
// line is not a key line. Keys are compared whole, line end included,
// except "HEADER COLS=", whose number is read with blanks and the line end
// around it trimmed.
bool ApplyKeyLine(TableSettings& settings, std::string_view line);

// A column descriptor "label / mass[.ff][#k]": the step k (1 to 6) and the
// mass position 20 x mass + round(ff x 0.2) - 11 (0 to 5199). Nothing for a
// token that addresses no value.
struct Descriptor {
  int step;
  std::int32_t position;
};
std::optional<Descriptor> ParseDescriptor(std::string_view token);

// Column numbers (from 1, 0 for none) by step and position. Few of the
// 6 x 5200 places have a column: a bit per place says which, and only those
// hold their number, so that a call needs little memory and a place without
// a column costs one bit test.
class ColumnMap {
 public:
  // 0 for a step or position outside the map.
  std::int32_t At(int step, long long position) const;
  void Set(const Descriptor& d, std::int32_t column);

 private:
  static long long Key(int step, long long position) {
    return (step - 1) * static_cast<long long>(kTablePositions) + position;
  }
  std::bitset<static_cast<std::size_t>(kTableSteps) * kTablePositions> used_;
  std::map<long long, std::int32_t> columns_;
};

// What APPEND reads from a table file's configuration block: the settings,
// the column map and the number of data columns.
struct TableLayout {
  TableSettings settings;
  ColumnMap map;
  std::int32_t columns = 0;
};

// Lines of a source, each with its line end ("\n", whatever precedes it);
// the last one may have none. A line is returned whole however long.
class LineReader {
 public:
  explicit LineReader(ByteSource& source) : source_(source) {}
  bool Next(std::string& line);

 private:
  static constexpr std::size_t kChunk = 4096;
  ByteSource& source_;
  std::vector<char> buffer_ = std::vector<char>(kChunk);
  std::size_t at_ = 0, end_ = 0;
};

// Reads the configuration block from the start of a table file through
// "</DATA COLS>". False when the block is malformed: no "<CONFIG>", no
// "</CONFIG>", HEADER INFO=ON without a "<HEADER COLS>" section,
// "</DATA COLS>" before "<DATA COLS>", or either of them missing.
bool ReadTableLayout(ByteSource& source, TableLayout& layout);

// CREATE: how much of a configuration file goes into a new table (through
// the first "</DATA COLS>" line), or nothing when it does not start with
// "<CONFIG>" or has no "</DATA COLS>".
std::optional<std::size_t> ConfigCopyLength(std::string_view config);

// Where the closing "</DATA TABLE>" line of a table file of size bytes
// starts: the last ">" in the file must end it and a CR LF follow it.
std::optional<std::uint64_t> FindClosingLine(ByteSource& source, std::uint64_t size);

}  // namespace mcr
