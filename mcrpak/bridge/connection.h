// Connection records and the process-wide table that holds them.
#pragma once
#include <windows.h>

#include <cstdint>

#include "boundary.h"

namespace mcr {

// One per connection; a movable, zero-initialised local-memory block whose
// handle is the HostContext.
struct ConnectionRecord {
  std::uintptr_t cookie;
  HostCallback callback;
  HGLOBAL data;  // ConnectionData, attached at registration
};

// Attached at registration; holds the connection's popup font.
struct ConnectionData {
  HFONT popupFont;
};

// Header of the client table block; the slots follow it.
struct ClientTableHeader {
  std::uint32_t count;
  std::uint32_t capacity;
  std::uint32_t elementSize;
};

constexpr std::uint32_t kClientTableGrowth = 5;

// The connection's popup font, or null.
HFONT ConnectionPopupFont(HostContext ctx);

// What a subsystem with windows of its own does once when the library loads
// (register its window class) and when a task's macro ends (close what that
// task left open). A subsystem registers its hooks from a static initialiser,
// which runs before DllMain.
struct SubsystemHooks {
  void (*loaded)(HINSTANCE instance);
  void (*macroEnded)(HostContext ctx);
};
// True, so that a static can hold it; false when the (small) table is full.
bool RegisterSubsystemHooks(SubsystemHooks hooks);

}  // namespace mcr

extern "C" std::uint16_t MCR_CALLEE OOCPSRV(mcr::HostContext ctx, std::uint32_t code,
                                            std::uintptr_t p1, std::uintptr_t p2);
