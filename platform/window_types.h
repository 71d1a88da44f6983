// The values the window-system port passes: handles, points, rectangles, what Windows
// tells of threads, sessions and monitors, and the message, key and flag values the logic
// uses, as Win32 defines them. No native types here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelmora {

// Opaque window handle; 0 means no window.
using TWindow = std::uintptr_t;
using TProcessId = std::uint32_t;
// Opaque kernel object handle (file, mutex); 0 means none.
using THandle = std::uintptr_t;

// Local wall-clock time, as GetLocalTime gives it.
struct TSystemTime {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Milliseconds = 0;
};

struct TPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
};

struct TRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

// Message, key and flag values as Win32 defines them (kept apart from <windows.h>'s macros).
namespace wm {
constexpr std::uint32_t KeyDown = 0x0100;
constexpr std::uint32_t KeyUp = 0x0101;
constexpr std::uint32_t Char = 0x0102;
constexpr std::uint32_t SysCommand = 0x0112;
constexpr std::uint32_t MdiActivate = 0x0222;
constexpr std::uint32_t EmSetSel = 0x00B1;
constexpr std::uint32_t Null = 0x0000;
constexpr std::uint32_t Close = 0x0010;
}  // namespace wm

namespace vk {
constexpr std::uintptr_t Return = 0x0D;
constexpr std::uintptr_t F8 = 0x77;
constexpr std::uintptr_t F10 = 0x79;
}  // namespace vk

namespace mouse {
constexpr std::uint32_t Move = 0x0001;
constexpr std::uint32_t LeftDown = 0x0002;
constexpr std::uint32_t LeftUp = 0x0004;
constexpr std::uint32_t RightDown = 0x0008;
constexpr std::uint32_t RightUp = 0x0010;
constexpr std::uint32_t VirtualDesk = 0x4000;
constexpr std::uint32_t Absolute = 0x8000;
}  // namespace mouse

// One mouse event as SendInput takes it. With mouse::Absolute, Dx and Dy are normalised to
// 0..65535 over the primary display, or over the whole virtual desktop with
// mouse::VirtualDesk; otherwise they are relative moves.
struct TMouseInput {
  std::int32_t Dx = 0;
  std::int32_t Dy = 0;
  std::uint32_t Flags = 0;
};

// What WTSQuerySessionInformationW tells of this session (WTSSessionInfoEx, level 1).
struct TSessionInfo {
  std::int32_t ConnectState = 0;  // WTS_CONNECTSTATE_CLASS
  std::int32_t SessionFlags = 0;  // wts::SessionLock, wts::SessionUnlock or -1 (unknown)
};

namespace wts {
constexpr std::int32_t Disconnected = 4;
constexpr std::int32_t SessionLock = 0;
constexpr std::int32_t SessionUnlock = 1;
}  // namespace wts

// What GetGUIThreadInfo tells of a thread: its keyboard focus, its mouse capture and
// whether it is in a menu loop or moving a window (gui::* flags); 0: no such window.
struct TGuiThreadInfo {
  std::uint32_t Flags = 0;
  TWindow Focus = 0;
  TWindow Capture = 0;
};

namespace gui {
constexpr std::uint32_t InMoveSize = 0x2;
constexpr std::uint32_t InMenuMode = 0x4;
constexpr std::uint32_t SystemMenuMode = 0x8;
constexpr std::uint32_t PopupMenuMode = 0x10;
}  // namespace gui

// GetWindowLongA's index, and the style bits the click guard reads.
namespace gwl {
constexpr int Style = -16;
}  // namespace gwl
namespace style {
constexpr std::uint32_t Visible = 0x10000000;
constexpr std::uint32_t Caption = 0x00C00000;  // WS_BORDER | WS_DLGFRAME: a list has the border alone
}  // namespace style

// A window as it was when read, judged later when it may be gone: the window, its top-level
// window, thread, process and class.
struct TWindowFacts {
  TWindow Window = 0;
  TWindow Root = 0;
  std::uint32_t Thread = 0;
  TProcessId Process = 0;
  std::string Class;
};

struct TOsVersion {
  std::uint32_t Major = 0;
  std::uint32_t Minor = 0;
};
// Opaque display monitor handle; 0 means none.
using TMonitor = std::uintptr_t;

// How the monitors' physical rectangles were read.
enum class TMonitorMapping {
  Context,       // in a per-monitor-aware thread context (Windows 10 1607 and later)
  DisplayModes,  // from each monitor's display mode, its position and size (8.1, 10 before 1607),
                 // or, where none is scaled, as this program sees them
  None,          // not at all, some monitor being scaled: the rectangle holds the monitor's
                 // physical size where its mode tells it (0x0 where not), at its scaled corner
};

constexpr std::uintptr_t ScRestore = 0xF120;
// GetSystemMetrics indices.
constexpr int SmSwapButton = 23;
constexpr int SmXVirtualScreen = 76;
constexpr int SmYVirtualScreen = 77;
constexpr int SmCxVirtualScreen = 78;
constexpr int SmCyVirtualScreen = 79;

enum class TWaitResult {
  Acquired,  // the object is ours (an abandoned mutex included)
  TimedOut,
  Quit,      // the program was asked to end while it waited
};

}  // namespace pelmora
