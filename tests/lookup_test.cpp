#include <gtest/gtest.h>

#include <algorithm>

#include "automation/screen_table.h"
#include "tests/job_fixture.h"

namespace pelmora {
namespace {

using sim::TCall;
using sim::TTargetScript;

const std::string TdNew = "得意先台帳 (新規)";
const std::string TdEdit = "得意先台帳 (修正)";
const std::string Ledger = "得意先元帳";
const std::string UdNew = "売上伝票 (新規)";
const std::string CustomerLookup = "得意先参照";
const std::string BillingLookup = "請求先参照";

class LookupTest : public JobFixture {
 protected:
  // Posts as (window, message, wParam) without the time, for comparing sequences.
  std::vector<std::tuple<TWindow, std::uint32_t, std::uintptr_t>> PostsTo(TWindow window) const {
    std::vector<std::tuple<TWindow, std::uint32_t, std::uintptr_t>> out;
    for (const TCall& c : Desktop.Posts()) {
      if (c.Window == window) out.emplace_back(c.Window, c.Message, c.WParam);
    }
    return out;
  }
  int CountPosts(std::uint32_t message, std::uintptr_t wParam) const {
    const auto posts = Desktop.Posts();
    return static_cast<int>(std::count_if(posts.begin(), posts.end(), [&](const TCall& c) {
      return c.Message == message && c.WParam == wParam;
    }));
  }
};

TEST_F(LookupTest, ScreenOpenInItsEditStateIsUsedWithoutTheMenu) {
  TTargetScript s;
  s.OpenAtStart = {TdEdit};
  Start(s);
  RunJob({"td"});
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Desktop.CountSearches(TdNew), 1);
  EXPECT_EQ(Desktop.CountSearches(TdEdit), 1);
  EXPECT_EQ(CountPosts(wm::KeyDown, vk::F10), 0);
  const TWindow screen = Target->ScreenWindow(TdEdit);
  EXPECT_EQ(PostsTo(Target->MdiClient),
            (decltype(PostsTo(0)){{Target->MdiClient, wm::MdiActivate, screen}}));
  EXPECT_EQ(PostsTo(screen), (decltype(PostsTo(0)){{screen, wm::KeyDown, vk::F8},
                                                    {screen, wm::KeyUp, vk::F8}}));
  ASSERT_EQ(Target->Searches.size(), 1u);
  EXPECT_EQ(Target->Searches[0].Screen, TdEdit);
  EXPECT_EQ(Target->Searches[0].Dialog, CustomerLookup);
  EXPECT_EQ(Target->Searches[0].Text, "0312345678");
}

TEST_F(LookupTest, ClosedScreenIsOpenedThroughTheMenuWithKeyDownsOnly) {
  Start();
  RunJob({"tm"});
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(PostsTo(Target->Main), (decltype(PostsTo(0)){{Target->Main, wm::KeyDown, vk::F10},
                                                         {Target->Main, wm::KeyUp, vk::F10},
                                                         {Target->Main, wm::KeyDown, 'U'},
                                                         {Target->Main, wm::KeyDown, 'J'}}));
  EXPECT_EQ(Target->Opened[Ledger], 1);
  ASSERT_EQ(Target->Searches.size(), 1u);
  EXPECT_EQ(Target->Searches[0].Dialog, BillingLookup);
}

struct TAspectCase {
  const char* Code;
  std::string Title;
  int Width, Height;
  TOffset Offset;
};

void PrintTo(const TAspectCase& c, std::ostream* os) {
  *os << c.Code << " " << c.Width << "x" << c.Height;
}


class ClickOffsetTest : public LookupTest, public ::testing::WithParamInterface<TAspectCase> {};

TEST_P(ClickOffsetTest, ClicksTheScreenAtTheOffsetOfTheDisplaysClass) {
  const TAspectCase& c = GetParam();
  TTargetScript s;
  s.OpenAtStart = {c.Title};
  Start(s);
  Desktop.Monitors = {{0, 0, c.Width, c.Height}};
  RunJob({c.Code});
  const TWindow screen = Target->ScreenWindow(c.Title);
  const TRect r = Desktop.Window(screen).Rect;
  ASSERT_EQ(Desktop.Clicks.size(), 4u);
  EXPECT_EQ(Desktop.Clicks[0].At.X, r.Left + c.Offset.X);
  EXPECT_EQ(Desktop.Clicks[0].At.Y, r.Top + c.Offset.Y);
  EXPECT_EQ(Desktop.Clicks[0].Window, screen);
}

INSTANTIATE_TEST_SUITE_P(
    Displays, ClickOffsetTest,
    ::testing::Values(TAspectCase{"td", TdNew, 1920, 1080, {188, 126}},
                      TAspectCase{"td", TdNew, 1024, 768, {184, 114}},
                      TAspectCase{"td", TdNew, 1280, 1024, {184, 120}},
                      TAspectCase{"tm", Ledger, 1920, 1200, {168, 127}},
                      TAspectCase{"tm", Ledger, 800, 600, {163, 113}},
                      TAspectCase{"ud", UdNew, 1280, 1024, {146, 160}},
                      TAspectCase{"ud", UdNew, 1366, 768, {157, 168}}));

TEST_F(LookupTest, ClicksTheDialogsThreePointsAndTypesIntoTheFieldUnderTheLast) {
  TTargetScript s;
  s.OpenAtStart = {TdNew};
  Start(s);
  RunJob({"td"});
  const TRect d = Desktop.Window(Target->Dialog).Rect;
  ASSERT_EQ(Desktop.Clicks.size(), 4u);
  const std::vector<std::pair<int, int>> expected = {
      {d.Left + 135, d.Top + 40}, {d.Left + 115, d.Top + 180}, {d.Left + 65, d.Top + 117}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Desktop.Clicks[i + 1].At.X, expected[i].first) << i;
    EXPECT_EQ(Desktop.Clicks[i + 1].At.Y, expected[i].second) << i;
    EXPECT_TRUE(Desktop.Clicks[i + 1].Left);
  }
  EXPECT_EQ(Desktop.Clicks[3].Window, Target->Field);
  // Ten digits: ten characters and one Enter, all to the field, no key-up for Enter.
  std::vector<std::tuple<TWindow, std::uint32_t, std::uintptr_t>> typed = {
      {Target->Field, wm::EmSetSel, 0}};
  for (char digit : std::string("0312345678")) typed.emplace_back(Target->Field, wm::Char, digit);
  typed.emplace_back(Target->Field, wm::KeyDown, vk::Return);
  EXPECT_EQ(PostsTo(Target->Field), typed);
  EXPECT_EQ(CountPosts(wm::KeyUp, vk::Return), 0);
  EXPECT_EQ(Desktop.Cursor.X, d.Left + 65);
  EXPECT_EQ(Desktop.Cursor.Y, d.Top + 117);
}

