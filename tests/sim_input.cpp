// The simulated desktop's input: clicks routed through the hook, the cursor, and the
// monitors with their own scaling.
#include "tests/sim_desktop.h"

#include <algorithm>

namespace pelmora::sim {

TRect TSimDesktop::Scaled(std::size_t i) const {
  // The corner as the primary's scaling places it, so monitors stay side by side.
  const TRect& m = Monitors[i];
  const int scale = i < Scales.size() ? Scales[i] : 100, system = Scales.empty() ? 100 : Scales[0];
  const TPoint at{m.Left * 100 / system, m.Top * 100 / system};
  return {at.X, at.Y, at.X + (m.Right - m.Left) * 100 / scale, at.Y + (m.Bottom - m.Top) * 100 / scale};
}

TPoint TSimDesktop::Scaled(TPoint p) const {
  for (std::size_t i = 0; i < Monitors.size(); ++i) {
    const TRect& from = Monitors[i];
    if (p.X < from.Left || p.X >= from.Right || p.Y < from.Top || p.Y >= from.Bottom) continue;
    const TRect to = Scaled(i);
    const int scale = i < Scales.size() ? Scales[i] : 100;  // rounded, as MulDiv does
    return {to.Left + ((p.X - from.Left) * 100 + scale / 2) / scale, to.Top + ((p.Y - from.Top) * 100 + scale / 2) / scale};
  }
  return p;
}

TRect TSimDesktop::VirtualScreen(bool physical) const {
  TRect all = Monitors.empty() ? TRect{} : physical ? Monitors.front() : Scaled(0);
  for (std::size_t i = 0; i < Monitors.size(); ++i) {
    const TRect m = physical ? Monitors[i] : Scaled(i);
    all = {std::min(all.Left, m.Left), std::min(all.Top, m.Top), std::max(all.Right, m.Right),
           std::max(all.Bottom, m.Bottom)};
  }
  return all;
}

std::uint32_t TSimDesktop::SendInput(const std::vector<TMouseInput>& events) {
  Log("SendInput", 0, static_cast<std::uint32_t>(events.size()));
  Inputs.push_back(events);
  // One series: the hand gets no turn before the last event has gone in.
  // Input to a program of higher integrity in front is dropped (UIPI).
  const TSimWindow* front = Find(Foreground);
  const bool blocked = InputBlocked || (front != nullptr && Elevated.count(front->Process) != 0);
  const auto inserted =
      static_cast<std::uint32_t>(blocked ? 0 : std::min<std::size_t>(events.size(), InsertLimit));
  if (inserted != 0) LastInputOurs = true;
  const std::vector<TMouseInput> in(events.begin(), events.begin() + inserted);
  const auto route = [this, in] {
    for (const TMouseInput& e : in) Route(e);
  };
  if (RouteDelayMs == 0) route();
  else At(now_ + RouteDelayMs, route);
  return inserted;
}

void TSimDesktop::Route(const TMouseInput& e) {
  lastInput_ = now_;
  if (e.Flags & mouse::Move) {
    if (e.Flags & mouse::Absolute) {
      // Normalised coordinates map back onto physical pixels by truncation, as the system maps them.
      const TRect over = (e.Flags & mouse::VirtualDesk) ? VirtualScreen(true) : Monitors.front();
      Cursor = {static_cast<std::int32_t>(over.Left + std::int64_t{e.Dx} * (over.Right - over.Left) / 65536),
                static_cast<std::int32_t>(over.Top + std::int64_t{e.Dy} * (over.Bottom - over.Top) / 65536)};
    } else {
      Cursor = {Cursor.X + e.Dx, Cursor.Y + e.Dy};
    }
  }
  // A click is a physical down then up of one button, reported in logical terms.
  for (int button = 0; button < 2; ++button) {
    const std::uint32_t down = button == 0 ? mouse::LeftDown : mouse::RightDown;
    const std::uint32_t up = button == 0 ? mouse::LeftUp : mouse::RightUp;
    if (e.Flags & down) physicalDown_[button] = true;
    if ((e.Flags & up) && physicalDown_[button]) {
      physicalDown_[button] = false;
      const TPoint at = Scaled(Cursor);
      const TWindow hit = HitTest(0, at);
      Clicks.push_back({hit, at, (button == 0) != SwapButtons});
      // A click activates the top-level window it lands in.
      if (const TWindow root = Root(hit)) Foreground = root;
      if (hit == 0) continue;
      Deliver(hit, true, [this, hit] {
        const TSimWindow& w = Window(hit);
        // A click off a menu still up only ends its loop.
        if ((ThreadModes[w.Process] & gui::InMenuMode) != 0 && w.Class != "#32768") return void(ThreadModes[w.Process] = 0);
        if (w.FocusTo != 0 || w.TakesFocus) focus_[w.Process] = w.FocusTo != 0 ? w.FocusTo : hit;
        if (OnClick) OnClick(hit);
      });
    }
  }
}

TMonitor TSimDesktop::MonitorFromPoint(TPoint p) {
  Log("MonitorFromPoint");
  for (std::size_t i = 0; i < Monitors.size(); ++i) {
    const TRect m = Scaled(i);
    if (p.X >= m.Left && p.X < m.Right && p.Y >= m.Top && p.Y < m.Bottom) return i + 1;
  }
  return 0;
}

TMonitorMapping TSimDesktop::ReadPhysicalMonitor(TMonitor monitor, TRect& rect, TRect& desktop) {
  Log("ReadPhysicalMonitor", 0, static_cast<std::uint32_t>(monitor));
  if (monitor == 0 || monitor > Monitors.size()) return TMonitorMapping::None;
  rect = Monitors[monitor - 1];
  desktop = VirtualScreen(true);
  if (Mapping != TMonitorMapping::None) return Mapping;
  const TRect at = Scaled(monitor - 1);  // nothing maps: the physical size only
  rect = {at.Left, at.Top, at.Left + rect.Right - rect.Left, at.Top + rect.Bottom - rect.Top};
  return Mapping;
}

TWindow TSimDesktop::WindowFromPhysicalPoint(TPoint point) {
  Log("WindowFromPhysicalPoint");
  if (PhysicalHit != 0) return PhysicalHit;
  return HitTest(0, Mapping == TMonitorMapping::Context ? Scaled(point) : point);
}

bool TSimDesktop::GetLastInputInfo(std::uint32_t& tick) {
  Log("GetLastInputInfo");
  tick = static_cast<std::uint32_t>(TickBase + lastInput_);
  return true;
}

bool TSimDesktop::GetGUIThreadInfo(std::uint32_t thread, TGuiThreadInfo& info) {
  Log("GetGUIThreadInfo", 0, thread);
  info = {ThreadModes[thread], focus_[thread], Capture[thread]};
  return true;
}

std::vector<TWindow> TSimDesktop::EnumThreadWindows(std::uint32_t thread) {
  Log("EnumThreadWindows", 0, thread);
  std::vector<TWindow> windows;  // topmost first
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
    if (it->Alive && it->Parent == 0 && (it->Thread != 0 ? it->Thread : it->Process) == thread) windows.push_back(it->Handle);
  return windows;
}

std::int32_t TSimDesktop::GetWindowLongA(TWindow window, int index) {
  Log("GetWindowLongA", window, static_cast<std::uint32_t>(index));
  const TSimWindow* w = Find(window);
  return w && index == gwl::Style ? static_cast<std::int32_t>(w->Style | (w->Visible ? style::Visible : 0)) : 0;
}

void TSimDesktop::HandClick(TPoint at) { Cursor = at, Route({0, 0, mouse::LeftDown}), Route({0, 0, mouse::LeftUp}); }

int TSimDesktop::GetSystemMetrics(int index) {
  Log("GetSystemMetrics", 0, static_cast<std::uint32_t>(index));
  const TRect all = VirtualScreen(false);
  switch (index) {
    case SmSwapButton: return SwapButtons ? 1 : 0;
    case SmXVirtualScreen: return all.Left;
    case SmYVirtualScreen: return all.Top;
    case SmCxVirtualScreen: return all.Right - all.Left;
    case SmCyVirtualScreen: return all.Bottom - all.Top;
    default: return 0;
  }
}

TMonitor TSimDesktop::MonitorFromWindow(TWindow window) {
  Log("MonitorFromWindow", window);
  const TSimWindow* w = Find(window);
  if (w == nullptr || Monitors.empty()) return 0;
  // The largest overlap wins, then the least distance; the primary on a tie.
  std::size_t best = 0;
  std::int64_t bestOverlap = -1, bestDistance = 0;
  for (std::size_t i = 0; i < Monitors.size(); ++i) {
    const TRect m = Scaled(i);
    const std::int64_t dx = std::max({m.Left - w->Rect.Right, w->Rect.Left - m.Right, 0});
    const std::int64_t dy = std::max({m.Top - w->Rect.Bottom, w->Rect.Top - m.Bottom, 0});
    const std::int64_t overlap =
        std::int64_t{std::max(0, std::min(m.Right, w->Rect.Right) - std::max(m.Left, w->Rect.Left))} *
        std::max(0, std::min(m.Bottom, w->Rect.Bottom) - std::max(m.Top, w->Rect.Top));
    const std::int64_t distance = dx * dx + dy * dy;
    if (overlap > bestOverlap || (overlap == 0 && bestOverlap == 0 && distance < bestDistance)) {
      best = i;
      bestOverlap = overlap;
      bestDistance = distance;
    }
  }
  return best + 1;
}

bool TSimDesktop::GetMonitorInfoA(TMonitor monitor, TRect& rect, std::string& device) {
  Log("GetMonitorInfoA", 0, static_cast<std::uint32_t>(monitor));
  if (monitor == 0 || monitor > Monitors.size()) return false;
  rect = Scaled(monitor - 1);
  device = "\\\\.\\DISPLAY" + std::to_string(monitor);
  return true;
}

}  // namespace pelmora::sim
