#include "convert/output_path.h"

#include "brxlib/path_forms.h"
#include "brxlib/memory.h"
#include "brxlib/text_builder.h"

const WCHAR* FileNamePart(const WCHAR* path)
{
    const WCHAR* name = path;
    for (const WCHAR* p = path; *p; p = CharNextW(p))
        if (*p == L'\\')
            name = p + 1;
    return name;
}

bool FormOutputPath(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension, WCHAR* output)
{
    WCHAR joined[MAX_PATH + 1];
    brxlib::TextBuilder path(joined, MAX_PATH + 1);
    if (target)
        path.Append(target).Append(L'\\').Append(FileNamePart(source));
    else
        path.Append(source);
    if (!path.ok())
        return false;

    // Only the file name's "." counts: a dot in a folder name must not move
    // the output out of its folder.
    const WCHAR* name = FileNamePart(joined);
    const WCHAR* dot = nullptr;
    for (const WCHAR* p = name; *p; ++p)
        if (*p == L'.')
            dot = p;
    const size_t keep = dot ? static_cast<size_t>(dot - joined) : path.length();

    brxlib::TextBuilder out(output, MAX_PATH + 1);
    out.Append(joined, keep).Append(newExtension);
    if (!out.ok()) {
        output[0] = 0;
        return false;
    }
    return true;
}

bool NamesSameFile(const WCHAR* a, const WCHAR* b)
{
    // Both in their long form: a short form and its long form, or two
    // spellings in other cases, name one file. A path that names no
    // existing file has no long form and is no file to protect.
    brxlib::HeapBuffer<WCHAR> longA(LongestExtendedPath + 1);
    brxlib::HeapBuffer<WCHAR> longB(LongestExtendedPath + 1);
    if (!LookUpLongForm(a, longA) || !LookUpLongForm(b, longB))
        return false;
    return CompareStringOrdinal(longA.get(), -1, longB.get(), -1, TRUE) == CSTR_EQUAL;
}
