// Storing paths into a selection's records by the one rule both menus
// follow: a path below 260 units as it is; a longer one (up to the "\\?\"
// form's limit) in its short form, which names the same file; a path with
// neither is refused, never cut.
#pragma once
#include <windows.h>

#include "shellext/shell_ext.h"

const HRESULT PathTooLongResult = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
// The longest path a record holds as it is: DragQueryFileW fills at most
// 260 units, terminator included.
const size_t LongestPath = MAX_PATH - 1;

// The short forms are looked up in Finish, after the last path: many long
// paths of one folder then take one enumeration of it rather than a walk of
// every path.
class SelectionPaths {
public:
    explicit SelectionPaths(brxlib::simple_array<CShellExt::PATH_INFO>& selection)
        : m_selection(selection), m_refused(nullptr) {}
    ~SelectionPaths();
    SelectionPaths(const SelectionPaths&) = delete;
    SelectionPaths& operator=(const SelectionPaths&) = delete;

    // Appends a record for the length units at text, read by copy (a drop
    // handle's text may sit at an odd address). PathTooLongResult when the
    // path is beyond every form: the caller names it.
    HRESULT Add(const void* text, size_t length);
    // Appends record as it is, and when longPath is given (a block from
    // brxlib::Allocate, taken over whatever happens) its short form at Finish.
    HRESULT Add(const CShellExt::PATH_INFO& record, WCHAR* longPath);
    // Writes the short forms into their records. PathTooLongResult when a
    // path has none that fits; Refused() then names it.
    HRESULT Finish();
    // The path Finish refused, while this object lives.
    const WCHAR* Refused() const { return m_refused; }

private:
    CShellExt::PATH_INFO* NewRecord();

    struct LongPath {
        WCHAR* text;
        int record;
    };
    brxlib::simple_array<CShellExt::PATH_INFO>& m_selection;
    brxlib::simple_array<LongPath> m_longPaths;
    const WCHAR* m_refused;
};
