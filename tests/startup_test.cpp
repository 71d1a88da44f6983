#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

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
      "CreateMutexA", "MsgWaitForMultipleObjects", "GetInputDesktopName",
      "WTSQuerySessionInformationW", "RtlGetVersion", "FindWindowExA", "FileExists", "ShellExecuteA", "FindWindowExA", "Sleep",
      "FindWindowExA", "Sleep", "FindWindowExA", "Sleep", "FindWindowExA", "Sleep",
      "FindWindowExA", "Sleep", "FindWindowExA", "Sleep",  // appears at 1000 ms
      "IsWindowVisible", "GetWindowThreadProcessId", "GetTokenIntegrityLevel",
      "WaitForInputIdle", "SetForegroundWindow",
      "SendMessageA", "Sleep", "GetForegroundWindow", "GetWindowThreadProcessId",
      "GetDeviceCaps", "FindWindowExA", "GetMenu"};
  EXPECT_EQ(ops, expected);
  EXPECT_EQ(Desktop.Calls[5].Text, "Hanbai15Main");
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

TEST_F(StartUpTest, MeasuresTheDisplayAsWidthOverHeight) {
  Desktop.Width = 1920;
  Desktop.Height = 1200;
  RunJob({"td"});
  EXPECT_DOUBLE_EQ(Job.AspectRatio, 1.6);
  Desktop.Width = 1024;
  Desktop.Height = 768;
  RunJob({"td"});
  EXPECT_DOUBLE_EQ(Job.AspectRatio, 1024.0 / 768.0);
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

// Another program covering the whole display is in front, as when the user works in it.
void UserWorksElsewhere(sim::TSimDesktop& d) {
  d.Foreground = d.AddWindow(0, "XLMAIN", "Book1", {0, 0, 1920, 1080}, sim::ForeignProcess);
}

struct TFrontCase {
  const char* Name;
  std::function<void(sim::TSimDesktop&, sim::TSimTarget&)> Desktop;
  bool InFront;  // the target's process holds the foreground after the job
  int EmptyInputs;
  int AttachCalls;  // attaching and detaching
  std::size_t Searches;
};
void PrintTo(const TFrontCase& c, std::ostream* os) { *os << c.Name; }

class FrontTest : public JobFixture, public ::testing::WithParamInterface<TFrontCase> {};

TEST_P(FrontTest, TargetComesInFrontByTheFirstStepThatWorks) {
  const TFrontCase& c = GetParam();
  Start();
  c.Desktop(Desktop, *Target);
  RunJob({"td"});
  const TWindow front = Desktop.GetForegroundWindow();
  EXPECT_EQ(front != 0 && Desktop.Window(front).Process == sim::TargetProcess, c.InFront);
  EXPECT_EQ(Desktop.Count("SendInput"), c.EmptyInputs);
  EXPECT_EQ(Desktop.Count("AttachThreadInput"), c.AttachCalls);
  EXPECT_EQ(Desktop.AttachedInputs(), 0);
  EXPECT_EQ(Target->Searches.size(), c.Searches);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FrontTest,
    ::testing::Values(
        TFrontCase{"ThisProgramInFront",
                   [](sim::TSimDesktop& d, sim::TSimTarget&) {
                     d.Foreground = d.AddWindow(0, "TfrmPelmora", "Pelmora", {764, 23, 1060, 200}, d.ProcessId);
                   },
                   true, 0, 0, 1},
        // A main window owning a visible message box hands it the foreground.
        TFrontCase{"TargetShowsAMessageBox",
                   [](sim::TSimDesktop& d, sim::TSimTarget& t) {
                     d.Window(d.AddWindow(0, "#32770", "確認", {1300, 900, 1600, 1000}, sim::TargetProcess)).Owner = t.Main;
                   },
                   true, 0, 0, 1},
        TFrontCase{"BehindAnotherProgram", [](sim::TSimDesktop& d, sim::TSimTarget&) { UserWorksElsewhere(d); },
                   true, 1, 0, 1},
        // The program in front runs elevated: the empty input is not inserted.
        TFrontCase{"InputToThatProgramBlocked",
                   [](sim::TSimDesktop& d, sim::TSimTarget&) {
                     UserWorksElsewhere(d);
                     d.InputBlocked = true;
                   },
                   true, 1, 4, 1},
        TFrontCase{"ThatProgramHung",
                   [](sim::TSimDesktop& d, sim::TSimTarget&) {
                     UserWorksElsewhere(d);
                     d.InputBlocked = true;
                     d.Hung.insert(sim::ForeignProcess);
                   },
                   false, 1, 0, 0},
        // Locked for a moment while the target is brought in front: no step works, every
        // attachment is undone, and the target raised by the last step takes the clicks.
        TFrontCase{"LockedForAMomentMeanwhile",
                   [](sim::TSimDesktop& d, sim::TSimTarget&) {
                     UserWorksElsewhere(d);
                     d.At(50, [&d] { d.Lock(true); });
                     d.At(150, [&d] { d.Lock(false); });
                   },
                   false, 1, 4, 1}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TSessionCase {
  const char* Name;
  std::function<void(sim::TSimDesktop&)> Session;
  std::uint64_t StartsAt;  // virtual time the start-up begins
  std::string Box;
};
void PrintTo(const TSessionCase& c, std::ostream* os) { *os << c.Name; }

class SessionTest : public JobFixture, public ::testing::WithParamInterface<TSessionCase> {};

TEST_P(SessionTest, WaitsTouchingNothingUntilTheSessionTakesInput) {
  const TSessionCase& c = GetParam();
  Start();
  c.Session(Desktop);
  RunJob({"td"});
  EXPECT_EQ(Boxes(), c.Box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Box});
  EXPECT_EQ(Target->Searches.size(), c.Box.empty() ? 1u : 0u);
  // Nothing reaches the target, and nothing blocks this program's window, before the start.
  for (const sim::TCall& call : Desktop.Calls) {
    for (const char* op : {"FindWindowExA", "PostMessageA", "SendMessageA", "SendInput", "mouse_event",
                           "SetCursorPos", "SetForegroundWindow", "ShellExecuteA", "Sleep"}) {
      if (call.Op == op) {
        EXPECT_GE(call.At, c.StartsAt) << op;
      }
    }
  }
  if (c.Box.empty()) {
    EXPECT_EQ(TimeOf("FindWindowExA"), c.StartsAt);
  }
}

const std::string Locked = "画面がロックされていたため、弥生販売を操作できませんでした。電話番号は入力していません。";

INSTANTIATE_TEST_SUITE_P(
    Sessions, SessionTest,
    ::testing::Values(
        TSessionCase{"LockedThenUnlocked",
                     [](sim::TSimDesktop& d) {
                       d.Lock(true);
                       d.At(20000, [&d] { d.Lock(false); });
                     },
                     20000, ""},
        TSessionCase{"UnlockedBetweenTwoTests",
                     [](sim::TSimDesktop& d) {
                       d.Lock(true);
                       d.At(1200, [&d] { d.Lock(false); });
                     },
                     1500, ""},
        TSessionCase{"WinlogonDesktopInput",
                     [](sim::TSimDesktop& d) {
                       d.InputDesktop = "Winlogon";
                       d.At(3000, [&d] { d.InputDesktop = "Default"; });
                     },
                     3000, ""},
        TSessionCase{"LockedAsOnlyTheSessionTells",
                     [](sim::TSimDesktop& d) {
                       d.Locked = true;
                       d.At(1000, [&d] { d.Locked = false; });
                     },
                     1000, ""},
        TSessionCase{"Windows7Unlocked", [](sim::TSimDesktop& d) { d.Version = {6, 1}; }, 0, ""},
        TSessionCase{"Windows7Locked",
                     [](sim::TSimDesktop& d) {
                       d.Version = {6, 1};
                       d.Locked = true;
                       d.At(1500, [&d] { d.Locked = false; });
                     },
                     1500, ""},
        TSessionCase{"Disconnected",
                     [](sim::TSimDesktop& d) {
                       d.Disconnected = true;
                       d.At(2000, [&d] { d.Disconnected = false; });
                     },
                     2000, ""},
        TSessionCase{"SessionCannotBeAsked",
                     [](sim::TSimDesktop& d) {
                       d.SessionQueryable = false;
                       d.Locked = true;
                     },
                     0, ""},
        TSessionCase{"LockedPastTheBound", [](sim::TSimDesktop& d) { d.Lock(true); }, 60000, Locked}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmora
