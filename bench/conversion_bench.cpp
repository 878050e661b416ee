// Conversion overhead: RunConvertArchiveW ("20 <source tar>", into a zip
// beside it) with the stand-in archiver, against the archiver's two runs
// started directly. A conversion into the source's own format and folder is
// refused before any run, so the source is a tar and the output a zip.
#include <string>
#include <vector>

#include "benchmarks.h"
#include "report.h"
#include "testkit/scratch_folder.h"
#include "testkit/settings_keys.h"
#include "timing.h"

namespace {

const DWORD RunLimitMs = 60000;
const double OverheadLimitMs = 100.0;

// The temporary folder's MRV*.tmp files and folders: what the module names there.
std::vector<std::wstring> ModuleTempNames()
{
    std::wstring folder = TempPath();
    folder.pop_back();
    return ListFolder(folder, L"MRV*.tmp");
}

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

// Starts a command line and waits; the elapsed ms, or a negative value when
// it could not start or ran past the limit.
double RunAndWait(const std::wstring& commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::wstring line = commandLine;
    const double start = NowMs();
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    const DWORD waited = WaitForSingleObject(info.hProcess, RunLimitMs);
    const double elapsed = NowMs() - start;
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return waited == WAIT_OBJECT_0 ? elapsed : -1;
}

// One path a line in the ANSI code page, CR LF after each.
bool WriteList(const std::wstring& listFile, const std::vector<std::wstring>& paths)
{
    std::string bytes;
    for (const std::wstring& path : paths) {
        char line[2 * MAX_PATH + 2];
        const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, line, sizeof(line), "_", nullptr);
        if (n <= 0)
            return false;
        bytes.append(line, static_cast<size_t>(n - 1)).append("\r\n");
    }
    return TryWriteBytes(listFile, bytes);
}

