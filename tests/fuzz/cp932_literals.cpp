// Copies a UTF-8 C++ source, rewriting every non-ASCII character inside a string or
// character literal as the octal escapes of its code page 932 bytes. Clang accepts no
// execution character set but UTF-8, and the program's texts must be code page 932;
// octal escapes (never more than three digits) keep a trail byte 0x5C from reading as a
// backslash and a following letter from extending the escape. Comments and code are
// copied unchanged.
//
// Usage: cp932_literals <input> <output>
#include <iconv.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

std::string ToCp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv: no CP932");
  std::string in = utf8;
  std::string out(in.size() * 2 + 8, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1) || inLeft != 0) {
    throw std::runtime_error("not convertible to CP932: " + utf8);
  }
  out.resize(out.size() - outLeft);
  return out;
}

std::string Octal(unsigned char c) {
  return {'\\', static_cast<char>('0' + (c >> 6)), static_cast<char>('0' + ((c >> 3) & 7)),
          static_cast<char>('0' + (c & 7))};
}

bool IsIdentChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  throw std::runtime_error("invalid UTF-8");
}

// Copies a literal that starts at the opening quote `s[i]`; returns the position after it.
std::size_t CopyLiteral(const std::string& s, std::size_t i, const std::string& prefix,
                        std::string& out) {
  const char quote = s[i];
  out += quote;
  ++i;
  while (i < s.size() && s[i] != quote) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == '\\') {
      out.append(s, i, 2);
      i += 2;
    } else if (c == '\n') {
      throw std::runtime_error("unterminated literal");
    } else if (c >= 0x80) {
      // Only narrow literals take the execution character set.
      if (!prefix.empty()) throw std::runtime_error("non-ASCII in a " + prefix + " literal");
      const std::size_t n = Utf8Length(c);
      for (unsigned char b : ToCp932(s.substr(i, n))) out += Octal(b);
      i += n;
    } else {
      out += s[i++];
    }
  }
  if (i >= s.size()) throw std::runtime_error("unterminated literal");
  out += s[i];
  return i + 1;
}

// Copies a comment starting at `i`, if one does; returns the position after it.
std::size_t CopyComment(const std::string& s, std::size_t i, std::string& out) {
  std::size_t end = i;
  if (s.compare(i, 2, "//") == 0) {
    end = s.find('\n', i);
    if (end == std::string::npos) end = s.size();
  } else if (s.compare(i, 2, "/*") == 0) {
    end = s.find("*/", i + 2);
    if (end == std::string::npos) throw std::runtime_error("unterminated comment");
    end += 2;
  }
  out.append(s, i, end - i);
  return end;
}

// Copies an identifier or number whole, so a digit separator is not taken for a quote,
// and a literal that it prefixes.
std::size_t CopyWord(const std::string& s, std::size_t i, std::string& out) {
  const std::size_t start = i;
  const bool number = s[start] >= '0' && s[start] <= '9';
  while (i < s.size() && (IsIdentChar(s[i]) || (number && s[i] == '\''))) ++i;
  const std::string word = s.substr(start, i - start);
  out += word;
  if (i >= s.size() || (s[i] != '"' && s[i] != '\'')) return i;
  if (word == "R" || word == "u8R" || word == "uR" || word == "UR" || word == "LR") {
    throw std::runtime_error("raw string literals are not supported");
  }
  const bool prefix = word == "u8" || word == "u" || word == "U" || word == "L";
  return prefix ? CopyLiteral(s, i, word, out) : i;
}

std::string Convert(const std::string& s) {
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t next = CopyComment(s, i, out);
    if (next != i) {
      i = next;
    } else if (IsIdentChar(s[i])) {
      i = CopyWord(s, i, out);
    } else if (s[i] == '"' || s[i] == '\'') {
      i = CopyLiteral(s, i, "", out);
    } else {
      out += s[i++];
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: cp932_literals <input> <output>\n";
    return 2;
  }
  try {
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) throw std::runtime_error("cannot read");
    const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string converted = Convert(source);
    std::ofstream out(argv[2], std::ios::binary);
    out << converted;
    if (!out) throw std::runtime_error("cannot write");
  } catch (const std::exception& e) {
    std::cerr << argv[1] << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}
