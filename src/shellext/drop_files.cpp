#include "shellext/drop_files.h"

#include <shlobj.h>

namespace {

// DragQueryFileW fills at most 260 units, terminator included.
const int LongestPath = MAX_PATH - 1;

// The list of NUL-terminated strings that starts at the block's pFiles
// offset; every read stays inside the block. Units are read by copy: pFiles
// is whatever the block's maker wrote, an odd offset too, and a WCHAR read
// at an odd address is undefined (it traps in the hardened build).
template <class Unit>
class DropList {
public:
    DropList(const unsigned char* block, SIZE_T size, DWORD offset)
        : m_next(block + offset), m_end(block + offset + (size - offset) / sizeof(Unit) * sizeof(Unit)) {}

    // The next string (its first byte) and its length in units; false at the
    // empty string that ends the list, or when the block ends before a terminator.
    bool Next(const unsigned char** text, int* length)
    {
        const unsigned char* p = m_next;
        while (p < m_end && UnitAt(p))
            p += sizeof(Unit);
        if (p == m_end || p == m_next)
            return false;
        *text = m_next;
        *length = static_cast<int>((p - m_next) / sizeof(Unit));
        m_next = p + sizeof(Unit);
        return true;
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
    int length = 0;
    int count = 0;
    while (list.Next(&text, &length))
        ++count;
    return count;
}

template <class Unit>
bool ToRecord(const unsigned char* text, int length, CShellExt::PATH_INFO* record);

template <>
bool ToRecord<WCHAR>(const unsigned char* text, int length, CShellExt::PATH_INFO* record)
{
    if (length > LongestPath)
        return false;
    CopyMemory(record->path, text, static_cast<size_t>(length) * sizeof(WCHAR));
    return true;
}

// ANSI lists are converted as DragQueryFileW converts them: CP_ACP.
template <>
bool ToRecord<char>(const unsigned char* text, int length, CShellExt::PATH_INFO* record)
{
    const char* ansi = reinterpret_cast<const char*>(text);
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi, length, nullptr, 0);
    if (units <= 0 || units > LongestPath)
        return false;
    return MultiByteToWideChar(CP_ACP, 0, ansi, length, record->path, LongestPath) == units;
}

template <class Unit>
HRESULT AppendPaths(const unsigned char* block, SIZE_T size, DWORD offset,
                    brxlib::simple_array<CShellExt::PATH_INFO>& selection)
{
    DropList<Unit> list(block, size, offset);
    const unsigned char* text;
    int length = 0;
    CShellExt::PATH_INFO record;
    while (list.Next(&text, &length)) {
        ZeroMemory(&record, sizeof(record));
        if (!ToRecord<Unit>(text, length, &record)) {
            selection.clear();
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        }
        if (!selection.append(record)) {
            selection.clear();
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
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
