// The conversion between code page 932 and UTF-16 on Win32.
#include <windows.h>

#include "platform/code_page.h"

namespace pelmora {

constexpr UINT Japanese = 932;

bool Cp932ToUtf16(const std::string& text, std::u16string& wide) {
  wide.clear();
  if (text.empty()) return true;
  const int n = ::MultiByteToWideChar(Japanese, MB_ERR_INVALID_CHARS, text.data(),
                                      static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  wide.resize(static_cast<std::size_t>(n));
  return ::MultiByteToWideChar(Japanese, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                               reinterpret_cast<wchar_t*>(wide.data()), n) == n;
}

bool Utf16ToCp932(const std::u16string& wide, std::string& text) {
  text.clear();
  if (wide.empty()) return true;
  const auto* const units = reinterpret_cast<const wchar_t*>(wide.data());
  BOOL lacking = FALSE;
  const int n = ::WideCharToMultiByte(Japanese, WC_NO_BEST_FIT_CHARS, units, static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, &lacking);
  if (n <= 0 || lacking) return false;
  text.resize(static_cast<std::size_t>(n));
  return ::WideCharToMultiByte(Japanese, WC_NO_BEST_FIT_CHARS, units, static_cast<int>(wide.size()), text.data(),
                               n, nullptr, &lacking) == n &&
         !lacking;
}

}  // namespace pelmora
