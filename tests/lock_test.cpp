// One job at a time: a job waits for another within the bound that job published, and one
// overtaken or refused the lock touches nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "automation/messages.h"
#include "tests/job_fixture.h"

namespace pelmora {
namespace {

using sim::TTargetScript;

const std::string TdNew = "得意先台帳 (新規)";

struct TOtherJobCase {
  const char* Name;
  std::uint64_t OtherJobUntil;
  bool MutexAvailable;
  bool Quit;
  std::uint64_t StartsAt;  // virtual time of the first search for the target
  std::size_t Searches;
  // An earlier job ended an hour ago; the other takes the lock now, publishing its end 10 ms later.
  bool AfterAnEarlierJob = false;
  void (*Change)(sim::TTargetScript&, sim::TSimDesktop&) = nullptr;
};
void PrintTo(const TOtherJobCase& c, std::ostream* os) { *os << c.Name; }

class OtherJobTest : public JobFixture, public ::testing::WithParamInterface<TOtherJobCase> {};

TEST_P(OtherJobTest, WaitsForAnotherJobWithinTheBound) {
  const TOtherJobCase& c = GetParam();
  TTargetScript s;
  if (c.Change) c.Change(s, Desktop);
  Start(s);
  if (c.AfterAnEarlierJob) {
    RunJob({"td"});
    Desktop.Pause(3600000);
    Desktop.Calls.clear(), Desktop.SharedValues.clear(), Target->Searches.clear();
    Desktop.At(Desktop.Now() + 10, [this] { Desktop.SharedValue = Desktop.GetTickCount() + 60000; });
    Desktop.At(Desktop.Now() + c.OtherJobUntil, [this] { Desktop.SharedValue = 0; });
  }
  const std::uint64_t base = Desktop.Now();
  Desktop.OtherJobUntil = base + std::min(c.OtherJobUntil, UINT64_MAX - base);
  Desktop.MutexAvailable = c.MutexAvailable;
  Desktop.QuitWhileWaiting = c.Quit;
  RunJob({"td"});
  EXPECT_EQ(Boxes(), c.MutexAvailable ? std::vector<std::string>{} : std::vector<std::string>{msg::OtherJob});
  EXPECT_EQ(Target->Searches.size(), c.Searches);
  if (c.Searches > 0) {
    EXPECT_EQ(TimeOf("FindWindowExA") - base, c.StartsAt);
  }
  // Released as the job ends, one opened to wait only included.
  EXPECT_FALSE(Desktop.MutexHeld);
  // Each end this job published stood till it published the next, and it cleared the last.
  const auto& ends = Desktop.SharedValues;
  for (std::size_t i = 1; i < ends.size(); ++i) EXPECT_LE(Desktop.TickBase + ends[i].first, ends[i - 1].second);
  if (!ends.empty()) {
    EXPECT_EQ(ends.back().second, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Waits, OtherJobTest,
    ::testing::Values(TOtherJobCase{"None", 0, true, false, 0, 1},
                      TOtherJobCase{"EndsAfter5s", 5000, true, false, 5000, 1},
                      TOtherJobCase{"NoMutex", UINT64_MAX, false, false, 0, 0},
                      // Refused to a normal job, an elevated program's lock is waited for all the same.
                      TOtherJobCase{"ElevatedProgramHoldsItFor5s", 5000, true, false, 5000, 1, false,
                                    [](TTargetScript&, sim::TSimDesktop& d) { d.MadeByHigherRights = true; }},
                      TOtherJobCase{"ClosedWhileWaiting", UINT64_MAX, true, true, 0, 0},
                      // Took the earlier job's end, passed, for the other's: both ran at once.
                      TOtherJobCase{"OtherTookTheLockNotYetPublished", 5000, true, false, 5000, 1, true},
                      // Published once only: the job outlasted that end and could be overtaken.
                      TOtherJobCase{"ShellHoldsTheStartTillShortlyBeforeTheEnd", 0, true, false, 0, 1, false,
                                    [](TTargetScript& s, sim::TSimDesktop& d) {
                                      s.Running = false;
                                      d.OnShellExecute = [&d](const std::string&) { d.Pause(d.SharedValue - d.GetTickCount() - 2000); };
                                    }},
                      // Waited for its first end only, or for ever.
                      TOtherJobCase{"OtherHangsAfterPublishingAgain", UINT64_MAX, true, false, 6000, 1, false,
                                    [](TTargetScript&, sim::TSimDesktop& d) {
                                      d.SharedValue = d.TickBase + 3000;
                                      d.At(2000, [&d] { d.SharedValue = d.TickBase + 6000; });
                                    }}),
    [](const auto& info) { return std::string(info.param.Name); });

// A one-screen job's end comes sooner, for a job waiting behind it should it hang; with no end
// to go by, one waits as long as a job naming every screen once. Caught: every job publishing
// the end of one naming every screen; a bound of fewer screens; patience left out of either.
TEST_F(OtherJobTest, PublishesTheEndOfItsOwnLength) {
  Options.Patience = 2;
  std::vector<std::uint32_t> ends;
  for (const std::vector<std::string>& codes : {std::vector<std::string>{"td"}, {"td", "tm", "ud"}}) {
    Desktop = sim::TSimDesktop();
    Target.reset();
    RunJob(codes);
    ends.push_back(Desktop.SharedValues.front().second);  // published as the lock is taken
  }
  EXPECT_LT(ends[0], ends[1]);
  Desktop = sim::TSimDesktop(), Target.reset();
  Desktop.OtherJobUntil = UINT64_MAX;
  RunJob({"td"});
  EXPECT_NEAR(TimeOf("FindWindowExA"), ends[1] - Desktop.TickBase, 1);  // an end is held to an even tick
}

// Caught too: a lock opened to wait only kept through the box.
TEST_F(OtherJobTest, LockIsReleasedBeforeTheMessageIsShown) {
  for (const bool waitOnly : {false, true}) {
    Desktop = sim::TSimDesktop(), Target.reset();
    Desktop.MadeByHigherRights = waitOnly;
    Desktop.OnErrorBox = [this](const std::string&) { EXPECT_FALSE(Desktop.MutexHeld); };
    TTargetScript s;
    s.Screens[TdNew].DialogAfter.reset();
    Start(s);
    RunJob({"td"});
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Desktop.Count("ReleaseMutex"), 1);
    EXPECT_EQ(Desktop.Count("CloseHandle"), 1);
  }
}

// The shell holds the start past this job's end, and a job waiting behind goes on meanwhile.
// Caught: the overtaken holder clicking and typing alongside it.
TEST_F(OtherJobTest, OvertakenHolderStopsWithoutTyping) {
  for (const bool atTheScreenClick : {false, true}) {  // else while the shell holds the start
    Desktop = sim::TSimDesktop();
    const auto overtake = [this] { Desktop.SharedValue = Desktop.GetTickCount() + 60001; };  // odd: gone on without the lock
    Desktop.OnShellExecute = [&](const std::string&) { Desktop.Pause(Desktop.SharedValue - Desktop.GetTickCount() + 1000), overtake(); };
    TTargetScript s;
    s.Running = atTheScreenClick;
    Start(s);
    if (atTheScreenClick) Desktop.OnClick = [&, taken = Desktop.OnClick](TWindow w) { taken(w), overtake(); };
    RunJob({"td"});
    EXPECT_EQ(Boxes(), std::vector<std::string>{msg::OtherJob}) << atTheScreenClick;
    EXPECT_EQ(Desktop.Clicks.size(), atTheScreenClick ? 1u : 0u);
    EXPECT_TRUE(Target->Searches.empty() && Target->Typed.empty()) << atTheScreenClick;
  }
}

// The first job names six screens on a slow target, the PC locked for a while before each:
// far longer than a job naming each screen once. The second, started with it, waits.
TEST_F(OtherJobTest, SecondJobTypesNothingBeforeTheFirstsLastEnter) {
  const struct {
    const char* Fault;
    bool PastAHungHolder, Killed;  // the first went on past a holder hung till 1 s; was ended at 2 s
  } cases[] = {{"the second took the lock while the first held it", false, false},
               {"the second, taking the lock the hung holder released at 2 s, ran alongside the first", true, false},
               {"the end a killed holder left waited for, the lock free", false, true}};
  for (const auto& c : cases) {
    Desktop = sim::TSimDesktop();
    if (c.PastAHungHolder) Desktop.SharedValue = Desktop.TickBase + 1000, Desktop.OtherJobUntil = UINT64_MAX;
    TTargetScript slow;
    for (const char* title : {"得意先台帳 (新規)", "得意先元帳", "売上伝票 (新規)"}) slow.Screens[title].DialogAfter = 2900;
    Start(slow);
    const auto lockFor59s = [this] {
      Desktop.Lock(true);
      Desktop.At(Desktop.Now() + 59000, [this] { Desktop.Lock(false); });
    };
    lockFor59s();
    Desktop.OnPost = [this, lockFor59s, post = Desktop.OnPost](TWindow w, std::uint32_t m, std::uintptr_t p, std::intptr_t l) {
      post(w, m, p, l);
      if (m == wm::KeyDown && p == vk::Return) lockFor59s();
    };
    RunJob({"td", "tm", "ud", "td", "tm", "ud"});
    ASSERT_EQ(Target->Searches.size(), 6u);
    const std::uint64_t lastEnter = Desktop.Posts().back().At, firstEnds = Desktop.Now();
    const std::uint32_t published = Desktop.SharedValues.front().second;  // as a job started with it saw
    Desktop = sim::TSimDesktop();
    Desktop.SharedValue = published;
    Desktop.OtherJobUntil = c.PastAHungHolder || c.Killed ? 2000 : firstEnds;
    Target.reset();
    RunJob({"td"}, "09087654321");
    ASSERT_EQ(Target->Searches.size(), 1u) << c.Fault;
    for (const sim::TCall& post : Desktop.Posts()) EXPECT_EQ(post.At > lastEnter, !c.Killed) << c.Fault;
  }
}

}  // namespace
}  // namespace pelmora
