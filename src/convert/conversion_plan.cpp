#include "convert/conversion_plan.h"

HRESULT PrepareConversion(const ConversionTarget& conversion, const WCHAR* source, const WCHAR* target,
                          ConversionPaths* paths, ArchiverLocation& location, CommandRefusal& refusal)
{
    const HRESULT formed = FormConversionPaths(source, target, conversion.newExtension, paths, refusal);
    if (FAILED(formed))
        return formed;
    // "b.zip" into ".zip", or "E:\b.zip" dropped onto "E:" or onto another
    // letter for the same drive: the second run would pack into the archive
    // it came from. Both as the archiver will read them: "Archives.\b.tar"
    // as typed is "Archives\b.tar" to Win32, while the output goes through
    // the folder's short form and is the source itself.
    const HRESULT same = NamesSameFile(paths->output, paths->source);
    if (FAILED(same))
        return same;
    if (same == S_OK) {
        refusal.Set(RefusalReason::OutputIsSource, paths->output);
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    }
    const HRESULT unaliased = CheckOutputIsNoAlias(*paths, refusal);
    if (FAILED(unaliased))
        return unaliased;
    // No install folder: no program to trust (see RunArchiverCommand).
    const HRESULT located = LocateArchiver(location);
    if (FAILED(located))
        refusal.Set(RefusalReason::NoInstallFolder);
    return located;
}
