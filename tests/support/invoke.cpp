#include <windows.h>
#include <shellapi.h>

#include "support/invoke.h"

#include <algorithm>

#include "support/environment.h"

HRESULT InvokeOffset(IContextMenu* menu, UINT offset, HWND owner, DWORD extraMask)
{
    CMINVOKECOMMANDINFOEX info = {};
    info.cbSize = sizeof(info);
    info.fMask = CMIC_MASK_UNICODE | extraMask;
    info.hwnd = owner;
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.lpVerbW = MAKEINTRESOURCEW(offset);
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
}

HRESULT InvokeVerb(IContextMenu* menu, const char* verb)
{
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = verb;
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
}

namespace {

struct BoxSearch {
    const std::wstring* caption;
    HWND found;
    bool ownProcess = false;
    const std::vector<DWORD>* processes = nullptr;  // or in one of these
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(parameter);
    wchar_t className[64] = {};
    wchar_t title[256] = {};
    GetClassNameW(window, className, 64);
    // Not GetWindowTextW: for a window of another thread of this process it
    // sends WM_GETTEXT, and waits for a thread that may be waiting for us.
    InternalGetWindowText(window, title, 256);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    const bool anyProcess = !search->ownProcess && !search->processes;
    const bool listed = search->processes &&
                        std::find(search->processes->begin(), search->processes->end(), process) != search->processes->end();
    if (std::wstring(className) == L"#32770" && *search->caption == title && IsWindowVisible(window) &&
        (anyProcess || listed || (search->ownProcess && process == GetCurrentProcessId()))) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND WaitForMessageBox(const std::wstring& caption, DWORD timeoutMs)
{
    BoxSearch search = {&caption, nullptr};
    WaitUntil([&] {
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, timeoutMs);
    return search.found;
}

HWND FindBoxStartedHere(const std::wstring& caption, bool ownProcess)
{
    const std::vector<DWORD> processes = ProcessesStartedHere();
    BoxSearch search = {&caption, nullptr, ownProcess, &processes};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring MessageBoxText(HWND box)
{
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return text;
}

void PressOk(HWND box)
{
    // Bounded: a box whose thread stops answering fails the test that waits
    // for it to go, instead of holding this process until ctest's time-out.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)),
                        SMTO_NORMAL, 10000, &result);
}

SeenBox DescribeBox(HWND box)
{
    // The icon control of a message box is 0x440 on Windows and Wine alike;
    // the system's shared icons come back as the same handle.
    const HICON icon = reinterpret_cast<HICON>(SendDlgItemMessageW(box, 0x440, STM_GETICON, 0, 0));
    return SeenBox{MessageBoxText(box), GetWindow(box, GW_OWNER), icon && icon == LoadIconW(nullptr, IDI_WARNING),
                   GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr};
}

BoxAnswerer::BoxAnswerer() : m_thread(nullptr), m_stop(0)
{
    InitializeCriticalSection(&m_lock);
    m_thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

BoxAnswerer::~BoxAnswerer()
{
    InterlockedExchange(&m_stop, 1);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    DeleteCriticalSection(&m_lock);
}

std::vector<SeenBox> BoxAnswerer::Seen() const
{
    EnterCriticalSection(&m_lock);
    std::vector<SeenBox> seen = m_seen;
    LeaveCriticalSection(&m_lock);
    return seen;
}

DWORD WINAPI BoxAnswerer::Run(void* self)
{
    BoxAnswerer* answerer = static_cast<BoxAnswerer*>(self);
    const std::wstring caption = L"Morvane";
    while (!answerer->m_stop) {
        BoxSearch search = {&caption, nullptr, true};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (!search.found) {
            Sleep(20);
            continue;
        }
        const SeenBox seen = DescribeBox(search.found);
        EnterCriticalSection(&answerer->m_lock);
        answerer->m_seen.push_back(seen);
        LeaveCriticalSection(&answerer->m_lock);
        PressOk(search.found);
        // Gone before the next look, so that one box is not counted twice.
        WaitUntil([&] { return !IsWindow(search.found) || !IsWindowVisible(search.found); }, 5000);
    }
    return 0;
}
