// Number texts of the instrument reports: values rounded to significant
// digits and shown in fixed or exponent notation, and the hexadecimal
// conversions. Everything here works from numbers, never from what a C
// runtime happens to print, so every build gives the same text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace mcr {

constexpr int kSignificantMin = 1;
constexpr int kSignificantMax = 6;

// How a value is shown: rounded to digits significant digits, held between
// the limits, fixed notation inside [fixedFrom, fixedBelow), exponent
// notation elsewhere with at least two (exponentDigits 1 or 2) or exactly
// three (3 and more) exponent digits.
struct SignificantFormat {
  int digits;
  int exponentDigits;
  double lower;
  double upper;
  double fixedFrom;
  double fixedBelow;
};

// The data table's header numbers: 4 digits, the single-precision range,
// fixed notation from 1 up to 1000.
constexpr SignificantFormat kHeaderNumberFormat = {
    4, 2, 1.1754943508222875e-38, 3.4028234663852886e38, 1.0, 1000.0};

// The value rounded to digits significant digits: the text is cut after
// the (digits + 1)-th digit and that digit decides, halves away from zero.
// Values that are not finite, and digits outside 1 to 6, come back as they
// are.
double RoundSignificant(double value, int digits);

// The text of value in the given format; "" when the limits or the fixed
// range are empty (lower not below upper, fixedFrom not below fixedBelow),
// when digits is outside 1 to 6, or when the held value is not finite.
std::string FormatSignificant(double value, const SignificantFormat& format);
// The same text worked out from the full decimal expansion of every
// intermediate value: slow, and the reference FormatSignificant is checked
// against (it prints a few digits past the cut and takes the full expansion
// only when those cannot decide the rounding).
std::string FormatSignificantExact(double value, const SignificantFormat& format);

// value with decimals digits after the point, as "%.<decimals>f" prints it
// with exact ties going away from zero (0.125 with 2 decimals is 0.13);
// "nan", "inf" or "-inf" for values that are not finite.
std::string FormatFixed(double value, int decimals);

// The decimal number at the start of text (blanks skipped, an optional sign,
// digits with an optional point and exponent); 0 when there is none. Values
// too large for a double read as infinite, too small as zero.
double ReadDecimal(std::string_view text);

// Lower-case hexadecimal digits of the low 32 bits of value truncated toward
// zero to a 64-bit integer (two's complement for negative values). Values
// outside the 64-bit range and NaN convert as the x86 FPU does, to
// 0x8000000000000000, whose low 32 bits are 0.
std::string HexOfNumber(double value);

// A hexadecimal number read the way scanf's "%x" reads one: blanks skipped,
// an optional sign and "0x", digits of either case up to the first other
// character, kept modulo 2^32 and taken as signed. 0 when no digit comes.
std::int32_t NumberOfHex(std::string_view text);

// value truncated toward zero to 64 bits, with the x86 conversion's answer
// (INT64_MIN) for NaN and values outside the range.
std::int64_t TruncateToInt64(double value);

}  // namespace mcr
