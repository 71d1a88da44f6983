#include "tests/sim_desktop.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "automation/settings_file.h"
#include "automation/sjis.h"

namespace pelmora::sim {

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t n = CharLength(a, i);
    if (n == 2) {
      if (a.compare(i, 2, b, i, 2) != 0) return false;
    } else if (std::tolower(static_cast<unsigned char>(a[i])) !=
               std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
    i += n;
  }
  return true;
}

TWindow TSimDesktop::AddWindow(TWindow parent, const std::string& className,
                               const std::string& title, TRect rect, TProcessId process,
                               bool visible) {
  TSimWindow w;
  w.Handle = 0x1000 + windows_.size() * 4;
  w.Parent = parent;
  w.Class = className;
  w.Title = title;
  w.Rect = rect;
  w.Process = process;
  w.Visible = visible;
  windows_.push_back(w);
  return w.Handle;
}

TSimWindow& TSimDesktop::Window(TWindow handle) {
  for (TSimWindow& w : windows_) {
    if (w.Handle == handle) return w;
  }
  throw std::out_of_range("no such simulated window");
}

const TSimWindow* TSimDesktop::Find(TWindow handle) const {
  for (const TSimWindow& w : windows_) {
    if (w.Handle == handle && w.Alive) return &w;
  }
  return nullptr;
}

void TSimDesktop::Destroy(TWindow handle) {
  for (TSimWindow& w : windows_) {
    if (w.Handle == handle || (w.Parent == handle && w.Alive)) {
      w.Alive = false;
      if (w.Handle != handle) Destroy(w.Handle);
    }
  }
}

void TSimDesktop::BringToTop(TWindow handle) {
  // Later windows lie on top.
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [&](const TSimWindow& w) { return w.Handle == handle; });
  if (it != windows_.end()) std::rotate(it, it + 1, windows_.end());
}

void TSimDesktop::Activate(TWindow handle) {
  BringToTop(handle);
  Foreground = handle;
}

void TSimDesktop::At(std::uint64_t timeMs, std::function<void()> action) {
  events_.push_back({timeMs, order_++, std::move(action)});
}

void TSimDesktop::Settle() {
  for (;;) {
    auto due = std::min_element(events_.begin(), events_.end(), [](const TEvent& a, const TEvent& b) {
      return a.At != b.At ? a.At < b.At : a.Order < b.Order;
    });
    if (due == events_.end() || due->At > now_) return;
    std::function<void()> action = std::move(due->Action);
    events_.erase(due);
    action();
  }
}

void TSimDesktop::Advance(std::uint64_t ms) {
  const std::uint64_t end = now_ + ms;
  for (;;) {
    Settle();
    std::uint64_t next = end;
    for (const TEvent& e : events_) next = std::min(next, std::max(e.At, now_));
    now_ = next;
    if (now_ == end) break;
  }
  Settle();
}

void TSimDesktop::Log(const std::string& op, TWindow window, std::uint32_t message,
                      std::uintptr_t wParam, const std::string& text) {
  Settle();
  if (Hand) Hand(Cursor);
  Calls.push_back({now_, op, window, message, wParam, text});
}

int TSimDesktop::Count(const std::string& op) const {
  return static_cast<int>(std::count_if(Calls.begin(), Calls.end(),
                                        [&](const TCall& c) { return c.Op == op; }));
}

int TSimDesktop::CountSearches(const std::string& text) const {
  return static_cast<int>(std::count_if(Calls.begin(), Calls.end(), [&](const TCall& c) {
    return c.Op == "FindWindowExA" && c.Text == text;
  }));
}

std::vector<std::uint32_t> TSimDesktop::Pauses() const {
  std::vector<std::uint32_t> pauses;
  for (const TCall& c : Calls) {
    if (c.Op == "Pause") pauses.push_back(c.Message);
  }
  return pauses;
}

std::vector<TCall> TSimDesktop::Posts() const {
  std::vector<TCall> posts;
  std::copy_if(Calls.begin(), Calls.end(), std::back_inserter(posts),
               [](const TCall& c) { return c.Op == "PostMessageA"; });
  return posts;
}

