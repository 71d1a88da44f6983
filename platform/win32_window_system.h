// The port realised on the Win32 window system, ANSI functions throughout but for the
// error box, which shows its text wide.
#pragma once

#include <windows.h>

#include "platform/window_system.h"

namespace pelmora {

class TWin32WindowSystem final : public TWindowSystem {
 public:
  // The error box is owned by this window, which stays disabled while the box is up.
  void SetOwner(HWND owner) { owner_ = owner; }

  // win32_windows.cpp: windows and messages, the foreground and the threads.
  TWindow FindWindowExA(TWindow parent, const char* className, const char* title) override;
  TWindow FindWindowExA(TWindow parent, TWindow childAfter, const char* className,
                        const char* title) override;
  bool IsWindowVisible(TWindow window) override;
  bool GetWindowRect(TWindow window, TRect& rect) override;
  TWindow WindowFromPoint(TPoint point) override;
  TWindow GetAncestor(TWindow window) override;
  bool IsChild(TWindow parent, TWindow window) override;
  std::string GetWindowTextA(TWindow window) override;
  std::string GetClassNameA(TWindow window) override;
  bool GetMenu(TWindow window) override;
  bool SendMessageTimeoutA(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam, std::uint32_t timeoutMs) override;
  bool PostMessageA(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                    std::intptr_t lParam) override;
  bool SetForegroundWindow(TWindow window) override;
  TWindow GetForegroundWindow() override;
  bool BringWindowToTop(TWindow window) override;
  std::uint32_t GetWindowThreadId(TWindow window) override;
  std::uint32_t GetCurrentThreadId() override;
  bool IsHungAppWindow(TWindow window) override;
  bool AttachThreadInput(std::uint32_t thread, std::uint32_t toThread, bool attach) override;
  bool GetGUIThreadInfo(std::uint32_t thread, TGuiThreadInfo& info) override;
  std::vector<TWindow> EnumThreadWindows(std::uint32_t thread) override;
  std::int32_t GetWindowLongA(TWindow window, int index) override;

  // win32_input.cpp: input, the cursor and the monitors.
  std::uint32_t SendInput(const std::vector<TMouseInput>& events) override;
  TMonitor MonitorFromPoint(TPoint point) override;
  TMonitorMapping ReadPhysicalMonitor(TMonitor monitor, TRect& rect, TRect& desktop) override;
  TWindow WindowFromPhysicalPoint(TPoint point) override;
  bool GetLastInputInfo(std::uint32_t& tick) override;
  int GetSystemMetrics(int index) override;
  TMonitor MonitorFromWindow(TWindow window) override;
  bool GetMonitorInfoA(TMonitor monitor, TRect& rect, std::string& device) override;

  // win32_process.cpp: processes, rights and the session.
  TProcessId GetWindowThreadProcessId(TWindow window) override;
  void WaitForProcessIdle(TProcessId process, std::uint32_t timeoutMs) override;
  void ShellExecuteA(const std::string& path) override;
  TProcessId FindSessionProcessStartedFrom(const std::string& path) override;
  std::int32_t GetTokenIntegrityLevel(TProcessId process) override;
  bool RunsElevated() override;
  std::string GetInputDesktopName() override;
  bool WTSQuerySessionInformationW(TSessionInfo& info) override;
  TOsVersion RtlGetVersion() override;
  std::uint32_t GetACP() override;
  std::string GetCommandLineA() override;
  std::string GetModuleFileNameA() override;
  TProcessId GetCurrentProcessId() override;

  // win32_waits.cpp: time, pauses and the objects jobs share.
  void Pause(std::uint32_t ms) override;
  void BeginFinerTimer() override;
  void EndFinerTimer() override;
  std::uint32_t GetTickCount() override;
  TSystemTime GetLocalTime() override;
  THandle CreateMutexA(const char* name) override;
  THandle OpenMutexToWait(const char* name) override;
  TWaitResult WaitForLockOrQuit(THandle mutex, std::uint32_t timeoutMs) override;
  // The window's cancel button or close box: a wait for the lock then in progress, or the
  // next, ends as if the program were closed; false again for the next command.
  void CancelLockWait(bool cancel) { lockWaitCancelled_ = cancel; }
  void ReleaseMutex(THandle handle) override;
  bool WaitForSingleObject(THandle object, std::uint32_t timeoutMs) override;
  THandle OpenSharedValue(const char* name) override;
  std::uint32_t LoadSharedValue(THandle value) override;
  std::uint32_t InterlockedCompareExchange(THandle value, std::uint32_t exchange,
                                           std::uint32_t comparand) override;
  void CloseHandle(THandle handle) override;

  // win32_files.cpp: files and settings.
  bool FileExists(const std::string& path) override;
  bool ReadFileBytes(const std::string& path, std::uint32_t limit, std::string& bytes) override;
  std::string GetPrivateProfileStringA(const char* section, const char* key,
                                       const std::string& fileName) override;
  std::vector<std::string> ReadSettingNames(const char* section,
                                            const std::string& fileName) override;
  THandle OpenForAppend(const std::string& path) override;
  bool WriteFile(THandle file, const std::string& bytes) override;
  bool GetFileSizeEx(THandle file, std::uint64_t& size) override;
  bool MoveFileExA(const std::string& from, const std::string& to) override;

  // win32_error_box.cpp.
  void ShowErrorBox(const std::string& text) override;

 private:
  HWND owner_ = nullptr;
  // The finer timer: a high-resolution waitable timer, or else the system's period raised
  // through winmm (0: not raised).
  HANDLE timer_ = nullptr;
  bool lockWaitCancelled_ = false;
  HMODULE winmm_ = nullptr;
  UINT period_ = 0;
};

}  // namespace pelmora
