#include "platform/win32_window_system.h"

#include <tlhelp32.h>

#include <algorithm>
#include <vector>

namespace pelmora {
namespace {

HWND Hwnd(TWindow window) { return reinterpret_cast<HWND>(window); }
TWindow Handle(HWND hwnd) { return reinterpret_cast<TWindow>(hwnd); }
HANDLE Kernel(THandle object) { return reinterpret_cast<HANDLE>(object); }
THandle Object(HANDLE handle) { return reinterpret_cast<THandle>(handle); }

// A function of a DLL that not every Windows has, as the pointer type it is called through;
// null when it is missing. Cast through the generic function type, which GCC lets any
// function pointer become.
template <class TFunction>
TFunction Proc(HMODULE module, const char* name) {
  using TAny = void (*)();
  return reinterpret_cast<TFunction>(reinterpret_cast<TAny>(GetProcAddress(module, name)));
}

// A DLL of the system folder, never one beside the program; null when missing.
HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH + 16];
  const UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  path[n] = '\\';
  lstrcpyA(path + n + 1, name);  // names of a dozen characters
  return LoadLibraryA(path);
}

using TTimePeriod = UINT(WINAPI*)(UINT);

// The error box is built by hand: MessageBox with an error icon always plays the
// system's error sound, and the box must be silent.
constexpr int ErrorTextId = 0xFFFF;  // the id MessageBox gives its text
constexpr int Margin = 12;
constexpr int ButtonWidth = 88;
constexpr int ButtonHeight = 26;

struct TErrorBox {
  const std::string* Text;
  HFONT Font;
};

HWND AddControl(HWND dialog, const char* className, const char* text, DWORD style, int id,
                const RECT& r, HFONT font) {
  HWND control = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, r.left,
                                 r.top, r.right - r.left, r.bottom - r.top, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

// Lays out icon, text and OK button for the text's size, centred on the monitor of
// the active window.
void LayOutErrorBox(HWND dialog, const TErrorBox& box) {
  SetWindowTextA(dialog, "エラー");
  const HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32513));  // IDI_HAND
  const int iconSize = GetSystemMetrics(SM_CXICON);

  HWND active = GetForegroundWindow();
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(active ? active : dialog, MONITOR_DEFAULTTOPRIMARY),
                  &monitor);
  const RECT& work = monitor.rcWork;

  RECT text{0, 0, std::max<LONG>(200, (work.right - work.left) * 3 / 5), 0};
  HDC dc = GetDC(dialog);
  HGDIOBJ old = SelectObject(dc, box.Font);
  DrawTextA(dc, box.Text->c_str(), static_cast<int>(box.Text->size()), &text,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(dialog, dc);

  const int textLeft = Margin * 2 + iconSize;
  const int textHeight = std::max<int>(text.bottom, iconSize);
  const int clientWidth = std::max<int>(textLeft + text.right + Margin * 2, ButtonWidth + Margin * 2);
  const int buttonTop = Margin * 2 + textHeight;
  const int clientHeight = buttonTop + ButtonHeight + Margin;

  RECT iconRect{Margin * 2 - Margin / 2, Margin, 0, 0};
  iconRect.right = iconRect.left + iconSize;
  iconRect.bottom = iconRect.top + iconSize;
  HWND iconControl = AddControl(dialog, "STATIC", nullptr, SS_ICON, -1, iconRect, box.Font);
  SendMessageA(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);

  const int textTop = Margin + (textHeight - text.bottom) / 2;
  RECT textRect{textLeft, textTop, textLeft + text.right, textTop + text.bottom};
  AddControl(dialog, "STATIC", box.Text->c_str(), SS_LEFT | SS_NOPREFIX, ErrorTextId, textRect,
             box.Font);
  const int buttonLeft = (clientWidth - ButtonWidth) / 2;
  RECT buttonRect{buttonLeft, buttonTop, buttonLeft + ButtonWidth, buttonTop + ButtonHeight};
  HWND ok = AddControl(dialog, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK,
                       buttonRect, box.Font);

  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, GetWindowLongA(dialog, GWL_STYLE), FALSE,
                     GetWindowLongA(dialog, GWL_EXSTYLE));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(dialog, HWND_TOPMOST, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height, 0);
  SetForegroundWindow(dialog);
  SetFocus(ok);
}

INT_PTR CALLBACK ErrorBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      LayOutErrorBox(dialog, *reinterpret_cast<const TErrorBox*>(lParam));
      return FALSE;  // focus already set on OK
    case WM_COMMAND:
      // Enter answers through the default button, Esc arrives as IDCANCEL.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDOK);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, IDOK);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

