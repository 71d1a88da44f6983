// The settings file and the trace: settings read and resolved, the number masked, the
// trace rolled over, each kind of run told apart, patience multiplying exactly the bounded
// waits, and a trace that cannot be written changing nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <sstream>

#include "app/form.h"
#include "tests/job_fixture.h"

namespace pelmora {
namespace {

using sim::TTargetScript;
using TChange = std::function<void(TTargetScript&, sim::TSimDesktop&)>;

const std::string Program = "C:\\Pelmora\\pelmora.exe";
const std::string TraceFile = "C:\\Pelmora\\trace.log";
const std::string TdNew = "得意先台帳 (新規)";

TEST(TraceTextTest, NumberKeepsOnlyItsLastFourCharactersWhole) {
  const std::pair<std::string, std::string> cases[] = {
      {"0312345678", "******5678"}, {"5678", "5678"}, {"", ""}, {"03-1234-5678", "********5678"},
      {"０３－表ソ１２", "***表ソ１２"},  // two-byte characters, 0x5C trail bytes among them
      {"03表1234", "***1234"}, {"0312345\x83", "****345\x83"},  // a lone lead byte is one
      {std::string(30, '1') + "5678", std::string(16, '*') + "5678"}};
  for (const auto& [number, masked] : cases) EXPECT_EQ(MaskNumber(number), masked) << number;
}

TEST(TraceTextTest, QuotedTextIsOneLineCutAtACharacter) {
  const std::pair<std::string, std::string> cases[] = {
      {"得意先参照", "\"得意先参照\""}, {"a\r\nb\tc", "\"a??b?c\""},
      {std::string(119, 'a') + "表b", "\"" + std::string(119, 'a') + "...(122 bytes)\""}};
  for (const auto& [text, quoted] : cases) EXPECT_EQ(Quoted(text), quoted);
}

TEST(SettingsTest, ReadsTheFileBesideTheProgram) {
  struct {
    std::string Module, Key, Value, Trace;
    int Patience;
    std::string Ignored;
  } const cases[] = {
      {Program, "", "", "", 1, ""},
      {Program, "trace/file", " log\\p.log ", "C:\\Pelmora\\log\\p.log", 1, ""},
      {Program, "trace/file", "D:\\p.log", "D:\\p.log", 1, ""},
      {Program, "trace/file", "\\\\srv\\s\\p.log", "\\\\srv\\s\\p.log", 1, ""},
      {"C:\\表\\pelmora.exe", "trace/file", "t.log", "C:\\表\\t.log", 1, ""},  // 表 ends in 0x5C
      {Program, "timing/patience", " 10 ", "", 10, ""},
      {Program, "timing/patience", "07", "", 7, ""},
      {Program, "timing/patience", "  ", "", 1, ""}};
  for (const auto& c : cases) {
    sim::TSimDesktop desktop;
    desktop.ModuleFileName = c.Module;
    desktop.Profiles[FolderOf(c.Module) + "pelmora.ini"] = {{c.Key, c.Value}};
    const TSettings s = ReadSettings(desktop);
    EXPECT_EQ(s.TracePath, c.Trace) << c.Value;
    EXPECT_EQ(s.Patience, c.Patience) << c.Value;
  }
  for (const std::string bad : {"0", "11", "99999999999", "2.5", "-2", "slow"}) {
    EXPECT_EQ(ParsePatience(bad), 0) << bad;
  }
}

TEST(TraceFileTest, RollsOverAtTheLimitKeepingOneOlderFileOfWholeLines) {
  sim::TSimDesktop desktop;
  desktop.WrittenFiles[TraceFile + ".1"] = "oldest\r\n";
  TTrace trace;
  trace.Open(desktop, TraceFile, desktop.GetTickCount());
  for (int i = 0; i < 2500; ++i) trace.Line(std::string(1000, 'x'));  // two rollovers
  const std::string& current = desktop.WrittenFiles[TraceFile];
  const std::string& previous = desktop.WrittenFiles[TraceFile + ".1"];
  EXPECT_LE(std::max(current.size(), previous.size()), TTrace::RollOverBytes);
  EXPECT_GT(current.size() + previous.size(), TTrace::RollOverBytes);
  EXPECT_EQ(desktop.Count("MoveFileExA"), 2);
  const std::regex line(R"(2026-12-08 09:00:00\.000 \+0ms \[5150\] x{1000}\r)");
  std::size_t lines = 0;
  for (const std::string* file : {&previous, &current}) {
    std::istringstream in(*file);
    for (std::string text; std::getline(in, text); ++lines) ASSERT_TRUE(std::regex_match(text, line));
  }
  EXPECT_EQ(lines, 2500 - TTrace::RollOverBytes / (current.find('\n') + 1));
}

// Runs the program as the shell does, with pelmora.ini holding `values`.
class SettingsRunTest : public JobFixture {
 protected:
  void RunProgram(const std::map<std::string, std::string>& values, const std::string& args,
                  const TChange& change = nullptr) {
    TTargetScript s;
    if (change) change(s, Desktop);
    Start(s);
    Desktop.Profiles["C:\\Pelmora\\pelmora.ini"] = values;
    Desktop.CommandLine = "pelmora.exe " + (args[0] == ' ' ? sim::TargetPath + args : args);
    TfrmPelmora form(Desktop);
    form.FormCreate();
    form.FormShow();
    form.FormActivate();
  }
};

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
    const int counted = c.Counted == "IsWindowVisible" ? Desktop.Count(c.Counted)
                                                       : Desktop.CountSearches(c.Counted);
    EXPECT_EQ(counted, c.Fixed + c.PerPatience * patience) << patience;
    EXPECT_EQ(Desktop.Now(), c.FixedMs + c.PerPatienceMs * patience) << patience;
    for (const std::uint32_t pause : Desktop.Pauses()) {
      EXPECT_TRUE(pause == 10 || pause == 50 || pause == 100 || pause == 200) << pause;
    }
  }
}

