// The report number texts and the hexadecimal conversions. The same table
// runs natively and under Wine: both builds must print the same strings.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "util/numfmt.h"

namespace {

using mcr::SignificantFormat;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct FormatCase {
  double value;
  SignificantFormat format;
  const char* text;
};

// Limits far apart, fixed notation from 0.1 up to 1000 unless said otherwise.
SignificantFormat Wide(int digits, int exponentDigits, double from = 0.1, double below = 1000) {
  return {digits, exponentDigits, -1e300, 1e300, from, below};
}
// A range no test value falls into: always exponent notation.
SignificantFormat Exp(int digits, int exponentDigits) { return Wide(digits, exponentDigits, 1e200, 1e201); }

TEST(FormatSignificant, FixedAndExponentNotation) {
  const FormatCase cases[] = {
      // Fixed notation is cut after digits + 1 characters, point and sign included.
      {123.456, Wide(3, 2), "123."},
      {-1.234, Wide(3, 2, -10, 10), "-1.2"},
      {123456, Wide(3, 2, 0, 1e9), "1230"},
      {0, Wide(3, 2, 0, 1), "0.00"},
      {2.5, Wide(1, 2, 0, 10), "3"},
      {-2.5, Wide(1, 2, -10, 10), "-3"},
      {1.45, Wide(2, 2, 0, 10), "1.5"},       // 1.45 is below 1.45 in binary: the text decides
      {1.44999, Wide(2, 2, 0, 10), "1.4"},
      {0.099996, Wide(4, 2, 0.01, 1), "0.100"},
      {-9.9999, Wide(2, 2, -100, 100), "-10"},
      {1.2345649, Wide(5, 2, 0, 10), "1.2346"},
      {1.2345649, Wide(6, 2, 0, 10), "1.23457"},  // the 7th digit of "%E" already rounded
      {123456.78, Wide(6, 2, 0.1, 1e7), "123457."},
      // Exponent notation, every digit count.
      {123.456, Wide(3, 2, 0.1, 100), "1.23E+02"},
      {123.456, Wide(3, 3, 0.1, 100), "1.23E+002"},
      {9.96, Exp(2, 2), "1.0E+01"},
      {0.5, Exp(1, 2), "5E-01"},
      {0.96, Exp(1, 2), "1E+00"},
      {9.5, Exp(1, 2), "1E+01"},
      {0.125, Exp(2, 2), "1.3E-01"},
      {1.2349999999, Exp(3, 2), "1.24E+00"},
      {0.099996, Exp(4, 2), "1.000E-01"},
      {-9.9999, Exp(2, 2), "-1.0E+01"},
      {-4.5678e-200, Exp(2, 2), "-4.6E-200"},
      {123456.78, Exp(6, 2), "1.23457E+05"},
      {0.0012345, Exp(5, 2), "1.2345E-03"},
      {0, Exp(3, 2), "0.00E+00"},
      // Exponent digits: 1 and 2 keep at least two, 3 and more give three.
      {1.5e-5, Exp(2, 1), "1.5E-05"},
      {1.5e-5, Exp(2, 3), "1.5E-005"},
      {1.5e-5, Exp(2, 65535), "1.5E-005"},
      {5e-7, Exp(1, 3), "5E-007"},
      {1.23456e123, Exp(3, 1), "1.23E+123"},
      {1.23456e123, Exp(3, 2), "1.23E+123"},
      {1e-300, Exp(1, 2), "1E-300"},
      {1e100, Exp(1, 3), "1E+100"},
      {7, Exp(4, 3), "7.000E+000"},
      // Limits: at or below the lower limit shows it, likewise the upper.
      {0.001, {3, 2, 0.01, 1e30, 0.1, 1000}, "1.00E-02"},
      {0.01, {3, 2, 0.01, 1e30, 0.001, 1000}, "0.01"},
      {5e6, {3, 2, -1e30, 1e6, 0.1, 1000}, "1.00E+06"},
      {-5, {2, 2, 0, 100, 0, 10}, "0.0"},
      {99.96, {3, 2, -1e30, 100, 0, 1000}, "100."},  // rounds up onto the upper limit
      {0.0012345678, {3, 2, 0.001234567, 1e30, 0, 1}, "0.00"},
      {kInf, Exp(2, 2), "1.0E+300"},
      {-kInf, Exp(2, 2), "-1.0E+300"},
      {1.7976931348623157e308, {6, 2, -1e30, 1.7976931348623157e308, 0, 1}, "1.79769E+308"},
      // Empty ranges, digits the formatter does not know, and NaN give "".
      {1, {3, 2, 5, 5, 0, 10}, ""},
      {1, {3, 2, 6, 5, 0, 10}, ""},
      {1, {3, 2, -1e30, 1e30, 10, 10}, ""},
      {1, {3, 2, -1e30, 1e30, 10, 0}, ""},
      {1, Wide(0, 2), ""},
      {1, Wide(7, 2), ""},
      {kNaN, Wide(3, 2), ""},
      {1, {3, 2, kNaN, 1e30, 0, 10}, ""},
      {kInf, {3, 2, -kInf, kInf, 0, 10}, ""},
      {1.7976931348623157e308, {2, 2, -1e30, 1.7976931348623157e308, 0, 1}, ""},  // carry overflows
  };
  for (const FormatCase& c : cases) {
    const SignificantFormat& f = c.format;
    EXPECT_EQ(mcr::FormatSignificant(c.value, f), c.text)
        << c.value << " digits " << f.digits << " exp " << f.exponentDigits << " limits "
        << f.lower << ".." << f.upper << " fixed " << f.fixedFrom << ".." << f.fixedBelow;
  }
}

TEST(FormatSignificant, DataTableHeaderNumbers) {
  const struct { double value; const char* text; } cases[] = {
      {12.35, "12.35"}, {1.5, "1.500"}, {123.4, "123.4"}, {2.5, "2.500"},
      {12345, "1.235E+04"}, {0, "1.175E-38"}, {-3, "1.175E-38"}, {1e39, "3.403E+38"},
      {999.96, "1.000E+03"}, {0.99996, "1.000"}, {0.5, "5.000E-01"}, {1, "1.000"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(mcr::FormatSignificant(c.value, mcr::kHeaderNumberFormat), c.text) << c.value;
}

TEST(RoundSignificant, CarriesAndHalves) {
  const struct { double value; int digits; double rounded; } cases[] = {
      {9.96, 2, 10}, {-9.96, 2, -10}, {999.5, 3, 1000}, {0.5, 1, 0.5}, {0.96, 1, 1},
      {2.5, 1, 3}, {-2.5, 1, -3}, {0.125, 2, 0.13}, {1.25, 2, 1.3}, {123.456, 6, 123.456},
      {123.456, 4, 123.5}, {-0.0996, 2, -0.1}, {1e-320, 1, 1e-320}, {1.7976931348623157e308, 2, kInf},
  };
  for (const auto& c : cases)
    EXPECT_EQ(mcr::RoundSignificant(c.value, c.digits), c.rounded) << c.value << " / " << c.digits;
  EXPECT_TRUE(std::isnan(mcr::RoundSignificant(kNaN, 3)));
  EXPECT_EQ(mcr::RoundSignificant(1.234, 0), 1.234);
}

TEST(ReadDecimal, LeadingNumberOnly) {
  const struct { const char* text; double value; } cases[] = {
      {"12.5", 12.5}, {"  -3e2x", -300}, {"+.5", 0.5}, {"\t7", 7}, {"5.", 5}, {"1e", 1},
      {"1e+", 1}, {"2E-3", 0.002}, {"1,5", 1}, {"", 0}, {".", 0}, {"-", 0}, {"abc", 0},
      {"0x10", 0}, {"inf", 0}, {"nan", 0}, {"1e999", kInf}, {"-1e999", -kInf},
      {"1000e306", kInf}, {"100e306", 1e308}, {"1e-999", 0}, {"0.001e-321", 0},
      {"0.0001e310", 1e306}, {"1e99999999999999", kInf},
  };
  for (const auto& c : cases) EXPECT_EQ(mcr::ReadDecimal(c.text), c.value) << '"' << c.text << '"';
}

TEST(HexConversions, BothDirections) {
  const struct { double value; const char* hex; } toHex[] = {
      {255, "ff"}, {-1, "ffffffff"}, {0, "0"}, {0.5, "0"}, {-1.9, "ffffffff"}, {15.99, "f"},
      {4294967296.0, "0"}, {4294967297.9, "1"}, {1099511630524.0, "abc"},
      {-2147483648.0, "80000000"}, {1e19, "0"}, {-1e19, "0"}, {kNaN, "0"}, {kInf, "0"},
  };
  for (const auto& c : toHex) EXPECT_EQ(mcr::HexOfNumber(c.value), c.hex) << c.value;

  const struct { const char* text; std::int32_t value; } fromHex[] = {
      {"ff", 255}, {"ffffffff", -1}, {"  FF", 255}, {"0x1A", 26}, {"1g", 1}, {"g", 0},
      {"", 0}, {"-1", -1}, {"+7f", 127}, {"0xg", 0}, {"123456789", 0x23456789},
      {"7fffffff", 2147483647}, {"80000000", INT32_MIN}, {"\n\t c0de", 0xc0de},
  };
  for (const auto& c : fromHex) EXPECT_EQ(mcr::NumberOfHex(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
