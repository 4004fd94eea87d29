// The number-format and hexadecimal words.
#include <windows.h>

#include <algorithm>
#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "numfmt.h"

using namespace mcr;

namespace {

// Exponent digits beyond this count as this (and only up to 3 matter).
constexpr std::int32_t kExponentDigitsCap = 65535;

}  // namespace

MCR_FUNCTION(DblFmtStrProc) {
  Args in(ctx, args);
  double value = in.Number(1).Or(0);
  TextArg valueText = in.Text(2);
  // Omitted digits are refused as out of range, omitted exponent digits as
  // below the minimum.
  std::int32_t digits = in.Number(3).Int(0);
  if (digits < kSignificantMin || digits > kSignificantMax)
    return FailOutOfRange(ctx, 3, kSignificantMin, kSignificantMax);
  std::int32_t exponentDigits = in.Number(4).Int(0);
  if (exponentDigits < 1) return FailBelow(ctx, 4, 1);
  double lower = in.Number(5).Required().get();
  double upper = in.Number(6).Required().get();
  double fixedFrom = in.Number(7).Required().get();
  double fixedBelow = in.Number(8).Required().get();

  if (!valueText.empty()) value = ReadDecimal(valueText.get());
  SignificantFormat format{digits, std::min(exponentDigits, kExponentDigitsCap), lower, upper, fixedFrom,
                           fixedBelow};
  std::string out = FormatSignificant(value, format);
  SetStringResult(ctx, result, out.c_str());
  return 0;
}

MCR_FUNCTION(ScalarToHexProc) {
  NumberArg value = Args(ctx, args).Number(1);
  std::string out = value.given() ? HexOfNumber(value.get()) : std::string();
  SetStringResult(ctx, result, out.c_str());
  return 0;
}

MCR_FUNCTION(HexToScalarProc) {
  const char* text = Args(ctx, args).Text(1);
  SetNumberResult(ctx, result, text ? static_cast<double>(NumberOfHex(text)) : 0.0);
  return 0;
}
