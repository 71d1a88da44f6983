// Conversion between code page 932 and UTF-16, as Windows converts: a free pair rather
// than port operations, since a settings file's bytes are rewritten where no port is at
// hand. Realised by win32_code_page.cpp on Windows and by the simulated desktop's table.
#pragma once

#include <string>

namespace pelmora {

// The UTF-16 code units of code page 932 text; false when a byte sequence is not one.
bool Cp932ToUtf16(const std::string& text, std::u16string& wide);
// The code page 932 text of UTF-16 code units; false when a character has no form there
// (no best-fit substitute taken).
bool Utf16ToCp932(const std::u16string& wide, std::string& text);

}  // namespace pelmora
