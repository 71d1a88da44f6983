// The user guide's message table must list exactly the texts the error box can show, so a
// message added, changed or dropped on either side fails here. The guide's page, as the
// release ships it, must hold all of the guide; the sample settings file, every setting.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "automation/messages.h"
#include "automation/settings.h"
#include "tests/settings_run.h"
#include "version.h"

namespace pelmora {
namespace {

const char* const GuidePath = PELMORA_SOURCE_DIR "/docs/ja/guide.md";
const char* const GuidePagePath = PELMORA_GUIDE_HTML;
const char* const SamplePath = PELMORA_SOURCE_DIR "/docs/ja/pelmora.ini.sample";
const char* const TableHeading = u8"メッセージ一覧";

// The program's texts are code page 932; the guide is UTF-8.
std::string Cp932ToUtf8(const std::string& text) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open CP932 failed");
  std::string in = text;
  std::string out(text.size() * 4 + 4, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  const int error = errno;
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1)) {
    throw std::runtime_error("not valid CP932: " + text + " (errno " + std::to_string(error) + ")");
  }
  out.resize(out.size() - outLeft);
  return out;
}

std::vector<std::string> ProgramMessagesUtf8() {
  std::vector<std::string> all;
  for (const std::string& text : msg::AllMessages()) all.push_back(Cp932ToUtf8(text));
  return all;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct TMessageTable {
  std::vector<std::string> Messages;
  // Rows or structure that do not fit the table's format; any of them is a defect.
  std::vector<std::string> Problems;
};

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Reads the Markdown tables of the level-two section whose heading ends with `title` (a
// section number may precede it), up to the next heading of level one or two. Each body
// row's first cell must be one message in backticks.
TMessageTable ReadMessageTable(const std::string& markdown, const std::string& title) {
  TMessageTable table;
  std::istringstream lines(markdown);
  std::string line;
  bool inSection = false, sectionFound = false;
  std::vector<std::string> block;
  const std::regex separator(R"(^\|(\s*:?-+:?\s*\|)+$)");
  const std::regex messageCell(R"(^`([^`]+)`$)");

  auto flush = [&] {
    if (block.empty()) return;
    if (block.size() < 2 || !std::regex_match(block[1], separator)) {
      table.Problems.push_back("table without header separator: " + block[0]);
    } else {
      for (std::size_t i = 2; i < block.size(); ++i) {
        const std::string& row = block[i];
        const std::string first = Trim(row.substr(1, row.find('|', 1) - 1));
        std::smatch match;
        if (std::regex_match(first, match, messageCell)) {
          table.Messages.push_back(match[1]);
        } else {
          table.Problems.push_back("first cell is not a message in backticks: " + row);
        }
      }
    }
    block.clear();
  };

  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line.rfind("# ", 0) == 0 || line.rfind("## ", 0) == 0) {
      flush();
      inSection = line.rfind("## ", 0) == 0 && line.size() >= title.size() &&
                  line.compare(line.size() - title.size(), title.size(), title) == 0;
      sectionFound = sectionFound || inSection;
      continue;
    }
    if (!inSection) continue;
    if (!line.empty() && line[0] == '|') {
      block.push_back(line);
    } else {
      flush();
    }
  }
  flush();
  if (!sectionFound) table.Problems.push_back("no section " + title);
  if (sectionFound && table.Messages.empty()) table.Problems.push_back("no message rows");
  return table;
}

std::vector<std::string> Without(const std::vector<std::string>& from,
                                 const std::vector<std::string>& known) {
  std::vector<std::string> rest;
  for (const std::string& s : from) {
    if (std::find(known.begin(), known.end(), s) == known.end()) rest.push_back(s);
  }
  return rest;
}

std::vector<std::string> Duplicates(std::vector<std::string> items) {
  std::sort(items.begin(), items.end());
  std::vector<std::string> twice;
  for (std::size_t i = 1; i < items.size(); ++i) {
    if (items[i] == items[i - 1] && (twice.empty() || twice.back() != items[i])) {
      twice.push_back(items[i]);
    }
  }
  return twice;
}

std::string Lines(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& s : items) text += "  " + s + "\n";
  return text;
}

class GuideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guide_ = ReadFile(GuidePath);
    table_ = ReadMessageTable(guide_, TableHeading);
    program_ = ProgramMessagesUtf8();
  }
  std::string guide_;
  TMessageTable table_;
  std::vector<std::string> program_;
};

TEST_F(GuideTest, TableIsWellFormed) {
  EXPECT_TRUE(table_.Problems.empty()) << Lines(table_.Problems);
}

TEST_F(GuideTest, EveryProgramMessageIsInTheTable) {
  const std::vector<std::string> missing = Without(program_, table_.Messages);
  EXPECT_TRUE(missing.empty()) << "not in the guide's table:\n" << Lines(missing);
}

TEST_F(GuideTest, EveryTableMessageIsAProgramMessage) {
  const std::vector<std::string> unknown = Without(table_.Messages, program_);
  EXPECT_TRUE(unknown.empty()) << "the program never shows:\n" << Lines(unknown);
}

TEST_F(GuideTest, TableListsEachMessageOnce) {
  const std::vector<std::string> twice = Duplicates(table_.Messages);
  EXPECT_TRUE(twice.empty()) << Lines(twice);
  EXPECT_EQ(table_.Messages.size(), program_.size());
}

// The checks above are only worth something if a drift on either side shows up in them.
TEST_F(GuideTest, ADroppedRowIsNoticed) {
  const std::string dropped = program_.back();
  const std::size_t at = guide_.find("| `" + dropped + "` |");
  ASSERT_NE(at, std::string::npos);
  std::string edited = guide_;
  edited.erase(at, edited.find('\n', at) + 1 - at);

  const TMessageTable table = ReadMessageTable(edited, TableHeading);
  EXPECT_EQ(Without(program_, table.Messages), std::vector<std::string>{dropped});
  EXPECT_TRUE(Without(table.Messages, program_).empty());
}

TEST_F(GuideTest, AnAlteredMessageIsNoticedBothWays) {
  const std::string original = program_.front();
  const std::string altered = original.substr(0, original.size() - 3) + u8"!";
  std::string edited = guide_;
  const std::size_t at = edited.find("`" + original + "`");
  ASSERT_NE(at, std::string::npos);
  edited.replace(at + 1, original.size(), altered);

  const TMessageTable table = ReadMessageTable(edited, TableHeading);
  EXPECT_EQ(Without(program_, table.Messages), std::vector<std::string>{original});
  EXPECT_EQ(Without(table.Messages, program_), std::vector<std::string>{altered});
}

TEST(GuideTableReaderTest, ReadsOnlyTheNamedSection) {
  const std::string text =
      "## Other\n| a | b |\n|---|---|\n| `elsewhere` | x |\n"
      "## 2. Messages\n\nintro\n\n| m | w |\n|---|:--:|\n| `one` | x |\n|  `two`  | y |\n"
      "\n### Sub\n| m | w |\n|---|---|\n| `three` | z |\n"
      "## Next\n| m | w |\n|---|---|\n| `after` | z |\n";
  const TMessageTable table = ReadMessageTable(text, "Messages");
  EXPECT_TRUE(table.Problems.empty()) << Lines(table.Problems);
  EXPECT_EQ(table.Messages, (std::vector<std::string>{"one", "two", "three"}));
}

TEST(GuideTableReaderTest, RejectsRowsThatAreNotMessages) {
  const std::string text = "## Messages\n| m | w |\n|---|---|\n| plain text | x |\n| `ok` | y |\n";
  const TMessageTable table = ReadMessageTable(text, "Messages");
  EXPECT_EQ(table.Messages, std::vector<std::string>{"ok"});
  EXPECT_EQ(table.Problems.size(), 1u);
}

TEST(GuideTableReaderTest, ReportsAMissingSection) {
  // Only a level-two heading names the section.
  const TMessageTable table =
      ReadMessageTable("## Else\n| `a` | b |\n# Messages\n| m |\n|---|\n| `a` |\n", "Messages");
  EXPECT_TRUE(table.Messages.empty());
  EXPECT_FALSE(table.Problems.empty());
}

TEST(GuideCodePageTest, ConvertsProgramTextsToUtf8) {
  EXPECT_EQ(Cp932ToUtf8(msg::UnknownError), u8"予期しないエラーが発生しました。");
  EXPECT_EQ(Cp932ToUtf8(msg::MissingArgument(msg::NameScreenCode)),
            u8"実行時引数(弥生販売の対象画面CD)が不足のため実行できません。");
}

// Text as the page writes it.
std::string Html(const std::string& text) {
  std::string out;
  for (const char c : text) {
    out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
  }
  return out;
}

// The texts of the guide's headings; lines in code blocks are no headings.
std::vector<std::string> Headings(const std::string& markdown) {
  std::vector<std::string> headings;
  std::istringstream lines(markdown);
  bool code = false;
  for (std::string line; std::getline(lines, line);) {
    if (Trim(line).rfind("```", 0) == 0) code = !code;
    const std::size_t text = line.find_first_not_of('#');
    if (!code && text > 0 && text <= 6 && text < line.size() && line[text] == ' ') {
      headings.push_back(Trim(line.substr(text)));
    }
  }
  return headings;
}

// The page as the release ships it; found by its tags, as a reader's browser shows it.
class GuidePageTest : public GuideTest {
 protected:
  void SetUp() override {
    GuideTest::SetUp();
    page_ = ReadFile(GuidePagePath);
  }
  // The text from the first `open` at or after `from` to the next `close`.
  std::string Part(const std::string& open, const std::string& close, std::size_t from = 0) {
    const std::size_t at = page_.find(open, from);
    return at == std::string::npos ? std::string()
                                   : page_.substr(at, page_.find(close, at + open.size()) - at);
  }
  std::string page_;
};

