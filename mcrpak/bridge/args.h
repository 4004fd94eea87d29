// Reading a handler's arguments in the order its checks are made: each
// parameter is one line that fetches it and applies its checks (omitted,
// empty, length, range) in the order written. A failed check raises its
// catalogue message and ends the handler through WordFailed, which the
// handler frame turns into the status; nothing after the failed check runs.
//
//   Args in(ctx, args);
//   const char* path = in.Text(1).Required().MaxLength(255);
//   std::int32_t step = in.Number(2).Required().InRange(1, 6);
//   const char* var = in.Text(3).NonEmpty();
#pragma once
#include <cstddef>
#include <cstdint>

#include "boundary.h"
#include "catalogue.h"

namespace mcr {

// Ends a handler after its message has been raised; the frame of
// MCR_FUNCTION / MCR_COMMAND returns status.
struct WordFailed {
  std::uint16_t status;
};

// Raises catalogue message id (formatted with the arguments) as the macro
// error and ends the handler with status 1.
[[noreturn]] void Abort(HostContext ctx, int id, ...);
// Ends the handler with status, raising nothing (the bare results some
// words return, or a failure already reported).
[[noreturn]] void AbortWith(std::uint16_t status);

class TextArg {
 public:
  TextArg(HostContext ctx, const char* value, int position)
      : ctx_(ctx), value_(value), position_(position) {}

  // Omitted: message id.
  TextArg& Required(int id = kMsgOmitted);
  // Omitted or empty: message id.
  TextArg& NonEmpty(int id = kMsgOmitted);
  // Longer than max bytes: message id, formatted with max (1007 reads
  // "... %d ...").
  TextArg& MaxLength(std::size_t max, int id = kMsgTooLong);

  bool given() const { return value_ != nullptr; }
  bool empty() const { return !value_ || !*value_; }
  // Null when omitted.
  const char* get() const { return value_; }
  operator const char*() const { return value_; }
  const char* Or(const char* fallback) const { return value_ ? value_ : fallback; }
  // Equal to word without regard to the case of single-byte letters (an
  // omitted argument equals nothing).
  bool Is(const char* word) const;
  int position() const { return position_; }

 private:
  HostContext ctx_;
  const char* value_;
  int position_;
};

class NumberArg {
 public:
  NumberArg(HostContext ctx, const double* value, int position)
      : ctx_(ctx), value_(value), position_(position) {}

  // Omitted: message id.
  NumberArg& Required(int id = kMsgOmitted);

  bool given() const { return value_ != nullptr; }
  // The number as given; 0 when omitted (read it after Required).
  double get() const { return value_ ? *value_ : 0.0; }
  // The number as given; fallback when omitted.
  double Or(double fallback) const { return value_ ? *value_ : fallback; }
  // RoundToInt of the number; fallback when omitted.
  std::int32_t Int(std::int32_t fallback = 0) const;
  // The whole number when it lies in [lo, hi]; otherwise 1011 naming the
  // parameter's position and the range. An omitted number reads as lo.
  std::int32_t InRange(std::int32_t lo, std::int32_t hi) const;
  // The whole number when it is at least min; otherwise 1010.
  std::int32_t AtLeast(std::int32_t min) const;
  int position() const { return position_; }

 private:
  HostContext ctx_;
  const double* value_;
  int position_;
};

class Args {
 public:
  Args(HostContext ctx, HostHandle list) : ctx_(ctx), list_(list) {}
  // Parameter position (from 1) of kind S or V.
  TextArg Text(int position) const;
  // Parameter position (from 1) of kind N.
  NumberArg Number(int position) const;
  HostContext context() const { return ctx_; }

 private:
  HostContext ctx_;
  HostHandle list_;
};

}  // namespace mcr
