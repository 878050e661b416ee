// From an item array to a selection: each item's file-system path stored by
// the rules Initialize follows for a dropped path, straight into the records.
#include "brxlib/text_builder.h"
#include "shellext/explorer_command.h"
#include "shellext/selection_paths.h"
#include "shellext/shell_ext.h"

namespace {

// The file-system path of items' item at index, from CoTaskMemAlloc. An
// item that is no file (a printer, a phone's folder) or gives an empty
// path refuses the whole selection: an empty path would end the list.
HRESULT ItemPath(IShellItemArray* items, DWORD index, LPWSTR* path)
{
    *path = nullptr;
    IShellItem* item = nullptr;
    HRESULT hr = items->GetItemAt(index, &item);
    if (FAILED(hr))
        return hr;
    hr = item->GetDisplayName(SIGDN_FILESYSPATH, path);
    item->Release();
    if (SUCCEEDED(hr) && (!*path || !(*path)[0]))
        hr = E_INVALIDARG;
    if (FAILED(hr)) {
        CoTaskMemFree(*path);
        *path = nullptr;
    }
    return hr;
}

// Appends the path of every item to paths. A path that fits no form is
// recorded in refusal, after any earlier one Finish refuses.
HRESULT AddItemPaths(IShellItemArray* items, DWORD count, SelectionPaths& paths, CommandRefusal& refusal)
{
    for (DWORD i = 0; i < count; ++i) {
        LPWSTR path = nullptr;
        HRESULT hr = ItemPath(items, i, &path);
        if (SUCCEEDED(hr))
            hr = paths.Add(path, brxlib::TextLength(path));
        if (FAILED(hr)) {
            const HRESULT stored = paths.Finish();
            if (stored == PathTooLongResult)
                refusal.Set(RefusalReason::PathTooLong, paths.Refused());
            else if (hr == PathTooLongResult && SUCCEEDED(stored))
                refusal.Set(RefusalReason::PathTooLong, path);
            CoTaskMemFree(path);
            return FAILED(stored) ? stored : hr;
        }
        CoTaskMemFree(path);
    }
    const HRESULT hr = paths.Finish();
    if (hr == PathTooLongResult)
        refusal.Set(RefusalReason::PathTooLong, paths.Refused());
    return hr;
}

}  // namespace

// Into ext's selection, emptied on failure; a path that fits no form is
// named in ext's Refusal (PathTooLongResult), for the user.
HRESULT CaptureItems(IShellItemArray* items, CShellExt& ext)
{
    if (!items)
        return E_INVALIDARG;
    DWORD count = 0;
    HRESULT hr = items->GetCount(&count);
    if (FAILED(hr))
        return hr;
    if (count == 0)
        return E_INVALIDARG;
    if (count > 0x7FFFFFFF || !ext.Selection.reserve(static_cast<int>(count)))
        return E_OUTOFMEMORY;
    SelectionPaths paths(ext.Selection);
    hr = AddItemPaths(items, count, paths, ext.Refusal);
    if (FAILED(hr))
        ext.Selection.clear();
    return hr;
}
