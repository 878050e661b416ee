// The Windows 11 menu's entry: IExplorerCommand objects that a packaged host
// (dllhost.exe, by the package's COM declaration) creates through
// DllGetClassObject. Windows groups the verbs of a package with more than
// one into a flyout named after the package, so the package declares one
// verb, "Morvane", which opens 解凍, 圧縮 and 変換; their sub-commands run
// the classic commands through CShellExt.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include "brxlib/memory.h"
#include "shellext/menu_tables.h"

class CShellExt;

extern const CLSID CLSID_MorvaneCommand;

// Class creator for the factory: a new "Morvane" entry, asked for riid.
HRESULT CreateMorvaneCommand(REFIID riid, void** ppv);

// Where an object sits in the menu.
enum class CommandLevel { Root, Entry, Command };
enum class MenuEntry { Extract, Compress, Convert };

// One object of the menu: the root, one of its three entries, or a command
// of code under an entry. Its label is a module constant.
struct CommandNode {
    CommandLevel level;
    MenuEntry entry;
    MenuCommand command;
};

// What every object of the menu shares: lifetime, identity, the host's site.
// Counted in ModuleLockCount from birth to death.
class CExplorerCommandBase : public IExplorerCommand, public IObjectWithSite {
public:
    CExplorerCommandBase();
    virtual ~CExplorerCommandBase();
    CExplorerCommandBase(const CExplorerCommandBase&) = delete;
    CExplorerCommandBase& operator=(const CExplorerCommandBase&) = delete;
    // Objects are made by NewCommandObject; the deleting destructor gives
    // their memory back to brxlib.
    static void operator delete(void* block) { brxlib::Free(block); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetToolTip(IShellItemArray* psiItemArray, LPWSTR* ppszInfotip) override;

    // IObjectWithSite: the host's site gives the window a refusal's box is owned by.
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID riid, void** ppv) override;

protected:
    IUnknown* Site() const { return m_site; }

private:
    LONG m_refCount;
    IUnknown* m_site;
};

// The object of node, holding one reference and a reference to site (which
// may be null); null when memory ran out.
IExplorerCommand* CreateCommandObject(const CommandNode& node, IUnknown* site);

// The enumerator of a list of nodes, over a copy of it; each Next hands out
// new objects that take site. Null when memory ran out.
IEnumExplorerCommand* CreateSubCommandEnum(const CommandNode* nodes, int count, IUnknown* site);

// The title of a menu label as the new menu shows it: without its
// access-key suffix ("解凍(&E)" -> "解凍"), in memory from CoTaskMemAlloc.
HRESULT DuplicateTitle(const WCHAR* label, LPWSTR* title);

// The window of the host's site (IOleWindow), or null without one.
HWND SiteWindow(IUnknown* site);

// The file-system paths of items into ext's selection, by the rules
// Initialize follows for a dropped path; the selection is emptied on
// failure, and a path that fits no form is named in ext's Refusal.
HRESULT CaptureItems(IShellItemArray* items, CShellExt& ext);

// Captures the file-system paths of items into a new selection and runs the
// command of code for it on a thread of its own, with owner as the owner of
// a refusal's box; returns once the thread is started. A path that fits no
// form is told on that thread and the command does not run.
HRESULT StartCommandOnItems(int code, IShellItemArray* items, HWND owner);
