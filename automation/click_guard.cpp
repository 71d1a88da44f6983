// The click guard: a click only on the window it is meant for, handled by the target before
// anything follows it; and the number only into a field inside the lookup F8 gave.
#include <algorithm>

#include "automation/run.h"

namespace pelmora {
namespace {

std::string NotTheTargets(TWindowSystem& ws, const TTarget& target, TWindow window) {
  if (window == 0) return "no window there";
  return DescribeWindow(ws, window) + " is not the target's (pid=" + Decimal(target.Process) + ")";
}

// The menu windows of a thread's menu loop.
const char* const MenuClass = "#32768";

TWindowFacts FactsOf(TWindowSystem& ws, TWindow window) {
  return {window, ws.GetAncestor(window), ws.GetWindowThreadId(window), ws.GetWindowThreadProcessId(window),
          ws.GetClassNameA(window)};
}

// The list or menu that the last click opened, or a control inside that list; judged by
// the window as it was at the press, as a pick may close it before its release.
bool IsOnOpened(const TOpened& opened, const TWindowFacts& at) {
  if (opened.Thread == 0 || at.Thread != opened.Thread) return false;
  return (opened.List != 0 && at.Root == opened.List) || (opened.Menu && at.Class == MenuClass);
}

// The window at the point is the one meant, or a control inside it, of the target's process,
// or what the last click opened there.
bool IsMeant(TWindowSystem& ws, const TTarget& target, TWindow meant, TWindow under,
             const TOpened& opened) {
  return under != 0 && target.Process != 0 && ws.GetWindowThreadProcessId(under) == target.Process &&
         (IsOrInside(ws, meant, under) || (opened.Thread != 0 && IsOnOpened(opened, FactsOf(ws, under))));
}

// What the click brought up: a visible top-level window of the thread that was not shown
// before it and has no caption (a question box is never a list); 0: none.
TWindow NewlyShown(TWindowSystem& ws, const TBefore& before) {
  for (const TWindow window : ws.EnumThreadWindows(before.Thread)) {
    const auto bits = static_cast<std::uint32_t>(ws.GetWindowLongA(window, gwl::Style));
    if ((bits & style::Visible) != 0 && (bits & style::Caption) != style::Caption &&
        std::find(before.Shown.begin(), before.Shown.end(), window) == before.Shown.end()) {
      return window;
    }
  }
  return 0;
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
// for its messages since, nothing that was there before the click holds the mouse and a
// menu it picked from has closed (ClickHandled). Tested until `limitMs` have passed since
// `sentAt`.
bool TakenWhole(TWindowSystem& ws, TWindow window, std::uint32_t sentAt, std::uint32_t limitMs,
                TClicked& clicked) {
  for (std::uint32_t spent = 0; spent < limitMs; spent = ws.GetTickCount() - sentAt) {
    // A window gone (the click closed it) has nothing left to take the click.
    if (ws.GetWindowThreadId(window) == 0) return false;
    std::uint32_t input = 0;
    // Where the system cannot tell, the sent message alone.
    const bool routed = !ws.GetLastInputInfo(input) || static_cast<std::int32_t>(input - sentAt) >= 0;
    if (routed && ws.SendMessageTimeoutA(window, wm::Null, 0, 0, limitMs - spent) &&
        ClickHandled(ws, clicked)) {
      return true;
    }
    ws.Pause(ClickTakenPauseMs);
  }
  return false;
}

// A thread that answered before it handled the click shows the list it dropped only after
// the click's pause.
void NoteOpened(const TRun& run, const std::string& what, TClicked& clicked) {
  TWindowSystem& ws = run.Ws;
  if (TClicked later = clicked; clicked.Opened.Thread == 0 && ClickHandled(ws, later)) {
    clicked.Opened = later.Opened;
  }
  if (const TOpened& o = clicked.Opened; o.Thread != 0) {
    run.Say([&] {
      return what + " opened " + (o.Menu ? std::string("a menu") : DescribeWindow(ws, o.List)) +
             ": the next click may land on it";
    });
  }
}

}  // namespace

bool IsOnMeantWindow(TWindowSystem& ws, const TTarget& target, TWindow meant, TWindow under,
                     const TOpened& opened) {
  return IsMeant(ws, target, meant, under, opened);
}

bool IsOnMeantWindow(TWindowSystem& ws, const TTarget& target, TWindow meant, const TWindowFacts& pressed,
                     const TOpened& opened) {
  return pressed.Window != 0 && target.Process != 0 && pressed.Process == target.Process &&
         (IsOrInside(ws, meant, pressed.Window) || IsOnOpened(opened, pressed));
}

TBefore ReadBefore(TWindowSystem& ws, std::uint32_t thread) {
  TBefore before{thread, {}, 0, false};
  for (const TWindow window : ws.EnumThreadWindows(thread)) {
    if ((static_cast<std::uint32_t>(ws.GetWindowLongA(window, gwl::Style)) & style::Visible) != 0) {
      before.Shown.push_back(window);
    }
  }
  if (TGuiThreadInfo info; ws.GetGUIThreadInfo(thread, info)) {
    before.Focus = info.Focus;
    before.Menu = (info.Flags & (gui::InMenuMode | gui::PopupMenuMode)) != 0;
  }
  return before;
}

bool ClickHandled(TWindowSystem& ws, TClicked& clicked) {
  const TBefore& before = clicked.Before;
  TGuiThreadInfo info;
  if (before.Thread == 0 || !ws.GetGUIThreadInfo(before.Thread, info) ||
      (info.Flags & (gui::InMoveSize | gui::SystemMenuMode)) != 0) {
    return false;
  }
  // A menu loop the click started holds the mouse for its menu: the click was taken. One
  // that was up before it is the menu it picks from: its item is handled once it has ended.
  if ((info.Flags & (gui::InMenuMode | gui::PopupMenuMode)) != 0) {
    clicked.Opened = {before.Thread, 0, true};
    return !before.Menu;
  }
  const TWindow list = NewlyShown(ws, before);
  clicked.Opened = {list != 0 ? before.Thread : 0, list, false};
  // Capture alone grants nothing: on a window that was there before the click (the one
  // clicked, its form, the main window) it is a button still held, whose up is queued. A
  // list the click dropped may keep the mouse while open.
  return info.Capture == 0 || (list != 0 && IsOrInside(ws, list, info.Capture));
}

// A click is real input and reaches whatever lies at the point: only the window it is meant
// for may get it, never a question of the target's (a click would answer it), another
// screen, a notification or another program in front.
bool ClickTarget(const TRun& run, const TTarget& target, TWindow window, TPoint offset,
                 std::uint32_t pauseMs, const std::string& what, TClicked& clicked) {
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
    if (IsMeant(ws, target, window, under, clicked.Opened)) break;
    if (tests == 1 && run.Trace.On()) first = NotMeant(ws, target, window, under);
    if (tests == limit) {
      return refused(run.Trace.On() ? NotMeant(ws, target, window, under) + " after " +
                                          Decimal(ws.GetTickCount() - start) + " ms"
                                    : std::string());
    }
    ws.Pause(ClickTestPauseMs);
  }
  // Nothing between the last test and the click but the note of what the thread shows and
  // the physical test: the trace is written after it.
  clicked.Before = ReadBefore(ws, ws.GetWindowThreadId(window));
  if (run.Overtaken()) return refused("another job went on past this job's end");
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
  clicked.Under = under;
  const std::uint32_t takenMs = ClickTakenMs * run.Patience;
  if (!TakenWhole(ws, window, sentAt, takenMs, clicked)) {
    return refused("not taken by the target within " + Decimal(takenMs) + " ms");
  }
  ws.Pause(pauseMs);
  NoteOpened(run, what, clicked);
  return true;
}

bool FocusGiven(TWindowSystem& ws, TWindow clicked, TWindow before, TWindow focus) {
  return focus != 0 && (focus == clicked || (focus != before && ws.IsChild(clicked, focus)));
}

bool WaitForFocusIn(const TRun& run, const TClicked& clicked, TWindow& focus) {
  TWindowSystem& ws = run.Ws;
  const std::uint32_t thread = ws.GetWindowThreadId(clicked.Under);
  const std::uint32_t start = ws.GetTickCount();
  const std::uint32_t limitMs = ScreenFocusMs * run.Patience;
  TGuiThreadInfo info;
  for (focus = 0; thread != 0 && ws.GetGUIThreadInfo(thread, info);) {
    focus = info.Focus;
    if (FocusGiven(ws, clicked.Under, clicked.Before.Focus, focus)) return true;
    if (ws.GetTickCount() - start >= limitMs) return false;
    ws.Pause(ClickTakenPauseMs);
  }
  return false;
}

// Clicks the screen at its point and waits until the click gave the control there the
// focus (a container holding a focused control is no proof): a
// target busy with messages it posted itself answers a sent message while the click still
// waits behind them, and F8, posted, would overtake it and open the lookup of whichever
// field had the focus. A point on a label or the bare screen takes none: past the bound
// the job goes on as before.
bool ClickScreen(const TRun& run, const TTarget& target, TWindow screen, TOffset offset,
                 const std::string& code, bool& focused) {
  TClicked clicked;
  if (!ClickTarget(run, target, screen, {offset.X, offset.Y}, ScreenClickPauseMs, "screen " + code, clicked)) {
    return false;
  }
  TWindow focus = 0;
  focused = WaitForFocusIn(run, clicked, focus);
  if (!focused) {
    run.Say([&] {
      return "screen " + code + ": the point took no focus: " + DescribeWindow(run.Ws, clicked.Under) +
             " did not have it within " + Decimal(std::uint64_t{ScreenFocusMs} * run.Patience) +
             " ms, it is on " + (focus != 0 ? DescribeWindow(run.Ws, focus) : "no window") +
             "; F8 goes on regardless";
    });
  }
  return true;
}

// The window with the keyboard focus in the field's thread once the click gave it to the
// field, tested briefly: the third click was taken whole, so the focus is set or it never
// will be.
TWindow FocusAfterClick(const TRun& run, TWindow field, TWindow before) {
  const std::uint32_t thread = run.Ws.GetWindowThreadId(field);
  TGuiThreadInfo info;
  for (int tests = 1; thread != 0; ++tests) {
    if (!run.Ws.GetGUIThreadInfo(thread, info)) return 0;
    if (FocusGiven(run.Ws, field, before, info.Focus) || tests == run.Times(FocusTests)) return info.Focus;
    run.Ws.Pause(ClickTestPauseMs);
  }
  return 0;
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
