// The list file: WriteListFile for 1,000 and 10,000 existing files.
#include <array>
#include <functional>
#include <string_view>
#include <string>
#include <unordered_map>
#include <vector>

#include "benchmarks.h"
#include "testkit/core_object.h"
#include "report.h"
#include "testkit/scratch_folder.h"
#include "timing.h"

namespace {

std::vector<std::wstring> MakeFiles(const ScratchFolder& folder, int count)
{
    std::vector<std::wstring> paths;
    wchar_t name[64];
    for (int i = 1; i <= count; ++i) {
        swprintf(name, 64, L"List entry %05d with a long name.txt", i);
        paths.push_back(folder / name);
        HANDLE file = CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    return paths;
}

// As Initialize leaves the selection: each path in a zero-filled record.
void FillSelection(CShellExt* ext, const std::vector<std::wstring>& paths, int count)
{
    ext->Selection.clear();
    ext->Selection.reserve(count);
    for (int i = 0; i < count; ++i) {
        CShellExt::PATH_INFO record = {};
        paths[static_cast<size_t>(i)].copy(record.path, MAX_PATH);
        ext->Selection.append(record);
    }
}

void AppendLine(const wchar_t* line, char*& out, char* end)
{
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, line, -1, out, static_cast<int>(end - out),
                                          nullptr, nullptr);
    out += bytes > 0 ? bytes - 1 : 0;
    *out++ = '\r';
    *out++ = '\n';
}

void WriteOnce(const std::vector<char>& buffer, const char* out, wchar_t* name)
{
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, buffer.data(), static_cast<DWORD>(out - buffer.data()), &written, nullptr);
    CloseHandle(file);
}

void FloorName(wchar_t* name)
{
    wchar_t tempFolder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, tempFolder);
    GetTempFileNameW(tempFolder, L"MRB", 0, name);
}

// The old way: one GetShortPathNameW per path, gathered into one buffer
// (allocated by the caller) and written with a single WriteFile.
double PerPathListFile(const std::vector<std::wstring>& paths, std::vector<char>& buffer, wchar_t* name)
{
    const double start = NowMs();
    FloorName(name);
    char* out = buffer.data();
    for (const std::wstring& path : paths) {
        wchar_t shortPath[MAX_PATH + 1];
        const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
        AppendLine(length > 0 && length < MAX_PATH ? shortPath : path.c_str(), out, buffer.data() + buffer.size());
    }
    WriteOnce(buffer, out, name);
    return NowMs() - start;
}

// The least the platform must do for a selection out of one folder: the
// folder's short form once, one enumeration with the short names (standard
// information: the basic kind leaves them out) in large fetches, ended once
// every selected name is found, each entry matched in a table of the
// selected names (views of the paths, no copies), the conversions straight
// into one buffer and one write.
double EnumerationListFile(const std::wstring& folder, const std::vector<std::wstring>& paths,
                           std::vector<char>& buffer, wchar_t* name)
{
    const double start = NowMs();
    FloorName(name);
    wchar_t shortFolder[MAX_PATH + 1];
    const size_t folderLength = GetShortPathNameW(folder.c_str(), shortFolder, MAX_PATH);
    std::unordered_map<std::wstring_view, size_t> selected(paths.size() * 2);
    for (size_t i = 0; i < paths.size(); ++i)
        selected.emplace(std::wstring_view(paths[i]).substr(folder.size() + 1), i);
    std::vector<std::array<wchar_t, 14>> shortNames(paths.size());
    size_t left = paths.size();
    WIN32_FIND_DATAW entry;
    const std::wstring pattern = folder + L"\\*";
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &entry, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const auto found = selected.find(entry.cFileName);
            if (found != selected.end()) {
                memcpy(shortNames[found->second].data(), entry.cAlternateFileName, sizeof(entry.cAlternateFileName));
                --left;
            }
        } while (left > 0 && FindNextFileW(search, &entry));
        FindClose(search);
    }
    char* out = buffer.data();
    char* const end = buffer.data() + buffer.size();
    wchar_t line[2 * MAX_PATH];
    memcpy(line, shortFolder, folderLength * sizeof(wchar_t));
    line[folderLength] = L'\\';
    for (size_t i = 0; i < paths.size(); ++i) {
        const wchar_t* component = shortNames[i][0] ? shortNames[i].data() : paths[i].c_str() + folder.size() + 1;
        wcscpy(line + folderLength + 1, component);
        AppendLine(line, out, end);
    }
    WriteOnce(buffer, out, name);
    return NowMs() - start;
}

double ModuleListFile(CShellExt* ext, const std::vector<std::wstring>& paths, wchar_t* name, bool* ok)
{
    FillSelection(ext, paths, static_cast<int>(paths.size()));
    const double start = NowMs();
    *ok = ext->WriteListFile(name);
    return NowMs() - start;
}

