#include <gtest/gtest.h>

#include <algorithm>

#include "automation/messages.h"
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
  EXPECT_TRUE(Desktop.Window(Target->Main).Visible);  // restored
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
      "GetACP", "CreateMutexA", "OpenSharedValue", "GetTickCount", "WaitForLockOrQuit", "GetTickCount",
      "GetInputDesktopName", "WTSQuerySessionInformationW", "RtlGetVersion", "FindWindowExA", "FileExists",
      "FindSessionProcessStartedFrom", "ShellExecuteA", "FindWindowExA", "Pause",
      "FindWindowExA", "Pause", "FindWindowExA", "Pause", "FindWindowExA", "Pause",
      "FindWindowExA", "Pause", "FindWindowExA", "Pause",  // appears at 1000 ms
      "IsWindowVisible", "GetWindowThreadProcessId", "GetTokenIntegrityLevel",
      "WaitForProcessIdle", "SetForegroundWindow",
      "SendMessageTimeoutA", "Pause", "GetForegroundWindow", "GetWindowThreadProcessId",
      "MonitorFromWindow", "GetMonitorInfoA", "FindWindowExA", "GetMenu"};
  EXPECT_EQ(ops, expected);
  EXPECT_EQ(Desktop.Calls[10].Text, "Hanbai15Main");
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
        // Without an MDI client the menu is not examined.
        TStartFailure{"NoMdiClient", With([](TTargetScript& s) { s.MdiClient = false; s.Menu = false; }), true,
                      NotStarted + "MDIClientの取得不可)", 1, 0, 100},
        TStartFailure{"NoMenu", With([](TTargetScript& s) { s.Menu = false; }), true,
                      NotStarted + "メニューの取得不可)", 1, 0, 100},
        // Busy past the idle limit, it does not answer the restore either.
        TStartFailure{"NotAnswering", With([](TTargetScript& s) { s.BusyMs = 3600000; }), true,
                      "弥生販売が応答しないため、電話番号を入力できませんでした。", 1, 0, 15000 + 5000}),
    [](const auto& info) { return std::string(info.param.Name); });

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

