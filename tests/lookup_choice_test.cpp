// Lookups of earlier screens stay open under the same title: each number must go into the
// lookup its own F8 opened or showed, however the target opens and places them.
#include <gtest/gtest.h>

#include <functional>

#include "tests/job_fixture.h"

namespace pelmora {
namespace {

using sim::TTargetScript;

const std::string TdNew = "得意先台帳 (新規)";
const std::string UdNew = "売上伝票 (新規)";
const std::string Phone = "0312345678";

struct TChoiceCase {
  const char* Name;
  std::vector<std::string> Codes;
  std::function<void(TTargetScript&)> Change;
  std::uint64_t Ms;  // virtual time of the job
  std::string Why;   // what the trace says of the second screen's lookup
};
void PrintTo(const TChoiceCase& c, std::ostream* os) { *os << c.Name; }

class LookupChoiceTest : public JobFixture, public ::testing::WithParamInterface<TChoiceCase> {};

TEST_P(LookupChoiceTest, EachNumberGoesIntoTheLookupItsOwnF8Opened) {
  const TChoiceCase& c = GetParam();
  TTargetScript s;
  s.OpenAtStart = {TdNew, UdNew};
  c.Change(s);
  Start(s);
  TTrace trace;
  trace.Open(Desktop, "C:\\trace.log", 0);
  Job.InstallPath = sim::TargetPath;
  Job.ScreenCodes = c.Codes;
  Job.PhoneNumber = Phone;
  GetCurrentWindow(Desktop, Job, {1, &trace});

  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(Target->Searches.size(), c.Codes.size());
  ASSERT_EQ(Target->Asked.size(), c.Codes.size());
  for (std::size_t i = 0; i < c.Codes.size(); ++i) {
    EXPECT_EQ(Target->Searches[i].Window, Target->Asked[i]) << i;
    EXPECT_EQ(Target->Searches[i].Text, Phone) << i;
  }
  EXPECT_EQ(Desktop.Now(), c.Ms);
  const std::string& lines = Desktop.WrittenFiles["C:\\trace.log"];
  const std::size_t last = lines.rfind("search lookup");
  ASSERT_NE(last, std::string::npos);
  EXPECT_NE(lines.substr(last, lines.find('\n', last) - last).find(c.Why), std::string::npos) << lines;
}

void KeepNewLookups(TTargetScript& s) { s.NewDialogPerF8 = true; }
void Late(TTargetScript& s) {
  for (const std::string& title : {TdNew, UdNew}) s.Screens[title].DialogAfter = 400;
}

// Start-up 100 ms; each open screen 550 ms and 100 for every search of its lookup, the
// lookup appearing 50 ms after F8 unless late: two searches, or five when 400 ms late.
INSTANTIATE_TEST_SUITE_P(
    Targets, LookupChoiceTest,
    ::testing::Values(
        TChoiceCase{"Late", {"td", "ud"},
                    [](TTargetScript& s) { KeepNewLookups(s); Late(s); }, 100 + 2 * 1050, "; new"},
        TChoiceCase{"Cascaded", {"td", "ud"},
                    [](TTargetScript& s) { KeepNewLookups(s); s.CascadeDialogs = true; },
                    100 + 2 * 750, "; new"},
        TChoiceCase{"LateAndCascadedSameScreenTwice", {"td", "td"},
                    [](TTargetScript& s) { KeepNewLookups(s); Late(s); s.CascadeDialogs = true; },
                    100 + 2 * 1050, "; new"},
        TChoiceCase{"ReusedAndHiddenShownAgainWithoutActivation", {"td", "ud"},
                    [](TTargetScript& s) { s.HideDialogOnEnter = true; s.ActivateDialogs = false; },
                    100 + 2 * 750, "; shown again"},
        TChoiceCase{"ReusedAndStillShownBroughtForward", {"td", "ud"}, [](TTargetScript&) {},
                    100 + 2 * 750, "; brought forward"},
        TChoiceCase{"NewOneAtTheSamePlace", {"td", "td"}, KeepNewLookups, 100 + 2 * 750, "; new"},
        // Nothing tells it from an older one: taken only after every search.
        TChoiceCase{"ReusedAndStillShownWithoutActivation", {"td", "ud"},
                    [](TTargetScript& s) { s.ActivateDialogs = false; }, 100 + 750 + 550 + 3000,
                    "last resort"}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmora
