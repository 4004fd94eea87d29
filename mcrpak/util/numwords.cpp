// The number-format and hexadecimal words.
#include <windows.h>

#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/rounding.h"
#include "numfmt.h"

using namespace mcr;

namespace {

// Exponent digits beyond this count as this (and only up to 3 matter).
constexpr std::int32_t kExponentDigitsCap = 65535;

}  // namespace

MCR_FUNCTION(DblFmtStrProc) {
  const double* value = GetNumberArg(ctx, args, 1);
  const char* text = GetStringArg(ctx, args, 2);
  const double* digits = GetNumberArg(ctx, args, 3);
  const double* exponentDigits = GetNumberArg(ctx, args, 4);
  const double* bounds[4];
  for (int i = 0; i < 4; ++i) bounds[i] = GetNumberArg(ctx, args, static_cast<std::int16_t>(i + 5));

  if (!digits) return FailOutOfRange(ctx, 3, kSignificantMin, kSignificantMax);
  std::int32_t m = RoundToInt(*digits);
  if (m < kSignificantMin || m > kSignificantMax)
    return FailOutOfRange(ctx, 3, kSignificantMin, kSignificantMax);
  if (!exponentDigits) return FailBelow(ctx, 4, 1);
  std::int32_t e = RoundToInt(*exponentDigits);
  if (e > kExponentDigitsCap) e = kExponentDigitsCap;
  if (e < 1) return FailBelow(ctx, 4, 1);
  for (const double* b : bounds)
    if (!b) return Fail(ctx, kMsgOmitted);

  double v = value ? *value : 0.0;
  if (text && *text) v = ReadDecimal(text);
  SignificantFormat format{m, e, *bounds[0], *bounds[1], *bounds[2], *bounds[3]};
  std::string out = FormatSignificant(v, format);
  SetStringResult(ctx, result, out.c_str());
  return 0;
}

MCR_FUNCTION(ScalarToHexProc) {
  const double* value = GetNumberArg(ctx, args, 1);
  std::string out = value ? HexOfNumber(*value) : std::string();
  SetStringResult(ctx, result, out.c_str());
  return 0;
}

MCR_FUNCTION(HexToScalarProc) {
  const char* text = GetStringArg(ctx, args, 1);
  SetNumberResult(ctx, result, text ? static_cast<double>(NumberOfHex(text)) : 0.0);
  return 0;
}
