// The entries of the Windows 11 top-level menu: IExplorerCommand objects that
// a packaged host (dllhost.exe, by the package's COM declaration) creates
// through DllGetClassObject. Each root entry is extract, compress or
// convert; its sub-commands run the classic commands through CShellExt.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include "brxlib/memory.h"
#include "shellext/menu_tables.h"

extern const CLSID CLSID_MorvaneExtractCommand;
extern const CLSID CLSID_MorvaneCompressCommand;
extern const CLSID CLSID_MorvaneConvertCommand;

// Class creators for the factory: a new root entry, asked for riid.
HRESULT CreateExtractCommand(REFIID riid, void** ppv);
HRESULT CreateCompressCommand(REFIID riid, void** ppv);
HRESULT CreateConvertCommand(REFIID riid, void** ppv);

// What every command object shares: identity, lifetime and the methods that
// have nothing to say. Counted in ModuleLockCount from birth to death.
class CExplorerCommandBase : public IExplorerCommand {
public:
    CExplorerCommandBase();
    virtual ~CExplorerCommandBase();
    CExplorerCommandBase(const CExplorerCommandBase&) = delete;
    CExplorerCommandBase& operator=(const CExplorerCommandBase&) = delete;
    // Objects are made with brxlib::Allocate and placement new; the
    // deleting destructor gives them back there.
    static void operator delete(void* block) { brxlib::Free(block); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetToolTip(IShellItemArray* psiItemArray, LPWSTR* ppszInfotip) override;

private:
    LONG m_refCount;
};

// A sub-command: one classic command of code, titled from its menu label.
// Returns it holding one reference, or null when memory ran out.
IExplorerCommand* CreateSubCommand(const MenuCommand& command);

// The enumerator of a root's sub-commands, over a copy of the list; each
// Next hands out new sub-command objects. Null when memory ran out.
IEnumExplorerCommand* CreateSubCommandEnum(const MenuCommand* commands, int count);

// The title of a menu label as the new menu shows it: without its
// access-key suffix ("解凍(&E)" -> "解凍"), in memory from CoTaskMemAlloc.
HRESULT DuplicateTitle(const WCHAR* label, LPWSTR* title);

// Runs the command of code for the file-system paths of items, captured as
// Initialize captures a selection. An item without one refuses the command.
HRESULT RunCommandOnItems(int code, IShellItemArray* items);