TWindow TSimDesktop::FindWindowExA(TWindow parent, const char* className, const char* title) {
  return FindWindowExA(parent, 0, className, title);
}

TWindow TSimDesktop::FindWindowExA(TWindow parent, TWindow childAfter, const char* className,
                                   const char* title) {
  Log("FindWindowExA", parent, 0, childAfter, className ? className : title ? title : "");
  // In z-order, topmost first, as the window system searches; after a window that is
  // gone or not the parent's there is nothing to continue from.
  bool passed = childAfter == 0;
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    const TSimWindow& w = *it;
    if (!w.Alive || w.Parent != parent) continue;
    if (!passed) {
      passed = w.Handle == childAfter;
      continue;
    }
    if (className && !SameText(w.Class, className)) continue;
    if (title && !SameText(w.Title, title)) continue;
    return w.Handle;
  }
  return 0;
}

bool TSimDesktop::IsWindowVisible(TWindow window) {
  Log("IsWindowVisible", window);
  // Like Win32: visible only when it and every ancestor are.
  for (const TSimWindow* w = Find(window); w; w = w->Parent ? Find(w->Parent) : nullptr) {
    if (!w->Visible) return false;
    if (w->Parent == 0) return true;
  }
  return false;
}

TProcessId TSimDesktop::GetWindowThreadProcessId(TWindow window) {
  Log("GetWindowThreadProcessId", window);
  const TSimWindow* w = Find(window);
  return w ? w->Process : 0;
}

void TSimDesktop::WaitForProcessIdle(TProcessId process, std::uint32_t timeoutMs) {
  Log("WaitForProcessIdle", 0, process);
  if (NeverIdle.count(process) != 0) return Advance(timeoutMs);
  auto busy = BusyUntil.find(process);
  if (process != 0 && busy != BusyUntil.end() && busy->second > now_) {
    Advance(std::min<std::uint64_t>(busy->second - now_, timeoutMs));
  }
}

void TSimDesktop::Lock(bool locked) {
  Locked = locked;
  InputBlocked = locked;
  InputDesktop = locked ? "" : "Default";
}

bool TSimDesktop::SetForegroundWindow(TWindow window) {
  Log("SetForegroundWindow", window);
  const TSimWindow* w = Find(window);
  const TSimWindow* front = Find(Foreground);
  // Windows' rules: nothing in front, this process in front, this process received the
  // last input event, or this thread shares the foreground thread's input.
  const bool allowed = front == nullptr || front->Process == ProcessId || LastInputOurs ||
                       attached_.count({ProcessId, front->Process}) != 0;
  if (w == nullptr || !allowed || Locked) return false;
  // Activation lifts it above the other program that was in front.
  if (front != nullptr && front->Process != w->Process) BringToTop(window);
  Foreground = window;
  for (const TSimWindow& popup : windows_) {
    if (popup.Alive && popup.Visible && popup.Owner == window) Foreground = popup.Handle;
  }
  return true;
}

TWindow TSimDesktop::GetForegroundWindow() {
  Log("GetForegroundWindow");
  return Find(Foreground) ? Foreground : 0;
}

std::uint32_t TSimDesktop::GetWindowThreadId(TWindow window) {
  Log("GetWindowThreadId", window);
  const TSimWindow* w = Find(window);
  return w ? (w->Thread != 0 ? w->Thread : w->Process) : 0;
}

std::uint32_t TSimDesktop::GetCurrentThreadId() { return ProcessId; }

bool TSimDesktop::IsHungAppWindow(TWindow window) {
  Log("IsHungAppWindow", window);
  const TSimWindow* w = Find(window);
  return w && Hung.count(w->Process) != 0;
}

bool TSimDesktop::AttachThreadInput(std::uint32_t thread, std::uint32_t toThread, bool attach) {
  Log("AttachThreadInput", 0, thread, toThread);
  if (thread == toThread || thread == 0 || toThread == 0) return false;
  if (attach) {
    attached_.insert({thread, toThread});
    return true;
  }
  auto pair = attached_.find({thread, toThread});
  if (pair == attached_.end()) return false;
  attached_.erase(pair);
  return true;
}

