// The stand-in's record of what it received, its faults, and the names of its windows.
#include "standin.h"

namespace standin {

std::string Utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string h;
  for (unsigned char c : bytes) {
    h += digits[c >> 4];
    h += digits[c & 15];
  }
  return h;
}

std::wstring Env(const wchar_t* name) {
  wchar_t buf[4096];
  DWORD n = GetEnvironmentVariableW(name, buf, 4096);
  return n > 0 && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

void Record(const std::string& event) {
  if (g_record == INVALID_HANDLE_VALUE) return;
  char head[64];
  snprintf(head, sizeof head, "t=%lu pid=%lu ", GetTickCount(), GetCurrentProcessId());
  std::string line = head + event + "\n";
  DWORD written;
  WriteFile(g_record, line.data(), (DWORD)line.size(), &written, nullptr);
}

void OpenRecord(const std::wstring& suffix) {
  std::wstring path = Env(L"STANDIN_RECORD");
  if (path.empty()) return;
  path += suffix;
  g_record = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The value of fault NAME ("" when given without one), or nullptr when absent.
const char* Fault(const char* name) {
  static std::string value;
  size_t pos = 0;
  while (pos <= g_faults.size()) {
    size_t end = g_faults.find(',', pos);
    if (end == std::string::npos) end = g_faults.size();
    std::string item = g_faults.substr(pos, end - pos);
    size_t eq = item.find('=');
    if (item.substr(0, eq) == name) {
      value = eq == std::string::npos ? "" : item.substr(eq + 1);
      return value.c_str();
    }
    pos = end + 1;
  }
  return nullptr;
}

bool FaultFor(const char* name, const char* code) {
  const char* v = Fault(name);
  return v && (!*v || strcmp(v, code) == 0);
}

long FaultNumber(const char* name) {
  const char* v = Fault(name);
  return v ? atol(v) : 0;
}

void Name(HWND hwnd, const std::string& win, const std::string& ctl) { g_names.push_back({hwnd, win, ctl}); }

const Named* Find(HWND hwnd) {
  for (const Named& n : g_names)
    if (n.hwnd == hwnd) return &n;
  return nullptr;
}

OpenScreen* ScreenOf(HWND hwnd) {
  for (OpenScreen& s : g_open)
    if (s.wnd == hwnd) return &s;
  return nullptr;
}

Lookup* LookupOf(HWND dialog) {
  for (Lookup& l : g_lookups)
    if (dialog && l.dialog == dialog) return &l;
  return nullptr;
}

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), (int)utf8.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), (int)utf8.size(), &w[0], n);
  return w;
}

const wchar_t* MainClass() { return Fault("new_version") ? L"Hanbai16Main" : L"Hanbai15Main"; }

Place Locate(HWND hwnd) {
  std::string ctl = "?";
  for (HWND h = hwnd; h; h = GetAncestor(h, GA_PARENT)) {
    if (const Named* n = Find(h)) {
      if (n->ctl != "-") {
        ctl = n->ctl;
        continue;
      }
      return {n->win, h == hwnd ? "-" : ctl, h};
    }
  }
  return {"?", "?", nullptr};
}

// Creates a child control so that its rectangle, given from the parent's outer
// corner, holds exactly the points the driver aims at, whatever the frame sizes.
HWND Control(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, const RECT& outer,
             const std::string& win, const std::string& name) {
  RECT wr;
  POINT origin = {0, 0};
  GetWindowRect(parent, &wr);
  ClientToScreen(parent, &origin);
  int dx = origin.x - wr.left, dy = origin.y - wr.top;
  HWND h = CreateWindowExW(lstrcmpW(cls, L"EDIT") == 0 || lstrcmpW(cls, L"LISTBOX") == 0 ? WS_EX_CLIENTEDGE : 0,
                           cls, text, WS_CHILD | WS_VISIBLE | style, outer.left - dx, outer.top - dy,
                           outer.right - outer.left, outer.bottom - outer.top, parent, nullptr, g_inst, nullptr);
  SendMessageW(h, WM_SETFONT, (WPARAM)g_font, FALSE);
  if (!name.empty()) Name(h, win, name);
  return h;
}

}  // namespace standin
