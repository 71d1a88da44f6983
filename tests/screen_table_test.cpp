#include "automation/screen_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "automation/messages.h"

namespace pelmora {
namespace {

struct TDisplayCase {
  int Width, Height;
  TAspectClass Expected;
};

void PrintTo(const TDisplayCase& c, std::ostream* os) { *os << c.Width << "x" << c.Height; }

class AspectClassTest : public ::testing::TestWithParam<TDisplayCase> {};

TEST_P(AspectClassTest, ClassifiesTheDisplay) {
  const TDisplayCase& c = GetParam();
  EXPECT_EQ(AspectClassOf(static_cast<double>(c.Width) / c.Height), c.Expected)
      << c.Width << "x" << c.Height;
}

INSTANTIATE_TEST_SUITE_P(Displays, AspectClassTest,
                         ::testing::Values(TDisplayCase{1024, 768, acMiddle},
                                           TDisplayCase{800, 600, acMiddle},
                                           TDisplayCase{1600, 1200, acMiddle},
                                           TDisplayCase{1280, 1024, acNarrow},
                                           TDisplayCase{1280, 800, acWide},
                                           TDisplayCase{1440, 900, acWide},
                                           TDisplayCase{1920, 1200, acWide},
                                           TDisplayCase{1366, 768, acWide},
                                           TDisplayCase{1920, 1080, acWide},
                                           TDisplayCase{133, 100, acMiddle},
                                           TDisplayCase{159, 100, acMiddle}));

TEST(AspectClassTest, BoundariesBelongToTheWiderClass) {
  EXPECT_EQ(AspectClassOf(1.6), acWide);
  EXPECT_EQ(AspectClassOf(std::nextafter(1.6, 0.0)), acMiddle);
  EXPECT_EQ(AspectClassOf(1.33), acMiddle);
  EXPECT_EQ(AspectClassOf(std::nextafter(1.33, 0.0)), acNarrow);
}

TEST(ScreenTableTest, CodesMatchExactlyAndCaseSensitively) {
  for (const char* known : {"td", "tm", "ud"}) {
    const TScreenEntry* row = FindScreen(known);
    ASSERT_NE(row, nullptr) << known;
    EXPECT_EQ(row->Code, known);
  }
  for (const char* unknown : {"", "TD", "Td", " td", "td ", "t", "tdd", "xx", "td,tm"}) {
    EXPECT_EQ(FindScreen(unknown), nullptr) << "'" << unknown << "'";
  }
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (unsigned char b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

// The target compares titles in code page 932: the binary must carry these exact bytes.
TEST(CodePageTest, TextsAreShiftJisInTheBinary) {
  EXPECT_EQ(Hex(FindScreen("td")->LookupTitle), "93 BE 88 D3 90 E6 8E 51 8F C6");
  EXPECT_EQ(Hex(FindScreen("tm")->LookupTitle), "90 BF 8B 81 90 E6 8E 51 8F C6");
  EXPECT_EQ(Hex(FindScreen("td")->WindowTitles[0]),
            "93 BE 88 D3 90 E6 91 E4 92 A0 20 28 90 56 8B 4B 29");
  EXPECT_EQ(Hex(FindScreen("ud")->WindowTitles[1]),
            "94 84 8F E3 93 60 95 5B 20 28 8F 43 90 B3 29");
  EXPECT_EQ(Hex(msg::StartFailed),
            "96 ED 90 B6 94 CC 94 84 82 F0 8B 4E 93 AE 82 C5 82 AB 82 DC 82 B9 82 F1 82 C5 82 B5 "
            "82 BD 81 42");
}

TEST(MessagesTest, CatalogueHoldsEveryTextOnceWithBothLookupTitles) {
  const std::vector<std::string> all = msg::AllMessages();
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(std::count(all.begin(), all.end(), all[i]), 1) << i;
  }
  for (const std::string& expected :
       {std::string("弥生販売を正常に起動できませんでした。(請求先参照画面-入力欄の取得不可)"),
        std::string("弥生販売を正常に起動できませんでした。(得意先参照画面の表示不可)"),
        std::string("実行時引数(電話番号)が不足のため実行できません。")}) {
    EXPECT_NE(std::find(all.begin(), all.end(), expected), all.end());
  }
}

}  // namespace
}  // namespace pelmora
