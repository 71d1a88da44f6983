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

struct TChoiceCase {
  const char* Name;
  std::vector<std::string> Codes;
  std::function<void(TTargetScript&)> Change;
  std::uint64_t Ms;  // virtual time of the job
  std::string Why;   // what the trace says of the last lookup taken
  std::function<void(sim::TSimDesktop&, sim::TSimTarget&)> Desktop = nullptr;  // once the target runs
};
void PrintTo(const TChoiceCase& c, std::ostream* os) { *os << c.Name; }

class LookupChoiceTest : public JobFixture, public ::testing::WithParamInterface<TChoiceCase> {};

TEST_P(LookupChoiceTest, EachNumberGoesIntoTheLookupItsOwnF8Opened) {
  TTargetScript s;
  s.OpenAtStart = {TdNew, UdNew};
  GetParam().Change(s);
  Start(s);
  if (GetParam().Desktop) GetParam().Desktop(Desktop, *Target);
  TTrace trace;
  trace.Open(Desktop, "t.log", 0);
  Options.Trace = &trace;
  RunJob(GetParam().Codes);
  EXPECT_TRUE(Boxes().empty());
  std::vector<TWindow> searchedIn;
  for (const sim::TSearch& search : Target->Searches) searchedIn.push_back(search.Window);
  EXPECT_EQ(searchedIn, Target->Asked);
  EXPECT_EQ(Desktop.Now(), GetParam().Ms);
  const std::string& lines = Desktop.WrittenFiles["t.log"];
  EXPECT_NE(lines.find(GetParam().Why, lines.rfind("search lookup")), std::string::npos) << lines;
}

void Kept(TTargetScript& s) { s.NewDialogPerF8 = true; }
void KeptLate(TTargetScript& s) {
  Kept(s);
  for (const std::string& title : {TdNew, UdNew}) s.Screens[title].DialogAfter = 400;
}

// Start-up 100 ms; each open screen 550 ms and 100 for every search of its lookup, the
// lookup appearing 50 ms after F8 unless late: two searches, or five when 400 ms late.
INSTANTIATE_TEST_SUITE_P(
    Targets, LookupChoiceTest,
    ::testing::Values(
        TChoiceCase{"Late", {"td", "ud"}, KeptLate, 100 + 2 * 1050, "; new"},
        TChoiceCase{"Cascaded", {"td", "ud"},
                    [](TTargetScript& s) { Kept(s); s.CascadeDialogs = true; }, 100 + 2 * 750, "; new"},
        TChoiceCase{"LateAndCascadedSameScreenTwice", {"td", "td"},
                    [](TTargetScript& s) { KeptLate(s); s.CascadeDialogs = true; }, 100 + 2 * 1050, "; new"},
        TChoiceCase{"ReusedAndHiddenShownAgainWithoutActivation", {"td", "ud"},
                    [](TTargetScript& s) { s.HideDialogOnEnter = true; s.ActivateDialogs = false; },
                    100 + 2 * 750, "; shown again"},
        TChoiceCase{"ReusedAndStillShownBroughtForward", {"td", "ud"}, [](TTargetScript&) {},
                    100 + 2 * 750, "; brought forward"},
        TChoiceCase{"NewOneAtTheSamePlace", {"td", "td"}, Kept, 100 + 2 * 750, "; new"},
        // Nothing tells it from an older one: taken only after every search.
        TChoiceCase{"ReusedAndStillShownWithoutActivation", {"td", "ud"},
                    [](TTargetScript& s) { s.ActivateDialogs = false; }, 100 + 750 + 550 + 3000,
                    "last resort"},
        // td's lookup in front again once ud's screen is clicked, ud's own comes late. Caught:
        // the one in front before F8 taken as brought forward by it.
        TChoiceCase{"InFrontBeforeF8", {"td", "ud"}, KeptLate, 100 + 2 * 1050, "; new",
                    [](sim::TSimDesktop& d, sim::TSimTarget& t) {
                      d.OnClick = [&d, &t, click = d.OnClick](TWindow w) {
                        click(w);
                        if (w == t.ScreenWindow(UdNew)) d.Foreground = t.Dialog;
                      };
                    }}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmora
