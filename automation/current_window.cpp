#include "automation/current_window.h"

#include <optional>

#include "automation/messages.h"
#include "automation/screen_table.h"

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
// The longest a job naming each known screen once can take by the limits above: the bound
// of the wait for another program's job.
constexpr std::uint32_t VisibleWaitMs = (VisibleTests - 1) * VisiblePauseMs;
constexpr std::uint32_t StartUpMaxMs =
    StartSearches * StartSearchPauseMs + VisibleWaitMs + InputIdleTimeoutMs + RestorePauseMs;
constexpr std::uint32_t ScreenMaxMs =
    2 * MenuKeyPauseMs + ScreenSearches * ScreenSearchPauseMs + VisibleWaitMs + ActivatePauseMs +
    ScreenClickPauseMs + LookupSearches * LookupSearchPauseMs + VisibleWaitMs +
    3 * LookupClickPauseMs + TypedPauseMs;
constexpr std::uint32_t OtherJobWaitMs = StartUpMaxMs + 3 * ScreenMaxMs;

using TFailure = std::optional<std::string>;

std::string NotStarted(const std::string& detail) { return msg::NotStarted + detail; }

// Searches until found or `searches` are made, pausing after every search.
template <class Find>
TWindow Poll(TWindowSystem& ws, int searches, std::uint32_t pauseMs, Find find) {
  TWindow window = 0;
  for (int n = 0; window == 0 && n < searches; ++n) {
    window = find();
    ws.Sleep(pauseMs);
  }
  return window;
}

