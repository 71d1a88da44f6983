// pelmora-check on the simulated desktop: what each kind of thing at a point is judged, the
// report's point lines, a check of a whole screen, and the offsets a teach takes.
#include <gtest/gtest.h>

#include <functional>

#include "automation/teach.h"
#include "automation/settings.h"
#include "tests/sim_target.h"
#include "tests/sim_check.h"

namespace pelmora {
namespace {

using sim::TargetProcess;
using sim::ForeignProcess;
const std::string TdNew = "得意先台帳 (新規)";

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (const char c : line) {
    if (c == '\t') fields.emplace_back(); else fields.back() += c;
  }
  return fields;
}

class CheckTest : public ::testing::Test {
 protected:
  sim::TSimDesktop Desktop;
  TScreenTable Table = BuiltInTable();
};

// A target drawn by hand: a screen with one control, another screen, a question of its own,
// and another program beside it, on one 1920x1080 monitor.
struct TSpotCase {
  const char* Fault;
  TPoint At;
  TSpot Spot;
};

TEST_F(CheckTest, EachKindOfThingAtAPointGetsItsVerdict) {
  const TWindow main = Desktop.AddWindow(0, "Hanbai15Main", "弥生販売", {0, 0, 1200, 900}, TargetProcess);
  const TWindow mdi = Desktop.AddWindow(main, "MDIClient", "", {4, 60, 1196, 896}, TargetProcess);
  const TWindow screen = Desktop.AddWindow(mdi, "TScreen", TdNew, {10, 70, 810, 670}, TargetProcess);
  Desktop.AddWindow(screen, "Edit", "", {150, 180, 300, 200}, TargetProcess);
  Desktop.AddWindow(mdi, "TScreen", "得意先元帳", {500, 400, 1100, 800}, TargetProcess);
  Desktop.AddWindow(0, "#32770", "確認", {900, 100, 1100, 200}, TargetProcess);
  Desktop.AddWindow(0, "Notepad", "memo", {1300, 100, 1500, 300}, ForeignProcess);
  const TTarget target{main, mdi, TargetProcess};
  const TSpotCase cases[] = {
      {"a control of the screen not taken as OK", {160, 190}, TSpot::Control},
      {"the screen's bare surface taken as OK", {20, 100}, TSpot::Surface},
      {"another screen over the point taken as this one", {600, 500}, TSpot::OtherScreen},
      {"a question of the target's taken as the screen", {950, 150}, TSpot::TargetBox},
      {"the target's own toolbar taken as the screen", {50, 30}, TSpot::TargetMain},
      {"another program's window taken as the target's", {1400, 200}, TSpot::OtherProgram},
      {"the bare desktop taken as a window", {1600, 1000}, TSpot::Nothing},
      {"a point right of the monitor looked up at all", {1920, 500}, TSpot::OffMonitor},
      {"a point above the monitor looked up at all", {100, -1}, TSpot::OffMonitor},
  };
  for (const TSpotCase& c : cases) {
    EXPECT_EQ(JudgePoint(Desktop, target, screen, c.At).Spot, c.Spot) << c.Fault;
  }
}

struct TLineCase {
  const char* Fault;
  TPointLine Line;
  std::vector<std::string> Want;  // the five fields; the last one's start
};

TEST_F(CheckTest, EachPointIsOneLineOfFiveTabSeparatedFields) {
  const TLineCase cases[] = {
      {"OK point misreported", {"td", "wide", {198, 196}, TPointState::Ok, "Edit"},
       {"td", "wide", "198,196", "OK", "Edit"}},
      {"a monitor left of the primary gives wrapped numbers", {"ud", "click2", {-1705, -20}, TPointState::Ng, "x"},
       {"ud", "click2", "-1705,-20", "NG", "x"}},
      {"a title holding a tab or a line end splits the line", {"tm", "narrow", {5, 6}, TPointState::Ng, "a\tb\r\nc"},
       {"tm", "narrow", "5,6", "NG", "a b  c"}},
      {"a point not looked at shown as OK", {"td", "click3", {}, TPointState::Skip, "none"},
       {"td", "click3", "-", "SKIP", "none"}},
  };
  for (const TLineCase& c : cases) {
    const std::string line = FormatPointLine(c.Line);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << c.Fault;
    EXPECT_EQ(Fields(line), c.Want) << c.Fault;
  }
}

struct TCheckCase {
  const char* Fault;
  bool Control;        // a control lies under td's screen point
  bool Running;        // the target runs (else its path is invalid)
  int Exit;
  std::vector<std::string> States;  // per line
  std::size_t Pictures;
};

TEST_F(CheckTest, AScreenIsCheckedAsTheJobWouldWorkItTypingNothing) {
  const TCheckCase cases[] = {
      {"a good layout not all OK, or the lookup left open", true, true, 0, {"OK", "OK", "OK", "OK"}, 2},
      {"F8 sent though the screen point hits no control", false, true, 1, {"NG", "SKIP", "SKIP", "SKIP"}, 1},
      {"no target still reported as checked", true, false, 2, {}, 0},
  };
  for (const TCheckCase& c : cases) {
    sim::TSimDesktop desktop;
    sim::TTargetScript script;
    script.Running = c.Running;
    script.AppearAfter = std::nullopt;
    script.OpenAtStart = {TdNew};
    sim::TSimTarget target(desktop, script);
    if (c.Control) {
      if (const TWindow screen = target.ScreenWindow(TdNew)) {
        desktop.AddWindow(screen, "Edit", "", {150, 180, 300, 220}, TargetProcess);
      }
    }
    sim::TSimCheckSystem cs(desktop);
    TTrace off;
    const TRun run{desktop, off, 1, Table};
    TJob job;
    job.InstallPath = "C:\\nowhere\\Hanbai.exe";
    job.ScreenCodes = {"td"};
    const TCheckResult result = RunCheck(run, cs, TSettings{}, job, "C:\\out\\");
    EXPECT_EQ(result.ExitCode, c.Exit) << c.Fault;
    std::vector<std::string> states;
    for (const TPointLine& line : result.Points) states.push_back(Fields(FormatPointLine(line))[3]);
    EXPECT_EQ(states, c.States) << c.Fault;
    EXPECT_EQ(cs.Pictures.size(), c.Pictures) << c.Fault;
    for (const sim::TCall& post : desktop.Posts()) EXPECT_NE(post.Message, wm::Char) << c.Fault;
    EXPECT_TRUE(target.Dialog == 0 || !desktop.Window(target.Dialog).Alive) << c.Fault;
    // The report: the context lines first, every line ended by CR LF.
    const std::string report = cs.Files["C:\\out\\pelmora-check.txt"];
    EXPECT_EQ(report.substr(0, 2), "# ") << c.Fault;
    EXPECT_EQ(report.substr(report.size() - 2), "\r\n") << c.Fault;
  }
}

// The teach on the simulated target: its screen at (10,70) with a control at (150..300,
// 180..220), the lookup F8 opens at (600,300), 400x260.
struct TTeachCase {
  const char* Fault;
  std::vector<sim::TScriptedClick> Clicks;
  TTeachEnd End;
  int Refused;  // clicks said not to be taken
  TOffset Screen;
  std::array<TOffset, 3> Lookup;
};

TEST_F(CheckTest, TheTeachTakesOffsetsFromClicksInsideTheWindowMeantOnly) {
  const sim::TScriptedClick inLookup[] = {{20000, {720, 335}}, {21000, {700, 475}}, {22000, {660, 418}}};
  const TTeachCase cases[] = {
      {"offsets not taken from the outer corners", {{9000, {160, 190}}, inLookup[0], inLookup[1], inLookup[2]},
       TTeachEnd::Taught, 0, {150, 120}, {{{120, 35}, {100, 175}, {60, 118}}}},
      {"a click outside the screen or the lookup taken",
       {{5000, {1500, 500}}, {9000, {160, 190}}, {15000, {1100, 335}}, inLookup[0], inLookup[1], inLookup[2]},
       TTeachEnd::Taught, 2, {150, 120}, {{{120, 35}, {100, 175}, {60, 118}}}},
      {"Esc not ending the teach", {{9000, {0, 0}, true}}, TTeachEnd::Cancelled, 0, {}, {}},
      {"the wait for a click unbounded", {{9000, {160, 190}}}, TTeachEnd::TimedOut, 0, {}, {}},
  };
  for (const TTeachCase& c : cases) {
    sim::TSimDesktop desktop;
    sim::TTargetScript script;
    script.OpenAtStart = {TdNew};
    sim::TSimTarget target(desktop, script);
    desktop.AddWindow(target.ScreenWindow(TdNew), "Edit", "", {150, 180, 300, 220}, TargetProcess);
    sim::TSimCheckSystem cs(desktop);
    cs.Clicks = c.Clicks;
    TTrace off;
    const TRun run{desktop, off, 1, Table};
    TJob job;
    job.ScreenCodes = {"td"};
    int refused = 0;
    const TTeachResult result = TeachScreen(run, cs, job, [&](const std::string& text) {
      refused += text.find("使いませんでした") != std::string::npos ? 1 : 0;
    });
    EXPECT_EQ(result.End, c.End) << c.Fault;
    EXPECT_EQ(refused, c.Refused) << c.Fault;
    if (c.End == TTeachEnd::TimedOut) {
      EXPECT_NEAR(static_cast<double>(desktop.Now()), 9000 + TeachClickWaitMs, 2000) << c.Fault;
    }
    if (c.End != TTeachEnd::Taught) continue;
    EXPECT_EQ(result.Taught.Screen.X, c.Screen.X) << c.Fault;
    EXPECT_EQ(result.Taught.Screen.Y, c.Screen.Y) << c.Fault;
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(result.Taught.Lookup[i].X, c.Lookup[i].X) << c.Fault;
      EXPECT_EQ(result.Taught.Lookup[i].Y, c.Lookup[i].Y) << c.Fault;
    }
    EXPECT_TRUE(target.Dialog == 0 || !desktop.Window(target.Dialog).Alive) << c.Fault;
    for (const sim::TCall& post : desktop.Posts()) EXPECT_NE(post.Message, wm::Char) << c.Fault;
  }
}

