// The window-system port: every desktop operation the logic uses, named after the
// Win32 function that carries it out, or, where it does more, after what it does. No native types here, so the logic builds and
// runs against a simulated desktop as well as against Win32.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window_types.h"

namespace pelmora {

class TWindowSystem {
 public:
  virtual ~TWindowSystem() = default;

  // --- Windows and messages: finding the target's windows, reading them, talking to them.
  // First window under `parent` (0: top level) whose class and title match; a null
  // class or title matches any. Direct children only.
  virtual TWindow FindWindowExA(TWindow parent, const char* className, const char* title) = 0;
  // The same search continuing after `childAfter` in z-order (0: from the first window),
  // so that calls in turn enumerate every match.
  virtual TWindow FindWindowExA(TWindow parent, TWindow childAfter, const char* className,
                                const char* title) = 0;
  virtual bool IsWindowVisible(TWindow window) = 0;
  // The outer rectangle, frame included; false when the window is gone.
  virtual bool GetWindowRect(TWindow window, TRect& rect) = 0;
  virtual TWindow WindowFromPoint(TPoint point) = 0;
  // The top-level window that `window` lies in (GA_ROOT); the window itself when it is
  // top-level; 0 when it is gone.
  virtual TWindow GetAncestor(TWindow window) = 0;
  // True when `window` lies inside `parent`: its child, or a child's child, and so on.
  virtual bool IsChild(TWindow parent, TWindow window) = 0;
  virtual std::string GetWindowTextA(TWindow window) = 0;
  // What the trace reports about a window; empty when it is gone.
  virtual std::string GetClassNameA(TWindow window) = 0;
  // Only the presence of a menu bar matters to the logic.
  virtual bool GetMenu(TWindow window) = 0;
  // Sends the message and waits at most `timeoutMs` for the window's thread to handle it,
  // giving up at once on a thread Windows counts as hung (SMTO_ABORTIFHUNG); false when it
  // was not handled in time, the thread is hung or the window is gone.
  virtual bool SendMessageTimeoutA(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam, std::uint32_t timeoutMs) = 0;
  // False when the message was not queued: the window is gone, or its queue is full.
  virtual bool PostMessageA(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) = 0;

  // --- The foreground and the threads behind windows: who gets the keyboard.
  // True when the window was brought in front. Windows lets only the foreground process, or
  // the one that received the last input event, take the foreground.
  virtual bool SetForegroundWindow(TWindow window) = 0;
  // The window in front, which gets the keyboard; 0 while none is.
  virtual TWindow GetForegroundWindow() = 0;
  virtual bool BringWindowToTop(TWindow window) = 0;
  // The thread that created the window; 0 when it is gone.
  virtual std::uint32_t GetWindowThreadId(TWindow window) = 0;
  virtual std::uint32_t GetCurrentThreadId() = 0;
  // True when the window's thread has stopped answering messages.
  virtual bool IsHungAppWindow(TWindow window) = 0;
  // Shares the input state of `thread` with `toThread`, or stops sharing it; false when that fails.
  virtual bool AttachThreadInput(std::uint32_t thread, std::uint32_t toThread, bool attach) = 0;
  // The thread's focus, capture and modes; false when the thread is gone.
  virtual bool GetGUIThreadInfo(std::uint32_t thread, TGuiThreadInfo& info) = 0;
  // The top-level windows the thread made, hidden ones included, topmost first.
  virtual std::vector<TWindow> EnumThreadWindows(std::uint32_t thread) = 0;
  // A window value; only gwl::Style is asked for. 0 when the window is gone.
  virtual std::int32_t GetWindowLongA(TWindow window, int index) = 0;

  // --- Input, the cursor and the monitors: where a click goes and what the display is.
  // Inserts the events into the input stream as one series that no other input can split;
  // the number inserted, fewer when input is blocked (another desktop, higher integrity).
  virtual std::uint32_t SendInput(const std::vector<TMouseInput>& events) = 0;
  // The monitor holding the point; 0 when none does (MONITOR_DEFAULTTONULL).
  virtual TMonitor MonitorFromPoint(TPoint point) = 0;
  // This program, unaware of display scaling, sees each monitor, the windows on it and the
  // points in them scaled by the monitor's own factor; absolute input is mapped onto the
  // physical desktop. The monitor's rectangle and the union of every monitor's, in physical
  // pixels; how they were read tells whether they could be (TMonitorMapping).
  virtual TMonitorMapping ReadPhysicalMonitor(TMonitor monitor, TRect& rect, TRect& desktop) = 0;
  // The window at a point of the physical desktop, as Windows routes input there: read in a
  // per-monitor-aware thread context; 0: none. Where there is none (Windows 8.1, 10 before
  // 1607) Windows takes the point for this program's own scaled one, as WindowFromPoint does.
  virtual TWindow WindowFromPhysicalPoint(TPoint point) = 0;
  // The tick count of the last input event the system routed, this program's included.
  virtual bool GetLastInputInfo(std::uint32_t& tick) = 0;
  virtual int GetSystemMetrics(int index) = 0;
  // The monitor holding the largest part of the window, or the nearest one
  // (MONITOR_DEFAULTTONEAREST).
  virtual TMonitor MonitorFromWindow(TWindow window) = 0;
  // The monitor's rectangle on the virtual desktop (rcMonitor) and its device name, as
  // "\\.\DISPLAY2"; false when it cannot be read.
  virtual bool GetMonitorInfoA(TMonitor monitor, TRect& rect, std::string& device) = 0;

