#include "automation/cmdline.h"

#include "automation/sjis.h"

namespace pelmora {
namespace {

// A NUL ends the text as it ends a C string.
bool IsBlank(char c) { return c >= 1 && c <= 32; }
bool AtEnd(const std::string& s, std::size_t i) { return i >= s.size() || s[i] == '\0'; }
bool IsTokenChar(const std::string& s, std::size_t i) { return !AtEnd(s, i) && !IsBlank(s[i]); }

// Reads one token starting at `i`; returns the position after it.
std::size_t NextToken(const std::string& s, std::size_t i, std::string& token) {
  token.clear();
  for (;;) {
    while (!AtEnd(s, i) && IsBlank(s[i])) ++i;
    if (i + 1 < s.size() && s[i] == '"' && s[i + 1] == '"') {
      i += 2;
    } else {
      break;
    }
  }
  while (IsTokenChar(s, i)) {
    if (s[i] == '"') {
      ++i;
      while (!AtEnd(s, i) && s[i] != '"') {
        const std::size_t n = CharLength(s, i);
        token.append(s, i, n);
        i += n;
      }
      if (!AtEnd(s, i)) ++i;  // the closing quote
    } else {
      const std::size_t n = CharLength(s, i);
      token.append(s, i, n);
      i += n;
    }
  }
  return i;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  std::string token;
  std::size_t i = NextToken(line, 0, token);  // the program itself
  for (;;) {
    i = NextToken(line, i, token);
    if (token.empty()) break;
    args.push_back(token);
  }
  return args;
}

std::vector<std::string> SplitCommaText(const std::string& text) {
  std::vector<std::string> items;
  std::size_t i = 0;
  while (!AtEnd(text, i) && IsBlank(text[i])) ++i;
  while (!AtEnd(text, i)) {
    const std::size_t start = i;
    while (IsTokenChar(text, i) && text[i] != ',') i += CharLength(text, i);
    items.push_back(text.substr(start, i - start));
    while (!AtEnd(text, i) && IsBlank(text[i])) ++i;
    if (!AtEnd(text, i) && text[i] == ',') {
      if (AtEnd(text, i + 1)) items.emplace_back();
      do {
        ++i;
      } while (!AtEnd(text, i) && IsBlank(text[i]));
    }
  }
  return items;
}

}  // namespace pelmora
