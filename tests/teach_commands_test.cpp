// pelmora-check's teach as the administrator runs it: one code at a time, every code in
// force checked again, and an outcome an unattended run reads from its report and exit code.
#include <gtest/gtest.h>

#include "check/commands.h"
#include "tests/sim_check.h"
#include "tests/sim_target.h"

namespace pelmora {
namespace {

TEST(TeachCommandTest, OneCodeTaughtEveryCodeCheckedAgainAndTheOutcomeReported) {
  const std::string ini = "C:\\Pelmora\\pelmora.ini";
  const struct {
    const char* Fault;
    std::string Codes, Unwritable;
    int Exit;
    std::vector<std::string> Says;  // in the report
  } cases[] = {
      {"several codes taught as the first", "td,tm", "", CheckNothingDone, {"# pelmora-check ", "1つだけ"}},
      {"nothing written yet exit code 0, or no new file to put in place", "td", "C:\\Pelmora\\", TeachNotWritten,
       {"C:\\Out\\pelmora.ini.new", "\ntm\t", "\nud\t"}},
      {"only the code taught checked again", "td", "", CheckFaults, {"\ntd\t", "\ntm\t", "\nud\t"}},
  };
  for (const auto& c : cases) {
    sim::TSimDesktop d;
    sim::TTargetScript script;
    script.OpenAtStart = {"得意先台帳 (新規)"};
    sim::TSimTarget target(d, script);
    d.AddWindow(target.ScreenWindow("得意先台帳 (新規)"), "Edit", "", {150, 180, 300, 220}, sim::TargetProcess);
    sim::TSimCheckSystem cs(d);
    cs.Clicks = {{9000, {160, 190}}, {20000, {720, 335}}, {21000, {700, 475}}, {22000, {660, 418}}};
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
