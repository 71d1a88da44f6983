// The start-up phase: find or start the target, its rights and idle wait, the session
// that must take input, the foreground, the monitor, and the MDI client and menu checks.
#include "automation/run.h"
#include "automation/screen_table.h"

namespace pelmora {
namespace {

const char* const MdiClientClass = "MDIClient";

std::string MdiClientLine(TWindowSystem& ws, TWindow mdiClient, bool menu) {
  if (mdiClient == 0) return "search MDIClient: not found";
  return "search MDIClient: found " + DescribeWindow(ws, mdiClient) +
         (menu ? "; menu bar present" : "; no menu bar");
}

// Finds the target's main window, starting the target when it is not running.
TFailure FindOrStartMain(const TRun& run, const TJob& job, TTarget& target, bool startElevated) {
  TWindowSystem& ws = run.Ws;
  const char* const MainWindowClass = run.Table.MainWindowClass.c_str();
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
  // A target still at its login or splash window has no main window yet: another copy
  // would be started at every call. Another user's copy, in another session, never shows
  // its window here.
  const bool starting = ws.FindSessionProcessStartedFrom(job.InstallPath) != 0;
  run.Say([&] {
    return (starting ? "start target: already starting " : "start target ") + Quoted(job.InstallPath);
  });
  // Started by a program run as administrator, the target would stay elevated, and every
  // later job of the user's would be refused as of lower rights. With UAC off every program
  // runs so, and nothing would differ.
  if (!starting && !startElevated && ws.RunsElevated()) {
    run.Say([] { return std::string("refused start: this program runs elevated"); });
    return std::string(msg::StartNormallyFirst);
  }
  if (!starting) ws.ShellExecuteA(job.InstallPath);
  int made = 0;
  target.Main = Poll(ws, run.Times(StartSearches), StartSearchPauseMs, findMain, made);
  run.Say([&] {
    return std::string("search main window class=") + MainWindowClass + ": " +
           FoundOr(ws, target.Main, "not found") + Searches(made, run.Times(StartSearches));
  });
  if (target.Main == 0) {
    // Running from the path without a window of the class: most likely a new version.
    if (const TProcessId running = run.Trace.On() ? ws.FindSessionProcessStartedFrom(job.InstallPath) : 0) {
      run.Say([&] {
        return "target runs from " + Quoted(job.InstallPath) + " pid=" + Decimal(running) +
               " without a window of class " + MainWindowClass + "; its windows' classes: " +
               TopLevelClasses(ws, running) + " (the new class goes into [target] class=)";
      });
    }
    return std::string(msg::StartFailed);
  }
  if (!WaitVisible(run, target.Main, "main window")) return NotStarted(msg::MainHidden);
  return std::nullopt;
}

}  // namespace

std::string TopLevelClasses(TWindowSystem& ws, TProcessId process) {
  std::string classes;
  for (TWindow w = ws.FindWindowExA(0, 0, nullptr, nullptr); w != 0; w = ws.FindWindowExA(0, w, nullptr, nullptr)) {
    const std::string name = ws.GetClassNameA(w);
    if (ws.GetWindowThreadProcessId(w) != process || !ws.IsWindowVisible(w) ||
        ("," + classes + ",").find("," + name + ",") != std::string::npos) {
      continue;
    }
    classes += (classes.empty() ? "" : ",") + name;
  }
  return classes;
}

namespace {

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
  } else if ((front != 0 && ws.IsHungAppWindow(front)) || ws.IsHungAppWindow(target.Main)) {
    // Sharing the input of a thread that answers nothing, the one in front or the target's,
    // would stall this program with it.
    outcome = "not responding, input not attached; the target stays behind";
  } else {
    SetForegroundAttached(ws, target, front);
    outcome = TargetInFront(ws, target) ? "the target's after attaching input"
                                        : "no step brought the target in front; going on";
  }
  run.Say([&] { return "foreground: " + DescribeWindow(ws, front) + " in front; " + outcome; });
}

}  // namespace

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
    if (ws.WaitForLockOrQuit(0, SessionPauseMs) == TWaitResult::Quit) {
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

// Finds or starts the target and readies it; sets the job's aspect ratio.
TFailure StartTarget(const TRun& run, TJob& job, TTarget& target, bool startElevated) {
  TWindowSystem& ws = run.Ws;
  if (TFailure failure = FindOrStartMain(run, job, target, startElevated)) return failure;
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
  ws.WaitForProcessIdle(target.Process, idleLimitMs);
  run.Say([&] {
    return "input idle wait pid=" + Decimal(target.Process) + ": " +
           Decimal(ws.GetTickCount() - idleStart) + " ms (limit " + Decimal(idleLimitMs) + " ms)";
  });
  ws.SetForegroundWindow(target.Main);
  // The message traced says it: the restore was not answered in time.
  if (!ws.SendMessageTimeoutA(target.Main, wm::SysCommand, ScRestore, 0,
                              RestoreTimeoutMs * run.Patience)) {
    return std::string(msg::NotResponding);
  }
  ws.Pause(RestorePauseMs);
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

}  // namespace pelmora