  // --- Processes, rights and the session: the target's process, this program's, and
  // whether the user's desktop can be worked at all.
  // The process owning the window; 0 when the window is gone.
  virtual TProcessId GetWindowThreadProcessId(TWindow window) = 0;
  // Opens the process and waits, at most `timeoutMs`, for it to be idle for input
  // (WaitForInputIdle). A process that cannot be opened is not waited for.
  virtual void WaitForProcessIdle(TProcessId process, std::uint32_t timeoutMs) = 0;
  // Opens the file as the shell does, in the file's own folder as the working folder.
  virtual void ShellExecuteA(const std::string& path) = 0;
  // A running process of this program's session started from the file at `path`, however
  // either path is written (the file's volume and id compared, 128 bits where the file
  // system has them; the full paths, letter case aside, where either cannot be opened or
  // answers an id of 0, as some network file systems do); 0 when none runs or none can be asked.
  virtual TProcessId FindSessionProcessStartedFrom(const std::string& path) = 0;
  // The integrity level (mandatory-label RID) of a process's token, or -1 when it cannot
  // be read; process 0 is this program.
  virtual std::int32_t GetTokenIntegrityLevel(TProcessId process) = 0;
  // True when this program runs with the full token of an administrator that UAC split from
  // a limited one (TokenElevationTypeFull): started as administrator. With UAC off every
  // program of an administrator runs at high integrity, yet none is elevated so.
  virtual bool RunsElevated() = 0;
  // The name of the desktop that receives the user's input (OpenInputDesktop, UOI_NAME);
  // empty when it cannot be opened, as a locked workstation's secure desktop cannot.
  virtual std::string GetInputDesktopName() = 0;
  // This session's state and lock flag; false where that cannot be asked (before Windows 7).
  virtual bool WTSQuerySessionInformationW(TSessionInfo& info) = 0;
  // The running Windows' own version number.
  virtual TOsVersion RtlGetVersion() = 0;
  // The code page of programs that are not Unicode, every A function's text in it: 932
  // where Windows is set to Japanese for them.
  virtual std::uint32_t GetACP() = 0;
  virtual std::string GetCommandLineA() = 0;
  // The full path of the running program.
  virtual std::string GetModuleFileNameA() = 0;
  virtual TProcessId GetCurrentProcessId() = 0;

