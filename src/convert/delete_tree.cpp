#include "convert/delete_tree.h"

#include "brxlib/memory.h"
#include "brxlib/owners.h"
#include "brxlib/path_forms.h"
#include "brxlib/simple_array.h"
#include "brxlib/text_builder.h"

namespace {

// The path being worked on, in one block for the whole walk: an entry is
// reached by appending its name and left by cutting the path back. What an
// archiver extracts can lie deeper than MAX_PATH, and names like "aux.c" or
// "name." must reach the entry itself, so the path is in the "\\?\" form.
class WalkPath {
public:
    WalkPath() : m_buffer(LongestExtendedPath + 1), m_length(0) {}
    bool Start(const WCHAR* top)
    {
        if (!m_buffer || !top[0] || !brxlib::CopyText(m_buffer.get(), m_buffer.size(), top))
            return false;
        m_length = brxlib::TextLength(top);
        return true;
    }
    // Appends "\" and name; false (and the path as it was) when it does not fit.
    bool Enter(const WCHAR* name)
    {
        const size_t length = m_length;
        brxlib::TextBuilder text(m_buffer.get() + length, m_buffer.size() - length);
        if (length == 0 || m_buffer.get()[length - 1] != L'\\')
            text.Append(L'\\');
        text.Append(name);
        if (!text.ok()) {
            Leave(length);
            return false;
        }
        m_length += text.length();
        return true;
    }
    void Leave(size_t length)
    {
        m_length = length;
        m_buffer.get()[length] = 0;
    }
    const WCHAR* get() const { return m_buffer.get(); }
    size_t length() const { return m_length; }

private:
    brxlib::HeapBuffer<WCHAR> m_buffer;
    size_t m_length;
};

// A folder still to empty and remove, or one entered whose entries are all
// gone once it is on top of the list again.
struct PendingFolder {
    WCHAR* name;          // own block; null for the top folder
    size_t parentLength;  // of the walk's path before it was entered
    bool entered;
};

// The full path of the folder to remove in its "\\?\" form (as it is where it has none).
WCHAR* TopPath(const WCHAR* path)
{
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\')
        return ExtendedForm(path, brxlib::TextLength(path));
    const DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0)
        return nullptr;
    brxlib::HeapBuffer<WCHAR> full(needed);
    if (!full)
        return nullptr;
    const DWORD length = GetFullPathNameW(path, needed, full.get(), nullptr);
    if (length == 0 || length >= needed)
        return nullptr;
    WCHAR* extended = ExtendedForm(full.get(), length);
    if (extended)
        return extended;
    WCHAR* plain = brxlib::AllocateZeroed<WCHAR>(length + 1);
    if (plain)
        brxlib::CopyText(plain, length + 1, full.get());
    return plain;
}

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

bool PushFolder(brxlib::simple_array<PendingFolder>& pending, const WCHAR* name)
{
    const size_t length = brxlib::TextLength(name);
    PendingFolder folder = {brxlib::AllocateZeroed<WCHAR>(length + 1), 0, false};
    if (!folder.name)
        return false;
    brxlib::CopyText(folder.name, length + 1, name);
    if (pending.append(folder))
        return true;
    brxlib::Free(folder.name);
    return false;
}

// Removes the files and links of the folder at walk and puts its folders
// on pending; false when an entry could not be removed or put there.
bool EmptyFolder(WalkPath& walk, bool force, brxlib::simple_array<PendingFolder>& pending)
{
    const size_t folderLength = walk.length();
    if (!walk.Enter(L"*"))
        return false;
    WIN32_FIND_DATAW entry;
    brxlib::UniqueFind search(FindFirstFileW(walk.get(), &entry));
    walk.Leave(folderLength);
    if (!search.valid())
        return true;  // the folder's own removal tells whether it was there
    bool allRemoved = true;
    do {
        if (IsDotEntry(entry.cFileName))
            continue;
        if (!walk.Enter(entry.cFileName)) {
            allRemoved = false;
            continue;
        }
        const DWORD attributes = entry.dwFileAttributes;
        bool removed = true;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            removed = DeleteFileEntry(walk.get(), force);
        } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A directory link or junction: RemoveDirectoryW removes the link only.
            removed = RemoveDirectoryW(walk.get()) != FALSE;
        } else {
            // Windows refuses to remove a read-only folder, as it does a read-only file.
            if (force && (attributes & FILE_ATTRIBUTE_READONLY))
                SetFileAttributesW(walk.get(), attributes & ~FILE_ATTRIBUTE_READONLY);
            removed = PushFolder(pending, entry.cFileName);
        }
        if (!removed)
            allRemoved = false;
        walk.Leave(folderLength);
    } while (FindNextFileW(search.get(), &entry));
    return allRemoved;
}

}  // namespace

bool IsDotEntry(const WCHAR* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// The tree is walked with a list of pending folders on the heap, not by
// recursion: an extracted tree can be thousands of levels deep, far more
// than a thread's stack holds. Each folder stays on the list, under its own
// folders, until they are gone; then it is removed and the path cut back.
bool DeleteDirectoryTree(const WCHAR* path, bool force)
{
    if (!path || !path[0])
        return false;
    WCHAR* top = TopPath(path);
    WalkPath walk;
    const bool started = top && walk.Start(top);
    brxlib::Free(top);
    brxlib::simple_array<PendingFolder> pending;
    const PendingFolder first = {nullptr, 0, false};
    if (!started || !pending.append(first))
        return false;
    bool allRemoved = true;
    while (pending.count > 0) {
        const int last = pending.count - 1;
        if (!pending.data[last].entered) {
            const WCHAR* name = pending.data[last].name;
            const size_t parentLength = walk.length();
            // The top folder's path is there already; any other is entered from its parent's.
            if (name && !walk.Enter(name)) {
                allRemoved = false;
                brxlib::Free(pending.data[last].name);
                pending.count = last;
                continue;
            }
            pending.data[last].entered = true;
            pending.data[last].parentLength = parentLength;
            // Its folders go on top of it; it is removed once it is on top again.
            if (!EmptyFolder(walk, force, pending))
                allRemoved = false;
            continue;
        }
        if (!RemoveDirectoryW(walk.get()))
            allRemoved = false;
        if (pending.data[last].name)
            walk.Leave(pending.data[last].parentLength);
        brxlib::Free(pending.data[last].name);
        pending.count = last;
    }
    return allRemoved;
}
