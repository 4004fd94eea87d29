// Declarations of every macro handler that is written, and of the shared
// handlers that answer for the ones that are not.
#pragma once
#include <cstdint>
#include <exception>

#include "args.h"
#include "boundary.h"

#define MCR_DECL_READY_F(h) \
  extern "C" std::uint16_t MCR_CALLER h(mcr::HostHandle, mcr::HostHandle, mcr::HostContext);
#define MCR_DECL_READY_C(h) extern "C" std::uint16_t MCR_CALLER h(mcr::HostHandle, mcr::HostContext);
#define MCR_DECL_PENDING_F(h)
#define MCR_DECL_PENDING_C(h)
#define MCR_FN(name, handler, ord, kinds, state, pnames, summary) MCR_DECL_##state##_F(handler)
#define MCR_CMD(name, handler, ord, kinds, state, pnames, summary) MCR_DECL_##state##_C(handler)
#include "words.inc"
#undef MCR_FN
#undef MCR_CMD

extern "C" std::uint16_t MCR_CALLER McrPendingFunction(mcr::HostHandle, mcr::HostHandle,
                                                       mcr::HostContext);
extern "C" std::uint16_t MCR_CALLER McrPendingCommand(mcr::HostHandle, mcr::HostContext);

namespace mcr {
// Runs a handler body so that no C++ exception reaches the host: a handler
// ended by a failed check (WordFailed) returns its status, a failed
// allocation is reported as the memory message, anything else as an
// internal error; either way the macro gets status 1.
template <typename Body>
std::uint16_t Guarded(HostContext ctx, Body body) noexcept;
std::uint16_t ReportException(HostContext ctx, const std::exception* e) noexcept;
}  // namespace mcr

// Handler definitions: MCR_FUNCTION(LeftProc) { ... uses args, result, ctx ... }
#define MCR_FUNCTION(name)                                                                    \
  static std::uint16_t name##Body(mcr::HostHandle args, mcr::HostHandle result,              \
                                  mcr::HostContext ctx);                                     \
  extern "C" std::uint16_t MCR_CALLER name(mcr::HostHandle args, mcr::HostHandle result,     \
                                           mcr::HostContext ctx) {                           \
    return mcr::Guarded(ctx, [&] { return name##Body(args, result, ctx); });                 \
  }                                                                                           \
  static std::uint16_t name##Body([[maybe_unused]] mcr::HostHandle args,                     \
                                  [[maybe_unused]] mcr::HostHandle result,                   \
                                  [[maybe_unused]] mcr::HostContext ctx)
#define MCR_COMMAND(name)                                                                     \
  static std::uint16_t name##Body(mcr::HostHandle args, mcr::HostContext ctx);               \
  extern "C" std::uint16_t MCR_CALLER name(mcr::HostHandle args, mcr::HostContext ctx) {     \
    return mcr::Guarded(ctx, [&] { return name##Body(args, ctx); });                         \
  }                                                                                           \
  static std::uint16_t name##Body([[maybe_unused]] mcr::HostHandle args,                     \
                                  [[maybe_unused]] mcr::HostContext ctx)

template <typename Body>
std::uint16_t mcr::Guarded(HostContext ctx, Body body) noexcept {
  try {
    return body();
  } catch (const WordFailed& f) {
    return f.status;
  } catch (const std::exception& e) {
    return ReportException(ctx, &e);
  } catch (...) {
    return ReportException(ctx, nullptr);
  }
}
