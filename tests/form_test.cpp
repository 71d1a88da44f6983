#include "app/form.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "automation/messages.h"
#include "tests/sim_desktop.h"

namespace pelmora {
namespace {

using sim::TSimDesktop;

const std::string PathInvalid = "外部接続画面で設定されている弥生販売のパスが無効です。";
const std::string MissingPath = "実行時引数(弥生販売のインストール・フルパス)が不足のため実行できません。";
const std::string MissingCodes = "実行時引数(弥生販売の対象画面CD)が不足のため実行できません。";
const std::string MissingPhone = "実行時引数(電話番号)が不足のため実行できません。";
const std::string NotJapanese =
    "Windowsの「Unicode対応ではないプログラムの言語」が日本語ではないため、弥生販売を操作できません。"
    "この設定を日本語(日本)にしてください。電話番号は入力していません。";

struct TRun {
  std::vector<std::string> Memo;
  std::vector<std::string> Boxes;
  TJob Job;
  int Closed = 0;
};

TRun RunForm(TSimDesktop& desktop, const std::string& commandLine, int activations = 1) {
  desktop.CommandLine = commandLine;
  TfrmPelmora form(desktop);
  TRun run;
  form.OnClose = [&] { ++run.Closed; };
  form.FormCreate();
  form.FormShow();
  for (int i = 0; i < activations; ++i) form.FormActivate();
  run.Memo = form.Memo1;
  run.Boxes = desktop.ErrorBoxes;
  run.Job = form.Job;
  form.FormDestroy();
  return run;
}

struct TIntakeCase {
  const char* Name;
  std::string Line;
  std::vector<std::string> Memo;
  std::string Box;  // the one message shown; a valid job meets no target here
  std::uint32_t CodePage = 932;
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TIntakeCase& c, std::ostream* os) { *os << c.Name; }

class IntakeTest : public ::testing::TestWithParam<TIntakeCase> {};

TEST_P(IntakeTest, ListsArgumentsShowsOneMessageAndCloses) {
  TSimDesktop desktop;
  desktop.CodePage = GetParam().CodePage;
  const TRun run = RunForm(desktop, GetParam().Line);
  EXPECT_EQ(run.Memo, GetParam().Memo);
  EXPECT_EQ(run.Boxes, std::vector<std::string>{GetParam().Box});
  EXPECT_EQ(run.Closed, 1);
  // Only a complete job reaches the target.
  EXPECT_EQ(desktop.CountSearches("Hanbai15Main") > 0, GetParam().Box == PathInvalid);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, IntakeTest,
    ::testing::Values(
        TIntakeCase{"NoArguments", "pelmora.exe", {}, MissingPath},
        TIntakeCase{"OnlyPath", "pelmora.exe C:\\h.exe", {"C:\\h.exe"}, MissingCodes},
        TIntakeCase{"NoPhone", "pelmora.exe C:\\h.exe td", {"C:\\h.exe", "td"}, MissingPhone},
        TIntakeCase{"SingleCommaIsAnEmptyFirstCode", "pelmora.exe C:\\h.exe , 1",
                    {"C:\\h.exe", ",", "1"}, MissingCodes},
        TIntakeCase{"LeadingCommaIsAnEmptyFirstCode", "pelmora.exe C:\\h.exe ,td 1",
                    {"C:\\h.exe", ",td", "1"}, MissingCodes},
        TIntakeCase{"EmptyQuotedArgumentMovesThePhone", "pelmora.exe C:\\h.exe \"\" 0312345678",
                    {"C:\\h.exe", "0312345678"}, MissingPhone},
        TIntakeCase{"EmptyQuotedFirstArgument", "pelmora.exe \"\" td 1", {"td", "1"},
                    MissingPhone},
        TIntakeCase{"Complete", "pelmora.exe C:\\h.exe td 0312345678",
                    {"C:\\h.exe", "td", "0312345678"}, PathInvalid},
        TIntakeCase{"FourthArgumentListedAndIgnored", "pelmora.exe C:\\h.exe td 1 extra",
                    {"C:\\h.exe", "td", "1", "extra"}, PathInvalid},
        TIntakeCase{"UnquotedPathWithBlanksShiftsEverything",
                    "pelmora.exe C:\\Program Files\\h.exe td 1",
                    {"C:\\Program", "Files\\h.exe", "td", "1"}, PathInvalid},
        // Every title would be misread there: the job would end as if the target were gone.
        TIntakeCase{"WesternCodePage", "pelmora.exe C:\\h.exe td 1", {"C:\\h.exe", "td", "1"}, NotJapanese, 1252},
        TIntakeCase{"Utf8CodePage", "pelmora.exe C:\\h.exe td 1", {"C:\\h.exe", "td", "1"}, pelmora::msg::Utf8Ticked, 65001},
        TIntakeCase{"DoubleByteArguments", "pelmora.exe \"C:\\弥生 表\\h.exe\" td ０３",
                    {"C:\\弥生 表\\h.exe", "td", "０３"}, PathInvalid}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(FormTest, ReadsTheJobFromTheArguments) {
  TSimDesktop desktop;
  const TRun run = RunForm(desktop, "pelmora.exe \"C:\\Program Files\\h.exe\" \" td tm,\" 0312345678");
  EXPECT_EQ(run.Job.InstallPath, "C:\\Program Files\\h.exe");
  EXPECT_EQ(run.Job.ScreenCodes, (std::vector<std::string>{"td", "tm", ""}));
  EXPECT_EQ(run.Job.ScreenCode, "td");
  EXPECT_EQ(run.Job.PhoneNumber, "0312345678");
}

TEST(FormTest, RunsTheJobOnlyOnTheFirstActivation) {
  TSimDesktop desktop;
  const TRun run = RunForm(desktop, "pelmora.exe C:\\h.exe td 1", 3);
  EXPECT_EQ(run.Boxes, std::vector<std::string>{PathInvalid});
  EXPECT_EQ(desktop.Count("FileExists"), 1);
  EXPECT_EQ(run.Closed, 1);
}

// Answering an error box activates the window again while the first activation still runs.
TEST(FormTest, ActivationFromInsideTheErrorBoxRunsNothingMore) {
  TSimDesktop desktop;
  desktop.CommandLine = "pelmora.exe C:\\h.exe td 1";
  TfrmPelmora form(desktop);
  int closed = 0;
  form.OnClose = [&] { ++closed; };
  desktop.OnErrorBox = [&](const std::string&) { form.FormActivate(); };
  form.FormCreate();
  form.FormShow();
  form.FormActivate();
  EXPECT_EQ(desktop.ErrorBoxes, std::vector<std::string>{PathInvalid});
  EXPECT_EQ(desktop.Count("FileExists"), 1);
  EXPECT_EQ(closed, 1);
}

// A desktop whose window lookup fails the way a runtime error would.
class TThrowingDesktop : public TSimDesktop {
 public:
  bool Typed = false;
  TWindow FindWindowExA(TWindow, const char*, const char*) override {
    if (Typed) throw 42;
    throw std::runtime_error("Access violation at address 0040ABCD");
  }
};

TEST(FormTest, ShowsTheTextOfAnErrorRaisedInsideTheJobAndCloses) {
  TThrowingDesktop desktop;
  const TRun run = RunForm(desktop, "pelmora.exe C:\\h.exe td 1");
  EXPECT_EQ(run.Boxes, std::vector<std::string>{"Access violation at address 0040ABCD"});
  EXPECT_EQ(run.Closed, 1);

  TThrowingDesktop untyped;
  untyped.Typed = true;
  const TRun other = RunForm(untyped, "pelmora.exe C:\\h.exe td 1");
  ASSERT_EQ(other.Boxes.size(), 1u);
  EXPECT_EQ(other.Boxes[0], "予期しないエラーが発生しました。");
  EXPECT_EQ(other.Closed, 1);
}

// The number as the phone system sends it, made the one searched only by the rules asked for.
// No box: the job ended quietly.
TEST(FormTest, NumberRulesApplyOnlyWhenSet) {
  const struct { const char* Fault; std::map<std::string, std::string> Rules; std::string Sent, Typed, Box; } cases[] = {
      {"a number changed by default", {}, "+81 3-1234-5678", "+81 3-1234-5678", PathInvalid},
      {"a call without a number still quiet by default", {}, "非通知", "非通知", PathInvalid},
      {"hyphens, blanks or full-width digits kept", {{"number/digits", "1"}}, "（０３）1234-5678", "0312345678", PathInvalid},
      {"+81 kept", {{"number/plus81", "1"}}, "+81 3-1234-5678", "03-1234-5678", PathInvalid},
      {"+81 dropped with its digits", {{"number/plus81", "1"}, {"number/digits", "1"}}, "+81-3-1234-5678", "0312345678", PathInvalid},
      {"a call without a number shown a box", {{"number/quiet", "1"}}, "非通知", "非通知", ""},
      {"a real number taken for none", {{"number/quiet", "1"}}, "０３１２", "０３１２", PathInvalid},
  };
  for (const auto& c : cases) {
    TSimDesktop desktop;
    desktop.Profiles["C:\\Pelmora\\pelmora.ini"] = c.Rules;
    const TRun run = RunForm(desktop, "pelmora.exe C:\\h.exe td \"" + c.Sent + "\"");
    EXPECT_EQ(run.Job.PhoneNumber, c.Typed) << c.Fault;
    EXPECT_EQ(run.Boxes, c.Box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Box}) << c.Fault;
    EXPECT_EQ(desktop.CountSearches("Hanbai15Main") > 0, !c.Box.empty()) << c.Fault;
  }
}

}  // namespace
}  // namespace pelmora
