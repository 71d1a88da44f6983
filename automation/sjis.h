// Code page 932 byte classes, so scans never take a trail byte (0x5C in "表") for a
// separator and never step past the end of the text.
#pragma once

#include <cstddef>
#include <string>

namespace pelmora {

inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
inline bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// Length of the character at `i`: 2 for a lead byte with a trail byte after it, else 1.
// A lead byte at the end, or before a byte that cannot trail, stands alone.
inline std::size_t CharLength(const std::string& s, std::size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() &&
          IsTrailByte(static_cast<unsigned char>(s[i + 1])))
             ? 2
             : 1;
}

}  // namespace pelmora
