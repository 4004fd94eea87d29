// The library's side of the host operations. Every call goes through
// CallHost; a null or dead HostContext makes every operation fail with 1.
#pragma once
#include <windows.h>

#include <cstdint>

#include "boundary.h"

namespace mcr {

extern HINSTANCE g_instance;

// A dialog keeps the HostContext of the call that opened it in this window
// property while it is open.
constexpr char kPasskeyProperty[] = "srvPasskey";
// The icon SETICON put on the host window, owned by the library.
constexpr char kIconProperty[] = "HICON";

std::uint16_t CallHost(HostContext ctx, std::uint32_t op, std::uintptr_t a1, std::uintptr_t a2);

// Argument i (from 1) of a handler, or null when omitted.
const char* GetStringArg(HostContext ctx, HostHandle args, std::int16_t i);
const double* GetNumberArg(HostContext ctx, HostHandle args, std::int16_t i);

std::uint16_t SetStrVar(HostContext ctx, const char* name, const char* value);
std::uint16_t SetNumVar(HostContext ctx, const char* name, double value);
// buffer must hold kStrVarBound bytes.
std::uint16_t GetStrVar(HostContext ctx, const char* name, char* buffer);
std::uint16_t GetNumVar(HostContext ctx, const char* name, double* value);
std::uint16_t DeleteVar(HostContext ctx, const char* name);
std::uint16_t SetStringResult(HostContext ctx, HostHandle result, const char* value);
std::uint16_t SetNumberResult(HostContext ctx, HostHandle result, double value);
std::uint16_t ShowMessage(HostContext ctx, const char* text);
std::uint16_t RaiseError(HostContext ctx, std::uint16_t kind, const char* text);
std::uint16_t SetHostBusy(HostContext ctx, bool busy);
std::uint16_t ShowHelpTopic(HostContext ctx, std::uint16_t dialog);

std::uint16_t CreateTable(HostContext ctx, HostHandle* table, std::uint16_t count);
std::uint16_t GetTableVar(HostContext ctx, const char* name, HostHandle* table);
std::uint16_t SetTableVar(HostContext ctx, const char* name, HostHandle table);
// Elements numbered from 1.
std::uint16_t GetTableItem(HostContext ctx, HostHandle table, int element, double* value);
std::uint16_t SetTableItem(HostContext ctx, HostHandle table, int element, double value);
std::uint16_t GetTableSize(HostContext ctx, HostHandle table);
// Creates a table of count numbers and binds it to the variable; false when
// the host could not make it (the variable is then left alone).
bool SetNumberTable(HostContext ctx, const char* name, const double* values, std::uint16_t count);

// The command processor's main window, or null.
HWND GetHostWindow(HostContext ctx);

// Help through the HTML Help control; 0 when help is unavailable.
std::intptr_t CallHtmlHelp(HWND window, const char* file, UINT command, std::uintptr_t data);

}  // namespace mcr
