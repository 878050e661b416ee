#include "shellext/drop_files.h"

#include <shlobj.h>

#include "archiver/short_forms.h"
#include "brxlib/memory.h"
#include "brxlib/path_forms.h"

namespace {

// DragQueryFileW fills at most 260 units, terminator included.
const size_t LongestPath = MAX_PATH - 1;

enum class ListStep { Path, End, Malformed };

// The list of NUL-terminated strings that starts at the block's pFiles
// offset; every read stays inside the block. Units are read by copy: pFiles
// is whatever the block's maker wrote, an odd offset too, and a WCHAR read
// at an odd address is undefined (it traps in the hardened build).
template <class Unit>
class DropList {
public:
    DropList(const unsigned char* block, SIZE_T size, DWORD offset)
        : m_next(block + offset), m_end(block + offset + (size - offset) / sizeof(Unit) * sizeof(Unit)) {}

    // The next string (its first byte) and its length in units. End at the
    // empty string that ends the list, or at the block's end between two
    // strings; a string that the block ends inside is Malformed.
    ListStep Next(const unsigned char** text, size_t* length)
    {
        const unsigned char* p = m_next;
        while (p < m_end && UnitAt(p))
            p += sizeof(Unit);
        if (p == m_next)
            return ListStep::End;
        if (p == m_end)
            return ListStep::Malformed;
        *text = m_next;
        *length = static_cast<size_t>(p - m_next) / sizeof(Unit);
        m_next = p + sizeof(Unit);
        return ListStep::Path;
    }

private:
    static Unit UnitAt(const unsigned char* p)
    {
        Unit unit;
        CopyMemory(&unit, p, sizeof(unit));
        return unit;
    }

    const unsigned char* m_next;
    const unsigned char* m_end;
};

template <class Unit>
int CountPaths(const unsigned char* block, SIZE_T size, DWORD offset)
{
    DropList<Unit> list(block, size, offset);
    const unsigned char* text;
    size_t length = 0;
    int count = 0;
    while (list.Next(&text, &length) == ListStep::Path)
        ++count;
    return count;
}

const HRESULT TooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

// The paths too long for a record, copied out of the block, each with the
// position of its record: they travel in their short form, which names the
// same file, when the volume gives one that fits. They are looked up after
// the whole list is read, so that many of one folder take one enumeration
// of it rather than a walk of every path.
class LongPaths {
public:
    LongPaths() {}
    ~LongPaths()
    {
        for (int i = 0; i < m_paths.count; ++i)
            brxlib::Free(m_paths.data[i].text);
    }
    LongPaths(const LongPaths&) = delete;
    LongPaths& operator=(const LongPaths&) = delete;

    // Takes text, a block from brxlib::Allocate; false (text freed) when memory ran out.
    bool Add(WCHAR* text, int record)
    {
        const LongPath path = {text, record};
        if (m_paths.append(path))
            return true;
        brxlib::Free(text);
        return false;
    }

