// Why a command the user picked did not run. Explorer ignores the HRESULT
// of a command, so without a message the user sees nothing happen.
#pragma once
#include <windows.h>

enum class RefusalReason {
    NoInstallFolder,     // no usable install folder
    ArchiverNotStarted,  // detail: the archiver's path
    NameNotInCodePage,   // detail: the path as the user selected it
    PathTooLong,         // detail: the path that does not fit
    OutputIsSource,      // detail: the conversion's output path
    NoTemporaryFile,     // detail: the folder it was to go into
    SourceNotFound,      // detail: the conversion's source as selected
    OutputIsAlias,       // detail: the conversion's output path
    NameReadsAsAnother,  // detail: the path Win32 would read as another file
};

// The first refusal of one command, as the text of its message box.
class CommandRefusal {
public:
    CommandRefusal() : m_text(nullptr), m_set(false) {}
    ~CommandRefusal();
    CommandRefusal(const CommandRefusal&) = delete;
    CommandRefusal& operator=(const CommandRefusal&) = delete;

    // Records a refusal unless one is recorded already: the first one is
    // the cause, later ones follow from it. When memory runs out there is
    // nothing to tell.
    void Set(RefusalReason reason, const WCHAR* detail = nullptr);
    // Set with the user's temporary folder as the detail.
    void SetNoTemporaryFile();
    void Clear();
    // The message as it would be shown; null when nothing is recorded.
    const WCHAR* text() const { return m_text; }
    // Shows the recorded refusal, if any, and clears it.
    void Show(HWND owner);

private:
    WCHAR* m_text;
    bool m_set;
};
