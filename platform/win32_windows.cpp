// The port realised on Win32: windows and messages, the foreground and the threads behind windows.
#include "platform/win32_common.h"

namespace pelmora {

TWindow TWin32WindowSystem::FindWindowExA(TWindow parent, const char* className,
                                          const char* title) {
  return Handle(::FindWindowExA(Hwnd(parent), nullptr, className, title));
}

TWindow TWin32WindowSystem::FindWindowExA(TWindow parent, TWindow childAfter,
                                          const char* className, const char* title) {
  return Handle(::FindWindowExA(Hwnd(parent), Hwnd(childAfter), className, title));
}

bool TWin32WindowSystem::IsWindowVisible(TWindow window) {
  return ::IsWindowVisible(Hwnd(window)) != FALSE;
}

bool TWin32WindowSystem::GetWindowRect(TWindow window, TRect& rect) {
  RECT r{};
  if (!::GetWindowRect(Hwnd(window), &r)) return false;
  rect = {r.left, r.top, r.right, r.bottom};
  return true;
}

TWindow TWin32WindowSystem::WindowFromPoint(TPoint point) {
  return Handle(::WindowFromPoint(POINT{point.X, point.Y}));
}

TWindow TWin32WindowSystem::GetAncestor(TWindow window) {
  return Handle(::GetAncestor(Hwnd(window), GA_ROOT));
}

bool TWin32WindowSystem::IsChild(TWindow parent, TWindow window) {
  return ::IsChild(Hwnd(parent), Hwnd(window)) != FALSE;
}

std::string TWin32WindowSystem::GetWindowTextA(TWindow window) {
  // Titles the logic compares are short; a longer one cannot match any of them anyway.
  char text[256] = "";
  const int length = ::GetWindowTextA(Hwnd(window), text, sizeof text);
  return {text, length > 0 ? static_cast<std::size_t>(length) : 0};
}

std::string TWin32WindowSystem::GetClassNameA(TWindow window) {
  char name[256];
  const int n = ::GetClassNameA(Hwnd(window), name, sizeof name);
  return {name, static_cast<std::size_t>(n > 0 ? n : 0)};
}

bool TWin32WindowSystem::GetMenu(TWindow window) { return ::GetMenu(Hwnd(window)) != nullptr; }

bool TWin32WindowSystem::SendMessageTimeoutA(TWindow window, std::uint32_t message,
                                             std::uintptr_t wParam, std::intptr_t lParam,
                                             std::uint32_t timeoutMs) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutA(Hwnd(window), message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs,
                               &result) != 0;
}

bool TWin32WindowSystem::PostMessageA(TWindow window, std::uint32_t message,
                                      std::uintptr_t wParam, std::intptr_t lParam) {
  return ::PostMessageA(Hwnd(window), message, wParam, lParam) != FALSE;
}

bool TWin32WindowSystem::SetForegroundWindow(TWindow window) {
  return ::SetForegroundWindow(Hwnd(window)) != FALSE;
}

TWindow TWin32WindowSystem::GetForegroundWindow() { return Handle(::GetForegroundWindow()); }

bool TWin32WindowSystem::BringWindowToTop(TWindow window) {
  return ::BringWindowToTop(Hwnd(window)) != FALSE;
}

std::uint32_t TWin32WindowSystem::GetWindowThreadId(TWindow window) {
  return ::GetWindowThreadProcessId(Hwnd(window), nullptr);
}

std::uint32_t TWin32WindowSystem::GetCurrentThreadId() { return ::GetCurrentThreadId(); }

bool TWin32WindowSystem::IsHungAppWindow(TWindow window) {
  return ::IsHungAppWindow(Hwnd(window)) != FALSE;
}

bool TWin32WindowSystem::AttachThreadInput(std::uint32_t thread, std::uint32_t toThread,
                                           bool attach) {
  return ::AttachThreadInput(thread, toThread, attach ? TRUE : FALSE) != FALSE;
}

bool TWin32WindowSystem::GetGUIThreadInfo(std::uint32_t thread, TGuiThreadInfo& info) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  if (!::GetGUIThreadInfo(thread, &gui)) return false;
  info = {gui.flags, Handle(gui.hwndFocus), Handle(gui.hwndCapture)};
  return true;
}

namespace {

BOOL CALLBACK AddWindow(HWND hwnd, LPARAM windows) {
  reinterpret_cast<std::vector<TWindow>*>(windows)->push_back(Handle(hwnd));
  return TRUE;
}

}  // namespace

std::vector<TWindow> TWin32WindowSystem::EnumThreadWindows(std::uint32_t thread) {
  std::vector<TWindow> windows;
  ::EnumThreadWindows(thread, AddWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::int32_t TWin32WindowSystem::GetWindowLongA(TWindow window, int index) {
  return ::GetWindowLongA(Hwnd(window), index);
}

}  // namespace pelmora
