#include "archive_entries.h"

#include <algorithm>

#include "fs_util.h"
#include "text.h"
#include "win_handle.h"

namespace standin {

namespace {

constexpr int kMaxDepth = 64;

struct Child {
  std::wstring name;
  WIN32_FIND_DATAW data;
};

std::vector<Child> ListChildren(const std::wstring& dir) {
  std::vector<Child> children;
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileW(JoinPath(dir, L"*").c_str(), &data));
  if (!find.Valid()) return children;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") children.push_back({name, data});
  } while (FindNextFileW(find.Get(), &data));
  std::sort(children.begin(), children.end(), [](const Child& a, const Child& b) {
    return CompareStringOrdinal(a.name.c_str(), -1, b.name.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  });
  return children;
}

ArchiveEntry MakeEntry(const std::wstring& source, const std::wstring& name, DWORD attr,
                       DWORD size_high, DWORD size_low, FILETIME mtime) {
  ArchiveEntry e;
  e.source = source;
  e.is_dir = (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
  e.name = ToUtf8(name) + (e.is_dir ? "/" : "");
  e.size = e.is_dir ? 0 : (static_cast<uint64_t>(size_high) << 32) | size_low;
  e.mtime = mtime;
  return e;
}

void AddTree(const std::wstring& dir, const std::wstring& prefix, int depth,
             std::vector<ArchiveEntry>& out, Notes& notes) {
  if (depth > kMaxDepth) {
    notes.push_back(L"folder nesting too deep, not descending: " + dir);
    return;
  }
  for (const Child& c : ListChildren(dir)) {
    std::wstring source = JoinPath(dir, c.name);
    if (c.data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      notes.push_back(L"skip link " + source);
      continue;
    }
    std::wstring name = prefix + L"/" + c.name;
    out.push_back(MakeEntry(source, name, c.data.dwFileAttributes, c.data.nFileSizeHigh,
                            c.data.nFileSizeLow, c.data.ftLastWriteTime));
    if (out.back().is_dir) AddTree(source, name, depth + 1, out, notes);
  }
}

bool AddListed(const std::wstring& item, std::vector<ArchiveEntry>& out,
               std::vector<std::wstring>& top_names, Notes& notes) {
  std::wstring full = StripTrailingSlashes(LongPath(FullPath(item)));
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &info)) {
    notes.push_back(L"cannot find listed item " + item);
    return false;
  }
  std::wstring name = BaseName(full);
  if (name.empty()) {
    notes.push_back(L"cannot archive a drive root: " + item);
    return false;
  }
  for (const std::wstring& seen : top_names) {
    if (EqualsNoCase(seen, name)) {
      notes.push_back(L"skip duplicate name " + item);
      return true;
    }
  }
  top_names.push_back(name);
  out.push_back(MakeEntry(full, name, info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow,
                          info.ftLastWriteTime));
  if (!out.back().is_dir) return true;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    notes.push_back(L"listed folder is a link, contents not added: " + item);
  else
    AddTree(full, name, 1, out, notes);
  return true;
}

}  // namespace

bool GatherEntries(const std::vector<std::wstring>& listed, std::vector<ArchiveEntry>& out,
                   Notes& notes) {
  out.clear();
  std::vector<std::wstring> top_names;
  for (const std::wstring& item : listed)
    if (!AddListed(item, out, top_names, notes)) return false;
  return true;
}

}  // namespace standin
