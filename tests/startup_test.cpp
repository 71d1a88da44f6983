#include <gtest/gtest.h>

#include <algorithm>

#include "tests/job_fixture.h"

namespace pelmora {
namespace {

using sim::TTargetScript;

using StartUpTest = JobFixture;

TTargetScript NotRunning() {
  TTargetScript s;
  s.Running = false;
  return s;
}

TEST_F(StartUpTest, RunningTargetIsNeitherStartedNorAwaitedButRestoredInFront) {
  TTargetScript s;
  s.OpenAtStart = {"得意先台帳 (新規)"};
  Start(s);
  Desktop.Window(Target->Main).Visible = false;  // minimized or hidden: no visibility wait
  Desktop.Files.clear();                          // an invalid path does no harm
  RunJob({"td"});
  EXPECT_EQ(Desktop.Count("FileExists"), 0);
  EXPECT_EQ(Desktop.Count("ShellExecuteA"), 0);
  EXPECT_EQ(Desktop.CountSearches("Hanbai15Main"), 1);
  EXPECT_EQ(Desktop.Count("IsWindowVisible"), 1);  // the lookup dialog's, in a single-screen job
  EXPECT_EQ(Desktop.Count("SetForegroundWindow"), 1);
  ASSERT_EQ(Desktop.Count("SendMessageA"), 1);
  const sim::TCall restore = *std::find_if(Desktop.Calls.begin(), Desktop.Calls.end(),
                                           [](const sim::TCall& c) { return c.Op == "SendMessageA"; });
  EXPECT_EQ(restore.Window, Target->Main);
  EXPECT_EQ(restore.Message, wm::SysCommand);
  EXPECT_EQ(restore.WParam, ScRestore);
  EXPECT_EQ(TimeOf("GetMenu"), 100u);  // the pause after the restore, nothing else
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartUpTest, StartedTargetGoesThroughTheChecksInTheirFixedOrder) {
  Start(NotRunning());
  RunJob({"td"});
  std::vector<std::string> ops = Ops();
  ops.erase(std::find(ops.begin(), ops.end(), "GetMenu") + 1, ops.end());
  ops.erase(std::unique(ops.begin(), ops.end()), ops.end());
  const std::vector<std::string> expected = {
      "CreateMutexA", "MsgWaitForMultipleObjects", "FindWindowExA", "FileExists", "ShellExecuteA", "FindWindowExA", "Sleep",
      "FindWindowExA", "Sleep", "FindWindowExA", "Sleep", "FindWindowExA", "Sleep",
      "FindWindowExA", "Sleep", "FindWindowExA", "Sleep",  // appears at 1000 ms
      "IsWindowVisible", "GetWindowThreadProcessId", "GetTokenIntegrityLevel",
      "WaitForInputIdle", "SetForegroundWindow",
      "SendMessageA", "Sleep", "MonitorFromWindow", "GetMonitorInfoA", "FindWindowExA", "GetMenu"};
  EXPECT_EQ(ops, expected);
  EXPECT_EQ(Desktop.Calls[2].Text, "Hanbai15Main");
  EXPECT_EQ(TimeOf("GetMenu"), 1200u + 100u);
  EXPECT_TRUE(Boxes().empty());
}

struct TStartFailure {
  const char* Name;
  TTargetScript Script;
  bool PathExists;
  std::string Box;
  int MainSearches;  // searches for the main window, step 1 included
  int VisibleTests;  // visibility tests of the main window
  std::uint64_t Time;  // virtual time when the box is shown
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TStartFailure& c, std::ostream* os) { *os << c.Name; }


TTargetScript With(void (*change)(TTargetScript&)) {
  TTargetScript s;
  change(s);
  return s;
}

class StartFailureTest : public JobFixture, public ::testing::WithParamInterface<TStartFailure> {};

TEST_P(StartFailureTest, ShowsItsOwnMessageAndTriesNothingAfterIt) {
  const TStartFailure& c = GetParam();
  Start(c.Script);
  if (!c.PathExists) Desktop.Files.clear();
  RunJob({"td"});
  EXPECT_EQ(Boxes(), std::vector<std::string>{c.Box});
  EXPECT_EQ(Desktop.CountSearches("Hanbai15Main"), c.MainSearches);
  EXPECT_EQ(Desktop.Count("IsWindowVisible"), c.VisibleTests);
  EXPECT_EQ(TimeOf("ShowErrorBox"), c.Time);
  EXPECT_EQ(Desktop.Posts().size(), 0u);
  EXPECT_EQ(Desktop.Count("ShowErrorBox"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, StartFailureTest,
    ::testing::Values(
        TStartFailure{"InvalidPath", NotRunning(), false,
                      "外部接続画面で設定されている弥生販売のパスが無効です。", 1, 0, 0},
        TStartFailure{"NeverAppears",
                      With([](TTargetScript& s) { s.Running = false; s.AppearAfter.reset(); }),
                      true, "弥生販売を起動できませんでした。", 1 + 75, 0, 75 * 200},
        TStartFailure{"AppearsTooLate",
                      With([](TTargetScript& s) { s.Running = false; s.AppearAfter = 15000; }),
                      true, "弥生販売を起動できませんでした。", 1 + 75, 0, 75 * 200},
        TStartFailure{"StaysHidden",
                      With([](TTargetScript& s) { s.Running = false; s.ShowAfter.reset(); }),
                      true, NotStarted + "メインウィンドウの表示不可)", 1 + 6, 500,
                      1200 + 499 * 10},
        TStartFailure{"NoMdiClient", With([](TTargetScript& s) { s.MdiClient = false; }), true,
                      NotStarted + "MDIClientの取得不可)", 1, 0, 100},
        TStartFailure{"NoMenu", With([](TTargetScript& s) { s.Menu = false; }), true,
                      NotStarted + "メニューの取得不可)", 1, 0, 100}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(StartUpTest, NoMdiClientMeansTheMenuIsNotExamined) {
  TTargetScript s;
  s.MdiClient = false;
  s.Menu = false;
  Start(s);
  RunJob({"td"});
  EXPECT_EQ(Desktop.Count("GetMenu"), 0);
  EXPECT_EQ(Boxes(), std::vector<std::string>{NotStarted + "MDIClientの取得不可)"});
}

TEST_F(StartUpTest, MainWindowShownLateIsAwaitedTestByTest) {
  TTargetScript s = NotRunning();
  s.AppearAfter = 0;
  s.ShowAfter = 295;
  Start(s);
  RunJob({"td"});
  // Tests at 200, 210, ... 290 fail; the one at 300 succeeds.
  EXPECT_EQ(TimeOf("GetWindowThreadProcessId"), 300u);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartUpTest, BusyTargetCostsTheIdleLimitAndTheJobGoesOn) {
  TTargetScript s;
  s.BusyMs = 20000;
  Start(s);
  RunJob({"td"});
  EXPECT_EQ(TimeOf("SetForegroundWindow"), 15000u);
  ASSERT_EQ(Target->Searches.size(), 1u);
  EXPECT_EQ(Target->Searches[0].Text, "0312345678");
}

}  // namespace
}  // namespace pelmora
