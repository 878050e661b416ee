#include "menu_picture.h"

#include <exception>
#include <thread>

#include "exit_codes.h"
#include "menu_windows.h"
#include "owners.h"
#include "screen_capture.h"
#include "text_out.h"

namespace menuhost {

namespace {

const wchar_t OwnerClass[] = L"MenuHostOwner";
// Posted by the capture thread: EndMenu ends the menu of the thread that calls it.
const UINT WM_END_MENU = WM_APP + 1;
const int MenuX = 40;
const int MenuY = 40;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_END_MENU) {
        EndMenu();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class OwnerWindow {
public:
    OwnerWindow()
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = OwnerClass;
        RegisterClassExW(&wc);
        hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, OwnerClass, L"menuhost", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                wc.hInstance, nullptr);
        if (!hwnd_)
            throw HostError(kExitPictureFailed, L"cannot create the owner window");
    }
    ~OwnerWindow() { DestroyWindow(hwnd_); }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// Key presses that open a top-level popup: Down to each selectable item up to
// it (the first Down selects the first item), then Right.
int DownPresses(const std::vector<MenuNode>& tree, const std::wstring& openLabel)
{
    int selectable = 0;
    for (const MenuNode& node : tree) {
        if (node.kind == MenuNode::Separator)
            continue;
        ++selectable;
        if (node.kind == MenuNode::Popup && (openLabel.empty() || node.label == openLabel))
            return selectable;
    }
    if (!openLabel.empty())
        throw HostError(kExitNoSuchItem, L"no top-level popup \"" + openLabel + L"\"");
    return 0;
}

// The capture thread's work: wait for the menu, open a popup, capture, end the menu.
struct Capture {
    HWND owner;
    std::wstring path;
    int downPresses;
    std::exception_ptr error;
    int menusShown = 0;
    Image image;

    void Run()
    {
        try {
            Picture();
        } catch (...) {
            error = std::current_exception();
        }
        PostMessageW(owner, WM_END_MENU, 0, 0);
    }

    void Picture()
    {
        if (!WaitForMenuWindows(1, 10000))
            throw HostError(kExitPictureFailed, L"the menu did not appear within 10 s");
        SettleDrawing();
        if (downPresses > 0)
            OpenPopup();
        menusShown = static_cast<int>(VisibleMenuWindows().size());
        image = CaptureScreen(MenuArea());
        WritePng(path, image);
    }

    void OpenPopup()
    {
        const std::vector<HWND> menus = VisibleMenuWindows();
        for (int i = 0; i < downPresses; ++i)
            PostMessageW(menus.front(), WM_KEYDOWN, VK_DOWN, 1);
        PostMessageW(menus.front(), WM_KEYDOWN, VK_RIGHT, 1);
        if (!WaitForMenuWindows(2, 5000))
            Err(L"menuhost: the popup did not open within 5 s; picturing the top level only");
        SettleDrawing();
    }
};

}  // namespace

void PictureMenu(HMENU menu, const std::vector<MenuNode>& tree, const std::wstring& pngPath,
                 const std::wstring& openLabel)
{
    OwnerWindow owner;
    SetForegroundWindow(owner.get());
    Capture capture{owner.get(), pngPath, DownPresses(tree, openLabel), nullptr};
    std::thread worker(&Capture::Run, &capture);
    // TPM_RETURNCMD: the chosen id comes back instead of a WM_COMMAND, so nothing runs.
    const BOOL chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON,
                                         MenuX, MenuY, owner.get(), nullptr);
    worker.join();  // every wait of the worker has a limit
    Out(L"TrackPopupMenuEx = " + std::to_wstring(chosen));
    if (capture.error)
        std::rethrow_exception(capture.error);
    Out(L"picture " + pngPath + L" " + std::to_wstring(capture.image.width) + L"x" +
        std::to_wstring(capture.image.height) + L", menus shown " + std::to_wstring(capture.menusShown));
}

}  // namespace menuhost
