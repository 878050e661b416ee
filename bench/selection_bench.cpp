// Large selections: Initialize with thousands of dropped paths.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "benchmarks.h"
#include "brxlib/path_forms.h"
#include "report.h"
#include "testkit/core_object.h"
#include "testkit/drop_handle.h"
#include "testkit/scratch_folder.h"
#include "timing.h"

namespace {

const wchar_t SelectionFolder[] = L"C:\\users\\bench\\Documents\\Large selection";

// count paths of one folder, numbered; the files need not exist.
std::vector<std::wstring> NumberedPaths(const std::wstring& folder, int count)
{
    std::vector<std::wstring> paths;
    paths.reserve(static_cast<size_t>(count));
    wchar_t name[64];
    for (int i = 1; i <= count; ++i) {
        swprintf(name, 64, L"\\Document %06d of the selection.txt", i);
        paths.push_back(folder + name);
    }
    return paths;
}

// One pass over the block: each path into a zeroed 261-unit record.
int CopyIntoRecords(HGLOBAL drop, CShellExt::PATH_INFO* records)
{
    const DROPFILES* header = static_cast<const DROPFILES*>(GlobalLock(drop));
    const wchar_t* p = reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(header) + header->pFiles);
    int count = 0;
    while (*p) {
        CShellExt::PATH_INFO* record = &records[count++];
        ZeroMemory(record, sizeof(*record));
        for (wchar_t* out = record->path; *p;)
            *out++ = *p++;
        ++p;
    }
    GlobalUnlock(drop);
    return count;
}

// What a handler written with the documented call does: quadratic in Wine
// (and in Windows), each call walks the list from its start.
double BareDragQueryFile(HGLOBAL drop)
{
    const double start = NowMs();
    HDROP h = static_cast<HDROP>(drop);
    const UINT count = DragQueryFileW(h, 0xFFFFFFFF, nullptr, 0);
    wchar_t buffer[MAX_PATH];
    for (UINT i = 0; i < count; ++i)
        DragQueryFileW(h, i, buffer, MAX_PATH);
    return NowMs() - start;
}

// The linked object's selection after Initialize, compared with the paths.
bool SelectionMatches(IDataObject* data, const std::vector<std::wstring>& paths)
{
    ComPtr<IShellExtInit> init = NewCoreObject();
    if (!init || FAILED(init->Initialize(nullptr, data, nullptr)))
        return false;
    const CShellExt* ext = AsShellExt(init.get());
    if (ext->Selection.count != static_cast<int>(paths.size()))
        return false;
    for (size_t i = 0; i < paths.size(); ++i)
        if (paths[i] != ext->Selection.data[i].path)
            return false;
    return true;
}

struct SizeResult {
    int files;
    double value;  // Initialize, ms
    double fresh;  // the floor into a fresh array, ms
};

// Highest over lowest cost per file, less one, in per cent.
double Spread(const std::vector<SizeResult>& sizes, double SizeResult::*figure, double* lowest, double* highest)
{
    *lowest = 1e300;
    *highest = 0;
    for (const SizeResult& size : sizes) {
        const double perFile = size.*figure * 1000.0 / size.files;
        *lowest = perFile < *lowest ? perFile : *lowest;
        *highest = perFile > *highest ? perFile : *highest;
    }
    return (*highest / *lowest - 1.0) * 100.0;
}

