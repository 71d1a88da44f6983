// The number and every click reach only the target's lookup, of a target of the same rights.
#include <gtest/gtest.h>

#include <functional>

#include "automation/messages.h"
#include "tests/job_fixture.h"

namespace pelmora {
namespace {

using sim::TTargetScript;

const std::string TdNew = "得意先台帳 (新規)";
const std::string Ledger = "得意先元帳";
const std::string Phone = "0312345678";
const std::string NoChild = NotStarted + "子ウィンドウの取得不可)";
const std::string NoField = NotStarted + "得意先参照画面-入力欄の取得不可)";

// Click points of the first screen and of the lookup on the simulated target, wide display.
constexpr TPoint ScreenPoint{10 + 188, 70 + 126};
constexpr TPoint DialogPoint1{600 + 135, 300 + 40};
constexpr TPoint DialogPoint2{600 + 115, 300 + 180};

struct TSafetyCase {
  const char* Name;
  std::vector<std::string> Codes;
  std::function<void(TTargetScript&)> Script;
  std::function<void(sim::TSimDesktop&, sim::TSimTarget&)> Desktop;  // once the target runs
  std::string Box;
  std::size_t Clicks;
  std::size_t Searches;  // each must hold exactly the number
  std::string Taken = "c8ccc";  // its screen's click, F8, the lookup's clicks ('k': a kind picked), in order
};
void PrintTo(const TSafetyCase& c, std::ostream* os) { *os << c.Name; }

// Another program's (or `owner`'s) small window over `p`, gone at `gone` if set. The
// lookup opens at 350 ms and is clicked at 500, 550 and 600 ms; its field is taken at 650 ms.
auto ForeignAt(TPoint p, std::uint64_t at, TProcessId owner = sim::ForeignProcess, std::uint64_t gone = 0) {
  return [=](sim::TSimDesktop& d, sim::TSimTarget&) {
    d.At(at, [&d, p, owner, gone] {
      const TWindow w = d.AddWindow(0, "Toast", "通知", {p.X - 5, p.Y - 5, p.X + 5, p.Y + 5}, owner);
      if (gone != 0) d.At(gone, [&d, w] { d.Destroy(w); });
    });
  };
}
auto BusyFrom(std::uint64_t at, std::uint64_t ms) {  // the target's thread takes nothing meanwhile
  return [=](sim::TSimDesktop& d, sim::TSimTarget&) { d.At(at, [&d, at, ms] { d.BusyUntil[sim::TargetProcess] = at + ms; }); };
}

// After the last click (600 ms), before the field is taken (650 ms), an edit is set over the
// field: another program's in the lookup, or the target's in a window of its own; a hand
// focuses it unless `left`.
auto EditOverTheField(TProcessId owner, bool left = false) {
  return [owner, left](sim::TSimDesktop& d, sim::TSimTarget& t) {
    d.At(620, [&d, &t, owner, left] {
      d.AddWindow(owner == sim::TargetProcess ? d.AddWindow(0, "TLookup", "", {600, 400, 1000, 440}, owner) : t.Dialog, "Edit", "", {600, 400, 1000, 440}, owner);
      if (left) return;
      d.HandClick({610, 410});
      if (owner != sim::TargetProcess) d.Clicks.pop_back();  // the hand's, not the job's
    });
  };
}

class SafetyTest : public JobFixture, public ::testing::WithParamInterface<TSafetyCase> {};

TEST_P(SafetyTest, OnlyTheTargetsLookupGetsClicksAndTheNumber) {
  const TSafetyCase& c = GetParam();
  TTargetScript s;
  s.OpenAtStart = {TdNew, Ledger};
  if (c.Script) c.Script(s);
  Start(s);
  if (c.Desktop) c.Desktop(Desktop, *Target);
  RunJob(c.Codes, Phone);
  EXPECT_EQ(Boxes(), c.Box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Box});
  EXPECT_EQ(Desktop.Clicks.size(), c.Clicks);
  // Windows may have gone since: read their owner from the record, not the live desktop.
  for (const sim::TClick& click : Desktop.Clicks) {
    EXPECT_EQ(Desktop.Window(click.Window).Process, sim::TargetProcess);
  }
  ASSERT_EQ(Target->Searches.size(), c.Searches);
  for (const sim::TSearch& search : Target->Searches) {
    EXPECT_EQ(search.Text, Phone);
    EXPECT_EQ(search.Taken, c.Taken);
  }
  for (const sim::TCall& post : Desktop.Posts()) {
    EXPECT_EQ(Desktop.Window(post.Window).Process, sim::TargetProcess);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SafetyTest,
    ::testing::Values(
        // A lookup left open under a new one of the same title: the search finds the old
        // one first, the new one lies at the points.
        TSafetyCase{"OlderLookupLeftOpenUnderTheNext", {"td", "ud"},
                    [](TTargetScript& s) { s.NewDialogPerF8 = true; }, nullptr, "", 8, 2},
        TSafetyCase{"SameScreenTwiceWithLookupsKept", {"td", "td"},
                    [](TTargetScript& s) { s.NewDialogPerF8 = true; }, nullptr, "", 8, 2},
        TSafetyCase{"PrefilledFieldIsReplaced", {"td"},
                    [](TTargetScript& s) { s.Screens[TdNew].Prefill = "09099998888"; }, nullptr,
                    "", 4, 1},
        TSafetyCase{"ForeignWindowOverTheScreenPoint", {"td"}, nullptr, ForeignAt(ScreenPoint, 0),
                    NoChild, 0, 0},
        TSafetyCase{"ForeignWindowOverTheScreenPointInAMultiJob", {"td", "tm"}, nullptr,
                    ForeignAt(ScreenPoint, 0), "", 4, 1},
        TSafetyCase{"ForeignWindowOverTheFirstDialogPoint", {"td"}, nullptr,
                    ForeignAt(DialogPoint1, 360), NoField, 1, 0},
        TSafetyCase{"ForeignWindowOverTheSecondDialogPoint", {"td"}, nullptr,
                    ForeignAt(DialogPoint2, 360), NoField, 2, 0},
        TSafetyCase{"ForeignChildInsideTheDialogAtTheField", {"td"},
                    [](TTargetScript& s) { s.Screens[TdNew].ForeignChildInField = true; }, nullptr,
                    NoField, 3, 0},
        TSafetyCase{"ForeignChildSetInsideTheDialogAfterTheLastClick", {"td"}, nullptr, EditOverTheField(sim::ForeignProcess, true), NoField, 4, 0},
        // The dialog goes after the first click: the screen behind it gets no other click.
        TSafetyCase{"DialogClosedAfterTheFirstClick", {"td"}, nullptr,
                    [](sim::TSimDesktop& d, sim::TSimTarget& t) {
                      d.At(520, [&d, &t] { d.Destroy(t.Dialog); });
                    },
                    NoField, 2, 0},
        // A box of the target's own (a click would answer it), one going within the bound,
        // the screen brought forward late, a target busy after activating the screen or
        // showing the lookup, posts that fail.
        TSafetyCase{"TargetsBoxOverTheScreenPoint", {"td"}, nullptr, ForeignAt(ScreenPoint, 0, sim::TargetProcess), NoChild, 0, 0},
        TSafetyCase{"TargetsBoxOverTheFirstDialogPoint", {"td"}, nullptr, ForeignAt(DialogPoint1, 360, sim::TargetProcess), NoField, 1, 0},
        TSafetyCase{"BoxGoneWithinTheBound", {"td"}, nullptr, ForeignAt(DialogPoint2, 360, sim::ForeignProcess, 900), "", 4, 1},
        TSafetyCase{"OtherScreenInFrontUntilLate", {"td"}, [](TTargetScript& s) { s.ActivateAfter = 300; }, nullptr, "", 4, 1},
        TSafetyCase{"BusyAfterActivatingTheScreen", {"tm"}, nullptr, BusyFrom(100, 500), "", 4, 1},
        TSafetyCase{"BusyAfterShowingTheLookup", {"td"}, nullptr, BusyFrom(350, 500), "", 4, 1},
        // Clicks held back 300 ms by a slow low-level hook: each is taken before what follows.
        TSafetyCase{"InputRoutedLate", {"td"}, nullptr, [](sim::TSimDesktop& d, sim::TSimTarget&) { d.RouteDelayMs = 300; }, "", 4, 1},
        // The third click lands on a control that keeps no focus: Enter would press a button.
        TSafetyCase{"FieldTakesNoFocus", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].FieldTakesFocus = false; }, nullptr, NoField, 4, 0},
        TSafetyCase{"PostsFailBeforeTheNumber", {"td"}, nullptr,
                    [](sim::TSimDesktop& d, sim::TSimTarget&) { d.At(620, [&d] { d.PostsFail = true; }); }, NoField, 4, 0},
        // Busy 4 s from before ud's F8 (1450 ms), through its last search, td's lookup still shown.
        // Caught: that lookup taken as the last resort though the target never answered.
        TSafetyCase{"BusyThroughTheLastLookupSearch", {"td", "ud"}, [](TTargetScript& s) { s.ActivateDialogs = false; },
                    BusyFrom(1400, 4000), "", 5, 1},
        // The first point drops a list, or opens a menu, of search kinds: it holds the mouse or
        // the menu loop, and lies outside the lookup. Caught: the click taken as never handled,
        // and the second click refused as off the lookup.
        TSafetyCase{"DropDownListOfSearchKinds", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].KindList = true; }, nullptr, "", 4, 1, "c8ckc"},
        TSafetyCase{"PopupMenuOfSearchKinds", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].KindMenu = true; }, nullptr, "", 4, 1, "c8ckc"},
        // Caught: any list of the target's taken as the lookup's, though no click of it opened it.
        TSafetyCase{"ListTheJobDidNotOpen", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].StrayList = true; }, nullptr, NoField, 2, 0},
        // Caught: the focus required on the framing window itself, not on the edit inside it.
        TSafetyCase{"FieldFramingAnInnerEdit", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].FramedField = true; }, nullptr, "", 4, 1},
        // The first point shows a list the target draws itself (owned by the lookup, no capture), or a
        // captioned box, over the second. Caught: nothing opened without a capture; a box taken for a list.
        TSafetyCase{"ListTheTargetDrawsItself", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].OwnList = true; }, nullptr, "", 4, 1, "c8ckc"},
        TSafetyCase{"CaptionedBoxOverTheSecondPoint", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].KindBox = true; }, nullptr, NoField, 2, 0},
        // The main window takes the mouse at the first lookup click. Caught: taken for an opened list.
        TSafetyCase{"MainWindowCapturesAtTheFirstClick", {"td"}, nullptr, [](sim::TSimDesktop& d, sim::TSimTarget& t) {
                      d.OnClick = [&d, &t, click = d.OnClick](TWindow w) { click(w), d.Capture[sim::TargetProcess] = d.Window(w).Parent == t.Dialog ? t.Main : 0; };
                    }, NoField, 2, 0},
        // Caught: the pick's click taken while its menu is still up, the next click eaten by it.
        TSafetyCase{"MenuUpAfterItsPick", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].KindMenu = s.Screens[TdNew].MenuLate = true; }, nullptr, "", 4, 1, "c8ckc"},
        // The field point on a panel's margin, the focus left on its button. Caught: a focus anywhere in it taken.
        TSafetyCase{"PanelMarginWithTheFocusElsewhereOnIt", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].Panel = true, s.FieldLower = 30; }, nullptr, NoField, 4, 0},
        // Caught: the field's process, or its lookup, not checked: typed into an edit holding its own focus.
        TSafetyCase{"ForeignEditFocusedInsideTheLookup", {"td"}, nullptr, EditOverTheField(sim::ForeignProcess), NoField, 4, 0},
        TSafetyCase{"TargetsEditFocusedOutsideTheLookup", {"td"}, nullptr, EditOverTheField(sim::TargetProcess), NoField, 5, 0},
        // Caught: the selection posted to the frame, the old text left in its edit.
        TSafetyCase{"FramedFieldHoldingOldText", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].FramedField = true, s.Screens[TdNew].Prefill = "0901"; }, nullptr, "", 4, 1},
        // The target answers before handling the first lookup click. Caught: what it opened not read after its pause.
        TSafetyCase{"ListShownAfterTheTargetAnswered", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].KindList = true; },
                    [](sim::TSimDesktop& d, sim::TSimTarget&) { d.At(490, [&d] { d.OwnPostsUntil[sim::TargetProcess] = 530; }); }, "", 4, 1, "c8ckc"},
        // A menu of another thread of the target's over the second point. Caught: taken for the one the first click opened.
        TSafetyCase{"MenuOfAnotherThreadOverTheSecondPoint", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].KindMenu = true; },
                    [](sim::TSimDesktop& d, sim::TSimTarget&) { d.At(520, [&d] { d.Window(d.AddWindow(0, "#32768", "", {700, 470, 730, 490}, sim::TargetProcess)).Thread = 99; }); }, NoField, 2, 0},
        // td's second F8 not posted, its lookup still shown. Caught: the failure ignored, that lookup the last resort.
        TSafetyCase{"SecondF8NotPosted", {"td", "td"}, [](TTargetScript& s) { s.ActivateDialogs = false; },
                    [](sim::TSimDesktop& d, sim::TSimTarget&) { d.At(1000, [&d] { d.PostsFail = true; }), d.At(1100, [&d] { d.PostsFail = false; }); }, "", 5, 1},
        // The target answers sent messages while its own posts hold the screen's click back
        // (150..450 ms). Caught: F8 posted before the click was taken, overtaking it.
        TSafetyCase{"ScreenClickQueuedBehindTheTargetsOwnPosts", {"td"}, [](TTargetScript& s) { s.Screens[TdNew].ControlAtClick = true; },
                    [](sim::TSimDesktop& d, sim::TSimTarget&) { d.At(150, [&d] { d.OwnPostsUntil[sim::TargetProcess] = 450; }); }, "", 4, 1},
        // The lookup moves 30 px down between its first and second click. Caught: the field
        // point read from where it lay before its clicks.
        TSafetyCase{"LookupMovedDuringItsClicks", {"td"}, nullptr, [](sim::TSimDesktop& d, sim::TSimTarget& t) {
                      d.At(520, [&d, &t] { for (const TWindow w : {t.Dialog, t.Field}) d.Window(w).Rect.Top += 30, d.Window(w).Rect.Bottom += 30; });
                    }, "", 4, 1}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TRightsCase {
  const char* Name;
  std::map<TProcessId, std::int32_t> Levels;
  bool Refused;
};
void PrintTo(const TRightsCase& c, std::ostream* os) { *os << c.Name; }