// paths (a selection out of folder) written by the module against a floor;
// the module's file must hold the bytes of the per-path way.
void MeasureSelection(CShellExt* ext, const ScratchFolder& folder, const std::vector<std::wstring>& paths,
                      const std::string& label, bool enumerationFloor, double limit, bool comparePerPath)
{
    std::vector<char> buffer(paths.size() * (2 * MAX_PATH + 2));
    wchar_t moduleName[MAX_PATH + 1] = {};
    wchar_t floorName[MAX_PATH + 1] = {};
    bool written = false;

    ModuleListFile(ext, paths, moduleName, &written);
    PerPathListFile(paths, buffer, floorName);
    const std::string moduleBytes = ReadBytes(moduleName);
    const std::string perPathBytes = ReadBytes(floorName);
    DeleteFileW(floorName);
    // The enumeration floor must write the same bytes too, or it is no floor.
    if (enumerationFloor)
        EnumerationListFile(folder.path(), paths, buffer, floorName);
    const bool identical = written && !moduleBytes.empty() && moduleBytes == perPathBytes &&
                           (!enumerationFloor || ReadBytes(floorName) == perPathBytes);
    DeleteFileW(moduleName);
    DeleteFileW(floorName);

    bool allWritten = written;
    auto measured = [&] {
        const double elapsed = ModuleListFile(ext, paths, moduleName, &written);
        allWritten = allWritten && written;
        DeleteFileW(moduleName);
        return elapsed;
    };
    auto enumeration = [&] {
        const double elapsed = EnumerationListFile(folder.path(), paths, buffer, floorName);
        DeleteFileW(floorName);
        return elapsed;
    };
    auto perPath = [&] {
        const double elapsed = PerPathListFile(paths, buffer, floorName);
        DeleteFileW(floorName);
        return elapsed;
    };
    // The per-path way costs Wine a whole folder scan a path: keep the big runs few.
    const int runs = paths.size() > 1000 || !enumerationFloor ? 3 : 9;
    std::vector<std::function<double()>> timed = {measured};
    timed.push_back(enumerationFloor ? std::function<double()>(enumeration) : std::function<double()>(perPath));
    if (comparePerPath)
        timed.push_back(perPath);
    const std::vector<double> t = MedianRounds(0, runs, timed);
    AddRatioRow("WriteListFile, " + label, t[0], t[1], limit);
    if (comparePerPath)
        AddRow("  same, the per-path way", Ms(t[2]), Ms(t[1]), Format("%.2fx", t[2] / t[1]), "(comparison)",
               Verdict::Info);
    AddRow("  list file bytes, " + label, identical ? "identical" : "DIFFER", Format("%zu B", perPathBytes.size()),
           "-", "= per-path bytes", identical ? Verdict::Met : Verdict::Missed);
    AddNote("WriteListFile %s: every call %s; median of %d; %.1f us/path (floor %.1f us/path; floor: %s)",
            label.c_str(), allWritten ? "succeeded" : "DID NOT ALWAYS SUCCEED", runs, t[0] * 1000.0 / paths.size(),
            t[1] * 1000.0 / paths.size(), enumerationFloor ? "one enumeration" : "the per-path way");
}

// count paths spread evenly over the folder's.
std::vector<std::wstring> SpreadOver(const std::vector<std::wstring>& paths, size_t count)
{
    std::vector<std::wstring> picked;
    for (size_t i = 0; picked.size() < count && i < paths.size(); i += paths.size() / count)
        picked.push_back(paths[i]);
    return picked;
}

}  // namespace

void MeasureListFile()
{
    ComPtr<IShellExtInit> init = NewCoreObject();
    if (!init) {
        AddRow("WriteListFile", "error", "-", "-", "<= 1.5x", Verdict::Missed);
        return;
    }
    {
        ScratchFolder folder(L"list");
        const std::vector<std::wstring> paths = MakeFiles(folder, 10000);
        const std::vector<std::wstring> first(paths.begin(), paths.begin() + 1000);
        MeasureSelection(AsShellExt(init.get()), folder, first, "1000 of 10000", true, 1.5, false);
        MeasureSelection(AsShellExt(init.get()), folder, paths, "10000 of 10000", true, 1.5, true);
    }
    {
        ScratchFolder folder(L"list");
        const std::vector<std::wstring> paths = MakeFiles(folder, 50000);
        MeasureSelection(AsShellExt(init.get()), folder, SpreadOver(paths, 100), "100 of 50000", false, 1.2, false);
    }
    AddNote("list file: existing files (long names, so each short name is looked up for real) in one "
            "folder of 10,000 or 50,000; the files are deleted after each run");
}
