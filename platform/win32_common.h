// What the Win32 realisation's files share: handle conversions and the loading of
// functions that not every Windows has. Included only inside platform/.
#pragma once

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

}  // namespace pelmora