// A job of td,ud: start-up of a running target takes 100 ms, a screen by the menu 1100;
// a failure of td is passed over and ud still worked.
INSTANTIATE_TEST_SUITE_P(
    Waits, PatienceTest,
    ::testing::Values(
        TPatienceCase{"MainWindow", [](TTargetScript& s, auto&) { s.Running = false; s.AppearAfter.reset(); },
                      "Hanbai15Main", 1, 75, 0, 75 * 200},
        TPatienceCase{"MainWindowShown", [](TTargetScript& s, auto&) { s.Running = false; s.ShowAfter.reset(); },
                      "IsWindowVisible", 0, 500, 1200 - 10, 500 * 10},
        TPatienceCase{"InputIdle", [](TTargetScript& s, auto&) { s.BusyMs = 1000000; },
                      "Hanbai15Main", 1, 0, 100 + 2 * 1100, 15000},
        TPatienceCase{"Screen", [](TTargetScript& s, auto&) { s.Screens[TdNew].OpenAfter.reset(); },
                      TdNew, 1, 30, 1450, 30 * 100},
        TPatienceCase{"Lookup", [](TTargetScript& s, auto&) { s.Screens[TdNew].DialogAfter.reset(); },
                      "得意先参照", 2, 30, 1850, 30 * 100},
        // The bound of the wait for another job: the longest job by the limits, counts
        // multiplied: 75 x 200 + 500 x 10 + 15000, three screens of 2 x (30 x 100 + 500 x 10).
        TPatienceCase{"AnotherJob", [](TTargetScript&, auto& d) { d.OtherJobUntil = UINT64_MAX; },
                      "Hanbai15Main", 1, 0, 100 + 3 * 750 - 7 * 10 + 100 + 2 * 1100,
                      15000 + 5000 + 15000 + 3 * 2 * (3000 + 5000)},
        TPatienceCase{"AllInTime", [](TTargetScript&, auto&) {}, TdNew, 3, 0, 100 + 2 * 1100, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TTraceCase {
  const char* Name;
  std::string Args;  // starting with a blank: after the target's path
  TChange Change;
  std::vector<std::string> Says;  // in this order, in one line or in later ones
};
void PrintTo(const TTraceCase& c, std::ostream* os) { *os << c.Name; }

class TraceRunTest : public SettingsRunTest, public ::testing::WithParamInterface<TTraceCase> {};

TEST_P(TraceRunTest, TellsWhatHappenedWithTheNumberMasked) {
  RunProgram({{"trace/file", "trace.log"}}, GetParam().Args, GetParam().Change);
  std::vector<std::string> lines;
  std::istringstream in(Desktop.WrittenFiles[TraceFile]);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GT(lines.size(), 3u);
  EXPECT_NE(lines[0].find("] start Pelmora 1.0.0 program=\"C:\\Pelmora\\pelmora.exe\""), std::string::npos);
  EXPECT_NE(lines.back().find("] end\r"), std::string::npos);
  auto at = lines.begin();
  for (const std::string& says : GetParam().Says) {
    at = std::find_if(at, lines.end(), [&](const std::string& l) { return l.find(says) != l.npos; });
    ASSERT_NE(at, lines.end()) << "nothing says, in order: " << says;
  }
  EXPECT_EQ(Desktop.WrittenFiles[TraceFile].find("031234"), std::string::npos);
}

const std::string Shown = "failure message shown: \"";
const std::string Prefix = "弥生販売を正常に起動できませんでした。(";

INSTANTIATE_TEST_SUITE_P(
    Runs, TraceRunTest,
    ::testing::Values(
        TTraceCase{"Success", " td,ud 0312345678", nullptr,
                   {"settings patience=1", "arguments path=\"C:\\Yayoi\\Hanbai.exe\" codes=\"td,ud\" phone=\"******5678\" (10 characters)",
                    "wait for another job: 0 ms (limit 85280 ms), acquired",
                    "search main window class=Hanbai15Main: found 0x00001000 class=\"Hanbai15Main\" title=\"弥生販売\" pid=4242",
                    "input idle wait pid=4242: 0 ms (limit 15000 ms)",
                    "monitor \"\\\\.\\DISPLAY1\" 1920x1080 at (0,0) ratio 1.778 aspect class wide",
                    "search MDIClient: found", "menu bar present", "screen td: search \"得意先台帳 (新規)\" or",
                    "not found; opening it by the menu", "found 0x", "after 2 searches (limit 30)",
                    "click screen td at (198,196) on 0x", "screen td: search lookup \"得意先参照\": found",
                    "click lookup 1 of 3 at (735,340)", "click lookup 3 of 3 at (665,417) on 0x", "class=\"Edit\"",
                    "screen td: typed \"******5678\" and Enter into 0x", "screen ud: typed",
                    "outcome: number typed into 2 of 2 screens\r"}},
        TTraceCase{"SecondMonitor", " td 0312345678",
                   [](TTargetScript& s, auto& d) {
                     d.Monitors = {{0, 0, 1280, 1024}, {1280, 0, 3200, 1080}};
                     s.Origin = {1400, 100};
                   },
                   {"monitor \"\\\\.\\DISPLAY2\" 1920x1080 at (1280,0) ratio 1.778 aspect class wide",
                    "click screen td at (1598,296)"}},
        TTraceCase{"InputBlocked", " td 0312345678", [](TTargetScript&, auto& d) { d.InputBlocked = true; },
                   {"click screen td at (198,196) on 0x", "refused click screen td at (198,196): input blocked",
                    Shown + Prefix + "子ウィンドウの取得不可)"}},
        TTraceCase{"MissingNumber", " td", nullptr, {Shown + "実行時引数(電話番号)が不足", "outcome: not run"}},
        TTraceCase{"PathInvalid", "C:\\x.exe td 0312345678", [](TTargetScript& s, auto&) { s.Running = false; },
                   {"class=Hanbai15Main: not running", "refused start: no such file \"C:\\x.exe\"",
                    Shown + "外部接続画面で設定されている弥生販売のパスが無効です。\"", "outcome: failed"}},
        TTraceCase{"StartedShownLate", " td 0312345678", [](TTargetScript& s, auto&) { s.Running = false; s.ShowAfter = 295; },
                   {"start target \"C:\\Yayoi\\Hanbai.exe\"", "after 6 searches (limit 75)",
                    "main window visible after 11 tests (limit 500)", "outcome: number typed into 1 of 1"}},
        TTraceCase{"NeverStarts", " td 0312345678", [](TTargetScript& s, auto&) { s.Running = false; s.AppearAfter.reset(); },
                   {"not found after 75 searches (limit 75)", Shown + "弥生販売を起動できませんでした。\""}},
        TTraceCase{"MainHidden", " td 0312345678", [](TTargetScript& s, auto&) { s.Running = false; s.ShowAfter.reset(); },
                   {"main window not visible after 500 tests", Shown + Prefix + "メインウィンドウの表示不可)"}},
        TTraceCase{"HigherRights", " td 0312345678",
                   [](TTargetScript&, auto& d) { d.IntegrityLevels = {{0, 0x2000}, {sim::TargetProcess, 0x3000}}; },
                   {"refused: target integrity level 12288 is above this program's 8192", Shown}},
        TTraceCase{"NoMdiClient", " td 0312345678", [](TTargetScript& s, auto&) { s.MdiClient = false; },
                   {"search MDIClient: not found", Shown + Prefix + "MDIClientの取得不可)"}},
        TTraceCase{"NoMenu", " td 0312345678", [](TTargetScript& s, auto&) { s.Menu = false; },
                   {"; no menu bar", Shown + Prefix + "メニューの取得不可)"}},
        TTraceCase{"ScreenNeverOpens", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].OpenAfter.reset(); },
                   {"screen td: search", "not found after 30 searches (limit 30)", Shown + Prefix + "子ウィンドウの取得不可)"}},
        TTraceCase{"ScreenHidden", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].Hidden = true; },
                   {"screen td not visible after 500 tests", Shown + Prefix + "子ウィンドウの表示不可)"}},
        TTraceCase{"LookupNeverOpens", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].DialogAfter.reset(); },
                   {"search lookup \"得意先参照\": not found after 30 searches", Shown + Prefix + "得意先参照画面の取得不可)"}},
        TTraceCase{"LookupHidden", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].DialogHidden = true; },
                   {"screen td lookup not visible after 500 tests", Shown + Prefix + "得意先参照画面の表示不可)"}},
        TTraceCase{"ClickRefused", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].ForeignCover = true; },
                   {"click lookup 2 of 3", "refused click lookup 3 of 3 at (665,417): 0x",
                    "class=\"Notepad\" title=\"memo\" pid=777 is not the target's (pid=4242)", Shown + Prefix + "得意先参照画面-入力欄"}},
        TTraceCase{"FieldRefused", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].Field = false; },
                   {"refused field at (665,417): 0x", "class=\"TLookup\"", "is a top-level window, not a field", Shown}},
        TTraceCase{"UnknownCode", " TD 0312345678", nullptr, {"refused screen code \"TD\": unknown", Shown}},
        TTraceCase{"PassedOverSilently", " td,ud 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].OpenAfter.reset(); },
                   {"screen \"td\": failure passed over silently: \"" + Prefix + "子ウィンドウの取得不可)\"",
                    "screen ud: typed", "outcome: number typed into 1 of 2 screens; passed over: \"td\""}},
        TTraceCase{"AnotherJobNeverEnds", " td 0312345678", [](TTargetScript&, auto& d) { d.OtherJobUntil = UINT64_MAX; },
                   {"wait for another job: 85280 ms (limit 85280 ms), timed out, going on regardless", "outcome: number"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SettingsRunTest, PatienceOutOfRangeIsIgnoredAndSaid) {
  RunProgram({{"trace/file", "trace.log"}, {"timing/patience", "12"}}, " td 0312345678");
  EXPECT_NE(Desktop.WrittenFiles[TraceFile].find(
                "settings patience=\"12\" ignored: not a whole number from 1 to 10\r\n"
                "2026-12-08 09:00:00.000 +0ms [5150] settings patience=1\r\n"),
            std::string::npos);
  EXPECT_EQ(Target->Searches.size(), 1u);
}

class UnwritableTraceTest : public SettingsRunTest, public ::testing::WithParamInterface<TChange> {};

// Everything the job does, in order and in time, apart from the calls the trace makes.
TEST_P(UnwritableTraceTest, JobIsTheSameWithNoTraceAndWithOneThatCannotBeWritten) {
  std::vector<std::vector<std::string>> runs;
  for (const std::string file : {"", "trace.log", "written.log"}) {
    Desktop = sim::TSimDesktop();
    Desktop.Unwritable.insert(TraceFile);
    RunProgram({{"trace/file", file}}, " td,ud 0312345678", GetParam());
    std::vector<std::string> done = Desktop.ErrorBoxes;
    for (const sim::TCall& c : Desktop.Calls) {
      if (c.Op == "PostMessageA" || c.Op == "SendInput" || c.Op == "Sleep") {
        done.push_back(c.Op + std::to_string(c.At) + "/" + std::to_string(c.Window) + "/" +
                       std::to_string(c.Message) + "/" + std::to_string(c.WParam));
      }
    }
    for (const sim::TSearch& s : Target->Searches) done.push_back(s.Dialog + s.Screen + s.Text);
    runs.push_back(done);
    if (file == "trace.log") {
      EXPECT_EQ(Desktop.Count("CreateFileA"), 1);  // tried once, then silent
    }
    EXPECT_EQ(Desktop.WrittenFiles.size(), file == "written.log" ? 1u : 0u);
    EXPECT_EQ(Desktop.OpenHandles(), 0);
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_EQ(runs[0], runs[2]);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, UnwritableTraceTest,
    ::testing::Values([](TTargetScript&, auto&) {},
                      [](TTargetScript& s, auto&) { s.Screens[TdNew].ForeignCover = true; },
                      [](TTargetScript&, auto& d) { d.OtherJobUntil = 5000; }));

}  // namespace
}  // namespace pelmora
