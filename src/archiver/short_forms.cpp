#include "archiver/short_forms.h"

#include <stdlib.h>

#include "brxlib/memory.h"
#include "brxlib/owners.h"
#include "brxlib/path_forms.h"
#include "brxlib/text_builder.h"

namespace {

// A folder is enumerated for many selected entries only: opening an
// enumeration can cost as much as reading the whole folder (Wine reads it
// all at once, ~80 single look-ups' worth in a folder of 50,000), so a few
// picked out of a huge folder are looked up one by one as before. The
// enumeration stops once it has read this many entries per selected one
// (plus a few): on Windows a single look-up costs about as much as reading
// a few dozen entries.
const int SmallestGroup = 128;
const int EntriesReadPerSelected = 8;
const int EntriesReadAtLeast = 256;

int CompareUnits(const WCHAR* a, size_t aLength, const WCHAR* b, size_t bLength)
{
    const size_t n = aLength < bLength ? aLength : bLength;
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

}  // namespace

struct SelectionShortForms::Item {
    const WCHAR* path;
    const WCHAR* name;    // after the path's last "\"; null when the path has no folder part
    size_t folderLength;  // units before that "\"
    size_t nameLength;
    int index;            // in the selection
    int group;            // the enumerated folder that found it, or -1
    WCHAR shortName[14];  // the entry's short name; empty when its name is one
};

struct SelectionShortForms::Group {
    WCHAR shortFolder[MAX_PATH + 1];
};

namespace {

using Item = SelectionShortForms::Item;
using Group = SelectionShortForms::Group;

int CompareFolders(const Item& a, const Item& b)
{
    if (!a.name || !b.name)
        return (a.name ? 0 : 1) - (b.name ? 0 : 1);
    return CompareUnits(a.path, a.folderLength, b.path, b.folderLength);
}

int CompareItems(const void* left, const void* right)
{
    const Item& a = *static_cast<const Item*>(left);
    const Item& b = *static_cast<const Item*>(right);
    const int folders = CompareFolders(a, b);
    if (folders || !a.name)
        return folders;
    return CompareUnits(a.name, a.nameLength, b.name, b.nameLength);
}

void Describe(const WCHAR* path, int index, Item* item)
{
    ZeroMemory(item, sizeof(*item));
    item->path = path;
    item->index = index;
    item->group = -1;
    const WCHAR* lastSlash = nullptr;
    for (const WCHAR* p = path; *p; ++p)
        if (*p == L'\\')
            lastSlash = p;
    if (!lastSlash || lastSlash == path || !lastSlash[1])
        return;
    item->name = lastSlash + 1;
    item->folderLength = static_cast<size_t>(lastSlash - path);
    item->nameLength = brxlib::TextLength(item->name);
}

// Marks every selected entry of items[0..count) named as the folder entry
// is (exactly: another case goes the per-path way); returns how many.
int MarkFound(Item* items, int count, int group, const WIN32_FIND_DATAW& entry)
{
    const size_t length = brxlib::TextLength(entry.cFileName);
    int low = 0;
    int high = count;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (CompareUnits(items[middle].name, items[middle].nameLength, entry.cFileName, length) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    int marked = 0;
    for (int i = low; i < count && CompareUnits(items[i].name, items[i].nameLength, entry.cFileName, length) == 0;
         ++i) {
        if (items[i].group >= 0)
            continue;
        items[i].group = group;
        brxlib::CopyText(items[i].shortName, 14, entry.cAlternateFileName);
        ++marked;
    }
    return marked;
}

// The folder part of a described path as GetShortPathNameW takes it ("C:\"
// for an entry of a drive's root) into folder[capacity].
bool FolderOf(const Item& item, WCHAR* folder, size_t capacity)
{
    brxlib::TextBuilder text(folder, capacity);
    text.Append(item.path, item.folderLength);
    // "C:" alone names the drive's current folder, not its root.
    if (item.folderLength == 2 && item.path[1] == L':')
        text.Append(L'\\');
    return text.ok();
}

// The plain look-up of a path Win32 reads as another file finds that other
// file ("report." gives the short form of "report"): such a path is looked
// up in its "\\?\" form.
bool LooksUpPlain(ShortFormLookup lookup, const WCHAR* path)
{
    return lookup == ShortFormLookup::Plain && !ReadsAsAnotherFile(path);
}

bool LookUpOne(ShortFormLookup lookup, const WCHAR* path, WCHAR* line)
{
    if (LooksUpPlain(lookup, path))
        return LookUpShortForm(path, line);
    return StoreShortForm(path, brxlib::TextLength(path), line);
}

HANDLE FindMatching(const WCHAR* pattern, WIN32_FIND_DATAW* entry)
{
    return FindFirstFileExW(pattern, FindExInfoStandard, entry, FindExSearchNameMatch, nullptr,
                            FIND_FIRST_EX_LARGE_FETCH);
}

// In the "\\?\" form the folder is the one the look-ups of its entries
// walk, whatever its length or the names in it.
HANDLE FindEntriesExtended(const WCHAR* folder, WIN32_FIND_DATAW* entry)
{
    WCHAR* pattern = ExtendedForm(folder, brxlib::TextLength(folder), L"*");
    if (!pattern)
        return INVALID_HANDLE_VALUE;
    const HANDLE search = FindMatching(pattern, entry);
    brxlib::Free(pattern);
    return search;
}

// The end of the run of items that share items[start]'s folder; a path
// without a folder part is a run of its own.
int RunEnd(const Item* items, int count, int start)
{
    int end = start + 1;
    while (end < count && items[start].name && CompareFolders(items[start], items[end]) == 0)
        ++end;
    return end;
}

bool IsGroup(const Item* items, int start, int end)
{
    return items[start].name && end - start >= SmallestGroup;
}

// Finds the selected entries items[0..count), all of one folder, in one
// bounded enumeration of that folder.
void EnumerateGroup(Item* items, int count, int group, Group& folderGroup, ShortFormLookup lookup)
{
    brxlib::HeapBuffer<WCHAR> folder(items[0].folderLength + 2);
    if (!folder || !FolderOf(items[0], folder.get(), folder.size()) ||
        !LookUpOne(lookup, folder.get(), folderGroup.shortFolder))
        return;
    WIN32_FIND_DATAW entry;
    brxlib::UniqueFind search(LooksUpPlain(lookup, folder.get()) ? FindEntries(folder.get(), &entry)
                                                                 : FindEntriesExtended(folder.get(), &entry));
    if (!search.valid())
        return;
    long long budget = static_cast<long long>(count) * EntriesReadPerSelected + EntriesReadAtLeast;
    int left = count;
    do {
        left -= MarkFound(items, count, group, entry);
    } while (left > 0 && --budget > 0 && FindNextFileW(search.get(), &entry));
}

}  // namespace

SelectionShortForms::~SelectionShortForms()
{
    brxlib::Free(m_items);
    brxlib::Free(m_order);
    brxlib::Free(m_groups);
}

template <class PathAt>
bool SelectionShortForms::DescribeAndEnumerate(int count, PathAt pathAt)
{
    if (count <= 0)
        return true;
    m_items = brxlib::AllocateZeroed<Item>(static_cast<size_t>(count));
    if (!m_items)
        return false;
    for (int i = 0; i < count; ++i)
        Describe(pathAt(i), i, &m_items[i]);
    m_count = count;
    return EnumerateGroups();
}

bool SelectionShortForms::Prepare(const CShellExt::PATH_INFO* paths, int count)
{
    return DescribeAndEnumerate(count, [paths](int i) { return paths[i].path; });
}

bool SelectionShortForms::Prepare(const WCHAR* const* paths, int count)
{
    return DescribeAndEnumerate(count, [paths](int i) { return paths[i]; });
}

bool SelectionShortForms::EnumerateGroups()
{
    const int count = m_count;
    m_order = brxlib::AllocateZeroed<int>(static_cast<size_t>(count));
    if (!m_order) {
        m_count = 0;
        return false;
    }
    qsort(m_items, static_cast<size_t>(count), sizeof(Item), CompareItems);
    for (int i = 0; i < count; ++i)
        m_order[m_items[i].index] = i;

    // Runs of one folder: counted first, so that only big ones take a group.
    int groups = 0;
    for (int start = 0, end = 0; start < count; start = end) {
        end = RunEnd(m_items, count, start);
        if (IsGroup(m_items, start, end))
            ++groups;
    }
    if (groups == 0)
        return true;
    m_groups = brxlib::AllocateZeroed<Group>(static_cast<size_t>(groups));
    if (!m_groups)
        return false;
    int group = 0;
    for (int start = 0, end = 0; start < count; start = end) {
        end = RunEnd(m_items, count, start);
        if (IsGroup(m_items, start, end)) {
            EnumerateGroup(m_items + start, end - start, group, m_groups[group], m_lookup);
            ++group;
        }
    }
    return true;
}

bool SelectionShortForms::Find(int index, WCHAR* line) const
{
    const Item& item = m_items[m_order[index]];
    if (item.group < 0)
        return LookUpOne(m_lookup, item.path, line);
    if (JoinFolderEntry(m_groups[item.group].shortFolder, item.shortName[0] ? item.shortName : item.name, line))
        return true;
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
}

bool SelectionShortForms::Get(int index, WCHAR* line) const
{
    if (Find(index, line))
        return true;
    if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY)
        return false;
    // No short form that fits: the path as it is.
    brxlib::CopyText(line, MAX_PATH + 1, m_items[m_order[index]].path);
    return true;
}

bool JoinFolderEntry(const WCHAR* shortFolder, const WCHAR* component, WCHAR* line)
{
    brxlib::TextBuilder text(line, MAX_PATH);
    text.Append(shortFolder);
    if (text.length() == 0 || line[text.length() - 1] != L'\\')
        text.Append(L'\\');
    text.Append(component);
    return text.ok();
}

HANDLE FindEntries(const WCHAR* folder, WIN32_FIND_DATAW* entry)
{
    WCHAR pattern[MAX_PATH + 1];
    if (!JoinFolderEntry(folder, L"*", pattern))
        return INVALID_HANDLE_VALUE;
    return FindMatching(pattern, entry);
}