bool WaitVisible(TWindowSystem& ws, TWindow window) {
  for (int failed = 0;;) {
    if (ws.IsWindowVisible(window)) return true;
    if (++failed == VisibleTests) return false;
    ws.Sleep(VisiblePauseMs);
  }
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

// A click is real input and reaches whatever lies at the point: only a window of the
// target's own process may get it, never a notification or another program in front.
bool ClickTarget(TWindowSystem& ws, const TTarget& target, TPoint point, std::uint32_t pauseMs) {
  const TWindow under = ws.WindowFromPoint(point);
  if (under == 0 || target.Process == 0 || ws.GetWindowThreadProcessId(under) != target.Process) {
    return false;
  }
  ClickAt(ws, point.X, point.Y, pauseMs);
  return true;
}

// The window that would get the number must be a control inside a top-level lookup window
// of the target's own process. Never another program's window covering the dialog or
// merely titled like it, nor the target's window behind a dialog that moved or closed.
// An older lookup of the same title may have been found by the search: the one lying at
// the point is the one that counts.
bool IsSearchField(TWindowSystem& ws, const TTarget& target, TWindow field,
                   const char* lookupTitle) {
  if (field == 0 || ws.GetWindowThreadProcessId(field) != target.Process) return false;
  const TWindow root = ws.GetAncestor(field);
  return root != 0 && root != field && ws.GetWindowThreadProcessId(root) == target.Process &&
         ws.GetWindowTextA(root) == lookupTitle;
}

// Finds or starts the target and readies it; sets the job's aspect ratio.
TFailure StartTarget(TWindowSystem& ws, TJob& job, TTarget& target) {
  auto findMain = [&] { return ws.FindWindowExA(0, MainWindowClass, nullptr); };
  target.Main = findMain();
  if (target.Main == 0) {
    if (!ws.FileExists(job.InstallPath)) return std::string(msg::PathInvalid);
    ws.ShellExecuteA(job.InstallPath);
    target.Main = Poll(ws, StartSearches, StartSearchPauseMs, findMain);
    if (target.Main == 0) return std::string(msg::StartFailed);
    if (!WaitVisible(ws, target.Main)) return NotStarted(msg::MainHidden);
  }
  // A target that never gets idle costs the time-out and is then taken as idle.
  // Windows drops posted input and clicks aimed at a process of higher integrity: the job
  // would silently do nothing.
  target.Process = ws.GetWindowThreadProcessId(target.Main);
  const std::int32_t targetLevel = ws.GetTokenIntegrityLevel(target.Process);
  const std::int32_t ownLevel = ws.GetTokenIntegrityLevel(0);
  if (targetLevel >= 0 && ownLevel >= 0 && targetLevel > ownLevel) {
    return std::string(msg::HigherRights);
  }
  ws.WaitForInputIdle(target.Process, InputIdleTimeoutMs);
  ws.SetForegroundWindow(target.Main);
  ws.SendMessageA(target.Main, wm::SysCommand, ScRestore, 0);
  ws.Sleep(RestorePauseMs);

  const int width = ws.GetDeviceCaps(HorzRes);
  const int height = ws.GetDeviceCaps(VertRes);
  job.AspectRatio = height > 0 ? static_cast<double>(width) / height : 0.0;

  target.MdiClient = ws.FindWindowExA(target.Main, MdiClientClass, nullptr);
  if (target.MdiClient == 0) return NotStarted(msg::NoMdiClient);
  if (!ws.GetMenu(target.Main)) return NotStarted(msg::NoMenu);
  return std::nullopt;
}

TWindow FindScreenWindow(TWindowSystem& ws, TWindow mdiClient, const TScreenEntry& row) {
  for (const char* title : row.WindowTitles) {
    if (TWindow window = ws.FindWindowExA(mdiClient, nullptr, title)) return window;
  }
  return 0;
}

// Opens one screen's lookup dialog and types the phone number into its search field.
TFailure LookUpScreen(TWindowSystem& ws, const TJob& job, const TTarget& target,
                      bool singleScreen) {
  const TScreenEntry* row = FindScreen(job.ScreenCode);
  if (row == nullptr) {
    return std::string(msg::ArgumentPrefix) + msg::NameScreenCode + msg::ArgumentInvalid;
  }
  const std::string lookupFailure = std::string(msg::NotStarted) + row->LookupTitle;

  TWindow screen = FindScreenWindow(ws, target.MdiClient, *row);
  if (screen == 0) {
    PostKey(ws, target.Main, vk::F10);
    ws.Sleep(MenuKeyPauseMs);
    // Key-downs only: the menu acts on them.
    ws.PostMessageA(target.Main, wm::KeyDown, row->MenuKeys[0], 0);
    ws.Sleep(MenuKeyPauseMs);
    ws.PostMessageA(target.Main, wm::KeyDown, row->MenuKeys[1], 0);
    screen = Poll(ws, ScreenSearches, ScreenSearchPauseMs,
                  [&] { return FindScreenWindow(ws, target.MdiClient, *row); });
    if (screen == 0) return NotStarted(msg::NoChild);
    if (singleScreen && !WaitVisible(ws, screen)) return NotStarted(msg::ChildHidden);
  }

  ws.PostMessageA(target.MdiClient, wm::MdiActivate, screen, 0);
  ws.Sleep(ActivatePauseMs);

  // A window that has gone gives no rectangle: clicking at offsets from nothing would
  // click into whatever program lies near the display's corner.
  TRect screenRect;
  if (!ws.GetWindowRect(screen, screenRect)) return NotStarted(msg::NoChild);
  const TOffset offset = row->ClickOffset[AspectClassOf(job.AspectRatio)];
  if (!ClickTarget(ws, target, {screenRect.Left + offset.X, screenRect.Top + offset.Y},
                   ScreenClickPauseMs)) {
    return NotStarted(msg::NoChild);
  }

  PostKey(ws, screen, vk::F8);
  const TWindow dialog = Poll(ws, LookupSearches, LookupSearchPauseMs,
                              [&] { return ws.FindWindowExA(0, nullptr, row->LookupTitle); });
  if (dialog == 0) return lookupFailure + msg::NoLookup;
  if (singleScreen && !WaitVisible(ws, dialog)) return lookupFailure + msg::LookupHidden;

  TRect dialogRect;
  if (!ws.GetWindowRect(dialog, dialogRect)) return lookupFailure + msg::NoLookup;
  for (const TOffset& point : LookupClickPoints) {
    if (!ClickTarget(ws, target, {dialogRect.Left + point.X, dialogRect.Top + point.Y},
                     LookupClickPauseMs)) {
      return lookupFailure + msg::NoSearchField;
    }
  }

  const TOffset fieldPoint = LookupClickPoints.back();
  const TWindow field =
      ws.WindowFromPoint({dialogRect.Left + fieldPoint.X, dialogRect.Top + fieldPoint.Y});
  if (!IsSearchField(ws, target, field, row->LookupTitle)) return lookupFailure + msg::NoSearchField;

  // The field may still hold text (a reused lookup keeps the last number): replace it.
  ws.PostMessageA(field, wm::EmSetSel, 0, -1);
  for (const char c : job.PhoneNumber) {
    ws.PostMessageA(field, wm::Char, static_cast<unsigned char>(c), 0);
  }
  ws.PostMessageA(field, wm::KeyDown, vk::Return, 0);
  ws.Sleep(TypedPauseMs);
  return std::nullopt;
}

// Holds the session's job mutex for its lifetime, an error raised by the job included.
// Another program's job goes first; past the bound this one goes on regardless, as a job
// left hanging must not block every later call.
class TJobLock {
 public:
  explicit TJobLock(TWindowSystem& ws) : ws_(ws), mutex_(ws.CreateMutexA(JobMutexName)) {
    if (mutex_ != 0) wait_ = ws_.MsgWaitForMultipleObjects(mutex_, OtherJobWaitMs);
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
TFailure RunJob(TWindowSystem& ws, TJob& job) {
  TTarget target;
  if (TFailure failure = StartTarget(ws, job, target)) return failure;
  // The job kind is fixed by the item count alone, empty items included.
  const bool singleScreen = job.ScreenCodes.size() == 1;
  for (const std::string& code : job.ScreenCodes) {
    job.ScreenCode = code;
    TFailure failure = LookUpScreen(ws, job, target, singleScreen);
    if (failure && singleScreen) return failure;
  }
  return std::nullopt;
}

}  // namespace

void GetCurrentWindow(TWindowSystem& ws, TJob& job) {
  TFailure failure;
  {
    TJobLock lock(ws);
    if (lock.Quit()) return;
    failure = RunJob(ws, job);
  }
  // Released first: the next job need not wait for the user to answer this one's message.
  if (failure) ws.ShowErrorBox(*failure);
}

}  // namespace pelmora