    // Writes the short form of every path into its record.
    HRESULT Store(brxlib::simple_array<CShellExt::PATH_INFO>& selection) const
    {
        if (m_paths.count == 0)
            return S_OK;
        brxlib::HeapBuffer<const WCHAR*> texts(static_cast<size_t>(m_paths.count));
        if (!texts)
            return E_OUTOFMEMORY;
        for (int i = 0; i < m_paths.count; ++i)
            texts.get()[i] = m_paths.data[i].text;
        SelectionShortForms shortForms(ShortFormLookup::Extended);
        if (!shortForms.Prepare(texts.get(), m_paths.count))
            return E_OUTOFMEMORY;
        for (int i = 0; i < m_paths.count; ++i)
            if (!shortForms.Find(i, selection.data[m_paths.data[i].record].path))
                return TooLong;
        return S_OK;
    }

private:
    struct LongPath {
        WCHAR* text;
        int record;
    };
    brxlib::simple_array<LongPath> m_paths;
};

// A path that fits goes into record; a longer one into *longPath, a block
// of its own for LongPaths.
template <class Unit>
HRESULT ToRecord(const unsigned char* text, size_t length, CShellExt::PATH_INFO* record, WCHAR** longPath);

template <>
HRESULT ToRecord<WCHAR>(const unsigned char* text, size_t length, CShellExt::PATH_INFO* record, WCHAR** longPath)
{
    if (length <= LongestPath) {
        CopyMemory(record->path, text, length * sizeof(WCHAR));
        return S_OK;
    }
    if (length > LongestExtendedPath)
        return TooLong;
    // Copied out of the block: its text may sit at an odd address.
    *longPath = brxlib::AllocateZeroed<WCHAR>(length + 1);
    if (!*longPath)
        return E_OUTOFMEMORY;
    CopyMemory(*longPath, text, length * sizeof(WCHAR));
    return S_OK;
}

// ANSI lists are converted as DragQueryFileW converts them: CP_ACP.
template <>
HRESULT ToRecord<char>(const unsigned char* text, size_t length, CShellExt::PATH_INFO* record, WCHAR** longPath)
{
    const char* ansi = reinterpret_cast<const char*>(text);
    // Every unit takes at least one byte: a longer text cannot fit either.
    if (length > 2 * LongestExtendedPath)
        return TooLong;
    const int bytes = static_cast<int>(length);
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi, bytes, nullptr, 0);
    if (units <= 0 || static_cast<size_t>(units) > LongestExtendedPath)
        return TooLong;
    if (static_cast<size_t>(units) <= LongestPath)
        return MultiByteToWideChar(CP_ACP, 0, ansi, bytes, record->path, static_cast<int>(LongestPath)) == units
                   ? S_OK
                   : TooLong;
    WCHAR* path = brxlib::AllocateZeroed<WCHAR>(static_cast<size_t>(units) + 1);
    if (!path)
        return E_OUTOFMEMORY;
    if (MultiByteToWideChar(CP_ACP, 0, ansi, bytes, path, units) != units) {
        brxlib::Free(path);
        return TooLong;
    }
    *longPath = path;
    return S_OK;
}

template <class Unit>
HRESULT AppendPaths(const unsigned char* block, SIZE_T size, DWORD offset,
                    brxlib::simple_array<CShellExt::PATH_INFO>& selection)
{
    DropList<Unit> list(block, size, offset);
    LongPaths longPaths;
    const unsigned char* text;
    size_t length = 0;
    CShellExt::PATH_INFO record;
    for (;;) {
        const ListStep step = list.Next(&text, &length);
        HRESULT hr = E_INVALIDARG;
        if (step == ListStep::Path) {
            ZeroMemory(&record, sizeof(record));
            WCHAR* longPath = nullptr;
            hr = ToRecord<Unit>(text, length, &record, &longPath);
            if (SUCCEEDED(hr) && !selection.append(record))
                hr = E_OUTOFMEMORY;
            if (longPath && FAILED(hr))
                brxlib::Free(longPath);
            else if (longPath && !longPaths.Add(longPath, selection.count - 1))
                hr = E_OUTOFMEMORY;
            if (SUCCEEDED(hr))
                continue;
        }
        // The paths before this step come first: a long one that cannot be stored is the answer.
        const HRESULT stored = longPaths.Store(selection);
        if (step == ListStep::End && SUCCEEDED(stored))
            return S_OK;
        selection.clear();
        return FAILED(stored) ? stored : hr;
    }
}

}  // namespace

HRESULT ReadDropFiles(const void* block, SIZE_T blockSize,
                      brxlib::simple_array<CShellExt::PATH_INFO>& selection)
{
    if (!block || blockSize < sizeof(DROPFILES))
        return E_INVALIDARG;
    const DROPFILES* header = static_cast<const DROPFILES*>(block);
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    if (header->pFiles < sizeof(DROPFILES) || header->pFiles >= blockSize)
        return E_INVALIDARG;
    const bool wide = header->fWide != FALSE;
    if (!selection.reserve(wide ? CountPaths<WCHAR>(bytes, blockSize, header->pFiles)
                                : CountPaths<char>(bytes, blockSize, header->pFiles)))
        return E_OUTOFMEMORY;
    return wide ? AppendPaths<WCHAR>(bytes, blockSize, header->pFiles, selection)
                : AppendPaths<char>(bytes, blockSize, header->pFiles, selection);
}
