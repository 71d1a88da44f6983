// The simulated desktop's foreground rules, the session, and messages reaching busy or
// hung threads.
#include "tests/sim_desktop.h"

#include <algorithm>
#include <utility>

namespace pelmora::sim {

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

}  // namespace pelmora::sim
