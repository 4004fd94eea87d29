// What the offline configuration dialog reads and stores, without the
// dialog: its choice lists, the standard application table, the
// application files, and the inhibited masses in their three forms (the
// host's table, the settings key, the ten fields).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../instfiles/bytesource.h"

namespace mcr {

// One entry of a choice list: the name the combo box shows and the value
// stored (-1 for none).
struct Choice {
  std::string name;
  std::int32_t value = 0;
};

constexpr std::size_t kMaxChoices = 10;

// A choice-list resource: zero-terminated "name:value" entries ended by an
// empty entry (or the end of the data), at most kMaxChoices of them. The
// name is the text before the first ":", the value the decimal number after
// it (0 when there is none).
std::vector<Choice> ParseChoiceList(const void* data, std::size_t size);

// The number a settings value begins with (an optional "-" and digits,
// saturated at the 32-bit limits); null when it begins with none ("",
// "NO_PARAM").
std::optional<std::int32_t> SettingNumber(std::string_view text);

// Lines of the workstation's text tables are read up to this many bytes; the
// rest of a longer line is dropped.
constexpr std::size_t kTableLineMax = 127;

// A line of the standard application table: the name shown, the
// application file used with an autosampler and the one used without.
struct StandardApplication {
  std::string name;
  std::string fileWithSampler;
  std::string fileWithout;
};

// The application lines between "#STD_BEG" and "#STD_END" (letter case
// ignored), each "name TAB file TAB file"; empty lines are skipped.
std::vector<StandardApplication> ReadStandardApplications(ByteSource& table);

// The value of the "AppName" line between "#APP_BEG" and "#APP_END" of an
// application file; "" when it has none.
std::string ReadApplicationName(ByteSource& file);

// The masses of the settings key "_INHIBIT": each run of digits is one mass
// (at most 2147483647), at most kMassFields of them.
constexpr std::size_t kMassFields = 10;
std::vector<std::int32_t> MassesFromKey(std::string_view key);

// The ten mass fields as OK leaves them, and the masses they keep in
// ascending order. A field is kept when its text is digits whose value
// (leading zeros ignored) lies in kMassMin..kMassMax and no earlier field
// holds it; it then shows its value as "%d". Any other field is cleared.
constexpr std::int32_t kMassMin = 2;
constexpr std::int32_t kMassMax = 260;
struct InhibitedMasses {
  std::array<std::string, kMassFields> fields;
  std::vector<std::int32_t> masses;
};
InhibitedMasses CheckMassFields(const std::array<std::string, kMassFields>& fields);

// The settings key's text: each mass followed by one space.
std::string InhibitKeyText(const std::vector<std::int32_t>& masses);

}  // namespace mcr