TWindow TWin32WindowSystem::FindWindowExA(TWindow parent, const char* className,
                                          const char* title) {
  return Handle(::FindWindowExA(Hwnd(parent), nullptr, className, title));
}

TWindow TWin32WindowSystem::FindWindowExA(TWindow parent, TWindow childAfter,
                                          const char* className, const char* title) {
  return Handle(::FindWindowExA(Hwnd(parent), Hwnd(childAfter), className, title));
}

bool TWin32WindowSystem::IsWindowVisible(TWindow window) {
  return ::IsWindowVisible(Hwnd(window)) != FALSE;
}

TProcessId TWin32WindowSystem::GetWindowThreadProcessId(TWindow window) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(Hwnd(window), &process);
  return process;
}

void TWin32WindowSystem::WaitForInputIdle(TProcessId process, std::uint32_t timeoutMs) {
  if (process == 0) return;
  HANDLE handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process);
  if (handle == nullptr) return;
  ::WaitForInputIdle(handle, timeoutMs);
  ::CloseHandle(handle);
}

bool TWin32WindowSystem::SetForegroundWindow(TWindow window) {
  return ::SetForegroundWindow(Hwnd(window)) != FALSE;
}

TWindow TWin32WindowSystem::GetForegroundWindow() { return Handle(::GetForegroundWindow()); }

std::uint32_t TWin32WindowSystem::GetWindowThreadId(TWindow window) {
  return ::GetWindowThreadProcessId(Hwnd(window), nullptr);
}

std::uint32_t TWin32WindowSystem::GetCurrentThreadId() { return ::GetCurrentThreadId(); }

bool TWin32WindowSystem::IsHungAppWindow(TWindow window) {
  return ::IsHungAppWindow(Hwnd(window)) != FALSE;
}

bool TWin32WindowSystem::AttachThreadInput(std::uint32_t thread, std::uint32_t toThread,
                                           bool attach) {
  return ::AttachThreadInput(thread, toThread, attach ? TRUE : FALSE) != FALSE;
}

bool TWin32WindowSystem::BringWindowToTop(TWindow window) {
  return ::BringWindowToTop(Hwnd(window)) != FALSE;
}

std::string TWin32WindowSystem::GetInputDesktopName() {
  HDESK desktop = ::OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
  if (desktop == nullptr) return {};
  char name[64] = "";
  DWORD needed = 0;
  const BOOL read = ::GetUserObjectInformationA(desktop, UOI_NAME, name, sizeof name - 1, &needed);
  ::CloseDesktop(desktop);
  return read ? name : "";
}

bool TWin32WindowSystem::WTSQuerySessionInformationW(TSessionInfo& info) {
  // Loaded when asked: the program imports only the DLLs every Windows loads, and runs
  // where the call or its information class is missing.
  HMODULE dll = LoadSystemLibrary("wtsapi32.dll");
  if (dll == nullptr) return false;
  const auto query =
      Proc<BOOL(WINAPI*)(HANDLE, DWORD, int, LPWSTR*, DWORD*)>(dll, "WTSQuerySessionInformationW");
  const auto release = Proc<void(WINAPI*)(PVOID)>(dll, "WTSFreeMemory");
  // WTSINFOEXW's leading fields; the level-1 data is aligned for the logon times that follow.
  struct TInfoEx {
    DWORD Level;
    struct alignas(8) {
      ULONG SessionId;
      LONG SessionState;
      LONG SessionFlags;
    } Level1;
  };
  constexpr int WtsSessionInfoEx = 25;
  constexpr HANDLE CurrentServer = nullptr;
  constexpr auto CurrentSession = static_cast<DWORD>(-1);
  LPWSTR buffer = nullptr;
  DWORD bytes = 0;
  bool read = false;
  if (query != nullptr && release != nullptr &&
      query(CurrentServer, CurrentSession, WtsSessionInfoEx, &buffer, &bytes) && buffer != nullptr) {
    const auto* ex = reinterpret_cast<const TInfoEx*>(buffer);
    read = bytes >= sizeof(TInfoEx) && ex->Level == 1;
    if (read) info = {ex->Level1.SessionState, ex->Level1.SessionFlags};
    release(buffer);
  }
  FreeLibrary(dll);
  return read;
}

