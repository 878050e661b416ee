// Picking a menu item as Explorer does, and the windows a conversion shows.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

// InvokeCommand with a CMINVOKECOMMANDINFOEX whose verb is the offset.
HRESULT InvokeOffset(IContextMenu* menu, UINT offset);
// InvokeCommand with a verb string.
HRESULT InvokeVerb(IContextMenu* menu, const char* verb);

// Waits (at most timeoutMs) for a message box with this caption in any
// process; returns it, or null.
HWND WaitForMessageBox(const std::wstring& caption, DWORD timeoutMs);
std::wstring MessageBoxText(HWND box);
void PressOk(HWND box);

// Polls until predicate() holds or timeoutMs passes; returns its last value.
template <class Predicate>
bool WaitUntil(Predicate predicate, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (predicate())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return predicate();
        Sleep(50);
    }
}
