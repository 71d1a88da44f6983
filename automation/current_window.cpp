#include "automation/current_window.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "automation/messages.h"
#include "automation/screen_table.h"
#include "automation/trace.h"

namespace pelmora {
namespace {

const char* const MainWindowClass = "Hanbai15Main";
const char* const MdiClientClass = "MDIClient";

// Start-up limits.
constexpr int StartSearches = 75;
constexpr std::uint32_t StartSearchPauseMs = 200;
constexpr std::uint32_t InputIdleTimeoutMs = 15000;
constexpr std::uint32_t RestorePauseMs = 100;
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
// Lookups of one title looked at in one search: past this many the window list is taken
// to be changing under the search.
constexpr int LookupsPerSearch = 64;
constexpr std::uint32_t TypedPauseMs = 200;

// One job at a time per logon session: two jobs' keys and characters would interleave.
const char* const JobMutexName = "Local\\PelmoraJob";
// The longest a job naming each known screen once can take by the limits above, each count
// taken `patience` times: the bound of the wait for another program's job.
constexpr std::uint32_t OtherJobWaitMs(std::uint32_t patience) {
  const std::uint32_t visibleWaitMs = (VisibleTests * patience - 1) * VisiblePauseMs;
  const std::uint32_t startUpMaxMs = SessionTests * patience * SessionPauseMs +
                                     StartSearches * patience * StartSearchPauseMs +
                                     visibleWaitMs + InputIdleTimeoutMs * patience +
                                     RestorePauseMs;
  const std::uint32_t screenMaxMs =
      2 * MenuKeyPauseMs + ScreenSearches * patience * ScreenSearchPauseMs + visibleWaitMs +
      ActivatePauseMs + ScreenClickPauseMs + LookupSearches * patience * LookupSearchPauseMs +
      visibleWaitMs + 3 * LookupClickPauseMs + TypedPauseMs;
  return startUpMaxMs + 3 * screenMaxMs;
}

using TFailure = std::optional<std::string>;

std::string NotStarted(const std::string& detail) { return msg::NotStarted + detail; }

// What a run carries besides the window system: its trace and the patience factor, which
// multiplies every count of searches and tests and the idle time-out, never a pause.
struct TRun {
  TWindowSystem& Ws;
  TTrace& Trace;
  int Patience;
  int Times(int count) const { return count * Patience; }
  // Traces the line `text` builds; with the trace off nothing is built and nothing asked.
  template <class Text>
  void Say(Text text) const {
    if (Trace.On()) Trace.Line(text());
  }
  // The tick count for timing a wait, read only when tracing.
  std::uint32_t Tick() const { return Trace.On() ? Ws.GetTickCount() : 0; }
};

std::string FoundOr(TWindowSystem& ws, TWindow window, const char* none) {
  return window ? "found " + DescribeWindow(ws, window) : std::string(none);
}

std::string Searches(int made, int limit) {
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
    ws.Sleep(pauseMs);
  }
  return window;
}

// Tests visibility until it holds or the run's count of tests is spent; traced as `what`.
bool WaitVisible(const TRun& run, TWindow window, const std::string& what) {
  const int limit = run.Times(VisibleTests);
  int tests = 1;
  for (; !run.Ws.IsWindowVisible(window); ++tests) {
    if (tests == limit) {
      run.Say([&] { return what + " not visible after " + Decimal(tests) + " tests"; });
      return false;
    }
    run.Ws.Sleep(VisiblePauseMs);
  }
  run.Say([&] {
    return what + " visible after " + Decimal(tests) + (tests == 1 ? " test" : " tests") +
           " (limit " + Decimal(limit) + ")";
  });
  return true;
}

void PostKey(TWindowSystem& ws, TWindow window, std::uintptr_t key) {
  ws.PostMessageA(window, wm::KeyDown, key, 0);
  ws.PostMessageA(window, wm::KeyUp, key, 0);
}

struct TTarget {
  TWindow Main = 0;
  TWindow MdiClient = 0;
  TProcessId Process = 0;
};

std::string NotTheTargets(TWindowSystem& ws, const TTarget& target, TWindow window) {
  if (window == 0) return "no window there";
  return DescribeWindow(ws, window) + " is not the target's (pid=" + Decimal(target.Process) + ")";
}

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

// The window that would get the number must be a control inside a top-level lookup window
// of the target's own process. Never another program's window covering the dialog or
// merely titled like it, nor the target's window behind a dialog that moved or closed.
// An older lookup of the same title may have been found by the search: the one lying at
// the point is the one that counts.
enum class TField { Field, NotTheTargets, TopLevel, OutsideTheLookup };

TField CheckField(TWindowSystem& ws, const TTarget& target, TWindow field, const char* lookupTitle) {
  if (field == 0 || ws.GetWindowThreadProcessId(field) != target.Process) return TField::NotTheTargets;
  const TWindow root = ws.GetAncestor(field);
  if (root == field) return TField::TopLevel;
  return root != 0 && ws.GetWindowThreadProcessId(root) == target.Process &&
                 ws.GetWindowTextA(root) == lookupTitle
             ? TField::Field
             : TField::OutsideTheLookup;
}

// Why the window at the field's point was refused, for the trace.
std::string FieldRefusal(TWindowSystem& ws, const TTarget& target, TWindow field, TField check) {
  if (check == TField::NotTheTargets) return NotTheTargets(ws, target, field);
  if (check == TField::TopLevel) return DescribeWindow(ws, field) + " is a top-level window, not a field";
  return DescribeWindow(ws, field) + " lies in " + DescribeWindow(ws, ws.GetAncestor(field)) +
         ", not in the target's lookup";
}

std::string MdiClientLine(TWindowSystem& ws, TWindow mdiClient, bool menu) {
  if (mdiClient == 0) return "search MDIClient: not found";
  return "search MDIClient: found " + DescribeWindow(ws, mdiClient) +
         (menu ? "; menu bar present" : "; no menu bar");
}

// Finds the target's main window, starting the target when it is not running.
TFailure FindOrStartMain(const TRun& run, const TJob& job, TTarget& target) {
  TWindowSystem& ws = run.Ws;
  auto findMain = [&] { return ws.FindWindowExA(0, MainWindowClass, nullptr); };
  target.Main = findMain();
  run.Say([&] {
    return std::string("search main window class=") + MainWindowClass + ": " +
           FoundOr(ws, target.Main, "not running");
  });
  if (target.Main != 0) return std::nullopt;
  if (!ws.FileExists(job.InstallPath)) {
    run.Say([&] { return "refused start: no such file " + Quoted(job.InstallPath); });
    return std::string(msg::PathInvalid);
  }
  run.Say([&] { return "start target " + Quoted(job.InstallPath); });
  ws.ShellExecuteA(job.InstallPath);
  int made = 0;
  target.Main = Poll(ws, run.Times(StartSearches), StartSearchPauseMs, findMain, made);
  run.Say([&] {
    return std::string("search main window class=") + MainWindowClass + ": " +
           FoundOr(ws, target.Main, "not found") + Searches(made, run.Times(StartSearches));
  });
  if (target.Main == 0) return std::string(msg::StartFailed);
  if (!WaitVisible(run, target.Main, "main window")) return NotStarted(msg::MainHidden);
  return std::nullopt;
}

// Why input would not reach the target now; empty while the session takes input.
std::string SessionUnusable(TWindowSystem& ws) {
  const std::string desktop = ws.GetInputDesktopName();
  if (desktop != InputDesktop) {
    return desktop.empty() ? "the input desktop cannot be opened"
                           : "the input desktop is " + Quoted(desktop);
  }
  TSessionInfo info;
  if (!ws.WTSQuerySessionInformationW(info)) return {};
  if (info.ConnectState == wts::Disconnected) return "the session is disconnected";
  // Windows 7 reports the lock flag reversed.
  const TOsVersion version = ws.RtlGetVersion();
  const bool windows7 = version.Major == 6 && version.Minor == 1;
  return info.SessionFlags == (windows7 ? wts::SessionUnlock : wts::SessionLock)
             ? "the session is locked"
             : "";
}

enum class TSession { TakesInput, StaysLocked, Closed };

// Waits, touching nothing and keeping this program's window answering, until the session
// takes input: the person who took the call unlocks the PC and sees the record come up.
TSession WaitForSession(const TRun& run) {
  TWindowSystem& ws = run.Ws;
  std::string why = SessionUnusable(ws);
  if (why.empty()) return TSession::TakesInput;
  const int limit = run.Times(SessionTests);
  run.Say([&] {
    return "session: " + why + "; waiting for it to take input (limit " +
           Decimal(std::uint64_t{SessionPauseMs} * limit) + " ms)";
  });
  for (int tests = 1; tests <= limit; ++tests) {
    if (ws.MsgWaitForMultipleObjects(0, SessionPauseMs) == TWaitResult::Quit) {
      run.Say([] { return std::string("session: program closed while waiting, job dropped"); });
      return TSession::Closed;
    }
    why = SessionUnusable(ws);
    if (why.empty()) {
      run.Say([&] {
        return "session: takes input after " + Decimal(std::uint64_t{SessionPauseMs} * tests) + " ms";
      });
      return TSession::TakesInput;
    }
  }
  run.Say([&] { return "session: " + why + " still, nothing typed"; });
  return TSession::StaysLocked;
}

// The foreground belongs to the target when the window in front is one of its process's:
// its main window, or a popup of it (a window owning a visible popup cannot be in front).
bool TargetInFront(TWindowSystem& ws, const TTarget& target) {
  const TWindow front = ws.GetForegroundWindow();
  return front != 0 && ws.GetWindowThreadProcessId(front) == target.Process;
}

// This thread's input shared with the foreground's and the target's threads for the
// object's lifetime: whatever path leaves the scope, every attachment made is undone.
class TAttachedInput {
 public:
  TAttachedInput(TWindowSystem& ws, std::uint32_t front, std::uint32_t target)
      : ws_(ws), own_(ws.GetCurrentThreadId()), threads_{front, target != front ? target : 0} {
    for (std::uint32_t& thread : threads_) {
      if (thread == own_ || (thread != 0 && !ws_.AttachThreadInput(own_, thread, true))) thread = 0;
    }
  }
  ~TAttachedInput() {
    for (int i = 1; i >= 0; --i) {
      if (threads_[i] != 0) ws_.AttachThreadInput(own_, threads_[i], false);
    }
  }
  TAttachedInput(const TAttachedInput&) = delete;
  TAttachedInput& operator=(const TAttachedInput&) = delete;
  TAttachedInput(TAttachedInput&&) = delete;
  TAttachedInput& operator=(TAttachedInput&&) = delete;

