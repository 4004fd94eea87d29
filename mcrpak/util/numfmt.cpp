#include "numfmt.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace mcr {

namespace {

// Digits past the asked ones that make any double's expansion exact (a
// double has at most 1074 digits after the point and 309 before it).
constexpr int kExactDigits = 1100;
constexpr std::size_t kTextBuffer = 1500;
// The full mantissa of the first step: six decimals, as "%E" gives them.
constexpr int kFullDecimals = 6;

// A number in exponent notation: the mantissa as printed ("-1.23") and the
// exponent as a number, so that no runtime's exponent width matters.
struct Scientific {
  std::string mantissa;
  int exponent = 0;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value printed with `decimals` digits after the point, rounded on its
// exact decimal expansion with halves going away from zero: the way the
// workstation's runtime printed exact ties (2.5 as 3, 0.25 as 0.3), where
// the standard library would round them to even.
std::string Printed(double value, std::chars_format form, int decimals) {
  if (!std::isfinite(value)) return value != value ? "nan" : value < 0 ? "-inf" : "inf";
  // Enough digits to hold any double's expansion exactly.
  std::string text(kTextBuffer, '\0');
  auto r = std::to_chars(text.data(), text.data() + text.size(), value, form, decimals + kExactDigits);
  text.resize(static_cast<std::size_t>(r.ptr - text.data()));
  std::string exponent;
  if (form == std::chars_format::scientific) {
    std::size_t e = text.find('e');
    exponent = text.substr(e);
    text.resize(e);
  }
  std::size_t point = text.find('.');
  std::size_t cut = point + 1 + static_cast<std::size_t>(decimals);
  bool up = text[cut] >= '5';
  text.resize(decimals > 0 ? cut : point);
  if (!up) return text + exponent;
  std::size_t first = text[0] == '-' ? 1 : 0;
  std::size_t i = text.size();
  while (i-- > first) {
    if (text[i] == '.') continue;
    if (text[i] != '9') {
      ++text[i];
      return text + exponent;
    }
    text[i] = '0';
  }
  text.insert(first, "1");
  if (form != std::chars_format::scientific) return text + exponent;
  // 9.99e+05 became 10.00e+05: one digit back behind the point.
  std::size_t dot = text.find('.');
  if (dot != std::string::npos) {
    text.erase(dot, 1);
    text.insert(dot - 1, ".");
  }
  text.pop_back();
  int e = std::stoi(exponent.substr(1)) + 1;
  std::string digits = std::to_string(e < 0 ? -e : e);
  if (digits.size() < 2) digits.insert(0, "0");
  return text + "e" + (e < 0 ? "-" : "+") + digits;
}

Scientific ToScientific(double value, int decimals) {
  std::string text = Printed(value, std::chars_format::scientific, decimals);
  std::size_t e = text.find('e');
  Scientific s;
  s.mantissa = text.substr(0, e);
  s.exponent = std::stoi(text.substr(e + 1));
  return s;
}

double FromScientific(const std::string& mantissa, int exponent) {
  return ReadDecimal(mantissa + "E" + std::to_string(exponent));
}

// The value rounded to `digits` significant digits, as a number and in the
// notation of a "%.<digits-1>E" conversion. The cut-and-carry on the text
// (rather than a rounding of the binary value) is what makes 0.125 round to
// 0.13. A carry past the largest double gives an infinite value and no text.
struct Rounded {
  double value = 0;
  Scientific text;
};

Rounded RoundText(double value, int digits) {
  Scientific full = ToScientific(value, kFullDecimals);
  bool negative = full.mantissa.front() == '-';
  std::size_t keep = static_cast<std::size_t>(digits) + 2 + (negative ? 1 : 0);
  double truncated = FromScientific(full.mantissa.substr(0, keep) + "0", full.exponent);

  Scientific wide = ToScientific(truncated, digits);
  std::string& m = wide.mantissa;
  char deciding = m.back();
  m.back() = '0';
  if (deciding >= '5') {
    std::size_t first = negative ? 1 : 0;
    bool carry = true;
    for (std::size_t i = m.size() - 1; carry && i > first;) {
      char& c = m[--i];
      if (c == '.' || c == ',') continue;
      if (c == '9') {
        c = '0';
      } else {
        ++c;
        carry = false;
      }
    }
    if (carry) m.insert(first, "1");
  }
  Rounded r;
  r.value = FromScientific(m, wide.exponent);
  if (!std::isfinite(r.value)) return r;
  r.text = ToScientific(r.value, digits - 1);
  r.value = FromScientific(r.text.mantissa, r.text.exponent);
  return r;
}

bool DigitsInRange(int digits) { return digits >= kSignificantMin && digits <= kSignificantMax; }

std::string ExponentText(int exponent, int exponentDigits) {
  std::size_t width = exponentDigits >= 3 ? 3 : 2;
  std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return (exponent < 0 ? "-" : "+") + digits;
}

// "%<width>.<decimals>f": the value with the given decimals, right-aligned.
std::string FixedText(double value, int width, int decimals) {
  std::string text = FormatFixed(value, decimals);
  if (text.size() < static_cast<std::size_t>(width))
    text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  return text;
}

}  // namespace

double RoundSignificant(double value, int digits) {
  if (!std::isfinite(value) || !DigitsInRange(digits)) return value;
  return RoundText(value, digits).value;
}

std::string FormatSignificant(double value, const SignificantFormat& f) {
  if (!DigitsInRange(f.digits)) return {};
  if (!(f.lower < f.upper) || !(f.fixedFrom < f.fixedBelow)) return {};
  double v = RoundSignificant(value, f.digits);
  if (v <= f.lower)
    v = f.lower;
  else if (v >= f.upper)
    v = f.upper;
  if (!std::isfinite(v)) return {};
  if (f.fixedFrom <= v && v < f.fixedBelow)
    return FixedText(v, f.digits, f.digits - 1).substr(0, static_cast<std::size_t>(f.digits) + 1);
  Rounded r = RoundText(v, f.digits);
  if (!std::isfinite(r.value)) return {};
  return r.text.mantissa + "E" + ExponentText(r.text.exponent, f.exponentDigits);
}

std::string FormatFixed(double value, int decimals) {
  // Up to three decimals, a double times 10^decimals fits the 64-bit
  // mantissa of long double exactly, so whole-number arithmetic decides the
  // rounding (the data table prints thousands of values this way).
  static constexpr std::uint64_t kScale[] = {1, 10, 100, 1000};
  constexpr double kFastBelow = 1e15;  // the scaled value stays below 2^63
  const double magnitude = std::fabs(value);
  if (std::numeric_limits<long double>::digits >= 64 && decimals >= 0 && decimals <= 3 && magnitude < kFastBelow) {
    const long double scaled = static_cast<long double>(magnitude) * kScale[decimals];
    const long double whole = std::floor(scaled);
    auto n = static_cast<std::uint64_t>(whole) + (scaled - whole >= 0.5L ? 1 : 0);  // ties away from zero
    char text[32];
    char* p = text + sizeof text;
    for (int i = 0; i < decimals; ++i, n /= 10) *--p = static_cast<char>('0' + n % 10);
    if (decimals > 0) *--p = '.';
    do *--p = static_cast<char>('0' + n % 10); while (n /= 10);
    if (std::signbit(value)) *--p = '-';
    return std::string(p, text + sizeof text);
  }
  // Only a multiple of 2^-(decimals + 1) whose multiple is odd lies exactly
  // halfway; every other value the standard conversion rounds as wanted.
  double scaled = decimals >= 0 && decimals < 62 ? value * static_cast<double>(1ULL << (decimals + 1)) : 0;
  bool tie = std::fabs(scaled) < 0x1p53 && scaled == std::trunc(scaled) && (static_cast<std::int64_t>(scaled) & 1);
  if (tie || !std::isfinite(value)) return Printed(value, std::chars_format::fixed, decimals);
  char text[400];
  auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return Printed(value, std::chars_format::fixed, decimals);
  return std::string(text, r.ptr);
}

double ReadDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t start = i;