bool TSimDesktop::BringWindowToTop(TWindow window) {
  Log("BringWindowToTop", window);
  if (!Find(window)) return false;
  BringToTop(window);
  return true;
}

std::string TSimDesktop::GetInputDesktopName() {
  Log("GetInputDesktopName");
  return InputDesktop;
}

bool TSimDesktop::WTSQuerySessionInformationW(TSessionInfo& info) {
  Log("WTSQuerySessionInformationW");
  if (!SessionQueryable) return false;
  // Windows 7 reports the lock flag reversed.
  const bool windows7 = Version.Major == 6 && Version.Minor == 1;
  info.ConnectState = Disconnected ? wts::Disconnected : 0;
  info.SessionFlags = Locked != windows7 ? wts::SessionLock : wts::SessionUnlock;
  return true;
}

TOsVersion TSimDesktop::RtlGetVersion() {
  Log("RtlGetVersion");
  return Version;
}

std::uint32_t TSimDesktop::GetACP() {
  Log("GetACP");
  return CodePage;
}

std::uint64_t TSimDesktop::BusyFor(TWindow window) {
  const TSimWindow* w = Find(window);
  const auto busy = w ? BusyUntil.find(w->Process) : BusyUntil.end();
  return busy != BusyUntil.end() && busy->second > now_ ? busy->second - now_ : 0;
}

void TSimDesktop::Deliver(TWindow window, bool input, std::function<void()> take) {
  const auto own = OwnPostsUntil.find(Window(window).Process);
  const std::uint64_t busy = std::max(BusyFor(window), own == OwnPostsUntil.end() || own->second < now_
                                                           ? std::uint64_t{0} : own->second - now_);
  if (busy == 0) return take();
  const TProcessId process = Window(window).Process;
  queued_[process].emplace_back(input, std::move(take));
  At(now_ + busy, [this, process] {
    auto queue = std::move(queued_[process]);
    std::stable_partition(queue.begin(), queue.end(), [](const auto& q) { return !q.first; });
    for (auto& q : queue) q.second();
  });
}

bool TSimDesktop::SendMessageTimeoutA(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t, std::uint32_t timeoutMs) {
  Log("SendMessageTimeoutA", window, message, wParam);
  const TSimWindow* w = Find(window);
  if (w == nullptr || Hung.count(w->Process) != 0) return false;
  const std::uint64_t busy = BusyFor(window);
  Advance(std::min<std::uint64_t>(busy, timeoutMs));
  if (busy > timeoutMs || !Find(window)) return false;
  if (message == wm::SysCommand && wParam == ScRestore) Window(window).Visible = true;
  return true;
}

bool TSimDesktop::PostMessageA(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) {
  Log("PostMessageA", window, message, wParam);
  Calls.back().LParam = lParam;
  if (!Find(window) || PostsFail) return false;
  if (OnPost) Deliver(window, false, [=] { OnPost(window, message, wParam, lParam); });
  return true;
}

bool TSimDesktop::GetMenu(TWindow window) {
  Log("GetMenu", window);
  const TSimWindow* w = Find(window);
  return w && w->Menu;
}

bool TSimDesktop::GetWindowRect(TWindow window, TRect& rect) {
  Log("GetWindowRect", window);
  const TSimWindow* w = Find(window);
  if (w) rect = w->Rect;
  return w != nullptr;
}

TWindow TSimDesktop::HitTest(TWindow parent, TPoint p) const {
  // Later windows lie on top: search from the last.
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    const TSimWindow& w = *it;
    if (!w.Alive || !w.Visible || w.Parent != parent) continue;
    if (p.X < w.Rect.Left || p.X >= w.Rect.Right || p.Y < w.Rect.Top || p.Y >= w.Rect.Bottom) {
      continue;
    }
    const TWindow child = HitTest(w.Handle, p);
    return child ? child : w.Handle;
  }
  return 0;
}

TWindow TSimDesktop::WindowFromPoint(TPoint point) {
  Log("WindowFromPoint");
  return HitTest(0, point);
}

