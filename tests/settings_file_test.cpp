// The settings file in each encoding Notepad saves: told from its bytes, read the same,
// and changed key by key in its own encoding.
#include <gtest/gtest.h>

#include "automation/settings_file.h"

namespace pelmora {
namespace {

using TEncoding = TSettingsEncoding;
const TEncoding Encodings[] = {TEncoding::Ansi, TEncoding::Utf8, TEncoding::Utf8Bom, TEncoding::Utf16Le,
                               TEncoding::Utf16Be};

// The text's bytes as Notepad saves it in the encoding, from the compiler's own literals:
// code page 932, UTF-8 and UTF-16.
std::string Saved(TEncoding encoding, const std::string& ansi, const std::string& utf8, const std::u16string& wide) {
  if (encoding == TEncoding::Ansi || encoding == TEncoding::Utf8) return encoding == TEncoding::Ansi ? ansi : utf8;
  if (encoding == TEncoding::Utf8Bom) return "\xEF\xBB\xBF" + utf8;
  std::string bytes = encoding == TEncoding::Utf16Le ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t c : wide) {
    const auto high = static_cast<char>(c >> 8);
    const auto low = static_cast<char>(c & 0xFF);
    bytes += encoding == TEncoding::Utf16Le ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}
#define SAVED(encoding, text) Saved(encoding, text, u8"" text, u"" text)

// A key changed (spelled as it was), one added to its section, a section added; the
// comments, the other keys and the line ends as they were.
TEST(SettingsFileTest, KeySetInTheFilesOwnEncodingKeepingEveryOtherLine) {
  for (const TEncoding encoding : Encodings) {
    std::string bytes = SAVED(encoding, "; 表\r\n[screen td]\r\n  Title1 = 得意先台帳 (新規)\r\n; 表\r\nwide=1,2\r\n[trace]\r\nfile=a\r\n");
    const std::string before = bytes;
    const std::string writes[][3] = {{"SCREEN TD", "title1", "得意先台帳 (新規入力)"}, {"screen td", "lookup", " 得意先参照"},
                                     {"screen tx", "menu1", "\"U\""}};
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

}  // namespace
}  // namespace pelmora