 private:
  TWindowSystem& ws_;
  std::uint32_t own_;
  std::uint32_t threads_[2];  // attached, or 0
};

// Brings the target to the top and in front with this thread's input shared with the
// foreground's and the target's threads, detached again before it returns.
void SetForegroundAttached(TWindowSystem& ws, const TTarget& target, TWindow front) {
  const TAttachedInput attached(ws, front != 0 ? ws.GetWindowThreadId(front) : 0,
                                ws.GetWindowThreadId(target.Main));
  ws.BringWindowToTop(target.Main);
  ws.SetForegroundWindow(target.Main);
}

// Windows refuses the foreground to a program that is not in front and did not receive the
// last input event, as when the host reacts to a call while the user works elsewhere; the
// target then stays behind and its clicks are refused. Each step is checked; if none works
// the job goes on and the click guard refuses whatever would land elsewhere. Never an Alt
// key (it opens menus and cancels one the user holds), never a system setting changed.
void BringTargetToFront(const TRun& run, const TTarget& target) {
  TWindowSystem& ws = run.Ws;
  if (TargetInFront(ws, target)) {
    run.Say([] { return std::string("foreground: the target's"); });
    return;
  }
  const TWindow front = ws.GetForegroundWindow();
  const char* outcome = nullptr;
  // An empty mouse event makes this program the one that received the last input event.
  ws.SendInput({TMouseInput{}});
  ws.SetForegroundWindow(target.Main);
  if (TargetInFront(ws, target)) {
    outcome = "the target's after an empty mouse input";
  } else if (front != 0 && ws.IsHungAppWindow(front)) {
    // Sharing the input of a thread that answers nothing would stall this program with it.
    outcome = "not responding, input not attached; the target stays behind";
  } else {
    SetForegroundAttached(ws, target, front);
    outcome = TargetInFront(ws, target) ? "the target's after attaching input"
                                        : "no step brought the target in front; going on";
  }
  run.Say([&] { return "foreground: " + DescribeWindow(ws, front) + " in front; " + outcome; });
}

// Finds or starts the target and readies it; sets the job's aspect ratio.
TFailure StartTarget(const TRun& run, TJob& job, TTarget& target) {
  TWindowSystem& ws = run.Ws;
  if (TFailure failure = FindOrStartMain(run, job, target)) return failure;
  // Windows drops posted input and clicks aimed at a process of higher integrity: the job
  // would silently do nothing.
  target.Process = ws.GetWindowThreadProcessId(target.Main);
  const std::int32_t targetLevel = ws.GetTokenIntegrityLevel(target.Process);
  const std::int32_t ownLevel = ws.GetTokenIntegrityLevel(0);
  if (targetLevel >= 0 && ownLevel >= 0 && targetLevel > ownLevel) {
    run.Say([&] {
      return "refused: target integrity level " + Decimal(targetLevel) +
             " is above this program's " + Decimal(ownLevel);
    });
    return std::string(msg::HigherRights);
  }
  // A target that never gets idle costs the time-out and is then taken as idle.
  const std::uint32_t idleLimitMs = InputIdleTimeoutMs * run.Patience;
  const std::uint32_t idleStart = run.Tick();
  ws.WaitForInputIdle(target.Process, idleLimitMs);
  run.Say([&] {
    return "input idle wait pid=" + Decimal(target.Process) + ": " +
           Decimal(ws.GetTickCount() - idleStart) + " ms (limit " + Decimal(idleLimitMs) + " ms)";
  });
  ws.SetForegroundWindow(target.Main);
  ws.SendMessageA(target.Main, wm::SysCommand, ScRestore, 0);
  ws.Sleep(RestorePauseMs);
  BringTargetToFront(run, target);

  // The monitor holding the target lays out its screens, not necessarily the primary one.
  // One that cannot be read stays 0x0: the narrow class, as an unreadable display gave.
  TRect monitor;
  std::string device;
  ws.GetMonitorInfoA(ws.MonitorFromWindow(target.Main), monitor, device);
  const int width = monitor.Right - monitor.Left;
  const int height = monitor.Bottom - monitor.Top;
  job.AspectRatio = height > 0 ? static_cast<double>(width) / height : 0.0;
  run.Say([&] {
    static const char* const ClassNames[] = {"narrow", "middle", "wide"};
    return "monitor " + Quoted(device) + " " + Decimal(width) + "x" + Decimal(height) + " at " +
           Point({monitor.Left, monitor.Top}) + " ratio " + Thousandths(job.AspectRatio) +
           " aspect class " + ClassNames[AspectClassOf(job.AspectRatio)];
  });

  target.MdiClient = ws.FindWindowExA(target.Main, MdiClientClass, nullptr);
  const bool menu = target.MdiClient != 0 && ws.GetMenu(target.Main);
  run.Say([&] { return MdiClientLine(ws, target.MdiClient, menu); });
  if (target.MdiClient == 0) return NotStarted(msg::NoMdiClient);
  if (!menu) return NotStarted(msg::NoMenu);
  return std::nullopt;
}

TWindow FindScreenWindow(TWindowSystem& ws, TWindow mdiClient, const TScreenEntry& row) {
  for (const char* title : row.WindowTitles) {
    if (TWindow window = ws.FindWindowExA(mdiClient, nullptr, title)) return window;
  }
  return 0;
}

std::string ScreenLine(TWindowSystem& ws, const std::string& code, const TScreenEntry& row,
                       TWindow screen, const std::string& how) {
  std::string titles;
  for (const char* title : row.WindowTitles) {
    titles += (titles.empty() ? "" : " or ") + Quoted(title);
  }
  return "screen " + code + ": search " + titles + ": " + FoundOr(ws, screen, "not found") + how;
}

// Finds the screen, opening it by the menu when it is not open yet.
TFailure FindOrOpenScreen(const TRun& run, const TJob& job, const TTarget& target,
                          const TScreenEntry& row, bool singleScreen, TWindow& screen) {
  TWindowSystem& ws = run.Ws;
  const std::string& code = job.ScreenCode;
  screen = FindScreenWindow(ws, target.MdiClient, row);
  run.Say([&] {
    return ScreenLine(ws, code, row, screen, screen ? "" : "; opening it by the menu");
  });
  if (screen != 0) return std::nullopt;
  PostKey(ws, target.Main, vk::F10);
  ws.Sleep(MenuKeyPauseMs);
  // Key-downs only: the menu acts on them.
  ws.PostMessageA(target.Main, wm::KeyDown, row.MenuKeys[0], 0);
  ws.Sleep(MenuKeyPauseMs);
  ws.PostMessageA(target.Main, wm::KeyDown, row.MenuKeys[1], 0);
  int made = 0;
  screen = Poll(ws, run.Times(ScreenSearches), ScreenSearchPauseMs,
                [&] { return FindScreenWindow(ws, target.MdiClient, row); }, made);
  run.Say([&] { return ScreenLine(ws, code, row, screen, Searches(made, run.Times(ScreenSearches))); });
  if (screen == 0) return NotStarted(msg::NoChild);
  if (singleScreen && !WaitVisible(run, screen, "screen " + code)) {
    return NotStarted(msg::ChildHidden);
  }
  return std::nullopt;
}

// Every top-level window titled `title`, in z-order, until `take` accepts one.
template <class Take>
TWindow FirstTitled(TWindowSystem& ws, const char* title, Take take) {
  TWindow window = 0;
  for (int n = 0; n < LookupsPerSearch; ++n) {
    window = ws.FindWindowExA(0, window, nullptr, title);
    if (window == 0 || take(window)) return window;
  }
  return 0;
}

// Lookups of earlier screens or calls may stay open with the same title, and a search
// right after F8 finds one of them before the target has handled the key: when the new
// one comes late or elsewhere, the number would go into the older one. So the target's
// lookups shown before F8 and the foreground window then are noted, and afterwards only
// a lookup of the target that was not shown then, or has since come to the foreground,
// is taken.
class TOwnLookup {
 public:
  enum THow { None, New, ShownAgain, BroughtForward, Older };