  // The decimal order of magnitude of the first significant digit, kept in
  // case the number does not fit a double.
  long magnitude = 0;
  bool significant = false;
  std::size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
    if (significant) ++magnitude;
    else if (text[i] != '0') significant = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
      if (significant) continue;
      --magnitude;
      if (text[i] != '0') significant = true;
    }
  }
  if (digits == 0) return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) expNegative = text[j++] == '-';
    if (j < text.size() && IsDigit(text[j])) {
      long exponent = 0;
      for (; j < text.size() && IsDigit(text[j]); ++j)
        if (exponent < 100000) exponent = exponent * 10 + (text[j] - '0');
      magnitude += expNegative ? -exponent : exponent;
      i = j;
    }
  }

  double value = 0.0;
  auto r = std::from_chars(text.data() + start, text.data() + i, value);
  if (r.ec == std::errc::result_out_of_range)
    value = magnitude >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
  else if (r.ec != std::errc())
    value = 0.0;
  return negative ? -value : value;
}

std::int64_t TruncateToInt64(double value) {
  constexpr double kTwo63 = 9223372036854775808.0;
  if (std::isnan(value) || value >= kTwo63 || value < -kTwo63)
    return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

std::string HexOfNumber(double value) {
  auto low = static_cast<std::uint32_t>(static_cast<std::uint64_t>(TruncateToInt64(value)));
  char buffer[16];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, low, 16);
  return std::string(buffer, r.ptr);
}

std::int32_t NumberOfHex(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      HexDigit(text[i + 2]) >= 0)
    i += 2;
  std::uint32_t value = 0;
  for (; i < text.size() && HexDigit(text[i]) >= 0; ++i)
    value = value * 16u + static_cast<std::uint32_t>(HexDigit(text[i]));
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

}  // namespace mcr