TWindow TSimDesktop::Root(TWindow window) const {
  const TSimWindow* w = Find(window);
  while (w && w->Parent) w = Find(w->Parent);
  return w ? w->Handle : 0;
}

TWindow TSimDesktop::GetAncestor(TWindow window) {
  Log("GetAncestor", window);
  return Root(window);
}

bool TSimDesktop::IsChild(TWindow parent, TWindow window) {
  Log("IsChild", window);
  const TSimWindow* w = Find(window);
  while (w != nullptr && w->Parent != 0 && w->Parent != parent) w = Find(w->Parent);
  return w != nullptr && w->Parent != 0;
}

std::string TSimDesktop::GetWindowTextA(TWindow window) {
  Log("GetWindowTextA", window);
  const TSimWindow* w = Find(window);
  return w ? w->Title : std::string();
}

TRect TSimDesktop::Scaled(std::size_t i) const {
  // The corner as the primary's scaling places it, so monitors stay side by side.
  const TRect& m = Monitors[i];
  const int scale = i < Scales.size() ? Scales[i] : 100, system = Scales.empty() ? 100 : Scales[0];
  const TPoint at{m.Left * 100 / system, m.Top * 100 / system};
  return {at.X, at.Y, at.X + (m.Right - m.Left) * 100 / scale, at.Y + (m.Bottom - m.Top) * 100 / scale};
}

TPoint TSimDesktop::Scaled(TPoint p) const {
  for (std::size_t i = 0; i < Monitors.size(); ++i) {
    const TRect& from = Monitors[i];
    if (p.X < from.Left || p.X >= from.Right || p.Y < from.Top || p.Y >= from.Bottom) continue;
    const TRect to = Scaled(i);
    const int scale = i < Scales.size() ? Scales[i] : 100;  // rounded, as MulDiv does
    return {to.Left + ((p.X - from.Left) * 100 + scale / 2) / scale, to.Top + ((p.Y - from.Top) * 100 + scale / 2) / scale};
  }
  return p;
}

TRect TSimDesktop::VirtualScreen(bool physical) const {
  TRect all = Monitors.empty() ? TRect{} : physical ? Monitors.front() : Scaled(0);
  for (std::size_t i = 0; i < Monitors.size(); ++i) {
    const TRect m = physical ? Monitors[i] : Scaled(i);
    all = {std::min(all.Left, m.Left), std::min(all.Top, m.Top), std::max(all.Right, m.Right),
           std::max(all.Bottom, m.Bottom)};
  }
  return all;
}

std::uint32_t TSimDesktop::SendInput(const std::vector<TMouseInput>& events) {
  Log("SendInput", 0, static_cast<std::uint32_t>(events.size()));
  Inputs.push_back(events);
  // One series: the hand gets no turn before the last event has gone in.
  // Input to a program of higher integrity in front is dropped (UIPI).
  const TSimWindow* front = Find(Foreground);
  const bool blocked = InputBlocked || (front != nullptr && Elevated.count(front->Process) != 0);
  const auto inserted =
      static_cast<std::uint32_t>(blocked ? 0 : std::min<std::size_t>(events.size(), InsertLimit));
  if (inserted != 0) LastInputOurs = true;
  const std::vector<TMouseInput> in(events.begin(), events.begin() + inserted);
  const auto route = [this, in] {
    for (const TMouseInput& e : in) Route(e);
  };
  if (RouteDelayMs == 0) route();
  else At(now_ + RouteDelayMs, route);
  return inserted;
}

