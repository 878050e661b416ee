// Picking a menu item as Explorer does, and the windows a conversion shows.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

// InvokeCommand with a CMINVOKECOMMANDINFOEX whose verb is the offset, from
// the owner window given, with extra fMask flags (CMIC_MASK_FLAG_NO_UI).
HRESULT InvokeOffset(IContextMenu* menu, UINT offset, HWND owner = nullptr, DWORD extraMask = 0);
// InvokeCommand with a verb string.
HRESULT InvokeVerb(IContextMenu* menu, const char* verb);

// Waits (at most timeoutMs) for a message box with this caption in any
// process; returns it, or null.
HWND WaitForMessageBox(const std::wstring& caption, DWORD timeoutMs);
// A box with this caption open in a process started from this one, or in
// this one too (ownProcess); null when there is none.
HWND FindBoxStartedHere(const std::wstring& caption, bool ownProcess);
std::wstring MessageBoxText(HWND box);
void PressOk(HWND box);

// A message box as the user saw it.
struct SeenBox {
    std::wstring text;
    HWND owner;
    bool warningIcon;  // MB_ICONWARNING
    bool okOnly;       // MB_OK: one button
};
SeenBox DescribeBox(HWND box);

// Answers, from a thread of its own, every "Morvane" message box that this
// process shows while it lives (a box blocks the thread that shows it), and
// keeps what each said.
class BoxAnswerer {
public:
    BoxAnswerer();
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    std::vector<SeenBox> Seen() const;

private:
    static DWORD WINAPI Run(void* self);
    HANDLE m_thread;
    volatile LONG m_stop;
    mutable CRITICAL_SECTION m_lock;
    std::vector<SeenBox> m_seen;
};

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