TOsVersion TWin32WindowSystem::RtlGetVersion() {
  // The kernel's own answer: GetVersionEx may be told an older version for compatibility.
  const auto get =
      Proc<LONG(WINAPI*)(RTL_OSVERSIONINFOW*)>(GetModuleHandleA("ntdll.dll"), "RtlGetVersion");
  RTL_OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (get == nullptr || get(&version) != 0) return {};
  return {version.dwMajorVersion, version.dwMinorVersion};
}

bool TWin32WindowSystem::SendMessageTimeoutA(TWindow window, std::uint32_t message,
                                             std::uintptr_t wParam, std::intptr_t lParam,
                                             std::uint32_t timeoutMs) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutA(Hwnd(window), message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs,
                               &result) != 0;
}

bool TWin32WindowSystem::PostMessageA(TWindow window, std::uint32_t message,
                                      std::uintptr_t wParam, std::intptr_t lParam) {
  return ::PostMessageA(Hwnd(window), message, wParam, lParam) != FALSE;
}

bool TWin32WindowSystem::GetMenu(TWindow window) { return ::GetMenu(Hwnd(window)) != nullptr; }

bool TWin32WindowSystem::GetWindowRect(TWindow window, TRect& rect) {
  RECT r{};
  if (!::GetWindowRect(Hwnd(window), &r)) return false;
  rect = {r.left, r.top, r.right, r.bottom};
  return true;
}

TWindow TWin32WindowSystem::WindowFromPoint(TPoint point) {
  return Handle(::WindowFromPoint(POINT{point.X, point.Y}));
}

TWindow TWin32WindowSystem::GetAncestor(TWindow window) {
  return Handle(::GetAncestor(Hwnd(window), GA_ROOT));
}

bool TWin32WindowSystem::IsChild(TWindow parent, TWindow window) {
  return ::IsChild(Hwnd(parent), Hwnd(window)) != FALSE;
}

std::string TWin32WindowSystem::GetWindowTextA(TWindow window) {
  // Titles the logic compares are short; a longer one cannot match any of them anyway.
  char text[256] = "";
  const int length = ::GetWindowTextA(Hwnd(window), text, sizeof text);
  return {text, length > 0 ? static_cast<std::size_t>(length) : 0};
}

std::uint32_t TWin32WindowSystem::SendInput(const std::vector<TMouseInput>& events) {
  std::vector<INPUT> inputs(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    inputs[i].type = INPUT_MOUSE;
    // INPUT is Win32's own tagged union; the type above says which member counts.
    MOUSEINPUT& mouse = inputs[i].mi;  // NOLINT(cppcoreguidelines-pro-type-union-access)
    mouse.dx = events[i].Dx;
    mouse.dy = events[i].Dy;
    mouse.dwFlags = events[i].Flags;
  }
  return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

int TWin32WindowSystem::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

TMonitor TWin32WindowSystem::MonitorFromWindow(TWindow window) {
  return reinterpret_cast<TMonitor>(::MonitorFromWindow(Hwnd(window), MONITOR_DEFAULTTONEAREST));
}

bool TWin32WindowSystem::GetMonitorInfoA(TMonitor monitor, TRect& rect, std::string& device) {
  MONITORINFOEXA info{};
  info.cbSize = sizeof info;
  if (!::GetMonitorInfoA(reinterpret_cast<HMONITOR>(monitor), &info)) return false;
  rect = {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
  device = info.szDevice;
  return true;
}

void TWin32WindowSystem::ShellExecuteA(const std::string& path) {
  // Loaded only to start the target: shell32 and the DLLs it brings would cost every start
  // of the program its first paint's time. Kept loaded, as the shell may still be at work.
  using TShellExecute = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  HMODULE shell = LoadSystemLibrary("shell32.dll");
  const auto execute = shell != nullptr ? Proc<TShellExecute>(shell, "ShellExecuteA") : nullptr;
  if (execute == nullptr) return;
  // In its own folder, as its shortcut starts it, not in the host's.
  char folder[MAX_PATH];
  char* name = nullptr;
  const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, folder, &name);
  // cppcheck-suppress knownConditionTrueFalse ; the call sets `name`, which cppcheck's library misses
  if (n == 0 || n >= MAX_PATH || name == nullptr) name = folder;  // none: the shell's default
  *name = '\0';
  execute(nullptr, nullptr, path.c_str(), nullptr, folder, SW_SHOWNORMAL);
}

TProcessId TWin32WindowSystem::FindProcessA(const std::string& path) {
  // The path as the host gives it, the one the target would be started from; written
  // otherwise, nothing is found and the target is started as before.
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  TProcessId found = 0;
  for (BOOL more = Process32First(snapshot, &entry); more && found == 0;
       more = Process32Next(snapshot, &entry)) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;
    char image[MAX_PATH];
    DWORD size = MAX_PATH;
    if (QueryFullProcessImageNameA(process, 0, image, &size) && lstrcmpiA(image, path.c_str()) == 0) {
      found = entry.th32ProcessID;
    }
    ::CloseHandle(process);
  }
  ::CloseHandle(snapshot);
  return found;
}

