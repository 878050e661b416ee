// Running a command picked in the Windows 11 menu.
#pragma once
#include <windows.h>
#include <shobjidl.h>

// Captures the file-system paths of items into a new selection and runs the
// command of code for it: the list is written and the archiver (or rundll32
// for a conversion) started before this returns. A refusal's box, owned by
// owner, is shown on a thread of its own that holds the module (and, in the
// package's own surrogate, the process) until it is answered; the result is
// the command's.
HRESULT RunCommandOnItems(int code, IShellItemArray* items, HWND owner);
