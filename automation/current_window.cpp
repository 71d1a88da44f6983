#include "automation/current_window.h"

#include <optional>

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

// One job at a time per logon session: two jobs' keys and characters would interleave.
const char* const JobMutexName = "Local\\PelmoraJob";
// The longest a job naming each known screen once can take by the limits above, each count
// taken `patience` times: the bound of the wait for another program's job.
constexpr std::uint32_t OtherJobWaitMs(std::uint32_t patience) {
  const std::uint32_t visibleWaitMs = (VisibleTests * patience - 1) * VisiblePauseMs;
  const std::uint32_t startUpMaxMs = StartSearches * patience * StartSearchPauseMs +
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

  PostKey(ws, screen, vk::F8);
  int made = 0;
  const TWindow dialog =
      Poll(ws, run.Times(LookupSearches), LookupSearchPauseMs,
           [&] { return ws.FindWindowExA(0, nullptr, row->LookupTitle); }, made);
  run.Say([&] {
    return "screen " + code + ": search lookup " + Quoted(row->LookupTitle) + ": " +
           FoundOr(ws, dialog, "not found") + Searches(made, run.Times(LookupSearches));
  });
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