bool TWin32WindowSystem::FileExists(const std::string& path) {
  // Attributes of the path itself: no wildcard matching, no judging by timestamp.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void TWin32WindowSystem::Sleep(std::uint32_t ms) {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER now{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  const LONGLONG pause = frequency.QuadPart * ms / 1000;
  // The time since the last pause's deadline, its own overrun and the steps since, comes off
  // this one, a tenth of it at most: the job's pauses keep to their sum, and never end
  // before the last deadline plus this pause.
  const LONGLONG late = deadline_ != 0 ? now.QuadPart - deadline_ : 0;
  const LONGLONG cut = std::clamp<LONGLONG>(late, 0, pause / 10);
  const LONGLONG deadline = now.QuadPart + pause - cut;
  for (LONGLONG left = 0; QueryPerformanceCounter(&now), (left = deadline - now.QuadPart) > 0;) {
    LARGE_INTEGER due{};
    due.QuadPart = -(left * 10000000 / frequency.QuadPart);  // relative, in 100 ns
    const DWORD count =
        timer_ != nullptr && SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE) ? 1 : 0;
    const auto leftMs = static_cast<DWORD>((left * 1000 + frequency.QuadPart - 1) / frequency.QuadPart);
    // Messages other programs send are answered meanwhile: none of them waits for the job.
    if (::MsgWaitForMultipleObjectsEx(count, &timer_, count != 0 ? INFINITE : leftMs, QS_SENDMESSAGE,
                                      MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 + count) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
  deadline_ = deadline;
}

void TWin32WindowSystem::timeBeginPeriod(std::uint32_t ms) {
  // Windows 10 1803 and later: a high-resolution timer of this program's own, the system's
  // timer left as it is. Elsewhere the system's period, from winmm, loaded only here.
  using TCreateTimer = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
  constexpr DWORD HighResolution = 0x2;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
  const auto create = Proc<TCreateTimer>(GetModuleHandleA("kernel32.dll"), "CreateWaitableTimerExW");
  timer_ = create != nullptr ? create(nullptr, nullptr, HighResolution, TIMER_ALL_ACCESS) : nullptr;
  winmm_ = timer_ == nullptr ? LoadSystemLibrary("winmm.dll") : nullptr;
  const auto begin = winmm_ != nullptr ? Proc<TTimePeriod>(winmm_, "timeBeginPeriod") : nullptr;
  period_ = begin != nullptr && begin(ms) == 0 ? ms : 0;  // 0: TIMERR_NOERROR
}

void TWin32WindowSystem::timeEndPeriod(std::uint32_t) {
  if (timer_ != nullptr) ::CloseHandle(timer_);
  timer_ = nullptr;
  const auto end = period_ != 0 ? Proc<TTimePeriod>(winmm_, "timeEndPeriod") : nullptr;
  if (end != nullptr) end(period_);
  period_ = 0;
  if (winmm_ != nullptr) FreeLibrary(winmm_);
  winmm_ = nullptr;
}

std::string TWin32WindowSystem::GetCommandLineA() { return ::GetCommandLineA(); }

std::int32_t TWin32WindowSystem::GetTokenIntegrityLevel(TProcessId process) {
  // Limited query rights: enough for a process of higher integrity, which is the one asked about.
  HANDLE handle = process == 0 ? GetCurrentProcess()
                               : OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
  if (handle == nullptr) return -1;
  std::int32_t level = -1;
  HANDLE token = nullptr;
  if (OpenProcessToken(handle, TOKEN_QUERY, &token)) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size >= sizeof(TOKEN_MANDATORY_LABEL) &&
        ::GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
      const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
      if (IsValidSid(sid) && *GetSidSubAuthorityCount(sid) > 0) {
        level = static_cast<std::int32_t>(*GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1));
      }
    }
    ::CloseHandle(token);
  }
  if (process != 0) ::CloseHandle(handle);
  return level;
}

THandle TWin32WindowSystem::CreateMutexA(const char* name) {
  return reinterpret_cast<THandle>(::CreateMutexA(nullptr, FALSE, name));
}

