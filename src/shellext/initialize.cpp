// IShellExtInit::Initialize: the selection and the drop target.
#include "brxlib/path_forms.h"
#include "brxlib/owners.h"
#include "brxlib/text_builder.h"
#include "shellext/drop_files.h"
#include "shellext/folder_path.h"
#include "shellext/shell_ext.h"

STDMETHODIMP CShellExt::Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY)
{
    if (m_dataObject) {
        m_dataObject->Release();
        m_dataObject = nullptr;
    }
    // A folder-background request comes without a data object.
    if (!pdtobj)
        return E_POINTER;
    m_dataObject = pdtobj;
    m_dataObject->AddRef();
    Selection.clear();

    const HRESULT hr = ReadSelection(pdtobj);
    if (FAILED(hr))
        return hr;

    ZeroMemory(TargetFolder, sizeof(TargetFolder));
    // Empty for a plain context menu (no folder) and for folders outside the file system.
    if (!pidlFolder || SHGetPathFromIDListW(pidlFolder, TargetFolder))
        return S_OK;
    ZeroMemory(TargetFolder, sizeof(TargetFolder));
    const HRESULT target = ReadLongTargetFolder(pidlFolder);
    if (FAILED(target))
        Selection.clear();
    return target;
}

// SHGetPathFromIDListW fails both for a folder outside the file system and
// for one whose path does not fit MAX_PATH. The second still has a path: it
// travels in its short form, or the menu is refused, since output put
// anywhere else than the drop folder would surprise the user.
HRESULT CShellExt::ReadLongTargetFolder(PCIDLIST_ABSOLUTE pidlFolder)
{
    WCHAR* path = nullptr;
    if (FAILED(GetFileSystemPath(pidlFolder, &path)) || !path)
        return S_OK;
    const size_t length = brxlib::TextLength(path);
    // A path that fits would have come from SHGetPathFromIDListW: not a folder to drop into.
    const bool stored = length <= MAX_PATH - 1 || StoreShortForm(path, length, TargetFolder);
    const bool outOfMemory = !stored && GetLastError() == ERROR_NOT_ENOUGH_MEMORY;
    CoTaskMemFree(path);
    if (!stored) {
        ZeroMemory(TargetFolder, sizeof(TargetFolder));
        return outOfMemory ? E_OUTOFMEMORY : HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    return S_OK;
}

HRESULT CShellExt::ReadSelection(IDataObject* dataObject)
{
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    brxlib::UniqueStgMedium stg;
    if (FAILED(dataObject->GetData(&format, &stg.medium)) || stg.medium.tymed != TYMED_HGLOBAL)
        return E_INVALIDARG;
    brxlib::LockedGlobal drop(stg.medium.hGlobal);
    if (!drop.data())
        return E_INVALIDARG;
    return ReadDropFiles(drop.data(), drop.size(), Selection);
}
