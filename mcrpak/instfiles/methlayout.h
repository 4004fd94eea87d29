// The method header at the start of run.icp, its event records and the run
// groups an acquisition mode implies.
#pragma once
#include <cstddef>
#include <cstdint>

namespace mcr {

constexpr std::size_t kMethodHeaderSize = 124;
constexpr std::size_t kEventRecordSize = 182;
constexpr std::size_t kMethodModeOffset = 0;
constexpr std::size_t kMethodEventOffsetOffset = 24;
constexpr std::size_t kEventRunGroupOffset = 4;
// Mode 2 takes its run groups from this many leading event records.
constexpr int kEventRunGroupRecords = 10;

enum class MethodValue { Int32, Float32, Float64 };

// One keyword of the header: its offset, value type and how many values.
struct MethodItem {
  const char* keyword;  // upper case
  std::size_t offset;
  MethodValue type;
  int count;
};
constexpr int kMethodItemMaxValues = 3;

// The item whose keyword equals upperKeyword exactly, or null.
const MethodItem* FindMethodItem(const char* upperKeyword);
// Decodes the item's values from a whole header into values; returns count.
int MethodItemValues(const std::uint8_t* header, const MethodItem& item,
                     double values[kMethodItemMaxValues]);

// What the acquisition mode says about the method's run groups.
enum class RunGroupSource {
  First,      // one run group, number 1
  Events,     // from the leading event records
  TuneSteps,  // one entry 0: the tune-step files stand for the run groups
  Invalid,
};
RunGroupSource RunGroupSourceOf(std::int32_t mode);

// Fills list and count for a method of this mode from the event record
// bytes read at the header's event offset (events: whatever part of the
// leading records could be read; only whole records count, and entries
// whose record is missing or names run group 0 keep their contents).
// Returns false for an invalid mode.
bool RunGroupsOf(std::int32_t mode, const std::uint8_t* events, std::size_t eventBytes,
                 std::int32_t* list, int* count);

std::int32_t MethodMode(const std::uint8_t* header);
std::int32_t MethodEventOffset(const std::uint8_t* header);

}  // namespace mcr
