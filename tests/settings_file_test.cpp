// The settings file in each encoding Notepad saves: told from its bytes, read the same,
// and changed key by key in its own encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "app/form.h"
#include "automation/file_replace.h"
#include "automation/settings_file.h"
#include "tests/sim_check.h"
#include "tests/sim_desktop.h"

namespace pelmora {
namespace {

using TEncoding = TSettingsEncoding;
const TEncoding Encodings[] = {TEncoding::Ansi, TEncoding::Utf8, TEncoding::Utf8Bom, TEncoding::Utf16Le,
                               TEncoding::Utf16Be};

// The text's bytes as Notepad saves it in the encoding, from the compiler's own literals:
// code page 932, UTF-8 and UTF-16.
std::string Saved(TEncoding encoding, const std::string& ansi, const std::string& utf8, const std::u16string& wide) {
  if (encoding < TEncoding::Utf16Le) return encoding == TEncoding::Ansi ? ansi : encoding == TEncoding::Utf8 ? utf8 : "\xEF\xBB\xBF" + utf8;
  std::string bytes = "\xFE\xFF";  // big-endian, then swapped for little-endian
  for (const char16_t c : wide) bytes += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
  if (encoding == TEncoding::Utf16Le) for (std::size_t i = 0; i < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
  return bytes;
}
#define SAVED(encoding, text) Saved(encoding, text, u8"" text, u"" text)

// The settings lines of the trace of a run with a settings file of these bytes, the
// encoding's name as "*".
std::string SettingsTrace(TEncoding encoding, const std::string& bytes) {
  sim::TSimDesktop desktop;
  desktop.FileBytes["C:\\Pelmora\\pelmora.ini"] = bytes;
  TfrmPelmora form(desktop);
  form.FormActivate();  // no arguments: the job does not run, the trace does
  std::string lines;
  std::istringstream in(desktop.WrittenFiles["C:\\Pelmora\\t.log"]);
  for (std::string line; std::getline(in, line, '\r');) {
    if (line.find("] settings") != std::string::npos) lines += line.substr(line.find("] settings") + 2) + "\n";
  }
  return std::regex_replace(lines, std::regex(EncodingName(encoding)), "*");
}

// The trace on and a Japanese title, with a header or a comment on the first line (a
// byte-order mark before it must not hide it); a character code page 932 lacks.
TEST(SettingsFileTest, EachEncodingNotepadSavesGivesTheSameSettings) {
  const std::string lacking = "settings: pelmora.ini, *\nsettings patience=1\nsettings [screen td] title1 ignored: a "
                              "character code page 932 lacks\nsettings [screen td] title2=\"得意先台帳 (新規入力)\"\n";
  for (const TEncoding encoding : Encodings) {
    for (const std::string& bytes :  // header first: the trace lost to a byte-order mark read into the header
         {SAVED(encoding, "[trace]\r\nfile=t.log\r\n[screen td]\r\ntitle1=得意先台帳 (新規入力)\r\n"),
          // comment first: UTF-8 or UTF-16 titles taken as code page 932 bytes
          SAVED(encoding, "; 設定\r\n[screen td]\r\ntitle1=得意先台帳 (新規入力)\r\n[trace]\r\nfile=t.log\r\n"),
          // the built-in values given again, of each kind of fact: traced as overrides
          SAVED(encoding, "[trace]\r\nfile=t.log\r\n[target]\r\nclass=Hanbai15Main\r\n[lookup]\r\nclick1=135,40\r\n"
                          "[screen td]\r\ntitle1=得意先台帳 (新規入力)\r\nmenu1=d\r\nlookup=得意先参照\r\n")}) {
      EXPECT_EQ(SettingsTrace(encoding, bytes), "settings: pelmora.ini, *\nsettings patience=1\n"
                                               "settings [screen td] title1=\"得意先台帳 (新規入力)\"\n") << EncodingName(encoding);
    }
    // A character code page 932 lacks: a garbled or best-fit title in force, or its neighbour lost.
    if (encoding == TEncoding::Ansi) continue;  // it cannot hold one
    const std::string bytes = Saved(encoding, "", u8"[trace]\nfile=t.log\n[screen td]\ntitle1=é\ntitle2=得意先台帳 (新規入力)\n",
                                    u"[trace]\nfile=t.log\n[screen td]\ntitle1=é\ntitle2=得意先台帳 (新規入力)\n");
    EXPECT_EQ(SettingsTrace(encoding, bytes), lacking) << EncodingName(encoding);
  }
}

// A value as Windows' profile functions give it, for the files they cannot read.
TEST(SettingsFileTest, ValueIsReadAsWindowsReadsIt) {
  const struct {
    const char* Fault;
    std::string Line, Value;
  } cases[] = {{"tabs around a value kept", "file=\t t.log \t", "t.log"},
               {"single quotes around a value kept", "file='t.log'", "t.log"},
               {"quotes of two kinds taken for a pair", "file='t.log\"", "'t.log\""}};
  for (const auto& c : cases) {
    bool lacking = false;
    EXPECT_EQ(TSettingsFile("\xEF\xBB\xBF[trace]\r\n" + c.Line + "\r\n").Value("trace", "file", lacking), c.Value) << c.Fault;
  }
}

// A key changed (spelled as it was), one added to its section, a section added; the
// comments, the other keys and the line ends as they were.
TEST(SettingsFileTest, KeySetInTheFilesOwnEncodingKeepingEveryOtherLine) {
  for (const TEncoding encoding : Encodings) {
    std::string bytes = SAVED(encoding, "; 表\r\n[screen td]\r\n  Title1 = 得意先台帳 (新規)\r\n; 表\r\nwide=1,2\r\n[trace]\r\nfile=a\r\n");
    const std::string before = bytes;
    const std::string writes[][3] = {{"SCREEN TD", "title1", "得意先台帳 (新規入力)"},  // a second key, or the case of names
                                     {"screen td", "lookup", " 得意先参照"},  // a blank lost, or the key in another section
                                     {"screen tx", "menu1", "\"U\""}};       // quotes lost, or no new section
    for (const auto& [section, key, value] : writes) {
      ASSERT_TRUE(SetSettingValue(bytes, section, key, value));
      bool lacking = true;
      EXPECT_EQ(TSettingsFile(bytes).Value(section, key, lacking), value);  // the reader trims and unquotes
    }
    EXPECT_EQ(DetectSettingsEncoding(bytes), encoding);
    EXPECT_EQ(bytes, SAVED(encoding, "; 表\r\n[screen td]\r\n  Title1=得意先台帳 (新規入力)\r\n; 表\r\nwide=1,2\r\nlookup=\" 得意先参照\"\r\n"
                                     "[trace]\r\nfile=a\r\n[screen tx]\r\nmenu1=\"\"U\"\"\r\n"));
    // Not code page 932 (a lead byte alone), or not one line: nothing written.
    const bool lone = SetSettingValue(bytes = before, "trace", "file", "\x83");
    EXPECT_EQ(lone, encoding == TEncoding::Ansi);
    EXPECT_FALSE(SetSettingValue(bytes = before, "trace", "file", "a\r\nb"));
    EXPECT_EQ(bytes, before);
  }
}

// A replace failing half way, as an antivirus or indexer holding the fresh file makes it:
// the hidden pelmora.ini holds its old text or the new, never nothing, and stays hidden.
TEST(SettingsFileTest, AReplaceFailingHalfWayKeepsTheOldFileOrTheNew) {
  const std::string ini = "C:\\Pelmora\\pelmora.ini";
  const std::vector<std::uint32_t> held(5, file_error::SharingViolation);
  const struct { const char* Fault; std::vector<std::uint32_t> Replace, Move; bool StaleHiddenNew; TReplaced Result; } cases[] = {
      {"the old file left under the backup's name", {file_error::UnableToMoveReplacement2}, {}, false, TReplaced::New},
      {"the new file deleted with no pelmora.ini left", {file_error::UnableToMoveReplacement2}, held, false, TReplaced::Old},
      {"the rename not tried where the replace gave up", {file_error::UnableToMoveReplacement}, {}, false, TReplaced::New},
      {"a file held a moment not tried again", {32, 32}, held, false, TReplaced::New},
      {"a .new an earlier failure left hidden refusing every later write", {}, {}, true, TReplaced::New}};
  for (const auto& c : cases) {
    sim::TSimDesktop desktop;
    sim::TSimCheckSystem cs(desktop);
    cs.Files[ini] = "old", cs.Attributes[ini] = file_attribute::Hidden;
    if (c.StaleHiddenNew) cs.Files[ini + ".new"] = "", cs.Attributes[ini + ".new"] = file_attribute::Hidden;
    cs.ReplaceErrors = c.Replace, cs.MoveErrors = c.Move;
    EXPECT_EQ(ReplaceWholeFile(cs, ini, "new"), c.Result) << c.Fault;
    EXPECT_EQ(cs.Files[ini], c.Result == TReplaced::New ? "new" : "old") << c.Fault;
    EXPECT_EQ(cs.GetFileAttributesA(ini) & file_attribute::Hidden, file_attribute::Hidden) << c.Fault;
    EXPECT_EQ(cs.Files.size(), 1u) << c.Fault;  // nothing left beside it
  }
}

// A lookup's own section holds its points over [lookup], for that lookup alone; a section
// given twice has its second unread, which the trace and the check's report say.
TEST(SettingsFileTest, ALookupsOwnPointsOverTheSharedOnesAndASecondSectionReported) {
  sim::TSimDesktop d;
  d.FileBytes["C:\\Pelmora\\pelmora.ini"] =
      "[lookup]\r\nclick1=1,2\r\n[LOOKUP 得意先参照]\r\nclick3=7,8\r\n[Lookup]\r\nclick2=3,4\r\n";
  const TSettings s = ReadSettings(d);
  const TScreenTable builtIn = BuiltInTable();
  const auto x = [&s](const char* title, int i) { return s.Table.LookupPoints(title)[i].X; };
  EXPECT_EQ(std::vector<int>({x("得意先参照", 0), x("得意先参照", 1), x("得意先参照", 2), x("請求先参照", 2)}),
            std::vector<int>({1, builtIn.LookupClickPoints[1].X, 7, builtIn.LookupClickPoints[2].X}));
  EXPECT_EQ(std::count_if(s.TableNotes.begin(), s.TableNotes.end(),
                          [](const std::string& n) { return n.find("[Lookup] given again") != n.npos; }), 1);
}

}  // namespace
}  // namespace pelmora
