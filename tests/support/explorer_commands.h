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

// The tree under the root for items: each object's title (": hidden" when
// hidden), each level indented by two more; flags, the root's canonical
// name and the hidden ones' sub-commands are checked on the way.
std::wstring DescribeCommands(IShellItemArray* items);
// The object at "entry/command" (titles) under root (by default a new one
// from the DLL), or null.
ComPtr<IExplorerCommand> FindCommand(const std::wstring& titles, IExplorerCommand* root = nullptr);

// A site whose window (IOleWindow) is a window of the calling thread.
class WindowSite : public IOleWindow {
public:
    WindowSite();
    ~WindowSite();
    HWND window() const { return m_window; }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    HWND m_window;
    LONG m_refCount;
};