  // Notes the lookups; made before F8 is posted.
  TOwnLookup(TWindowSystem& ws, const TTarget& target, const char* title)
      : ws_(ws), target_(target), title_(title), foregroundBefore_(ws.GetForegroundWindow()) {
    FirstTitled(ws_, title_, [this](TWindow window) {
      if (ws_.GetWindowThreadProcessId(window) == target_.Process) {
        before_.push_back({window, ws_.IsWindowVisible(window)});
      }
      return false;
    });
  }

  // One search: the lookup this F8 opened or brought forward, or 0.
  TWindow Search() {
    first_ = 0;
    return FirstTitled(ws_, title_, [this](TWindow window) {
      if (first_ == 0) first_ = window;
      how_ = Judge(window);
      return how_ != None;
    });
  }

  // When the searches ran out: the first window of the title the last search found, an
  // older lookup most likely, as a target may show its one lookup again without
  // activating it. The field check still refuses one that is not the target's.
  TWindow LastResort() {
    how_ = first_ != 0 ? Older : None;
    return first_;
  }

  THow How() const { return how_; }

  // What was noted, for the trace.
  std::string Noted() const {
    const auto shown =
        std::count_if(before_.begin(), before_.end(), [](const TNoted& n) { return n.Shown; });
    return Decimal(before_.size()) + " open, " + Decimal(static_cast<std::uint64_t>(shown)) +
           " shown; foreground " + DescribeWindow(ws_, foregroundBefore_);
  }

