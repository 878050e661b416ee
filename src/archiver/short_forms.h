// The short (8.3) forms of a whole selection. GetShortPathNameW walks every
// component of its path again, and for a big selection out of one folder
// that is most of the time a user waits; one enumeration of the folder
// gives every entry's short name at once. The result is, path for path,
// what the single look-up gives (GetShortPathNameW with room for MAX_PATH
// units, or StoreShortForm). Both name the entry itself for a name Win32
// reads as another file ("report." beside "report"): the single look-up
// goes through the "\\?\" form for it, the enumeration matches names exactly.
#pragma once
#include <windows.h>

#include "shellext/shell_ext.h"

// How a single path is looked up and a folder enumerated.
enum class ShortFormLookup {
    Plain,     // the path as it is, within MAX_PATH (LookUpShortForm)
    Extended,  // in its "\\?\" form, of any length (StoreShortForm)
};

class SelectionShortForms {
public:
    explicit SelectionShortForms(ShortFormLookup lookup = ShortFormLookup::Plain)
        : m_items(nullptr), m_order(nullptr), m_groups(nullptr), m_count(0), m_lookup(lookup) {}
    ~SelectionShortForms();
    SelectionShortForms(const SelectionShortForms&) = delete;
    SelectionShortForms& operator=(const SelectionShortForms&) = delete;

    // Looks up the folders of paths[0..count); false when memory ran out.
    // The paths must outlive this object.
    bool Prepare(const CShellExt::PATH_INFO* paths, int count);
    bool Prepare(const WCHAR* const* paths, int count);
    // The short form of paths[index] into line[MAX_PATH + 1]; false when
    // there is none that fits, or with last error ERROR_NOT_ENOUGH_MEMORY
    // when memory ran out before that could be told.
    bool Find(int index, WCHAR* line) const;
    // Find, or the path itself where it finds nothing; false only when
    // memory ran out.
    bool Get(int index, WCHAR* line) const;

    struct Item;
    struct Group;

private:
    Item* m_items;    // sorted by folder, then by name
    int* m_order;     // selection index -> position in m_items
    Group* m_groups;  // the folders enumerated
    int m_count;
    ShortFormLookup m_lookup;

    // Describes count paths, pathAt(i) the i-th, then enumerates their folders.
    template <class PathAt>
    bool DescribeAndEnumerate(int count, PathAt pathAt);
    bool EnumerateGroups();
};

// folder + "\" + component into line[MAX_PATH + 1] (no second "\" after a
// drive's root); false when the result would need MAX_PATH units or more.
bool JoinFolderEntry(const WCHAR* folder, const WCHAR* component, WCHAR* line);

// Opens an enumeration of folder's entries with their short names, in large
// fetches; INVALID_HANDLE_VALUE when it cannot.
HANDLE FindEntries(const WCHAR* folder, WIN32_FIND_DATAW* entry);
