// The port realised on Win32: input, the cursor and the monitors.
#include "platform/win32_common.h"

#include <algorithm>

namespace pelmora {
namespace {

// This thread per-monitor aware for the object's lifetime: nothing is scaled for it, so
// monitors and windows are read in physical pixels. Not Aware() where Windows has no
// such context (before Windows 10 1607).
class TPhysicalPixels {
 public:
  TPhysicalPixels() {
    // Per monitor v2 (Windows 10 1703 and later), else v1.
    for (const LONG_PTR context : {-4, -3}) {
      // NOLINTNEXTLINE(performance-no-int-to-ptr): DPI_AWARENESS_CONTEXT values are such handles
      if (set_ != nullptr && old_ == nullptr) old_ = set_(reinterpret_cast<TContext>(context));
    }
  }
  ~TPhysicalPixels() {
    if (old_ != nullptr) set_(old_);
  }
  TPhysicalPixels(const TPhysicalPixels&) = delete;
  TPhysicalPixels& operator=(const TPhysicalPixels&) = delete;
  TPhysicalPixels(TPhysicalPixels&&) = delete;
  TPhysicalPixels& operator=(TPhysicalPixels&&) = delete;
  bool Aware() const { return old_ != nullptr; }

 private:
  using TContext = HANDLE;  // DPI_AWARENESS_CONTEXT
  using TSetContext = TContext(WINAPI*)(TContext);
  TSetContext set_ = Proc<TSetContext>(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext");
  TContext old_ = nullptr;
};

struct TScreen {
  HMONITOR Monitor;
  RECT Rect;
};

BOOL CALLBACK AddScreen(HMONITOR monitor, HDC, LPRECT rect, LPARAM screens) {
  reinterpret_cast<std::vector<TScreen>*>(screens)->push_back({monitor, *rect});
  return TRUE;
}

}  // namespace

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

TMonitorMapping TWin32WindowSystem::ReadPhysicalMonitor(TMonitor monitor, TRect& rect, TRect& desktop) {
  std::vector<TScreen> screens;
  const TPhysicalPixels physical;
  // Per monitor aware, the monitors are enumerated in physical pixels. The virtual desktop's
  // metrics are not read: that they too are physical there is nowhere promised.
  EnumDisplayMonitors(nullptr, nullptr, AddScreen, reinterpret_cast<LPARAM>(&screens));
  TMonitorMapping mapping = physical.Aware() ? TMonitorMapping::Context : TMonitorMapping::DisplayModes;
  bool scaled = false;
  for (TScreen& screen : screens) {
    if (physical.Aware()) continue;
    // Elsewhere each monitor's display mode tells where it is in physical pixels.
    MONITORINFOEXA info{};
    info.cbSize = sizeof info;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    constexpr DWORD Placed = DM_POSITION | DM_PELSWIDTH | DM_PELSHEIGHT;
    const RECT seen = screen.Rect;
    if (!::GetMonitorInfoA(screen.Monitor, &info) ||
        !EnumDisplaySettingsA(info.szDevice, ENUM_CURRENT_SETTINGS, &mode)) {
      mapping = TMonitorMapping::None;
      scaled = true;  // unknown: taken as scaled
      screen.Rect = {seen.left, seen.top, seen.left, seen.top};
      continue;
    }
    // DEVMODE's display fields are a member of Win32's own union.
    const POINTL at = mode.dmPosition;  // NOLINT(cppcoreguidelines-pro-type-union-access)
    const auto width = static_cast<LONG>(mode.dmPelsWidth);
    const auto height = static_cast<LONG>(mode.dmPelsHeight);
    scaled = scaled || width != seen.right - seen.left || height != seen.bottom - seen.top;
    if ((mode.dmFields & Placed) != Placed) mapping = TMonitorMapping::None;
    screen.Rect = (mode.dmFields & DM_POSITION) != 0 ? RECT{at.x, at.y, at.x + width, at.y + height}
                                                     : RECT{seen.left, seen.top, seen.left + width, seen.top + height};
  }
  // Nothing scaled: the monitors are where this program sees them.
  if (mapping == TMonitorMapping::None && !scaled) mapping = TMonitorMapping::DisplayModes;
  bool found = false;
  desktop = {};
  for (const TScreen& screen : screens) {
    const TRect r{screen.Rect.left, screen.Rect.top, screen.Rect.right, screen.Rect.bottom};
    if (screen.Monitor == reinterpret_cast<HMONITOR>(monitor)) rect = r, found = true;
    desktop = desktop.Right > desktop.Left ? TRect{std::min(desktop.Left, r.Left), std::min(desktop.Top, r.Top),
                                                   std::max(desktop.Right, r.Right), std::max(desktop.Bottom, r.Bottom)}
                                           : r;
  }
  return found ? mapping : TMonitorMapping::None;
}

TWindow TWin32WindowSystem::WindowFromPhysicalPoint(TPoint point) {
  // Vista and later; per monitor aware, WindowFromPoint itself takes physical pixels.
  using TFromPhysical = HWND(WINAPI*)(POINT);
  const auto fromPhysical = Proc<TFromPhysical>(GetModuleHandleA("user32.dll"), "WindowFromPhysicalPoint");
  const TPhysicalPixels physical;
  const POINT at{point.X, point.Y};
  return Handle(fromPhysical != nullptr ? fromPhysical(at) : ::WindowFromPoint(at));
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
