// The settings file and the trace: settings read and resolved, the number masked, the
// trace rolled over, each kind of run told apart, and a trace that cannot be written
// changing nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <utility>

#include "tests/settings_run.h"

namespace pelmora {
namespace {

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
      {std::string(120, 'a'), "\"" + std::string(120, 'a') + "\""},
      {std::string(119, 'a') + "表b", "\"" + std::string(119, 'a') + "...(122 bytes)\""}};
  for (const auto& [text, quoted] : cases) EXPECT_EQ(Quoted(text), quoted);
}

TEST(SettingsTest, ReadsTheFileBesideTheProgram) {
  struct {
    std::string Folder, Name, Key, Value, Trace;  // the program is Folder + Name
    int Patience;
  } const cases[] = {
      {Folder, Exe, "", "", "", 1},
      {Folder, Exe, "trace/file", " log\\p.log ", "C:\\Pelmora\\log\\p.log", 1},
      {Folder, Exe, "trace/file", "D:\\p.log", "D:\\p.log", 1},
      {Folder, Exe, "trace/file", "\\\\srv\\s\\p.log", "\\\\srv\\s\\p.log", 1},
      {Folder, Exe, "trace/file", "/p.log", "/p.log", 1},
      {"C:\\P\\", "表.exe", "trace/file", "t.log", "C:\\P\\t.log", 1},  // 表 ends in 0x5C
      {Folder, Exe, "timing/patience", " 10 ", "", 10},
      {Folder, Exe, "timing/patience", "07", "", 7},
      {Folder, Exe, "timing/patience", "  ", "", 1}};
  for (const auto& c : cases) {
    sim::TSimDesktop desktop;
    desktop.ModuleFileName = c.Folder + c.Name;
    desktop.Profiles[c.Folder + "pelmora.ini"] = {{c.Key, c.Value}};
    const TSettings s = ReadSettings(desktop);
    EXPECT_EQ(s.TracePath, c.Trace) << c.Value;
    EXPECT_EQ(s.Patience, c.Patience) << c.Value;
  }
  for (const std::string bad : {"0", "11", "99999999999", "2.5", "-2", "slow", "1.", "1/", "0:"}) {
    EXPECT_EQ(ParsePatience(bad), 0) << bad;
  }
}

// Without the mutex another program may be rolling the file over: lines are still
// appended whole, and the file only grows.
TEST(TraceFileTest, RollsOverAtTheLimitUnderTheMutexKeepingOneOlderFileOfWholeLines) {
  for (const bool mutex : {true, false}) {
    sim::TSimDesktop desktop;
    desktop.MutexAvailable = mutex;
    desktop.Pause(1000);
    TTrace trace;
    trace.Open(desktop, TraceFile, desktop.GetTickCount());
    desktop.Pause(62003);  // hours, minutes, seconds and the time since start all differ
    for (int i = 0; i < 2500; ++i) trace.Line(std::string(1000, 'x'));  // two rollovers
    const std::string& current = desktop.WrittenFiles[TraceFile];
    const std::string& previous = desktop.WrittenFiles[TraceFile + ".1"];
    EXPECT_EQ(desktop.Count("MoveFileExA"), mutex ? 2 : 0);
    EXPECT_EQ(std::max(current.size(), previous.size()) <= TTrace::RollOverBytes, mutex);
    EXPECT_GT(current.size() + previous.size(), TTrace::RollOverBytes);
    // Held for one line only: another program's next line must not wait.
    EXPECT_EQ(desktop.Count("ReleaseMutex"), desktop.Count("WaitForSingleObject"));
    const std::string line = "2026-12-08 09:01:03.003 +62003ms [5150] " + std::string(1000, 'x') + "\r";
    std::size_t lines = 0;
    for (const std::string* file : {&previous, &current}) {
      std::istringstream in(*file);
      for (std::string text; std::getline(in, text); ++lines) ASSERT_EQ(text, line);
    }
    EXPECT_EQ(lines == 2500, !mutex);  // the oldest lines go only with a rollover
  }
}

