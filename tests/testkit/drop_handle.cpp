#include "testkit/drop_handle.h"

#include <string.h>

namespace {

// final: Release deletes through this type, which IDataObject's lack of a
// virtual destructor would otherwise make unsafe for a derived class.
class DropHandleObject final : public IDataObject {
public:
    DropHandleObject(HGLOBAL drop, DropHandout handout) : m_ref(1), m_drop(drop), m_handout(handout) {}
    ~DropHandleObject()
    {
        if (m_drop)
            GlobalFree(m_drop);
    }

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
        if (!m_drop || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        if (m_handout == DropHandout::Block) {
            // ReleaseStgMedium then releases this object instead of freeing the block.
            medium->hGlobal = m_drop;
            medium->pUnkForRelease = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        medium->hGlobal = Copy(m_drop);
        medium->pUnkForRelease = nullptr;
        return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        return m_drop && format->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC;
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
    static HGLOBAL Copy(HGLOBAL block)
    {
        const SIZE_T size = GlobalSize(block);
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
        if (!copy)
            return nullptr;
        memcpy(GlobalLock(copy), GlobalLock(block), size);
        GlobalUnlock(block);
        GlobalUnlock(copy);
        return copy;
    }

    ULONG m_ref;
    HGLOBAL m_drop;
    DropHandout m_handout;
};

// The path in the ANSI code page with its terminating zero.
std::string AnsiWithTerminator(const std::wstring& path)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, &ansi[0], n, nullptr, nullptr);
    return ansi;
}

}  // namespace

HGLOBAL BuildDropHandle(const std::vector<std::wstring>& paths, bool wide)
{
    std::string bytes;
    for (const std::wstring& path : paths) {
        if (wide)
            bytes.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
        else
            bytes += AnsiWithTerminator(path);
    }
    bytes.append(wide ? sizeof(wchar_t) : 1, '\0');
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes.size());
    if (!handle)
        return nullptr;
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(handle));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = wide;
    memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), bytes.data(), bytes.size());
    GlobalUnlock(handle);
    return handle;
}

ComPtr<IDataObject> DropHandleDataObject(HGLOBAL dropHandle, DropHandout handout)
{
    return ComPtr<IDataObject>(new DropHandleObject(dropHandle, handout));
}
