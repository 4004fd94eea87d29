// The records and handle types that cross between the command processor and
// the library. The 32-bit build keeps the exact historical layout; the 64-bit
// build widens every pointer or handle field to pointer size and keeps the
// same order and packing.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define MCR_CALLEE __stdcall
#define MCR_CALLER __cdecl
#elif defined(_WIN32)
#define MCR_CALLEE
#define MCR_CALLER
#else
#define MCR_CALLEE
#define MCR_CALLER
#endif

namespace mcr {

// Host handles (argument lists, arguments, result slots, tables) and the
// library's connection handle are opaque words of pointer size.
using HostHandle = std::uintptr_t;
using HostContext = void*;  // the movable local-memory handle of a ConnectionRecord

using HostCallback = std::uint16_t(MCR_CALLEE*)(std::uintptr_t cookie, std::uint32_t opcode,
                                                std::uintptr_t arg1, std::uintptr_t arg2);
using OocpsrvEntry = std::uint16_t(MCR_CALLEE*)(HostContext ctx, std::uint32_t code,
                                                std::uintptr_t p1, std::uintptr_t p2);
using FunctionHandler = std::uint16_t(MCR_CALLER*)(HostHandle args, HostHandle result,
                                                   HostContext ctx);
using CommandHandler = std::uint16_t(MCR_CALLER*)(HostHandle args, HostContext ctx);

#pragma pack(push, 1)
struct ConnectPacket {
  std::uint16_t reserved;
  HostCallback callback;
  std::uintptr_t cookie;
  OocpsrvEntry entry;    // written by the library
  HostContext context;   // written by the library
};

struct FunctionRecord {
  HostContext context;
  const char* name;
  FunctionHandler handler;
  std::uint16_t paramCount;
};

struct CommandRecord {
  HostContext context;
  const char* name;
  CommandHandler handler;
  std::uint16_t zero1;
  std::uint32_t zero2;
  std::uint16_t paramCount;
};

struct ElementRef {
  HostHandle table;
  std::uint16_t index;  // zero-based on the wire
};
#pragma pack(pop)

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(ConnectPacket, callback) == 2 && offsetof(ConnectPacket, cookie) == 6 &&
              offsetof(ConnectPacket, entry) == 10 && offsetof(ConnectPacket, context) == 14 &&
              sizeof(ConnectPacket) == 18, "ConnectPacket layout");
static_assert(offsetof(FunctionRecord, name) == 4 && offsetof(FunctionRecord, handler) == 8 &&
              offsetof(FunctionRecord, paramCount) == 12 && sizeof(FunctionRecord) == 14,
              "FunctionRecord layout");
static_assert(offsetof(CommandRecord, name) == 4 && offsetof(CommandRecord, handler) == 8 &&
              offsetof(CommandRecord, zero1) == 12 && offsetof(CommandRecord, zero2) == 14 &&
              offsetof(CommandRecord, paramCount) == 18 && sizeof(CommandRecord) == 20,
              "CommandRecord layout");
static_assert(offsetof(ElementRef, index) == 4 && sizeof(ElementRef) == 6, "ElementRef layout");
#endif

// Parameter kind bytes handed to the host with each registration.
enum ParamKind : std::uint8_t { kKindNumber = 0x00, kKindString = 0x01, kKindName = 0xFE };

// Host operations issued through the callback.
enum HostOp : std::uint32_t {
  kOpRegisterFunction = 3,
  kOpRegisterCommand = 4,
  kOpSetHostBusy = 12,
  kOpGetTableVar = 94,
  kOpSetTableVar = 95,
  kOpGetHostWindow = 96,
  kOpResolveHandle = 99,
  kOpGetNumVar = 101,
  kOpSetNumVar = 102,
  kOpGetStrVar = 103,
  kOpSetStrVar = 104,
  kOpDeleteVar = 105,
  kOpSetStringResult = 106,
  kOpSetNumberResult = 107,
  kOpShowMessage = 109,
  kOpRaiseError = 118,
  kOpCreateTable = 124,
  kOpGetTableItem = 125,
  kOpSetTableItem = 126,
  kOpGetTableSize = 127,
  kOpShowHelpTopic = 150,
};

enum RaiseKind : std::uint16_t { kRaiseMessage = 0, kRaiseError = 1, kRaiseStatus = 9 };

// OOCPSRV codes.
enum ServerCode : std::uint32_t {
  kCodeConnect = 2,
  kCodeRegister = 3,
  kCodeNothing = 4,
  kCodeMacroEnded = 5,
  kCodeDisconnect = 6,
  kCodeClosePopups = 8,
};

// The host writes at most this many bytes (terminator included) into the
// buffer of a GetStrVar call; the library's buffers are at least this large.
constexpr std::size_t kStrVarBound = 261;

}  // namespace mcr