struct TTraceCase {
  const char* Name;
  std::string Args;  // starting with a blank: after the target's path
  TChange Change;
  std::vector<std::vector<std::string>> Says;  // in order, each all in one line
};
void PrintTo(const TTraceCase& c, std::ostream* os) { *os << c.Name; }

class TraceRunTest : public SettingsRunTest, public ::testing::WithParamInterface<TTraceCase> {};

// What an administrator needs from each line: the window, the count or the reason named;
// never the whole number.
TEST_P(TraceRunTest, TellsWhatHappenedWithTheNumberMasked) {
  RunProgram({{"trace/file", "trace.log"}}, GetParam().Args, GetParam().Change);
  std::vector<std::string> lines;
  std::istringstream in(Desktop.WrittenFiles[TraceFile]);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GT(lines.size(), 3u);
  EXPECT_TRUE(std::regex_search(lines[0], std::regex(R"(start Pelmora \d+\.\d+\.\d+ .*"C:\\Pelmora\\pelmora\.exe")")));
  EXPECT_NE(lines.back().find("] end\r"), std::string::npos);
  auto at = lines.begin();
  for (const std::vector<std::string>& says : GetParam().Says) {
    at = std::find_if(at, lines.end(), [&](const std::string& l) {
      return std::all_of(says.begin(), says.end(), [&](const std::string& s) { return l.find(s) != l.npos; });
    });
    ASSERT_NE(at, lines.end()) << "no line, in order, says: " << ::testing::PrintToString(says);
  }
  EXPECT_EQ(Desktop.WrittenFiles[TraceFile].find("031234"), std::string::npos);
}

auto Patience(const char* value) {
  return [value](TTargetScript&, sim::TSimDesktop& d) { d.Profiles[Ini]["timing/patience"] = value; };
}

// With `newVersion`, a new version of the target: another class, td's title, the search field 40 px lower.
auto Settings(std::map<std::string, std::string> values, bool newVersion = false) {
  return [values, newVersion](TTargetScript& s, sim::TSimDesktop& d) {
    d.Profiles[Ini].insert(values.begin(), values.end());
    if (newVersion) s.MainClass = "Hanbai16Main", s.Retitled[TdNew] = "得意先台帳 (新規入力)", s.FieldLower = 40;
  };
}

// Still starting from the file at `path` (`opened`: it can be opened, and is the target's).
auto StartingFrom(std::string path, bool opened) {
  return [path, opened](TTargetScript& s, sim::TSimDesktop& d) {
    s.Running = false, s.Starting = 3000, d.Files.insert(path);
    if (opened) d.FileIds[path] = sim::TargetFile;
  };
}

