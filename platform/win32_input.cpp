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
