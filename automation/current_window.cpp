// The job: one at a time per session, the start-up, then each screen in turn.
#include "automation/current_window.h"

#include <algorithm>

#include "automation/run.h"

namespace pelmora {
namespace {

// One job at a time per logon session: two jobs' keys and characters would interleave.
const char* const JobMutexName = "Local\\PelmoraJob";
// The tick by which the job under way is done at the latest, published by that job for
// the ones waiting: a job naming more screens, or the same ones again, takes longer.
const char* const JobEndName = "Local\\PelmoraJobEnd";
constexpr std::size_t KnownScreens = 3;

// `count` pauses of `pauseMs`, each counted a timer tick longer, as a PC without the finer
// timer takes them.
constexpr std::uint32_t Paused(std::uint32_t count, std::uint32_t pauseMs) {
  return count * (pauseMs + TimerTickMs);
}

// The longest a job naming `screens` screens can take by the limits above, each count
// taken `patience` times. A thousand screens would take a day: a longer bound is none.
std::uint32_t JobMaxMs(std::uint32_t patience, std::size_t screens) {
  const std::uint32_t sessionWaitMs = Paused(SessionTests * patience, SessionPauseMs);
  const std::uint32_t visibleWaitMs = Paused(VisibleTests * patience - 1, VisiblePauseMs);
  // A click waits for its window to come to the point, then for the target to take it
  // whole, the last test's pause past that bound.
  const std::uint32_t clickMaxMs = Paused(ClickTests * patience - 1, ClickTestPauseMs) +
                                   ClickTakenMs * patience + Paused(1, ClickTestPauseMs);
  const std::uint32_t startUpMaxMs = sessionWaitMs +
                                     Paused(StartSearches * patience, StartSearchPauseMs) +
                                     visibleWaitMs + InputIdleTimeoutMs * patience +
                                     RestoreTimeoutMs * patience + Paused(1, RestorePauseMs);
  const std::uint32_t screenMaxMs =
      sessionWaitMs + Paused(2, MenuKeyPauseMs) +
      Paused(ScreenSearches * patience, ScreenSearchPauseMs) + visibleWaitMs +
      Paused(1, ActivatePauseMs) + clickMaxMs + Paused(1, ScreenClickPauseMs) +
      Paused(LookupSearches * patience + 1, LookupSearchPauseMs) + visibleWaitMs +
      3 * clickMaxMs + Paused(3, LookupClickPauseMs) +
      Paused(FocusTests * patience - 1, ClickTestPauseMs) + Paused(1, TypedPauseMs);
  return startUpMaxMs + static_cast<std::uint32_t>(std::min<std::size_t>(screens, 1000)) * screenMaxMs;
}

// Holds the session's job mutex for its lifetime, an error raised by the job included, and
// publishes when this job will be done at the latest. Another program's job goes first,
// until the end it published; past that it is taken to hang, as a job left hanging must
// not block every later call for ever, and this one goes on regardless.
class TJobLock {
 public:
  TJobLock(const TRun& run, std::size_t screens)
      : ws_(run.Ws), mutex_(ws_.CreateMutexA(JobMutexName)), end_(ws_.OpenSharedValue(JobEndName)) {
    if (mutex_ == 0) {
      run.Say([] { return std::string("wait for another job: no lock to be had, going on"); });
      return;
    }
    const auto patience = static_cast<std::uint32_t>(run.Patience);
    const std::uint32_t ownMs = JobMaxMs(patience, screens);
    const std::uint32_t start = ws_.GetTickCount();
    std::uint32_t seen = Published();
    std::uint32_t until = seen != 0 ? seen : start + JobMaxMs(patience, KnownScreens);
    for (;;) {
      if (wait_ != TWaitResult::Acquired) {
        const auto left = static_cast<std::int32_t>(until - ws_.GetTickCount());
        wait_ = ws_.WaitForLockOrQuit(mutex_, left > 0 ? static_cast<std::uint32_t>(left) : 0);
        if (wait_ == TWaitResult::Quit) break;
      }
      // With the lock, this job's end replaces whatever is published. Past the end seen,
      // only if that still stands: of several jobs waiting past it only one goes on, and
      // the others wait for the end it published, as for one that took the lock meanwhile.
      const std::uint32_t held = Replace(ws_.GetTickCount() + ownMs, seen);
      if (held == seen) break;
      seen = until = held;
    }
    run.Say([&] {
      static const char* const Outcomes[] = {"acquired", "timed out, going on regardless",
                                             "program closed while waiting, job dropped"};
      return "wait for another job: " + Decimal(ws_.GetTickCount() - start) + " ms (limit " +
             Decimal(static_cast<std::int32_t>(until - start) > 0 ? until - start : 0) + " ms), " +
             Outcomes[static_cast<int>(wait_)];
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
  // The end another job published; 0: none.
  std::uint32_t Published() { return end_ != 0 ? ws_.LoadSharedValue(end_) : 0; }
  // Publishes `end` if the end published is still `seen` (0: none); the end published then.
  std::uint32_t Replace(std::uint32_t end, std::uint32_t seen) {
    return end_ != 0 ? ws_.InterlockedCompareExchange(end_, end, seen) : seen;
  }

  TWindowSystem& ws_;
  THandle mutex_;
  THandle end_;
  TWaitResult wait_ = TWaitResult::TimedOut;
};

// The job proper; its failure, if one is to be shown.
TFailure RunJob(const TRun& run, TJob& job) {
  // Before the start-up touches the target.
  TSession session = WaitForSession(run);
  if (session == TSession::Closed) return std::nullopt;
  if (session == TSession::StaysLocked) return std::string(msg::ScreenLocked);
  // The pauses from here on end on time, not on the default timer's next tick.
  const TFinerTimer finerTimer(run.Ws);
  TTarget target;
  if (TFailure failure = StartTarget(run, job, target)) return failure;
  // The job kind is fixed by the item count alone, empty items included.
  const bool singleScreen = job.ScreenCodes.size() == 1;
  std::size_t typed = 0;
  std::string passedOver;
  for (const std::string& code : job.ScreenCodes) {
    // Locked since (the person stepped away), each click would be refused and every screen
    // passed over: waited for as at the start, and past the bound no screen is tried.
    session = WaitForSession(run);
    if (session == TSession::Closed) return std::nullopt;
    if (session == TSession::StaysLocked) return std::string(msg::ScreenLocked);
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
  const TScreenTable builtIn = options.Table != nullptr ? TScreenTable{} : BuiltInTable();
  const TRun run{ws, options.Trace != nullptr ? *options.Trace : off,
                 options.Patience < 1 ? 1 : options.Patience,
                 options.Table != nullptr ? *options.Table : builtIn};
  TFailure failure;
  {
    TJobLock lock(run, job.ScreenCodes.size());
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