const TTraceCase TraceCases[] = {
    TTraceCase{"Success", " td,ud 0312345678", nullptr,
               {{"patience=1"}, {"arguments", "\"C:\\Yayoi\\Hanbai.exe\"", "\"td,ud\"", "\"******5678\"", "10 characters"},
                {"code page 932"}, {"another job", "acquired"}, {"main window", "found 0x00001000", "\"Hanbai15Main\"", "pid=4242"},
                {"input idle", "pid=4242"}, {"foreground", "the target's"}, {"monitor", "1920x1080", "wide"}, {"MDIClient", "found 0x", "menu bar present"},
                {"screen td", "\"得意先台帳 (新規)\"", "not found", "menu"}, {"\"得意先台帳 (新規)\"", "found 0x", "2 searches", "limit 30"},
                {"click screen td", "(198,196)", "\"TScreen\""}, {"screen td", "lookup", "\"得意先参照\"", "found 0x"},
                {"lookup 1 of 3", "(735,340)"}, {"lookup 3 of 3", "(665,417)", "\"Edit\""},
                {"screen td", "typed", "\"******5678\"", "\"Edit\""}, {"screen ud", "typed"}, {"outcome", "2 of 2"}}},
    TTraceCase{"SecondMonitor", " td 0312345678",
               [](TTargetScript& s, auto& d) {
                 d.Monitors = {{0, 0, 1280, 1024}, {1280, 0, 3200, 1080}};
                 s.Origin = {1400, 100};
               },
               {{"monitor", "DISPLAY2", "1920x1080", "(1280,0)", "wide"}}},
    TTraceCase{"InputBlocked", " td 0312345678", [](TTargetScript&, auto& d) { d.InputBlocked = true; },
               {{"refused click screen td", "(198,196)", "input blocked"}, {"shown", "子ウィンドウの取得不可"}}},
    TTraceCase{"MissingNumber", " td", nullptr, {{"shown", "(電話番号)が不足"}, {"outcome", "not run"}}},
    TTraceCase{"PathInvalid", "C:\\x.exe td 0312345678", [](TTargetScript& s, auto&) { s.Running = false; },
               {{"Hanbai15Main", "not running"}, {"refused start", "\"C:\\x.exe\""}, {"shown", "パスが無効"}, {"outcome", "failed"}}},
    TTraceCase{"PatienceIgnored", " td 0312345678", Patience("12"),
               {{"patience=\"12\"", "ignored"}, {"patience=1"}, {"outcome", "1 of 1"}}},
    TTraceCase{"DoubleByteNumber", " td ０３１２", nullptr, {{"arguments", "\"０３１２\"", "4 characters"}}},
    TTraceCase{"StartedShownLate", " td 0312345678",
               [](TTargetScript& s, auto& d) { s.Running = false; s.ShowAfter = 295; Patience("2")(s, d); },
               {{"patience=2"}, {"start target", "\"C:\\Yayoi\\Hanbai.exe\""}, {"main window", "6 searches", "limit 150"},
                {"main window visible", "11 tests", "limit 1000"}, {"outcome", "1 of 1"}}},
    TTraceCase{"StillStarting", " td 0312345678", [](TTargetScript& s, auto&) { s.Running = false; s.Starting = 3000; },
               {{"start target", "already starting"}, {"main window", "found 0x"}, {"outcome", "1 of 1"}}},
    // The same file written otherwise: not started a second time.
    TTraceCase{"StillStartingPathWithSlashes", "C:/Yayoi/Hanbai.exe td 0312345678", StartingFrom("C:/Yayoi/Hanbai.exe", true),
               {{"start target", "already starting"}, {"outcome", "1 of 1"}}},
    TTraceCase{"StillStartingOtherCaseNotOpened", "c:\\yayoi\\HANBAI.EXE td 0312345678", StartingFrom("c:\\yayoi\\HANBAI.EXE", false),
               {{"start target", "already starting"}, {"outcome", "1 of 1"}}},
    // A share answering an index of 0 for every file: the host started from it is not the target starting.
    TTraceCase{"ShareAnswersIndexZero", " td 0312345678",
               [](TTargetScript& s, auto& d) { s.Running = false, d.Processes["\\\\nas\\h.exe"] = 3, d.At(0, [&d] { d.FileIds = {{sim::TargetPath, 0}, {"\\\\nas\\h.exe", 0}}; }); },
               {{"start target \"C:\\Yayoi\\Hanbai.exe\""}, {"outcome", "1 of 1"}}},
    // Another user's copy never shows its window here: waited for, it would fail the job.
    TTraceCase{"StartingInAnotherSession", " td 0312345678",
               [](TTargetScript& s, auto& d) { s.Running = false, d.Processes[sim::TargetPath] = 999, d.OtherSessions.insert(999); },
               {{"start target \"C:\\Yayoi\\Hanbai.exe\""}, {"outcome", "1 of 1"}}},
    TTraceCase{"NeverStarts", " td 0312345678", [](TTargetScript& s, auto&) { s.Running = false; s.AppearAfter.reset(); },
               {{"main window", "not found", "75 searches", "limit 75"}, {"shown", "弥生販売を起動できませんでした"}}},
    // A new version runs from the path with another class: the job's message stays, the trace names its own classes only.
    TTraceCase{"MainClassChanged", " td 0312345678", [](TTargetScript& s, auto& d) {
                 s.MainClass = "Hanbai16Main", d.Files.insert(sim::TargetPath), d.Processes[sim::TargetPath] = sim::TargetProcess;
                 d.At(0, [&d] { d.AddWindow(0, "Notepad", "", {0, 0, 10, 10}, sim::ForeignProcess); });
               }, {{"classes: Hanbai16Main ("}, {"shown", "弥生販売を起動できませんでした。"}}},
    TTraceCase{"MainHidden", " td 0312345678", [](TTargetScript& s, auto&) { s.Running = false; s.ShowAfter.reset(); },
               {{"main window not visible", "500 tests"}, {"shown", "メインウィンドウの表示不可"}}},
    TTraceCase{"HigherRights", " td 0312345678",
               [](TTargetScript&, auto& d) { d.IntegrityLevels = {{0, 0x2000}, {sim::TargetProcess, 0x3000}}; },
               {{"refused", "integrity", "12288", "8192"}, {"shown", "高い権限"}}},
    TTraceCase{"NoMdiClient", " td 0312345678", [](TTargetScript& s, auto&) { s.MdiClient = false; },
               {{"MDIClient", "not found"}, {"shown", "MDIClientの取得不可"}}},
    TTraceCase{"NoMenu", " td 0312345678", [](TTargetScript& s, auto&) { s.Menu = false; },
               {{"MDIClient", "found 0x", "no menu bar"}, {"shown", "メニューの取得不可"}}},
    TTraceCase{"ScreenNeverOpens", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].OpenAfter.reset(); },
               {{"screen td", "not found", "30 searches", "limit 30"}, {"shown", "子ウィンドウの取得不可"}}},
    TTraceCase{"ScreenHidden", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].Hidden = true; },
               {{"screen td not visible", "500 tests"}, {"shown", "子ウィンドウの表示不可"}}},
    TTraceCase{"LookupNeverOpens", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].DialogAfter.reset(); },
               {{"screen td", "lookup", "\"得意先参照\"", "not found", "30 searches"}, {"shown", "得意先参照画面の取得不可"}}},
    TTraceCase{"LookupHidden", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].DialogHidden = true; },
               {{"screen td lookup not visible", "500 tests"}, {"shown", "得意先参照画面の表示不可"}}},
    TTraceCase{"ClickRefused", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].ForeignCover = true; },
               {{"click lookup 2 of 3"}, {"refused click lookup 3 of 3", "(665,417)", "\"Notepad\"", "\"memo\"", "pid=777", "pid=4242"},
                {"shown", "得意先参照画面-入力欄"}}},
    TTraceCase{"FieldRefused", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].Field = false; },
               {{"refused field", "(665,417)", "\"TLookup\"", "top-level"}, {"shown"}}},
    TTraceCase{"FieldTakesNoFocus", " td 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].FieldTakesFocus = false; },
               {{"refused field", "(665,417)", "\"Edit\"", "focus", "\"Button\""}, {"shown", "得意先参照画面-入力欄"}}},
    TTraceCase{"MixedScaling", " td 0312345678",
               [](TTargetScript&, auto& d) { d.Monitors = {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}}; d.Scales = {150, 100}; },
               {{"click screen td", "(198,196)", "physical (297,294)"}, {"outcome", "1 of 1"}}},
    // The click proven where it lands: the window at the physical point must be the one approved.
    TTraceCase{"PhysicalHitDisagrees", " td 0312345678",
               [](TTargetScript&, auto& d) { d.Scales = {150}; d.PhysicalHit = d.AddWindow(0, "Toast", "", {}, 777); },
               {{"refused click screen td", "(198,196)", "not where it was approved", "physical (297,294)", "\"Toast\""}, {"shown"}}},
    TTraceCase{"InTheGapOfScaledMonitors", " td 0312345678",
               [](TTargetScript& s, auto& d) { d.Monitors = {{0, 0, 1920, 1080}, {-2560, 0, 0, 1440}}, d.Scales = {100, 150}, s.Origin = {-600, 100}; },
               {{"refused click screen td", "(-402,296)", "on no monitor"}, {"shown", "子ウィンドウの取得不可"}}},
    TTraceCase{"NoThreadDpiContext", " td 0312345678",
               [](TTargetScript&, auto& d) { d.Monitors = {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}}, d.Scales = {150, 100}, d.Mapping = TMonitorMapping::DisplayModes; },
               {{"click screen td", "(198,196)", "physical (297,294)"}, {"outcome", "1 of 1"}}},
    TTraceCase{"ScalingNothingMaps", " td 0312345678", [](TTargetScript&, auto& d) { d.Scales = {150}, d.Mapping = TMonitorMapping::None; },
               {{"refused click screen td", "cannot map", "1280x720 here, 1920x1080 physical, scaled 150%"}, {"shown"}}},
    TTraceCase{"UnknownCode", " TD 0312345678", nullptr, {{"refused screen code", "\"TD\"", "unknown"}, {"shown"}}},
    TTraceCase{"PassedOverSilently", " td,ud 0312345678", [](TTargetScript& s, auto&) { s.Screens[TdNew].OpenAfter.reset(); },
               {{"\"td\"", "passed over", "子ウィンドウの取得不可"}, {"screen ud", "typed"}, {"outcome", "1 of 2", "passed over", "\"td\""}}},
    TTraceCase{"AnotherJobNeverEnds", " td 0312345678", [](TTargetScript&, auto& d) { d.OtherJobUntil = UINT64_MAX; },
               {{"another job", "timed out"}, {"outcome", "1 of 1"}}},
    TTraceCase{"LockedThenUnlocked", " td 0312345678",
               [](TTargetScript&, auto& d) { d.InputDesktop = "Winlogon"; d.At(20000, [&d] { d.InputDesktop = "Default"; }); },
               {{"session", "\"Winlogon\"", "waiting"}, {"session", "20000 ms"}, {"outcome", "1 of 1"}}},
    TTraceCase{"LockedPastTheBound", " td 0312345678", [](TTargetScript&, auto& d) { d.Locked = true; },
               {{"session", "locked", "waiting"}, {"session", "locked", "nothing typed"}, {"shown", "ロック"}}},
    TTraceCase{"BehindAnotherProgram", " td 0312345678",
               [](TTargetScript&, auto& d) { d.Foreground = d.AddWindow(0, "XLMAIN", "Book1", {}, 777); d.Elevated.insert(777); },
               {{"foreground", "\"XLMAIN\"", "pid=777", "attaching input"}, {"outcome", "1 of 1"}}},
    TTraceCase{"NewVersionMatched", " td 0312345678",
               Settings({{"target/class", "Hanbai16Main"}, {"screen td/title1", "得意先台帳 (新規入力)"}, {"lookup/click3", "65,157"}}, true),
               {{"[target]", "\"Hanbai16Main\""}, {"[lookup] click3", "(65,157)"}, {"[screen td] title1", "新規入力"}, {"outcome", "1 of 1"}}},
    TTraceCase{"NewVersionUnmatched", " td 0312345678", Settings({}, true), {{"Hanbai15Main", "not running"}, {"shown", "パスが無効"}}},
    TTraceCase{"NewScreenCode", " tx 0312345678",
               Settings({{"screen tx/title1", "得意先元帳"}, {"screen tx/menu1", "u"}, {"screen tx/menu2", "J"}, {"screen tx/lookup", "請求先参照"},
                         {"screen tx/narrow", "1,1"}, {"screen tx/middle", "1,1"}, {"screen tx/wide", "30,30"}}),
               {{"[screen tx] menu1=U"}, {"screen tx", "typed"}, {"outcome", "1 of 1"}}},
    // Caught: a new screen without a lookup title defined, its lookup searched for by an empty title.
    TTraceCase{"NewScreenWithoutLookup", " tx 0312345678",
               Settings({{"screen tx/title1", "得意先元帳"}, {"screen tx/menu1", "u"}, {"screen tx/menu2", "J"},
                         {"screen tx/narrow", "1,1"}, {"screen tx/middle", "1,1"}, {"screen tx/wide", "30,30"}}),
               {{"[screen tx]", "not all given"}, {"refused screen code", "\"tx\"", "unknown"}}},
    TTraceCase{"BadSettingsIgnored", " td 0312345678",
               Settings({{"screen td/title1", ""}, {"screen td/menu1", "DA"}, {"screen td/wide", "188"}, {"screen ty/menu1", "T"}}),
               {{"title1", "ignored"}, {"menu1=\"DA\"", "ignored"}, {"wide=\"188\"", "ignored"}, {"[screen ty]", "ignored"}, {"outcome", "1 of 1"}}}};

