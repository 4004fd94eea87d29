// What answers for a word or callback whose code is not written yet: a clear
// macro error instead of a missing export or a silent success.
#include <windows.h>

#include <new>

#include "catalogue.h"
#include "handlers.h"
#include "hostops.h"

namespace {
const char kNotAvailable[] = "This word is not available in this build of MCRPAK.";
}

extern "C" std::uint16_t MCR_CALLER McrPendingFunction(mcr::HostHandle, mcr::HostHandle,
                                                       mcr::HostContext ctx) {
  mcr::RaiseError(ctx, mcr::kRaiseError, kNotAvailable);
  return 1;
}

extern "C" std::uint16_t MCR_CALLER McrPendingCommand(mcr::HostHandle, mcr::HostContext ctx) {
  mcr::RaiseError(ctx, mcr::kRaiseError, kNotAvailable);
  return 1;
}

// Stand-ins for exported callbacks of the same shapes.
extern "C" INT_PTR CALLBACK McrPendingDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

namespace mcr {

std::uint16_t ReportException(HostContext ctx, const std::exception* e) noexcept {
  if (dynamic_cast<const std::bad_alloc*>(e)) return Fail(ctx, kMsgNoGlobalMemory);
  char text[300];
  wsprintfA(text, "MCRPAK internal error: %.200s", e ? e->what() : "unknown exception");
  RaiseError(ctx, kRaiseError, text);
  return 1;
}

}  // namespace mcr
