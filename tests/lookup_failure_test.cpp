// A screen or lookup that fails: the message of a single-screen job, passed over silently in
// a multi-screen one, every wait within its count, and other programs' windows given nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/lookup_fixture.h"

namespace pelmora {
namespace {

struct TScreenFailure {
  const char* Name;
  std::string Code;
  void (*Change)(TTargetScript&);
  std::string Box;
  bool Posted;  // whether anything was posted for the failing code
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TScreenFailure& c, std::ostream* os) { *os << c.Name; }


class ScreenFailureTest : public LookupTest, public ::testing::WithParamInterface<TScreenFailure> {
 protected:
  void StartFailing() {
    TTargetScript s;
    GetParam().Change(s);
    Start(s);
  }
};

TEST_P(ScreenFailureTest, SingleScreenJobShowsTheMessageAndEnds) {
  StartFailing();
  RunJob({GetParam().Code});
  EXPECT_EQ(Boxes(), std::vector<std::string>{GetParam().Box});
  EXPECT_TRUE(Target->Searches.empty());
  EXPECT_EQ(Desktop.Posts().empty(), !GetParam().Posted);
  for (const auto& [window, typed] : Target->Typed) EXPECT_TRUE(typed.empty()) << window;
}

TEST_P(ScreenFailureTest, MultiScreenJobPassesOverItSilently) {
  for (const std::vector<std::string>& codes :
       {std::vector<std::string>{GetParam().Code, ""}, {"tm", GetParam().Code}}) {
    Desktop = sim::TSimDesktop();
    StartFailing();
    RunJob(codes);
    EXPECT_TRUE(Boxes().empty()) << codes[0] << "," << codes[1];
    EXPECT_EQ(Desktop.Count("IsWindowVisible"), 0);
    const auto billing = std::count_if(Target->Searches.begin(), Target->Searches.end(),
                                       [](const sim::TSearch& s) { return s.Dialog == BillingLookup; });
    EXPECT_EQ(billing, codes[0] == "tm" ? 1 : 0);
  }
}

// Each change makes its code fail in a single-screen job; tm still works. Without the
// visibility waits of a single-screen job a hidden window may still be worked.
INSTANTIATE_TEST_SUITE_P(
    Failures, ScreenFailureTest,
    ::testing::Values(
        TScreenFailure{"ScreenNeverOpens", "td",
                       [](TTargetScript& s) { s.Screens[TdNew].OpenAfter.reset(); },
                       NotStarted + "子ウィンドウの取得不可)", true},
        TScreenFailure{"ScreenOpensTooLate", "td",
                       [](TTargetScript& s) { s.Screens[TdNew].OpenAfter = 3000; },
                       NotStarted + "子ウィンドウの取得不可)", true},
        TScreenFailure{"ScreenStaysHidden", "td",
                       [](TTargetScript& s) { s.Screens[TdNew].Hidden = true; },
                       NotStarted + "子ウィンドウの表示不可)", true},
        TScreenFailure{"DialogNeverOpens", "td",
                       [](TTargetScript& s) { s.Screens[TdNew].DialogAfter.reset(); },
                       NotStarted + CustomerLookup + "画面の取得不可)", true},
        TScreenFailure{"DialogStaysHidden", "ud",
                       [](TTargetScript& s) { s.Screens[UdNew].DialogHidden = true; },
                       NotStarted + CustomerLookup + "画面の表示不可)", true},
        TScreenFailure{"NoFieldAtThePoint", "td",
                       [](TTargetScript& s) { s.Screens[TdNew].Field = false; },
                       NotStarted + CustomerLookup + "画面-入力欄の取得不可)", true},
        TScreenFailure{"ForeignWindowOverTheField", "td",
                       [](TTargetScript& s) { s.Screens[TdNew].ForeignCover = true; },
                       NotStarted + CustomerLookup + "画面-入力欄の取得不可)", true},
        TScreenFailure{"UnknownCode", "TD", [](TTargetScript&) {},
                       "実行時引数(弥生販売の対象画面CD)が不正のため実行できません。", false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(LookupTest, BillingLookupNeverOpeningNamesItsOwnTitle) {
  TTargetScript s;
  s.Screens[Ledger].DialogAfter.reset();
  Start(s);
  RunJob({"tm"});
  EXPECT_EQ(Boxes(), std::vector<std::string>{NotStarted + BillingLookup + "画面の取得不可)"});
  EXPECT_EQ(Desktop.CountSearches(BillingLookup), 1 + 30);  // the note before F8, the searches
}

struct TWaitCase {
  const char* Name;
  void (*Change)(TTargetScript&);
  std::string Searched;     // title searched while waiting
  int Searches;
  int VisibleTests;
  int ShortPauses;  // the 10 ms pauses between visibility tests
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TWaitCase& c, std::ostream* os) { *os << c.Name; }


class WaitLimitTest : public LookupTest, public ::testing::WithParamInterface<TWaitCase> {};

TEST_P(WaitLimitTest, BoundedByItsFixedCounts) {
  TTargetScript s;
  GetParam().Change(s);
  Start(s);
  RunJob({"td"});
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Desktop.CountSearches(GetParam().Searched), GetParam().Searches);
  EXPECT_EQ(Desktop.Count("IsWindowVisible"), GetParam().VisibleTests);
  const std::vector<std::uint32_t> pauses = Desktop.Pauses();
  EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 10u), GetParam().ShortPauses);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, WaitLimitTest,
    ::testing::Values(
        // The first search, then 30 more after the menu keys; the lookups are noted once
        // before F8, and a dialog appearing 50 ms after F8 is found by the second search.
        TWaitCase{"Screen", [](TTargetScript& s) { s.Screens[TdNew].OpenAfter.reset(); }, TdNew,
                  1 + 30, 0, 0},
        TWaitCase{"ScreenVisible", [](TTargetScript& s) { s.Screens[TdNew].Hidden = true; },
                  TdNew, 1 + 2, 500, 499},
        TWaitCase{"Dialog", [](TTargetScript& s) { s.Screens[TdNew].DialogAfter.reset(); },
                  CustomerLookup, 1 + 30, 1, 0},
        TWaitCase{"DialogVisible", [](TTargetScript& s) { s.Screens[TdNew].DialogHidden = true; },
                  CustomerLookup, 1 + 2, 1 + 500, 499}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(LookupTest, ForeignWindowOverTheFieldReceivesNothing) {
  TTargetScript s;
  s.Screens[TdNew].ForeignCover = true;
  Start(s);
  RunJob({"td"});
  for (const TCall& c : Desktop.Posts()) {
    EXPECT_NE(c.Message, wm::Char);
    EXPECT_FALSE(c.Message == wm::KeyDown && c.WParam == vk::Return);
  }
}

TEST_F(LookupTest, UnknownCodeInAMultiScreenJobIsSkippedBeforeAnythingIsPosted) {
  RunJob({"xx", "", "td"});
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(Target->Searches.size(), 1u);
  // The first post is td's menu key: nothing went out for "xx" or "".
  ASSERT_FALSE(Desktop.Posts().empty());
  EXPECT_EQ(Desktop.Posts().front().WParam, vk::F10);
  EXPECT_EQ(Desktop.Posts()[2].WParam, static_cast<std::uintptr_t>('D'));
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

// A window that goes before its rectangle is read gives no click points at all.
TEST_F(LookupTest, ScreenGoneBeforeItsClickIsReportedWithoutClicking) {
  TTargetScript s;
  s.OpenAtStart = {TdNew};
  Start(s);
  Desktop.At(150, [this] { Desktop.Destroy(Target->ScreenWindow(TdNew)); });
  RunJob({"td"});
  EXPECT_EQ(Boxes(), std::vector<std::string>{NotStarted + "子ウィンドウの取得不可)"});
  EXPECT_TRUE(Desktop.Clicks.empty());
  EXPECT_EQ(Desktop.Count("SendInput"), 0);
}

TEST_F(LookupTest, DialogGoneBeforeItsClicksIsPassedOverInAMultiScreenJob) {
  TTargetScript s;
  s.OpenAtStart = {TdNew, Ledger};
  Start(s);
  // td: activated at 100, clicked at 200, F8 at 300, dialog at 350, found at 400.
  Desktop.At(450, [this] { Desktop.Destroy(Target->Dialog); });
  RunJob({"td", "tm"});
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(Desktop.Clicks.size(), 1u + 4u);  // td's screen, then all of tm's
  ASSERT_EQ(Target->Searches.size(), 1u);
  EXPECT_EQ(Target->Searches[0].Dialog, BillingLookup);
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

// Another program's window that merely carries the lookup dialog's title is found first
// by the title search; it must never receive the number.
TEST_F(LookupTest, ForeignWindowTitledLikeTheLookupDialogReceivesNothing) {
  TTargetScript s;
  s.OpenAtStart = {TdNew};
  s.Screens[TdNew].DialogAfter.reset();
  Start(s);
  const TWindow impostor =
      Desktop.AddWindow(0, "Notepad", CustomerLookup, {300, 250, 800, 650}, sim::ForeignProcess);
  const TWindow impostorEdit =
      Desktop.AddWindow(impostor, "Edit", "", {310, 260, 790, 640}, sim::ForeignProcess);
  RunJob({"td"});
  EXPECT_EQ(Boxes(), std::vector<std::string>{NotStarted + CustomerLookup + "画面の取得不可)"});
  EXPECT_EQ(Desktop.Clicks.size(), 1u);  // the screen's; none into the impostor
  EXPECT_TRUE(PostsTo(impostorEdit).empty());
  EXPECT_TRUE(PostsTo(impostor).empty());
}

}  // namespace
}  // namespace pelmora
