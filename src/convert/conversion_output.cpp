#include "convert/conversion_output.h"

#include "brxlib/memory.h"
#include "brxlib/owners.h"
#include "brxlib/path_forms.h"
#include "brxlib/text_builder.h"

namespace {

// The folder (source's own, or target) and name, then newExtension in place
// of the name's last "." on, into output[capacity]; joined[capacity] is the
// room for the path before its extension changes.
bool FormOutputInto(const WCHAR* source, const WCHAR* target, const WCHAR* name, const WCHAR* newExtension,
                    WCHAR* joined, WCHAR* output, size_t capacity)
{
    brxlib::TextBuilder path(joined, capacity);
    if (target) {
        const size_t length = brxlib::TextLength(target);
        path.Append(target, length);
        if (length == 0 || target[length - 1] != L'\\')
            path.Append(L'\\');
    } else {
        path.Append(source, static_cast<size_t>(FileNamePart(source) - source));
    }
    const size_t nameStart = path.length();
    path.Append(name);
    if (!path.ok())
        return false;

    // Only the file name's "." counts: a dot in a folder name must not move
    // the output out of its folder.
    const WCHAR* dot = nullptr;
    for (const WCHAR* p = joined + nameStart; *p; ++p)
        if (*p == L'.')
            dot = p;
    const size_t keep = dot ? static_cast<size_t>(dot - joined) : path.length();

    brxlib::TextBuilder out(output, capacity);
    out.Append(joined, keep).Append(newExtension);
    if (!out.ok()) {
        output[0] = 0;
        return false;
    }
    return true;
}

bool FormOutputNamed(const WCHAR* source, const WCHAR* target, const WCHAR* name, const WCHAR* newExtension,
                     WCHAR* output)
{
    WCHAR joined[MAX_PATH + 1];
    return FormOutputInto(source, target, name, newExtension, joined, output, MAX_PATH + 1);
}

// One file's identity: the volume and the file's index on it.
bool FileIdentity(const WCHAR* path, BY_HANDLE_FILE_INFORMATION* info)
{
    // No access asked: only the identity is read, whoever has the file open.
    brxlib::UniqueHandle file(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.valid() && GetFileInformationByHandle(file.get(), info);
}

// GetFullPathNameW (doubled separators and "." parts collapsed) into full,
// then the long form into canonical; false when the path names no
// existing file.
bool CanonicalForm(const WCHAR* path, brxlib::HeapBuffer<WCHAR>& full, brxlib::HeapBuffer<WCHAR>& canonical)
{
    const DWORD length = GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.get(), nullptr);
    return length > 0 && length < full.size() && LookUpLongForm(full.get(), canonical);
}

}  // namespace

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
    return FormOutputNamed(source, target, FileNamePart(source), newExtension, output);
}

size_t OutputPathCapacity(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension)
{
    return brxlib::TextLength(source) + (target ? brxlib::TextLength(target) : 0) +
           brxlib::TextLength(newExtension) + 2;
}

bool FormLongOutputPath(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension, WCHAR* output,
                        size_t capacity)
{
    brxlib::HeapBuffer<WCHAR> joined(capacity);
    return joined && FormOutputInto(source, target, FileNamePart(source), newExtension, joined.get(), output, capacity);
}

bool FormConversionOutput(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension, WCHAR* output)
{
    brxlib::HeapBuffer<WCHAR> longPath(LongestExtendedPath + 1);
    if (LookUpLongForm(source, longPath)) {
        const WCHAR* longName = FileNamePart(longPath.get());
        if (longName[0] && CompareStringOrdinal(longName, -1, FileNamePart(source), -1, TRUE) != CSTR_EQUAL &&
            FormOutputNamed(source, target, longName, newExtension, output))
            return true;
    }
    return FormOutputPath(source, target, newExtension, output);
}

bool NamesSameFile(const WCHAR* a, const WCHAR* b)
{
    // The files' identity catches what no spelling shows: a second drive
    // letter or a share for the same files.
    BY_HANDLE_FILE_INFORMATION infoA;
    BY_HANDLE_FILE_INFORMATION infoB;
    if (FileIdentity(a, &infoA) && FileIdentity(b, &infoB) &&
        infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber && infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
        infoA.nFileIndexLow == infoB.nFileIndexLow)
        return true;
    // And the paths themselves, in case a volume gives no stable index. A
    // path that names no existing file has no long form and is no file to
    // protect.
    brxlib::HeapBuffer<WCHAR> full(LongestExtendedPath + 1);
    brxlib::HeapBuffer<WCHAR> longA(LongestExtendedPath + 1);
    brxlib::HeapBuffer<WCHAR> longB(LongestExtendedPath + 1);
    // Without memory to tell, the source is not risked.
    if (!full || !longA || !longB)
        return true;
    if (!CanonicalForm(a, full, longA) || !CanonicalForm(b, full, longB))
        return false;
    return CompareStringOrdinal(longA.get(), -1, longB.get(), -1, TRUE) == CSTR_EQUAL;
}
