#include "args.h"

#include <cstdarg>
#include <cstring>

#include "hostops.h"
#include "rounding.h"
#include "sjistext.h"

namespace mcr {

void Abort(HostContext ctx, int id, ...) {
  va_list list;
  va_start(list, id);
  RaiseMessageV(ctx, id, list);
  va_end(list);
  throw WordFailed{1};
}

void AbortWith(std::uint16_t status) { throw WordFailed{status}; }

TextArg& TextArg::Required(int id) {
  if (!value_) Abort(ctx_, id);
  return *this;
}

TextArg& TextArg::NonEmpty(int id) {
  if (empty()) Abort(ctx_, id);
  return *this;
}

TextArg& TextArg::MaxLength(std::size_t max, int id) {
  if (value_ && std::strlen(value_) > max) Abort(ctx_, id, static_cast<int>(max));
  return *this;
}

bool TextArg::Is(const char* word) const { return value_ && EqualNoCase(value_, word); }

NumberArg& NumberArg::Required(int id) {
  if (!value_) Abort(ctx_, id);
  return *this;
}

std::int32_t NumberArg::Int(std::int32_t fallback) const {
  return value_ ? RoundToInt(*value_) : fallback;
}

std::int32_t NumberArg::InRange(std::int32_t lo, std::int32_t hi) const {
  std::int32_t v = Int(lo);
  if (v < lo || v > hi) {
    FailOutOfRange(ctx_, position_, lo, hi);
    throw WordFailed{1};
  }
  return v;
}

std::int32_t NumberArg::AtLeast(std::int32_t min) const {
  std::int32_t v = Int(min);
  if (v < min) {
    FailBelow(ctx_, position_, min);
    throw WordFailed{1};
  }
  return v;
}

TextArg Args::Text(int position) const {
  return TextArg(ctx_, GetStringArg(ctx_, list_, static_cast<std::int16_t>(position)), position);
}

NumberArg Args::Number(int position) const {
  return NumberArg(ctx_, GetNumberArg(ctx_, list_, static_cast<std::int16_t>(position)), position);
}

}  // namespace mcr
