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
// How often a holder looks whether a job that went on without the lock is done.
constexpr std::uint32_t EndPollMs = 100;
constexpr std::uint32_t JapaneseCodePage = 932;

// `count` pauses of `pauseMs`, each counted a timer tick longer, as a PC without the finer
// timer takes them.
constexpr std::uint32_t Paused(std::uint32_t count, std::uint32_t pauseMs) {
  return count * (pauseMs + TimerTickMs);
}

// The longest a job naming `screens` screens can take by the limits above, each count
// taken `patience` times, and `screenExtraMs` more a screen for a run's own waits. A
// thousand screens would take a day: a longer bound is none.
std::uint32_t JobMaxMs(std::uint32_t patience, std::size_t screens, std::uint32_t screenExtraMs = 0) {
  const std::uint32_t sessionWaitMs = Paused(SessionTests * patience, SessionPauseMs);
  const std::uint32_t visibleWaitMs = Paused(VisibleTests * patience - 1, VisiblePauseMs);
  // A click waits for its window to come to the point, then for the target to take it
  // whole, the last test's pause past that bound.
  const std::uint32_t clickMaxMs = Paused(ClickTests * patience - 1, ClickTestPauseMs) +
                                   ClickTakenMs * patience + Paused(1, ClickTakenPauseMs);
  const std::uint32_t startUpMaxMs = sessionWaitMs +
                                     Paused(StartSearches * patience, StartSearchPauseMs) +
                                     visibleWaitMs + InputIdleTimeoutMs * patience +
                                     RestoreTimeoutMs * patience + Paused(1, RestorePauseMs);
  const std::uint32_t screenMaxMs =
      sessionWaitMs + Paused(2, MenuKeyPauseMs) +
      Paused(ScreenSearches * patience, ScreenSearchPauseMs) + visibleWaitMs +
      Paused(1, ActivatePauseMs) + clickMaxMs + Paused(1, ScreenClickPauseMs) +
      ScreenFocusMs * patience + Paused(1, ClickTakenPauseMs) +
      Paused(LookupSearches * patience + 1, LookupSearchPauseMs) + visibleWaitMs +
      3 * clickMaxMs + Paused(3, LookupClickPauseMs) +
      Paused(FocusTests * patience - 1, ClickTestPauseMs) + Paused(1, TypedPauseMs);
  return startUpMaxMs +
         static_cast<std::uint32_t>(std::min<std::size_t>(screens, 1000)) * (screenMaxMs + screenExtraMs);
}

// Holds the session's job mutex for its lifetime, an error raised by the job included, and
// publishes when this job will be done at the latest, again before each screen and cleared
// as it ends. Another program's job goes first, until the end it published (none yet: as
// long as a job naming every screen once); past that it is taken to hang, as a job left
// hanging must not block every later call for ever, and this one goes on regardless, unless
// it is one that never goes on without the lock. The job to take the lock next waits for one
// gone on so, as far as the end that one published; the holder it overtook stops.
class TJobLock {
 public:
  TJobLock(const TRun& run, std::size_t screens, std::uint32_t screenExtraMs, bool goesOnWithout)
      : ws_(run.Ws), mutex_(ws_.CreateMutexA(JobMutexName)), end_(ws_.OpenSharedValue(JobEndName)),
        patience_(static_cast<std::uint32_t>(run.Patience)), extraMs_(screenExtraMs) {
    if (!Open(run)) return;
    const std::uint32_t start = ws_.GetTickCount();
    std::uint32_t seen = ReadPublished();
    std::uint32_t until = seen != 0 ? seen : start + FullMs();
    // Take the lock (and outwait a job gone on without it), or go on past the bound; either
    // claims the end seen for this job's own, else waits for whichever end replaced it.
    do {
      wait_ = TakeOrPass(seen, until);
      if (wait_ == TWaitResult::Quit || (wait_ == TWaitResult::TimedOut && !goesOnWithout)) break;
    } while (!Claim(JobMaxMs(patience_, screens, extraMs_), seen, until));
    run.Say([&] {
      static const char* const Outcomes[] = {"acquired", "timed out, going on regardless",
                                             "program closed while waiting, job dropped"};
      const bool gaveUp = wait_ == TWaitResult::TimedOut && own_ == 0;
      return "wait for another job: " + Decimal(ws_.GetTickCount() - start) + " ms (limit " +
             Decimal(static_cast<std::int32_t>(until - start) > 0 ? until - start : 0) + " ms), " +
             (gaveUp ? "timed out, not run" : Outcomes[static_cast<int>(wait_)]);
    });
  }
  ~TJobLock() {
    if (mutex_ == 0) return;
    // A job taking the lock next must not meet this end: one started meanwhile would take
    // it, passed, for a hung job's and go on while that one runs.
    if (own_ != 0) Replace(0, own_);
    // Opened to wait only, it is released all the same: its wait made this thread its owner.
    if (wait_ == TWaitResult::Acquired) ws_.ReleaseMutex(mutex_);
    ws_.CloseHandle(mutex_);
  }
  TJobLock(const TJobLock&) = delete;
  TJobLock& operator=(const TJobLock&) = delete;
  TJobLock(TJobLock&&) = delete;
  TJobLock& operator=(TJobLock&&) = delete;
  // The program was closed while it waited: the job is not wanted any more.
  bool Quit() const { return wait_ == TWaitResult::Quit; }
  // Publishes the end again from the limits of the screens still ahead, while this job's
  // end still stands: a start the shell held, a trace rolled over or a foreground call
  // made with a busy thread's input take what they take. False when another job's end
  // stands in its place: that job went on past this one's end, and this one must stop.
  bool PublishAgain(std::size_t screensLeft) {
    if (own_ == 0) return true;
    const std::uint32_t end = Ahead(JobMaxMs(patience_, screensLeft, extraMs_) - JobMaxMs(patience_, 0));
    if (Replace(end, own_) != own_) return false;
    own_ = end;
    return true;
  }
  // This job's end still stands (or none was published for it).
  bool Holds() { return own_ == 0 || end_ == 0 || ReadPublished() == own_; }
  // How the wait ended; with no lock to be had, as if timed out.
  TWaitResult Outcome() const { return wait_; }
  // Neither created, opened nor opened to wait: no job may run.
  bool Refused() const { return mutex_ == 0; }

