// The measurements; each adds its rows and notes to the report.
#pragma once
#include "loaded_module.h"

// QueryContextMenu of the full context menu against the bare registry reads and insertions.
void MeasureRightClick(const LoadedModule& module);
// Initialize with 1,000 / 10,000 / 50,000 dropped paths against one bare pass over the block.
void MeasureLargeSelections(const LoadedModule& module);
// The Windows 11 menu's Invoke on 1,000 and 10,000 files, until the archiver
// has started, against the classic Initialize plus InvokeCommand.
void MeasureNewMenuInvoke(const LoadedModule& module);
// WriteListFile against the same conversions written with one WriteFile.
void MeasureListFile();
// The DLL's size, imports and exports.
void MeasureFootprint(const LoadedModule& module);
// RunConvertArchiveW against the archiver's two runs started directly.
void MeasureConversion(const LoadedModule& module);