TWaitResult TWin32WindowSystem::MsgWaitForMultipleObjects(THandle handle, std::uint32_t timeoutMs) {
  auto* object = reinterpret_cast<HANDLE>(handle);
  const DWORD count = object != nullptr ? 1 : 0;
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    const DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
    // Messages already queued when the wait begins wake it as well.
    const DWORD result =
        ::MsgWaitForMultipleObjectsEx(count, &object, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (count == 1 && (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0)) {
      return TWaitResult::Acquired;
    }
    if (result != WAIT_OBJECT_0 + count) return TWaitResult::TimedOut;
    // Keeps the window painting and answering while it waits.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // The window was closed: the message loop must still see the quit to end the program.
        PostQuitMessage(static_cast<int>(message.wParam));
        return TWaitResult::Quit;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

void TWin32WindowSystem::ReleaseMutex(THandle handle) {
  ::ReleaseMutex(reinterpret_cast<HANDLE>(handle));
}

THandle TWin32WindowSystem::MapViewOfFile(const char* name) {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(LONG), name);
  if (mapping == nullptr) return 0;
  // The view keeps the shared memory alive until the program ends.
  void* view = ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(LONG));
  ::CloseHandle(mapping);
  return Object(view);
}

std::uint32_t TWin32WindowSystem::InterlockedCompareExchange(THandle view, std::uint32_t exchange,
                                                             std::uint32_t comparand) {
  return static_cast<std::uint32_t>(
      ::InterlockedCompareExchange(static_cast<volatile LONG*>(Kernel(view)),
                                   static_cast<LONG>(exchange), static_cast<LONG>(comparand)));
}

void TWin32WindowSystem::CloseHandle(THandle handle) {
  ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

void TWin32WindowSystem::ShowErrorBox(const std::string& text) {
  // An empty template: the controls are laid out in WM_INITDIALOG for the text's size.
  struct alignas(4) {
    DLGTEMPLATE Header;
    WORD Menu, Class, Title;
  } dialogTemplate{};
  dialogTemplate.Header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  // Topmost: by the time a failure is reported the target has been brought to the front,
  // and this process may no longer be allowed to take the foreground back.
  dialogTemplate.Header.dwExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;

  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  HFONT font = SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)
                   ? CreateFontIndirectA(&metrics.lfMessageFont)
                   : nullptr;
  TErrorBox box{&text, font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))};
  DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &dialogTemplate.Header, owner_,
                          ErrorBoxProc, reinterpret_cast<LPARAM>(&box));
  if (font) DeleteObject(font);
}

std::string TWin32WindowSystem::GetClassNameA(TWindow window) {
  char name[256];
  const int n = ::GetClassNameA(Hwnd(window), name, sizeof name);
  return {name, static_cast<std::size_t>(n > 0 ? n : 0)};
}

std::string TWin32WindowSystem::GetModuleFileNameA() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) return {path.data(), n};
    path.resize(path.size() * 2);  // truncated
  }
}

std::string TWin32WindowSystem::GetPrivateProfileStringA(const char* section, const char* key,
                                                         const std::string& fileName) {
  char value[1024];
  const DWORD n =
      ::GetPrivateProfileStringA(section, key, "", value, sizeof value, fileName.c_str());
  return {value, n};
}

TProcessId TWin32WindowSystem::GetCurrentProcessId() { return ::GetCurrentProcessId(); }

std::uint32_t TWin32WindowSystem::GetTickCount() { return ::GetTickCount(); }

TSystemTime TWin32WindowSystem::GetLocalTime() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

THandle TWin32WindowSystem::CreateFileA(const std::string& path) {
  // Append-only access makes every WriteFile land at the end of the file, even with
  // another process appending at the same time; reading the size for the roll-over needs
  // the attributes right.
  HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? 0 : Object(file);
}

bool TWin32WindowSystem::WriteFile(THandle file, const std::string& bytes) {
  DWORD written = 0;
  return ::WriteFile(Kernel(file), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) != FALSE &&
         written == bytes.size();
}

bool TWin32WindowSystem::GetFileSizeEx(THandle file, std::uint64_t& size) {
  LARGE_INTEGER n{};
  if (!::GetFileSizeEx(Kernel(file), &n)) return false;
  size = static_cast<std::uint64_t>(n.QuadPart);
  return true;
}

bool TWin32WindowSystem::MoveFileExA(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool TWin32WindowSystem::WaitForSingleObject(THandle object, std::uint32_t timeoutMs) {
  const DWORD result = ::WaitForSingleObject(Kernel(object), timeoutMs);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

}  // namespace pelmora