void TSimDesktop::Route(const TMouseInput& e) {
  lastInput_ = now_;
  if (e.Flags & mouse::Move) {
    if (e.Flags & mouse::Absolute) {
      // Normalised coordinates map back onto physical pixels by truncation, as the system maps them.
      const TRect over = (e.Flags & mouse::VirtualDesk) ? VirtualScreen(true) : Monitors.front();
      Cursor = {static_cast<std::int32_t>(over.Left + std::int64_t{e.Dx} * (over.Right - over.Left) / 65536),
                static_cast<std::int32_t>(over.Top + std::int64_t{e.Dy} * (over.Bottom - over.Top) / 65536)};
    } else {
      Cursor = {Cursor.X + e.Dx, Cursor.Y + e.Dy};
    }
  }
  // A click is a physical down then up of one button, reported in logical terms.
  for (int button = 0; button < 2; ++button) {
    const std::uint32_t down = button == 0 ? mouse::LeftDown : mouse::RightDown;
    const std::uint32_t up = button == 0 ? mouse::LeftUp : mouse::RightUp;
    if (e.Flags & down) physicalDown_[button] = true;
    if ((e.Flags & up) && physicalDown_[button]) {
      physicalDown_[button] = false;
      const TPoint at = Scaled(Cursor);
      const TWindow hit = HitTest(0, at);
      Clicks.push_back({hit, at, (button == 0) != SwapButtons});
      // A click activates the top-level window it lands in.
      if (const TWindow root = Root(hit)) Foreground = root;
      if (hit == 0) continue;
      Deliver(hit, true, [this, hit] {
        const TSimWindow& w = Window(hit);
        // A click off a menu still up only ends its loop.
        if ((ThreadModes[w.Process] & gui::InMenuMode) != 0 && w.Class != "#32768") return void(ThreadModes[w.Process] = 0);
        if (w.FocusTo != 0 || w.TakesFocus) focus_[w.Process] = w.FocusTo != 0 ? w.FocusTo : hit;
        if (OnClick) OnClick(hit);
      });
    }
  }
}

TMonitor TSimDesktop::MonitorFromPoint(TPoint p) {
  Log("MonitorFromPoint");
  for (std::size_t i = 0; i < Monitors.size(); ++i) {
    const TRect m = Scaled(i);
    if (p.X >= m.Left && p.X < m.Right && p.Y >= m.Top && p.Y < m.Bottom) return i + 1;
  }
  return 0;
}

TMonitorMapping TSimDesktop::ReadPhysicalMonitor(TMonitor monitor, TRect& rect, TRect& desktop) {
  Log("ReadPhysicalMonitor", 0, static_cast<std::uint32_t>(monitor));
  if (monitor == 0 || monitor > Monitors.size()) return TMonitorMapping::None;
  rect = Monitors[monitor - 1];
  desktop = VirtualScreen(true);
  if (Mapping != TMonitorMapping::None) return Mapping;
  const TRect at = Scaled(monitor - 1);  // nothing maps: the physical size only
  rect = {at.Left, at.Top, at.Left + rect.Right - rect.Left, at.Top + rect.Bottom - rect.Top};
  return Mapping;
}

TWindow TSimDesktop::WindowFromPhysicalPoint(TPoint point) {
  Log("WindowFromPhysicalPoint");
  return PhysicalHit != 0 ? PhysicalHit : HitTest(0, Scaled(point));
}

bool TSimDesktop::GetLastInputInfo(std::uint32_t& tick) {
  Log("GetLastInputInfo");
  tick = static_cast<std::uint32_t>(TickBase + lastInput_);
  return true;
}

bool TSimDesktop::GetGUIThreadInfo(std::uint32_t thread, TGuiThreadInfo& info) {
  Log("GetGUIThreadInfo", 0, thread);
  info = {ThreadModes[thread], focus_[thread], Capture[thread]};
  return true;
}

std::vector<TWindow> TSimDesktop::EnumThreadWindows(std::uint32_t thread) {
  Log("EnumThreadWindows", 0, thread);
  std::vector<TWindow> windows;  // topmost first
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
    if (it->Alive && it->Parent == 0 && (it->Thread != 0 ? it->Thread : it->Process) == thread) windows.push_back(it->Handle);
  return windows;
}

std::int32_t TSimDesktop::GetWindowLongA(TWindow window, int index) {
  Log("GetWindowLongA", window, static_cast<std::uint32_t>(index));
  const TSimWindow* w = Find(window);
  return w && index == gwl::Style ? static_cast<std::int32_t>(w->Style | (w->Visible ? style::Visible : 0)) : 0;
}