SizeResult MeasureSize(const LoadedModule& module, int files)
{
    const std::vector<std::wstring> paths = NumberedPaths(SelectionFolder, files);
    HGLOBAL drop = BuildDropHandle(paths);
    ComPtr<IDataObject> data = DropHandleDataObject(drop, DropHandout::Block);
    const bool matches = SelectionMatches(data.get(), paths);
    std::vector<CShellExt::PATH_INFO> records(static_cast<size_t>(files));

    HRESULT result = S_OK;
    // A fresh object each time, as Explorer makes for each selection; made and released untimed.
    auto measured = [&] {
        ComPtr<IShellExtInit> init = module.NewObject();
        const double start = NowMs();
        result = init->Initialize(nullptr, data.get(), nullptr);
        return NowMs() - start;
    };
    auto floor = [&] {
        const double start = NowMs();
        CopyIntoRecords(drop, records.data());
        return NowMs() - start;
    };
    // The same pass into an array allocated (not yet touched) for each run.
    auto freshFloor = [&] {
        const double start = NowMs();
        void* fresh = HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(files) * sizeof(CShellExt::PATH_INFO));
        CopyIntoRecords(drop, static_cast<CShellExt::PATH_INFO*>(fresh));
        const double elapsed = NowMs() - start;
        HeapFree(GetProcessHeap(), 0, fresh);
        return elapsed;
    };
    const int runs = files >= 50000 ? 11 : 21;
    const std::vector<double> medians = MedianRounds(3, runs, {measured, floor, freshFloor});
    const PairedMedians t = {medians[0], medians[1]};
    const double fresh = medians[2];

    // The selection is new memory each time: the floor that reuses one array is for comparison.
    AddRatioRow(Format("Initialize, %d files", files), t.value, fresh, 1.15);
    AddRow(Format("  same, floor reusing one array"), Ms(t.value), Ms(t.floor),
           Format("%.2fx", t.value / t.floor), "(comparison)", Verdict::Info);
    AddNote("Initialize %d files: result 0x%08lX, selection %s the paths; median of %d; %.2f us/file "
            "(floor %.3f us/file, floor into a fresh array %.2f us/file)",
            files, static_cast<unsigned long>(result), matches ? "matches" : "DOES NOT MATCH", runs,
            t.value * 1000.0 / files, t.floor * 1000.0 / files, fresh * 1000.0 / files);

    // The bare loop is quadratic: at 50,000 it would take minutes, so it is left out there.
    if (files <= 10000) {
        const int bareRuns = files > 1000 ? 3 : 11;
        const double bare = MedianOf(files > 1000 ? 0 : 1, bareRuns, [&] { return BareDragQueryFile(drop); });
        AddRow(Format("  bare DragQueryFileW loop, %d", files), Ms(bare), Ms(t.floor),
               Format("%.2fx", bare / t.floor), "(comparison)", Verdict::Info);
    }
    return {files, t.value, fresh};
}

// count files of one folder, each path 260 units or more; empty when they cannot be made.
std::vector<std::wstring> MakeLongPaths(const std::wstring& folder, int count)
{
    std::vector<std::wstring> paths;
    if (!CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr))
        return paths;
    wchar_t name[64];
    for (int i = 1; i <= count; ++i) {
        swprintf(name, 64, L"\\Document %06d ", i);
        std::wstring path = folder + name;
        path.append(270 - path.size() - 4, L'x').append(L".txt");
        HANDLE file = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return {};
        CloseHandle(file);
        paths.push_back(path);
    }
    return paths;
}

// What each path's own look-up gives: its short form, or empty.
std::wstring PerPathShortForm(const std::wstring& path)
{
    CShellExt::PATH_INFO record = {};
    return StoreShortForm(path.c_str(), path.size(), record.path) ? record.path : L"";
}

double EnumerateFolder(const std::wstring& folder)
{
    const double start = NowMs();
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileExW((L"\\\\?\\" + folder + L"\\*").c_str(), FindExInfoStandard, &entry,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search != INVALID_HANDLE_VALUE) {
        while (FindNextFileW(search, &entry)) {
        }
        FindClose(search);
    }
    return NowMs() - start;
}