ULONGLONG LastWrite(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

struct WorkerCall {
    const LoadedModule* module;
    std::wstring request;
    double elapsed;
};

DWORD WINAPI RunWorker(void* parameter)
{
    WorkerCall* call = static_cast<WorkerCall*>(parameter);
    const double start = NowMs();
    call->module->RunConvertArchive(call->request.c_str());
    call->elapsed = NowMs() - start;
    return 0;
}

// RunConvertArchiveW on a thread of its own, so that a worker waiting for
// ever is reported instead of hanging the benchmark; negative when it did.
double TimedConversion(const LoadedModule& module, const std::wstring& request)
{
    WorkerCall* call = new WorkerCall{&module, request, 0};
    HANDLE thread = CreateThread(nullptr, 0, RunWorker, call, 0, nullptr);
    if (!thread) {
        delete call;
        return -1;
    }
    const bool finished = WaitForSingleObject(thread, RunLimitMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    if (!finished)
        return -1;  // the call is left to the thread that still runs it
    const double elapsed = call->elapsed;
    delete call;
    return elapsed;
}

class ConversionSetup {
public:
    ConversionSetup() : m_folder(L"convert")
    {
        m_exe = STANDIN_EXE;
        m_pristine = m_folder / L"pristine.tar";
        CreateDirectoryW((m_folder / L"work").c_str(), nullptr);
        m_source = m_folder / L"work\\sample.tar";
        m_output = m_folder / L"work\\sample.zip";
    }

    // Three files and a folder, made into a tar by the stand-in itself.
    bool MakeArchive()
    {
        const std::wstring content = m_folder / L"content";
        CreateDirectoryW(content.c_str(), nullptr);
        CreateDirectoryW((content + L"\\notes").c_str(), nullptr);
        TryWriteBytes(content + L"\\alpha.txt", std::string(3000, 'a'));
        TryWriteBytes(content + L"\\beta.txt", std::string(700, 'b'));
        TryWriteBytes(content + L"\\notes\\gamma.txt", std::string(12000, 'c'));
        const std::wstring list = m_folder / L"make.lst";
        WriteList(list, {content + L"\\alpha.txt", content + L"\\beta.txt", content + L"\\notes"});
        RunAndWait(L"\"" + m_exe + L"\" /c:tar /n:\"" + m_pristine + L"\" /l:\"" + list + L"\"");
        return LastWrite(m_pristine) != 0;
    }

    // The source as it was and no output yet: a run that makes none is seen.
    void Reset()
    {
        CopyFileW(m_pristine.c_str(), m_source.c_str(), FALSE);
        DeleteFileW(m_output.c_str());
    }
    bool SourceRewritten() const { return LastWrite(m_source) > LastWrite(m_pristine); }
    bool OutputMade() const { return LastWrite(m_output) != 0; }

    const std::wstring& exe() const { return m_exe; }
    const std::wstring& source() const { return m_source; }
    const std::wstring& output() const { return m_output; }
    const ScratchFolder& folder() const { return m_folder; }

private:
    ScratchFolder m_folder;
    std::wstring m_exe, m_pristine, m_source, m_output;
};

// The archiver's two runs as the worker starts them; only the runs are timed.
double FloorConversion(const ConversionSetup& setup, int round)
{
    const std::wstring extracted = setup.folder() / (L"extract-" + std::to_wstring(round));
    CreateDirectoryW(extracted.c_str(), nullptr);
    const std::wstring exe = L"\"" + setup.exe() + L"\"";
    const double extract = RunAndWait(exe + L" /a2a:0 /o:\"" + extracted + L"\" \"" + setup.source() + L"\"");
    std::vector<std::wstring> entries;
    for (const std::wstring& name : ListFolder(extracted))
        entries.push_back(extracted + L"\\" + name);
    const std::wstring list = setup.folder() / (L"list-" + std::to_wstring(round) + L".lst");
    WriteList(list, entries);
    const double compress =
        RunAndWait(exe + L" /c:zip /a2a:0 /d /l:\"" + list + L"\" /n:\"" + setup.output() + L"\"");
    RemoveTree(extracted);
    DeleteFileW(list.c_str());
    return extract < 0 || compress < 0 ? -1 : extract + compress;
}

// The stand-in's runs in one untimed conversion, from its log; the log is
// off again afterwards (writing it is work the timed runs should not do).
int LoggedRuns(const LoadedModule& module, const ConversionSetup& setup, const std::wstring& request)
{
    const std::wstring log = setup.folder() / L"runs.log";
    DeleteFileW(log.c_str());
    SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", log.c_str());
    const double elapsed = TimedConversion(module, request);
    SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", nullptr);
    if (elapsed < 0)
        return 0;
    // Each record ends with a line "end".
    const std::string text = "\n" + ReadBytes(log);
    int runs = 0;
    for (size_t at = text.find("\nend\n"); at != std::string::npos; at = text.find("\nend\n", at + 1))
        ++runs;
    return runs;
}

}  // namespace

void MeasureConversion(const LoadedModule& module)
{
    ConversionSetup setup;
    WriteStringSetting(ArchiverKey, L"InstallPath", FolderOf(setup.exe()));
    // Without the log the stand-in does only the archive work.
    SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", nullptr);
    if (!setup.MakeArchive()) {
        AddRow("conversion overhead", "error", "-", "-", "<= +100 ms", Verdict::Failed);
        AddNote("conversion: the stand-in could not make the sample tar");
        return;
    }
    const std::vector<std::wstring> tempBefore = ModuleTempNames();
    const std::wstring request = L"20 " + setup.source();
    setup.Reset();
    const int loggedRuns = LoggedRuns(module, setup, request);
    const bool loggedOutput = setup.OutputMade();

    int rewritten = 0, hung = 0, made = 0, floorMade = 0, round = 0;
    std::vector<double> measuredRuns, floorRuns;
    auto measured = [&] {
        // One worker left waiting is enough to report; more would only add minutes.
        if (hung)
            return -1.0;
        setup.Reset();
        const double elapsed = TimedConversion(module, request);
        rewritten += setup.SourceRewritten() ? 1 : 0;
        made += setup.OutputMade() ? 1 : 0;
        hung += elapsed < 0 ? 1 : 0;
        measuredRuns.push_back(elapsed);
        return elapsed;
    };
    auto floor = [&] {
        setup.Reset();
        const double elapsed = FloorConversion(setup, ++round);
        floorMade += setup.OutputMade() ? 1 : 0;
        floorRuns.push_back(elapsed);
        return elapsed;
    };
    const int runs = 11;
    const PairedMedians t = MedianPair(1, runs, measured, floor);
    const double overhead = t.value - t.floor;
    // Times of runs that made nothing say nothing: such a row fails, whatever its figures.
    const int timedRuns = static_cast<int>(measuredRuns.size());
    const bool worked = loggedRuns == 2 && loggedOutput && hung == 0 && rewritten == 0 && made == timedRuns &&
                        floorMade == static_cast<int>(floorRuns.size());
    const Verdict verdict = !worked ? Verdict::Failed : overhead <= OverheadLimitMs ? Verdict::Met : Verdict::Missed;
    AddRow("conversion via RunConvertArchiveW", Ms(t.value), Ms(t.floor), Format("%+.1f ms", overhead),
           "<= +100 ms", verdict);

    double slowest = 0;
    for (double ms : measuredRuns)
        slowest = ms > slowest ? ms : slowest;
    const std::vector<std::wstring> tempAfter = ModuleTempNames();
    AddNote("conversion: tar into zip; a logged conversion ran the archiver %d time(s) (2 expected) and %s the "
            "zip; the timed ones made it in %d of %d runs (the floor in %d of %zu), rewrote the source in %d; "
            "%d run(s) past %lu s; median of %d alternating runs, slowest %s; the MRV*.tmp names in the "
            "temporary folder went from %zu to %zu",
            loggedRuns, loggedOutput ? "made" : "DID NOT MAKE", made, timedRuns, floorMade, floorRuns.size(),
            rewritten, hung, RunLimitMs / 1000, runs, Ms(slowest).c_str(), tempBefore.size(), tempAfter.size());
}