void TSimDesktop::HandClick(TPoint at) { Cursor = at, Route({0, 0, mouse::LeftDown}), Route({0, 0, mouse::LeftUp}); }

int TSimDesktop::GetSystemMetrics(int index) {
  Log("GetSystemMetrics", 0, static_cast<std::uint32_t>(index));
  const TRect all = VirtualScreen(false);
  switch (index) {
    case SmSwapButton: return SwapButtons ? 1 : 0;
    case SmXVirtualScreen: return all.Left;
    case SmYVirtualScreen: return all.Top;
    case SmCxVirtualScreen: return all.Right - all.Left;
    case SmCyVirtualScreen: return all.Bottom - all.Top;
    default: return 0;
  }
}

TMonitor TSimDesktop::MonitorFromWindow(TWindow window) {
  Log("MonitorFromWindow", window);
  const TSimWindow* w = Find(window);
  if (w == nullptr || Monitors.empty()) return 0;
  // The largest overlap wins, then the least distance; the primary on a tie.
  std::size_t best = 0;
  std::int64_t bestOverlap = -1, bestDistance = 0;
  for (std::size_t i = 0; i < Monitors.size(); ++i) {
    const TRect m = Scaled(i);
    const std::int64_t dx = std::max({m.Left - w->Rect.Right, w->Rect.Left - m.Right, 0});
    const std::int64_t dy = std::max({m.Top - w->Rect.Bottom, w->Rect.Top - m.Bottom, 0});
    const std::int64_t overlap =
        std::int64_t{std::max(0, std::min(m.Right, w->Rect.Right) - std::max(m.Left, w->Rect.Left))} *
        std::max(0, std::min(m.Bottom, w->Rect.Bottom) - std::max(m.Top, w->Rect.Top));
    const std::int64_t distance = dx * dx + dy * dy;
    if (overlap > bestOverlap || (overlap == 0 && bestOverlap == 0 && distance < bestDistance)) {
      best = i;
      bestOverlap = overlap;
      bestDistance = distance;
    }
  }
  return best + 1;
}

bool TSimDesktop::GetMonitorInfoA(TMonitor monitor, TRect& rect, std::string& device) {
  Log("GetMonitorInfoA", 0, static_cast<std::uint32_t>(monitor));
  if (monitor == 0 || monitor > Monitors.size()) return false;
  rect = Scaled(monitor - 1);
  device = "\\\\.\\DISPLAY" + std::to_string(monitor);
  return true;
}

void TSimDesktop::ShellExecuteA(const std::string& path) {
  Log("ShellExecuteA", 0, 0, 0, path);
  if (OnShellExecute) OnShellExecute(path);
}

TProcessId TSimDesktop::FindSessionProcessStartedFrom(const std::string& path) {
  Log("FindSessionProcessStartedFrom", 0, 0, 0, path);
  const auto file = FileIds.find(path);
  for (const auto& [image, process] : Processes) {
    const auto imageFile = FileIds.find(image);
    // An id of 0 is none.
    const bool same = file != FileIds.end() && imageFile != FileIds.end() && file->second != 0 && imageFile->second != 0
                          ? file->second == imageFile->second
                          : SameText(image, path);
    if (same && OtherSessions.count(process) == 0) return process;
  }
  return 0;
}

bool TSimDesktop::FileExists(const std::string& path) {
  Log("FileExists", 0, 0, 0, path);
  return Files.count(path) != 0;
}

void TSimDesktop::Elapse(std::uint32_t ms) {
  const double end = static_cast<double>(now_ + ms);
  const bool ticks = TimerTickMs > 0 && period_ == 0;
  Advance(static_cast<std::uint64_t>(ticks ? std::ceil(std::ceil(end / TimerTickMs) * TimerTickMs) : end) - now_);
}

void TSimDesktop::Pause(std::uint32_t ms) {
  Log("Pause", 0, ms);
  Elapse(ms);
}

// Not logged: no window sees them.
void TSimDesktop::BeginFinerTimer() { handles_[period_ = ++nextHandle_] = "period"; }
void TSimDesktop::EndFinerTimer() { handles_.erase(std::exchange(period_, 0)); }

