// A simulated desktop behind the window-system port: a window tree, a virtual clock
// (pauses advance it, nothing sleeps), scheduled events and a log of every call.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace pelmora::sim {

struct TSimWindow {
  TWindow Handle = 0;
  TWindow Parent = 0;  // 0: top level
  std::string Class;
  std::string Title;
  TRect Rect;          // screen coordinates, frame included
  TProcessId Process = 0;
  bool Visible = true;
  bool Menu = false;
  bool Alive = true;
  TWindow Owner = 0;  // a popup's owner; a window owning a visible popup hands it the foreground
  bool TakesFocus = true;  // a click on it gives it its thread's keyboard focus
  TWindow FocusTo = 0;     // a frame: a click on it gives the focus to this inner control
  std::uint32_t Style = 0, Thread = 0;  // besides style::Visible, which Visible gives; 0: its process's one thread
};

struct TCall {
  std::uint64_t At = 0;
  std::string Op;
  TWindow Window = 0;
  std::uint32_t Message = 0;  // also: mouse flags, pause length, metric index
  std::uintptr_t WParam = 0;
  std::string Text;
  std::intptr_t LParam = 0;  // posts only           // class/title of a search, path, message text
};

struct TClick {
  TWindow Window;  // under the cursor
  TPoint At;
  bool Left;       // logical button
};

class TSimDesktop : public TWindowSystem {
 public:
  TWindow AddWindow(TWindow parent, const std::string& className, const std::string& title,
                    TRect rect, TProcessId process, bool visible = true);
  TSimWindow& Window(TWindow handle);
  void Destroy(TWindow handle);  // with its children
  // Puts the window above its siblings (it keeps its handle).
  void BringToTop(TWindow handle);
  // Brings the window to the top and makes it the foreground window, as a program
  // activating its own window does.
  void Activate(TWindow handle);
  // The user's own left click at a point, as a hand on the mouse makes it.
  void HandClick(TPoint at);
  // Runs `action` once the clock reaches `timeMs` (at the next port call or pause).
  void At(std::uint64_t timeMs, std::function<void()> action);
  std::uint64_t Now() const { return now_; }

  // Calls to `op`, optionally only those searching for `text` (class or title).
  int Count(const std::string& op) const;
  int CountSearches(const std::string& text) const;
  std::vector<std::uint32_t> Pauses() const;
  std::vector<TCall> Posts() const;

