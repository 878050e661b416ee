#include "shellext/drop_files.h"

#include <shlobj.h>

#include "brxlib/memory.h"
#include "brxlib/path_forms.h"
#include "shellext/selection_paths.h"

namespace {

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
        const unsigned char* p = SkipToZero(m_next);
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
    // The first zero unit from p on, or m_end. Eight bytes at a time while
    // they last: a word holds a zero unit exactly when (w - ones) & ~w has
    // the top bit of some unit set. A list of thousands of paths is read
    // twice (counted, then stored), so this is most of Initialize's work.
    const unsigned char* SkipToZero(const unsigned char* p) const
    {
        const unsigned long long ones = sizeof(Unit) == 1 ? 0x0101010101010101ull : 0x0001000100010001ull;
        const unsigned long long tops = ones << (8 * sizeof(Unit) - 1);
        while (m_end - p >= 8) {
            unsigned long long word;
            CopyMemory(&word, p, sizeof(word));
            if ((word - ones) & ~word & tops)
                break;
            p += 8;
        }
        while (p < m_end && UnitAt(p))
            p += sizeof(Unit);
        return p;
    }

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

// The next path of the list into paths: wide text as it is, ANSI text
// converted as DragQueryFileW converts it (CP_ACP).
template <class Unit>
HRESULT AddPath(const unsigned char* text, size_t length, SelectionPaths& paths);

template <>
HRESULT AddPath<WCHAR>(const unsigned char* text, size_t length, SelectionPaths& paths)
{
    return paths.Add(text, length);
}

template <>
HRESULT AddPath<char>(const unsigned char* text, size_t length, SelectionPaths& paths)
{
    const char* ansi = reinterpret_cast<const char*>(text);
    // Every unit takes at least one byte: a longer text cannot fit either.
    if (length > 2 * LongestExtendedPath)
        return PathTooLongResult;
    const int bytes = static_cast<int>(length);
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi, bytes, nullptr, 0);
    if (units <= 0 || static_cast<size_t>(units) > LongestExtendedPath)
        return PathTooLongResult;
    CShellExt::PATH_INFO record;
    ZeroMemory(&record, sizeof(record));
    if (static_cast<size_t>(units) <= LongestPath)
        return MultiByteToWideChar(CP_ACP, 0, ansi, bytes, record.path, static_cast<int>(LongestPath)) == units
                   ? paths.Add(record, nullptr)
                   : PathTooLongResult;
    WCHAR* path = brxlib::AllocateZeroed<WCHAR>(static_cast<size_t>(units) + 1);
    if (!path)
        return E_OUTOFMEMORY;
    if (MultiByteToWideChar(CP_ACP, 0, ansi, bytes, path, units) != units) {
        brxlib::Free(path);
        return PathTooLongResult;
    }
    return paths.Add(record, path);
}

template <class Unit>
HRESULT AppendPaths(const unsigned char* block, SIZE_T size, DWORD offset,
                    brxlib::simple_array<CShellExt::PATH_INFO>& selection)
{
    DropList<Unit> list(block, size, offset);
    SelectionPaths paths(selection);
    const unsigned char* text;
    size_t length = 0;
    for (;;) {
        const ListStep step = list.Next(&text, &length);
        HRESULT hr = E_INVALIDARG;
        if (step == ListStep::Path) {
            hr = AddPath<Unit>(text, length, paths);
            if (SUCCEEDED(hr))
                continue;
        }
        // The paths before this step come first: a long one that cannot be stored is the answer.
        const HRESULT stored = paths.Finish();
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