std::string TSimDesktop::GetCommandLineA() {
  Log("GetCommandLineA");
  return CommandLine;
}

std::int32_t TSimDesktop::GetTokenIntegrityLevel(TProcessId process) {
  Log("GetTokenIntegrityLevel", 0, process);
  auto level = IntegrityLevels.find(process);
  return level == IntegrityLevels.end() ? -1 : level->second;
}

THandle TSimDesktop::CreateMutexA(const char* name) {
  Log("CreateMutexA", 0, 0, 0, name);
  if (!MutexAvailable || MadeByHigherRights) return 0;
  handles_[++nextHandle_] = std::string("mutex:") + name;
  return nextHandle_;
}

THandle TSimDesktop::OpenMutexToWait(const char* name) {
  Log("OpenMutexToWait", 0, 0, 0, name);
  if (!MutexAvailable) return 0;
  handles_[++nextHandle_] = std::string("mutex:") + name;
  return nextHandle_;
}

TWaitResult TSimDesktop::WaitForLockOrQuit(THandle handle, std::uint32_t timeoutMs) {
  Log("WaitForLockOrQuit", 0, timeoutMs);
  if (handle == 0) {  // a pause that keeps the windows answering
    Elapse(timeoutMs);
    return TWaitResult::TimedOut;
  }
  jobMutex_ = handle;
  if (QuitWhileWaiting) return TWaitResult::Quit;
  const std::uint64_t wait = OtherJobUntil > now_ ? OtherJobUntil - now_ : 0;
  Advance(std::min<std::uint64_t>(wait, timeoutMs));
  MutexHeld = wait <= timeoutMs;
  return MutexHeld ? TWaitResult::Acquired : TWaitResult::TimedOut;
}

void TSimDesktop::ReleaseMutex(THandle handle) {
  Log("ReleaseMutex", handle);
  if (handle == jobMutex_) MutexHeld = false;
}

THandle TSimDesktop::OpenSharedValue(const char* name) {
  Log("OpenSharedValue", 0, 0, 0, name);
  return MadeByHigherRights ? 0 : 1;
}

std::uint32_t TSimDesktop::LoadSharedValue(THandle) { return SharedValue; }

std::uint32_t TSimDesktop::InterlockedCompareExchange(THandle, std::uint32_t exchange,
                                                      std::uint32_t comparand) {
  if (SharedValue == comparand && exchange != comparand) SharedValues.emplace_back(now_, exchange);
  return std::exchange(SharedValue, SharedValue == comparand ? exchange : SharedValue);
}

void TSimDesktop::CloseHandle(THandle handle) {
  Log("CloseHandle", handle);
  handles_.erase(handle);
}

void TSimDesktop::ShowErrorBox(const std::string& text) {
  Log("ShowErrorBox", 0, 0, 0, text);
  ErrorBoxes.push_back(text);
  if (OnErrorBox) OnErrorBox(text);
}

std::string TSimDesktop::GetClassNameA(TWindow window) {
  Log("GetClassNameA", window);
  const TSimWindow* w = Find(window);
  return w ? w->Class : std::string();
}

std::string TSimDesktop::GetModuleFileNameA() {
  Log("GetModuleFileNameA");
  return ModuleFileName;
}

bool TSimDesktop::ReadFileBytes(const std::string& path, std::uint32_t limit, std::string& bytes) {
  Log("ReadFileBytes", 0, 0, 0, path);
  const auto saved = FileBytes.find(path);
  const auto profile = Profiles.find(path);
  if (saved != FileBytes.end()) {
    bytes = saved->second;
  } else if (profile != Profiles.end()) {
    bytes.clear();
    std::string section;
    for (const auto& [name, value] : profile->second) {
      const std::size_t slash = std::min(name.find('/'), name.size());
      if (bytes.empty() || name.compare(0, slash, section) != 0) bytes += "[" + (section = name.substr(0, slash)) + "]\r\n";
      bytes += name.substr(std::min(slash + 1, name.size())) + "=" + value + "\r\n";
    }
  } else {
    return false;
  }
  return bytes.size() <= limit;
}

