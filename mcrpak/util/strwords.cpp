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
  Args in(ctx, args);
  TextArg text = in.Text(1).Required();
  std::int32_t n = in.Number(2).Required().Int();
  // A missing count is reported before a text that is too long.
  text.MaxLength(kTextLimit);
  return SetResult(ctx, result, left ? LeftBytes(text.get(), n) : RightBytes(text.get(), n));
}

}  // namespace

MCR_FUNCTION(LeftProc) {
  return LeftOrRight(args, result, ctx, true);
}

MCR_FUNCTION(RightProc) {
  return LeftOrRight(args, result, ctx, false);
}

MCR_FUNCTION(SpaceProc) {
  Args in(ctx, args);
  std::int32_t n = in.Number(1).Required().Int();
  // Counts below 1 give "", so only the top of the range is refused.
  if (n > kSpaceMax) return FailOutOfRange(ctx, 1, 0, kSpaceMax);
  return SetResult(ctx, result, std::string(n < 1 ? 0 : static_cast<std::size_t>(n), ' '));
}

MCR_FUNCTION(TrimProc) {
  Args in(ctx, args);
  const char* text = in.Text(1).Required().MaxLength(kTrimLimit);
  return SetResult(ctx, result, TrimBlanks(text));
}

MCR_FUNCTION(GetEnvProc) {
  Args in(ctx, args);
  const char* name = in.Text(1).Required().MaxLength(kTextLimit);
  // A missing variable, or one too long for the buffer, reads as "".
  char value[kEnvBuffer] = {};
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) value[0] = '\0';
  SetStringResult(ctx, result, value);
  return 0;
}

MCR_FUNCTION(ExistProc) {
  Args in(ctx, args);
  const char* path = in.Text(1).Required().MaxLength(kPathLimit);
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  bool exists = file != INVALID_HANDLE_VALUE;
  if (exists) CloseHandle(file);
  SetNumberResult(ctx, result, exists ? 1.0 : 0.0);
  return 0;
}

MCR_FUNCTION(CountTokenProc) {
  Args in(ctx, args);
  const char* text = in.Text(1);
  const char* sep = in.Text(2);
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
  Args in(ctx, args);
  TextArg text = in.Text(1).Required();
  TextArg sep = in.Text(2).Required();
  NumberArg number = in.Number(3).Required();
  TextArg var = in.Text(4).Required();
  // Then, in this order: the separator (named as the first parameter), the
  // token number, the variable, and only then the lengths.
  if (sep.empty()) return FailPosition(ctx, kMsgNeedString, 1);
  std::int32_t n = number.InRange(1, kTokenMax);
  if (var.empty()) return FailPosition(ctx, kMsgNeedVariable, 4);
  text.MaxLength(kTokenTextLimit);
  sep.MaxLength(kTokenTextLimit);
  std::string token(NthToken(text.get(), sep.get(), n));
  SetStrVar(ctx, var, token.c_str());
  return 0;
}

MCR_FUNCTION(CompactPathProc) {
  Args in(ctx, args);
  TextArg path = in.Text(1).Required();
  double width = in.Number(2).Required().get();
  path.MaxLength(kPathLimit);
  // Widths of 260 and more give at most what the 260-byte buffer holds.
  std::int32_t w = RoundClamped(width, 0, 65535);
  UINT chars = static_cast<UINT>(w + 1 > kCompactBuffer ? kCompactBuffer : w + 1);
  // A path that fits is the answer as it stands, as the shell gives it; the
  // routine itself is only asked to shorten (Wine's shortens a path exactly
  // as long as the width).
  if (std::strlen(path) < chars) return SetResult(ctx, result, path.get());
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
  Args in(ctx, args);
  TextArg path = in.Text(1).Required();
  const char* vars[4] = {in.Text(2), in.Text(3), in.Text(4), in.Text(5)};  // drive, folder, name, extension
  if (!vars[0] && !vars[1] && !vars[2] && !vars[3]) return Fail(ctx, kMsgGiveVariable);
  path.MaxLength(kPathLimit);
  char parts[4][MAX_PATH] = {};
  _splitpath(path, parts[0], parts[1], parts[2], parts[3]);
  for (int i = 0; i < 4; ++i)
    if (vars[i]) SetStrVar(ctx, vars[i], parts[i]);
  return 0;
}

MCR_COMMAND(GetTempFileNameProc) {
  Args in(ctx, args);
  TextArg dir = in.Text(1).Required();
  TextArg prefix = in.Text(2).Required();
  double unique = in.Number(3).Or(0);
  const char* var = in.Text(4).Required();
  dir.MaxLength(kPathLimit);
  prefix.MaxLength(kTextLimit);
  auto number = static_cast<UINT>(RoundClamped(unique, 0, 65535));
  char folder[MAX_PATH + 1] = {};
  if (dir.empty())
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
  Args in(ctx, args);
  const char* a = in.Text(1);
  const char* b = in.Text(2);
  // Either name missing: status 1, nothing raised.
  if (!a || !b) return 1;
  // The name is handed on as a string value: no longer than a string the
  // host gives back whole.
  if (TooLong(a, kNameValueLimit)) return Fail(ctx, kMsgTooLong, static_cast<int>(kNameValueLimit));
  SetStrVar(ctx, b, a);
  return 0;
}