TEST_F(LookupTest, DoubleBytePhoneNumberIsPostedByteByByteUnsigned) {
  const std::string number = "０３－表ソ";  // every byte above 0x7F or a 0x5C trail
  RunJob({"td"}, number);
  std::vector<std::uintptr_t> chars;
  for (const TCall& c : Desktop.Posts()) {
    if (c.Message == wm::Char) chars.push_back(c.WParam);
  }
  ASSERT_EQ(chars.size(), number.size());
  for (std::size_t i = 0; i < number.size(); ++i) {
    EXPECT_EQ(chars[i], static_cast<unsigned char>(number[i])) << i;
    EXPECT_LE(chars[i], 255u);
  }
  ASSERT_EQ(Target->Searches.size(), 1u);
  EXPECT_EQ(Target->Searches[0].Text, number);
}

TEST_F(LookupTest, SwappedMouseButtonsStillGiveLeftClicks) {
  Desktop.SwapButtons = true;
  RunJob({"td"});
  ASSERT_EQ(Desktop.Clicks.size(), 4u);
  for (const sim::TClick& click : Desktop.Clicks) EXPECT_TRUE(click.Left);
  for (const std::vector<TMouseInput>& click : Desktop.Inputs) {
    for (const TMouseInput& e : click) {
      EXPECT_EQ(e.Flags & (mouse::LeftDown | mouse::LeftUp), 0u);
    }
  }
  ASSERT_EQ(Target->Searches.size(), 1u);
}

