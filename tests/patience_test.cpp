// Patience multiplying exactly the bounded waits, and the wait for another job as long as
// the slowest job, or the end it published.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/settings_run.h"

namespace pelmora {
namespace {

struct TPatienceCase {
  const char* Name;
  TChange Change;
  std::string Counted;  // a searched title or class, or "IsWindowVisible"
  int Fixed, PerPatience;                // its count: outside the loop, the loop's at patience 1
  std::uint64_t FixedMs, PerPatienceMs;  // the run's virtual time: the same, the loop's
};
void PrintTo(const TPatienceCase& c, std::ostream* os) { *os << c.Name; }

class PatienceTest : public SettingsRunTest, public ::testing::WithParamInterface<TPatienceCase> {};

TEST_P(PatienceTest, MultipliesTheBoundedWaitAndNoPause) {
  const TPatienceCase& c = GetParam();
  for (const int patience : {1, 3, 10}) {
    Desktop = sim::TSimDesktop();
    RunProgram({{"timing/patience", std::to_string(patience)}}, " td,ud 0312345678", c.Change);
    const int counted = std::max(Desktop.Count(c.Counted), Desktop.CountSearches(c.Counted));  // a call, or a search
    EXPECT_EQ(counted, c.Fixed + c.PerPatience * patience) << patience;
    EXPECT_EQ(Desktop.Now(), c.FixedMs + c.PerPatienceMs * patience) << patience;
    for (const std::uint32_t pause : Desktop.Pauses()) {
      EXPECT_TRUE(pause == 1 || pause == 10 || pause == 50 || pause == 100 || pause == 200) << pause;
    }
  }
}

// A job of td,ud: start-up of a running target takes 100 ms, a screen by the menu 1100, and
// 100 more for ud, whose F8 shows td's lookup again 50 ms later, after the first search
// (each screen notes the lookups once before F8);
// a failure of td is passed over and ud still worked.
INSTANTIATE_TEST_SUITE_P(
    Waits, PatienceTest,
    ::testing::Values(
        TPatienceCase{"MainWindow", [](TTargetScript& s, auto&) { s.Running = false; s.AppearAfter.reset(); },
                      "Hanbai15Main", 1, 75, 0, 75 * 200},
        TPatienceCase{"MainWindowShown", [](TTargetScript& s, auto&) { s.Running = false; s.ShowAfter.reset(); },
                      "IsWindowVisible", 0, 500, 1200 - 10, 500 * 10},
        TPatienceCase{"InputIdle", [](TTargetScript&, auto& d) { d.NeverIdle.insert(sim::TargetProcess); },
                      "Hanbai15Main", 1, 0, 100 + 2 * 1100 + 100, 15000},
        TPatienceCase{"Screen", [](TTargetScript& s, auto&) { s.Screens[TdNew].OpenAfter.reset(); },
                      TdNew, 1, 30, 1450, 30 * 100},
        TPatienceCase{"Lookup", [](TTargetScript& s, auto&) { s.Screens[TdNew].DialogAfter.reset(); },
                      "得意先参照", 2 + 2, 30, 1850, 30 * 100},
        // The session stays locked: a test every 500 ms for a minute, then the message.
        TPatienceCase{"LockedSession", [](TTargetScript&, auto& d) { d.Lock(true); },
                      "GetInputDesktopName", 1, 120, 0, 60000},
        TPatienceCase{"AllInTime", [](TTargetScript&, auto&) {}, TdNew, 3, 0, 100 + 2 * 1100 + 100, 0},
        // Caught: an empty title searched for, which any untitled window matches.
        TPatienceCase{"NoEmptyTitle", [](TTargetScript&, auto&) {}, "", 0, 0, 100 + 2 * 1100 + 100, 0},
        // Another program's window over td's point (reached at 550 ms): 100 tests 10 ms apart; ud as
        // ever. Caught: the click's wait for its window not lengthened by patience.
        TPatienceCase{"ClickWaitsForItsWindow",
                      [](TTargetScript&, auto& d) { d.At(0, [&d] { d.AddWindow(0, "Toast", "", {193, 191, 203, 201}, sim::ForeignProcess); }); },
                      "WindowFromPoint", 4 + 1, 100, 550 - 10 + 1200, 100 * 10},
        // Input never routed: each screen's click (at 550 and 1100 ms) waited for 5 s, then refused,
        // however often it re-tested. Caught: the wait for a click to be taken not lengthened by patience.
        TPatienceCase{"ClickNeverTaken", [](TTargetScript&, auto& d) { d.RouteDelayMs = 1 << 30; }, "SendInput", 2, 0, 1100, 2 * 5000},
        // Each control clicked keeps the mouse (its button-up never handled): as never taken.
        // Caught: the capture of the control clicked ignored, the click taken at once.
        TPatienceCase{"ClickedControlKeepsTheMouse", [](TTargetScript&, auto& d) {
                        d.At(0, [&d] { d.OnClick = [&d, click = d.OnClick](TWindow w) { click(w), d.Capture[sim::TargetProcess] = w; }; });
                      }, "SendInput", 2, 0, 1100, 2 * 5000},
        // Every click routed 30 ms late: each of the eight waits that long, then pauses whole.
        // Caught: the pause after a click shortened by the time its taken wait used.
        TPatienceCase{"InputRoutedLate", [](TTargetScript&, auto& d) { d.RouteDelayMs = 30; }, "SendInput", 8, 0, 100 + 2 * 1100 + 100 + 8 * 30, 0},
        // The field of td's lookup, which ud's F8 shows again, keeps no focus: tested 10 times per
        // patience, 10 ms apart, then refused, with no typing pause. Caught: the focus tests not
        // multiplied by patience.
        TPatienceCase{"FieldTakesNoFocus", [](TTargetScript& s, auto&) { s.Screens[TdNew].FieldTakesFocus = false; },
                      "SendInput", 8, 0, 100 + 2 * (1100 - 200 - 10) + 100, 2 * 10 * 10},
        // Never idle nor answering: the idle wait, then the restore's. Caught: the restore's time-out fixed.
        TPatienceCase{"RestoreUnanswered", [](TTargetScript& s, auto&) { s.BusyMs = 1 << 30; }, "Hanbai15Main", 1, 0, 0, 15000 + 5000},
        // td's lookup closed 20 ms after its first click: the second refused at once, no point tested
        // at offsets from nothing (nor its last click's pause and the typing's); ud as ever.
        // Caught: a gone window's point tested for the whole wait.
        TPatienceCase{"LookupGoneBeforeItsSecondClick", [](TTargetScript&, auto& d) {
                        d.At(0, [&d] { d.OnClick = [&d, click = d.OnClick, n = 0](TWindow w) mutable {
                          click(w);  // the second click is td's first on its lookup
                          if (++n == 2) d.At(d.Now() + 20, [&d, w] { d.OnPost(d.Window(w).Parent, 0x0010 /* WM_CLOSE */, 0, 0); });
                        }; });
                      }, "WindowFromPoint", 2 + 5, 0, 100 + 2 * 1100 + 100 - (50 + 50 + 200), 0},
        // Its process started, no main window yet: awaited. Caught: a second copy started.
        TPatienceCase{"StillStartingNeverShown", [](TTargetScript& s, auto& d) { s.Running = false, d.Processes[sim::TargetPath] = sim::TargetProcess; },
                      "ShellExecuteA", 0, 0, 0, 75 * 200}),
    [](const auto& info) { return std::string(info.param.Name); });

// Another job is awaited at least as long as the slowest job the simulated target allows,
// then this one goes on. Slowest: each of the target's delays lengthened as far as the
// number still reaches every screen, after a session locked as long as it may be.
TEST_F(SettingsRunTest, AnotherJobIsAwaitedAsLongAsTheSlowestJob) {
  for (const int patience : {1, 2}) {
    TTargetScript slow;
    slow.Running = false;
    sim::TDelay busyFor = 0;  // from its start: not idle, nor answering the restore
    slow.RaiseReopenedDialog = true;  // td and ud share a lookup, which tm's covers until F8
    sim::TDelay lockedFor = 0;
    const auto works = [&](std::uint64_t otherJobUntil, std::uint64_t jobStart) {
      Desktop = sim::TSimDesktop();
      Desktop.OtherJobUntil = otherJobUntil;
      RunProgram({{"timing/patience", std::to_string(patience)}}, " td,tm,ud 0312345678",
                 [&](TTargetScript& s, sim::TSimDesktop& d) {
                   s = slow;
                   s.BusyMs = *busyFor;
                   if (*lockedFor == 0) return;
                   d.Lock(true);
                   d.At(jobStart + *lockedFor, [&d] { d.Lock(false); });
                 });
      return Desktop.ErrorBoxes.empty() && Target->Searches.size() == 3;
    };
    // The start-up's last: while it is quick, so is each run that lengthens a screen's.
    std::vector<sim::TDelay*> delays;
    for (const char* title : {"得意先台帳 (新規)", "得意先元帳", "売上伝票 (新規)"}) {
      delays.insert(delays.end(), {&slow.Screens[title].OpenAfter, &slow.Screens[title].DialogAfter});
    }
    delays.insert(delays.end(), {&slow.AppearAfter, &slow.ShowAfter, &busyFor, &lockedFor});
    for (sim::TDelay* delay : delays) {
      // Every poll pauses 10 ms or more: a finer delay changes nothing.
      std::uint64_t longest = 0, tooLong = std::uint64_t{1} << 18;
      while (tooLong - longest > 10) {
        *delay = (longest + tooLong) / 2;
        (works(0, 0) ? longest : tooLong) = **delay;
      }
      *delay = longest;
    }
    ASSERT_TRUE(works(0, 0));
    const std::uint64_t slowest = Desktop.Now();
    EXPECT_GT(*lockedFor, 0u);
    // Where the job begins when the other one never ends; the session locked from then on.
    const sim::TDelay locked = std::exchange(lockedFor, 0);
    ASSERT_TRUE(works(UINT64_MAX, 0));
    const std::uint64_t waited = TimeOf("FindWindowExA");
    lockedFor = locked;
    ASSERT_TRUE(works(UINT64_MAX, waited));
    EXPECT_GE(waited, slowest) << patience;
    EXPECT_EQ(Desktop.Now(), waited + slowest) << patience;
  }
}

// Another job holds the lock for ever: when this one begins, given the end it published.
TEST_F(SettingsRunTest, WithNoEndToGoByAJobWaitsTheFullBound) {
  const auto begins = [this](const std::string& args, std::function<void(sim::TSimDesktop&)> ends) {
    Desktop = sim::TSimDesktop();
    Desktop.OtherJobUntil = UINT64_MAX;
    if (ends) ends(Desktop);
    RunProgram({}, args);
    return TimeOf("FindWindowExA");
  };
  const std::uint64_t full = begins(" td,tm,ud 0312345678", nullptr);
  // Caught: with no end seen, a job naming one screen waits only its own length.
  EXPECT_EQ(begins(" td 0312345678", nullptr), full);
  // Caught: an end that vanished while it waited taken for one passed, and the job gone on at once.
  EXPECT_EQ(begins(" td 0312345678", [](sim::TSimDesktop& d) {
              d.SharedValue = d.TickBase + 1000;
              d.At(500, [&d] { d.SharedValue = 0; });
            }), 1000 + full);
}

}  // namespace
}  // namespace pelmora
