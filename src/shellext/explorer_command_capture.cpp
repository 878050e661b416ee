// From an item array to a classic command: the items' paths go into a drop
// handle's DROPFILES block and through the reader that Initialize uses, so
// that both menus capture a selection by the same rules.
#include <shlobj.h>

#include "brxlib/memory.h"
#include "brxlib/path_forms.h"
#include "brxlib/text_builder.h"
#include "shellext/drop_files.h"
#include "shellext/explorer_command.h"
#include "shellext/shell_ext.h"

namespace {

// The items' file-system paths, from IShellItem::GetDisplayName.
class ItemPaths {
public:
    explicit ItemPaths(DWORD count) : m_paths(count) {}
    ~ItemPaths()
    {
        for (size_t i = 0; i < m_paths.size(); ++i)
            CoTaskMemFree(m_paths.get()[i]);
    }
    ItemPaths(const ItemPaths&) = delete;
    ItemPaths& operator=(const ItemPaths&) = delete;

    // An item that is no file (a printer, a phone's folder) or gives an
    // empty path refuses the whole selection: an empty path would end the list.
    HRESULT Read(IShellItemArray* items)
    {
        if (!m_paths)
            return E_OUTOFMEMORY;
        for (size_t i = 0; i < m_paths.size(); ++i) {
            IShellItem* item = nullptr;
            HRESULT hr = items->GetItemAt(static_cast<DWORD>(i), &item);
            if (FAILED(hr))
                return hr;
            hr = item->GetDisplayName(SIGDN_FILESYSPATH, &m_paths.get()[i]);
            item->Release();
            if (FAILED(hr))
                return hr;
            if (!m_paths.get()[i] || !m_paths.get()[i][0])
                return E_INVALIDARG;
        }
        return S_OK;
    }

    size_t count() const { return m_paths.size(); }
    const WCHAR* at(size_t i) const { return m_paths.get()[i]; }

private:
    brxlib::HeapBuffer<WCHAR*> m_paths;
};

// DROPFILES, then each path with its terminator, then the list's own
// terminator; 0 when the size does not fit a size_t.
size_t DropBlockSize(const ItemPaths& paths)
{
    const size_t most = static_cast<size_t>(-1) / sizeof(WCHAR) - sizeof(DROPFILES);
    size_t units = 1;
    for (size_t i = 0; i < paths.count(); ++i) {
        const size_t length = brxlib::TextLength(paths.at(i)) + 1;
        if (length > most - units)
            return 0;
        units += length;
    }
    return sizeof(DROPFILES) + units * sizeof(WCHAR);
}

// Fills a zeroed block of DropBlockSize bytes as a wide drop handle.
void FillDropBlock(const ItemPaths& paths, BYTE* block)
{
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    CopyMemory(block, &header, sizeof(header));
    BYTE* next = block + sizeof(DROPFILES);
    for (size_t i = 0; i < paths.count(); ++i) {
        const size_t bytes = (brxlib::TextLength(paths.at(i)) + 1) * sizeof(WCHAR);
        CopyMemory(next, paths.at(i), bytes);
        next += bytes;
    }
}

// The first path that fits a selection record in no form, as Initialize
// refuses it.
const WCHAR* FirstPathWithoutAForm(const ItemPaths& paths)
{
    WCHAR record[MAX_PATH + 1];
    for (size_t i = 0; i < paths.count(); ++i) {
        const size_t length = brxlib::TextLength(paths.at(i));
        if (length >= MAX_PATH && !StoreShortForm(paths.at(i), length, record))
            return paths.at(i);
    }
    return nullptr;
}

}  // namespace

HRESULT RunCommandOnItems(int code, IShellItemArray* items)
{
    if (!items)
        return E_INVALIDARG;
    DWORD count = 0;
    HRESULT hr = items->GetCount(&count);
    if (FAILED(hr))
        return hr;
    if (count == 0)
        return E_INVALIDARG;
    ItemPaths paths(count);
    hr = paths.Read(items);
    if (FAILED(hr))
        return hr;
    const size_t size = DropBlockSize(paths);
    if (size == 0)
        return E_OUTOFMEMORY;
    brxlib::HeapBuffer<BYTE> block(size);
    if (!block)
        return E_OUTOFMEMORY;
    FillDropBlock(paths, block.get());

    // A fresh object per command: a plain right-click, so no drop folder.
    CShellExt* ext = CShellExt::Create();
    if (!ext)
        return E_OUTOFMEMORY;
    hr = ReadDropFiles(block.get(), size, ext->Selection);
    // The host's window is not known here; a refusal's message box has no owner.
    if (SUCCEEDED(hr)) {
        hr = ext->RunCommand(code, nullptr, true);
    } else if (hr == HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)) {
        // The classic menu is not offered for such a path; this one was, and picked.
        ext->Refusal.Set(RefusalReason::PathTooLong, FirstPathWithoutAForm(paths));
        ext->Refusal.Show(nullptr);
    }
    ext->Release();
    return hr;
}
