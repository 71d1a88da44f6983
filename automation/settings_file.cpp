#include "automation/settings_file.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "automation/sjis.h"
#include "platform/code_page.h"

namespace pelmora {
namespace {

using TEncoding = TSettingsEncoding;
// A byte sequence the encoding does not allow: a character code page 932 lacks.
constexpr char32_t Invalid = 0xFFFD;

std::size_t BomLength(TEncoding encoding) {
  return encoding == TEncoding::Utf8Bom ? 3 : encoding == TEncoding::Ansi || encoding == TEncoding::Utf8 ? 0 : 2;
}

// The length of the UTF-8 sequence at `i`, its character in `c`; 0 when it is not valid
// (cut short, overlong, a surrogate, past U+10FFFF).
std::size_t Utf8Sequence(const std::string& s, std::size_t i, char32_t& c) {
  const auto lead = static_cast<unsigned char>(s[i]);
  const std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  c = n == 1 ? lead : lead & (0x7F >> n);
  for (std::size_t k = 1; k < n; ++k) {
    const auto next = static_cast<unsigned char>(s[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    c = c << 6 | (next & 0x3F);
  }
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  return c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? 0 : n;
}

// The file as characters, each with the offset of its first byte, the end's offset last:
// code page 932 codes for ANSI, else UTF-16 units (a character beyond them as two).
struct TText {
  std::u32string Units;
  std::vector<std::size_t> At;
};

TText Decode(const std::string& bytes, TEncoding encoding) {
  TText text;
  const auto byte = [&](std::size_t i) -> char32_t { return static_cast<unsigned char>(bytes[i]); };
  std::size_t i = BomLength(encoding);
  while (i < bytes.size()) {
    char32_t c = byte(i);
    std::size_t n = 1;
    if (encoding == TEncoding::Ansi) {
      n = CharLength(bytes, i);
      if (n == 2) c = c << 8 | byte(i + 1);
    } else if (encoding == TEncoding::Utf8 || encoding == TEncoding::Utf8Bom) {
      if ((n = Utf8Sequence(bytes, i, c)) == 0) n = 1, c = Invalid;
    } else if (i + 1 < bytes.size()) {
      n = 2, c = encoding == TEncoding::Utf16Be ? byte(i) << 8 | byte(i + 1) : byte(i + 1) << 8 | byte(i);
    } else {
      c = Invalid;  // an odd byte at the end
    }
    if (c >= 0x10000) {
      text.At.push_back(i);
      text.Units.push_back(0xD800 + ((c - 0x10000) >> 10));
      c = 0xDC00 + (c & 0x3FF);
    }
    text.At.push_back(i);
    text.Units.push_back(c);
    i += n;
  }
  text.At.push_back(i);
  return text;
}

// The characters [begin, end) as code page 932; false when one has no form there.
bool ToCp932(const std::u32string& units, std::size_t begin, std::size_t end, TEncoding encoding,
             std::string& out) {
  out.clear();
  std::u16string wide;
  for (std::size_t i = begin; i < end; ++i) {
    if (encoding != TEncoding::Ansi) {
      wide += static_cast<char16_t>(units[i]);
    } else {
      if (units[i] > 0xFF) out += static_cast<char>(units[i] >> 8);
      out += static_cast<char>(units[i] & 0xFF);
    }
  }
  return encoding == TEncoding::Ansi || Utf16ToCp932(wide, out);
}

void AppendUtf8(std::string& out, char32_t c) {
  const int n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  out += static_cast<char>(n == 1 ? c : (0xF00 >> n & 0xFF) | c >> (6 * (n - 1)));
  for (int k = n - 2; k >= 0; --k) out += static_cast<char>(0x80 | (c >> (6 * k) & 0x3F));
}

// Code page 932 text as the encoding's bytes; false when a character has no form there.
bool Encode(const std::string& text, TEncoding encoding, std::string& out) {
  out = encoding == TEncoding::Ansi ? text : std::string();
  std::u16string wide;  // none for ANSI
  if (encoding != TEncoding::Ansi && !Cp932ToUtf16(text, wide)) return false;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (encoding == TEncoding::Utf16Le || encoding == TEncoding::Utf16Be) {
      const auto high = static_cast<char>(c >> 8);
      const auto low = static_cast<char>(c & 0xFF);
      out += encoding == TEncoding::Utf16Le ? std::string{low, high} : std::string{high, low};
      continue;
    }
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size()) c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
    AppendUtf8(out, c);
  }
  return true;
}

// Blanks as the profile functions trim them: Ctrl+Z included.
bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == 0x1A; }

// Narrows [begin, end) to leave out the blanks on either side.
void Trim(const std::u32string& u, std::size_t& begin, std::size_t& end) {
  while (begin < end && IsBlank(u[begin])) ++begin;
  while (end > begin && IsBlank(u[end - 1])) --end;
}

// One line of the file, as character indexes: Kind '[' a section header (its name in
// [Name, NameEnd)), '=' a key with a value from Value to End, ' ' nothing to read (a
// blank line, a comment, a line without '=', read by Windows as no key). Next: the next
// line's start.
struct TLine {
  char Kind = ' ';
  std::size_t Name = 0, NameEnd = 0, Value = 0, End = 0, LineEnd = 0, Next = 0;
};

TLine ParseLine(const std::u32string& u, std::size_t at) {
  TLine line;
  std::size_t end = at;
  while (end < u.size() && u[end] != '\r' && u[end] != '\n') ++end;
  line.LineEnd = end;
  line.Next = end == u.size() ? end : end + (end + 1 < u.size() && u[end] == '\r' && u[end + 1] == '\n' ? 2 : 1);
  std::size_t b = at;
  std::size_t e = end;
  Trim(u, b, e);
  line.Name = b, line.NameEnd = line.Value = line.End = e;
  if (b == e || u[b] == ';') return line;  // blank, or a comment
  std::size_t close = e;  // past the last ']'
  while (close > b && u[close - 1] != ']') --close;
  std::size_t equals = b;
  while (equals < e && u[equals] != '=') ++equals;
  if (u[b] == '[' && close > b + 1) {
    line.Kind = '[', line.Name = b + 1, line.NameEnd = close - 1;
    Trim(u, line.Name, line.NameEnd);
  } else if (equals < e) {
    line.Kind = '=', line.NameEnd = equals, line.Value = equals + 1;
    Trim(u, line.Name, line.NameEnd);
    Trim(u, line.Value, line.End);
  }
  return line;
}

std::vector<TLine> Lines(const std::u32string& units) {
  std::vector<TLine> lines;
  for (std::size_t at = 0; at < units.size(); at = lines.back().Next) lines.push_back(ParseLine(units, at));
  return lines;
}

// Names compared as Windows compares them: ASCII letters case aside, a double-byte
// character only whole.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  for (std::size_t i = 0; i < a.size(); i += CharLength(a, i)) {
    if (CharLength(a, i) == 2 ? a.compare(i, 2, b, i, 2) != 0 : fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// Where a key goes: its line when the section has it, else after the section's last key
// (or its header); both null when the file lacks the section.
struct TPlace {
  const TLine* Key = nullptr;
  const TLine* After = nullptr;
};

TPlace Place(const TText& text, const std::vector<TLine>& lines, TEncoding encoding, const std::string& section,
             const std::string& key) {
  TPlace place;
  std::string name;
  const auto named = [&](const TLine& line, const std::string& wanted) {
    return ToCp932(text.Units, line.Name, line.NameEnd, encoding, name) && SameName(name, wanted);
  };
  for (const TLine& line : lines) {
    if (line.Kind == '[') {
      if (place.After != nullptr) break;  // the section's end
      if (named(line, section)) place.After = &line;
    } else if (place.After != nullptr && line.Kind != ' ') {
      place.After = &line;
      if (named(line, key)) {
        place.Key = &line;
        break;
      }
    }
  }
  return place;
}

}  // namespace

TSettingsEncoding DetectSettingsEncoding(const std::string& bytes) {
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return TEncoding::Utf8Bom;
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) return TEncoding::Utf16Le;
  if (bytes.compare(0, 2, "\xFE\xFF") == 0) return TEncoding::Utf16Be;
  bool wide = false;
  char32_t c = 0;
  for (std::size_t i = 0, n = 0; i < bytes.size(); i += n) {
    if ((n = Utf8Sequence(bytes, i, c)) == 0) return TEncoding::Ansi;
    wide = wide || n > 1;
  }
  return wide ? TEncoding::Utf8 : TEncoding::Ansi;
}

const char* EncodingName(TSettingsEncoding encoding) {
  const char* const names[] = {"ANSI", "UTF-8", "UTF-8 with BOM", "UTF-16 LE", "UTF-16 BE"};
  return names[static_cast<int>(encoding)];
}

TSettingsFile::TSettingsFile(const std::string& bytes, TSettingsEncoding encoding)
    : encoding_(encoding), sections_(1) {  // the keys before any header: a section without a name
  const TText text = Decode(bytes, encoding_);
  for (const TLine& line : Lines(text.Units)) {
    if (line.Kind == '[') {
      TSection section;
      section.Named = ToCp932(text.Units, line.Name, line.NameEnd, encoding_, section.Name);
      sections_.push_back(std::move(section));
    } else if (line.Kind == '=') {
      TEntry entry;
      if (!ToCp932(text.Units, line.Name, line.NameEnd, encoding_, entry.Key)) continue;
      entry.Lacking = !ToCp932(text.Units, line.Value, line.End, encoding_, entry.Value);
      if (entry.Lacking) entry.Value.clear();
      sections_.back().Entries.push_back(std::move(entry));
    }
  }
}

const TSettingsFile::TSection* TSettingsFile::Find(const std::string& section) const {
  for (const TSection& s : sections_) {
    if (s.Named && SameName(s.Name, section)) return &s;
  }
  return nullptr;
}

