// pelmora-check on the simulated desktop: the verdict for each kind of thing at a point, the
// report's point lines, and each screen checked as the job would work it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "automation/settings_file.h"
#include "automation/teach.h"
#include "tests/sim_check.h"
#include "tests/sim_target.h"

namespace pelmora {
namespace {

using sim::TargetProcess;
const std::string TdNew = "得意先台帳 (新規)";

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (const char c : line) {
    if (c == '\t') fields.emplace_back(); else fields.back().push_back(c);
  }
  return fields;
}

TEST(CheckTest, EachKindOfThingAtAPointGetsItsVerdict) {
  sim::TSimDesktop d;  // one 1920x1080 monitor
  const TWindow main = d.AddWindow(0, "Hanbai15Main", "弥生販売", {0, 0, 1200, 900}, TargetProcess);
  const TWindow mdi = d.AddWindow(main, "MDIClient", "", {4, 60, 1196, 896}, TargetProcess);
  const TWindow screen = d.AddWindow(mdi, "TScreen", TdNew, {10, 70, 810, 670}, TargetProcess);
  d.AddWindow(screen, "Edit", "", {150, 180, 300, 200}, TargetProcess);
  d.AddWindow(mdi, "TScreen", "得意先元帳", {500, 400, 1100, 800}, TargetProcess);
  d.AddWindow(0, "#32770", "確認", {900, 100, 1100, 200}, TargetProcess);
  d.AddWindow(0, "Notepad", "memo", {1300, 100, 1500, 300}, sim::ForeignProcess);
  d.Monitors.push_back({0, 1080, 1920, 2160}), d.Scales = {100, 200};  // seen 960x540 below
  const struct {
    const char* Fault;
    TPoint At;
    TSpot Spot;
  } cases[] = {
      {"a control of the screen not OK", {160, 190}, TSpot::Control},
      {"the screen's bare surface taken for a control", {20, 100}, TSpot::Surface},
      {"another screen over the point taken for this one", {600, 500}, TSpot::OtherScreen},
      {"a question of the target's taken for the screen", {950, 150}, TSpot::TargetBox},
      {"the target's toolbar taken for the screen", {50, 30}, TSpot::TargetMain},
      {"another program's window taken for the target's", {1400, 200}, TSpot::OtherProgram},
      {"the bare desktop taken for a window", {1600, 1000}, TSpot::Nothing},
      {"a point right of the monitor looked up", {1920, 500}, TSpot::OffMonitor},
      {"a point above the monitor looked up", {100, -1}, TSpot::OffMonitor},
      {"a point in the gap beside a monitor scaled unlike looked up", {1500, 1300}, TSpot::OffMonitor},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JudgePoint(d, {main, mdi, TargetProcess}, screen, c.At).Spot, c.Spot) << c.Fault;
  }
}

