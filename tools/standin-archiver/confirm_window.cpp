#include "confirm_window.h"

namespace standin {

namespace {

// "File compression confirmation"
const wchar_t kTitle[] = L"\u30D5\u30A1\u30A4\u30EB\u5727\u7E2E\u306E\u78BA\u8A8D";
const wchar_t kClassName[] = L"MorvaneStandinConfirm";
constexpr UINT_PTR kLimitTimer = 1;

struct WindowState {
  bool timed_out = false;
};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kLimitTimer) {
        auto* state = reinterpret_cast<WindowState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (state) state->timed_out = true;
        DestroyWindow(hwnd);
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kLimitTimer);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

bool RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateConfirmWindow(HINSTANCE instance, const std::wstring& source, WindowState& state) {
  // Visible from creation: whoever finds it by its title should find it shown.
  HWND hwnd = CreateWindowExW(0, kClassName, kTitle,
                              WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                              CW_USEDEFAULT, CW_USEDEFAULT, 480, 160, nullptr, nullptr, instance,
                              nullptr);
  if (!hwnd) return nullptr;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  std::wstring text = source + L"\r\nis not an archive. Compress it?";
  CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 12, 12, 440, 80,
                  hwnd, nullptr, instance, nullptr);
  // The first ShowWindow may take the starter's SW_HIDE; this window must show.
  ShowWindow(hwnd, SW_SHOWNORMAL);
  if (!IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  return hwnd;
}

}  // namespace

ConfirmEnd RunConfirmWindow(const std::wstring& source, UINT limit_ms) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WindowState state;
  if (!RegisterWindowClass(instance)) return ConfirmEnd::kFailed;
  HWND hwnd = CreateConfirmWindow(instance, source, state);
  if (!hwnd) return ConfirmEnd::kFailed;
  SetTimer(hwnd, kLimitTimer, limit_ms, nullptr);
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
  UnregisterClassW(kClassName, instance);
  return state.timed_out ? ConfirmEnd::kTimedOut : ConfirmEnd::kClosed;
}

}  // namespace standin
