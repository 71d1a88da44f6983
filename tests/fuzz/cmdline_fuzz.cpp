// Command-line and comma-text splitting on arbitrary bytes. Each result is checked
// against properties that follow from the syntax and against a second, deliberately
// different reading of the same rules (a quote toggle for the command line; lexemes for
// the comma text). Out-of-range reads are caught by AddressSanitizer and by the
// library's checked operator[] (_GLIBCXX_ASSERTIONS).
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "automation/cmdline.h"

namespace {

using Strings = std::vector<std::string>;

[[noreturn]] void Fail(const char* what, const std::string& input) {
  std::cerr << "violated: " << what << "\ninput (" << input.size() << " bytes):" << std::hex;
  for (const unsigned char c : input) std::cerr << ' ' << static_cast<int>(c);
  std::cerr << std::endl;
  std::abort();
}

bool IsBlank(char c) { return c >= 1 && c <= 32; }

// The text as a C string sees it.
std::string UpToNul(const std::string& s) { return s.substr(0, s.find('\0')); }

bool IsSubsequence(const std::string& part, const std::string& whole) {
  std::size_t j = 0;
  for (char c : whole) {
    if (j < part.size() && part[j] == c) ++j;
  }
  return j == part.size();
}

// Quotes toggle a quoted state; a blank ends a token only outside it. Double-byte
// characters need no care here: no trail byte (0x40-0x7E, 0x80-0xFC) is a blank, a
// quote, a comma or a NUL, so splitting byte by byte must give the same result.
Strings ModelCommandLine(const std::string& raw) {
  const std::string line = UpToNul(raw);
  Strings tokens;
  std::size_t i = 0;
  for (;;) {
    for (;;) {
      if (i < line.size() && IsBlank(line[i])) {
        ++i;
      } else if (line.compare(i, 2, "\"\"") == 0) {
        i += 2;  // an empty quoted argument is no argument
      } else {
        break;
      }
    }
    std::string token;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else {
        token += line[i];
      }
    }
    if (token.empty()) break;
    tokens.push_back(token);
  }
  if (!tokens.empty()) tokens.erase(tokens.begin());  // the program itself
  return tokens;
}

// Lexemes: words (runs of anything but blanks and commas) and commas. Each word is an
// item; a comma that opens the text or follows another comma has an empty item before
// it; a comma that is the text's last byte has an empty item after it.
Strings ModelCommaText(const std::string& raw) {
  const std::string text = UpToNul(raw);
  Strings items;
  bool previousWasComma = true;  // as if a comma stood before the text
  for (std::size_t i = 0; i < text.size();) {
    if (IsBlank(text[i])) {
      ++i;
    } else if (text[i] == ',') {
      if (previousWasComma) items.emplace_back();
      if (i + 1 == text.size()) items.emplace_back();
      previousWasComma = true;
      ++i;
    } else {
      const std::size_t start = i;
      while (i < text.size() && !IsBlank(text[i]) && text[i] != ',') ++i;
      items.push_back(text.substr(start, i - start));
      previousWasComma = false;
    }
  }
  return items;
}

void CheckCommandLine(const std::string& input) {
  const Strings args = pelmora::SplitCommandLine(input);
  std::string joined;
  for (const std::string& arg : args) {
    if (arg.empty()) Fail("an argument is empty", input);
    if (arg.find('"') != std::string::npos) Fail("an argument holds a double quote", input);
    if (arg.find('\0') != std::string::npos) Fail("an argument holds a NUL", input);
    joined += arg;
  }
  if (!IsSubsequence(joined, UpToNul(input))) {
    Fail("the arguments are not drawn from the line's bytes in order", input);
  }
  // Without quotes every blank outside a token separates, so the arguments are exactly
  // the blank-separated fields after the first.
  if (UpToNul(input).find('"') == std::string::npos) {
    Strings fields;
    std::string field;
    for (char c : UpToNul(input) + ' ') {
      if (!IsBlank(c)) {
        field += c;
      } else if (!field.empty()) {
        fields.push_back(field);
        field.clear();
      }
    }
    if (!fields.empty()) fields.erase(fields.begin());
    if (args != fields) Fail("unquoted line not split at its blanks", input);
  }
  if (args != ModelCommandLine(input)) Fail("command line differs from the quote-toggle reading", input);
}

void CheckCommaText(const std::string& input) {
  const Strings items = pelmora::SplitCommaText(input);
  std::string joined;
  for (const std::string& item : items) {
    for (char c : item) {
      if (c == ',') Fail("an item holds a comma", input);
      if (c == '\0' || IsBlank(c)) Fail("an item holds a blank, control byte or NUL", input);
    }
    joined += item;
  }
  // Items cover everything but the separators, in order.
  std::string kept;
  for (char c : UpToNul(input)) {
    if (c != ',' && !IsBlank(c)) kept += c;
  }
  if (joined != kept) Fail("items do not cover the text without its separators", input);
  if (items != ModelCommaText(input)) Fail("comma text differs from the lexeme reading", input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckCommandLine(input);
  CheckCommaText(input);
  // As the form reads them: argument 2 comes out of the command-line splitting.
  for (const std::string& arg : pelmora::SplitCommandLine(input)) CheckCommaText(arg);
  return 0;
}
