#include "numfmt.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

namespace mcr {

namespace {

// Digits past the asked ones that make any double's expansion exact (a
// double has at most 1074 digits after the point and 309 before it).
constexpr int kExactDigits = 1100;
constexpr std::size_t kTextBuffer = 1500;
// Digits past the asked ones printed on the common path.
constexpr int kGuardDigits = 8;
// The longest text the common path prints: 309 integer digits, sign, point,
// the decimals (at most kFullDecimals) and the guard digits, or a mantissa
// and its exponent.
constexpr std::size_t kGuardedBuffer = 340;
// The full mantissa of the first step: six decimals, as "%E" gives them.
constexpr int kFullDecimals = 6;

// Where the decimal digits come from: the guarded digits of the common
// path, or the full decimal expansion every time (the reference the common
// path is checked against).
enum class Expansion { Guarded, Exact };

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

// The exponent of printed digits, from its text ("e+05", "e-320").
int ExponentValue(std::string_view text) {
  int e = 0;
  std::from_chars(text.data() + 2, text.data() + text.size(), e);
  return text[1] == '-' ? -e : e;
}

// Whether the guard digits after a cut decide its rounding: they do unless
// they read 5 followed by zeros, which the exact value may lie either side of.
bool GuardDecides(std::string_view guard) {
  return guard[0] != '5' || guard.find_first_not_of('0', 1) != std::string_view::npos;
}

// text cut after `cut` characters (the point dropped when nothing follows
// it) and, when up, increased by one in its last digit: the carry runs
// through the digits, and in exponent notation a carry out of the first
// digit moves the point back and raises the exponent.
std::string CutAndCarry(std::string_view text, std::size_t cut, bool up, std::string_view exponent,
                        std::chars_format form) {
  std::string out(text.substr(0, text[cut - 1] == '.' ? cut - 1 : cut));
  if (!up) return out.append(exponent);
  std::size_t first = out[0] == '-' ? 1 : 0;
  std::size_t i = out.size();
  while (i-- > first) {
    if (out[i] == '.') continue;
    if (out[i] != '9') {
      ++out[i];
      return out.append(exponent);
    }
    out[i] = '0';
  }
  out.insert(first, "1");
  if (form != std::chars_format::scientific) return out.append(exponent);
  // 9.99e+05 became 10.00e+05: one digit back behind the point.
  std::size_t dot = out.find('.');
  if (dot != std::string::npos) {
    out.erase(dot, 1);
    out.insert(dot - 1, ".");
  }
  out.pop_back();
  int e = ExponentValue(exponent) + 1;
  std::string digits = std::to_string(e < 0 ? -e : e);
  if (digits.size() < 2) digits.insert(0, "0");
  return out + "e" + (e < 0 ? "-" : "+") + digits;
}

// Splits printed digits into the part up to the exponent and the exponent
// ("e+05"; nothing in fixed notation).
std::pair<std::string_view, std::string_view> SplitExponent(std::string_view text, std::chars_format form) {
  std::size_t e = form == std::chars_format::scientific ? text.find('e') : text.size();
  return {text.substr(0, e), text.substr(e)};
}

// The value printed with `decimals` digits after the point, rounded on its
// exact decimal expansion with halves going away from zero: the way the
// workstation's runtime printed exact ties (2.5 as 3, 0.25 as 0.3), where
// the standard library would round them to even. The common path prints a
// few guard digits more and lets the first of them decide; only when they
// read 5 followed by zeros does it take the full expansion.
std::string Printed(double value, std::chars_format form, int decimals, Expansion expansion) {
  if (!std::isfinite(value)) return value != value ? "nan" : value < 0 ? "-inf" : "inf";
  if (expansion == Expansion::Guarded) {
    char guarded[kGuardedBuffer];
    auto r = std::to_chars(guarded, guarded + sizeof guarded, value, form, decimals + kGuardDigits);
    if (r.ec == std::errc()) {
      auto [digits, exponent] = SplitExponent(std::string_view(guarded, r.ptr - guarded), form);
      std::size_t cut = digits.find('.') + 1 + static_cast<std::size_t>(decimals);
      std::string_view guard = digits.substr(cut);
      if (GuardDecides(guard)) return CutAndCarry(digits, cut, guard[0] >= '5', exponent, form);
    }
  }
  // Enough digits to hold any double's expansion exactly.
  std::string text(kTextBuffer, '\0');
  auto r = std::to_chars(text.data(), text.data() + text.size(), value, form, decimals + kExactDigits);
  auto [digits, exponent] = SplitExponent(std::string_view(text.data(), r.ptr - text.data()), form);
  std::size_t cut = digits.find('.') + 1 + static_cast<std::size_t>(decimals);
  return CutAndCarry(digits, cut, digits[cut] >= '5', exponent, form);
}

Scientific ToScientific(double value, int decimals, Expansion expansion) {
  std::string text = Printed(value, std::chars_format::scientific, decimals, expansion);
  std::size_t e = text.find('e');
  Scientific s;
  s.mantissa = text.substr(0, e);
  s.exponent = ExponentValue(std::string_view(text).substr(e));
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
  // Rounding value once more gives this text again.
  bool settled = false;
};

constexpr std::uint32_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
// Decimal exponents inside which every step's number is a normal double:
// there a double of at most seven digits prints back as those digits.
constexpr int kNormalExponentMin = -300;
constexpr int kNormalExponentMax = 300;

// RoundText's steps on the digits as integers: the seven digits of the
// first step come from the guard-digit print, and the steps after it only
// cut and carry, since their numbers print back as the digits they were
// read from. Nothing when the guard digits cannot decide or the value lies
// outside the normal range; the text steps take those.
std::optional<Rounded> RoundDigits(double value, int digits) {
  char text[kGuardedBuffer];
  auto printed = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific,
                               kFullDecimals + kGuardDigits);
  if (printed.ec != std::errc()) return std::nullopt;
  // "-d.dddddd<guard digits>e+dd"
  std::string_view t(text, static_cast<std::size_t>(printed.ptr - text));
  const bool negative = t[0] == '-';
  const std::size_t first = negative ? 1 : 0, guardAt = first + 2 + kFullDecimals;
  std::uint32_t seven = static_cast<std::uint32_t>(t[first] - '0');
  for (std::size_t i = first + 2; i < guardAt; ++i) seven = seven * 10 + static_cast<std::uint32_t>(t[i] - '0');
  std::string_view guard = t.substr(guardAt, kGuardDigits);
  if (!GuardDecides(guard)) return std::nullopt;
  int exponent = ExponentValue(t.substr(guardAt + kGuardDigits));
  if (guard[0] >= '5' && ++seven == kPowersOfTen[7]) seven = kPowersOfTen[6], ++exponent;
  if (exponent < kNormalExponentMin || exponent > kNormalExponentMax) return std::nullopt;

