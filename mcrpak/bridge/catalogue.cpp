#include "catalogue.h"

#include <windows.h>

#include <cstdarg>
#include <string>

#include "errmap.h"
#include "hostops.h"
#include "msgformat.h"

namespace mcr {

namespace {

constexpr int kLoadBuffer = 256;
char g_message[255];

void Load(int id, char* buffer, int size) {
  if (LoadStringA(g_instance, static_cast<UINT>(id), buffer, size) <= 0) buffer[0] = '\0';
}

// "<reason>: <name>" in the reporters' 136-byte buffer: the name is
// shortened, the reason stays whole.
std::uint16_t FailWithText(HostContext ctx, const char* reason, const char* name) {
  constexpr std::size_t kFileErrorMax = 135;
  std::string format = std::string(reason) + ": %s";
  RaiseError(ctx, kRaiseError, FormatCatalogueWithin(kFileErrorMax, format.c_str(), name ? name : "").c_str());
  return 1;
}

std::string FormatV(int id, va_list args, std::size_t limit = kFormattedMax) {
  char format[kLoadBuffer];
  Load(id, format, sizeof format);
  return FormatCatalogueV(format, args, limit);
}

}  // namespace

const char* LoadMessage(int id) {
  Load(id, g_message, sizeof g_message);
  return g_message;
}

void ShowMessageById(HostContext ctx, int id) {
  char text[kLoadBuffer];
  if (LoadStringA(g_instance, static_cast<UINT>(id), text, sizeof text) <= 0)
    lstrcpyA(text, "LoadString faild.");
  ShowMessage(ctx, text);
}

std::string MessageText(int id, ...) {
  va_list args;
  va_start(args, id);
  std::string text = FormatV(id, args);
  va_end(args);
  return text;
}

std::string MessageTextWithin(std::size_t limit, int id, ...) {
  va_list args;
  va_start(args, id);
  std::string text = FormatV(id, args, limit);
  va_end(args);
  return text;
}

void RaiseMessageV(HostContext ctx, int id, va_list args) {
  RaiseError(ctx, kRaiseError, FormatV(id, args).c_str());
}

void RaiseMessage(HostContext ctx, int id, ...) {
  va_list args;
  va_start(args, id);
  RaiseMessageV(ctx, id, args);
  va_end(args);
}

std::uint16_t Fail(HostContext ctx, int id, ...) {
  va_list args;
  va_start(args, id);
  RaiseMessageV(ctx, id, args);
  va_end(args);
  return 1;
}

std::uint16_t FailOutOfRange(HostContext ctx, int position, int lo, int hi) {
  char label[32];
  Load(kLabelFirst + position - 1, label, sizeof label);
  return Fail(ctx, kMsgOutOfRange, label, lo, hi);
}

std::uint16_t FailBelow(HostContext ctx, int position, int min) {
  char label[32];
  Load(kLabelFirst + position - 1, label, sizeof label);
  return Fail(ctx, kMsgBelowMin, label, min);
}

void RaisePosition(HostContext ctx, int id, int position) {
  char label[32];
  Load(kLabelFirst + position - 1, label, sizeof label);
  RaiseMessage(ctx, id, label);
}

std::uint16_t FailPosition(HostContext ctx, int id, int position) {
  RaisePosition(ctx, id, position);
  return 1;
}

int ErrnoMessageId(int errorNumber, char* destination) {
  int id = ErrnoId(errorNumber);
  if (destination) Load(id, destination, kLoadBuffer);
  return id;
}

int SystemErrorMessageId(unsigned long code, char* destination) {
  int id = SystemErrorId(code);
  if (destination) Load(id, destination, kLoadBuffer);
  return id;
}

std::uint16_t FailErrno(HostContext ctx, int errorNumber, const char* name) {
  char reason[kLoadBuffer];
  ErrnoMessageId(errorNumber, reason);
  return FailWithText(ctx, reason, name);
}

std::uint16_t FailSystemError(HostContext ctx, unsigned long code, const char* name) {
  char reason[kLoadBuffer];
  SystemErrorMessageId(code, reason);
  return FailWithText(ctx, reason, name);
}

}  // namespace mcr
