// The port realised on Win32: input, the cursor and the monitors.
#include "platform/win32_common.h"

namespace pelmora {

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

TMonitor TWin32WindowSystem::MonitorFromPoint(TPoint point) {
  return reinterpret_cast<TMonitor>(::MonitorFromPoint(POINT{point.X, point.Y}, MONITOR_DEFAULTTONULL));
}

bool TWin32WindowSystem::ReadPhysicalMonitor(TMonitor monitor, TRect& rect, TRect& desktop) {
  using TContext = HANDLE;  // DPI_AWARENESS_CONTEXT
  using TSetContext = TContext(WINAPI*)(TContext);
  const auto setContext = Proc<TSetContext>(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext");
  if (setContext == nullptr) return false;
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE: nothing scaled for this thread until the
  // context is put back.
  auto* const aware = reinterpret_cast<TContext>(static_cast<LONG_PTR>(-3));  // NOLINT(performance-no-int-to-ptr)
  const TContext old = setContext(aware);
  if (old == nullptr) return false;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  const bool read = ::GetMonitorInfoA(reinterpret_cast<HMONITOR>(monitor), &info) != FALSE;
  desktop.Left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  desktop.Top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  desktop.Right = desktop.Left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
  desktop.Bottom = desktop.Top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  setContext(old);
  rect = {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
  return read && desktop.Right > desktop.Left && desktop.Bottom > desktop.Top;
}

bool TWin32WindowSystem::GetLastInputInfo(std::uint32_t& tick) {
  LASTINPUTINFO info{};
  info.cbSize = sizeof info;
  if (!::GetLastInputInfo(&info)) return false;
  tick = info.dwTime;
  return true;
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

}  // namespace pelmora
