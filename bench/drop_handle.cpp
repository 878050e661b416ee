#include "drop_handle.h"

#include <string.h>

namespace {

class SharedDropObject : public IDataObject {
public:
    explicit SharedDropObject(HGLOBAL drop) : m_ref(1), m_drop(drop) {}
    ~SharedDropObject() { GlobalFree(m_drop); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDataObject))
            return E_NOINTERFACE;
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_ref; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG n = --m_ref;
        if (!n)
            delete this;
        return n;
    }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        // ReleaseStgMedium then releases this object instead of freeing the block.
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = m_drop;
        medium->pUnkForRelease = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        return format->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ULONG m_ref;
    HGLOBAL m_drop;
};

}  // namespace

std::vector<std::wstring> NumberedPaths(const std::wstring& folder, int count)
{
    std::vector<std::wstring> paths;
    paths.reserve(static_cast<size_t>(count));
    wchar_t name[64];
    for (int i = 1; i <= count; ++i) {
        swprintf(name, 64, L"\\Document %06d of the selection.txt", i);
        paths.push_back(folder + name);
    }
    return paths;
}

HGLOBAL BuildDropHandle(const std::vector<std::wstring>& paths)
{
    size_t units = 1;
    for (const std::wstring& path : paths)
        units += path.size() + 1;
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
    if (!handle)
        return nullptr;
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(handle));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    wchar_t* next = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        memcpy(next, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        next += path.size() + 1;
    }
    GlobalUnlock(handle);
    return handle;
}

ComPtr<IDataObject> DropDataObject(HGLOBAL dropHandle)
{
    return ComPtr<IDataObject>(new SharedDropObject(dropHandle));
}
