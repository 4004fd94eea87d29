// The 512-byte header every data file of a data directory starts with, the
// macro variables it carries, and the element table it points to.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcr {

constexpr std::size_t kDataHeaderSize = 512;
constexpr std::size_t kRunTypeOffset = 248;
constexpr std::size_t kElementCountOffset = 306;
constexpr std::size_t kElementTablePosOffset = 308;
constexpr std::size_t kElementEntrySize = 24;
constexpr int kDataSteps = 6;
// Companions data0N.01 to data0N.99, then data0N.00 as number 100.
constexpr int kCompanionLast = 100;

// The header variables in the order of the variable list resource.
enum class HeaderVar { RunType, Operator, Multiplier, DataName, MiscInfo, Replicate, AlsBottle };
constexpr int kHeaderVarCount = 7;
const char* HeaderVarName(HeaderVar v);
bool IsStringVar(HeaderVar v);

// The names of a variable list resource: zero-terminated names up to the
// end of the data (a last name without terminator still counts).
std::vector<std::string> ParseVarList(const void* data, std::size_t size);
// The header variable that name (any case) selects among the list's first
// seven entries, or nothing.
std::optional<HeaderVar> MatchHeaderVar(const std::vector<std::string>& list, std::string_view name);

// Conversions of macro numbers to the header's types.
std::int16_t SaturateInt16(double v);
float ClampFloat(double v);

// A macro variable's value to store, or its current header value.
struct HeaderValue {
  double number = 0;
  std::string text;
};
void PutHeaderVar(std::uint8_t* header, HeaderVar v, const HeaderValue& value);
HeaderValue GetHeaderVar(const std::uint8_t* header, HeaderVar v);

std::int32_t DataRunType(const std::uint8_t* header);
void PutDataRunType(std::uint8_t* header, double runType);

// The element table: where it starts (negative when the position is 0 or
// less) and how many entries the header claims.
long long ElementTableStart(const std::uint8_t* header);
std::int16_t ElementCount(const std::uint8_t* header);

struct ElementEntry {
  std::int16_t number;
  std::string name;
  std::int16_t detectorMode;
};
// The first entry numbered element among count whole entries, or nothing.
std::optional<ElementEntry> FindElement(const std::uint8_t* entries, std::size_t count,
                                        long long element);

// The step a first-data-file match stands for (data0N.icp gives N), or 0
// when the name does not stand for a step (data00.icp among them).
int StepOfDataFileName(std::string_view name);

// "<dir>\data0N.icp" and the companion "<dir>\data0N.MM" (M = 100 is .00).
std::string StepFilePath(std::string_view dir, int step);
std::string CompanionPath(std::string_view dir, int step, int m);

}  // namespace mcr
