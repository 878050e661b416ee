// CShellExt::WriteListFile: the selection as the archiver reads it, one path
// a line in the ANSI code page, each line ended by CR LF, nothing else.
#include <new>

#include "archiver/temporary_names.h"
#include "brxlib/memory.h"
#include "brxlib/owners.h"
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

// One line in CP_ACP without best-fit characters ("_" for what the code page
// lacks). A form longer than 260 bytes, possible in a double-byte code page,
// is written whole rather than cut.
bool WriteLine(BufferedFile& out, const WCHAR* path)
{
    char line[MAX_PATH + 1];
    int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, line, sizeof(line), "_", nullptr);
    if (bytes > 0) {
        out.Write(line, static_cast<size_t>(bytes - 1));
    } else {
        bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, nullptr, 0, "_", nullptr);
        brxlib::HeapBuffer<char> longLine(bytes > 0 ? static_cast<size_t>(bytes) : 0);
        if (!longLine ||
            WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, longLine.get(), bytes, "_", nullptr) != bytes)
            return false;
        out.Write(longLine.get(), static_cast<size_t>(bytes - 1));
    }
    out.Write("\r\n", 2);
    return true;
}

}  // namespace

bool CShellExt::WriteListFile(WCHAR* name)
{
    if (!CreateTemporaryName(name))
        return false;
    brxlib::UniqueHandle file(CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file.valid()) {
        DeleteFileW(name);
        return false;
    }
    brxlib::HeapBuffer<BufferedFile> out(1);
    bool written = out.get() != nullptr;
    if (written) {
        new (out.get()) BufferedFile(file.get());
        for (int i = 0; written && i < Selection.count; ++i) {
            ShortenInPlace(Selection.data[i].path);
            written = WriteLine(*out.get(), Selection.data[i].path);
        }
        written = written && out.get()->Flush();
    }
    file.reset();
    // An incomplete list would make the archiver work on fewer files than chosen.
    if (!written) {
        DeleteFileW(name);
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    Selection.clear();
    return true;
}