// What a teach writes is what the job then reads, for the class it was taught on only.
TEST_F(CheckTest, TaughtSettingsAreReadBackByTheJobForTheirAspectClass) {
  for (const TAspectClass aspect : {acNarrow, acMiddle, acWide}) {
    sim::TSimDesktop desktop;
    TTaught taught{"ud", aspect, {301, 202}, {{{11, 12}, {13, 14}, {15, 16}}}};
    auto& file = desktop.Profiles["C:\\Pelmora\\pelmora.ini"];
    for (const TSettingLine& line : TaughtSettings(taught)) file[line.Section + "/" + line.Key] = line.Value;
    const TSettings settings = ReadSettings(desktop);
    const TScreenEntry* ud = settings.Table.Find("ud");
    ASSERT_NE(ud, nullptr);
    for (const TAspectClass other : {acNarrow, acMiddle, acWide}) {
      const bool taughtHere = other == aspect;  // the other classes keep their defaults
      EXPECT_EQ(ud->ClickOffset[other].X == 301 && ud->ClickOffset[other].Y == 202, taughtHere) << aspect;
    }
    EXPECT_EQ(settings.Table.LookupClickPoints[2].X, 15) << aspect;
    EXPECT_EQ(settings.Table.LookupClickPoints[0].Y, 12) << aspect;
  }
}

}  // namespace
}  // namespace pelmora