std::string TSettingsFile::Value(const std::string& section, const std::string& key, bool& lacking) const {
  lacking = false;
  const TSection* const s = Find(section);
  if (s == nullptr) return {};
  for (const TEntry& entry : s->Entries) {
    if (!SameName(entry.Key, key)) continue;
    lacking = entry.Lacking;
    const std::string& v = entry.Value;
    const bool quoted = v.size() > 1 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0];
    return quoted ? v.substr(1, v.size() - 2) : v;
  }
  return {};
}

std::vector<std::string> TSettingsFile::Names(const char* section) const {
  std::vector<std::string> names;
  if (section == nullptr) {
    for (const TSection& s : sections_) {
      if (s.Named && !s.Name.empty()) names.push_back(s.Name);
    }
  } else if (const TSection* const s = Find(section)) {
    for (const TEntry& entry : s->Entries) names.push_back(entry.Key);
  }
  return names;
}

std::vector<std::string> TSettingsFile::Repeated() const {
  std::vector<std::string> repeated;
  for (const TSection& s : sections_) {
    const auto seen = [&s](const std::string& name) { return SameName(name, s.Name); };
    if (s.Named && !s.Name.empty() && Find(s.Name) != &s && std::none_of(repeated.begin(), repeated.end(), seen)) {
      repeated.push_back(s.Name);
    }
  }
  return repeated;
}

bool SetSettingValue(std::string& bytes, const std::string& section, const std::string& key,
                     const std::string& value) {
  const TEncoding encoding = DetectSettingsEncoding(bytes);
  const TText text = Decode(bytes, encoding);
  // Blanks around the value, or a pair of quotes, would be taken off when it is read.
  const bool quote = !value.empty() && (IsBlank(value[0]) || IsBlank(value.back()) ||
                                        (value.size() > 1 && (value[0] == '"' || value[0] == '\'') &&
                                         value.back() == value[0]));
  // New lines end as the file's first line does.
  const std::size_t first = text.Units.find('\n');
  const bool lf = first != std::u32string::npos && (first == 0 || text.Units[first - 1] != '\r');
  // As the encoding's bytes: "=value", "key=value", the header, a line's end.
  const std::string wanted = "=" + (quote ? '"' + value + '"' : value);
  const std::string texts[] = {wanted, key + wanted, "[" + section + "]", lf ? "\n" : "\r\n"};
  std::string encoded[std::size(texts)];
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    if (!Encode(texts[i], encoding, encoded[i])) return false;
  }
  const auto& [assigned, entry, header, newline] = encoded;
  const std::vector<TLine> lines = Lines(text.Units);
  const TPlace place = Place(text, lines, encoding, section, key);
  std::string out = bytes;
  if (place.Key != nullptr) {
    out.replace(text.At[place.Key->NameEnd], text.At[place.Key->End] - text.At[place.Key->NameEnd], assigned);
  } else if (place.After != nullptr) {
    const bool ended = place.After->Next > place.After->LineEnd;
    out.insert(text.At[place.After->Next], ended ? entry + newline : newline + entry);
  } else {
    const bool ended = text.Units.empty() || text.Units.back() == '\r' || text.Units.back() == '\n';
    out += (ended ? "" : newline) + header + newline + entry + newline;
  }
  // Only a change that reads back as asked for: a name the reader would take otherwise, or
  // bytes that would be told as another encoding, leave the file as it was.
  bool lacking = false;
  const TSettingsFile check(out);
  if (check.Encoding() != encoding || check.Value(section, key, lacking) != value || lacking) return false;
  bytes = std::move(out);
  return true;
}

}  // namespace pelmora
