// From an item array to a selection. Explorer's array lives in Explorer and
// the command in dllhost.exe: each call on it crosses the processes, so the
// paths come in one call, as the drop list of the array's data object, read
// as Initialize reads it. Item by item (each item's file-system path stored
// by the same rules) only where that list is missing, holds fewer paths
// than the array has items, or fails, so that a path that fits no form is
// still named.
#include "newmenu/selection_capture.h"

#include "brxlib/text_builder.h"
#include "shellext/selection_paths.h"

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

// The drop list of the items' data object into ext's selection: S_OK when
// it names count paths, S_FALSE (selection empty) when it should be read
// item by item instead.
HRESULT ReadDataObject(IShellItemArray* items, DWORD count, CShellExt& ext)
{
    IDataObject* data = nullptr;
    if (FAILED(items->BindToHandler(nullptr, BHID_DataObject, IID_IDataObject, reinterpret_cast<void**>(&data))) ||
        !data)
        return S_FALSE;
    const HRESULT hr = ext.ReadSelection(data);
    data->Release();
    if (hr == E_OUTOFMEMORY)
        return hr;
    // An item that is no file has no path in the list: read them one by one.
    if (SUCCEEDED(hr) && static_cast<DWORD>(ext.Selection.count) == count)
        return S_OK;
    ext.Selection.clear();
    return S_FALSE;
}

}  // namespace

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
    if (count > 0x7FFFFFFF)
        return E_OUTOFMEMORY;
    hr = ReadDataObject(items, count, ext);
    if (hr != S_FALSE)
        return hr;
    if (!ext.Selection.reserve(static_cast<int>(count)))
        return E_OUTOFMEMORY;
    SelectionPaths paths(ext.Selection);
    hr = AddItemPaths(items, count, paths, ext.Refusal);
    if (FAILED(hr))
        ext.Selection.clear();
    return hr;
}
