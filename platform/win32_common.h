// What the Win32 realisation's files share: handle conversions and the loading of
// functions that not every Windows has. Included only inside platform/.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_window_system.h"

namespace pelmora {

inline HWND Hwnd(TWindow window) { return reinterpret_cast<HWND>(window); }
inline TWindow Handle(HWND hwnd) { return reinterpret_cast<TWindow>(hwnd); }
inline HANDLE Kernel(THandle object) { return reinterpret_cast<HANDLE>(object); }
inline THandle Object(HANDLE handle) { return reinterpret_cast<THandle>(handle); }

// A function of a DLL that not every Windows has, as the pointer type it is called through;
// null when it or its DLL (a null module) is missing. Cast through the generic function type, which GCC lets any
// function pointer become.
template <class TFunction>
TFunction Proc(HMODULE module, const char* name) {
  using TAny = void (*)();
  if (module == nullptr) return nullptr;
  return reinterpret_cast<TFunction>(reinterpret_cast<TAny>(GetProcAddress(module, name)));
}

// A DLL of the system folder, never one beside the program; null when missing.
inline HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH + 16];
  const UINT n = GetSystemDirectoryA(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  path[n] = '\\';
  lstrcpyA(path + n + 1, name);  // names of a dozen characters
  return LoadLibraryA(path);
}

// Code page 932 text as wide characters, NUL-terminated, for the wide drawing functions: the
// texts read right whatever the PC's own code page. A vector, not std::wstring: the
// library's wide string would add tens of KB to the program.
inline std::vector<wchar_t> WideForDisplay(const std::string& text) {
  constexpr UINT Japanese = 932;
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(Japanese, 0, text.data(), size, nullptr, 0);
  std::vector<wchar_t> wide(static_cast<std::size_t>(n > 0 ? n : 0) + 1, L'\0');
  if (n > 0) MultiByteToWideChar(Japanese, 0, text.data(), size, wide.data(), n);
  return wide;
}

}  // namespace pelmora