 private:
  // The mutex created, or refused (made by a program of higher rights with its default
  // security) and opened to wait only: waited for all the same, as another job's.
  bool Open(const TRun& run) {
    if (mutex_ == 0 && (mutex_ = ws_.OpenMutexToWait(JobMutexName)) != 0) {
      run.Say([] { return std::string("wait for another job: the lock is a program's of higher rights, opened to wait only"); });
    }
    if (mutex_ == 0) run.Say([] { return std::string("wait for another job: the lock can be neither had nor waited for, job not run"); });
    return mutex_ != 0;
  }
  std::uint32_t FullMs() const { return JobMaxMs(patience_, KnownScreens); }
  // Waits for the lock as far as the end `seen`, and as far as each end published in its
  // place meanwhile (`until`: the one waited for); TimedOut with `seen` passed and standing.
  // With the lock, outwaits a job gone on without it.
  TWaitResult TakeOrPass(std::uint32_t& seen, std::uint32_t& until) {
    TWaitResult wait = wait_;
    while (wait != TWaitResult::Acquired) {
      const auto left = static_cast<std::int32_t>(until - ws_.GetTickCount());
      wait = ws_.WaitForLockOrQuit(mutex_, left > 0 ? static_cast<std::uint32_t>(left) : 0);
      if (wait == TWaitResult::Quit) return wait;
      const std::uint32_t held = ReadPublished();
      if (wait == TWaitResult::TimedOut && held == seen) return wait;
      if (wait == TWaitResult::TimedOut) until = (seen = held) != 0 ? held : ws_.GetTickCount() + FullMs();
    }
    if (OutwaitJobGoneOn(seen, until)) return wait;
    ws_.ReleaseMutex(mutex_);
    return TWaitResult::Quit;
  }
  // Publishes this job's end in place of the end `seen`, if that still stands: of several
  // jobs waiting past it only one goes on, and the others wait for the end it published, as
  // for one that took the lock meanwhile. False, with `seen` the end that stands and `until`
  // what to wait for, when another end replaced it.
  bool Claim(std::uint32_t ownMs, std::uint32_t& seen, std::uint32_t& until) {
    const std::uint32_t end = Ahead(ownMs);
    const std::uint32_t held = Replace(end, seen);
    if (held == seen) {
      own_ = end;
      return true;
    }
    seen = held;
    // None: the job waited for has ended, and one that took the lock since may not have
    // published yet.
    if (wait_ != TWaitResult::Acquired) until = held != 0 ? held : ws_.GetTickCount() + FullMs();
    return false;
  }
  // The end another job published; 0: none.
  std::uint32_t ReadPublished() { return end_ != 0 ? ws_.LoadSharedValue(end_) : 0; }
  // With the lock, waits as far as an end still ahead that a job gone on without it
  // published (holders clear theirs before releasing), and as far as each it publishes
  // again; `seen` holds the end published then, `until` the one waited for. False when the
  // program was closed meanwhile.
  bool OutwaitJobGoneOn(std::uint32_t& seen, std::uint32_t& until) {
    for (std::int32_t ahead = 0; WentOn(seen) && (ahead = static_cast<std::int32_t>(seen - ws_.GetTickCount())) > 0;
         seen = ReadPublished()) {
      until = seen;
      if (ws_.WaitForLockOrQuit(0, std::min<std::uint32_t>(ahead, EndPollMs)) == TWaitResult::Quit) return false;
    }
    return true;
  }
  // Publishes `end` if the end published is still `seen` (0: none); the end published then.
  std::uint32_t Replace(std::uint32_t end, std::uint32_t seen) {
    return end_ != 0 ? ws_.InterlockedCompareExchange(end_, end, seen) : seen;
  }
  // The tick `ms` from now, never 0, which stands for none; odd when this job goes on
  // without the lock, so that the holder after it waits for it, but not for an end a
  // holder that was ended left behind.
  std::uint32_t Ahead(std::uint32_t ms) {
    const std::uint32_t end = ((ws_.GetTickCount() + ms) & ~1U) | (wait_ == TWaitResult::Acquired ? 0U : 1U);
    return end != 0 ? end : 2;
  }
  static bool WentOn(std::uint32_t end) { return (end & 1U) != 0; }

