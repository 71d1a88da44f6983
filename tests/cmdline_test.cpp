#include "automation/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelmora {
namespace {

using Items = std::vector<std::string>;

struct TSplitCase {
  const char* Name;
  std::string Line;
  Items Expected;
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TSplitCase& c, std::ostream* os) { *os << c.Name; }

class CommandLineTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(CommandLineTest, SplitsAsTheArgumentSyntaxSays) {
  EXPECT_EQ(SplitCommandLine(GetParam().Line), GetParam().Expected);
}

// "表" (95 5C) and "ソ" (83 5C) end in the backslash byte; "ア" is 83 41.
INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineTest,
    ::testing::Values(
        TSplitCase{"Empty", "", {}},
        TSplitCase{"ProgramOnly", "pelmora.exe", {}},
        TSplitCase{"QuotedProgram", "\"C:\\Program Files\\pelmora.exe\" a b", {"a", "b"}},
        TSplitCase{"ThreeArguments", "p C:\\Yayoi\\Hanbai.exe td,ud 0312345678",
                   {"C:\\Yayoi\\Hanbai.exe", "td,ud", "0312345678"}},
        TSplitCase{"BlanksAndControls", "p \t a\r\n\x01 b \x1f", {"a", "b"}},
        TSplitCase{"QuotedPathWithBlanks", "p \"C:\\Program Files\\Yayoi\\h.exe\" td 1",
                   {"C:\\Program Files\\Yayoi\\h.exe", "td", "1"}},
        TSplitCase{"UnquotedPathWithBlanks", "p C:\\Program Files\\h.exe td 1",
                   {"C:\\Program", "Files\\h.exe", "td", "1"}},
        TSplitCase{"EmptyQuotedArgumentShifts", "p C:\\h.exe \"\" 0312345678",
                   {"C:\\h.exe", "0312345678"}},
        TSplitCase{"SeveralEmptyPairs", "p \"\"\"\" \"\" a", {"a"}},
        TSplitCase{"QuotesInsideToken", "p a\"b c\"d e", {"ab cd", "e"}},
        TSplitCase{"EmptyPairInsideToken", "p a\"\"b", {"ab"}},
        TSplitCase{"UnbalancedQuoteRunsToEnd", "p a \"b c", {"a", "b c"}},
        TSplitCase{"QuotedBlankBelongsToToken", "p a \" b", {"a", " b"}},
        TSplitCase{"PairThenLoneQuoteEndsTheList", "p a \"\"\"", {"a"}},
        TSplitCase{"TrailingLoneQuote", "p a \"", {"a"}},
        TSplitCase{"BackslashIsOrdinary", "p C:\\dir\\ \"x\\\"y", {"C:\\dir\\", "x\\y"}},
        TSplitCase{"TrailBytesAreNotSeparators", "p 表示 ソフト \"表 ソ\"",
                   {"表示", "ソフト", "表 ソ"}},
        TSplitCase{"DoubleByteBeforeQuote", "p \"ア\"ア", {"アア"}},
        TSplitCase{"FourArguments", "p a b c d", {"a", "b", "c", "d"}},
        TSplitCase{"NulEndsTheLine", std::string("p a\0b c", 7), {"a"}},
        TSplitCase{"LoneLeadByteAtEnd", "p a \x81", {"a", "\x81"}},
        TSplitCase{"LeadByteBeforeBlank", "p \x81 b", {"\x81", "b"}},
        TSplitCase{"LeadByteBeforeQuote", "p \x81\"b c\"", {"\x81" "b c"}},
        TSplitCase{"LeadByteInsideUnclosedQuote", "p \"\x81", {"\x81"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CommandLineTest, LongLineIsSplitWhole) {
  std::string arg(32 * 1024, '7');
  const Items args = SplitCommandLine("pelmora.exe \"C:\\h.exe\" td " + arg);
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[2], arg);
}

TEST(CommandLineTest, NoTokenIsEmptyOrHoldsAQuoteOnAnyShortInput) {
  // Every line of up to three bytes drawn from the bytes that matter to the syntax.
  const std::string alphabet = std::string("\"\x81\x95\\ a,\t") + '\0';
  std::string line;
  for (char a : alphabet)
    for (char b : alphabet)
      for (char c : alphabet) {
        line = std::string("p ") + a + b + c;
        for (const std::string& token : SplitCommandLine(line)) {
          EXPECT_FALSE(token.empty()) << line;
          EXPECT_EQ(token.find('"'), std::string::npos) << line;
        }
      }
}

struct TCommaCase {
  const char* Name;
  std::string Text;
  Items Expected;
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TCommaCase& c, std::ostream* os) { *os << c.Name; }

class CommaTextTest : public ::testing::TestWithParam<TCommaCase> {};

TEST_P(CommaTextTest, SplitsAsTheCommaSyntaxSays) {
  EXPECT_EQ(SplitCommaText(GetParam().Text), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CommaTextTest,
    ::testing::Values(
        TCommaCase{"Empty", "", {}},
        TCommaCase{"OnlyBlanks", " \t ", {}},
        TCommaCase{"One", "td", {"td"}},
        TCommaCase{"Two", "td,tm", {"td", "tm"}},
        TCommaCase{"BlanksSeparateToo", " td tm ", {"td", "tm"}},
        TCommaCase{"TrailingComma", "td,", {"td", ""}},
        TCommaCase{"TrailingCommaThenBlank", "td, ", {"td"}},
        TCommaCase{"SingleComma", ",", {"", ""}},
        TCommaCase{"LeadingCommas", ",,td", {"", "", "td"}},
        TCommaCase{"CommasWithBlanksBetween", "td , ,ud", {"td", "", "ud"}},
        TCommaCase{"BlanksAroundComma", "td , ud", {"td", "ud"}},
        TCommaCase{"CaseKept", "TD,Td", {"TD", "Td"}},
        TCommaCase{"DoubleByteItems", "表,ソ", {"表", "ソ"}},
        TCommaCase{"LoneLeadByteAtEnd", "td,\x81", {"td", "\x81"}},
        TCommaCase{"LeadByteBeforeComma", "\x81,td", {"\x81", "td"}}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace pelmora
