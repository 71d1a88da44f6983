// The job: one at a time per session, the start-up, then each screen in turn.
#include "automation/current_window.h"

#include "automation/run.h"

namespace pelmora {
namespace {

// One job at a time per logon session: two jobs' keys and characters would interleave.
const char* const JobMutexName = "Local\\PelmoraJob";
// `count` pauses of `pauseMs`, each counted a timer tick longer, as a PC without the finer
// timer takes them.
constexpr std::uint32_t Paused(std::uint32_t count, std::uint32_t pauseMs) {
  return count * (pauseMs + TimerTickMs);
}
// The longest a job naming each known screen once can take by the limits above, each count
// taken `patience` times: the bound of the wait for another program's job.
constexpr std::uint32_t OtherJobWaitMs(std::uint32_t patience) {
  const std::uint32_t visibleWaitMs = Paused(VisibleTests * patience - 1, VisiblePauseMs);
  const std::uint32_t startUpMaxMs = Paused(SessionTests * patience, SessionPauseMs) +
                                     Paused(StartSearches * patience, StartSearchPauseMs) +
                                     visibleWaitMs + InputIdleTimeoutMs * patience +
                                     Paused(1, RestorePauseMs);
  const std::uint32_t screenMaxMs =
      Paused(2, MenuKeyPauseMs) + Paused(ScreenSearches * patience, ScreenSearchPauseMs) +
      visibleWaitMs + Paused(1, ActivatePauseMs) + Paused(1, ScreenClickPauseMs) +
      Paused(LookupSearches * patience, LookupSearchPauseMs) + visibleWaitMs +
      Paused(3, LookupClickPauseMs) + Paused(1, TypedPauseMs);
  return startUpMaxMs + 3 * screenMaxMs;
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
  // The pauses from here on end on time, not on the default timer's next tick.
  const TFinerTimer finerTimer(run.Ws);
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
  const TScreenTable builtIn = options.Table != nullptr ? TScreenTable{} : BuiltInTable();
  const TRun run{ws, options.Trace != nullptr ? *options.Trace : off,
                 options.Patience < 1 ? 1 : options.Patience,
                 options.Table != nullptr ? *options.Table : builtIn};
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
