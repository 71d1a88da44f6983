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
  run.Say([&] {
    return "click " + what + " at " + Point(point) + " on " + DescribeWindow(ws, under) +
           (first.empty() ? "" : "; waited " + Decimal(ws.GetTickCount() - start) + " ms: " + first);
  });
  if (!ClickAt(ws, point.X, point.Y)) return refused("input blocked");
  // Windows hands a thread its posted messages before its input: on a busy target the keys
  // posted next would overtake the click. The thread answers a sent message when it comes
  // back for its messages, and takes the click next, within the pause.
  const std::uint32_t takenMs = ClickTakenMs * run.Patience;
  if (!ws.SendMessageTimeoutA(window, wm::Null, 0, 0, takenMs)) {
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
