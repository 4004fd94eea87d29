// The workstation's dialog library, imported by ordinal.
#pragma once
#include <windows.h>

extern "C" {
// Ordinal 102: prepares the library (and its DLGINFO control class).
void WINAPI DlgFrameInit(void);
// Ordinal 14: lets the user pick a method; dir and file hold 260 bytes each.
int WINAPI SelectMethodFile(HWND owner, int kind, const char* title, const char* pattern,
                            char* dir, char* file, DWORD* result);
// Ordinal 24: the acquisition mode of a method.
int WINAPI QueryMethAcqMode(const char* methodPath);
}
