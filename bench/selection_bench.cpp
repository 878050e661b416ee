// Large selections: Initialize with thousands of dropped paths.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "benchmarks.h"
#include "report.h"
#include "testkit/core_object.h"
#include "testkit/drop_handle.h"
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

    AddRatioRow(Format("Initialize, %d files", files), t.value, t.floor, 1.3);
    AddRow(Format("  same, floor into a fresh array"), Ms(t.value), Ms(fresh),
           Format("%.2fx", t.value / fresh), "(comparison)", Verdict::Info);
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

}  // namespace

void MeasureLargeSelections(const LoadedModule& module)
{
    std::vector<SizeResult> sizes;
    for (int files : {1000, 10000, 50000})
        sizes.push_back(MeasureSize(module, files));
    double lowest = 0, highest = 0, freshLowest = 0, freshHighest = 0;
    const double spread = Spread(sizes, &SizeResult::value, &lowest, &highest);
    const double freshSpread = Spread(sizes, &SizeResult::fresh, &freshLowest, &freshHighest);
    AddRow("Initialize cost per file, spread", Format("%.2f-%.2f us", lowest, highest), "-",
           Format("+%.0f%%", spread), "<= 20%", spread <= 20.0 ? Verdict::Met : Verdict::Missed);
    AddNote("per-file cost of the floor into a fresh array: %.2f-%.2f us (+%.0f%%): first touches of new "
            "pages, not the pass over the paths, set the slope", freshLowest, freshHighest, freshSpread);
    AddNote("bare DragQueryFileW loop: 1,000 and 10,000 files only (quadratic; 50,000 would take minutes); "
            "its ratio is against the one-pass floor");
}