class RightsTest : public JobFixture, public ::testing::WithParamInterface<TRightsCase> {};

TEST_P(RightsTest, TargetOfHigherIntegrityIsReportedWhateverTheJobKind) {
  Desktop.IntegrityLevels = GetParam().Levels;
  RunJob({"td", "ud"});
  if (GetParam().Refused) {
    EXPECT_EQ(Boxes(), std::vector<std::string>{msg::HigherRights});
    EXPECT_TRUE(Desktop.Posts().empty());
    EXPECT_EQ(Desktop.Count("SetForegroundWindow"), 0);
  } else {
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Target->Searches.size(), 2u);
  }
}

constexpr std::int32_t Medium = 0x2000, High = 0x3000;
INSTANTIATE_TEST_SUITE_P(
    Levels, RightsTest,
    ::testing::Values(TRightsCase{"TargetHigher", {{0, Medium}, {sim::TargetProcess, High}}, true},
                      TRightsCase{"Same", {{0, High}, {sim::TargetProcess, High}}, false},
                      TRightsCase{"TargetLower", {{0, High}, {sim::TargetProcess, Medium}}, false},
                      TRightsCase{"TargetUnreadable", {{0, Medium}}, false},
                      TRightsCase{"OwnUnreadable", {{sim::TargetProcess, High}}, false}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmora
