#include "hostops.h"

#include <cstring>

#include "connection.h"

namespace mcr {

std::uint16_t CallHost(HostContext ctx, std::uint32_t op, std::uintptr_t a1, std::uintptr_t a2) {
  if (!ctx) return 1;
  auto* rec = static_cast<ConnectionRecord*>(LocalLock(ctx));
  if (!rec) return 1;
  std::uint16_t status = rec->callback ? rec->callback(rec->cookie, op, a1, a2) : 1;
  LocalUnlock(ctx);
  return status;
}

namespace {

void* Resolve(HostContext ctx, HostHandle h) {
  void* p = nullptr;
  CallHost(ctx, kOpResolveHandle, h, reinterpret_cast<std::uintptr_t>(&p));
  return p;
}

void* ArgPointer(HostContext ctx, HostHandle args, std::int16_t i) {
  auto* list = static_cast<const HostHandle*>(Resolve(ctx, args));
  if (!list) return nullptr;
  HostHandle element = list[i - 1];
  if (element == 0) return nullptr;
  return Resolve(ctx, element);
}

std::uintptr_t P(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

}  // namespace

const char* GetStringArg(HostContext ctx, HostHandle args, std::int16_t i) {
  return static_cast<const char*>(ArgPointer(ctx, args, i));
}

const double* GetNumberArg(HostContext ctx, HostHandle args, std::int16_t i) {
  return static_cast<const double*>(ArgPointer(ctx, args, i));
}

std::uint16_t SetStrVar(HostContext ctx, const char* name, const char* value) {
  return CallHost(ctx, kOpSetStrVar, P(name), P(value));
}
std::uint16_t SetNumVar(HostContext ctx, const char* name, double value) {
  return CallHost(ctx, kOpSetNumVar, P(name), P(&value));
}
std::uint16_t GetStrVar(HostContext ctx, const char* name, char* buffer) {
  buffer[0] = '\0';
  return CallHost(ctx, kOpGetStrVar, P(name), P(buffer));
}
std::uint16_t GetNumVar(HostContext ctx, const char* name, double* value) {
  return CallHost(ctx, kOpGetNumVar, P(name), P(value));
}
std::uint16_t DeleteVar(HostContext ctx, const char* name) {
  return CallHost(ctx, kOpDeleteVar, P(name), 0);
}
std::uint16_t SetStringResult(HostContext ctx, HostHandle result, const char* value) {
  return CallHost(ctx, kOpSetStringResult, result, P(value));
}
std::uint16_t SetNumberResult(HostContext ctx, HostHandle result, double value) {
  return CallHost(ctx, kOpSetNumberResult, result, P(&value));
}
std::uint16_t ShowMessage(HostContext ctx, const char* text) {
  return CallHost(ctx, kOpShowMessage, P(text), 0);
}
std::uint16_t RaiseError(HostContext ctx, std::uint16_t kind, const char* text) {
  return CallHost(ctx, kOpRaiseError, kind, P(text));
}
std::uint16_t SetHostBusy(HostContext ctx, bool busy) {
  return CallHost(ctx, kOpSetHostBusy, busy ? 1 : 0, 0);
}
std::uint16_t ShowHelpTopic(HostContext ctx, std::uint16_t dialog) {
  return CallHost(ctx, kOpShowHelpTopic, 0, (static_cast<std::uintptr_t>(dialog) << 16) | 1u);
}

std::uint16_t CreateTable(HostContext ctx, HostHandle* table, std::uint16_t count) {
  *table = 0;
  return CallHost(ctx, kOpCreateTable, P(table), count);
}
std::uint16_t GetTableVar(HostContext ctx, const char* name, HostHandle* table) {
  *table = 0;
  return CallHost(ctx, kOpGetTableVar, P(name), P(table));
}
std::uint16_t SetTableVar(HostContext ctx, const char* name, HostHandle table) {
  return CallHost(ctx, kOpSetTableVar, P(name), table);
}
std::uint16_t GetTableItem(HostContext ctx, HostHandle table, int element, double* value) {
  ElementRef ref{table, static_cast<std::uint16_t>(element - 1)};
  return CallHost(ctx, kOpGetTableItem, P(&ref), P(value));
}
std::uint16_t SetTableItem(HostContext ctx, HostHandle table, int element, double value) {
  ElementRef ref{table, static_cast<std::uint16_t>(element - 1)};
  return CallHost(ctx, kOpSetTableItem, P(&ref), P(&value));
}
std::uint16_t GetTableSize(HostContext ctx, HostHandle table) {
  std::uint32_t slot = 0;
  CallHost(ctx, kOpGetTableSize, table, P(&slot));
  return static_cast<std::uint16_t>(slot & 0xFFFF);
}

bool SetNumberTable(HostContext ctx, const char* name, const double* values, std::uint16_t count) {
  HostHandle table = 0;
  if (CreateTable(ctx, &table, count) != 0) return false;
  for (std::uint16_t i = 0; i < count; ++i) SetTableItem(ctx, table, i + 1, values[i]);
  SetTableVar(ctx, name, table);
  return true;
}

HWND GetHostWindow(HostContext ctx) {
  HWND window = nullptr;
  if (CallHost(ctx, kOpGetHostWindow, 2, P(&window)) != 0) return nullptr;
  return window;
}

}  // namespace mcr
