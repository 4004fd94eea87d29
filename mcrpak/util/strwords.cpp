// The string, path, environment and clock words.
#include <windows.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/rounding.h"
#include "strtext.h"

using namespace mcr;

namespace {

// Each handler's result or variable text is at most this long plus the
// terminator; inputs are bounded before any copy.
constexpr std::size_t kTokenTextLimit = 128;
constexpr std::size_t kEnvBuffer = 135;
constexpr int kCompactBuffer = 260;
constexpr std::size_t kNameValueLimit = kStrVarBound - 1;

std::uint16_t SetResult(HostContext ctx, HostHandle result, std::string_view text) {
  std::string copy(text);
  SetStringResult(ctx, result, copy.c_str());
  return 0;
}

bool TooLong(const char* text, std::size_t limit) { return std::strlen(text) > limit; }

std::uint16_t LeftOrRight(HostHandle args, HostHandle result, HostContext ctx, bool left) {
  const char* text = GetStringArg(ctx, args, 1);
  const double* count = GetNumberArg(ctx, args, 2);
  if (!text || !count) return Fail(ctx, kMsgOmitted);
  if (TooLong(text, kTextLimit)) return Fail(ctx, kMsgTooLong, static_cast<int>(kTextLimit));
  std::int32_t n = RoundToInt(*count);
  return SetResult(ctx, result, left ? LeftBytes(text, n) : RightBytes(text, n));
}

}  // namespace

MCR_FUNCTION(LeftProc) {
  return LeftOrRight(args, result, ctx, true);
}

MCR_FUNCTION(RightProc) {
  return LeftOrRight(args, result, ctx, false);
}

MCR_FUNCTION(SpaceProc) {
  const double* count = GetNumberArg(ctx, args, 1);
  if (!count) return Fail(ctx, kMsgOmitted);
  std::int32_t n = RoundToInt(*count);
  if (n > kSpaceMax) return FailOutOfRange(ctx, 1, 0, kSpaceMax);
  return SetResult(ctx, result, std::string(n < 1 ? 0 : static_cast<std::size_t>(n), ' '));
}

MCR_FUNCTION(TrimProc) {
  const char* text = GetStringArg(ctx, args, 1);
  if (!text) return Fail(ctx, kMsgOmitted);
  if (TooLong(text, kTrimLimit)) return Fail(ctx, kMsgTooLong, static_cast<int>(kTrimLimit));
  return SetResult(ctx, result, TrimBlanks(text));
}

MCR_FUNCTION(GetEnvProc) {
  const char* name = GetStringArg(ctx, args, 1);
  if (!name) return Fail(ctx, kMsgOmitted);
  if (TooLong(name, kTextLimit)) return Fail(ctx, kMsgTooLong, static_cast<int>(kTextLimit));
  // A missing variable, or one too long for the buffer, reads as "".
  char value[kEnvBuffer] = {};
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) value[0] = '\0';
  SetStringResult(ctx, result, value);
  return 0;
}

MCR_FUNCTION(ExistProc) {
  const char* path = GetStringArg(ctx, args, 1);
  if (!path) return Fail(ctx, kMsgOmitted);
  if (TooLong(path, kPathLimit)) return Fail(ctx, kMsgTooLong, static_cast<int>(kPathLimit));
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  bool exists = file != INVALID_HANDLE_VALUE;
  if (exists) CloseHandle(file);
  SetNumberResult(ctx, result, exists ? 1.0 : 0.0);
  return 0;
}

MCR_FUNCTION(CountTokenProc) {
  const char* text = GetStringArg(ctx, args, 1);
  const char* sep = GetStringArg(ctx, args, 2);
  // This word reports its errors but still answers 0 with status 0.
  auto failZero = [&](auto raise) {
    raise();
    SetNumberResult(ctx, result, 0.0);
    return std::uint16_t{0};
  };
  if (!text || !sep) return failZero([&] { RaiseMessage(ctx, kMsgOmitted); });
  if (*sep == '\0') return failZero([&] { RaisePosition(ctx, kMsgNeedString, 1); });
  if (TooLong(text, kTokenTextLimit) || TooLong(sep, kTokenTextLimit))
    return failZero([&] { RaiseMessage(ctx, kMsgTooLong, static_cast<int>(kTokenTextLimit)); });
  SetNumberResult(ctx, result, static_cast<double>(CountTokens(text, sep)));
  return 0;
}

