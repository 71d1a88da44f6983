// The benchmark runner's processes: the clock, launching and sampling them, and reading
// their windows on the screen.
#include "bench.h"

namespace bench {

double g_qpcPerMs = 0;

double NowMs() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart / g_qpcPerMs;
}

double Median(std::vector<double> v) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

bool Launch(Child& child, const std::string& exe, const std::string& args, const char* env) {
  std::string cmd = Quote(exe) + (args.empty() ? "" : " " + args);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  child.running = CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, (void*)env, nullptr, &si,
                                 &child.pi) != FALSE;
  if (!child.running) fprintf(stderr, "cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
  return child.running;
}

// The runner's environment without STANDIN_* settings, plus the given ones.
std::string Environment(const std::vector<std::string>& extra) {
  std::string block;
  char* env = GetEnvironmentStringsA();
  for (char* p = env; *p; p += strlen(p) + 1)
    if (_strnicmp(p, "STANDIN_", 8) != 0) block.append(p, strlen(p) + 1);
  FreeEnvironmentStringsA(env);
  for (const std::string& e : extra) block.append(e.c_str(), e.size() + 1);
  block.push_back('\0');
  return block;
}

HWND FindWindowOf(DWORD pid, const char* cls, const char* title) {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, cls, title)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

// Whether the screen itself shows the window's client area painted: mostly a window
// or (read-only edit) button-face colour, with some dark text pixels. An unpainted
// area shows neither.
bool Painted(HWND hwnd) {
  RECT r;
  if (!GetClientRect(hwnd, &r) || r.right <= 0 || r.bottom <= 0) return false;
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  int w = r.right, h = r.bottom;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  auto pixelOf = [](int index) {
    COLORREF c = GetSysColor(index);
    return (DWORD)((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
  };
  const DWORD window = pixelOf(COLOR_WINDOW), face = pixelOf(COLOR_BTNFACE);
  long background = 0, dark = 0;
  const DWORD* px = static_cast<const DWORD*>(bits);
  for (long i = 0; i < (long)w * h; ++i) {
    DWORD p = px[i] & 0xFFFFFF;
    if (p == window || p == face)
      ++background;
    else if (((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255) < 384)
      ++dark;
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return background * 10 >= (long)w * h * 6 && dark >= 10;
}

std::string TextOf(HWND hwnd) {
  char buf[4096] = "";
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buf, (LPARAM)buf, SMTO_NORMAL, 5000, &n)) return "";
  return std::string(buf, std::min<size_t>(n, sizeof buf - 1));
}

}  // namespace bench