// Long paths travel in their short forms; many of one folder take one
// enumeration of it. Against the same files dropped in their short forms
// (copied as they are) plus that one enumeration.
void MeasureLongPaths(const LoadedModule& module)
{
    const int files = 5000;
    ScratchFolder scratch(L"longsel");
    const std::wstring folder = scratch / L"A folder of documents whose names are long enough together";
    const std::vector<std::wstring> paths = MakeLongPaths(folder, files);
    std::vector<std::wstring> shortPaths;
    for (const std::wstring& path : paths)
        shortPaths.push_back(PerPathShortForm(path));
    if (paths.empty() || std::find(shortPaths.begin(), shortPaths.end(), L"") != shortPaths.end()) {
        AddRow(Format("Initialize, %d long paths of one folder", files), "error", "-", "-", "<= 1.5x",
               Verdict::Missed);
        AddNote("long paths: the files or their short forms could not be had");
        return;
    }
    HGLOBAL longDrop = BuildDropHandle(paths);
    HGLOBAL shortDrop = BuildDropHandle(shortPaths);
    ComPtr<IDataObject> longData = DropHandleDataObject(longDrop, DropHandout::Block);
    ComPtr<IDataObject> shortData = DropHandleDataObject(shortDrop, DropHandout::Block);
    const bool matches = SelectionMatches(longData.get(), shortPaths);

    HRESULT result = S_OK;
    auto initialize = [&](IDataObject* data, HRESULT* hr) {
        ComPtr<IShellExtInit> init = module.NewObject();
        const double start = NowMs();
        *hr = init->Initialize(nullptr, data, nullptr);
        return NowMs() - start;
    };
    HRESULT shortResult = S_OK;
    auto measured = [&] { return initialize(longData.get(), &result); };
    auto floor = [&] { return initialize(shortData.get(), &shortResult) + EnumerateFolder(folder); };
    // Each path looked up on its own, as Initialize did before.
    auto perPath = [&] {
        const double start = NowMs();
        CShellExt::PATH_INFO record;
        for (const std::wstring& path : paths)
            StoreShortForm(path.c_str(), path.size(), record.path);
        return NowMs() - start;
    };
    const int runs = 11;
    const std::vector<double> medians = MedianRounds(1, runs, {measured, floor, perPath});
    const bool worked = matches && result == S_OK && shortResult == S_OK;
    const double ratio = medians[1] > 0 ? medians[0] / medians[1] : 0;
    AddRow(Format("Initialize, %d long paths of one folder", files), Ms(medians[0]), Ms(medians[1]),
           Format("%.2fx", ratio), "<= 1.5x", worked && ratio <= 1.5 ? Verdict::Met : Verdict::Missed);
    AddRow("  same, each path looked up on its own", Ms(medians[2]), Ms(medians[1]),
           Format("%.2fx", medians[2] / medians[1]), "(comparison)", Verdict::Info);
    AddNote("long paths: %d paths of %zu units in one folder; result 0x%08lX, selection %s each path's own "
            "short form; floor: the same files dropped in their short forms (0x%08lX) plus one enumeration "
            "of the folder (%s); median of %d",
            files, paths[0].size(), static_cast<unsigned long>(result), matches ? "matches" : "DOES NOT MATCH",
            static_cast<unsigned long>(shortResult), Ms(EnumerateFolder(folder)).c_str(), runs);
}

}  // namespace

void MeasureLargeSelections(const LoadedModule& module)
{
    std::vector<SizeResult> sizes;
    for (int files : {1000, 10000, 50000})
        sizes.push_back(MeasureSize(module, files));
    double lowest = 0, highest = 0, freshLowest = 0, freshHighest = 0;
    const double spread = Spread(sizes, &SizeResult::value, &lowest, &highest);
    const double freshSpread = Spread(sizes, &SizeResult::fresh, &freshLowest, &freshHighest);
    // First touches of new pages set the per-file cost of the floor itself
    // apart by size: what Initialize must keep is its ratio to that floor.
    double lowRatio = 1e300, highRatio = 0;
    for (const SizeResult& size : sizes) {
        lowRatio = std::min(lowRatio, size.value / size.fresh);
        highRatio = std::max(highRatio, size.value / size.fresh);
    }
    const double ratioSpread = (highRatio / lowRatio - 1.0) * 100.0;
    AddRow("Initialize over its floor, spread", Format("%.2f-%.2fx", lowRatio, highRatio), "-",
           Format("+%.0f%%", ratioSpread), "<= 20%", ratioSpread <= 20.0 ? Verdict::Met : Verdict::Missed);
    AddRow("  cost per file, spread", Format("%.2f-%.2f us", lowest, highest),
           Format("%.2f-%.2f us", freshLowest, freshHighest), Format("+%.0f%%", spread), "(comparison)",
           Verdict::Info);
    AddNote("per-file cost of Initialize +%.0f%% across sizes, of the floor into a fresh array +%.0f%%: first "
            "touches of new pages, not the pass over the paths, set the slope", spread, freshSpread);
    MeasureLongPaths(module);
    AddNote("bare DragQueryFileW loop: 1,000 and 10,000 files only (quadratic; 50,000 would take minutes); "
            "its ratio is against the one-pass floor");
}
