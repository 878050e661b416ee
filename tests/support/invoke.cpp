#include <windows.h>
#include <shellapi.h>

#include "support/invoke.h"

HRESULT InvokeOffset(IContextMenu* menu, UINT offset)
{
    CMINVOKECOMMANDINFOEX info = {};
    info.cbSize = sizeof(info);
    info.fMask = CMIC_MASK_UNICODE;
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
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(parameter);
    wchar_t className[64] = {};
    wchar_t title[256] = {};
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, title, 256);
    if (std::wstring(className) == L"#32770" && *search->caption == title) {
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

std::wstring MessageBoxText(HWND box)
{
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return text;
}

void PressOk(HWND box)
{
    SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}
