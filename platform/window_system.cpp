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

}  // namespace

bool ClickAt(TWindowSystem& ws, int x, int y) {
  // SendInput injects physical buttons: with the buttons swapped, the physical right
  // button is the logical left one, and a physical left click would open context menus.
  const bool swapped = ws.GetSystemMetrics(SmSwapButton) != 0;
  // Every event carries the point, so a hand moving the mouse between them cannot move
  // the click.
  const TMouseInput at{
      Normalised(x, ws.GetSystemMetrics(SmXVirtualScreen), ws.GetSystemMetrics(SmCxVirtualScreen)),
      Normalised(y, ws.GetSystemMetrics(SmYVirtualScreen), ws.GetSystemMetrics(SmCyVirtualScreen)),
      mouse::Move | mouse::Absolute | mouse::VirtualDesk};
  TMouseInput down = at;
  TMouseInput up = at;
  down.Flags |= swapped ? mouse::RightDown : mouse::LeftDown;
  up.Flags |= swapped ? mouse::RightUp : mouse::LeftUp;
  const std::vector<TMouseInput> click = {at, down, up};
  return ws.SendInput(click) == click.size();
}

}  // namespace pelmora
