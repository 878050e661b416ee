#include "support/data_objects.h"

#include <gtest/gtest.h>

namespace {

std::wstring ParentOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash == 2 ? 3 : slash);
}

std::wstring NameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

class DropDataObject : public IDataObject {
public:
    explicit DropDataObject(HGLOBAL drop) : m_ref(1), m_drop(drop) {}
    ~DropDataObject() { if (m_drop) GlobalFree(m_drop); }

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
        const SIZE_T size = GlobalSize(m_drop);
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
        memcpy(GlobalLock(copy), GlobalLock(m_drop), size);
        GlobalUnlock(m_drop);
        GlobalUnlock(copy);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
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
    ULONG m_ref;
    HGLOBAL m_drop;
};

}  // namespace

ComPtr<IDataObject> ShellDataObject(const std::vector<std::wstring>& paths)
{
    ComPtr<IDataObject> result;
    IdList parent(ParentOf(paths.at(0)));
    ComPtr<IShellFolder> desktop;
    ComPtr<IShellFolder> folder;
    if (!parent.get() || FAILED(SHGetDesktopFolder(desktop.put())) ||
        FAILED(desktop->BindToObject(parent.get(), nullptr, IID_IShellFolder, folder.put_void()))) {
        ADD_FAILURE() << "cannot bind to the parent folder";
        return result;
    }
    std::vector<PITEMID_CHILD> children;
    for (const std::wstring& path : paths) {
        std::wstring name = NameOf(path);
        PIDLIST_RELATIVE child = nullptr;
        if (FAILED(folder->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &child, nullptr))) {
            ADD_FAILURE() << "cannot parse a child";
            break;
        }
        children.push_back(static_cast<PITEMID_CHILD>(child));
    }
    if (children.size() == paths.size()) {
        folder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()),
                              const_cast<PCUITEMID_CHILD_ARRAY>(children.data()), IID_IDataObject, nullptr,
                              result.put_void());
    }
    for (PITEMID_CHILD child : children)
        CoTaskMemFree(child);
    if (!result)
        ADD_FAILURE() << "GetUIObjectOf gave no data object";
    return result;
}

IdList::IdList(const std::wstring& path) : m_pidl(nullptr)
{
    if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &m_pidl, 0, nullptr)))
        m_pidl = nullptr;
}

IdList::~IdList()
{
    CoTaskMemFree(m_pidl);
}

HGLOBAL BuildDropHandle(const std::vector<std::wstring>& paths, bool wide)
{
    std::string bytes;
    for (const std::wstring& path : paths) {
        if (wide) {
            bytes.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
        } else {
            const int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
            std::string ansi(static_cast<size_t>(n), '\0');
            WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, &ansi[0], n, nullptr, nullptr);
            bytes += ansi;
        }
    }
    bytes.append(wide ? 2 : 1, '\0');
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes.size());
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(handle));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = wide;
    memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), bytes.data(), bytes.size());
    GlobalUnlock(handle);
    return handle;
}

ComPtr<IDataObject> HandMadeDataObject(HGLOBAL dropHandle)
{
    return ComPtr<IDataObject>(new DropDataObject(dropHandle));
}
