// Helpers of the stand-in archiver tests alone: list-file text, folder
// trees read back, child processes and their windows. Files and folders
// come from tests/support like every other test's.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "support/environment.h"

namespace standin_test {

inline std::wstring Quote(const std::wstring& s) { return L"\"" + s + L"\""; }

// Text in the running ANSI code page, as the archiver reads its list file.
inline std::string Ansi(const std::wstring& s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// Relative path ("/"-separated, folders end in "/") -> contents ("" for folders).
inline void ReadTreeInto(const std::wstring& dir, const std::wstring& prefix,
                         std::map<std::wstring, std::string>& out) {
  WIN32_FIND_DATAW d;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &d);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = d.cFileName;
    if (name == L"." || name == L"..") continue;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[prefix + name + L"/"] = "";
      ReadTreeInto(dir + L"\\" + name, prefix + name + L"/", out);
    } else {
      out[prefix + name] = ReadBytes(dir + L"\\" + name);
    }
  } while (FindNextFileW(find, &d));
  FindClose(find);
}

inline std::map<std::wstring, std::string> ReadTree(const std::wstring& dir) {
  std::map<std::wstring, std::string> out;
  ReadTreeInto(dir, L"", out);
  return out;
}

// A started child; killed on destruction if it is still running.
class Child {
 public:
  Child() = default;
  ~Child() {
    if (pi_.hProcess) {
      if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Full command line, program name included.
  bool Start(const std::wstring& cmdline, const std::wstring& cwd = L"") {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    std::wstring buf = cmdline;
    return CreateProcessW(nullptr, &buf[0], nullptr, nullptr, FALSE, 0, nullptr,
                          cwd.empty() ? nullptr : cwd.c_str(), &si, &pi_) != FALSE;
  }
  // False if the child is still running after timeout_ms.
  bool WaitExit(DWORD timeout_ms) { return WaitForSingleObject(pi_.hProcess, timeout_ms) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = 0xDEAD;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }
  HANDLE process() const { return pi_.hProcess; }
  DWORD thread_id() const { return pi_.dwThreadId; }

 private:
  PROCESS_INFORMATION pi_ = {};
};

constexpr DWORD kNoExit = 0xFFFFFFFF;

// Runs "<exe>" <args> and waits up to timeout_ms; kNoExit if it did not start or end.
inline DWORD RunExe(const std::wstring& exe, const std::wstring& args, DWORD timeout_ms = 30000) {
  Child child;
  if (!child.Start(Quote(exe) + L" " + args)) return kNoExit;
  if (!child.WaitExit(timeout_ms)) return kNoExit;
  return child.ExitCode();
}

// Finds a top-level window of the thread by its exact title.
inline HWND FindThreadWindow(DWORD thread_id, const wchar_t* title) {
  struct Search {
    const wchar_t* title;
    HWND found;
  } search = {title, nullptr};
  EnumThreadWindows(thread_id, [](HWND w, LPARAM lp) -> BOOL {
    auto* s = reinterpret_cast<Search*>(lp);
    wchar_t text[256] = {};
    GetWindowTextW(w, text, 256);
    if (std::wstring(text) != s->title) return TRUE;
    s->found = w;
    return FALSE;
  }, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline HWND PollThreadWindow(DWORD thread_id, const wchar_t* title, DWORD limit_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND w = FindThreadWindow(thread_id, title);
    if (w || GetTickCount() - start > limit_ms) return w;
    Sleep(20);
  }
}

}  // namespace standin_test
