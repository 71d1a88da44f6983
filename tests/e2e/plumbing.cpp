// The runner's plumbing: text, the stand-in's record, windows, processes, output.
#include "tests/e2e/runner.h"

namespace e2e {

int g_syncId = 0;

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string h;
  for (unsigned char c : bytes) {
    h += digits[c >> 4];
    h += digits[c & 15];
  }
  return h;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t pos = 0; (pos = s.find(from, pos)) != std::string::npos; pos += to.size()) s.replace(pos, from.size(), to);
  return s;
}

std::string Expand(const std::string& s) {
  std::string out = Replace(s, "{S}", g.standin);
  out = Replace(out, "{B}", g.blank);
  out = Replace(out, "{X}", g.missing);
  return Replace(out, "{W}", g.work);
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t pos = 0;
  for (;;) {
    size_t end = s.find(sep, pos);
    parts.push_back(s.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    if (end == std::string::npos) return parts;
    pos = end + 1;
  }
}

std::string Slurp(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  std::string data;
  char buf[65536];
  DWORD n;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) data.append(buf, n);
  CloseHandle(h);
  return data;
}

// Record lines are "key=value" tokens; "text=" takes the rest of the line.
std::vector<Event> ParseRecord(const std::string& data) {
  std::vector<Event> events;
  for (const std::string& line : Split(data, '\n')) {
    if (line.empty()) continue;
    Event e;
    size_t pos = 0;
    while (pos < line.size()) {
      size_t end = line.find(' ', pos);
      if (line.compare(pos, 5, "text=") == 0) end = std::string::npos;
      std::string tok = line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      size_t eq = tok.find('=');
      if (eq == std::string::npos)
        e.f["ev"] = tok;
      else
        e.f[tok.substr(0, eq)] = tok.substr(eq + 1);
      if (end == std::string::npos) break;
      pos = end + 1;
    }
    events.push_back(e);
  }
  return events;
}

std::string WindowText(HWND h) {
  char buf[8192];
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutA(h, WM_GETTEXT, sizeof buf, (LPARAM)buf, SMTO_ABORTIFHUNG, 2000, &n)) return "<no answer>";
  return std::string(buf, n);
}

std::string ClassOf(HWND h) {
  char buf[256];
  int n = GetClassNameA(h, buf, sizeof buf);
  return std::string(buf, n > 0 ? n : 0);
}

BOOL CALLBACK Collect(HWND h, LPARAM lp) {
  ((std::vector<HWND>*)lp)->push_back(h);
  return TRUE;
}

std::vector<HWND> TopWindowsOf(DWORD pid, const char* cls) {
  std::vector<HWND> all, found;
  EnumWindows(Collect, (LPARAM)&all);
  for (HWND h : all) {
    DWORD p = 0;
    GetWindowThreadProcessId(h, &p);
    if (p == pid && ClassOf(h) == cls) found.push_back(h);
  }
  return found;
}

std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> kids;
  EnumChildWindows(parent, Collect, (LPARAM)&kids);
  return kids;
}

// Lets Wine deliver pending X events before window state is read.
void Settle(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while ((LONG)(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - GetTickCount(), QS_ALLINPUT);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
}

void SetEnv(const char* name, const char* value) { SetEnvironmentVariableA(name, value && *value ? value : nullptr); }

// On a named desktop, through Wine's explorer, which makes it the one taking the input.
bool Launch(const std::string& exe, const std::string& tail, PROCESS_INFORMATION& pi, int show,
            const char* desktop) {
  std::string cmd = (desktop ? std::string("explorer.exe /desktop=") + desktop + ",800x600 " : std::string()) +
                    "\"" + exe + "\"" + (tail.empty() ? "" : " " + tail);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  if (show >= 0) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = (WORD)show;
  }
  return CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
}

bool WaitForRecord(const std::string& path, const std::string& needle, DWORD ms) {
  DWORD end = GetTickCount() + ms;
  do {
    if (Slurp(path).find(needle) != std::string::npos) return true;
    Settle(50);
  } while ((LONG)(end - GetTickCount()) > 0);
  return false;
}

// Ends every stand-in process the scenario started (their pids are in the records).
void KillStandins(const std::string& record) {
  for (const std::string& path : {record, record + ".cover"})
    for (const Event& e : ParseRecord(Slurp(path))) {
      if (e.Get("ev") != "start") continue;
      if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, strtoul(e.Get("pid").c_str(), nullptr, 10))) {
        TerminateProcess(h, 1);
        WaitForSingleObject(h, 5000);
        CloseHandle(h);
      }
    }
  for (int i = 0; i < 100 && FindWindowExA(nullptr, nullptr, "Hanbai15Main", nullptr); ++i) Settle(50);
}

// Queues a marker behind everything pelmora posted and waits until it is handled.
void SyncWith(const char* cls, const std::string& record, Result& r) {
  HWND h = FindWindowExA(nullptr, nullptr, cls, nullptr);
  if (!h) return;
  int id = ++g_syncId;
  PostMessageA(h, kSyncMessage, id, 0);
  if (!WaitForRecord(record, "sync id=" + std::to_string(id), 60000)) r.Fail(std::string("no sync from ") + cls);
}

// Messages hold code page 932 text; the terminal reading the output wants UTF-8.
void Print(const std::string& text) {
  int n = MultiByteToWideChar(932, 0, text.data(), (int)text.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(932, 0, text.data(), (int)text.size(), &w[0], n);
  int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
  std::string u(m, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), n, &u[0], m, nullptr, nullptr);
  fwrite(u.data(), 1, u.size(), stdout);
}

std::string Format(const char* fmt, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

}  // namespace e2e