TEST(CheckTest, EachPointIsOneLineOfFiveTabSeparatedFields) {
  const struct {
    const char* Fault;
    TPointLine Line;
    std::vector<std::string> Want;
  } cases[] = {
      {"an OK point misreported", {"td", "wide", {198, 196}, TPointState::Ok, "Edit"}, {"td", "wide", "198,196", "OK", "Edit"}},
      {"a monitor left of the primary gives wrapped numbers", {"ud", "click2", {-1705, -20}, TPointState::Ng, "x"},
       {"ud", "click2", "-1705,-20", "NG", "x"}},
      {"a title holding a tab or a line end splits the line", {"tm", "narrow", {5, 6}, TPointState::Ng, "a\tb\r\nc"},
       {"tm", "narrow", "5,6", "NG", "a b  c"}},
      {"a point not looked at shown with a point", {"td", "click3", {}, TPointState::Skip, "-"}, {"td", "click3", "-", "SKIP", "-"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Fields(FormatPointLine(c.Line)), c.Want) << c.Fault;
}

// The edit at td's point hands the focus its click gives to a control inside it, or beside it.
auto FocusTo(bool inside) {
  return [inside](sim::TSimDesktop& d, sim::TSimTarget& t) {
    const TWindow screen = t.ScreenWindow(TdNew), edit = d.FindWindowExA(screen, "Edit", nullptr);
    d.Window(edit).FocusTo = d.AddWindow(inside ? edit : screen, "Edit", "", {400, 400, 420, 410}, TargetProcess);
  };
}

// The check of each screen as the job would work it: the verdicts in order, the F8s sent
// and the exit code. The simulated target's screens have a bare surface at their points
// unless an edit is put there.
TEST(CheckTest, EachScreenIsJudgedAndClickedAsTheJobWouldWorkIt) {
  using TScreen = sim::TScreenScript;
  const struct {
    const char* Fault;
    std::vector<std::string> Codes;
    std::function<void(TScreen&)> Screen;  // td's
    std::function<void(sim::TSimDesktop&, sim::TSimTarget&)> Desktop;
    int Exit;
    std::string States;  // each point's first letter: OK, NG, SKIP
    int F8s;
    int Clicks = -1;  // -1: not counted
  } cases[] = {
      {"the screen's bare surface judged OK, or F8 sent after an NG point", {"td"}, nullptr, nullptr, 1, "NSSS", 0},
      {"the lookup's points judged against the screen, or its field's point clicked", {"td"}, [](TScreen& s) { s.ControlAtClick = true; }, nullptr, 0, "OOOO", 1, 3},
      {"the lookup's bare surface at its second point clicked", {"td"}, [](TScreen& s) { s.ControlAtClick = s.BareSecond = true; }, nullptr, 1, "OONO", 1, 2},
      {"the focus the screen point's control hands inward not counted", {"td"}, [](TScreen& s) { s.ControlAtClick = true; }, FocusTo(true), 0, "OOOO", 1},
      {"a focus anywhere in the screen counted as the point's", {"td"}, [](TScreen& s) { s.ControlAtClick = true; }, FocusTo(false), 1, "NSSS", 0},
      {"a list the first lookup point dropped not judged as the lookup's",
       {"td"}, [](TScreen& s) { s.ControlAtClick = s.KindList = true; }, nullptr, 0, "OOOO", 1},
      {"a screen point whose control takes no focus judged OK", {"td"}, [](TScreen& s) { s.ControlAtClick = true; },
       [](sim::TSimDesktop& d, sim::TSimTarget& t) { d.Window(d.FindWindowExA(t.ScreenWindow(TdNew), "Edit", nullptr)).TakesFocus = false; }, 1, "NSSS", 0},
      {"a screen point the job's click would not reach judged OK", {"td"}, [](TScreen& s) { s.ControlAtClick = true; },
       [](sim::TSimDesktop& d, sim::TSimTarget&) { d.InputBlocked = true; }, 1, "NSSS", 0},
      {"exit code 0 with skipped points", {"xx"}, nullptr, nullptr, 1, "SSSS", 0},
      {"exit code 0 with no screen code given", {}, nullptr, nullptr, 1, "", 0},
      {"the check going on after its wait for the job lock timed out, or publishing an end as it gave up", {"td"}, [](TScreen& s) { s.ControlAtClick = true; },
       [](sim::TSimDesktop& d, sim::TSimTarget&) { d.OtherJobUntil = UINT64_MAX; }, 2, "", 0},
      // The lookup's first button keeps the mouse: its click is never taken, and the points
      // after it are judged as they lie.
      {"a lookup point whose click was refused reported OK", {"td"}, [](TScreen& s) { s.ControlAtClick = true; },
       [](sim::TSimDesktop& d, sim::TSimTarget&) {
         d.OnClick = [&d, click = d.OnClick](TWindow w) { click(w), d.Capture[TargetProcess] = d.Window(w).Class == "Button" ? w : 0; };
       }, 1, "ONOO", 1},
  };
  for (const auto& c : cases) {
    sim::TSimDesktop d;
    sim::TTargetScript script;
    script.OpenAtStart = {TdNew};
    if (c.Screen) c.Screen(script.Screens[TdNew]);
    sim::TSimTarget target(d, script);
    if (c.Desktop) c.Desktop(d, target);
    sim::TSimCheckSystem cs(d);
    TTrace off;
    const TSettings settings;
    TJob job{sim::TargetPath, c.Codes, "", "", 0.0};
    const TCheckResult result = RunCheck({d, off, 1, settings.Table}, cs, settings, job, "C:\\out\\");
    std::string states;
    for (const TPointLine& line : result.Points) states += "ONS"[static_cast<int>(line.State)];
    const auto posts = d.Posts();
    EXPECT_EQ(result.ExitCode, c.Exit) << c.Fault;
    EXPECT_EQ(states, c.States) << c.Fault;
    EXPECT_EQ(std::count_if(posts.begin(), posts.end(), [](const sim::TCall& p) { return p.Message == wm::KeyDown && p.WParam == vk::F8; }), c.F8s) << c.Fault;
    EXPECT_TRUE(c.Exit != CheckNothingDone || d.SharedValues.empty()) << c.Fault;
    EXPECT_TRUE(c.Clicks < 0 || d.Clicks.size() == static_cast<std::size_t>(c.Clicks)) << c.Fault;
  }
}

// Each end the check publishes stands till it publishes the next, and it clears the last.
TEST(CheckTest, EachEndTheCheckPublishesStandsTillTheNext) {
  const struct {
    const char* Fault;
    std::vector<std::string> Codes;
    int Patience;
    std::uint32_t LastAfterMs;  // the last end cleared this late at least
    void (*Set)(sim::TSimDesktop&, sim::TTargetScript&);
  } cases[] = {
      // The start held by the shell till 2 s before the end first published; a job waiting behind goes on meanwhile.
      {"the end not published again before each screen", {"td", "ud"}, 1, 0, [](sim::TSimDesktop& d, sim::TTargetScript&) {
         d.OnShellExecute = [&d](const std::string&) { d.Pause(d.SharedValue - d.GetTickCount() - 2000); }; }},
      // The session locked ten minutes, the target slow to appear and show, never idle nor answering.
      {"the idle time-out's patience left out of the end", {}, 10, 950000, [](sim::TSimDesktop& d, sim::TTargetScript& s) {
         d.Lock(true), d.At(599000, [&d] { d.Lock(false); }), s.AppearAfter = 149000, s.ShowAfter = 49000, s.BusyMs = 1 << 30; }},
  };
  for (const auto& c : cases) {
    sim::TSimDesktop d;
    sim::TTargetScript script;
    script.Running = false;
    c.Set(d, script);
    sim::TSimTarget target(d, script);
    sim::TSimCheckSystem cs(d);
    TTrace off;
    TJob job{sim::TargetPath, c.Codes, "", "", 0.0};
    EXPECT_EQ(RunCheck({d, off, c.Patience, BuiltInTable()}, cs, TSettings(), job, "C:\\out\\").Points.size(), 4 * c.Codes.size()) << c.Fault;
    const auto& ends = d.SharedValues;
    for (std::size_t i = 1; i < ends.size(); ++i) EXPECT_LE(d.TickBase + ends[i].first, ends[i - 1].second) << c.Fault;
    EXPECT_EQ(ends.back().second, 0u) << c.Fault;
    EXPECT_GT(ends.back().first, c.LastAfterMs) << c.Fault;
  }
}

// Run as administrator, the check would start the target elevated, and every later job be
// refused as of lower rights: it asks for the target started normally and starts nothing.
// With UAC off every program runs at that level: refusing there was the fault.
TEST(CheckTest, ElevatedCheckStartsNoTarget) {
  for (const bool uacOff : {false, true}) {
    sim::TSimDesktop d;
    d.IntegrityLevels[0] = 0x3000, d.Files.insert(sim::TargetPath), d.UacOff = uacOff;
    sim::TSimCheckSystem cs(d);
    TTrace off;
    TJob job;
    job.InstallPath = sim::TargetPath, job.ScreenCodes = {"td"};
    const TCheckResult result = RunCheck({d, off, 1, BuiltInTable()}, cs, TSettings{}, job, "C:\\Temp\\");
    EXPECT_EQ(result.Failure == msg::StartNormallyFirst, !uacOff);
    EXPECT_EQ(d.Count("ShellExecuteA"), uacOff ? 1 : 0);
  }
}

}  // namespace
}  // namespace pelmora
