// Each screen worked: found open or opened by the menu, clicked at its class's offsets,
// its lookup's three points clicked and the number typed, in exactly the pauses of its path.
#include <gtest/gtest.h>

#include "automation/screen_table.h"
#include "tests/lookup_fixture.h"

namespace pelmora {
namespace {

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

}  // namespace
}  // namespace pelmora