  // The first digits + 1 digits are kept; the last of them decides.
  std::uint32_t kept = seven / kPowersOfTen[kFullDecimals - digits];
  std::uint32_t rounded = kept / 10 + (kept % 10 >= 5 ? 1 : 0);
  if (rounded == kPowersOfTen[digits]) rounded /= 10, ++exponent;

  Rounded r;
  r.settled = true;
  r.text.exponent = exponent;
  char mantissa[16];
  char* end = mantissa;
  if (negative) *end++ = '-';
  char* number = end;
  for (int i = digits - 1; i >= 0; --i) *end++ = static_cast<char>('0' + rounded / kPowersOfTen[i] % 10);
  // The mantissa's digits read as a whole number, scaled by the exponent.
  char* scaled = end;
  *scaled++ = 'e';
  scaled = std::to_chars(scaled, mantissa + sizeof mantissa, exponent - (digits - 1)).ptr;
  std::from_chars(mantissa, scaled, r.value);
  r.text.mantissa.assign(mantissa, number + 1);
  if (digits > 1) r.text.mantissa.append(".").append(number + 1, end);
  return r;
}

Rounded RoundText(double value, int digits, Expansion expansion) {
  if (expansion == Expansion::Guarded)
    if (std::optional<Rounded> r = RoundDigits(value, digits)) return *r;
  Scientific full = ToScientific(value, kFullDecimals, expansion);
  bool negative = full.mantissa.front() == '-';
  std::size_t keep = static_cast<std::size_t>(digits) + 2 + (negative ? 1 : 0);
  double truncated = FromScientific(full.mantissa.substr(0, keep) + "0", full.exponent);

  Scientific wide = ToScientific(truncated, digits, expansion);
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
  r.text = ToScientific(r.value, digits - 1, expansion);
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
std::string FixedText(double value, int width, int decimals, Expansion expansion) {
  std::string text = Printed(value, std::chars_format::fixed, decimals, expansion);
  if (text.size() < static_cast<std::size_t>(width))
    text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  return text;
}

double Round(double value, int digits, Expansion expansion) {
  if (!std::isfinite(value) || !DigitsInRange(digits)) return value;
  return RoundText(value, digits, expansion).value;
}

std::string Format(double value, const SignificantFormat& f, Expansion expansion) {
  if (!DigitsInRange(f.digits)) return {};
  if (!(f.lower < f.upper) || !(f.fixedFrom < f.fixedBelow)) return {};
  Rounded r = std::isfinite(value) ? RoundText(value, f.digits, expansion) : Rounded{value, {}, false};
  double v = r.value;
  bool held = true;
  if (v <= f.lower)
    v = f.lower;
  else if (v >= f.upper)
    v = f.upper;
  else
    held = false;
  if (!std::isfinite(v)) return {};
  if (f.fixedFrom <= v && v < f.fixedBelow)
    return FixedText(v, f.digits, f.digits - 1, expansion).substr(0, static_cast<std::size_t>(f.digits) + 1);
  // The exponent notation of v, rounded once more.
  if (held || !r.settled) r = RoundText(v, f.digits, expansion);
  if (!std::isfinite(r.value)) return {};
  return r.text.mantissa + "E" + ExponentText(r.text.exponent, f.exponentDigits);
}

}  // namespace

double RoundSignificant(double value, int digits) { return Round(value, digits, Expansion::Guarded); }

std::string FormatSignificant(double value, const SignificantFormat& f) {
  return Format(value, f, Expansion::Guarded);
}

std::string FormatSignificantExact(double value, const SignificantFormat& f) {
  return Format(value, f, Expansion::Exact);
}

std::string FormatFixed(double value, int decimals) {
  // Up to three decimals, value times 10^decimals is worked out in whole
  // numbers from the double's own mantissa and exponent: the rounding then
  // cannot depend on the precision the floating-point unit works at (the
  // x87 unit of the 32-bit library runs at whatever the process has set).
  // The data table prints thousands of values this way.
  static constexpr std::uint64_t kScale[] = {1, 10, 100, 1000};
  constexpr double kWholeBelow = 1e15;  // below 2^50: the mantissa times 1000 stays below 2^63
  const double magnitude = std::fabs(value);
  if (decimals < 0 || decimals > 3 || !(magnitude < kWholeBelow))
    return Printed(value, std::chars_format::fixed, decimals, Expansion::Guarded);
  std::uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const int biased = static_cast<int>(bits >> 52);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased) mantissa |= std::uint64_t{1} << 52;
  // magnitude = mantissa / 2^shift, and shift is at least 3 below 2^50.
  const int shift = biased ? 1075 - biased : 1074;
  const std::uint64_t scaled = mantissa * kScale[decimals];
  std::uint64_t n = 0;
  if (shift < 64) {
    n = scaled >> shift;
    if (((scaled >> (shift - 1)) & 1) != 0) ++n;  // the first bit cut off is one half: ties away from zero
  }
  char text[32];
  char* p = text + sizeof text;
  for (int i = 0; i < decimals; ++i, n /= 10) *--p = static_cast<char>('0' + n % 10);
  if (decimals > 0) *--p = '.';
  do *--p = static_cast<char>('0' + n % 10); while (n /= 10);
  if (std::signbit(value)) *--p = '-';
  return std::string(p, text + sizeof text);
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
