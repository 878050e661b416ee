// The list file: WriteListFile for 1,000 and 10,000 existing files.
#include <string>
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

// The same short-name look-ups and conversions, gathered into one buffer
// (allocated by the caller) and written with a single WriteFile.
double FloorListFile(const std::vector<std::wstring>& paths, int count, std::vector<char>& buffer, wchar_t* name)
{
    const double start = NowMs();
    wchar_t tempFolder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, tempFolder);
    GetTempFileNameW(tempFolder, L"MRB", 0, name);
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    char* out = buffer.data();
    char* const end = buffer.data() + buffer.size();
    for (int i = 0; i < count; ++i) {
        const wchar_t* path = paths[static_cast<size_t>(i)].c_str();
        wchar_t shortPath[MAX_PATH + 1];
        const DWORD length = GetShortPathNameW(path, shortPath, MAX_PATH);
        const wchar_t* line = length > 0 && length < MAX_PATH ? shortPath : path;
        const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, line, -1, out,
                                              static_cast<int>(end - out), "_", nullptr);
        out += bytes > 0 ? bytes - 1 : 0;
        *out++ = '\r';
        *out++ = '\n';
    }
    DWORD written = 0;
    WriteFile(file, buffer.data(), static_cast<DWORD>(out - buffer.data()), &written, nullptr);
    CloseHandle(file);
    return NowMs() - start;
}

double ModuleListFile(CShellExt* ext, const std::vector<std::wstring>& paths, int count, wchar_t* name, bool* ok)
{
    FillSelection(ext, paths, count);
    const double start = NowMs();
    *ok = ext->WriteListFile(name);
    return NowMs() - start;
}

void MeasureCount(CShellExt* ext, const std::vector<std::wstring>& paths, int count)
{
    std::vector<char> buffer(static_cast<size_t>(count) * (2 * MAX_PATH + 2));
    wchar_t moduleName[MAX_PATH + 1] = {};
    wchar_t floorName[MAX_PATH + 1] = {};
    bool written = false;

    // Once for the comparison: the two files must hold the same bytes.
    ModuleListFile(ext, paths, count, moduleName, &written);
    FloorListFile(paths, count, buffer, floorName);
    const std::string moduleBytes = ReadBytes(moduleName);
    const std::string floorBytes = ReadBytes(floorName);
    const bool identical = written && !moduleBytes.empty() && moduleBytes == floorBytes;
    DeleteFileW(moduleName);
    DeleteFileW(floorName);

    bool allWritten = written;
    auto measured = [&] {
        const double elapsed = ModuleListFile(ext, paths, count, moduleName, &written);
        allWritten = allWritten && written;
        DeleteFileW(moduleName);
        return elapsed;
    };
    auto floor = [&] {
        const double elapsed = FloorListFile(paths, count, buffer, floorName);
        DeleteFileW(floorName);
        return elapsed;
    };
    // Each short-name look-up costs Wine a directory query or more: keep the big run short.
    const int runs = count > 1000 ? 3 : 11;
    const PairedMedians t = MedianPair(0, runs, measured, floor);
    AddRatioRow(Format("WriteListFile, %d paths", count), t.value, t.floor, 1.2);
    AddRow(Format("  list file bytes, %d paths", count), identical ? "identical" : "DIFFER",
           Format("%zu B", floorBytes.size()), "-", "byte-identical", identical ? Verdict::Met : Verdict::Missed);
    AddNote("WriteListFile %d paths: every call %s; median of %d; %.1f us/path (floor %.1f us/path)", count,
            allWritten ? "succeeded" : "DID NOT ALWAYS SUCCEED", runs, t.value * 1000.0 / count,
            t.floor * 1000.0 / count);
}

}  // namespace

void MeasureListFile()
{
    ScratchFolder folder(L"list");
    const std::vector<std::wstring> paths = MakeFiles(folder, 10000);
    ComPtr<IShellExtInit> init = NewCoreObject();
    if (!init) {
        AddRow("WriteListFile", "error", "-", "-", "<= 1.2x", Verdict::Missed);
        return;
    }
    for (int count : {1000, 10000})
        MeasureCount(AsShellExt(init.get()), paths, count);
    AddNote("list file: existing files (long names, so each short name is looked up for real) in one "
            "folder of 10,000; the files are deleted after each run");
}
