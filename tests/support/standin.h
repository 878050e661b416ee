// The stand-in archiver in the archiver's place: InstallPath points at its
// folder and its runs are logged to a fresh file that tests read back.
#pragma once
#include <string>
#include <vector>

#include "standin-archiver/standin_log.h"

class StandinScope {
public:
    StandinScope();
    ~StandinScope();
    StandinScope(const StandinScope&) = delete;
    StandinScope& operator=(const StandinScope&) = delete;

    static std::wstring Folder();        // the stand-in's install folder
    static std::wstring ArchiverPath();  // Folder() + "\Morvane.exe"
    // Waits (at most timeoutMs) until at least count records exist, or until
    // no more can come: no process started from here has run for a few
    // seconds (a command's thread may be about to start one), or one of them
    // shows a "Morvane" box that nobody here answers.
    std::vector<standin_log::Record> WaitFor(size_t count, unsigned timeoutMs = 60000) const;
    std::vector<standin_log::Record> Records() const;

private:
    std::wstring m_log;
};

// MRV* entries (list files and conversion folders) that the module made in
// folder, by default the temporary folder; the tests' own "mrvtest-..."
// folders match the pattern too and are passed over.
std::vector<std::wstring> MrvEntries(const std::wstring& folder = std::wstring());
// Entries of after that are not in before.
std::vector<std::wstring> NewEntries(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after);
