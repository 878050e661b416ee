#include "convert/conversion_output.h"

#include <string.h>

#include "brxlib/memory.h"
#include "brxlib/owners.h"
#include "brxlib/path_forms.h"
#include "brxlib/text_builder.h"

namespace {

// The name of the entry path reaches, as the file system holds it (never
// an 8.3 alias), into entry; looked up in the "\\?\" form, where "report."
// is "report." and not "report". S_FALSE when path reaches no entry.
HRESULT LookUpEntryName(const WCHAR* path, WIN32_FIND_DATAW* entry)
{
    WCHAR* extended = ExtendedForm(path, brxlib::TextLength(path));
    if (!extended)
        return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? E_OUTOFMEMORY : S_FALSE;
    brxlib::UniqueFind search(
        FindFirstFileExW(extended, FindExInfoBasic, entry, FindExSearchNameMatch, nullptr, 0));
    brxlib::Free(extended);
    return search.valid() ? S_OK : S_FALSE;
}

// name with newExtension in place of its text from the last "." on.
void AppendRenamed(brxlib::TextBuilder& text, const WCHAR* name, const WCHAR* newExtension)
{
    const WCHAR* dot = nullptr;
    for (const WCHAR* p = name; *p; ++p)
        if (*p == L'.')
            dot = p;
    text.Append(name, dot ? static_cast<size_t>(dot - name) : brxlib::TextLength(name)).Append(newExtension);
}

void AppendJoined(brxlib::TextBuilder& text, const WCHAR* folder, size_t folderLength, const WCHAR* name)
{
    text.Append(folder, folderLength);
    // A drive's root ends in its separator already.
    if (folderLength == 0 || folder[folderLength - 1] != L'\\')
        text.Append(L'\\');
    text.Append(name);
}

enum class Fit { Fits, TooLong, ReadsAsAnother, OutOfMemory };

Fit JoinOutput(const WCHAR* folder, size_t folderLength, const WCHAR* name, WCHAR* output)
{
    brxlib::TextBuilder text(output, MAX_PATH + 1);
    AppendJoined(text, folder, folderLength, name);
    if (!text.ok())
        return Fit::TooLong;
    return ReadsAsAnotherFile(output) ? Fit::ReadsAsAnother : Fit::Fits;
}

// The output named in folder if it fits there and Win32 reads it as given,
// else in the folder's short form.
Fit PlaceOutput(const WCHAR* folder, size_t folderLength, const WCHAR* name, WCHAR* output)
{
    const Fit asGiven = JoinOutput(folder, folderLength, name, output);
    if (asGiven == Fit::Fits)
        return asGiven;
    WCHAR shortFolder[MAX_PATH + 1];
    if (!StoreShortForm(folder, folderLength, shortFolder))
        return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? Fit::OutOfMemory : asGiven;
    const Fit shortened = JoinOutput(shortFolder, brxlib::TextLength(shortFolder), name, output);
    return shortened == Fit::Fits || asGiven == Fit::ReadsAsAnother ? shortened : asGiven;
}

// The output path as the user would know it, whatever its length.
HRESULT RefuseOutput(RefusalReason reason, HRESULT result, const WCHAR* folder, size_t folderLength,
                     const WCHAR* name, CommandRefusal& refusal)
{
    const size_t capacity = folderLength + 1 + brxlib::TextLength(name) + 1;
    brxlib::HeapBuffer<WCHAR> path(capacity);
    if (!path)
        return E_OUTOFMEMORY;
    brxlib::TextBuilder text(path.get(), capacity);
    AppendJoined(text, folder, folderLength, name);
    refusal.Set(reason, path.get());
    return result;
}

// FILE_ID_INFO and its class number, which the headers declare only for
// Windows 8 and later.
struct FileId128Info {
    ULONGLONG volumeSerialNumber;
    BYTE fileId[16];
};
const FILE_INFO_BY_HANDLE_CLASS FileIdInfoClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

// One file's identity: the volume and the file's 128-bit id where the volume
// gives it (ReFS's 64-bit index is not unique), else its 64-bit index.
struct FileIdentity {
    bool hasId128;
    FileId128Info id128;
    BY_HANDLE_FILE_INFORMATION info;
};

bool ReadFileIdentity(const WCHAR* path, FileIdentity* identity)
{
    ZeroMemory(identity, sizeof(*identity));
    // No access asked: only the identity is read, whoever has the file open.
    brxlib::UniqueHandle file(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return false;
    identity->hasId128 = GetFileInformationByHandleEx(file.get(), FileIdInfoClass, &identity->id128,
                                                      sizeof(identity->id128)) != FALSE;
    return GetFileInformationByHandle(file.get(), &identity->info) != FALSE;
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b)
{
    if (a.hasId128 && b.hasId128)
        return a.id128.volumeSerialNumber == b.id128.volumeSerialNumber &&
               memcmp(a.id128.fileId, b.id128.fileId, sizeof(a.id128.fileId)) == 0;
    return a.info.dwVolumeSerialNumber == b.info.dwVolumeSerialNumber &&
           a.info.nFileIndexHigh == b.info.nFileIndexHigh && a.info.nFileIndexLow == b.info.nFileIndexLow;
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

HRESULT FormConversionPaths(const WCHAR* source, const WCHAR* target, const WCHAR* newExtension,
                            ConversionPaths* paths, CommandRefusal& refusal)
{
    ZeroMemory(paths, sizeof(*paths));
    WIN32_FIND_DATAW entry;
    const HRESULT found = LookUpEntryName(source, &entry);
    if (FAILED(found))
        return found;
    // An output named after an 8.3 alias could be another file's alias.
    if (found != S_OK) {
        refusal.Set(RefusalReason::SourceNotFound, source);
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    const WCHAR* folder = target ? target : source;
    size_t folderLength = target ? brxlib::TextLength(target) : static_cast<size_t>(FileNamePart(source) - source);
    // The source's folder without its last "\", unless that is a drive's root.
    if (!target && folderLength > 3 && source[folderLength - 1] == L'\\')
        --folderLength;
    const HRESULT tooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

    brxlib::TextBuilder name(paths->outputName, MAX_PATH + 1);
    AppendRenamed(name, entry.cFileName, newExtension);
    // No file system gives a name this long; a request from elsewhere might.
    if (!name.ok()) {
        refusal.Set(RefusalReason::PathTooLong, source);
        return tooLong;
    }
    const Fit fit = PlaceOutput(folder, folderLength, paths->outputName, paths->output);
    if (fit == Fit::OutOfMemory)
        return E_OUTOFMEMORY;
    if (fit == Fit::TooLong)
        return RefuseOutput(RefusalReason::PathTooLong, tooLong, folder, folderLength, paths->outputName, refusal);
    if (fit == Fit::ReadsAsAnother)
        return RefuseOutput(RefusalReason::NameReadsAsAnother, HRESULT_FROM_WIN32(ERROR_INVALID_NAME), folder,
                            folderLength, paths->outputName, refusal);

    if (!brxlib::CopyText(paths->source, MAX_PATH + 1, source)) {
        refusal.Set(RefusalReason::PathTooLong, source);
        return tooLong;
    }
    if (!ToReadableForm(paths->source)) {
        if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY)
            return E_OUTOFMEMORY;
        refusal.Set(RefusalReason::NameReadsAsAnother, source);
        return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    }
    return S_OK;
}

HRESULT CheckOutputIsNoAlias(const ConversionPaths& paths, CommandRefusal& refusal)
{
    WIN32_FIND_DATAW entry;
    const HRESULT found = LookUpEntryName(paths.output, &entry);
    if (found != S_OK)
        return SUCCEEDED(found) ? S_OK : found;
    if (CompareStringOrdinal(entry.cFileName, -1, paths.outputName, -1, TRUE) == CSTR_EQUAL)
        return S_OK;
    refusal.Set(RefusalReason::OutputIsAlias, paths.output);
    return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
}

HRESULT NamesSameFile(const WCHAR* a, const WCHAR* b)
{
    // The files' identity catches what no spelling shows: a second drive
    // letter or a share for the same files.
    FileIdentity identityA;
    FileIdentity identityB;
    if (ReadFileIdentity(a, &identityA) && ReadFileIdentity(b, &identityB) && SameIdentity(identityA, identityB))
        return S_OK;
    // And the paths themselves, in case a volume gives no stable index. A
    // path that names no existing file has no long form and is no file to
    // protect.
    brxlib::HeapBuffer<WCHAR> full(LongestExtendedPath + 1);
    brxlib::HeapBuffer<WCHAR> longA(LongestExtendedPath + 1);
    brxlib::HeapBuffer<WCHAR> longB(LongestExtendedPath + 1);
    if (!full || !longA || !longB)
        return E_OUTOFMEMORY;
    if (!CanonicalForm(a, full, longA) || !CanonicalForm(b, full, longB))
        return S_FALSE;
    return CompareStringOrdinal(longA.get(), -1, longB.get(), -1, TRUE) == CSTR_EQUAL ? S_OK : S_FALSE;
}
