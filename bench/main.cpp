// bench_morvane: what the shell extension costs over the platform work it
// cannot avoid. Prints one table; a missed target is reported, never fatal.
#include <windows.h>
#include <objbase.h>
#include <stdio.h>

#include "benchmarks.h"
#include "report.h"
#include "testkit/saved_settings.h"

int wmain()
{
    // Apartment threaded, as Explorer's thread that calls the handler.
    OleInitialize(nullptr);
    LoadedModule module;
    if (!module.loaded()) {
        printf("cannot load %ls (error %lu)\n", module.path(), GetLastError());
        return 1;
    }
    {
        SavedSettings saved;
        MeasureFootprint(module);
        MeasureRightClick(module);
        MeasureLargeSelections(module);
        MeasureNewMenuInvoke(module);
        MeasureListFile();
        MeasureConversion(module);
    }
    printf("ANSI code page %u; times are medians of alternating runs, measured and floor in this run.\n\n",
           GetACP());
    PrintReport();
    return 0;
}
