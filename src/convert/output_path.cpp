#include "convert/output_path.h"

#include "brxlib/owners.h"
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

namespace {

bool FileIdentity(const WCHAR* path, BY_HANDLE_FILE_INFORMATION* info)
{
    // No access asked: only the file's identity is read.
    brxlib::UniqueHandle file(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.valid() && GetFileInformationByHandle(file.get(), info);
}

}  // namespace

bool NamesSameFile(const WCHAR* a, const WCHAR* b)
{
    BY_HANDLE_FILE_INFORMATION first;
    BY_HANDLE_FILE_INFORMATION second;
    if (!FileIdentity(a, &first) || !FileIdentity(b, &second))
        return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}
