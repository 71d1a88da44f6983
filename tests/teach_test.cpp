// The teach on the simulated desktop: the offsets it takes, the lock it runs under, the
// settings it writes, or leaves as they were, and the outcome an unattended run reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "automation/settings_file.h"
#include "automation/teach.h"
#include "check/commands.h"
#include "tests/sim_check.h"
#include "tests/sim_target.h"

namespace pelmora {
namespace {

using sim::TargetProcess;
const std::string TdNew = "得意先台帳 (新規)";

// The simulated target's td screen lies at (10,70) with a control at (150..300, 180..220);
// the lookup F8 opens lies at (600,300), 400x260. The screen's clicks, then the lookup's three.
std::vector<sim::TScriptedClick> AndTheLookups(std::vector<sim::TScriptedClick> first) {
  first.insert(first.end(), {{20000, {720, 335}}, {21000, {700, 475}}, {22000, {660, 418}}});
  return first;
}

TEST(CheckTest, TheTeachTakesOffsetsFromClicksInsideTheWindowMeantOnly) {
  const struct {
    const char* Fault;
    std::vector<sim::TScriptedClick> Clicks;
    TTeachEnd End;
    int Refused;  // clicks said not to be taken
    int F8s = 1;
    bool Kinds = false;  // the first lookup point drops a list of kinds, picked from at the second
  } cases[] = {
      {"offsets not taken from the outer corners", AndTheLookups({{9000, {160, 190}}}), TTeachEnd::Taught, 0},
      {"a click outside the screen or the lookup taken",
       AndTheLookups({{5000, {1500, 500}}, {9000, {160, 190}}, {15000, {1100, 335}}}), TTeachEnd::Taught, 2},
      // Another program's notice lies over (200..300, 180..220).
      {"a click on a window covering the one meant taken", AndTheLookups({{5000, {250, 200}}, {9000, {160, 190}}}), TTeachEnd::Taught, 1},
      {"a pick on the list the last click dropped judged after its release, as refused", AndTheLookups({{9000, {160, 190}}}), TTeachEnd::Taught, 0, 1, true},
      {"Esc not ending the teach", {{9000, {}, true}}, TTeachEnd::Cancelled, 0, 0},
      {"the wait for a click unbounded", {{9000, {160, 190}}}, TTeachEnd::TimedOut, 0},
      {"a screen click that timed out going on to F8", {}, TTeachEnd::TimedOut, 0, 0},
  };
  for (const auto& c : cases) {
    sim::TSimDesktop d;
    sim::TTargetScript script;
    script.OpenAtStart = {TdNew};
    script.Screens[TdNew].KindList = c.Kinds;
    sim::TSimTarget target(d, script);
    d.AddWindow(target.ScreenWindow(TdNew), "Edit", "", {150, 180, 300, 220}, TargetProcess);
    d.AddWindow(0, "Notice", "", {200, 180, 300, 220}, sim::ForeignProcess);
    sim::TSimCheckSystem cs(d);
    cs.Clicks = c.Clicks;
    TTrace off;
    const TScreenTable table = BuiltInTable();
    TJob job;
    job.ScreenCodes = {"td"};
    int refused = 0;
    const TTeachResult result = TeachScreen({d, off, 1, table}, cs, job, [&](const std::string& text) {
      refused += text.find("使いませんでした") != std::string::npos ? 1 : 0;
    });
    EXPECT_EQ(result.End, c.End) << c.Fault;
    EXPECT_EQ(refused, c.Refused) << c.Fault;
    EXPECT_TRUE(target.Dialog == 0 || !d.Window(target.Dialog).Alive) << c.Fault;  // closed again
    const auto posts = d.Posts();
    EXPECT_EQ(std::count_if(posts.begin(), posts.end(), [](const sim::TCall& p) { return p.Message == wm::KeyDown && p.WParam == vk::F8; }), c.F8s) << c.Fault;
    if (c.End == TTeachEnd::TimedOut) {
      EXPECT_LT(d.Now(), 9000 + 2 * TeachClickWaitMs) << c.Fault;
    }
    if (c.End != TTeachEnd::Taught) continue;
    EXPECT_EQ(TaughtLinesText(result.Taught), "[screen td]\r\nwide=150,120\r\n[lookup 得意先参照]\r\nclick1=120,35\r\n"
                                              "click2=100,175\r\nclick3=60,118\r\n") << c.Fault;
  }
}

// The shell holds the start till 2 s before the teach's first end; the clicks then take 3 minutes.
TEST(CheckTest, TheTeachRunsUnderTheLockOnATargetStartedNormally) {
  const struct { const char* Fault; void (*Set)(sim::TSimDesktop&); bool Taught; } cases[] = {
      {"a teach with no lock to be had run all the same", [](sim::TSimDesktop& d) { d.MutexAvailable = false; }, false},
      {"an elevated teach starting the target, which would refuse every normal job", [](sim::TSimDesktop& d) { d.IntegrityLevels[0] = 0x3000; }, false},
      {"the end not published again once the target is up, or without the waits for clicks", [](sim::TSimDesktop&) {}, true},
  };
  for (const auto& c : cases) {
    sim::TSimDesktop d;
    sim::TSimCheckSystem cs(d);
    d.OnShellExecute = [&d, &cs](const std::string&) {
      d.Pause(d.SharedValue - d.GetTickCount() - 2000);
      const std::uint64_t t = d.Now();
      cs.Clicks = {{t + 5000, {160, 190}}, {t + 60000, {720, 335}}, {t + 115000, {700, 475}}, {t + 170000, {660, 418}}};
    };
    c.Set(d);
    sim::TTargetScript script;
    script.Running = false;
    sim::TSimTarget target(d, script);
    TTrace off;
    TJob job{sim::TargetPath, {"td"}, "", "", 0.0};
    EXPECT_EQ(TeachScreen({d, off, 1, BuiltInTable()}, cs, job, [](const std::string&) {}).End == TTeachEnd::Taught, c.Taught) << c.Fault;
    EXPECT_EQ(d.Count("ShellExecuteA"), c.Taught ? 1 : 0) << c.Fault;
    const auto& ends = d.SharedValues;  // each stood till the next was published
    for (std::size_t i = 1; i < ends.size(); ++i) EXPECT_LE(d.TickBase + ends[i].first, ends[i - 1].second) << c.Fault;
  }
}

// Two teaches a minute apart: a file held without read sharing taken for none and replaced by
// the taught lines; the file before any teach lost to the second's copy, or no copy of its own.
TEST(CheckTest, ATeachLosesNoSettings) {
  const std::string ini = "C:\\Pelmora\\pelmora.ini", before = "; 表\r\n[trace]\r\nfile=t.log\r\n";
  for (const bool unreadable : {true, false}) {
    sim::TSimDesktop d;
    sim::TSimCheckSystem cs(d);
    cs.Files[ini] = before;
    cs.Unreadable = {unreadable ? ini : ""};
    std::map<std::string, std::string> copies;  // each teach's copy, with what the file held before it
    for (int i = 0; i < 2; ++i) {
      std::string copy, was = cs.Files[ini];
      EXPECT_EQ(WriteTaught(cs, ini, {"td", acWide, {i, i}, {}, "得意先参照"}, {2026, 12, 9, 11, 30 + i, 5, 0}, copy).empty(), !unreadable);
      if (!copy.empty()) copies[copy] = was;
    }
    copies[ini] = unreadable ? before : cs.Files[ini];
    EXPECT_EQ(cs.Files, copies) << unreadable;  // nothing else written
    EXPECT_EQ(cs.Files[ini + ".bak"], unreadable ? "" : before) << unreadable;
  }
  // A first teach with no file yet: made, with nothing to copy. Caught: refused for want of a copy.
  sim::TSimDesktop d;
  sim::TSimCheckSystem cs(d);
  std::string copy = "-";
  EXPECT_EQ(WriteTaught(cs, ini, {"td", acWide, {1, 1}, {}, "得意先参照"}, {}, copy), "");
  EXPECT_EQ(cs.Files.count(ini) + copy.size(), 1u);
}

// A job waiting behind a teach goes on at the end the teach published. Caught: that end
// leaving out the teach's four waits for the administrator's clicks.
TEST(CheckTest, TheTeachsEndCoversItsWaitsForClicks) {
  const auto firstEnd = [](bool teach) {
    sim::TSimDesktop d;
    sim::TSimTarget target(d, {});
    sim::TSimCheckSystem cs(d);
    TTrace off;
    const TScreenTable table = BuiltInTable();
    TJob job{sim::TargetPath, {"td"}, "", "", 0.0};
    if (teach) TeachScreen({d, off, 2, table}, cs, job, [](const std::string&) {});
    if (!teach) RunUnderJobLock({d, off, 2, table}, 1, 0, [](TWaitResult, const TPublishEnd&) {});
    return d.SharedValues.front().second - d.TickBase;  // published at once
  };
  EXPECT_GE(firstEnd(true), firstEnd(false) + 4 * TeachClickWaitMs * 2);
}

// What a teach writes is what the job then reads, for the class it was taught on only.
TEST(CheckTest, TaughtSettingsAreReadBackByTheJobForTheirAspectClass) {
  for (const TAspectClass aspect : {acNarrow, acMiddle, acWide}) {
    sim::TSimDesktop d;
    sim::TSimCheckSystem cs(d);
    const std::string ini = "C:\\Pelmora\\pelmora.ini";
    cs.Files[ini] = "; kept\r\n[trace]\r\nfile=t.log\r\n";
    std::string copy;
    ASSERT_EQ(WriteTaught(cs, ini, {"tm", aspect, {301, 202}, {{{11, 12}, {13, 14}, {15, 16}}}, "請求先参照"}, {}, copy), "");
    EXPECT_EQ(cs.Files[ini + ".bak"], "; kept\r\n[trace]\r\nfile=t.log\r\n") << aspect;
    EXPECT_EQ(cs.Files[ini].rfind("; kept\r\n[trace]\r\nfile=t.log\r\n", 0), 0u) << aspect;
    const TSettingsFile written(cs.Files[ini]);  // the bytes written, as Windows reads them
    for (const std::string& section : written.Names(nullptr)) {
      bool lacking = false;
      for (const std::string& key : written.Names(section.c_str())) {
        d.Profiles[ini][section + "/" + key] = written.Value(section, key, lacking);
      }
    }
    const TSettings settings = ReadSettings(d);
    const TScreenEntry* tm = settings.Table.Find("tm");
    ASSERT_NE(tm, nullptr);
    for (const TAspectClass other : {acNarrow, acMiddle, acWide}) {  // the others keep their defaults
      EXPECT_EQ(tm->ClickOffset[other].X == 301 && tm->ClickOffset[other].Y == 202, other == aspect) << aspect;
    }
    EXPECT_EQ(settings.Table.LookupPoints("請求先参照")[2].X, 15) << aspect;
    // td and ud open the other lookup: a teach of tm leaves their points as they were.
    EXPECT_EQ(settings.Table.LookupPoints("得意先参照")[2].X, BuiltInTable().LookupClickPoints[2].X) << aspect;
  }
}

// A teach that cannot write changes nothing and copies nothing, and says why.
TEST(CheckTest, ATeachThatCannotWriteLeavesEverythingAsItWas) {
  const std::string ini = "C:\\Pelmora\\pelmora.ini", ansi = "[trace]\r\n", bom = "\xEF\xBB\xBF[trace]\r\n";
  const struct { const char* Fault; std::string File, Unwritable, Title, Why; } cases[] = {
      {"a copy made before the values are known to fit", bom, "", "亜", "UTF-8"},  // lacking in the code page
      {"a read-only file copied before its write is refused", ansi, ini, "得意先参照", "権限"},
      {"a folder without rights blamed on a copy's name", ansi, "C:\\Pelmora\\", "得意先参照", "権限"},
  };
  for (const auto& c : cases) {
    sim::TSimDesktop d;
    sim::TSimCheckSystem cs(d);
    cs.Files[ini] = c.File;
    cs.Unwritable = {c.Unwritable};
    std::string copy;
    const std::string why = WriteTaught(cs, ini, {"td", acWide, {1, 1}, {}, c.Title}, {}, copy);
    EXPECT_NE(why.find(c.Why), std::string::npos) << c.Fault;
    EXPECT_EQ(cs.Files, (std::map<std::string, std::string>{{ini, c.File}})) << c.Fault;
  }
}

// pelmora-check's teach as the administrator runs it: one code at a time, every code in force
// checked again, and an outcome an unattended run reads from its report and exit code.
TEST(TeachCommandTest, OneCodeTaughtEveryCodeCheckedAgainAndTheOutcomeReported) {
  const std::string ini = "C:\\Pelmora\\pelmora.ini";
  // Says: what the report holds.
  const struct { const char* Fault; std::string Codes, Unwritable; int Exit; std::vector<std::string> Says; } cases[] = {
      {"several codes taught as the first", "td,tm", "", CheckNothingDone, {"# pelmora-check ", "1つだけ"}},
      {"nothing written yet exit code 0, or no new file to put in place", "td", "C:\\Pelmora\\", TeachNotWritten,
       {"C:\\Out\\pelmora.ini.new", "\ntm\t", "\nud\t"}},
      {"only the code taught checked again", "td", "", CheckFaults, {"\ntd\t", "\ntm\t", "\nud\t"}},
  };
  for (const auto& c : cases) {
    sim::TSimDesktop d;
    sim::TTargetScript script;
    script.OpenAtStart = {TdNew};
    sim::TSimTarget target(d, script);
    d.AddWindow(target.ScreenWindow(TdNew), "Edit", "", {150, 180, 300, 220}, TargetProcess);
    sim::TSimCheckSystem cs(d);
    cs.Clicks = AndTheLookups({{9000, {160, 190}}});
    cs.Unwritable = {c.Unwritable};
    d.CommandLine = "pelmora-check.exe /teach /out:C:\\Out " + sim::TargetPath + " " + c.Codes;
    TCheckCommands commands(d, cs);
    commands.Show = [](const std::string&) {};
    ASSERT_TRUE(commands.Start());
    commands.Teach(commands.Args.Path, commands.Args.Codes);
    EXPECT_EQ(commands.ExitCode, c.Exit) << c.Fault;
    EXPECT_EQ(cs.Files.count(ini), c.Exit == CheckFaults ? 1u : 0u) << c.Fault;
    for (const std::string& says : c.Says) {
      EXPECT_NE(cs.Files["C:\\Out\\pelmora-check.txt"].find(says), std::string::npos) << c.Fault << ": " << says;
    }
  }
}

}  // namespace
}  // namespace pelmora
