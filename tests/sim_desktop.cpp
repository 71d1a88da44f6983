// The simulated desktop: its windows, the virtual clock and the log of the port's calls.
#include "tests/sim_desktop.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <utility>

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

std::string TSimDesktop::GetClassNameA(TWindow window) {
  Log("GetClassNameA", window);
  const TSimWindow* w = Find(window);
  return w ? w->Class : std::string();
}

}  // namespace pelmora::sim
