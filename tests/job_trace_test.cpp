// Settings at work on whole runs: patience multiplies exactly the bounded waits, the trace
// tells each kind of run apart with the number masked, and a trace that cannot be written
// changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "app/form.h"
#include "tests/job_fixture.h"

namespace pelmora {
namespace {

using sim::TTargetScript;

const std::string Ini = "C:\\Pelmora\\pelmora.ini";
const std::string TraceFile = "C:\\Pelmora\\trace.log";
const std::string TdNew = "得意先台帳 (新規)";
const std::string UdNew = "売上伝票 (新規)";
const std::string Lookup = "得意先参照";
const std::string Phone = "0312345678";

class SettingsRunTest : public JobFixture {
 protected:
  // Runs the program as the shell does, pelmora.ini holding `values` ("section/key").
  void RunProgram(const std::map<std::string, std::string>& values, const std::string& args) {
    if (!Target) Start();
    if (!values.empty()) Desktop.Profiles[Ini] = values;
    Desktop.CommandLine = "pelmora.exe " + args;
    TfrmPelmora form(Desktop);
    form.FormCreate();
    form.FormShow();
    form.FormActivate();
    form.FormDestroy();
  }
  std::vector<std::string> TraceLines() {
    std::vector<std::string> lines;
    std::istringstream in(Desktop.WrittenFiles[TraceFile]);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// ---- patience -------------------------------------------------------------------------

struct TPatienceCase {
  const char* Name;
  std::vector<std::string> Codes;
  std::function<void(TTargetScript&, sim::TSimDesktop&)> Change;
  std::string Counted;  // a searched title or class, or "IsWindowVisible"
  int Fixed;            // calls not in the bounded loop
  int PerPatience;      // calls in the loop at patience 1
  std::uint64_t FixedMs, PerPatienceMs;  // virtual time of the run's end
};
void PrintTo(const TPatienceCase& c, std::ostream* os) { *os << c.Name; }

class PatienceTest : public SettingsRunTest, public ::testing::WithParamInterface<TPatienceCase> {
 protected:
  void Run(int patience) {
    TTargetScript s;
    GetParam().Change(s, Desktop);
    Start(s);
    RunProgram({{"timing/patience", Decimal(static_cast<std::uint64_t>(patience))}},
               sim::TargetPath + " " + Join(GetParam().Codes) + " " + Phone);
  }
  static std::string Join(const std::vector<std::string>& codes) {
    std::string text;
    for (const std::string& c : codes) text += (text.empty() ? "" : ",") + c;
    return text;
  }
  int Counted() const {
    return GetParam().Counted == "IsWindowVisible" ? Desktop.Count("IsWindowVisible")
                                                    : Desktop.CountSearches(GetParam().Counted);
  }
};

TEST_P(PatienceTest, MultipliesTheBoundedWaitAndNoPause) {
  const TPatienceCase& c = GetParam();
  for (const int patience : {1, 3, 10}) {
    Desktop = sim::TSimDesktop();
    Target.reset();
    Run(patience);
    EXPECT_EQ(Counted(), c.Fixed + c.PerPatience * patience) << "patience " << patience;
    EXPECT_EQ(Desktop.Now(), c.FixedMs + c.PerPatienceMs * patience) << "patience " << patience;
    // Only pauses of the fixed lengths: none stretched.
    for (const std::uint32_t pause : Desktop.Pauses()) {
      EXPECT_TRUE(pause == 10 || pause == 50 || pause == 100 || pause == 200) << pause;
    }
  }
}

// Virtual time of the run's end: start-up of a running target is 100 ms, a screen by the
// menu 200 before its searches, an open screen whose lookup comes 50 ms after F8 750 in
// all; an unanswered box ends the run at once.
INSTANTIATE_TEST_SUITE_P(
    Waits, PatienceTest,
    ::testing::Values(
        TPatienceCase{"MainWindowSearches", {"td"},
                      [](TTargetScript& s, sim::TSimDesktop&) {
                        s.Running = false;
                        s.AppearAfter.reset();
                      },
                      "Hanbai15Main", 1, 75, 0, 75 * 200},
        TPatienceCase{"MainWindowVisibility", {"td"},
                      [](TTargetScript& s, sim::TSimDesktop&) {
                        s.Running = false;
                        s.ShowAfter.reset();
                      },
                      "IsWindowVisible", 0, 500, 1200 - 10, 500 * 10},
        TPatienceCase{"InputIdleTimeOut", {"td"},
                      [](TTargetScript& s, sim::TSimDesktop&) {
                        s.OpenAtStart = {TdNew};
                        s.BusyMs = 1000000;
                      },
                      "Hanbai15Main", 1, 0, 100 + 750, 15000},
        TPatienceCase{"ScreenSearches", {"td"},
                      [](TTargetScript& s, sim::TSimDesktop&) { s.Screens[TdNew].OpenAfter.reset(); },
                      TdNew, 1, 30, 100 + 200, 30 * 100},
        TPatienceCase{"ScreenVisibility", {"td"},
                      [](TTargetScript& s, sim::TSimDesktop&) { s.Screens[TdNew].Hidden = true; },
                      "IsWindowVisible", 0, 500, 100 + 200 + 200 - 10, 500 * 10},
        TPatienceCase{"LookupSearches", {"td"},
                      [](TTargetScript& s, sim::TSimDesktop&) {
                        s.OpenAtStart = {TdNew};
                        s.Screens[TdNew].DialogAfter.reset();
                      },
                      Lookup, 0, 30, 100 + 200, 30 * 100},
        TPatienceCase{"LookupVisibility", {"td"},
                      [](TTargetScript& s, sim::TSimDesktop&) {
                        s.OpenAtStart = {TdNew};
                        s.Screens[TdNew].DialogHidden = true;
                      },
                      "IsWindowVisible", 0, 500, 100 + 200 + 200 - 10, 500 * 10},
        // The bound is the longest job by the limits, each count multiplied: start-up
        // 75 x 200 + (500 - 1) x 10 + 15000 + 100, and three screens of 200 + 30 x 100 +
        // (500 - 1) x 10 + 200 + 30 x 100 + (500 - 1) x 10 + 350 each; then the job.
        TPatienceCase{"WaitForAnotherJob", {"td"},
                      [](TTargetScript& s, sim::TSimDesktop& d) {
                        s.OpenAtStart = {TdNew};
                        d.OtherJobUntil = UINT64_MAX;
                      },
                      "Hanbai15Main", 1, 0, 100 + 750 + 100 + 3 * 750 - 7 * 10,
                      15000 + 5000 + 15000 + 3 * (3000 + 5000 + 3000 + 5000)},
        // A target in time: patience changes nothing at all.
        TPatienceCase{"EverythingInTime", {"td", "ud"},
                      [](TTargetScript&, sim::TSimDesktop&) {}, TdNew, 3, 0,
                      100 + 2 * 1100, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- the trace of each kind of run ---------------------------------------------------

struct TTraceCase {
  const char* Name;
  std::string Args;  // {T}: the target's path
  std::function<void(TTargetScript&, sim::TSimDesktop&)> Change;
  std::vector<std::string> Lines;  // in this order, the next in the same line or a later one
};
void PrintTo(const TTraceCase& c, std::ostream* os) { *os << c.Name; }

class TraceRunTest : public SettingsRunTest, public ::testing::WithParamInterface<TTraceCase> {};

TEST_P(TraceRunTest, TellsWhatHappenedWithTheNumberMasked) {
  const TTraceCase& c = GetParam();
  TTargetScript s;
  if (c.Change) c.Change(s, Desktop);
  Start(s);
  std::string args = c.Args;
  if (args.rfind("{T}", 0) == 0) args.replace(0, 3, sim::TargetPath);
  RunProgram({{"trace/file", "trace.log"}}, args);
  const std::vector<std::string> lines = TraceLines();
  if (std::getenv("SHOW_TRACE")) std::cout << Desktop.WrittenFiles[TraceFile];
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.front().find("start Pelmora "), std::string::npos);
  EXPECT_NE(lines.back().find("] end\r"), std::string::npos);
  auto at = lines.begin();
  for (const std::string& expected : c.Lines) {
    at = std::find_if(at, lines.end(),
                      [&](const std::string& l) { return l.find(expected) != std::string::npos; });
    ASSERT_NE(at, lines.end()) << "no line with: " << expected << " in order";
  }
  EXPECT_EQ(Desktop.WrittenFiles[TraceFile].find("12345678"), std::string::npos);
  EXPECT_EQ(Desktop.OpenHandles(), 0);
}

const std::string Shown = "failure message shown: \"";
const std::string Main = "found 0x";  // the main window's description follows

INSTANTIATE_TEST_SUITE_P(
    Runs, TraceRunTest,
    ::testing::Values(
        TTraceCase{"Success", "{T} td,ud 0312345678", nullptr,
                   {"settings patience=1", "arguments path=\"C:\\Yayoi\\Hanbai.exe\" codes=\"td,ud\" phone=\"******5678\"",
                    "wait for another job: 0 ms (limit 85280 ms), acquired",
                    "search main window class=Hanbai15Main: found 0x", "title=\"弥生販売\" pid=4242",
                    "input idle wait pid=4242: 0 ms (limit 15000 ms)",
                    "display 1920x1080 ratio 1.778 aspect class wide",
                    "search MDIClient: found", "; menu bar present",
                    "screen td: search \"得意先台帳 (新規)\" or \"得意先台帳 (修正)\": not found; opening it by the menu",
                    "screen td: search", "after 2 searches (limit 30)",
                    "click screen td at (198,196) on 0x", "screen td: search lookup \"得意先参照\": found",
                    "click lookup 1 of 3 at (735,340)", "click lookup 3 of 3 at (665,417) on 0x",
                    "screen td: typed \"******5678\" and Enter into 0x", "screen ud: typed",
                    "outcome: number typed into 2 of 2 screens\r"}},
        TTraceCase{"DoubleByteNumber", "{T} td ０３－表ソ１２", nullptr,
                   {"phone=\"***表ソ１２\"", "typed \"***表ソ１２\" and Enter"}},
        TTraceCase{"MissingNumber", "{T} td", nullptr,
                   {Shown + "実行時引数(電話番号)が不足のため実行できません。\"", "outcome: not run"}},
        TTraceCase{"PathInvalid", "C:\\nowhere.exe td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) { s.Running = false; },
                   {"search main window class=Hanbai15Main: not running",
                    "refused start: no such file \"C:\\nowhere.exe\"",
                    Shown + "外部接続画面で設定されている弥生販売のパスが無効です。\"", "outcome: failed"}},
        TTraceCase{"NeverStarts", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) {
                     s.Running = false;
                     s.AppearAfter.reset();
                   },
                   {"start target \"C:\\Yayoi\\Hanbai.exe\"", "not found after 75 searches (limit 75)",
                    Shown + "弥生販売を起動できませんでした。\""}},
        TTraceCase{"StartedAndShownLate", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) {
                     s.Running = false;
                     s.ShowAfter = 295;
                   },
                   {"found 0x", "after 6 searches (limit 75)", "main window visible after 11 tests (limit 500)",
                    "outcome: number typed into 1 of 1 screens"}},
        TTraceCase{"MainHidden", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) {
                     s.Running = false;
                     s.ShowAfter.reset();
                   },
                   {"main window not visible after 500 tests", Shown + "弥生販売を正常に起動できませんでした。(メインウィンドウの表示不可)\""}},
        TTraceCase{"HigherRights", "{T} td 0312345678",
                   [](TTargetScript&, sim::TSimDesktop& d) {
                     d.IntegrityLevels = {{0, 0x2000}, {sim::TargetProcess, 0x3000}};
                   },
                   {"refused: target integrity level 12288 is above this program's 8192", Shown}},
        TTraceCase{"NoMdiClient", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) { s.MdiClient = false; },
                   {"search MDIClient: not found", Shown + "弥生販売を正常に起動できませんでした。(MDIClientの取得不可)\""}},
        TTraceCase{"NoMenu", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) { s.Menu = false; },
                   {"; no menu bar", Shown + "弥生販売を正常に起動できませんでした。(メニューの取得不可)\""}},
        TTraceCase{"ScreenNeverOpens", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) { s.Screens[TdNew].OpenAfter.reset(); },
                   {"screen td: search", "not found after 30 searches (limit 30)",
                    Shown + "弥生販売を正常に起動できませんでした。(子ウィンドウの取得不可)\"", "outcome: failed"}},
        TTraceCase{"ScreenHidden", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) { s.Screens[TdNew].Hidden = true; },
                   {"screen td not visible after 500 tests", Shown}},
        TTraceCase{"LookupNeverOpens", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) { s.Screens[TdNew].DialogAfter.reset(); },
                   {"screen td: search lookup \"得意先参照\": not found after 30 searches (limit 30)",
                    Shown + "弥生販売を正常に起動できませんでした。(得意先参照画面の取得不可)\""}},
        TTraceCase{"LookupHidden", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) { s.Screens[TdNew].DialogHidden = true; },
                   {"screen td lookup not visible after 500 tests", Shown}},
        TTraceCase{"ClickRefusedForAnotherProgramsWindow", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) { s.Screens[TdNew].ForeignCover = true; },
                   {"click lookup 2 of 3",
                    "refused click lookup 3 of 3 at (665,417): 0x", "class=\"Notepad\" title=\"memo\" pid=777 is not the target's (pid=4242)",
                    Shown + "弥生販売を正常に起動できませんでした。(得意先参照画面-入力欄の取得不可)\""}},
        TTraceCase{"FieldRefused", "{T} td 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) { s.Screens[TdNew].Field = false; },
                   {"click lookup 3 of 3", "refused field at (665,417): 0x", "is a top-level window, not a field", Shown}},
        TTraceCase{"UnknownCode", "{T} TD 0312345678", nullptr,
                   {"refused screen code \"TD\": unknown", Shown + "実行時引数(弥生販売の対象画面CD)が不正のため実行できません。\""}},
        TTraceCase{"PassedOverSilently", "{T} td,ud 0312345678",
                   [](TTargetScript& s, sim::TSimDesktop&) { s.Screens[TdNew].OpenAfter.reset(); },
                   {"screen \"td\": failure passed over silently: \"弥生販売を正常に起動できませんでした。(子ウィンドウの取得不可)\"",
                    "screen ud: typed", "outcome: number typed into 1 of 2 screens; passed over: \"td\""}},
        TTraceCase{"WaitedForAnotherJob", "{T} td 0312345678",
                   [](TTargetScript&, sim::TSimDesktop& d) { d.OtherJobUntil = 4321; },
                   {"wait for another job: 4321 ms (limit 85280 ms), acquired", "outcome: number typed"}},
        TTraceCase{"AnotherJobNeverEnds", "{T} td 0312345678",
                   [](TTargetScript&, sim::TSimDesktop& d) { d.OtherJobUntil = UINT64_MAX; },
                   {"wait for another job: 85280 ms (limit 85280 ms), timed out, going on regardless",
                    "outcome: number typed"}},
        TTraceCase{"ClosedWhileWaiting", "{T} td 0312345678",
                   [](TTargetScript&, sim::TSimDesktop& d) { d.QuitWhileWaiting = true; },
                   {"program closed while waiting, job dropped"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SettingsRunTest, PatienceOutOfRangeIsIgnoredAndSaid) {
  Start();
  RunProgram({{"trace/file", "trace.log"}, {"timing/patience", "12"}},
             sim::TargetPath + " td 0312345678");
  const std::vector<std::string> lines = TraceLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_NE(lines[1].find("settings patience=\"12\" ignored: not a whole number from 1 to 10"),
            std::string::npos);
  EXPECT_NE(lines[2].find("settings patience=1\r"), std::string::npos);
  EXPECT_EQ(Target->Searches.size(), 1u);
}

// ---- a trace that cannot be written ----------------------------------------------------

struct TUnchangedCase {
  const char* Name;
  std::string Codes;
  std::function<void(TTargetScript&)> Change;
};
void PrintTo(const TUnchangedCase& c, std::ostream* os) { *os << c.Name; }

class UnwritableTraceTest : public SettingsRunTest,
                            public ::testing::WithParamInterface<TUnchangedCase> {
 protected:
  // What the job did, apart from the calls the trace makes.
  struct TOutcome {
    std::vector<std::string> Boxes;
    std::vector<std::tuple<std::string, std::string, std::string>> Searches;
    std::vector<std::tuple<std::uint64_t, TWindow, std::uint32_t, std::uintptr_t>> Posts;
    std::vector<std::tuple<TWindow, int, int>> Clicks;
    std::vector<std::uint32_t> Pauses;
    std::uint64_t End = 0;
    bool operator==(const TOutcome& o) const {
      return Boxes == o.Boxes && Searches == o.Searches && Posts == o.Posts &&
             Clicks == o.Clicks && Pauses == o.Pauses && End == o.End;
    }
  };
  TOutcome Run(const std::map<std::string, std::string>& values, bool unwritable) {
    Desktop = sim::TSimDesktop();
    Target.reset();
    TTargetScript s;
    if (GetParam().Change) GetParam().Change(s);
    Start(s);
    if (unwritable) Desktop.Unwritable.insert(TraceFile);
    RunProgram(values, sim::TargetPath + " " + GetParam().Codes + " " + Phone);
    TOutcome o;
    o.Boxes = Desktop.ErrorBoxes;
    for (const sim::TSearch& x : Target->Searches) o.Searches.emplace_back(x.Dialog, x.Screen, x.Text);
    for (const sim::TCall& c : Desktop.Posts()) o.Posts.emplace_back(c.At, c.Window, c.Message, c.WParam);
    for (const sim::TClick& c : Desktop.Clicks) o.Clicks.emplace_back(c.Window, c.At.X, c.At.Y);
    o.Pauses = Desktop.Pauses();
    o.End = Desktop.Now();
    return o;
  }
};

TEST_P(UnwritableTraceTest, JobIsTheSameWithoutATraceAndWithOneThatCannotBeWritten) {
  const TOutcome plain = Run({}, false);
  const TOutcome unwritable = Run({{"trace/file", "trace.log"}}, true);
  EXPECT_TRUE(Desktop.WrittenFiles.empty());
  EXPECT_EQ(Desktop.Count("CreateFileA"), 1);  // tried once, then silent
  EXPECT_EQ(Desktop.OpenHandles(), 0);
  const TOutcome written = Run({{"trace/file", "trace.log"}}, false);
  EXPECT_FALSE(Desktop.WrittenFiles[TraceFile].empty());
  EXPECT_TRUE(plain == unwritable);
  EXPECT_TRUE(plain == written);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, UnwritableTraceTest,
    ::testing::Values(
        TUnchangedCase{"TwoScreens", "td,ud", nullptr},
        TUnchangedCase{"LookupNeverOpens", "td",
                       [](TTargetScript& s) { s.Screens[TdNew].DialogAfter.reset(); }},
        TUnchangedCase{"FieldCoveredInAMultiJob", "td,ud",
                       [](TTargetScript& s) { s.Screens[TdNew].ForeignCover = true; }}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmora
