// A stand-in for the HTML Help control that only records what it is asked to
// show: tests point the control's registration at it (see help.h).
#pragma once
#include <windows.h>

struct RecordedHelpCall {
  HWND window;
  char file[2 * MAX_PATH];
  UINT command;
  DWORD_PTR data;
};

extern "C" {
using RecordedHelpCountFn = int(WINAPI*)();
using RecordedHelpCallFn = const RecordedHelpCall*(WINAPI*)(int index);
}
