// Helpers for the stand-in archiver tests: temp folders, files, child processes.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace standin_test {

inline std::wstring Quote(const std::wstring& s) { return L"\"" + s + L"\""; }

inline std::string ToCodePage(UINT cp, const std::wstring& s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
  return out;
}
inline std::string Utf8(const std::wstring& s) { return ToCodePage(CP_UTF8, s); }
inline std::string Ansi(const std::wstring& s) { return ToCodePage(CP_ACP, s); }

inline bool Exists(const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

inline bool ReadBytes(const std::wstring& path, std::string& out) {
  out.clear();
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char buf[65536];
  DWORD got = 0;
  BOOL ok;
  while ((ok = ReadFile(h, buf, sizeof buf, &got, nullptr)) && got > 0) out.append(buf, got);
  CloseHandle(h);
  return ok != FALSE;
}

inline std::string ReadOrEmpty(const std::wstring& path) {
  std::string bytes;
  ReadBytes(path, bytes);
  return bytes;
}

inline std::wstring ShortPath(const std::wstring& path) {
  wchar_t buf[1024];
  DWORD n = GetShortPathNameW(path.c_str(), buf, 1024);
  return n > 0 && n < 1024 ? std::wstring(buf, n) : path;
}

// Deletes a tree; links are removed, never followed.
inline void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW d;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &d);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = d.cFileName, path = dir + L"\\" + name;
      if (name == L"." || name == L"..") continue;
      bool is_dir = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      bool is_link = (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      if (is_dir && !is_link) RemoveTree(path);
      else if (is_dir) RemoveDirectoryW(path.c_str());
      else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &d));
    FindClose(find);
  }
  RemoveDirectoryW(dir.c_str());
}

// A fresh folder under GetTempPathW, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    wchar_t tmp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, tmp);
    path_ = std::wstring(tmp, n) + L"standin-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempDir() { RemoveTree(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& rel) const { return path_ + L"\\" + rel; }

 private:
  std::wstring path_;
};

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
      out[prefix + name] = ReadOrEmpty(dir + L"\\" + name);
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
