// Runs a program as a child process with its stdout and stderr read through
// pipes, under a time limit.
#pragma once
#include <windows.h>

#include <string>

namespace menuhost_test {

struct ChildResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    std::string out;  // bytes as written
    std::string err;
};

ChildResult RunChild(const std::wstring& commandLine, DWORD limitMs);

}  // namespace menuhost_test
