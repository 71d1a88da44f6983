// The click guard: a click only on the window it is meant for, handled by the target before
// anything follows it; and the number only into a field inside the lookup F8 gave.
#include "automation/run.h"

namespace pelmora {
namespace {

std::string NotTheTargets(TWindowSystem& ws, const TTarget& target, TWindow window) {
  if (window == 0) return "no window there";
  return DescribeWindow(ws, window) + " is not the target's (pid=" + Decimal(target.Process) + ")";
}

// The window at the point is the one meant, or a control inside it, of the target's process.
bool IsMeant(TWindowSystem& ws, const TTarget& target, TWindow meant, TWindow under) {
  return under != 0 && target.Process != 0 && ws.GetWindowThreadProcessId(under) == target.Process &&
         (under == meant || ws.IsChild(meant, under));
}

std::string NotMeant(TWindowSystem& ws, const TTarget& target, TWindow meant, TWindow under) {
  if (under == 0 || ws.GetWindowThreadProcessId(under) != target.Process) {
    return NotTheTargets(ws, target, under);
  }
  return DescribeWindow(ws, under) + " is not in " + DescribeWindow(ws, meant);
}

// Windows hands a thread its sent messages, then its posted ones, then its input: on a busy
// target the keys posted next would overtake the click, and a slow low-level hook may hold
// the click back before it even reaches the target's queue. Taken whole: the system has
// routed it (its last input is no older than the click), the target's thread has come back
// for its messages since, and holds neither the mouse (a button's down without its up) nor
// a menu loop. Tested until `limitMs` have passed since `sentAt`.
bool TakenWhole(TWindowSystem& ws, TWindow window, std::uint32_t sentAt, std::uint32_t limitMs) {
  constexpr std::uint32_t Busy = gui::InMoveSize | gui::InMenuMode | gui::SystemMenuMode | gui::PopupMenuMode;
  for (std::uint32_t spent = 0; spent < limitMs; spent = ws.GetTickCount() - sentAt) {
    // A window gone (the click closed it) has nothing left to take the click.
    const std::uint32_t thread = ws.GetWindowThreadId(window);
    if (thread == 0) return false;
    std::uint32_t input = 0;
    // Where the system cannot tell, the sent message alone.
    const bool routed = !ws.GetLastInputInfo(input) || static_cast<std::int32_t>(input - sentAt) >= 0;
    TGuiThreadInfo info;
    if (routed && ws.SendMessageTimeoutA(window, wm::Null, 0, 0, limitMs - spent) &&
        ws.GetGUIThreadInfo(thread, info) && info.Capture == 0 && (info.Flags & Busy) == 0) {
      return true;
    }
    ws.Pause(ClickTestPauseMs);
  }
  return false;
}

}  // namespace

bool IsOnMeantWindow(TWindowSystem& ws, const TTarget& target, TWindow meant, TWindow under) {
  return IsMeant(ws, target, meant, under);
}

// A click is real input and reaches whatever lies at the point: only the window it is meant
// for may get it, never a question of the target's (a click would answer it), another
// screen, a notification or another program in front.
bool ClickTarget(const TRun& run, const TTarget& target, TWindow window, TPoint offset,
                 std::uint32_t pauseMs, const std::string& what) {
  TWindowSystem& ws = run.Ws;
  const std::uint32_t start = run.Tick();
  const int limit = run.Times(ClickTests);
  std::string first;  // what lay at the point at the first test, for the trace
  TPoint point;
  TPreparedClick click;
  TWindow under = 0;
  const auto refused = [&](const std::string& why) {
    run.Say([&] { return "refused click " + what + " at " + Point(point) + ": " + why; });
    return false;
  };
  for (int tests = 1;; ++tests) {
    TRect rect;
    // A window that has gone gives no rectangle: offsets from nothing would click into
    // whatever lies near the display's corner.
    if (!ws.GetWindowRect(window, rect)) return refused(Hex(window) + " is gone");
    point = {rect.Left + offset.X, rect.Top + offset.Y};
    click = PrepareClick(ws, point.X, point.Y);
    under = ws.WindowFromPoint(point);
    if (IsMeant(ws, target, window, under)) break;
    if (tests == 1 && run.Trace.On()) first = NotMeant(ws, target, window, under);
    if (tests == limit) {
      return refused(run.Trace.On() ? NotMeant(ws, target, window, under) + " after " +
                                          Decimal(ws.GetTickCount() - start) + " ms"
                                    : std::string());
    }
    ws.Pause(ClickTestPauseMs);
  }
  // Nothing between the last test and the click but the physical test: the trace is
  // written after it.
  const std::uint32_t sentAt = ws.GetTickCount();
  TWindow landed = 0;
  const TClickSent sent = SendClick(ws, click, under, landed);
  if (sent != TClickSent::Sent) return refused(run.Trace.On() ? Unsent(ws, click, sent, under, landed) : std::string());
  run.Say([&] {
    const TPoint physical = click.Physical;
    const bool scaled = physical.X != point.X || physical.Y != point.Y;
    return "click " + what + " at " + Point(point) + (scaled ? ", physical " + Point(physical) : "") +
           " on " + DescribeWindow(ws, under) +
           (first.empty() ? "" : "; waited " + Decimal(sentAt - start) + " ms: " + first);
  });
  const std::uint32_t takenMs = ClickTakenMs * run.Patience;
  if (!TakenWhole(ws, window, sentAt, takenMs)) {
    return refused("not taken by the target within " + Decimal(takenMs) + " ms");
  }
  ws.Pause(pauseMs);
  return true;
}

TField CheckField(TWindowSystem& ws, const TTarget& target, TWindow field, TWindow lookup) {
  if (field == 0 || ws.GetWindowThreadProcessId(field) != target.Process) return TField::NotTheTargets;
  if (ws.GetAncestor(field) == field) return TField::TopLevel;
  return ws.IsChild(lookup, field) ? TField::Field : TField::OutsideTheLookup;
}

std::string FieldRefusal(TWindowSystem& ws, const TTarget& target, TWindow field, TField check) {
  if (check == TField::NotTheTargets) return NotTheTargets(ws, target, field);
  if (check == TField::TopLevel) return DescribeWindow(ws, field) + " is a top-level window, not a field";
  return DescribeWindow(ws, field) + " lies in " + DescribeWindow(ws, ws.GetAncestor(field)) +
         ", not in the lookup F8 gave";
}

}  // namespace pelmora
