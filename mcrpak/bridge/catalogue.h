// The message catalogue and the way handlers report errors through it.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "boundary.h"

namespace mcr {

// Message ids the handlers share.
enum MessageId : int {
  kMsgCannotOpen = 1002,
  kMsgCannotRead = 1003,
  kMsgCannotWrite = 1004,
  kMsgGiveVariable = 1006,
  kMsgTooLong = 1007,
  kMsgOmitted = 1008,
  kMsgUndefined = 1009,
  kMsgBelowMin = 1010,
  kMsgOutOfRange = 1011,
  kMsgNeedVariable = 1012,
  kMsgNeedString = 1013,
  kMsgHubexFailed = 1014,
  kMsgV2VarsFailed = 1015,
  kMsgSeqCannotOpen = 1016,
  kMsgNotAParameter = 1017,
  kMsgInvalidFile = 1019,
  kMsgNoGlobalMemory = 1020,
  kMsgGiveDataFile = 1023,
  kMsgNoResourceMemory = 1024,
  kMsgInvalidVariable = 1025,
  kMsgInvalidMethod = 1036,
  kLabelFirst = 1204,  // "第 1"; 1205 to 1208 follow
  kMsgQcInfoUnavailable = 1018,
  kMsgInvalidTuneStep = 1032,
  kMsgGiveTuneFlag = 1033,
  kMsgGiveMethodOrCalib = 1034,
  kMsgInvalidCalibration = 1035,
  kLabelNotQuantified = 1231,
  kLabelQcInfo = 1232,
  kMsgQcModeFiles = 1233,
  kLabelLevel = 1242,
  kLabelManual = 1243,
  kMsgNoMethodPath = 1021,
  kMsgCannotWriteQcUnrep = 1022,
  kLabelNextSample = 1248,  // the failure actions of the QC tune criteria; 1249 "中止" follows
};

// The size the platform's formatter fills at most (terminator included).
constexpr int kMessageMax = 1024;

// Loads text id into the library's one static buffer (overwritten by the
// next call); a missing id gives "".
const char* LoadMessage(int id);

// Shows text id through the host without failing the macro.
void ShowMessageById(HostContext ctx, int id);

// Text id with its places filled (for the macro error or a message box of
// the library's own): arguments shortened to stay readable, never cut inside
// a double-byte character (msgformat.h).
std::string MessageText(int id, ...);
// The same in at most limit bytes (texts built in a fixed buffer): the
// arguments are shortened further, the catalogue's text stays whole.
std::string MessageTextWithin(std::size_t limit, int id, ...);

// Raises message id, formatted with the arguments, as the macro error.
void RaiseMessage(HostContext ctx, int id, ...);
void RaiseMessageV(HostContext ctx, int id, va_list args);
// RaiseMessage, then the handler's failure status 1.
std::uint16_t Fail(HostContext ctx, int id, ...);

// The common argument failures: position is the parameter's place (1 to 5).
std::uint16_t FailOutOfRange(HostContext ctx, int position, int lo, int hi);
std::uint16_t FailBelow(HostContext ctx, int position, int min);
std::uint16_t FailPosition(HostContext ctx, int id, int position);  // 1012, 1013
void RaisePosition(HostContext ctx, int id, int position);

// Message ids for error numbers; when destination is given (at least 256
// bytes) the text is copied there.
int ErrnoMessageId(int errorNumber, char* destination);
int SystemErrorMessageId(unsigned long code, char* destination);

// Reports "<error text>: <name>" as the macro error; returns 1.
std::uint16_t FailErrno(HostContext ctx, int errorNumber, const char* name);
std::uint16_t FailSystemError(HostContext ctx, unsigned long code, const char* name);

}  // namespace mcr
