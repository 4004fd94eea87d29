// What the mass-list words hand to the macros: a list of masses or of element
// names taken from one step's calibration, QC database or tune-criteria
// file, chosen by a selector word.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcr {

constexpr std::int32_t kMassMin = 1;
constexpr std::int32_t kMassMax = 260;
constexpr std::int32_t kTuneStepMin = 1;
constexpr std::int32_t kTuneStepMax = 6;
// A list never holds more items than there are masses; what a file lists
// beyond that is not read.
constexpr std::size_t kListMax = 260;
// Names are handed over joined with "," in variables of this many names.
constexpr std::size_t kNamesPerGroup = 10;

// The tune step a macro number names: a value outside the signed 32-bit
// range, or one that does not round to 1 to 6, names none.
std::optional<std::int32_t> TuneStepOf(double value);

enum class MassFile { Calibration, QcDatabase, TuneCriteria };

enum class Selector { Mass, Name, Istd, Ana, On, Off, RptOn, RptOff, Unknown };

// The selector an upper-case word names for this kind of file; Unknown when
// the file does not offer it.
Selector ParseSelector(MassFile file, std::string_view upper);

// The QC database selectors that work on one QC group's check entries.
inline bool IsGroupSelector(Selector s) {
  return s == Selector::On || s == Selector::Off || s == Selector::RptOn || s == Selector::RptOff;
}

enum class ListStatus {
  Ok,            // the list is complete as far as the file could be read
  Unreadable,    // header, information block or element count missing: -1, no message
  GroupMissing,  // a group selector without its group number
  NoGroup,       // no QC group carries the number: -1
};

struct MassList {
  ListStatus status = ListStatus::Unreadable;
  std::vector<std::int32_t> masses;
  std::vector<std::string> names;
  bool namesWanted = false;  // the selector asks for names rather than masses
  std::size_t count() const { return namesWanted ? names.size() : masses.size(); }
};

// The names joined with "," in groups of ten; group g (from 0) goes to the
// variable named after the macro's variable and g + 1.
std::vector<std::string> NameGroups(const std::vector<std::string>& names);

}  // namespace mcr
