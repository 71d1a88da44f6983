// The settings file and the trace sink: reading and resolving settings, masking the
// number, line format, rollover, and a trace that cannot be written.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "automation/settings.h"
#include "automation/trace.h"
#include "tests/sim_desktop.h"

namespace pelmora {
namespace {

struct TMaskCase {
  const char* Name;
  std::string Number;
  std::string Masked;
};
void PrintTo(const TMaskCase& c, std::ostream* os) { *os << c.Name; }

class MaskTest : public ::testing::TestWithParam<TMaskCase> {};

TEST_P(MaskTest, KeepsOnlyTheLastFourCharactersWhole) {
  EXPECT_EQ(MaskNumber(GetParam().Number), GetParam().Masked);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, MaskTest,
    ::testing::Values(TMaskCase{"TenDigits", "0312345678", "******5678"},
                      TMaskCase{"FourDigits", "5678", "5678"},
                      TMaskCase{"ThreeDigits", "678", "678"},
                      TMaskCase{"Empty", "", ""},
                      TMaskCase{"Hyphens", "03-1234-5678", "********5678"},
                      // Seven characters of two bytes, 0x5C trail bytes among them.
                      TMaskCase{"DoubleByte", "０３－表ソ１２", "***表ソ１２"},
                      TMaskCase{"MixedWidths", "03表1234", "***1234"},
                      TMaskCase{"LastFourDoubleByte", "0312表表表表", "****表表表表"},
                      // A lead byte at the end stands alone and counts as one.
                      TMaskCase{"LoneLeadByteAtTheEnd", "0312345\x83", "****345\x83"}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TSettingsCase {
  const char* Name;
  std::string Module;
  std::map<std::string, std::string> Values;  // "section/key" -> value in pelmora.ini
  std::string TracePath;
  int Patience;
  std::string Ignored;
};
void PrintTo(const TSettingsCase& c, std::ostream* os) { *os << c.Name; }

class SettingsTest : public ::testing::TestWithParam<TSettingsCase> {};

TEST_P(SettingsTest, ReadsTheFileBesideTheProgram) {
  const TSettingsCase& c = GetParam();
  sim::TSimDesktop desktop;
  desktop.ModuleFileName = c.Module;
  const std::string ini = FolderOf(c.Module) + "pelmora.ini";
  if (!c.Values.empty()) desktop.Profiles[ini] = c.Values;
  const TSettings s = ReadSettings(desktop);
  EXPECT_EQ(s.File, ini);
  EXPECT_EQ(s.TracePath, c.TracePath);
  EXPECT_EQ(s.Patience, c.Patience);
  EXPECT_EQ(s.PatienceIgnored, c.Ignored);
  EXPECT_TRUE(desktop.WrittenFiles.empty());
}

const std::string Program = "C:\\Pelmora\\pelmora.exe";

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsTest,
    ::testing::Values(
        TSettingsCase{"NoFile", Program, {}, "", 1, ""},
        TSettingsCase{"Relative", Program, {{"trace/file", "trace.log"}}, "C:\\Pelmora\\trace.log", 1, ""},
        TSettingsCase{"RelativeSubfolder", Program, {{"trace/file", " log\\p.log "}},
                      "C:\\Pelmora\\log\\p.log", 1, ""},
        TSettingsCase{"Drive", Program, {{"trace/file", "D:\\logs\\p.log"}}, "D:\\logs\\p.log", 1, ""},
        TSettingsCase{"Unc", Program, {{"trace/file", "\\\\server\\share\\p.log"}},
                      "\\\\server\\share\\p.log", 1, ""},
        // "表" ends in 0x5C: the folder must not end inside it.
        TSettingsCase{"DoubleByteFolder", "C:\\表\\pelmora.exe", {{"trace/file", "t.log"}},
                      "C:\\表\\t.log", 1, ""},
        TSettingsCase{"PatienceOnly", Program, {{"timing/patience", "3"}}, "", 3, ""},
        TSettingsCase{"PatienceTenWithBlanks", Program, {{"timing/patience", " 10 "}}, "", 10, ""},
        TSettingsCase{"PatienceLeadingZero", Program, {{"timing/patience", "07"}}, "", 7, ""},
        TSettingsCase{"PatienceZero", Program, {{"timing/patience", "0"}}, "", 1, "0"},
        TSettingsCase{"PatienceEleven", Program, {{"timing/patience", "11"}}, "", 1, "11"},
        TSettingsCase{"PatienceHuge", Program, {{"timing/patience", "99999999999"}}, "", 1,
                      "99999999999"},
        TSettingsCase{"PatienceFraction", Program, {{"timing/patience", "2.5"}}, "", 1, "2.5"},
        TSettingsCase{"PatienceNegative", Program, {{"timing/patience", "-2"}}, "", 1, "-2"},
        TSettingsCase{"PatienceWord", Program, {{"timing/patience", "slow"}}, "", 1, "slow"},
        TSettingsCase{"PatienceBlank", Program, {{"timing/patience", "  "}}, "", 1, ""}),
    [](const auto& info) { return std::string(info.param.Name); });

const std::string TracePath = "C:\\Pelmora\\trace.log";

TEST(TraceTest, LinesCarryTimeElapsedAndProcessAndEndInCrLf) {
  sim::TSimDesktop desktop;
  {
    TTrace trace;
    trace.Open(desktop, TracePath, desktop.GetTickCount());
    trace.Line("first");
    desktop.Sleep(1234);
    trace.Line("second \"x\"");
  }
  EXPECT_EQ(desktop.WrittenFiles[TracePath],
            "2026-12-08 09:00:00.000 +0ms [5150] first\r\n"
            "2026-12-08 09:00:01.234 +1234ms [5150] second \"x\"\r\n");
  EXPECT_EQ(desktop.OpenHandles(), 0);
}

TEST(TraceTest, RollsOverAtTheLimitKeepingOneOlderFile) {
  sim::TSimDesktop desktop;
  const std::string older = TracePath + ".1";
  desktop.WrittenFiles[older] = "oldest\r\n";
  TTrace trace;
  trace.Open(desktop, TracePath, desktop.GetTickCount());
  const std::string text(1000, 'x');
  const int lines = 2500;  // about 2.5 MB: two rollovers
  for (int i = 0; i < lines; ++i) trace.Line(text);
  const std::string& current = desktop.WrittenFiles[TracePath];
  const std::string& previous = desktop.WrittenFiles[older];
  EXPECT_LE(current.size(), TTrace::RollOverBytes);
  EXPECT_LE(previous.size(), TTrace::RollOverBytes);
  EXPECT_GT(previous.size() + current.size(), TTrace::RollOverBytes);
  EXPECT_EQ(previous.find("oldest"), std::string::npos);
  EXPECT_EQ(desktop.Count("MoveFileExA"), 2);
  // Whole lines on both sides of the cut, none lost.
  const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \+\d+ms \[5150\] x{1000}\r)");
  int seen = 0;
  for (const std::string* file : {&previous, &current}) {
    std::istringstream in(*file);
    for (std::string text; std::getline(in, text); ++seen) {
      ASSERT_TRUE(std::regex_match(text, line)) << text.substr(0, 60);
    }
  }
  // The first file's lines went with the second rollover.
  const std::size_t lineBytes = current.find('\n') + 1;
  EXPECT_EQ(seen, lines - static_cast<int>(TTrace::RollOverBytes / lineBytes));
}

TEST(TraceTest, UnwritableFileSilencesTheTraceAfterOneTry) {
  sim::TSimDesktop desktop;
  desktop.Unwritable.insert(TracePath);
  TTrace trace;
  trace.Open(desktop, TracePath, desktop.GetTickCount());
  EXPECT_TRUE(trace.On());
  trace.Line("lost");
  EXPECT_FALSE(trace.On());
  trace.Line("also lost");
  EXPECT_EQ(desktop.Count("CreateFileA"), 1);
  EXPECT_TRUE(desktop.WrittenFiles.empty());
  EXPECT_EQ(desktop.OpenHandles(), 0);
}

struct TQuoteCase {
  const char* Name;
  std::string Text;
  std::string Quoted;
};
void PrintTo(const TQuoteCase& c, std::ostream* os) { *os << c.Name; }

class QuoteTest : public ::testing::TestWithParam<TQuoteCase> {};

TEST_P(QuoteTest, OneLineAtMostAboutAHundredBytes) {
  EXPECT_EQ(Quoted(GetParam().Text), GetParam().Quoted);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, QuoteTest,
    ::testing::Values(TQuoteCase{"Plain", "得意先参照", "\"得意先参照\""},
                      TQuoteCase{"LineBreaks", "a\r\nb\tc", "\"a??b?c\""},
                      TQuoteCase{"Long", std::string(130, 'a'),
                                 "\"" + std::string(120, 'a') + "...(130 bytes)\""},
                      // 119 single bytes, then a double-byte character across the limit.
                      TQuoteCase{"CutBeforeADoubleByteCharacter", std::string(119, 'a') + "表b",
                                 "\"" + std::string(119, 'a') + "...(122 bytes)\""}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmora
