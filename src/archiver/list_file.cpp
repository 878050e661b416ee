// CShellExt::WriteListFile: the selection as the archiver reads it, one path
// a line in the ANSI code page, each line ended by CR LF, nothing else.
#include <new>

#include "archiver/ansi_line.h"
#include "archiver/short_forms.h"
#include "archiver/temporary_names.h"
#include "brxlib/memory.h"
#include "brxlib/owners.h"
#include "brxlib/path_forms.h"
#include "shellext/shell_ext.h"

namespace {

// Lines are gathered and written in large pieces: one write per line is
// what makes big selections slow.
class BufferedFile {
public:
    explicit BufferedFile(HANDLE file) : m_file(file), m_used(0), m_ok(true) {}

    void Write(const char* bytes, size_t count)
    {
        while (count) {
            if (m_used == sizeof(m_buffer))
                Flush();
            size_t n = sizeof(m_buffer) - m_used;
            if (n > count)
                n = count;
            CopyMemory(m_buffer + m_used, bytes, n);
            m_used += n;
            bytes += n;
            count -= n;
        }
    }

    bool Flush()
    {
        DWORD written = 0;
        if (m_used && (!WriteFile(m_file, m_buffer, static_cast<DWORD>(m_used), &written, nullptr) ||
                       written != m_used))
            m_ok = false;
        m_used = 0;
        return m_ok;
    }

private:
    HANDLE m_file;
    size_t m_used;
    bool m_ok;
    char m_buffer[32768];
};

// One line: the path's short form in the ANSI code page, exactly, and CR LF.
DWORD WriteLine(BufferedFile& out, UINT codePage, const WCHAR* path)
{
    char line[MAX_PATH + 1];
    char* longLine = nullptr;
    int bytes = 0;
    const DWORD status = ToAnsiLine(codePage, path, line, sizeof(line), &longLine, &bytes);
    if (status != ERROR_SUCCESS)
        return status;
    out.Write(longLine ? longLine : line, static_cast<size_t>(bytes));
    out.Write("\r\n", 2);
    brxlib::Free(longLine);
    return ERROR_SUCCESS;
}

// The lines of the selection; *failed is the index of the path whose line failed.
DWORD WriteLines(BufferedFile& out, const brxlib::simple_array<CShellExt::PATH_INFO>& selection, bool shorten,
                 int* failed)
{
    SelectionShortForms shortForms;
    if (shorten && !shortForms.Prepare(selection.data, selection.count))
        return ERROR_OUTOFMEMORY;
    const UINT codePage = ListCodePage();
    WCHAR line[MAX_PATH + 1];
    for (int i = 0; i < selection.count; ++i) {
        if (shorten && !shortForms.Get(i, line))
            return ERROR_OUTOFMEMORY;
        const WCHAR* text = shorten ? line : selection.data[i].path;
        // Without a short form, "report." would be read as "report": the
        // archiver would pack the neighbour instead of the chosen file.
        const DWORD status = ReadsAsAnotherFile(text) ? ERROR_INVALID_NAME : WriteLine(out, codePage, text);
        if (status != ERROR_SUCCESS) {
            *failed = i;
            return status;
        }
    }
    return out.Flush() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

}  // namespace

bool CShellExt::WriteListFile(WCHAR* name, ListForm form)
{
    if (!CreateTemporaryName(name)) {
        const DWORD error = GetLastError();
        Refusal.SetNoTemporaryFile();
        SetLastError(error);
        return false;
    }
    brxlib::UniqueHandle file(CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        DeleteFileW(name);
        Refusal.SetNoTemporaryFile();
        SetLastError(error);
        return false;
    }
    brxlib::HeapBuffer<BufferedFile> out(1);
    DWORD status = ERROR_OUTOFMEMORY;
    int failed = 0;
    if (out) {
        new (out.get()) BufferedFile(file.get());
        status = WriteLines(*out.get(), Selection, form == ListForm::ShortenPaths, &failed);
    }
    file.reset();
    // An incomplete list would make the archiver work on fewer files than
    // chosen, and a line the code page cannot hold names another file.
    if (status != ERROR_SUCCESS) {
        DeleteFileW(name);
        if (status == ERROR_NO_UNICODE_TRANSLATION)
            Refusal.Set(RefusalReason::NameNotInCodePage, Selection.data[failed].path);
        else if (status == ERROR_INVALID_NAME)
            Refusal.Set(RefusalReason::NameReadsAsAnother, Selection.data[failed].path);
        else if (status != ERROR_OUTOFMEMORY)
            Refusal.SetNoTemporaryFile();
        SetLastError(status);
        return false;
    }
    Selection.clear();
    return true;
}
