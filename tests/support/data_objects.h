// Data objects as Explorer hands them to Initialize.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "testkit/com_ptr.h"
#include "testkit/drop_handle.h"

// The data object that the items' parent folder gives (GetUIObjectOf), as
// Explorer does for a selection. All paths must lie in one folder.
ComPtr<IDataObject> ShellDataObject(const std::vector<std::wstring>& paths);
// The same, or null where Wine cannot make one (nothing fails).
ComPtr<IDataObject> TryShellDataObject(const std::vector<std::wstring>& paths);

// An absolute ID list of a path; freed with the owner.
class IdList {
public:
    explicit IdList(const std::wstring& path);
    ~IdList();
    IdList(const IdList&) = delete;
    IdList& operator=(const IdList&) = delete;
    PCIDLIST_ABSOLUTE get() const { return m_pidl; }

private:
    PIDLIST_ABSOLUTE m_pidl;
};

// A data object of the tests' own that offers the given drop handle (see
// BuildDropHandle) as CF_HDROP in global memory, a copy for each GetData, or
// (with null) no CF_HDROP at all.
ComPtr<IDataObject> HandMadeDataObject(HGLOBAL dropHandle);