  // Knobs.
  std::string CommandLine = "pelmora.exe";
  std::set<std::string> Files;
  // Monitors on the virtual desktop, the primary first at (0,0); the virtual screen is
  // the rectangle around them all. Physical pixels, each monitor scaled by its percentage in
  // Scales (missing: 100) from its corner for this program, as Windows does for one
  // unaware of scaling: window rectangles and the cursor's position are in scaled pixels.
  std::vector<TRect> Monitors = {{0, 0, 1920, 1080}};
  std::vector<int> Scales;
  // DisplayModes: 8.1, 10 before 1607, where the physical point calls take this program's
  // scaled points; None: nothing maps.
  TMonitorMapping Mapping = TMonitorMapping::Context;
  TWindow PhysicalHit = 0;  // not 0: the window at every physical point, whatever is scaled there
  std::uint64_t RouteDelayMs = 0;  // input reaches the windows this late, as past a slow hook
  bool SwapButtons = false;
  bool InputBlocked = false;  // SendInput inserts nothing, as on a locked or foreign desktop
  std::set<TProcessId> Elevated;  // while one of these is in front, SendInput inserts nothing
  // Foreground rules: the window in front (0: none), whether this program gave the last
  // input event, and processes whose (single) thread answers nothing. Threads are named
  // after their processes.
  TWindow Foreground = 0;
  bool LastInputOurs = false;
  std::set<TProcessId> Hung;
  // The session: the input desktop's name ("": cannot be opened), locked, disconnected,
  // whether the session can be asked about at all, and the Windows version.
  std::string InputDesktop = "Default";
  bool Locked = false;
  bool Disconnected = false;
  bool SessionQueryable = true;
  TOsVersion Version{10, 0};
  // Locks the workstation (or unlocks it): its secure desktop takes the input, and input
  // injected meanwhile is dropped.
  void Lock(bool locked);
  std::uint32_t InsertLimit = UINT32_MAX;  // SendInput inserts at most this many events a call
  // A hand on the mouse: may move the cursor before any port call, never within one.
  std::function<void(TPoint&)> Hand;
  // A busy process's thread takes nothing until then; then its sent messages, its posted
  // ones and its input, in that order.
  std::map<TProcessId, std::uint64_t> BusyUntil;
  // A thread working through messages it posted itself until then: it answers sent
  // messages, but what others post to it, then its input, wait behind them.
  std::map<TProcessId, std::uint64_t> OwnPostsUntil;
  // What GetGUIThreadInfo tells of a process's thread besides its focus.
  std::map<TProcessId, TWindow> Capture;
  std::map<TProcessId, std::uint32_t> ThreadModes;  // gui::* flags
  std::set<TProcessId> NeverIdle;  // never idle for input, yet taking its messages
  bool PostsFail = false;  // as to a thread whose queue is full
  std::function<void(const std::string&)> OnShellExecute;
  // As the window's thread takes a posted message, or a click on the window.
  std::function<void(TWindow, std::uint32_t, std::uintptr_t, std::intptr_t)> OnPost;
  std::function<void(TWindow)> OnClick;
  std::function<void(const std::string&)> OnErrorBox;
  std::map<TProcessId, std::int32_t> IntegrityLevels;  // absent: cannot be read; 0: this program
  bool UacOff = false;  // this program at high integrity is then not elevated, as all run so
  bool MutexAvailable = true;
  bool MadeByHigherRights = false;  // the mutexes and shared value: opened to wait only
  std::uint64_t OtherJobUntil = 0;  // another program holds the job mutex until then
  std::uint32_t SharedValue = 0;    // the shared memory's value, whatever its name
  std::map<std::string, TProcessId> Processes;  // running, by their executable's path
  std::set<TProcessId> OtherSessions;           // processes of another user's session
  // The file each path opens, as its volume's serial number and index; absent: it cannot be
  // opened; 0: a network file system answering no index.
  std::map<std::string, std::uint64_t> FileIds;
  std::uint32_t CodePage = 932;  // of programs that are not Unicode
  // Each change this program made to the shared value: when, and to what.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> SharedValues;
  bool QuitWhileWaiting = false;    // the window is closed during the wait for another job
  bool MutexHeld = false;           // by this program
  // Settings and files: the program's path, .ini values by file and "section/key", the
  // files written (path -> bytes) and paths that cannot be opened for writing.
  std::string ModuleFileName = "C:\\Pelmora\\pelmora.exe";
  std::map<std::string, std::map<std::string, std::string>> Profiles;
  // Files' bytes as saved; a file of Profiles without them is the ANSI text of its values.
  std::map<std::string, std::string> FileBytes;
  std::map<std::string, std::string> WrittenFiles;
  std::set<std::string> Unwritable;
  TProcessId ProcessId = 5150;
  // Tick count at virtual time 0.
  std::uint32_t TickBase = 1000000;
  // Windows' default timer: pauses end on its next tick, this many ms apart (0: on time),
  // unless BeginFinerTimer raised its resolution.
  double TimerTickMs = 0;

  // What happened.
  std::vector<TCall> Calls;
  std::vector<std::string> ErrorBoxes;
  std::vector<TClick> Clicks;
  std::vector<std::vector<TMouseInput>> Inputs;  // the events of each SendInput call
  TPoint Cursor;  // physical