  // --- Time, pauses and the objects jobs share: the clock, the job's pauses, its lock and
  // the end it publishes to other jobs.
  // A pause of at least `ms` on a monotonic clock, from the call. Messages other programs
  // send are answered meanwhile (a logoff's query, a broadcast); nothing posted is handled.
  virtual void Pause(std::uint32_t ms) = 0;
  // Pauses end on the timer's ticks, every 15.625 ms by default: makes them end to the
  // millisecond until EndFinerTimer, which must follow every call.
  virtual void BeginFinerTimer() = 0;
  virtual void EndFinerTimer() = 0;
  // Milliseconds since an arbitrary start; wraps after 49.7 days.
  virtual std::uint32_t GetTickCount() = 0;
  virtual TSystemTime GetLocalTime() = 0;
  // A named mutex, opened or created; 0 when it cannot be had. One it creates every program
  // of this user opens, at any integrity level: full access for the user's SID and a
  // mandatory label no higher than medium, where an elevated program's default security
  // would shut the user's normal programs out.
  virtual THandle CreateMutexA(const char* name) = 0;
  // The named mutex opened only to wait for it (SYNCHRONIZE), where CreateMutexA is refused:
  // one a program of higher rights made with its default security (an older version run as
  // administrator). Its wait acquires it, and ReleaseMutex releases it as any other: a handle with
  // SYNCHRONIZE may release a mutex its thread owns. 0 when that is refused too, or it does
  // not exist.
  virtual THandle OpenMutexToWait(const char* name) = 0;
  // Waits for the mutex at most `timeoutMs`, dispatching this program's own messages so its
  // window keeps painting; ends early when the program is asked to quit, leaving the quit
  // for the message loop. With no mutex (0), a pause of `timeoutMs` of the same kind.
  virtual TWaitResult WaitForLockOrQuit(THandle mutex, std::uint32_t timeoutMs) = 0;
  virtual void ReleaseMutex(THandle handle) = 0;
  // True when the object was acquired within the time (an abandoned mutex is acquired).
  // Unlike WaitForLockOrQuit it handles no messages: for short waits only.
  virtual bool WaitForSingleObject(THandle object, std::uint32_t timeoutMs) = 0;
  // One named 32-bit value shared by every program of the session, opened or created
  // holding 0 with the security of CreateMutexA, kept for the rest of the program's life; 0
  // when it cannot be had. Other
  // programs may change the value at any time.
  virtual THandle OpenSharedValue(const char* name) = 0;
  // The shared value as it is now, read as one step.
  virtual std::uint32_t LoadSharedValue(THandle value) = 0;
  // Sets the shared value to `exchange` if it holds `comparand`, as one step no other
  // program can split; the value it held.
  virtual std::uint32_t InterlockedCompareExchange(THandle value, std::uint32_t exchange,
                                                   std::uint32_t comparand) = 0;
  virtual void CloseHandle(THandle handle) = 0;

  // --- Files and settings: the target's file, the settings file and the trace.
  // True when the path names an existing file that is not a directory.
  virtual bool FileExists(const std::string& path) = 0;
  // The whole file's bytes, at most `limit` of them; false when it is missing, cannot be
  // read or is larger.
  virtual bool ReadFileBytes(const std::string& path, std::uint32_t limit, std::string& bytes) = 0;
  // The value of `key` in `section` of an .ini file; empty when the file, the section or
  // the key is missing.
  virtual std::string GetPrivateProfileStringA(const char* section, const char* key,
                                               const std::string& fileName) = 0;
  // The names of an .ini file's sections (null section) or of one section's keys, in the
  // file's order; a name Windows cuts short at its buffer's end is kept as cut.
  virtual std::vector<std::string> ReadSettingNames(const char* section,
                                                    const std::string& fileName) = 0;
  // Opens or creates the file for appending only (FILE_APPEND_DATA, its size readable),
  // shared with other writers; 0 when it cannot.
  virtual THandle OpenForAppend(const std::string& path) = 0;
  // Appends the bytes in one write, so concurrent writers never interleave within them.
  virtual bool WriteFile(THandle file, const std::string& bytes) = 0;
  virtual bool GetFileSizeEx(THandle file, std::uint64_t& size) = 0;
  // Renames, replacing `to` if it exists.
  virtual bool MoveFileExA(const std::string& from, const std::string& to) = 0;

  // --- The error box: the one way anything is reported to the user.
  // Modal, silent error box captioned "エラー" with a single OK button.
  virtual void ShowErrorBox(const std::string& text) = 0;
};

// A logical left click at (x, y) as one SendInput batch, made ready before the window at
// the point is tested so that only the sending follows the test; `Physical`: where on the
// physical desktop it goes.
struct TPreparedClick {
  std::vector<TMouseInput> Events;
  TPoint At;  // as this program sees it
  TPoint Physical;
  // The monitor holding the point (0: none, as in the gaps a program unaware of scaling sees
  // between monitors scaled unlike), as this program sees it and in physical pixels, and
  // how those were read. No events where it has no physical pixel.
  TMonitor Monitor = 0;
  TRect Scaled;
  TRect Real;
  TMonitorMapping Mapping = TMonitorMapping::None;
};
TPreparedClick PrepareClick(TWindowSystem& ws, int x, int y);
enum class TClickSent {
  Sent,
  Unmapped,   // on no monitor, or scaled where this Windows cannot map it: nothing sent
  Elsewhere,  // the window at the physical point is not the one approved: nothing sent
  Blocked,    // input was blocked and not all of it went in
};
// Sends the click, where `approved` is not 0 only once the window at its physical point is
// that one; `landed`: the window found there. The cursor stays at the point.
TClickSent SendClick(TWindowSystem& ws, const TPreparedClick& click, TWindow approved, TWindow& landed);
inline bool ClickAt(TWindowSystem& ws, int x, int y) {
  TWindow landed = 0;
  return SendClick(ws, PrepareClick(ws, x, y), 0, landed) == TClickSent::Sent;
}

}  // namespace pelmora
