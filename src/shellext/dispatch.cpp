// IContextMenu::InvokeCommand and GetCommandString: both read the menu item
// list that the latest QueryContextMenu recorded.
#include <windows.h>
#include <shellapi.h>

#include "shellext/menu_tables.h"
#include "shellext/shell_ext.h"

STDMETHODIMP CShellExt::InvokeCommand(CMINVOKECOMMANDINFO* pici)
{
    if (!pici)
        return E_INVALIDARG;
    // Only offsets are handled. A verb string can sit at any address, one
    // above 4 GB with bits 16 to 31 clear too: every bit above the low 16 counts.
    if (!IS_INTRESOURCE(pici->lpVerb))
        return E_INVALIDARG;
    if (pici->cbSize >= sizeof(CMINVOKECOMMANDINFOEX) && (pici->fMask & CMIC_MASK_UNICODE) &&
        !IS_INTRESOURCE(reinterpret_cast<CMINVOKECOMMANDINFOEX*>(pici)->lpVerbW))
        return E_INVALIDARG;
    const int index = LOWORD(reinterpret_cast<ULONG_PTR>(pici->lpVerb));
    if (index >= MenuItems.count)
        return E_INVALIDARG;
    return RunCommand(MenuItems.data[index].code, pici->hwnd, !(pici->fMask & CMIC_MASK_FLAG_NO_UI));
}

HRESULT CShellExt::RunCommand(int code, HWND owner, bool mayShowUi)
{
    const HRESULT hr = StartCommand(code);
    if (FAILED(hr) && mayShowUi)
        Refusal.Show(owner);
    Refusal.Clear();
    return hr;
}

HRESULT CShellExt::StartCommand(int code)
{
    Refusal.Clear();
    return code >= FirstConversionCode && code <= LastConversionCode ? LaunchConversion(code)
                                                                      : RunArchiverCommand(code);
}

STDMETHODIMP CShellExt::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName, UINT cchMax)
{
    // ANSI and validation requests are refused; verb and help text are both the label.
    if (uType != GCS_VERBW && uType != GCS_HELPTEXTW)
        return E_INVALIDARG;
    if (idCmd >= static_cast<UINT_PTR>(MenuItems.count))
        return E_INVALIDARG;
    if (!pszName)
        return E_INVALIDARG;
    lstrcpynW(reinterpret_cast<WCHAR*>(pszName), MenuItems.data[idCmd].label, static_cast<int>(cchMax));
    return S_OK;
}
