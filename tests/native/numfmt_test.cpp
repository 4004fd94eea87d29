// The report number texts and the hexadecimal conversions. The same table
// runs natively and under Wine: both builds must print the same strings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include "util/numfmt.h"

namespace {

using mcr::SignificantFormat;

constexpr double kInf = std::numeric_limits<double>::infinity(), kMax = std::numeric_limits<double>::max();
constexpr SignificantFormat kHeader = mcr::kHeaderNumberFormat;

// Limits far apart, fixed notation from 0.1 up to 1000 unless said otherwise.
SignificantFormat Wide(int digits, int exponentDigits, double from = 0.1, double below = 1000) {
  return {digits, exponentDigits, -1e300, 1e300, from, below};
}
// A range no test value falls into: always exponent notation.
SignificantFormat Exp(int digits, int exponentDigits) { return Wide(digits, exponentDigits, 1e200, 1e201); }

TEST(FormatSignificant, FixedAndExponentNotation) {
  const struct { double value; SignificantFormat format; const char* text; } cases[] = {
      // Fixed notation is cut after digits + 1 characters, point and sign included.
      {123.456, Wide(3, 2), "123."}, {-1.234, Wide(3, 2, -10, 10), "-1.2"}, {0, Wide(3, 2, 0, 1), "0.00"},
      {123456, Wide(3, 2, 0, 1e9), "1230"}, {123456.78, Wide(6, 2, 0.1, 1e7), "123457."},
      {2.5, Wide(1, 2, 0, 10), "3"}, {-2.5, Wide(1, 2, -10, 10), "-3"}, {-9.9999, Wide(2, 2, -100, 100), "-10"},
      {0.099996, Wide(4, 2, 0.01, 1), "0.100"},
      {1.45, Wide(2, 2, 0, 10), "1.5"},  // 1.45 is below 1.45 in binary: the text decides
      {1.2345649, Wide(6, 2, 0, 10), "1.23457"},  // the 7th digit of "%E" already rounded
      // Exact binary ties print away from zero, whatever the C runtime does.
      {0.25, Wide(2, 2, 0, 1), "0.3"}, {0.125, Wide(3, 2, 0, 1), "0.13"}, {1000004.5, Wide(6, 2, 0, 10), "1.00001E+06"},
      {123.456, Wide(3, 2, 0.1, 100), "1.23E+02"}, {9.96, Exp(2, 2), "1.0E+01"}, {9.5, Exp(1, 2), "1E+01"},
      {0.5, Exp(1, 2), "5E-01"}, {0.96, Exp(1, 2), "1E+00"}, {0.125, Exp(2, 2), "1.3E-01"},
      {1.2349999999, Exp(3, 2), "1.24E+00"}, {-9.9999, Exp(2, 2), "-1.0E+01"}, {0, Exp(3, 2), "0.00E+00"},
      {999.5, Exp(3, 2), "1.00E+03"}, {-4.5678e-200, Exp(2, 2), "-4.6E-200"}, {1e-320, Exp(1, 2), "1E-320"},
      // Exponent digits: 1 and 2 keep at least two, 3 and more give three.
      {1.5e-5, Exp(2, 1), "1.5E-05"}, {1.5e-5, Exp(2, 3), "1.5E-005"}, {1.5e-5, Exp(2, 65535), "1.5E-005"},
      {1.23456e123, Exp(3, 1), "1.23E+123"}, {7, Exp(4, 3), "7.000E+000"},
      // Limits: at or below the lower limit shows it, likewise the upper.
      {0.001, {3, 2, 0.01, 1e30, 0.1, 1000}, "1.00E-02"}, {5e6, {3, 2, -1e30, 1e6, 0.1, 1000}, "1.00E+06"},
      {-5, {2, 2, 0, 100, 0, 10}, "0.0"}, {0.0012345678, {3, 2, 0.001234567, 1e30, 0, 1}, "0.00"},
      {99.96, {3, 2, -1e30, 100, 0, 1000}, "100."},  // rounds up onto the upper limit
      {-kInf, Exp(2, 2), "-1.0E+300"}, {kMax, {6, 2, -1e30, kMax, 0, 1}, "1.79769E+308"},
      // Empty ranges, digits the formatter does not know, and no finite value give "".
      {1, {3, 2, 5, 5, 0, 10}, ""}, {1, {3, 2, -1e30, 1e30, 10, 10}, ""}, {1, Wide(0, 2), ""}, {1, Wide(7, 2), ""},
      {NAN, Wide(3, 2), ""}, {kInf, {3, 2, -kInf, kInf, 0, 10}, ""}, {kMax, {2, 2, -1e30, kMax, 0, 1}, ""},
      // The data table's header numbers: 4 digits, fixed from 1 up to 1000, single-precision limits.
      {12.35, kHeader, "12.35"}, {1, kHeader, "1.000"}, {123.4, kHeader, "123.4"}, {0.99996, kHeader, "1.000"},
      {999.96, kHeader, "1.000E+03"}, {0.5, kHeader, "5.000E-01"}, {12345, kHeader, "1.235E+04"},
      {0, kHeader, "1.175E-38"}, {1e39, kHeader, "3.403E+38"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(mcr::FormatSignificant(c.value, c.format), c.text) << c.value << " digits " << c.format.digits;
}

// Values where a shortcut in the rounding would show: any bit pattern,
// decimals ending in 5 and their neighbours, short binary fractions, runs of
// nines, subnormal and extreme magnitudes.
double Tricky(std::mt19937_64& random) {
  auto pick = [&](std::uint64_t n) { return random() % n; };
  auto bits = [](std::uint64_t b) { double v; std::memcpy(&v, &b, sizeof v); return v; };
  double v = 0, digits = static_cast<double>(pick(8));
  switch (pick(5)) {
    case 0: v = bits(random()); return std::isfinite(v) ? v : 0.0;
    case 1:
      v = (static_cast<double>(pick(static_cast<std::uint64_t>(std::pow(10.0, digits)))) * 10 + 5) *
          std::pow(10.0, static_cast<int>(pick(640)) - 326 - digits);
      for (std::uint64_t steps = pick(3); steps > 0; --steps) v = std::nextafter(v, pick(2) ? kInf : -kInf);
      break;
    case 2: v = std::ldexp(static_cast<double>(pick(1u << 24)), -static_cast<int>(pick(24))); break;
    case 3:
      v = (1.0 - std::pow(10.0, -static_cast<double>(1 + pick(9)))) * std::pow(10.0, static_cast<int>(pick(40)) - 20);
      v = std::nextafter(v, pick(2) ? kInf : -kInf);
      break;
    default: v = bits(pick(2) ? random() % (1ull << 52) : 0x7FE0000000000000ull | random() % (1ull << 52));
  }
  return pick(2) ? -v : v;
}

// The common path prints a few digits past the cut; it must give exactly
// what the full expansion gives. MCR_FORMAT_CHECKS sets how many values (a
// few million by hand; the test command runs a bounded number).
TEST(FormatSignificant, GuardDigitsAgreeWithTheFullExpansion) {
  const char* asked = std::getenv("MCR_FORMAT_CHECKS");
  const unsigned long long count = asked ? std::strtoull(asked, nullptr, 10) : 20000;
  const struct { double from, below; } fixedRanges[] = {{1, 1000}, {0.1, 1e6}, {0, 1}, {-1e9, 1e9}, {1e200, 1e201}};
  std::mt19937_64 random(20240611);
  for (unsigned long long i = 0; i < count; ++i) {
    double v = Tricky(random);
    const auto& fixed = fixedRanges[random() % 5];
    bool near = random() % 4 == 0;  // limits close around the value, so that holding it at one shows
    SignificantFormat f{static_cast<int>(random() % 6) + 1, static_cast<int>(random() % 3) + 1,
                        near ? v - std::fabs(v) / 1e5 : -kMax, near ? v + std::fabs(v) / 1e5 : kMax, fixed.from,
                        fixed.below};
    ASSERT_EQ(mcr::FormatSignificant(v, f), mcr::FormatSignificantExact(v, f))
        << std::hexfloat << v << " digits " << f.digits << " limits " << f.lower << ".." << f.upper;
  }
}

TEST(NumberTexts, DecimalAndHexadecimal) {
  const struct { const char* text; double value; } decimals[] = {
      {"  -3e2x", -300}, {"+.5", 0.5}, {"5.", 5}, {"1e+", 1}, {"2E-3", 0.002}, {"1,5", 1}, {"", 0}, {".", 0},
      {"-", 0}, {"0x10", 0}, {"inf", 0}, {"-1e999", -kInf}, {"1000e306", kInf}, {"100e306", 1e308},
      {"0.001e-321", 0}, {"0.0001e310", 1e306}, {"1e99999999999999", kInf}};
  for (const auto& c : decimals) EXPECT_EQ(mcr::ReadDecimal(c.text), c.value) << '"' << c.text << '"';
  const struct { double value; const char* hex; } toHex[] = {
      {255, "ff"}, {-1, "ffffffff"}, {0.5, "0"}, {-1.9, "ffffffff"}, {15.99, "f"}, {4294967297.9, "1"},
      {1099511630524.0, "abc"}, {-2147483648.0, "80000000"}, {1e19, "0"}, {-1e19, "0"}, {NAN, "0"}};
  for (const auto& c : toHex) EXPECT_EQ(mcr::HexOfNumber(c.value), c.hex) << c.value;
  const struct { const char* text; std::int32_t value; } fromHex[] = {
      {"\n\t FF", 255}, {"0x1A", 26}, {"1g", 1}, {"g", 0}, {"", 0}, {"-1", -1}, {"+7f", 127}, {"0xg", 0},
      {"123456789", 0x23456789}, {"80000000", INT32_MIN}};
  for (const auto& c : fromHex) EXPECT_EQ(mcr::NumberOfHex(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
