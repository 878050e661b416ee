#include "convert/delete_tree.h"

#include "brxlib/memory.h"
#include "brxlib/owners.h"
#include "brxlib/text_builder.h"

namespace {

// folder + "\" + name in a block of its own size: what an archiver puts in
// a folder can lie deeper than MAX_PATH, and it must go with the folder.
// From MAX_PATH characters on the path takes the "\\?\" form, the only one
// in which Windows' file functions take such paths; a folder already in that
// form, or not absolute, is joined as it is.
class JoinedPath {
public:
    JoinedPath(const WCHAR* folder, const WCHAR* name) : m_text(nullptr)
    {
        const size_t length = brxlib::TextLength(folder) + 1 + brxlib::TextLength(name);
        const WCHAR* prefix = L"";
        const WCHAR* rest = folder;
        if (length >= MAX_PATH) {
            if (folder[0] && folder[1] == L':' && folder[2] == L'\\') {
                prefix = L"\\\\?\\";
            } else if (folder[0] == L'\\' && folder[1] == L'\\' && folder[2] != L'?' && folder[2] != L'.') {
                prefix = L"\\\\?\\UNC\\";
                rest = folder + 2;
            }
        }
        const size_t capacity = brxlib::TextLength(prefix) + length - static_cast<size_t>(rest - folder) + 1;
        m_text = brxlib::AllocateZeroed<WCHAR>(capacity);
        if (!m_text)
            return;
        brxlib::TextBuilder text(m_text, capacity);
        text.Append(prefix).Append(rest).Append(L'\\').Append(name);
    }
    ~JoinedPath() { brxlib::Free(m_text); }
    JoinedPath(const JoinedPath&) = delete;
    JoinedPath& operator=(const JoinedPath&) = delete;
    // Null when memory ran out.
    const WCHAR* get() const { return m_text; }

private:
    WCHAR* m_text;
};

bool DeleteFileEntry(const WCHAR* path, bool force)
{
    if (DeleteFileW(path))
        return true;
    if (!force)
        return false;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileW(path) != FALSE;
}

bool DeleteEntry(const WCHAR* path, const WIN32_FIND_DATAW& entry, bool force)
{
    const DWORD attributes = entry.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // RemoveDirectoryW on a directory link or junction removes the link only.
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return RemoveDirectoryW(path) != FALSE;
        // Windows refuses to remove a read-only folder, as it does a read-only file.
        if (force && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
        return DeleteDirectoryTree(path, force);
    }
    return DeleteFileEntry(path, force);
}

}  // namespace

bool IsDotEntry(const WCHAR* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool DeleteDirectoryTree(const WCHAR* path, bool force)
{
    if (!path || !path[0])
        return false;
    bool allRemoved = true;
    const JoinedPath pattern(path, L"*.*");
    if (pattern.get()) {
        WIN32_FIND_DATAW entry;
        brxlib::UniqueFind search(FindFirstFileW(pattern.get(), &entry));
        if (search.valid()) {
            do {
                if (IsDotEntry(entry.cFileName))
                    continue;
                const JoinedPath entryPath(path, entry.cFileName);
                if (!entryPath.get() || !DeleteEntry(entryPath.get(), entry, force))
                    allRemoved = false;
            } while (FindNextFileW(search.get(), &entry));
        }
    } else {
        allRemoved = false;
    }
    return RemoveDirectoryW(path) && allRemoved;
}
