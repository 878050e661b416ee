// The checks a conversion passes before its first run: where the user picks
// it (in Explorer, so that a refusal is told to the picking window and
// reported as a failure) and again in the worker, for a request that comes
// from elsewhere.
#pragma once
#include <windows.h>

#include "archiver/archiver_location.h"
#include "convert/conversion_output.h"
#include "shellext/menu_tables.h"
#include "shellext/refusal.h"

// Forms the conversion's paths and checks them: the output in a form that
// fits and names what it should, not the source itself, not another file
// through its short name; then the install folder. S_OK with paths and
// location filled, or the first failure with refusal set (none when memory
// ran out).
HRESULT PrepareConversion(const ConversionTarget& conversion, const WCHAR* source, const WCHAR* target,
                          ConversionPaths* paths, ArchiverLocation& location, CommandRefusal& refusal);