INSTANTIATE_TEST_SUITE_P(Runs, TraceRunTest, ::testing::ValuesIn(TraceCases),
                         [](const auto& info) { return std::string(info.param.Name); });

class UnwritableTraceTest : public SettingsRunTest, public ::testing::WithParamInterface<TTraceCase> {};

// Everything the job does, in order and in time, apart from the calls the trace makes.
TEST_P(UnwritableTraceTest, JobIsTheSameWithNoTraceAndWithOneThatCannotBeWritten) {
  std::vector<std::vector<std::string>> runs;
  for (const std::string file : {"", "trace.log", "written.log"}) {
    Desktop = sim::TSimDesktop();
    Desktop.Unwritable.insert(TraceFile);
    RunProgram({{"trace/file", file}}, GetParam().Args, GetParam().Change);
    std::vector<std::string> done = Desktop.ErrorBoxes;
    for (const sim::TCall& c : Desktop.Calls) {
      if (c.Op == "PostMessageA" || c.Op == "SendInput" || c.Op == "Pause") {
        done.push_back(c.Op + std::to_string(c.At) + "/" + std::to_string(c.Window) + "/" +
                       std::to_string(c.Message) + "/" + std::to_string(c.WParam));
      }
    }
    for (const sim::TSearch& s : Target->Searches) done.push_back(s.Dialog + s.Screen + s.Text);
    runs.push_back(done);
    if (file == "trace.log") {
      EXPECT_EQ(Desktop.Count("OpenForAppend"), 1);  // tried once, then silent
    }
    EXPECT_EQ(Desktop.WrittenFiles.size(), file == "written.log" ? 1u : 0u);
    EXPECT_EQ(Desktop.OpenHandles(), 0);
    // No trace line between the guard's last look at a point and its click: the window there
    // may change while a slow disk writes it. (Input sent before any look is the start-up's.)
    for (std::size_t i = 0, looked = SIZE_MAX; i < Desktop.Calls.size(); ++i) {
      if (Desktop.Calls[i].Op == "WindowFromPoint") looked = i;
      for (std::size_t j = looked; Desktop.Calls[i].Op == "SendInput" && j < i; ++j) EXPECT_NE(Desktop.Calls[j].Op, "WriteFile") << i;
    }
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_EQ(runs[0], runs[2]);
}

// Every traced run, the job whose other job never ends included.
INSTANTIATE_TEST_SUITE_P(Jobs, UnwritableTraceTest, ::testing::ValuesIn(TraceCases),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmora
