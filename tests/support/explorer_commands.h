// The Windows 11 menu's entry through the built DLL, seen as a host of
// IExplorerCommand sees it.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "testkit/com_ptr.h"

extern const CLSID MorvaneCommandClsid;

// A new "Morvane" entry through DllGetClassObject and its class factory.
ComPtr<IExplorerCommand> CreateRootCommand();
// The shell items of paths, in one array, as Explorer hands a selection over.
ComPtr<IShellItemArray> ItemArray(const std::vector<std::wstring>& paths);

// An item array of the tests' own that hands each path out as Windows'
// array does (GetDisplayName with SIGDN_FILESYSPATH gives it whole, and
// BindToHandler a data object with the paths' drop list): Wine's arrays cut
// a path past 259 units, cannot hold "name." or "name ", and give no data
// object. An empty path stands for an item that is no file (no
// SFGAO_FILESYSTEM, no file-system path).
ComPtr<IShellItemArray> PathItemArray(const std::vector<std::wstring>& paths);
// How many paths the tests' arrays have handed out item by item, so far.
long PathItemReads();

// The tree under the root for items: each object's title (": hidden" when
// hidden), each level indented by two more; flags, the root's canonical
// name and the hidden ones' sub-commands are checked on the way.
std::wstring DescribeCommands(IShellItemArray* items);
// The object at "entry/command" (titles) under root (by default a new one
// from the DLL), or null with a failure: assert before using it.
ComPtr<IExplorerCommand> FindCommand(const std::wstring& titles, IExplorerCommand* root = nullptr);

// A site whose window (IOleWindow) is a window of the calling thread; on
// the test's stack, its count only shows that every holder let go.
struct WindowSite : IOleWindow {
    HWND window = CreateWindowExW(0, L"STATIC", L"site", WS_OVERLAPPED, 0, 0, 9, 9, 0, 0, 0, 0);
    LONG count = 1;
    ~WindowSite() { DestroyWindow(window); }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        const bool ours = IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IUnknown);
        *ppv = ours ? (AddRef(), this) : nullptr;
        return ours ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&count); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&count); }
    STDMETHODIMP GetWindow(HWND* hwnd) override { return *hwnd = window, S_OK; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
};
