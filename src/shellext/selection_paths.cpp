#include "shellext/selection_paths.h"

#include "archiver/short_forms.h"
#include "brxlib/memory.h"
#include "brxlib/path_forms.h"

SelectionPaths::~SelectionPaths()
{
    for (int i = 0; i < m_longPaths.count; ++i)
        brxlib::Free(m_longPaths.data[i].text);
}

HRESULT SelectionPaths::Add(const void* text, size_t length)
{
    if (length <= LongestPath) {
        // Straight into its slot: a selection of thousands pays one copy a path.
        CShellExt::PATH_INFO* record = NewRecord();
        if (!record)
            return E_OUTOFMEMORY;
        CopyMemory(record->path, text, length * sizeof(WCHAR));
        ZeroMemory(record->path + length, sizeof(record->path) - length * sizeof(WCHAR));
        return S_OK;
    }
    if (length > LongestExtendedPath)
        return PathTooLongResult;
    WCHAR* longPath = brxlib::AllocateZeroed<WCHAR>(length + 1);
    if (!longPath)
        return E_OUTOFMEMORY;
    CopyMemory(longPath, text, length * sizeof(WCHAR));
    CShellExt::PATH_INFO record;
    ZeroMemory(&record, sizeof(record));
    return Add(record, longPath);
}

HRESULT SelectionPaths::Add(const CShellExt::PATH_INFO& record, WCHAR* longPath)
{
    CShellExt::PATH_INFO* slot = NewRecord();
    if (!slot) {
        brxlib::Free(longPath);
        return E_OUTOFMEMORY;
    }
    CopyMemory(slot, &record, sizeof(record));
    const LongPath path = {longPath, m_selection.count - 1};
    if (longPath && !m_longPaths.append(path)) {
        brxlib::Free(longPath);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// The next record of the selection, its contents the caller's to write.
CShellExt::PATH_INFO* SelectionPaths::NewRecord()
{
    if (m_selection.count == m_selection.capacity && !m_selection.reserve(m_selection.count + 1))
        return nullptr;
    return &m_selection.data[m_selection.count++];
}

HRESULT SelectionPaths::Finish()
{
    if (m_longPaths.count == 0)
        return S_OK;
    brxlib::HeapBuffer<const WCHAR*> texts(static_cast<size_t>(m_longPaths.count));
    if (!texts)
        return E_OUTOFMEMORY;
    for (int i = 0; i < m_longPaths.count; ++i)
        texts.get()[i] = m_longPaths.data[i].text;
    SelectionShortForms shortForms(ShortFormLookup::Extended);
    if (!shortForms.Prepare(texts.get(), m_longPaths.count))
        return E_OUTOFMEMORY;
    for (int i = 0; i < m_longPaths.count; ++i) {
        if (!shortForms.Find(i, m_selection.data[m_longPaths.data[i].record].path)) {
            if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY)
                return E_OUTOFMEMORY;
            m_refused = m_longPaths.data[i].text;
            return PathTooLongResult;
        }
    }
    return S_OK;
}
