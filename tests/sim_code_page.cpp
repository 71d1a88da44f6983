// The simulated desktop's conversion between code page 932 and UTF-16: ASCII, the
// half-width katakana, and the double-byte characters the tests write in settings files.
// Any other character is one the code page lacks.
#include <algorithm>
#include <iterator>

#include "automation/sjis.h"
#include "platform/code_page.h"

namespace pelmora {
namespace {

struct TPair {
  const char* Cp932;
  char16_t Wide;
};
const TPair Table[] = {{"得", 0x5F97}, {"意", 0x610F}, {"先", 0x5148}, {"台", 0x53F0}, {"帳", 0x5E33},
                       {"新", 0x65B0}, {"規", 0x898F}, {"入", 0x5165}, {"力", 0x529B}, {"参", 0x53C2},
                       {"照", 0x7167}, {"表", 0x8868}, {"ソ", 0x30BD}};
constexpr unsigned char KanaFirst = 0xA1, KanaLast = 0xDF;
constexpr char16_t WideKanaFirst = 0xFF61;

}  // namespace

bool Cp932ToUtf16(const std::string& text, std::u16string& wide) {
  wide.clear();
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    const auto c = static_cast<unsigned char>(text[i]);
    const TPair* row = std::find_if(std::begin(Table), std::end(Table),
                                    [&](const TPair& p) { return CharLength(text, i) == 2 && text.compare(i, 2, p.Cp932) == 0; });
    if (row != std::end(Table)) {
      wide += row->Wide;
    } else if (c < 0x80 || (c >= KanaFirst && c <= KanaLast && CharLength(text, i) == 1)) {
      wide += static_cast<char16_t>(c < 0x80 ? c : WideKanaFirst + (c - KanaFirst));
    } else {
      return false;
    }
  }
  return true;
}

bool Utf16ToCp932(const std::u16string& wide, std::string& text) {
  text.clear();
  for (const char16_t c : wide) {
    const TPair* row = std::find_if(std::begin(Table), std::end(Table), [&](const TPair& p) { return p.Wide == c; });
    if (row != std::end(Table)) {
      text += row->Cp932;
    } else if (c < 0x80 || (c >= WideKanaFirst && c <= WideKanaFirst + (KanaLast - KanaFirst))) {
      text += static_cast<char>(c < 0x80 ? c : KanaFirst + (c - WideKanaFirst));
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace pelmora
