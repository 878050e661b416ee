// The PowerShell commands of the menu's package and how they are started.
#pragma once
#include <windows.h>

#include "brxlib/text_builder.h"

namespace menusetup {

// Appends text as a PowerShell single-quoted string: every quotation mark
// PowerShell takes for a single quote (' and its three typographic forms)
// is doubled, so a folder name never ends the string early.
void AppendSingleQuoted(brxlib::TextBuilder& out, const wchar_t* text);

// Appends one argument so that CommandLineToArgvW gives it back unchanged.
void AppendArgument(brxlib::TextBuilder& out, const wchar_t* argument);

// The scripts. Each exits with the HRESULT of a failure, 0 on success.
bool ComposeAddScript(wchar_t* script, size_t capacity, const wchar_t* package, const wchar_t* folder);
bool ComposeRemoveScript(wchar_t* script, size_t capacity);

// Runs Windows PowerShell on a script with no window at all; true when it
// ran to its end, with its exit code. False with *code a Win32 error when it
// could not start or did not finish in time (then it is ended).
bool RunPowerShell(const wchar_t* script, DWORD* code);

}  // namespace menusetup
