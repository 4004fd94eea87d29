// Declarations of every macro handler that is written, and of the shared
// handlers that answer for the ones that are not.
#pragma once
#include <cstdint>

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
