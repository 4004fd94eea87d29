// The workstation's link to its data-analysis task, imported by ordinal.
// Every operation that takes an error buffer fills it with a message when
// it fails; the buffer is never passed with its size.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace mcr {
// The error buffer every caller provides.
constexpr std::size_t kLinkErrorSize = 1004;
}  // namespace mcr

extern "C" {
// Ordinal 3: opens a connection; 0 when it is open.
int WINAPI DaConnect(HWND owner, const char* tag, char* error);
// Ordinal 4: closes it; the result means nothing.
int WINAPI DaDisconnect(HWND owner, const char* tag, char* error);
// Ordinals 5 and 6: one command with its text; 0 when done, *status set.
int WINAPI DaSendCommand(HWND owner, const char* tag, char* error, std::int32_t code,
                         const char* text, std::int32_t* status);
int WINAPI DaSendCommandAlt(HWND owner, const char* tag, char* error, std::int32_t code,
                            const char* text, std::int32_t* status);
// Ordinal 8: opens a batch, importing from source when import is 1.
int WINAPI DaOpenBatch(HWND owner, const char* tag, char* error, const char* batch,
                       const char* source, int import, int methodAndData, int open);
// Ordinals 9 and 12: wait for the task's run; 0 when done.
int WINAPI DaWaitRun(HWND owner, const char* tag, char* error);
int WINAPI DaWaitRunAlt(HWND owner, const char* tag, char* error);
// Ordinal 10: non-zero while the task's method is being edited.
int WINAPI DaIsEditMode(HWND owner, const char* tag, char* error);
// Ordinal 11: non-zero while the task runs; no connection needed.
int WINAPI DaIsRunning(void);
// Ordinal 13: brings the task's window to the front; no connection needed.
int WINAPI DaBringToTop(void);
}
