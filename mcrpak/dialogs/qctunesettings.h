// The QC tune-criteria settings file (qctune.ini): how its values read back
// into the dialog's fields and how the fields are written out, the method
// path split into the file's two keys, and which help viewer a help file
// needs.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mcr {

// The fields of a "TNITEMk" value, cut at commas: a run of commas counts as
// one separator and empty fields are skipped.
std::vector<std::string> SplitTuneItem(std::string_view value);

// The whole number a text starts with, read as the C library reads one
// (leading blanks, a sign, decimal digits, whatever follows ignored); 0 when
// it starts with no number, the nearest limit when the number overflows.
std::int32_t LeadingNumber(std::string_view text);

// The peak-height percentage as the box shows it once edited: its number in
// decimal, negative numbers and text that is no number becoming "0".
std::string PercentText(std::string_view text);

// A criterion's value: the box (1 or 0), the flag text and the third field.
std::string TuneItemValue(bool on, std::string_view flag, std::string_view third);

// A method path cut after its last directory separator: drive and directory
// (ending with the separator, or just "X:" when there is none) and the name
// with its extension. A double-byte character whose second byte is '\' is
// not a separator.
struct MethodPathParts {
  std::string dir;
  std::string file;
};
MethodPathParts SplitMethodPath(std::string_view path);

// Whether the help file's extension is exactly ".chm" (letter case counts);
// other help files go to the older help viewer.
bool IsHtmlHelpFile(std::string_view path);

}  // namespace mcr
