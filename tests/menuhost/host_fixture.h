// What the menu host tests share: running menuhost.exe and regsvr32, the
// per-user menu switches, and a scratch folder with a file and a drop folder.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "registry_scope.h"

namespace menuhost_test {

std::string Utf8(const std::wstring& text);
std::wstring Quote(const std::wstring& text);

// menuhost.exe of this build with the given arguments, 60 s at most.
ChildResult RunMenuhost(const std::vector<std::wstring>& args);
// The printed menu: the lines after "menu:" that belong to the tree.
std::string MenuTree(const std::string& out);
// How many lines start with the prefix.
int CountLines(const std::string& out, const std::string& prefix);

// The system's regsvr32 on the built DLL ("/s", or "/u /s"); its exit code, or -1.
long Regsvr32(bool unregister);

// The switches that make the DLL show its extract, compress and convert menus.
class MenuSettings {
public:
    MenuSettings();
    bool ok() const;
    // Another value held until the settings go.
    void Add(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);

private:
    void AddDword(const std::wstring& path, const std::wstring& name, DWORD value);
    std::vector<std::unique_ptr<ScopedValue>> values_;
};

// A fresh folder under the temp folder, removed with what is in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }
    bool AddFile(const std::wstring& name, const std::string& bytes) const;
    bool AddFolder(const std::wstring& name) const;

private:
    std::wstring path_;
};

}  // namespace menuhost_test
