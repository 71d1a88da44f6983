#include "platform/window_system.h"

namespace pelmora {
namespace {

// A pixel on SendInput's 0..65535 scale over the virtual desktop. Rounding up lands on the
// very pixel where the system truncates the scale back; the first pixel takes 1, not 0.
std::int32_t Normalised(int pixel, int origin, int extent) {
  if (extent <= 0) return 1;
  const std::int64_t scaled = (std::int64_t{pixel} - origin) * 65536;
  const std::int64_t up = scaled / extent + (scaled % extent > 0 ? 1 : 0);
  return static_cast<std::int32_t>(up < 1 ? 1 : up);
}

// `offset` pixels of an extent of `from` pixels scaled to one of `to`, rounded.
std::int32_t Scale(std::int32_t offset, std::int32_t from, std::int32_t to) {
  return static_cast<std::int32_t>((std::int64_t{offset} * to * 2 + from) / (std::int64_t{from} * 2));
}

// Where Windows puts the program's point on the physical desktop, and that desktop: the
// monitor holding the point, as this program sees it scaled, maps in a straight line onto
// the monitor's physical pixels. False where the point has no physical pixel: on no
// monitor, or on a desktop scaled where this Windows tells no monitor's physical place.
bool PhysicalPoint(TWindowSystem& ws, TPoint at, TPreparedClick& click, TRect& desktop) {
  std::string device;
  click.Monitor = ws.MonitorFromPoint(at);
  if (click.Monitor == 0 || !ws.GetMonitorInfoA(click.Monitor, click.Scaled, device) ||
      click.Scaled.Right <= click.Scaled.Left || click.Scaled.Bottom <= click.Scaled.Top) {
    click.Monitor = 0;
    return false;
  }
  click.Mapping = ws.ReadPhysicalMonitor(click.Monitor, click.Real, desktop);
  if (click.Mapping == TMonitorMapping::None) return false;
  const TRect& scaled = click.Scaled;
  const TRect& real = click.Real;
  click.Physical = {real.Left + Scale(at.X - scaled.Left, scaled.Right - scaled.Left, real.Right - real.Left),
                    real.Top + Scale(at.Y - scaled.Top, scaled.Bottom - scaled.Top, real.Bottom - real.Top)};
  return desktop.Right > desktop.Left && desktop.Bottom > desktop.Top;
}

}  // namespace

TPreparedClick PrepareClick(TWindowSystem& ws, int x, int y) {
  // SendInput injects physical buttons: with the buttons swapped, the physical right
  // button is the logical left one, and a physical left click would open context menus.
  const bool swapped = ws.GetSystemMetrics(SmSwapButton) != 0;
  // Absolute input is mapped in a straight line onto the physical desktop, the union of the
  // monitors' physical rectangles. With every monitor scaled alike, the scaled point over
  // the scaled desktop is the same fraction; with mixed scaling only the physical point
  // over the physical desktop is.
  TPreparedClick click;
  click.At = click.Physical = {x, y};
  TRect desktop;
  if (!PhysicalPoint(ws, {x, y}, click, desktop)) return click;
  // Every event carries the point, so a hand moving the mouse between them cannot move
  // the click.
  const TMouseInput at{Normalised(click.Physical.X, desktop.Left, desktop.Right - desktop.Left),
                       Normalised(click.Physical.Y, desktop.Top, desktop.Bottom - desktop.Top),
                       mouse::Move | mouse::Absolute | mouse::VirtualDesk};
  TMouseInput down = at;
  TMouseInput up = at;
  down.Flags |= swapped ? mouse::RightDown : mouse::LeftDown;
  up.Flags |= swapped ? mouse::RightUp : mouse::LeftUp;
  click.Events = {at, down, up};
  return click;
}

TClickSent SendClick(TWindowSystem& ws, const TPreparedClick& click, TWindow approved, TWindow& landed) {
  if (click.Events.empty()) return TClickSent::Unmapped;
  // Proven where it lands: the scaled view the guard tested and the physical desktop the
  // input goes to must agree on the window. Without a per-monitor context Windows tests any
  // point in the scaled view: there the program's own point is the one it routes.
  const bool physical = click.Mapping == TMonitorMapping::Context;
  if (approved != 0 &&
      (landed = physical ? ws.WindowFromPhysicalPoint(click.Physical) : ws.WindowFromPoint(click.At)) != approved) {
    return TClickSent::Elsewhere;
  }
  return ws.SendInput(click.Events) == click.Events.size() ? TClickSent::Sent : TClickSent::Blocked;
}

}  // namespace pelmora