namespace pelmora {
namespace {

// The program in front when the job starts, and what the desktop does meanwhile.
enum class TFront { None, ThisProgram, Other, OtherBlocked, OtherHung, OtherLockedMeanwhile };

struct TFrontCase {
  const char* Name;
  TFront Front;
  bool MessageBox;  // the target's main window owns a visible message box
  bool InFront;     // the target's process holds the foreground after the job
  int EmptyInputs, AttachCalls;  // attaching and detaching both counted
  std::size_t Searches;
};
void PrintTo(const TFrontCase& c, std::ostream* os) { *os << c.Name; }

class FrontTest : public JobFixture, public ::testing::WithParamInterface<TFrontCase> {};

TEST_P(FrontTest, TargetComesInFrontByTheFirstStepThatWorks) {
  const TFrontCase& c = GetParam();
  Start();
  if (c.MessageBox) {
    Desktop.Window(Desktop.AddWindow(0, "#32770", "確認", {1300, 900, 1600, 1000}, sim::TargetProcess)).Owner =
        Target->Main;
  }
  if (c.Front == TFront::ThisProgram) {
    Desktop.Foreground = Desktop.AddWindow(0, "TfrmPelmora", "", {764, 23, 1060, 200}, Desktop.ProcessId);
  } else if (c.Front != TFront::None) {  // the user works in a program covering the display
    Desktop.Foreground = Desktop.AddWindow(0, "XLMAIN", "Book1", {0, 0, 1920, 1080}, sim::ForeignProcess);
    if (c.Front == TFront::OtherBlocked || c.Front == TFront::OtherHung) Desktop.Elevated.insert(sim::ForeignProcess);
    if (c.Front == TFront::OtherHung) Desktop.Hung.insert(sim::ForeignProcess);
  }
  if (c.Front == TFront::OtherLockedMeanwhile) {  // while the target is restored
    Desktop.At(50, [this] { Desktop.Lock(true); });
    Desktop.At(150, [this] { Desktop.Lock(false); });
  }
  RunJob({"td"});
  const TWindow front = Desktop.GetForegroundWindow();
  EXPECT_EQ(front != 0 && Desktop.Window(front).Process == sim::TargetProcess, c.InFront);
  EXPECT_EQ(std::count_if(Desktop.Inputs.begin(), Desktop.Inputs.end(),
                          [](const auto& events) { return events.size() == 1 && events[0].Flags == 0; }),
            c.EmptyInputs);
  EXPECT_EQ(Desktop.Count("AttachThreadInput"), c.AttachCalls);
  EXPECT_EQ(Desktop.AttachedInputs(), 0);
  EXPECT_EQ(Target->Searches.size(), c.Searches);
}

// Input to an elevated program in front is blocked. Locked meanwhile, no step works, yet
// the target raised by the last one takes the clicks, and with them the foreground.
INSTANTIATE_TEST_SUITE_P(
    Steps, FrontTest,
    ::testing::Values(TFrontCase{"ThisProgramInFront", TFront::ThisProgram, false, true, 0, 0, 1},
                      TFrontCase{"TargetShowsAMessageBox", TFront::None, true, true, 0, 0, 1},
                      TFrontCase{"BehindAnotherProgram", TFront::Other, false, true, 1, 0, 1},
                      TFrontCase{"InputToThatProgramBlocked", TFront::OtherBlocked, false, true, 1, 4, 1},
                      TFrontCase{"ThatProgramHung", TFront::OtherHung, false, false, 1, 0, 0},
                      TFrontCase{"LockedMeanwhile", TFront::OtherLockedMeanwhile, false, true, 1, 4, 1}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TSessionCase {
  const char* Name;
  std::string Desktop;  // the input desktop's name
  bool Locked, Disconnected, Queryable;
  TOsVersion Version;
  std::uint64_t EndsAt;    // when the session is back as usual
  std::uint64_t StartsAt;  // when the start-up begins; past the bound, the message instead
  std::uint64_t LockedAt = 0;  // locked then, in a td,ud job once td is done; StartsAt: ud goes on
};
void PrintTo(const TSessionCase& c, std::ostream* os) { *os << c.Name; }

class SessionTest : public JobFixture, public ::testing::WithParamInterface<TSessionCase> {};

TEST_P(SessionTest, WaitsTouchingNothingUntilTheSessionTakesInput) {
  const TSessionCase& c = GetParam();
  Start();
  Desktop.InputDesktop = c.Desktop;
  Desktop.Locked = Desktop.InputBlocked = c.Locked;
  Desktop.Disconnected = c.Disconnected;
  Desktop.SessionQueryable = c.Queryable;
  Desktop.Version = c.Version;
  Desktop.At(c.EndsAt, [this] {
    Desktop.Disconnected = false;
    Desktop.Lock(false);
  });
  if (c.LockedAt != 0) Desktop.At(c.LockedAt, [this] { Desktop.Lock(true); });
  RunJob(c.LockedAt != 0 ? std::vector<std::string>{"td", "ud"} : std::vector<std::string>{"td"});
  const bool locked = c.EndsAt == UINT64_MAX;
  EXPECT_EQ(Boxes(), locked ? std::vector<std::string>{msg::ScreenLocked} : std::vector<std::string>{});
  EXPECT_EQ(Target->Searches.size(), (locked ? 0u : 1u) + (c.LockedAt != 0 ? 1u : 0u));
  // Nothing reaches the target, and nothing blocks this program's window, while locked.
  for (const sim::TCall& call : Desktop.Calls) {
    for (const char* op : {"FindWindowExA", "PostMessageA", "SendMessageTimeoutA", "SendInput",
                           "SetForegroundWindow", "ShellExecuteA", "Pause"}) {
      EXPECT_TRUE(call.Op != op || call.At < c.LockedAt || call.At >= c.StartsAt) << op << " at " << call.At;
    }
  }
  if (!locked && c.LockedAt == 0) {
    EXPECT_EQ(TimeOf("FindWindowExA"), c.StartsAt);
  }
}

constexpr TOsVersion Windows10{10, 0}, Windows7{6, 1};
INSTANTIATE_TEST_SUITE_P(
    Sessions, SessionTest,
    ::testing::Values(TSessionCase{"LockedThenUnlocked", "", true, false, true, Windows10, 20000, 20000},
                      TSessionCase{"UnlockedBetweenTwoTests", "", true, false, true, Windows10, 1200, 1500},
                      TSessionCase{"WinlogonDesktopInput", "Winlogon", false, false, true, Windows10, 3000, 3000},
                      TSessionCase{"LockedAsOnlyTheSessionTells", "Default", true, false, true, Windows10, 1000, 1000},
                      TSessionCase{"Windows7Unlocked", "Default", false, false, true, Windows7, 0, 0},
                      TSessionCase{"Windows7Locked", "Default", true, false, true, Windows7, 1500, 1500},
                      TSessionCase{"Disconnected", "Default", false, true, true, Windows10, 2000, 2000},
                      TSessionCase{"SessionCannotBeAsked", "Default", false, false, false, Windows10, 0, 0},
                      TSessionCase{"LockedPastTheBound", "", true, false, true, Windows10, UINT64_MAX, 60000},
                      TSessionCase{"LockedAfterTheFirstScreen", "Default", false, false, true, Windows10, 21000, 21250, 1200},
                      TSessionCase{"LockedAfterTheFirstScreenPastTheBound", "Default", false, false, true, Windows10,
                                   UINT64_MAX, UINT64_MAX, 1200}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmora
