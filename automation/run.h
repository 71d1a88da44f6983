// What the job's phases share: the run's context, the target's windows, the limits and
// the small waits; and the entry points of the phases, each in a file of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "automation/job.h"
#include "automation/messages.h"
#include "automation/screen_table.h"
#include "automation/trace.h"
#include "platform/window_system.h"

namespace pelmora {

// Start-up limits.
constexpr int StartSearches = 75;
constexpr std::uint32_t StartSearchPauseMs = 200;
constexpr std::uint32_t InputIdleTimeoutMs = 15000;
constexpr std::uint32_t RestorePauseMs = 100;
// A target that does not handle the restore within this (times patience) is busy or hung:
// waiting on it would hold this program, its window and the job lock as long as it lasts.
constexpr std::uint32_t RestoreTimeoutMs = 5000;
// A locked or disconnected session drops injected clicks but lets posted characters through:
// the number would be searched without its by-phone click. Tested every 500 ms for a minute.
const char* const InputDesktop = "Default";
constexpr int SessionTests = 120;
constexpr std::uint32_t SessionPauseMs = 500;
// Visibility waits: 500 tests, a 10 ms pause after each failed one but the last.
constexpr int VisibleTests = 500;
constexpr std::uint32_t VisiblePauseMs = 10;
// Per-screen pauses and limits.
constexpr std::uint32_t MenuKeyPauseMs = 100;
constexpr int ScreenSearches = 30;
constexpr std::uint32_t ScreenSearchPauseMs = 100;
constexpr std::uint32_t ActivatePauseMs = 100;
constexpr std::uint32_t ScreenClickPauseMs = 100;
constexpr int LookupSearches = 30;
constexpr std::uint32_t LookupSearchPauseMs = 100;
constexpr std::uint32_t LookupClickPauseMs = 50;
constexpr std::uint32_t TypedPauseMs = 200;
// A click waits this long, tested every 10 ms, for its window to come to the point: on a
// loaded PC the target may still be activating the screen or placing the lookup.
constexpr int ClickTests = 100;
constexpr std::uint32_t ClickTestPauseMs = 10;
// How long a busy target, or a slow hook before it, may take to take a click whole; tested
// at the finer timer's grain, as the shortest path waits on it after every click.
constexpr std::uint32_t ClickTakenMs = 5000;
constexpr std::uint32_t ClickTakenPauseMs = 1;
// The search field must hold the focus after its click: tested this often, every 10 ms.
constexpr int FocusTests = 10;
// F8 waits this long for the control at the screen's point to take the focus: the click's
// proof that the target has handled it, whatever it had posted to itself before.
constexpr std::uint32_t ScreenFocusMs = 1000;

// Windows' default timer ticks every 15.625 ms and a pause ends on a tick: 100 ms take 109.
// The job asks for a finer timer; where it cannot have that, each pause may end a tick late.
constexpr std::uint32_t TimerTickMs = 16;

using TFailure = std::optional<std::string>;

inline std::string NotStarted(const std::string& detail) { return msg::NotStarted + detail; }

// What a run carries besides the window system: its trace, the patience factor, which
// multiplies every count of searches and tests and the idle time-out, never a pause, and
// the target's facts in force.
struct TRun {
  TWindowSystem& Ws;
  TTrace& Trace;
  int Patience;
  const TScreenTable& Table;
  // False once another job went on past the end this one published: that one clicks and
  // types now, and this one must touch nothing more. Unset where nothing can overtake it.
  std::function<bool()> Holds = nullptr;
  int Times(int count) const { return count * Patience; }
  bool Overtaken() const { return Holds && !Holds(); }
  // Traces the line `text` builds; with the trace off nothing is built and nothing asked.
  template <class Text>
  void Say(Text text) const {
    if (Trace.On()) Trace.Line(text());
  }
  // The tick count for timing a wait, read only when tracing.
  std::uint32_t Tick() const { return Trace.On() ? Ws.GetTickCount() : 0; }
};

inline std::string FoundOr(TWindowSystem& ws, TWindow window, const char* none) {
  return window ? "found " + DescribeWindow(ws, window) : std::string(none);
}

inline std::string Searches(int made, int limit) {
  return " after " + Decimal(made) + (made == 1 ? " search" : " searches") + " (limit " +
         Decimal(limit) + ")";
}

// Searches until found or `searches` are made, pausing after every search; `made` counts
// the searches.
template <class Find>
TWindow Poll(TWindowSystem& ws, int searches, std::uint32_t pauseMs, Find find, int& made) {
  TWindow window = 0;
  for (made = 0; window == 0 && made < searches;) {
    window = find();
    ++made;
    ws.Pause(pauseMs);
  }
  return window;
}

// Tests visibility until it holds or the run's count of tests is spent; traced as `what`.
inline bool WaitVisible(const TRun& run, TWindow window, const std::string& what) {
  const int limit = run.Times(VisibleTests);
  int tests = 1;
  for (; !run.Ws.IsWindowVisible(window); ++tests) {
    if (tests == limit) {
      run.Say([&] { return what + " not visible after " + Decimal(tests) + " tests"; });
      return false;
    }
    run.Ws.Pause(VisiblePauseMs);
  }
  run.Say([&] {
    return what + " visible after " + Decimal(tests) + (tests == 1 ? " test" : " tests") +
           " (limit " + Decimal(limit) + ")";
  });
  return true;
}

// The timer's resolution raised for the object's lifetime, an error raised by the job included.
class TFinerTimer {
 public:
  explicit TFinerTimer(TWindowSystem& ws) : ws_(ws) { ws_.BeginFinerTimer(); }
  ~TFinerTimer() { ws_.EndFinerTimer(); }
  TFinerTimer(const TFinerTimer&) = delete;
  TFinerTimer& operator=(const TFinerTimer&) = delete;
  TFinerTimer(TFinerTimer&&) = delete;
  TFinerTimer& operator=(TFinerTimer&&) = delete;

 private:
  TWindowSystem& ws_;
};

// False when either could not be posted.
inline bool PostKey(TWindowSystem& ws, TWindow window, std::uintptr_t key) {
  return ws.PostMessageA(window, wm::KeyDown, key, 0) && ws.PostMessageA(window, wm::KeyUp, key, 0);
}

// `window` is `outer` itself or a window inside it.
inline bool IsOrInside(TWindowSystem& ws, TWindow outer, TWindow window) {
  return window != 0 && (window == outer || ws.IsChild(outer, window));
}

struct TTarget {
  TWindow Main = 0;
  TWindow MdiClient = 0;
  TProcessId Process = 0;
};

// The start-up phase (start_up.cpp).
enum class TSession { TakesInput, StaysLocked, Closed };
TSession WaitForSession(const TRun& run);
// `startElevated` false: a program running elevated asks for the target started normally
// rather than start it (pelmora-check, which an administrator may run elevated).
TFailure StartTarget(const TRun& run, TJob& job, TTarget& target, bool startElevated = true);
// The classes of the process's visible top-level windows, comma-separated, each once: a new
// version of the target whose main window class changed shows its new class among them.
std::string TopLevelClasses(TWindowSystem& ws, TProcessId process);

// The click guard and the field rule (click_guard.cpp).
// A drop-down list or pop-up menu of the target's that the job's own last click opened, as
// its thread showed it after taking that click: the next click may land on it.
struct TOpened {
  std::uint32_t Thread = 0;  // 0: nothing opened
  TWindow List = 0;          // a top-level window of the thread that the click showed
  bool Menu = false;         // a menu loop the click started: its menu windows count
};
// What the clicked window's thread showed just before a click.
struct TBefore {
  std::uint32_t Thread = 0;
  std::vector<TWindow> Shown;  // its visible top-level windows
  TWindow Focus = 0;
  bool Menu = false;  // a menu was up: the click picks from it
};
TBefore ReadBefore(TWindowSystem& ws, std::uint32_t thread);
// What a click left behind: the window it landed on, what the thread showed before it and
// what it opened.
struct TClicked {
  TWindow Under = 0;
  TBefore Before;
  TOpened Opened;
};
// The window at a point, `under`, is the one meant or a control inside it, of the target's
// process, or the list or menu that the last click opened: what a click there would be
// allowed to reach. With TWindowFacts: the window as it was at a press.
bool IsOnMeantWindow(TWindowSystem& ws, const TTarget& target, TWindow meant, TWindow under,
                     const TOpened& opened = {});
bool IsOnMeantWindow(TWindowSystem& ws, const TTarget& target, TWindow meant, const TWindowFacts& pressed,
                     const TOpened& opened);
// Whether the click on `clicked.Under` was handled by its thread, given
// what it showed before: false while a window that was there holds the mouse (the click's
// button-up is queued), a menu it picked from is still up, or the thread moves or sizes a
// window; once true, `clicked.Opened` is what the click brought up.
bool ClickHandled(TWindowSystem& ws, TClicked& clicked);
// Clicks `window` at `offset` from its corner, taken from its rectangle at the time, once
// the target has taken the click; then pauses. `clicked`: on entry what the last click
// opened, on return what this one landed on and opened. False, traced, when it was not
// clicked.
bool ClickTarget(const TRun& run, const TTarget& target, TWindow window, TPoint offset,
                 std::uint32_t pauseMs, const std::string& what, TClicked& clicked);
// The focus `focus` is the one the click gave: on the window clicked, or moved by the click
// (from `before`) into a control inside it, as a frame hands it to its edit.
bool FocusGiven(TWindowSystem& ws, TWindow clicked, TWindow before, TWindow focus);
// True when the click gave the focus (FocusGiven) within ScreenFocusMs times patience;
// `focus`: where the focus is then (0: nowhere, or the thread is gone).
bool WaitForFocusIn(const TRun& run, const TClicked& clicked, TWindow& focus);
// The window that would get the number must be a control of the target's own process
// inside the lookup that this screen's F8 gave. Never another program's window covering
// the dialog or merely titled like it, nor an older lookup of the same title, nor the
// target's window behind a dialog that moved or closed.
enum class TField { Field, NotTheTargets, TopLevel, OutsideTheLookup };

TField CheckField(TWindowSystem& ws, const TTarget& target, TWindow field, TWindow lookup);
// The focus in the field's thread once the click gave it to the field (FocusGiven, from
// `before`), or after FocusTests times patience tests; 0 when the thread is gone.
TWindow FocusAfterClick(const TRun& run, TWindow field, TWindow before);
// Why the window at the field's point was refused, for the trace.
std::string FieldRefusal(TWindowSystem& ws, const TTarget& target, TWindow field, TField check);

// The screens (lookup.cpp).
TFailure LookUpScreen(const TRun& run, const TJob& job, const TTarget& target,
                      bool singleScreen);
// Its steps, for pelmora-check, which does what the job does up to the typing.
// Finds the screen of job.ScreenCode, opening it by the menu when it is not open yet.
TFailure FindOrOpenScreen(const TRun& run, const TJob& job, const TTarget& target,
                          const TScreenEntry& row, bool singleScreen, TWindow& screen);
// Clicks the screen at `offset` and waits for the control there to take the focus
// (`focused`); false, traced, when it was not clicked.
bool ClickScreen(const TRun& run, const TTarget& target, TWindow screen, TOffset offset,
                 const std::string& code, bool& focused);
// Posts F8 to the screen and finds the lookup that F8 opened or brought forward; 0: none.
TWindow OpenOwnLookup(const TRun& run, const TTarget& target, TWindow screen,
                      const TScreenEntry& row, const std::string& code);

// One job at a time (current_window.cpp): runs `work` under the session's job lock, its
// end published as a job's naming `screens` screens would be, `screenExtraMs` later a
// screen for the run's own waits. `work` is told whether the lock was acquired or another
// job held it past its published end, and is given the call that publishes the end again
// from the screens still ahead, made before each screen as the job makes it, false when a
// job that went on past this end overtook it. Not run when the program was closed while it
// waited. Given no lock, `work` must not go on: nothing was published for it.
using TPublishEnd = std::function<bool(std::size_t screensLeft)>;
void RunUnderJobLock(const TRun& run, std::size_t screens, std::uint32_t screenExtraMs,
                     const std::function<void(TWaitResult, const TPublishEnd&)>& work);

}  // namespace pelmora
