// The name of a conversion's new archive when the source travels in its
// short form: the user chose "Quarterly figures.tar", not "QUARTE~1.TAR".
#pragma once
#include <windows.h>

// As FormOutputPath, but named after the source's long file name (from
// GetLongPathNameW) where that differs from the name the source carries
// and the output path then fits; otherwise exactly FormOutputPath.
bool FormConversionOutput(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension, WCHAR* output);
