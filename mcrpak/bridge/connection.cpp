#include "connection.h"

#include <cstring>

#include "../resources/resource_ids.h"
#include "hostops.h"
#include "dlgframe.h"
#include "registry.h"

namespace mcr {

HINSTANCE g_instance = nullptr;

namespace {

HLOCAL g_clientTable = nullptr;
bool g_initialised = false;
// Constant-initialised, so filled in whatever order the subsystems' static
// initialisers run.
SubsystemHooks g_hooks[4] = {};
int g_hookCount = 0;

HLOCAL* Slots(ClientTableHeader* t) { return reinterpret_cast<HLOCAL*>(t + 1); }

bool CreateClientTable() {
  g_clientTable = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT,
                             sizeof(ClientTableHeader) + kClientTableGrowth * sizeof(HLOCAL));
  auto* t = static_cast<ClientTableHeader*>(LocalLock(g_clientTable));
  if (!t) return false;
  t->count = 0;
  t->capacity = kClientTableGrowth;
  t->elementSize = sizeof(HLOCAL);
  LocalUnlock(g_clientTable);
  return true;
}

bool MakeRoom() {
  auto* t = static_cast<ClientTableHeader*>(LocalLock(g_clientTable));
  if (!t) return false;
  bool full = t->count == t->capacity;
  std::uint32_t capacity = t->capacity;
  LocalUnlock(g_clientTable);
  if (!full) return true;
  HLOCAL grown = LocalReAlloc(
      g_clientTable, sizeof(ClientTableHeader) + (capacity + kClientTableGrowth) * sizeof(HLOCAL),
      LMEM_MOVEABLE | LMEM_ZEROINIT);
  if (!grown) return false;
  g_clientTable = grown;
  t = static_cast<ClientTableHeader*>(LocalLock(g_clientTable));
  t->capacity = capacity + kClientTableGrowth;
  LocalUnlock(g_clientTable);
  return true;
}

std::uint16_t Connect(ConnectPacket* packet) {
  if (!packet || !MakeRoom()) return 1;
  auto* t = static_cast<ClientTableHeader*>(LocalLock(g_clientTable));
  if (!t) return 1;
  HLOCAL handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(ConnectionRecord));
  auto* rec = static_cast<ConnectionRecord*>(handle ? LocalLock(handle) : nullptr);
  if (!rec) {
    if (handle) LocalFree(handle);
    LocalUnlock(g_clientTable);
    return 1;
  }
  rec->data = nullptr;
  rec->cookie = packet->cookie;
  rec->callback = packet->callback;
  LocalUnlock(handle);
  packet->context = handle;
  packet->entry = &OOCPSRV;
  Slots(t)[t->count++] = handle;
  LocalUnlock(g_clientTable);
  return 0;
}

// Removes the record from the table, keeping the order of the others.
void Remove(HLOCAL handle) {
  auto* t = static_cast<ClientTableHeader*>(LocalLock(g_clientTable));
  if (!t) return;
  HLOCAL* slots = Slots(t);
  for (std::uint32_t i = 0; i < t->count; ++i) {
    if (slots[i] != handle) continue;
    LocalFree(handle);
    --t->count;
    std::memmove(slots + i, slots + i + 1, (t->count - i) * sizeof(HLOCAL));
    slots[t->count] = nullptr;
    break;
  }
  LocalUnlock(g_clientTable);
}

HFONT CreatePopupFont() {
  HRSRC info = FindResourceA(g_instance, "MSGPOPUP_FONT", "MCRPAK_RES");
  HGLOBAL res = info ? LoadResource(g_instance, info) : nullptr;
  const void* bytes = res ? LockResource(res) : nullptr;
  if (!bytes) return nullptr;
  LOGFONTA font{};  // the stored description is only the leading part
  DWORD size = SizeofResource(g_instance, info);
  std::memcpy(&font, bytes, size < sizeof font ? size : sizeof font);
  font.lfFaceName[LF_FACESIZE - 1] = '\0';
  return CreateFontIndirectA(&font);
}

