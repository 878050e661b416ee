#pragma once
#include <windows.h>

// The archiver's compression-confirmation window: shown when it does not
// take the source for an archive.
extern const WCHAR ConfirmWindowTitle[];

// EnumThreadWindows callback; lParam is the address of a bool set when the
// window is found (and closed).
BOOL CALLBACK ConfirmDialogProbe(HWND window, LPARAM flag);