  TWindowSystem& ws_;
  THandle mutex_;
  THandle end_;
  std::uint32_t patience_;
  std::uint32_t extraMs_;
  std::uint32_t own_ = 0;  // the end this job published last; 0: none
  TWaitResult wait_ = TWaitResult::TimedOut;
};

// The job proper; its failure, if one is to be shown.
TFailure RunJob(const TRun& run, TJob& job, TJobLock& lock) {
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
  std::size_t left = job.ScreenCodes.size();
  const auto overtaken = [&run] {
    run.Say([] { return std::string("wait for another job: overtaken by one gone on past this job's end, stopped"); });
    return TFailure(msg::OtherJob);
  };
  for (const std::string& code : job.ScreenCodes) {
    // After the start-up, and after each screen. Overtaken by a job that went on past this
    // one's end: that one is clicking and typing now.
    if (!lock.PublishAgain(left--)) return overtaken();
    // Locked since (the person stepped away), each click would be refused and every screen
    // passed over: waited for as at the start, and past the bound no screen is tried.
    session = WaitForSession(run);
    if (session == TSession::Closed) return std::nullopt;
    if (session == TSession::StaysLocked) return std::string(msg::ScreenLocked);
    job.ScreenCode = code;
    TFailure failure = LookUpScreen(run, job, target, singleScreen);
    // Stopped before its next click or key, whichever screen it was on.
    if (failure && run.Overtaken()) return overtaken();
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

void RunUnderJobLock(const TRun& run, std::size_t screens, std::uint32_t screenExtraMs,
                     const std::function<void(TWaitResult, const TPublishEnd&)>& work) {
  TJobLock lock(run, screens, screenExtraMs, false);
  if (!lock.Quit()) work(lock.Outcome(), [&lock](std::size_t screensLeft) { return lock.PublishAgain(screensLeft); });
}

void GetCurrentWindow(TWindowSystem& ws, TJob& job, const TJobOptions& options) {
  TTrace off;
  const TScreenTable builtIn = options.Table != nullptr ? TScreenTable{} : BuiltInTable();
  const TRun run{ws, options.Trace != nullptr ? *options.Trace : off,
                 options.Patience < 1 ? 1 : options.Patience,
                 options.Table != nullptr ? *options.Table : builtIn};
  // Titles, keys and the number are all code page 932: on a PC whose programs that are not
  // Unicode use another, every search would miss and the job would end as if the target
  // were not there.
  const std::uint32_t codePage = ws.GetACP();
  run.Say([&] {
    return "code page " + Decimal(codePage) + (codePage == JapaneseCodePage ? "" : ": not Japanese, nothing done");
  });
  TFailure failure;
  if (const char* refusal = msg::CodePageRefusal(codePage, false)) {
    failure = refusal;
  } else {
    TJobLock lock(run, job.ScreenCodes.size(), 0, true);
    if (lock.Quit()) return;
    TRun held = run;
    held.Holds = [&lock] { return lock.Holds(); };
    failure = lock.Refused() ? TFailure(msg::OtherJob) : RunJob(held, job, lock);
  }
  // Released first: the next job need not wait for the user to answer this one's message.
  if (failure) {
    run.Say([&] { return "failure message shown: " + Quoted(*failure); });
    run.Say([] { return std::string("outcome: failed"); });
    ws.ShowErrorBox(*failure);
  }
}

}  // namespace pelmora
