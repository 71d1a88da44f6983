// The floor of a process start under this Wine: register a class, open one window
// shaped like Pelmora's, paint the arguments into it, and wait to be closed.
// Built a second time with BENCH_WINDOW_SHELL32 to import shell32, which tells how much
// of a start-up those DLL loads take (pelmora.exe loads shell32 only to start the target).
#include <windows.h>
#ifdef BENCH_WINDOW_SHELL32
#include <shellapi.h>
#endif

namespace {

const char* Arguments() {
  // Skip the program token the same simple way for any quoting.
  const char* p = GetCommandLineA();
  bool quoted = false;
  for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p)
    if (*p == '"') quoted = !quoted;
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
      SetBkMode(dc, TRANSPARENT);
      DrawTextA(dc, Arguments(), -1, &r, DT_LEFT | DT_TOP | DT_NOPREFIX);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.lpszClassName = "PelmoraBenchWindow";
  if (!RegisterClassA(&wc)) return 1;
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Bench", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 764, 23,
                              296, 184, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
#ifdef BENCH_WINDOW_SHELL32
  // Never true: the import is what counts.
  if (GetCommandLineA()[0] == '\x01') ShellExecuteA(nullptr, nullptr, "x", nullptr, nullptr, SW_SHOWNORMAL);
#endif
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