TEST_F(GuidePageTest, HasEverySectionAndListsItInTheContents) {
  const std::vector<std::string> headings = Headings(guide_);
  const std::string contents = Part("<nav id=\"TOC\"", "</nav>");
  ASSERT_GT(headings.size(), 9u);
  for (std::size_t i = 0; i < headings.size(); ++i) {
    EXPECT_NE(page_.find(">" + Html(headings[i]) + "</h"), std::string::npos) << headings[i];
    // The first heading is the page's title, above the contents.
    EXPECT_TRUE(i == 0 || contents.find(">" + Html(headings[i]) + "</a>") != std::string::npos)
        << "not in the contents: " << headings[i];
  }
}

TEST_F(GuidePageTest, MessageTableHoldsEveryProgramMessage) {
  const std::string rows = Part("<table", "</table>", page_.find(std::string(TableHeading) + "</h"));
  for (const std::string& message : program_) {
    EXPECT_NE(rows.find("<td><code>" + Html(message) + "</code></td>"), std::string::npos) << message;
  }
}

// One page that works copied alone: every picture of the guide is inside it.
TEST_F(GuidePageTest, EmbedsEveryImage) {
  std::size_t images = 0, embedded = 0;
  for (std::size_t at = guide_.find("!["); at != std::string::npos; at = guide_.find("![", at + 2)) {
    ++images;
  }
  for (std::size_t at = page_.find("<img "); at != std::string::npos; at = page_.find("<img ", at + 1)) {
    EXPECT_EQ(Part("src=\"", "\"", at).substr(0, 16), "src=\"data:image/") << page_.substr(at, 80);
    ++embedded;
  }
  EXPECT_GT(images, 0u);
  EXPECT_EQ(embedded, images);
}

// As shipped the sample sets nothing; commented out, it shows every setting the program reads.
TEST(SampleSettingsTest, SetsNothingAndShowsEverySettingTheProgramReads) {
  struct : sim::TSimDesktop {
    std::set<std::string> Asked;  // as the sample shows them: "[section];key="
    std::string GetPrivateProfileStringA(const char* section, const char* key,
                                         const std::string& fileName) override {
      if (section != nullptr && key != nullptr) Asked.insert(std::string("[") + section + "];" + key + "=");
      return TSimDesktop::GetPrivateProfileStringA(section, key, fileName);
    }
  } desktop;
  ReadSettings(desktop);
  std::istringstream lines(ReadFile(SamplePath));
  std::set<std::string> shown;
  std::string section;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(line.empty() || line[0] == ';' || line[0] == '[') << "in force: " << line;
    if (!line.empty() && line[0] == '[') section = line;
    shown.insert(section + line.substr(0, line.find('=') + 1));
  }
  for (const std::string& key : desktop.Asked) EXPECT_EQ(shown.count(Cp932ToUtf8(key)), 1u) << "not shown: " << key;
}

// The release ships the read-me and the change list it names; a new version never goes out
// with the last one's changes on top.
TEST(ReleaseTextsTest, ChangeListOpensWithThisVersion) {
  EXPECT_NE(ReadFile(PELMORA_SOURCE_DIR "/docs/ja/README-ja.txt").find("CHANGES-ja.txt"), std::string::npos);
  const std::string changes = ReadFile(PELMORA_SOURCE_DIR "/docs/ja/CHANGES-ja.txt");
  EXPECT_EQ(changes.find(PELMORA_VERSION_TEXT), changes.find_first_of("0123456789")) << changes.substr(0, 80);
}

// The shapes of a trace's lines: their words, with quoted texts, numbers and times masked.
std::vector<std::string> Shapes(const std::string& text) {
  std::vector<std::string> shapes;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    shapes.push_back(std::regex_replace(std::regex_replace(Trim(line), std::regex("\"[^\"]*\""), "\"\""), std::regex("0x[0-9A-F]+|[0-9]+"), "#"));
  }
  return shapes;
}

// The guide walks its example trace line by line: each line as the program writes the same
// job (td,ud, patience 2, a 1024x768 monitor, each F8 a new lookup as there), none added.
using GuideTraceTest = SettingsRunTest;
TEST_F(GuideTraceTest, ExampleTraceIsTheProgramsLinesInOrder) {
  RunProgram({{"trace/file", "trace.log"}, {"timing/patience", "2"}}, " td,ud 0312345678",
             [](TTargetScript& s, sim::TSimDesktop& d) { d.Monitors = {{0, 0, 1024, 768}}, s.NewDialogPerF8 = true; });
  const std::string guide = ReadFile(GuidePath);
  const std::size_t from = guide.find("```\n", guide.find(u8"### 8.6")) + 4;
  EXPECT_EQ(Shapes(guide.substr(from, guide.find("```", from) - from)), Shapes(Cp932ToUtf8(Desktop.WrittenFiles[TraceFile])));
}

}  // namespace
}  // namespace pelmora
