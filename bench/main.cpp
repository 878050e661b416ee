// bench_morvane: what the shell extension costs over the platform work it
// cannot avoid. Prints one table; a missed target is reported, never fatal.
#include <windows.h>
#include <objbase.h>
#include <stdio.h>

#include "benchmarks.h"
#include "report.h"
#include "testkit/saved_settings.h"

// With names (footprint, rightclick, selections, newmenu, listfile,
// conversion), only those measurements run.
int wmain(int argc, wchar_t** argv)
{
    const auto wanted = [argc, argv](const wchar_t* name) {
        for (int i = 1; i < argc; ++i)
            if (lstrcmpiW(argv[i], name) == 0)
                return true;
        return argc < 2;
    };
    // Apartment threaded, as Explorer's thread that calls the handler.
    OleInitialize(nullptr);
    LoadedModule module;
    if (!module.loaded()) {
        printf("cannot load %ls (error %lu)\n", module.path(), GetLastError());
        return 1;
    }
    {
        SavedSettings saved;
        if (wanted(L"footprint"))
            MeasureFootprint(module);
        if (wanted(L"rightclick"))
            MeasureRightClick(module);
        if (wanted(L"selections"))
            MeasureLargeSelections(module);
        if (wanted(L"newmenu"))
            MeasureNewMenuInvoke(module);
        if (wanted(L"listfile"))
            MeasureListFile();
        if (wanted(L"conversion"))
            MeasureConversion(module);
    }
    printf("ANSI code page %u; times are medians of alternating runs, measured and floor in this run.\n\n",
           GetACP());
    PrintReport();
    return 0;
}
