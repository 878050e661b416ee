#include "child_process.h"

namespace menuhost_test {

namespace {

class Handle {
public:
    Handle() = default;
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE* Put() { Close(); return &h_; }
    HANDLE get() const { return h_; }
    void Close() { if (h_) CloseHandle(h_); h_ = nullptr; }

private:
    HANDLE h_ = nullptr;
};

// One pipe: our end reads, the child's end is inheritable.
struct Pipe {
    Handle read;
    Handle write;
    bool open = true;

    bool Create()
    {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        if (!CreatePipe(read.Put(), write.Put(), &sa, 0))
            return false;
        return SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0) != FALSE;
    }

    // Takes what is there without blocking: a grandchild that inherited the
    // write end must not be able to hang the test.
    void Drain(std::string& text)
    {
        while (open) {
            DWORD available = 0;
            if (!PeekNamedPipe(read.get(), nullptr, 0, nullptr, &available, nullptr)) {
                open = false;  // broken: every writer is gone
                return;
            }
            if (available == 0)
                return;
            std::string chunk(available, '\0');
            DWORD got = 0;
            if (!ReadFile(read.get(), &chunk[0], available, &got, nullptr)) {
                open = false;
                return;
            }
            text.append(chunk, 0, got);
        }
    }
};

// After the child's exit, writers it passed on may keep a pipe open for a while.
const DWORD DrainAfterExitMs = 3000;

}  // namespace

ChildResult RunChild(const std::wstring& commandLine, DWORD limitMs)
{
    ChildResult result;
    Pipe out, err;
    if (!out.Create() || !err.Create())
        return result;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = out.write.get();
    si.hStdError = err.write.get();
    PROCESS_INFORMATION pi = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return result;
    result.started = true;
    Handle process, thread;
    *process.Put() = pi.hProcess;
    *thread.Put() = pi.hThread;
    out.write.Close();
    err.write.Close();

    const ULONGLONG start = GetTickCount64();
    ULONGLONG exitedAt = 0;
    for (;;) {
        out.Drain(result.out);
        err.Drain(result.err);
        const ULONGLONG now = GetTickCount64();
        if (!exitedAt && WaitForSingleObject(process.get(), 10) == WAIT_OBJECT_0)
            exitedAt = now;
        if (exitedAt && ((!out.open && !err.open) || now - exitedAt >= DrainAfterExitMs))
            break;
        if (!exitedAt && now - start >= limitMs) {
            result.timedOut = true;
            TerminateProcess(process.get(), 255);
            WaitForSingleObject(process.get(), 5000);
            break;
        }
        if (exitedAt)
            Sleep(10);
    }
    GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

}  // namespace menuhost_test