 private:
  struct TNoted {
    TWindow Window;
    bool Shown;
  };

  THow Judge(TWindow window) {
    if (ws_.GetWindowThreadProcessId(window) != target_.Process) return None;
    const auto noted = std::find_if(before_.begin(), before_.end(),
                                    [&](const TNoted& n) { return n.Window == window; });
    if (noted == before_.end()) return New;
    if (!noted->Shown) return ws_.IsWindowVisible(window) ? ShownAgain : None;
    return window != foregroundBefore_ && ws_.GetForegroundWindow() == window ? BroughtForward
                                                                             : None;
  }

  TWindowSystem& ws_;
  const TTarget& target_;
  const char* title_;
  TWindow foregroundBefore_;
  std::vector<TNoted> before_;
  TWindow first_ = 0;
  THow how_ = None;
};

// Opens the screen's lookup with F8 and finds the one that F8 opened or brought forward,
// searching as long and as often as for any lookup.
TWindow OpenOwnLookup(const TRun& run, const TTarget& target, TWindow screen,
                      const TScreenEntry& row, const std::string& code) {
  TWindowSystem& ws = run.Ws;
  TOwnLookup lookups(ws, target, row.LookupTitle);
  run.Say([&] {
    return "screen " + code + ": lookups " + Quoted(row.LookupTitle) + " before F8: " + lookups.Noted();
  });
  PostKey(ws, screen, vk::F8);
  int made = 0;
  TWindow dialog = Poll(ws, run.Times(LookupSearches), LookupSearchPauseMs,
                        [&] { return lookups.Search(); }, made);
  if (dialog == 0) dialog = lookups.LastResort();
  run.Say([&] {
    static const char* const Hows[] = {"", "; new since F8", "; shown again by F8",
                                       "; brought forward by F8",
                                       "; none opened by F8: an older one, as a last resort"};
    return "screen " + code + ": search lookup " + Quoted(row.LookupTitle) + ": " +
           FoundOr(ws, dialog, "not found") + Searches(made, run.Times(LookupSearches)) +
           Hows[lookups.How()];
  });
  return dialog;
}

// Opens one screen's lookup dialog and types the phone number into its search field.
TFailure LookUpScreen(const TRun& run, const TJob& job, const TTarget& target,
                      bool singleScreen) {
  TWindowSystem& ws = run.Ws;
  const TScreenEntry* row = FindScreen(job.ScreenCode);
  if (row == nullptr) {
    run.Say([&] { return "refused screen code " + Quoted(job.ScreenCode) + ": unknown"; });
    return std::string(msg::ArgumentPrefix) + msg::NameScreenCode + msg::ArgumentInvalid;
  }
  const std::string lookupFailure = std::string(msg::NotStarted) + row->LookupTitle;
  const std::string& code = job.ScreenCode;

  TWindow screen = 0;
  if (TFailure failure = FindOrOpenScreen(run, job, target, *row, singleScreen, screen)) {
    return failure;
  }

  ws.PostMessageA(target.MdiClient, wm::MdiActivate, screen, 0);
  ws.Sleep(ActivatePauseMs);

  // A window that has gone gives no rectangle: clicking at offsets from nothing would
  // click into whatever program lies near the display's corner.
  TRect screenRect;
  if (!ws.GetWindowRect(screen, screenRect)) {
    run.Say([&] { return "screen " + code + ": gone before its click"; });
    return NotStarted(msg::NoChild);
  }
  const TOffset offset = row->ClickOffset[AspectClassOf(job.AspectRatio)];
  if (!ClickTarget(run, target, {screenRect.Left + offset.X, screenRect.Top + offset.Y},
                   ScreenClickPauseMs, "screen " + code)) {
    return NotStarted(msg::NoChild);
  }

  const TWindow dialog = OpenOwnLookup(run, target, screen, *row, code);
  if (dialog == 0) return lookupFailure + msg::NoLookup;
  if (singleScreen && !WaitVisible(run, dialog, "screen " + code + " lookup")) {
    return lookupFailure + msg::LookupHidden;
  }

  TRect dialogRect;
  if (!ws.GetWindowRect(dialog, dialogRect)) {
    run.Say([&] { return "screen " + code + ": lookup gone before its clicks"; });
    return lookupFailure + msg::NoLookup;
  }
  int clicked = 0;
  for (const TOffset& point : LookupClickPoints) {
    if (!ClickTarget(run, target, {dialogRect.Left + point.X, dialogRect.Top + point.Y},
                     LookupClickPauseMs, "lookup " + Decimal(++clicked) + " of 3")) {
      return lookupFailure + msg::NoSearchField;
    }
  }

  const TOffset fieldPoint = LookupClickPoints.back();
  const TPoint fieldAt{dialogRect.Left + fieldPoint.X, dialogRect.Top + fieldPoint.Y};
  const TWindow field = ws.WindowFromPoint(fieldAt);
  const TField check = CheckField(ws, target, field, row->LookupTitle);
  if (check != TField::Field) {
    run.Say([&] {
      return "refused field at " + Point(fieldAt) + ": " + FieldRefusal(ws, target, field, check);
    });
    return lookupFailure + msg::NoSearchField;
  }

  // The field may still hold text (a reused lookup keeps the last number): replace it.
  ws.PostMessageA(field, wm::EmSetSel, 0, -1);
  for (const char c : job.PhoneNumber) {
    ws.PostMessageA(field, wm::Char, static_cast<unsigned char>(c), 0);
  }
  ws.PostMessageA(field, wm::KeyDown, vk::Return, 0);
  run.Say([&] {
    return "screen " + code + ": typed " + Quoted(MaskNumber(job.PhoneNumber)) +
           " and Enter into " + DescribeWindow(ws, field);
  });
  ws.Sleep(TypedPauseMs);
  return std::nullopt;
}

// Holds the session's job mutex for its lifetime, an error raised by the job included.
// Another program's job goes first; past the bound this one goes on regardless, as a job
// left hanging must not block every later call.
class TJobLock {
 public:
  explicit TJobLock(const TRun& run) : ws_(run.Ws), mutex_(ws_.CreateMutexA(JobMutexName)) {
    if (mutex_ == 0) {
      run.Say([] { return std::string("wait for another job: no lock to be had, going on"); });
      return;
    }
    const std::uint32_t limitMs = OtherJobWaitMs(static_cast<std::uint32_t>(run.Patience));
    const std::uint32_t start = run.Tick();
    wait_ = ws_.MsgWaitForMultipleObjects(mutex_, limitMs);
    run.Say([&] {
      static const char* const Outcomes[] = {"acquired", "timed out, going on regardless",
                                             "program closed while waiting, job dropped"};
      return "wait for another job: " + Decimal(ws_.GetTickCount() - start) + " ms (limit " +
             Decimal(limitMs) + " ms), " + Outcomes[static_cast<int>(wait_)];
    });
  }
  ~TJobLock() {
    if (mutex_ == 0) return;
    if (wait_ == TWaitResult::Acquired) ws_.ReleaseMutex(mutex_);
    ws_.CloseHandle(mutex_);
  }
  TJobLock(const TJobLock&) = delete;
  TJobLock& operator=(const TJobLock&) = delete;
  TJobLock(TJobLock&&) = delete;
  TJobLock& operator=(TJobLock&&) = delete;
  // The program was closed while it waited: the job is not wanted any more.
  bool Quit() const { return wait_ == TWaitResult::Quit; }

