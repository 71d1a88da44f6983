// Clicks on a real desk: the target on any of several monitors, input that is blocked, and
// a hand on the mouse while the job runs.
#include <gtest/gtest.h>

#include "automation/screen_table.h"
#include "tests/job_fixture.h"

namespace pelmora {
namespace {

using sim::TTargetScript;

const std::string TdNew = "得意先台帳 (新規)";
const std::string FieldMessage = NotStarted + "得意先参照画面-入力欄の取得不可)";
// A 5:4 primary with a wide monitor to its right; a wide primary with a 5:4 monitor to its
// left and higher up, so the virtual desktop starts at negative coordinates.
const std::vector<TRect> PrimaryAndRight = {{0, 0, 1280, 1024}, {1280, 0, 3200, 1080}};
const std::vector<TRect> PrimaryAndLeft = {{0, 0, 1920, 1080}, {-1280, -200, 0, 824}};
// Physical pixels: two wide monitors; a wide primary with a larger one to its right.
const std::vector<TRect> TwoWide = {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}};
const std::vector<TRect> WideAndLarger = {{0, 0, 1920, 1080}, {1920, 0, 4480, 1440}};

struct TMonitorCase {
  const char* Name;
  std::vector<TRect> Monitors;
  TPoint Origin;   // of the target's windows
  bool Minimized;  // the main window lies far off until restored, as Windows keeps it
  double Ratio;
  TOffset Offset;  // of td's screen click
  std::vector<int> Scales = {};  // each monitor's scaling in percent (missing: 100)
};
void PrintTo(const TMonitorCase& c, std::ostream* os) { *os << c.Name; }

class MonitorTest : public JobFixture, public ::testing::WithParamInterface<TMonitorCase> {};

TEST_P(MonitorTest, ClassComesFromTheTargetsMonitorAndEveryClickLandsOnItsPoint) {
  const TMonitorCase& c = GetParam();
  TTargetScript s;
  s.OpenAtStart = {TdNew};
  s.Origin = c.Origin;
  Start(s);
  Desktop.Monitors = c.Monitors;
  Desktop.Scales = c.Scales;
  if (c.Minimized) {
    TRect& main = Desktop.Window(Target->Main).Rect;
    // Restored within the pause after the restore request.
    Desktop.At(50, [this, restored = main] { Desktop.Window(Target->Main).Rect = restored; });
    main = {-32000, -32000, -31840, -31969};
  }
  RunJob({"td"});
  EXPECT_DOUBLE_EQ(Job.AspectRatio, c.Ratio);
  const TRect screen = Desktop.Window(Target->ScreenWindow(TdNew)).Rect;
  const TRect dialog = Desktop.Window(Target->Dialog).Rect;
  ASSERT_EQ(Desktop.Clicks.size(), 4u);
  EXPECT_EQ(Desktop.Clicks[0].At.X, screen.Left + c.Offset.X);
  EXPECT_EQ(Desktop.Clicks[0].At.Y, screen.Top + c.Offset.Y);
  EXPECT_EQ(Desktop.Clicks[3].At.X, dialog.Left + 65);
  EXPECT_EQ(Desktop.Clicks[3].At.Y, dialog.Top + 117);
  EXPECT_EQ(Desktop.Clicks[3].Window, Target->Field);
  ASSERT_EQ(Target->Searches.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Desks, MonitorTest,
    ::testing::Values(
        TMonitorCase{"WideSecondMonitor", PrimaryAndRight, {1400, 100}, false, 1920.0 / 1080, {188, 126}},
        TMonitorCase{"NarrowPrimaryOfTwo", PrimaryAndRight, {}, false, 1.25, {184, 120}},
        TMonitorCase{"MostlyOnTheSecond", PrimaryAndRight, {800, 100}, false, 1920.0 / 1080, {188, 126}},
        TMonitorCase{"MonitorLeftAndAbove", PrimaryAndLeft, {-1250, -150}, false, 1.25, {184, 120}},
        TMonitorCase{"RestoredOntoTheSecond", PrimaryAndRight, {1400, 100}, true, 1920.0 / 1080,
                     {188, 126}},
        // Scaled monitors: a click sent at the scaled point over the scaled desktop lands
        // elsewhere unless every monitor is scaled alike.
        TMonitorCase{"AllAt150OnThePrimary", TwoWide, {}, false, 1920.0 / 1080, {188, 126}, {150, 150}},
        TMonitorCase{"AllAt150OnTheSecond", TwoWide, {1400, 50}, false, 1920.0 / 1080, {188, 126}, {150, 150}},
        TMonitorCase{"PrimaryAt150OnThePrimary", TwoWide, {}, false, 1920.0 / 1080, {188, 126}, {150, 100}},
        TMonitorCase{"PrimaryAt150OnTheSecond", TwoWide, {2000, 100}, false, 1920.0 / 1080, {188, 126}, {150, 100}},
        TMonitorCase{"SecondAt125OnThePrimary", WideAndLarger, {}, false, 1920.0 / 1080, {188, 126}, {100, 125}},
        TMonitorCase{"SecondAt125OnTheSecond", WideAndLarger, {2000, 100}, false, 1920.0 / 1080, {188, 126}, {100, 125}}),
    [](const auto& info) { return std::string(info.param.Name); });

// Every pixel of every monitor, the edges included, is reached exactly; on one scaled to
// 125 %, a point whose physical offset is a half pixel too. Caught: that offset truncated.
TEST(ClickAtTest, LandsOnEveryPixelOfEveryMonitor) {
  const std::pair<std::vector<TRect>, std::vector<int>> desks[] = {{PrimaryAndRight, {}}, {PrimaryAndLeft, {}}, {WideAndLarger, {100, 125}}};
  for (const auto& [monitors, scales] : desks) {
    sim::TSimDesktop desktop;
    desktop.Monitors = monitors;
    desktop.Scales = scales;
    for (std::size_t k = 0; k < monitors.size(); ++k) {
      const TRect& m = monitors[k];  // its corner as this program sees it; its size scaled
      const int scale = k < scales.size() ? scales[k] : 100;
      const int width = (m.Right - m.Left) * 100 / scale, height = (m.Bottom - m.Top) * 100 / scale;
      for (int i = 0; i < std::max(width, height); ++i) {
        const TPoint p{m.Left + i % width, m.Top + height - 1 - i % height};
        ASSERT_TRUE(ClickAt(desktop, p.X, p.Y));
        ASSERT_EQ(desktop.Clicks.back().At.X, p.X) << p.Y;
        ASSERT_EQ(desktop.Clicks.back().At.Y, p.Y) << p.X;
      }
    }
  }
}

using DeskTest = JobFixture;

// A person keeps pulling the mouse onto another program's window on the other monitor.
// Each click is one call, so nothing comes between its events, and moves first: a button
// event before the move would act wherever the hand had put the cursor.
TEST_F(DeskTest, HandOnTheMouseMovesNoClick) {
  Start();
  Desktop.Monitors = PrimaryAndRight;
  const TWindow chat = Desktop.AddWindow(0, "Chat", "chat", {1300, 700, 1700, 900}, sim::ForeignProcess);
  Desktop.Hand = [](TPoint& cursor) { cursor = {1500, 800}; };
  RunJob({"td", "ud"});
  ASSERT_EQ(Desktop.Clicks.size(), 8u);
  for (const sim::TClick& click : Desktop.Clicks) {
    EXPECT_NE(click.Window, chat);
    EXPECT_EQ(Desktop.Window(click.Window).Process, sim::TargetProcess);
  }
  EXPECT_EQ(Target->Searches.size(), 2u);
  const std::uint32_t at = mouse::Move | mouse::Absolute | mouse::VirtualDesk;
  ASSERT_EQ(Desktop.Inputs.size(), 8u);
  for (const std::vector<TMouseInput>& click : Desktop.Inputs) {
    ASSERT_EQ(click.size(), 3u);
    EXPECT_EQ(click[0].Flags, at);
    EXPECT_EQ(click[1].Flags, at | mouse::LeftDown);
    EXPECT_EQ(click[2].Flags, at | mouse::LeftUp);
  }
}

struct TBlockedCase {
  const char* Name;
  std::vector<std::string> Codes;
  std::uint64_t BlockedFrom;  // virtual ms
  std::uint32_t Inserted;     // events a blocked call still inserts
  std::vector<std::string> Boxes;
  std::size_t Clicks;
};
void PrintTo(const TBlockedCase& c, std::ostream* os) { *os << c.Name; }

class BlockedInputTest : public JobFixture, public ::testing::WithParamInterface<TBlockedCase> {};

// A click not wholly inserted is refused as a click onto another program is: nothing
// typed, the same message.
TEST_P(BlockedInputTest, ClickNotWhollyInsertedIsRefused) {
  const TBlockedCase& c = GetParam();
  Start();
  Desktop.At(c.BlockedFrom, [this, n = c.Inserted] { Desktop.InsertLimit = n; });
  RunJob(c.Codes);
  EXPECT_EQ(Boxes(), c.Boxes);
  EXPECT_EQ(Desktop.Clicks.size(), c.Clicks);
  EXPECT_TRUE(Target->Searches.empty());
  for (const auto& [window, typed] : Target->Typed) EXPECT_TRUE(typed.empty()) << window;
}

// td by the menu: screen click at 600, lookup clicks at 900, 950 and 1000.
INSTANTIATE_TEST_SUITE_P(
    Clicks, BlockedInputTest,
    ::testing::Values(
        TBlockedCase{"ScreenClickWithoutItsUp", {"td"}, 0, 2, {NotStarted + "子ウィンドウの取得不可)"}, 0},
        TBlockedCase{"SecondLookupClick", {"td"}, 920, 0, {FieldMessage}, 2},
        TBlockedCase{"MultiScreenPassesOverSilently", {"td", "ud"}, 0, 1, {}, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmora
