// IShellExtInit::Initialize: the selection and the drop target.
#include "brxlib/owners.h"
#include "shellext/drop_files.h"
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
    if (pidlFolder)
        SHGetPathFromIDListW(pidlFolder, TargetFolder);
    TargetFolder[MAX_PATH] = 0;
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