MCR_COMMAND(GetTokenProc) {
  const char* text = GetStringArg(ctx, args, 1);
  const char* sep = GetStringArg(ctx, args, 2);
  const double* number = GetNumberArg(ctx, args, 3);
  const char* var = GetStringArg(ctx, args, 4);
  if (!text || !sep || !number || !var) return Fail(ctx, kMsgOmitted);
  if (*sep == '\0') return FailPosition(ctx, kMsgNeedString, 1);
  std::int32_t n = RoundToInt(*number);
  if (n < 1 || n > kTokenMax) return FailOutOfRange(ctx, 3, 1, kTokenMax);
  if (*var == '\0') return FailPosition(ctx, kMsgNeedVariable, 4);
  if (TooLong(text, kTokenTextLimit) || TooLong(sep, kTokenTextLimit))
    return Fail(ctx, kMsgTooLong, static_cast<int>(kTokenTextLimit));
  std::string token(NthToken(text, sep, n));
  SetStrVar(ctx, var, token.c_str());
  return 0;
}

MCR_FUNCTION(CompactPathProc) {
  const char* path = GetStringArg(ctx, args, 1);
  const double* width = GetNumberArg(ctx, args, 2);
  if (!path || !width) return Fail(ctx, kMsgOmitted);
  if (TooLong(path, kPathLimit)) return Fail(ctx, kMsgTooLong, static_cast<int>(kPathLimit));
  // Widths of 260 and more give at most what the 260-byte buffer holds.
  std::int32_t w = RoundClamped(*width, 0, 65535);
  UINT chars = static_cast<UINT>(w + 1 > kCompactBuffer ? kCompactBuffer : w + 1);
  // A path that fits is the answer as it stands, as the shell gives it; the
  // routine itself is only asked to shorten (Wine's shortens a path exactly
  // as long as the width).
  if (std::strlen(path) < chars) return SetResult(ctx, result, path);
  char out[kCompactBuffer] = {};
  if (!PathCompactPathExA(out, path, chars, 0)) out[0] = '\0';
  SetStringResult(ctx, result, out);
  return 0;
}

MCR_FUNCTION(GetTickCountProc) {
  SetNumberResult(ctx, result, static_cast<double>(GetTickCount()));
  return 0;
}

MCR_COMMAND(SplitPathProc) {
  const char* path = GetStringArg(ctx, args, 1);
  if (!path) return Fail(ctx, kMsgOmitted);
  const char* vars[4];
  bool any = false;
  for (int i = 0; i < 4; ++i) any |= (vars[i] = GetStringArg(ctx, args, static_cast<std::int16_t>(i + 2))) != nullptr;
  if (!any) return Fail(ctx, kMsgGiveVariable);
  if (TooLong(path, kPathLimit)) return Fail(ctx, kMsgTooLong, static_cast<int>(kPathLimit));
  char parts[4][MAX_PATH] = {};
  _splitpath(path, parts[0], parts[1], parts[2], parts[3]);
  for (int i = 0; i < 4; ++i)
    if (vars[i]) SetStrVar(ctx, vars[i], parts[i]);
  return 0;
}

MCR_COMMAND(GetTempFileNameProc) {
  const char* dir = GetStringArg(ctx, args, 1);
  const char* prefix = GetStringArg(ctx, args, 2);
  const double* unique = GetNumberArg(ctx, args, 3);
  const char* var = GetStringArg(ctx, args, 4);
  if (!dir || !prefix || !var) return Fail(ctx, kMsgOmitted);
  if (TooLong(dir, kPathLimit)) return Fail(ctx, kMsgTooLong, static_cast<int>(kPathLimit));
  if (TooLong(prefix, kTextLimit)) return Fail(ctx, kMsgTooLong, static_cast<int>(kTextLimit));
  UINT number = unique ? static_cast<UINT>(RoundClamped(*unique, 0, 65535)) : 0;
  char folder[MAX_PATH + 1] = {};
  if (*dir == '\0')
    GetTempPathA(sizeof folder, folder);
  else
    lstrcpynA(folder, dir, sizeof folder);
  char name[MAX_PATH + 1] = {};
  if (GetTempFileNameA(folder, prefix, number, name) == 0) name[0] = '\0';
  char converted[MAX_PATH + 1] = {};
  OemToCharBuffA(name, converted, static_cast<DWORD>(std::strlen(name) + 1));
  // With a unique number of 0 Windows made an empty file to reserve the name.
  if (name[0]) DeleteFileA(name);
  SetStrVar(ctx, var, converted);
  return 0;
}

MCR_COMMAND(GetVName4FuncProc) {
  const char* a = GetStringArg(ctx, args, 1);
  const char* b = GetStringArg(ctx, args, 2);
  if (!a || !b) return 1;
  // The name is handed on as a string value: no longer than a string the
  // host gives back whole.
  if (TooLong(a, kNameValueLimit)) return Fail(ctx, kMsgTooLong, static_cast<int>(kNameValueLimit));
  SetStrVar(ctx, b, a);
  return 0;
}
