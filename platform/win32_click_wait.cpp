// The check program's wait for the administrator's click, and the display's scaling as
// the report gives it.
#include "platform/win32_check_system.h"

#include "platform/win32_common.h"

namespace pelmora {
namespace {

constexpr DWORD kReleaseBoundMs = 2000;

// The wait in progress: low-level hooks carry no data of their own, and a thread runs one
// wait at a time.
struct TWaitState {
  bool Ended = false;
  TClickWait Result = TClickWait::TimedOut;
  bool Pressed = false;  // the press is taken; the wait lasts until its release
  DWORD PressedAt = 0;
  POINT At{};
  TWindowFacts Under;  // at the press: a list or menu it picks from is gone by the release
  HANDLE Cancel = nullptr;  // set by CancelClickWait
};
TWaitState* g_wait = nullptr;

BOOL CALLBACK TakeWindow(HWND hwnd, LPARAM found) {
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

// The hook's point is physical; on a monitor that the system scales for this DPI-unaware
// program, the job's coordinates are the scaled ones.
POINT ToProgramCoordinates(POINT physical) {
  HMODULE user = GetModuleHandleA("user32.dll");
  // While the cursor stands where it was pressed, as it does unless the press also moved
  // it, the system's two views of the cursor give the point exactly.
  static const auto physicalCursor = Proc<BOOL(WINAPI*)(LPPOINT)>(user, "GetPhysicalCursorPos");
  POINT cursor{};
  POINT logical{};
  if (physicalCursor != nullptr && physicalCursor(&cursor) && cursor.x == physical.x &&
      cursor.y == physical.y && GetCursorPos(&logical)) {
    return logical;
  }
  // Else converted for a window of this program, whose coordinates are the job's.
  static const auto convert =
      Proc<BOOL(WINAPI*)(HWND, LPPOINT)>(user, "PhysicalToLogicalPointForPerMonitorDPI");
  HWND own = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), TakeWindow, reinterpret_cast<LPARAM>(&own));
  logical = physical;
  if (convert != nullptr && own != nullptr && convert(own, &logical)) return logical;
  return physical;
}

// A press on this program's own windows is the program's (its cancel button, its title bar)
// and not the one waited for.
bool IsThisProgram(HWND hwnd) {
  DWORD process = 0;
  return hwnd != nullptr && GetWindowThreadProcessId(hwnd, &process) != 0 &&
         process == GetCurrentProcessId();
}

// The press's point is the click's; the wait ends at its release, so that the window
// clicked has the whole click in its input before the program goes on.
LRESULT CALLBACK OnMouse(int code, WPARAM message, LPARAM data) {
  if (code == HC_ACTION && g_wait != nullptr && !g_wait->Ended) {
    if (message == WM_LBUTTONDOWN && !g_wait->Pressed) {
      const POINT at = ToProgramCoordinates(reinterpret_cast<const MSLLHOOKSTRUCT*>(data)->pt);
      HWND under = WindowFromPoint(at);
      if (!IsThisProgram(under)) {
        g_wait->Pressed = true;
        g_wait->PressedAt = ::GetTickCount();
        g_wait->At = at;
        TWindowFacts& facts = g_wait->Under;
        DWORD process = 0;
        char name[256];
        const int n = under != nullptr ? GetClassNameA(under, name, sizeof name) : 0;
        facts = {Handle(under), Handle(GetAncestor(under, GA_ROOT)), GetWindowThreadProcessId(under, &process),
                 process, std::string(name, static_cast<std::size_t>(n > 0 ? n : 0))};
      }
    } else if (message == WM_LBUTTONUP && g_wait->Pressed) {
      g_wait->Ended = true;
      g_wait->Result = TClickWait::Clicked;
    }
  }
  // The click goes on to the window under it, as the administrator meant it to.
  return CallNextHookEx(nullptr, code, message, data);
}

LRESULT CALLBACK OnKey(int code, WPARAM message, LPARAM data) {
  const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  if (code == HC_ACTION && down && g_wait != nullptr &&
      reinterpret_cast<const KBDLLHOOKSTRUCT*>(data)->vkCode == VK_ESCAPE) {
    if (!g_wait->Ended) {
      g_wait->Ended = true;
      g_wait->Result = TClickWait::Cancelled;
    }
    // Esc is this program's while it waits: the window in front would take it as its own
    // cancel, and a lookup would close.
    return 1;
  }
  return CallNextHookEx(nullptr, code, message, data);
}

// Handles the messages that have come, the hooks' calls among them; false on WM_QUIT,
// which is posted again for the program's own loop.
bool PumpMessages(const TWaitState& wait) {
  MSG msg;
  while (!wait.Ended && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

}  // namespace

TClickWait TWin32CheckSystem::WaitForLeftClick(std::uint32_t timeoutMs, TPoint& at, TWindowFacts& pressed) {
  if (g_wait != nullptr) return TClickWait::Cancelled;  // a window's handler inside a wait
  TWaitState wait;
  wait.Cancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (wait.Cancel == nullptr) return TClickWait::Cancelled;
  HINSTANCE self = GetModuleHandleA(nullptr);
  g_wait = &wait;
  HHOOK mouse = SetWindowsHookExA(WH_MOUSE_LL, OnMouse, self, 0);
  HHOOK keys = SetWindowsHookExA(WH_KEYBOARD_LL, OnKey, self, 0);
  // Without the mouse hook no click can come: the wait ends as its bound would.
  const DWORD start = ::GetTickCount();
  while (mouse != nullptr && !wait.Ended) {
    // Once pressed, the click is taken; a release that never comes (the hook can miss it
    // when a program of higher integrity takes the mouse) ends the wait after a while.
    const DWORD bound = wait.Pressed ? kReleaseBoundMs : timeoutMs;
    const DWORD spent = ::GetTickCount() - (wait.Pressed ? wait.PressedAt : start);
    if (spent >= bound) {
      if (wait.Pressed) wait.Result = TClickWait::Clicked;
      break;
    }
    const DWORD woken = MsgWaitForMultipleObjectsEx(1, &wait.Cancel, bound - spent, QS_ALLINPUT,
                                                    MWMO_INPUTAVAILABLE);
    if (woken == WAIT_OBJECT_0 || !PumpMessages(wait) ||
        ::WaitForSingleObject(wait.Cancel, 0) == WAIT_OBJECT_0) {
      if (!wait.Ended) wait.Result = TClickWait::Cancelled;
      break;
    }
  }
  if (keys != nullptr) UnhookWindowsHookEx(keys);
  if (mouse != nullptr) UnhookWindowsHookEx(mouse);
  g_wait = nullptr;
  ::CloseHandle(wait.Cancel);
  if (wait.Result == TClickWait::Clicked) {
    at.X = wait.At.x;
    at.Y = wait.At.y;
    pressed = wait.Under;
  }
  return wait.Result;
}

void TWin32CheckSystem::CancelClickWait() {
  if (g_wait != nullptr) SetEvent(g_wait->Cancel);
}

int TWin32CheckSystem::GetMonitorScalePercent(TMonitor monitor) {
  auto* const hmonitor = reinterpret_cast<HMONITOR>(monitor);
  constexpr int Standard = 96;  // dpi at 100 %
  // A DPI-unaware thread is told 96 dpi everywhere: the monitor's own dpi is read as a
  // per-monitor aware thread sees it, for the moment of the call (Windows 10 1607 and later).
  using TContext = DPI_AWARENESS_CONTEXT;
  const auto setContext = Proc<TContext(WINAPI*)(TContext)>(GetModuleHandleA("user32.dll"),
                                                            "SetThreadDpiAwarenessContext");
  const auto getDpi = Proc<HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*)>(
      LoadSystemLibrary("shcore.dll"), "GetDpiForMonitor");
  if (setContext != nullptr && getDpi != nullptr) {
    auto* const perMonitor = reinterpret_cast<TContext>(static_cast<INT_PTR>(-3));
    const TContext old = setContext(perMonitor);
    constexpr int EffectiveDpi = 0;
    UINT x = 0;
    UINT y = 0;
    const HRESULT read = old != nullptr ? getDpi(hmonitor, EffectiveDpi, &x, &y) : E_FAIL;
    if (old != nullptr) setContext(old);
    if (SUCCEEDED(read) && x > 0) return MulDiv(static_cast<int>(x), 100, Standard);
  }
  // Earlier: the monitor's device context, whose width the system gives both as this
  // program sees it and as the display has it; before any scaling of programs, its dpi.
  MONITORINFOEXA info{};
  info.cbSize = sizeof info;
  if (!::GetMonitorInfoA(hmonitor, &info)) return 0;
  HDC dc = CreateDCA(info.szDevice, nullptr, nullptr, nullptr);
  if (dc == nullptr) return 0;
  const int seen = GetDeviceCaps(dc, HORZRES);
  const int real = GetDeviceCaps(dc, DESKTOPHORZRES);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  DeleteDC(dc);
  if (seen > 0 && real > seen) return MulDiv(real, 100, seen);
  return dpi > 0 ? MulDiv(dpi, 100, Standard) : 0;
}

}  // namespace pelmora