  // The port.
  TWindow FindWindowExA(TWindow parent, const char* className, const char* title) override;
  TWindow FindWindowExA(TWindow parent, TWindow childAfter, const char* className,
                        const char* title) override;
  bool IsWindowVisible(TWindow window) override;
  TProcessId GetWindowThreadProcessId(TWindow window) override;
  void WaitForProcessIdle(TProcessId process, std::uint32_t timeoutMs) override;
  bool SetForegroundWindow(TWindow window) override;
  TWindow GetForegroundWindow() override;
  std::uint32_t GetWindowThreadId(TWindow window) override;
  std::uint32_t GetCurrentThreadId() override;
  bool IsHungAppWindow(TWindow window) override;
  bool AttachThreadInput(std::uint32_t thread, std::uint32_t toThread, bool attach) override;
  bool BringWindowToTop(TWindow window) override;
  std::string GetInputDesktopName() override;
  bool WTSQuerySessionInformationW(TSessionInfo& info) override;
  TOsVersion RtlGetVersion() override;
  std::uint32_t GetACP() override;
  bool SendMessageTimeoutA(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam, std::uint32_t timeoutMs) override;
  bool PostMessageA(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                    std::intptr_t lParam) override;
  bool GetMenu(TWindow window) override;
  bool GetWindowRect(TWindow window, TRect& rect) override;
  TWindow WindowFromPoint(TPoint point) override;
  TWindow GetAncestor(TWindow window) override;
  bool IsChild(TWindow parent, TWindow window) override;
  std::string GetWindowTextA(TWindow window) override;
  std::uint32_t SendInput(const std::vector<TMouseInput>& events) override;
  TMonitor MonitorFromPoint(TPoint point) override;
  TMonitorMapping ReadPhysicalMonitor(TMonitor monitor, TRect& rect, TRect& desktop) override;
  TWindow WindowFromPhysicalPoint(TPoint point) override;
  bool GetLastInputInfo(std::uint32_t& tick) override;
  bool GetGUIThreadInfo(std::uint32_t thread, TGuiThreadInfo& info) override;
  std::vector<TWindow> EnumThreadWindows(std::uint32_t thread) override;
  std::int32_t GetWindowLongA(TWindow window, int index) override;
  int GetSystemMetrics(int index) override;
  TMonitor MonitorFromWindow(TWindow window) override;
  bool GetMonitorInfoA(TMonitor monitor, TRect& rect, std::string& device) override;
  void ShellExecuteA(const std::string& path) override;
  TProcessId FindSessionProcessStartedFrom(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  void Pause(std::uint32_t ms) override;
  void BeginFinerTimer() override;
  void EndFinerTimer() override;
  std::string GetCommandLineA() override;
  std::int32_t GetTokenIntegrityLevel(TProcessId process) override;
  bool RunsElevated() override;
  THandle CreateMutexA(const char* name) override;
  THandle OpenMutexToWait(const char* name) override;
  TWaitResult WaitForLockOrQuit(THandle handle, std::uint32_t timeoutMs) override;
  void ReleaseMutex(THandle handle) override;
  THandle OpenSharedValue(const char* name) override;
  std::uint32_t LoadSharedValue(THandle value) override;
  std::uint32_t InterlockedCompareExchange(THandle view, std::uint32_t exchange,
                                           std::uint32_t comparand) override;
  void CloseHandle(THandle handle) override;
  void ShowErrorBox(const std::string& text) override;
  std::string GetClassNameA(TWindow window) override;
  std::string GetModuleFileNameA() override;
  bool ReadFileBytes(const std::string& path, std::uint32_t limit, std::string& bytes) override;
  std::string GetPrivateProfileStringA(const char* section, const char* key,
                                       const std::string& fileName) override;
  std::vector<std::string> ReadSettingNames(const char* section,
                                            const std::string& fileName) override;
  TProcessId GetCurrentProcessId() override;
  std::uint32_t GetTickCount() override;
  TSystemTime GetLocalTime() override;
  THandle OpenForAppend(const std::string& path) override;
  bool WriteFile(THandle file, const std::string& bytes) override;
  bool GetFileSizeEx(THandle file, std::uint64_t& size) override;
  bool MoveFileExA(const std::string& from, const std::string& to) override;
  bool WaitForSingleObject(THandle object, std::uint32_t timeoutMs) override;
  // Kernel handles still open: files, mutexes and timer periods the program forgot to close.
  int OpenHandles() const { return static_cast<int>(handles_.size()); }
  // Thread inputs still attached: every attachment must be undone.
  int AttachedInputs() const { return static_cast<int>(attached_.size()); }

 private:
  struct TEvent {
    std::uint64_t At;
    std::uint64_t Order;
    std::function<void()> Action;
  };
  const TSimWindow* Find(TWindow handle) const;
  TWindow Root(TWindow window) const;  // the top-level window it lies in; 0 when gone
  void Log(const std::string& op, TWindow window = 0, std::uint32_t message = 0,
           std::uintptr_t wParam = 0, const std::string& text = {});
  void Advance(std::uint64_t ms);
  void Elapse(std::uint32_t ms);  // ends on the timer's tick
  void Settle();
  TWindow HitTest(TWindow parent, TPoint point) const;
  TRect VirtualScreen(bool physical) const;
  TRect Scaled(std::size_t monitor) const;  // as this program sees it
  TPoint Scaled(TPoint physical) const;  // as this program sees it
  void Route(const TMouseInput& e);  // where the system hands the event to a window
  std::uint64_t BusyFor(TWindow window);  // ms until the window's thread is free
  void Deliver(TWindow window, bool input, std::function<void()> take);

  std::vector<TSimWindow> windows_;  // creation order; later top-level windows lie on top
  std::vector<TEvent> events_;
  std::uint64_t now_ = 0;
  std::uint64_t order_ = 0;
  std::uint64_t lastInput_ = 0;
  std::map<TProcessId, TWindow> focus_;
  bool physicalDown_[2] = {false, false};  // left, right: a click needs its down before its up
  std::map<THandle, std::string> handles_;  // open file (path) or mutex ("mutex:" name)
  THandle nextHandle_ = 0x100;
  THandle jobMutex_ = 0;  // the mutex waited for as the job's
  THandle period_ = 0;    // the timer's resolution raised while not 0
  std::multiset<std::pair<std::uint32_t, std::uint32_t>> attached_;
  std::map<TProcessId, std::vector<std::pair<bool, std::function<void()>>>> queued_;  // input?, take
};

// Window-system comparison of titles and classes: letter case aside, double-byte
// characters compared whole.
bool SameText(const std::string& a, const std::string& b);

}  // namespace pelmora::sim