void AttachConnectionData(HostContext ctx) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(ConnectionData));
  if (!block) return;
  auto* data = static_cast<ConnectionData*>(GlobalLock(block));
  data->popupFont = CreatePopupFont();
  GlobalUnlock(block);
  if (auto* rec = static_cast<ConnectionRecord*>(LocalLock(ctx))) {
    rec->data = block;
    LocalUnlock(ctx);
  } else {
    GlobalFree(block);
  }
}

HGLOBAL AttachedData(HostContext ctx) {
  auto* rec = static_cast<ConnectionRecord*>(LocalLock(ctx));
  if (!rec) return nullptr;
  HGLOBAL data = rec->data;
  LocalUnlock(ctx);
  return data;
}

void ReleaseConnectionData(HostContext ctx) {
  HGLOBAL block = AttachedData(ctx);
  if (!block) return;
  if (auto* data = static_cast<ConnectionData*>(GlobalLock(block))) {
    if (data->popupFont) DeleteObject(data->popupFont);
    GlobalUnlock(block);
  }
  GlobalFree(block);
}

// Undoes SETICON on the host window: the icons go, the property stays (with
// nothing in it, so a later disconnect finds nothing to destroy).
void ClearHostIcons(HostContext ctx) {
  HWND host = GetHostWindow(ctx);
  if (!host) return;
  auto icon = static_cast<HICON>(GetPropA(host, kIconProperty));
  if (!icon) return;
  SendMessageA(host, WM_SETICON, ICON_BIG, 0);
  SendMessageA(host, WM_SETICON, ICON_SMALL, 0);
  DestroyIcon(icon);
  SetPropA(host, kIconProperty, nullptr);
}

void MacroEnded(HostContext ctx) {
  for (int i = 0; i < g_hookCount; ++i)
    if (g_hooks[i].macroEnded) g_hooks[i].macroEnded(ctx);
}

}  // namespace

bool RegisterSubsystemHooks(SubsystemHooks hooks) {
  if (g_hookCount == static_cast<int>(sizeof g_hooks / sizeof g_hooks[0])) return false;
  g_hooks[g_hookCount++] = hooks;
  return true;
}

HFONT ConnectionPopupFont(HostContext ctx) {
  HGLOBAL block = AttachedData(ctx);
  auto* data = static_cast<ConnectionData*>(block ? GlobalLock(block) : nullptr);
  if (!data) return nullptr;
  HFONT font = data->popupFont;
  GlobalUnlock(block);
  return font;
}

}  // namespace mcr

using namespace mcr;

extern "C" std::uint16_t MCR_CALLEE OOCPSRV(HostContext ctx, std::uint32_t code,
                                            std::uintptr_t p1, std::uintptr_t) {
  switch (static_cast<std::uint16_t>(code)) {
    case kCodeConnect:
      return Connect(reinterpret_cast<ConnectPacket*>(p1));
    case kCodeRegister: {
      std::uint16_t status = RegisterWords(ctx);
      if (status == 0) AttachConnectionData(ctx);
      return status;
    }
    case kCodeNothing:
      return 0;
    case kCodeMacroEnded:
    case kCodeClosePopups:
      MacroEnded(ctx);
      return 0;
    case kCodeDisconnect:
      ClearHostIcons(ctx);
      ReleaseConnectionData(ctx);
      Remove(ctx);
      return 0;
    default:
      return 1;
  }
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    if (!g_initialised) {
      g_instance = instance;
      if (!CreateClientTable()) MessageBeep(0);
      g_initialised = true;
    }
    DlgFrameInit();
    for (int i = 0; i < g_hookCount; ++i)
      if (g_hooks[i].loaded) g_hooks[i].loaded(instance);
  } else if (reason == DLL_PROCESS_DETACH && g_initialised) {
    if (auto* t = static_cast<ClientTableHeader*>(LocalLock(g_clientTable))) {
      for (std::uint32_t i = t->count; i-- > 0;) LocalFree(Slots(t)[i]);
      LocalUnlock(g_clientTable);
    }
    LocalFree(g_clientTable);
    g_clientTable = nullptr;
    g_initialised = false;
  }
  return TRUE;
}
