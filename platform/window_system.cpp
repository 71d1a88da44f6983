#include "platform/window_system.h"

namespace pelmora {

void ClickAt(TWindowSystem& ws, int x, int y, std::uint32_t pauseMs) {
  // mouse_event injects physical buttons: with the buttons swapped, the physical right
  // button is the logical left one, and a physical left click would open context menus.
  const bool swapped = ws.GetSystemMetrics(SmSwapButton) != 0;
  ws.SetCursorPos(x, y);
  ws.mouse_event(swapped ? mouse::RightDown : mouse::LeftDown, x, y);
  ws.mouse_event(swapped ? mouse::RightUp : mouse::LeftUp, x, y);
  ws.Sleep(pauseMs);
}

}  // namespace pelmora
