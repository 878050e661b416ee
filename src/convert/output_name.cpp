#include "convert/output_name.h"

#include "brxlib/path_forms.h"
#include "brxlib/memory.h"
#include "brxlib/text_builder.h"
#include "convert/output_path.h"

namespace {

// source's folder as source gives it, followed by its long file name, into
// renamed[MAX_PATH + 1]; false when the source already carries that name,
// has none to find, or the result does not fit.
bool RenameToLongName(const WCHAR* source, WCHAR* renamed)
{
    brxlib::HeapBuffer<WCHAR> longPath(LongestExtendedPath + 1);
    if (!LookUpLongForm(source, longPath))
        return false;
    const WCHAR* longName = FileNamePart(longPath.get());
    const WCHAR* name = FileNamePart(source);
    if (!longName[0] || CompareStringOrdinal(longName, -1, name, -1, TRUE) == CSTR_EQUAL)
        return false;
    brxlib::TextBuilder text(renamed, MAX_PATH + 1);
    text.Append(source, static_cast<size_t>(name - source)).Append(longName);
    return text.ok();
}

}  // namespace

bool FormConversionOutput(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension, WCHAR* output)
{
    WCHAR renamed[MAX_PATH + 1] = {};
    if (RenameToLongName(source, renamed) && FormOutputPath(renamed, target, newExtension, output))
        return true;
    return FormOutputPath(source, target, newExtension, output);
}