TEST_F(LookupTest, CodeListedTwiceIsWorkedTwiceTheSecondTimeWithoutTheMenu) {
  RunJob({"td", "td"});
  EXPECT_EQ(Target->Opened[TdNew], 1);
  EXPECT_EQ(CountPosts(wm::KeyDown, vk::F10), 1);
  ASSERT_EQ(Target->Searches.size(), 2u);
  EXPECT_EQ(Target->Searches[1].Text, "0312345678");
}

TEST_F(LookupTest, TypicalJobTypesIntoBothScreensInOrder) {
  RunJob({"td", "ud"});
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(Target->Searches.size(), 2u);
  EXPECT_EQ(Target->Searches[0].Screen, TdNew);
  EXPECT_EQ(Target->Searches[1].Screen, UdNew);
  // No visibility waits in a multi-screen job: the one test is ud's note, before its F8,
  // of the lookup td left shown.
  EXPECT_EQ(Desktop.Count("IsWindowVisible"), 1);
}

// Virtual time of each path, from the end of start-up (100 ms) to the end of the job.
struct TTimingCase {
  const char* Name;
  std::vector<std::string> Codes;
  std::vector<std::string> OpenAtStart;
  sim::TDelay OpenAfter, DialogAfter;
  std::uint64_t Total;
  double TimerTickMs = 0;
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TTimingCase& c, std::ostream* os) { *os << c.Name; }


class TimingTest : public LookupTest, public ::testing::WithParamInterface<TTimingCase> {};

TEST_P(TimingTest, TakesExactlyThePausesOfItsPath) {
  const TTimingCase& c = GetParam();
  TTargetScript s;
  s.OpenAtStart = c.OpenAtStart;
  for (const std::string& title : {TdNew, Ledger, UdNew}) {
    s.Screens[title].OpenAfter = c.OpenAfter;
    s.Screens[title].DialogAfter = c.DialogAfter;
  }
  Start(s);
  Desktop.TimerTickMs = c.TimerTickMs;
  RunJob(c.Codes);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Target->Searches.size(), c.Codes.size());
  EXPECT_EQ(Desktop.Now(), 100 + c.Total);
}

// Open screen: activate 100, click 100, one dialog search 100, clicks 3 x 50, typing 200.
// By menu: F10 100 + first key 100 + one screen search 100 on top of that. A window that
// comes later costs one more search round of 100 for every 100 ms or part of it.
INSTANTIATE_TEST_SUITE_P(
    Paths, TimingTest,
    ::testing::Values(
        TTimingCase{"AlreadyOpen", {"td"}, {TdNew}, 0, 0, 650},
        TTimingCase{"ByMenu", {"td"}, {}, 0, 0, 300 + 650},
        TTimingCase{"ByMenuScreenAfter250Dialog150", {"td"}, {}, 250, 150, 300 + 300 + 650 + 200},
        TTimingCase{"TwoScreens", {"td", "ud"}, {}, 0, 0, 2 * 950},
        TTimingCase{"TwoOpenScreens", {"td", "ud"}, {TdNew, UdNew}, 0, 0, 2 * 650},
        // Windows' default timer, which would end each pause on its next tick.
        TTimingCase{"ByMenuOnTheDefaultTimer", {"td"}, {}, 0, 0, 300 + 650, 15.625}),
    [](const auto& info) { return std::string(info.param.Name); });

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
