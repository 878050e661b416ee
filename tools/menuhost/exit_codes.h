// Exit codes of menuhost.exe, and the error that carries one to wmain.
#pragma once
#include <stdexcept>
#include <string>

namespace menuhost {

enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,          // bad command line
    kExitSetup = 2,          // COM, paths or the shell namespace failed
    kExitNoHandler = 3,      // no handler registered for the items
    kExitHandlerFailed = 4,  // Initialize or QueryContextMenu returned a failure
    kExitNoSuchItem = 5,     // --invoke named no command item of a handler
    kExitInvokeFailed = 6,   // InvokeCommand returned a failure
    kExitPictureFailed = 7,  // --png could not show, capture or write the menu
};

class HostError : public std::runtime_error {
public:
    HostError(ExitCode code, const std::wstring& message)
        : std::runtime_error("menuhost error"), code_(code), message_(message) {}
    ExitCode code() const { return code_; }
    const std::wstring& message() const { return message_; }

private:
    ExitCode code_;
    std::wstring message_;
};

}  // namespace menuhost