namespace {

// Windows' profile reader on a file's bytes: the program's own, whose sameness with it the
// end-to-end run checks, taking all but UTF-16 LE as code page 932, a byte-order mark
// kept on the first line.
TSettingsFile AsWindowsReads(const std::string& bytes) {
  const bool wide = DetectSettingsEncoding(bytes) == TSettingsEncoding::Utf16Le;
  return TSettingsFile(bytes, wide ? TSettingsEncoding::Utf16Le : TSettingsEncoding::Ansi);
}

}  // namespace

// From a file's bytes when it has them, else from the values of Profiles.
std::string TSimDesktop::GetPrivateProfileStringA(const char* section, const char* key,
                                                  const std::string& fileName) {
  Log("GetPrivateProfileStringA", 0, 0, 0, fileName);
  bool lacking = false;
  if (FileBytes.count(fileName) != 0) return AsWindowsReads(FileBytes[fileName]).Value(section, key, lacking);
  auto file = Profiles.find(fileName);
  if (file == Profiles.end()) return {};
  auto value = file->second.find(std::string(section) + "/" + key);
  return value == file->second.end() ? std::string() : value->second;
}

std::vector<std::string> TSimDesktop::ReadSettingNames(const char* section,
                                                       const std::string& fileName) {
  Log("ReadSettingNames", 0, 0, 0, fileName);
  if (FileBytes.count(fileName) != 0) return AsWindowsReads(FileBytes[fileName]).Names(section);
  auto file = Profiles.find(fileName);
  if (file == Profiles.end()) return {};
  std::vector<std::string> names;  // of all sections, or of a section's keys
  for (const auto& [path, value] : file->second) {
    const std::string name = section ? path.substr(path.find('/') + 1) : path.substr(0, path.find('/'));
    if ((names.empty() || name != names.back()) &&
        (!section || path.compare(0, path.find('/'), section) == 0)) {
      names.push_back(name);
    }
  }
  return names;
}

TProcessId TSimDesktop::GetCurrentProcessId() { return ProcessId; }

std::uint32_t TSimDesktop::GetTickCount() {
  Log("GetTickCount");
  return static_cast<std::uint32_t>(TickBase + now_);
}

TSystemTime TSimDesktop::GetLocalTime() {
  Log("GetLocalTime");
  // 2026-12-08 09:00:00.000 at virtual time 0; runs stay within the day.
  const auto ms = static_cast<int>(now_ % (24ULL * 3600 * 1000));
  return {2026, 12, 8, 9 + ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000};
}

THandle TSimDesktop::OpenForAppend(const std::string& path) {
  Log("OpenForAppend", 0, 0, 0, path);
  if (Unwritable.count(path)) return 0;
  WrittenFiles[path];  // created when missing
  handles_[++nextHandle_] = path;
  return nextHandle_;
}

bool TSimDesktop::WriteFile(THandle file, const std::string& bytes) {
  Log("WriteFile", 0, 0, 0, bytes);
  auto h = handles_.find(file);
  if (h == handles_.end()) return false;
  WrittenFiles[h->second] += bytes;
  return true;
}

bool TSimDesktop::GetFileSizeEx(THandle file, std::uint64_t& size) {
  Log("GetFileSizeEx");
  auto h = handles_.find(file);
  if (h == handles_.end()) return false;
  size = WrittenFiles[h->second].size();
  return true;
}

bool TSimDesktop::MoveFileExA(const std::string& from, const std::string& to) {
  Log("MoveFileExA", 0, 0, 0, from + ">" + to);
  auto f = WrittenFiles.find(from);
  if (f == WrittenFiles.end()) return false;
  WrittenFiles[to] = f->second;
  WrittenFiles.erase(from);
  return true;
}

bool TSimDesktop::WaitForSingleObject(THandle object, std::uint32_t timeoutMs) {
  Log("WaitForSingleObject", object, timeoutMs);
  return handles_.count(object) != 0;
}


}  // namespace pelmora::sim
