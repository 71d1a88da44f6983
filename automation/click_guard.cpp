// The click guard: a click only on a window of the target's own process, and the number
// only into a field inside the target's lookup.
#include "automation/run.h"

namespace pelmora {
namespace {

std::string NotTheTargets(TWindowSystem& ws, const TTarget& target, TWindow window) {
  if (window == 0) return "no window there";
  return DescribeWindow(ws, window) + " is not the target's (pid=" + Decimal(target.Process) + ")";
}

}  // namespace

// A click is real input and reaches whatever lies at the point: only a window of the
// target's own process may get it, never a notification or another program in front.
bool ClickTarget(const TRun& run, const TTarget& target, TPoint point, std::uint32_t pauseMs,
                 const std::string& what) {
  TWindowSystem& ws = run.Ws;
  const TWindow under = ws.WindowFromPoint(point);
  if (under == 0 || target.Process == 0 || ws.GetWindowThreadProcessId(under) != target.Process) {
    run.Say([&] {
      return "refused click " + what + " at " + Point(point) + ": " + NotTheTargets(ws, target, under);
    });
    return false;
  }
  run.Say([&] { return "click " + what + " at " + Point(point) + " on " + DescribeWindow(ws, under); });
  if (!ClickAt(ws, point.X, point.Y, pauseMs)) {
    run.Say([&] { return "refused click " + what + " at " + Point(point) + ": input blocked"; });
    return false;
  }
  return true;
}

TField CheckField(TWindowSystem& ws, const TTarget& target, TWindow field, const char* lookupTitle) {
  if (field == 0 || ws.GetWindowThreadProcessId(field) != target.Process) return TField::NotTheTargets;
  const TWindow root = ws.GetAncestor(field);
  if (root == field) return TField::TopLevel;
  return root != 0 && ws.GetWindowThreadProcessId(root) == target.Process &&
                 ws.GetWindowTextA(root) == lookupTitle
             ? TField::Field
             : TField::OutsideTheLookup;
}

std::string FieldRefusal(TWindowSystem& ws, const TTarget& target, TWindow field, TField check) {
  if (check == TField::NotTheTargets) return NotTheTargets(ws, target, field);
  if (check == TField::TopLevel) return DescribeWindow(ws, field) + " is a top-level window, not a field";
  return DescribeWindow(ws, field) + " lies in " + DescribeWindow(ws, ws.GetAncestor(field)) +
         ", not in the target's lookup";
}

}  // namespace pelmora
