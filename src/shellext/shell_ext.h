// CShellExt: the one COM object that Explorer gets, as context-menu handler
// and as drag-and-drop handler alike.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "brxlib/simple_array.h"
#include "shellext/refusal.h"

class CShellExt final : public IShellExtInit, public IContextMenu {
public:
    // One selected path: 260 characters and the terminator, zero after it.
    struct PATH_INFO {
        WCHAR path[MAX_PATH + 1];
    };
    // One command item of the menu; its position in the list is its command offset.
    struct MENU_ITEM_INFO {
        const WCHAR* label;  // module constant, never freed
        int code;            // CommandCode
    };

    // A new object holding one reference, counted in ModuleLockCount; null
    // when memory ran out.
    static CShellExt* Create();

    CShellExt();
    // Releases the data object, lowers ModuleLockCount, frees both arrays.
    ~CShellExt();
    CShellExt(const CShellExt&) = delete;
    CShellExt& operator=(const CShellExt&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                  UINT uFlags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* pici) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName,
                                  UINT cchMax) override;

    // The command of code for the selection, as the user picked it from a
    // menu: a refusal is told in a message box owned by owner, unless the
    // caller allows no user interface.
    HRESULT RunCommand(int code, HWND owner, bool mayShowUi);
    // The command of code for the selection; a refusal stays in Refusal.
    HRESULT StartCommand(int code);
    // Extract and compress commands, codes 0 to 18.
    HRESULT RunArchiverCommand(int code);
    // Conversion targets, codes 19 to 25, run out of process through rundll32.
    HRESULT LaunchConversion(int code);
    // The conversion worker, in the rundll32 process.
    void ConvertArchive(int code, const WCHAR* source, const WCHAR* target);
    // How the selection's paths go into a list file: each in its short form,
    // or as they stand (paths already in the form the archiver is to read).
    enum class ListForm { ShortenPaths, AsStored };
    // Writes the selection into a new list file named into name[MAX_PATH + 1];
    // empties the selection when the file was written. On failure no file is
    // left, the selection is as it was, the last error says why
    // (ERROR_NO_UNICODE_TRANSLATION for a path the ANSI code page cannot hold,
    // ERROR_INVALID_NAME for one Win32 would read as another file) and
    // Refusal tells the user, except when memory ran out.
    bool WriteListFile(WCHAR* name, ListForm form = ListForm::ShortenPaths);

    brxlib::simple_array<PATH_INFO> Selection;
    WCHAR TargetFolder[MAX_PATH + 1];
    brxlib::simple_array<MENU_ITEM_INFO> MenuItems;
    // Why the latest command did not run, for the user.
    CommandRefusal Refusal;
    // The thread or process that starts a command may end right after it
    // (the Windows 11 menu's surrogate): ShellExecuteExW then finishes the
    // start before it returns (SEE_MASK_NOASYNC).
    bool StartBeforeReturn = false;
    // The mask a command's ShellExecuteExW takes.
    ULONG ExecuteMask() const { return SEE_MASK_FLAG_NO_UI | (StartBeforeReturn ? SEE_MASK_NOASYNC : 0); }

    // The paths of the data object's CF_HDROP appended to Selection, in one
    // pass; a path that fits no form fails it (PathTooLongResult), unnamed.
    HRESULT ReadSelection(IDataObject* dataObject);

private:
    HRESULT ReadLongTargetFolder(PCIDLIST_ABSOLUTE pidlFolder);

    LONG m_refCount;
    IDataObject* m_dataObject;
};