 private:
  TWindowSystem& ws_;
  THandle mutex_;
  TWaitResult wait_ = TWaitResult::TimedOut;
};

// The job proper; its failure, if one is to be shown.
TFailure RunJob(const TRun& run, TJob& job) {
  // Before the start-up touches the target.
  const TSession session = WaitForSession(run);
  if (session == TSession::Closed) return std::nullopt;
  if (session == TSession::StaysLocked) return std::string(msg::ScreenLocked);
  TTarget target;
  if (TFailure failure = StartTarget(run, job, target)) return failure;
  // The job kind is fixed by the item count alone, empty items included.
  const bool singleScreen = job.ScreenCodes.size() == 1;
  std::size_t typed = 0;
  std::string passedOver;
  for (const std::string& code : job.ScreenCodes) {
    job.ScreenCode = code;
    TFailure failure = LookUpScreen(run, job, target, singleScreen);
    if (failure && singleScreen) return failure;
    if (!failure) {
      ++typed;
      continue;
    }
    run.Say([&] {
      return "screen " + Quoted(code) + ": failure passed over silently: " + Quoted(*failure);
    });
    passedOver += " " + Quoted(code);
  }
  run.Say([&] {
    return "outcome: number typed into " + Decimal(typed) + " of " +
           Decimal(job.ScreenCodes.size()) + " screens" +
           (passedOver.empty() ? "" : "; passed over:" + passedOver);
  });
  return std::nullopt;
}

}  // namespace

void GetCurrentWindow(TWindowSystem& ws, TJob& job, const TJobOptions& options) {
  TTrace off;
  const TRun run{ws, options.Trace != nullptr ? *options.Trace : off,
                 options.Patience < 1 ? 1 : options.Patience};
  TFailure failure;
  {
    TJobLock lock(run);
    if (lock.Quit()) return;
    failure = RunJob(run, job);
  }
  // Released first: the next job need not wait for the user to answer this one's message.
  if (failure) {
    run.Say([&] { return "failure message shown: " + Quoted(*failure); });
    run.Say([] { return std::string("outcome: failed"); });
    ws.ShowErrorBox(*failure);
  }
}

}  // namespace pelmora
