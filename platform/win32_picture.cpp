// The check program's picture of a window: what the screen shows there, or the window's
// own drawing where something covers it, with each click point marked over it.
#include "platform/win32_check_system.h"

#include <string>

#include "platform/win32_common.h"

namespace pelmora {
namespace {

constexpr COLORREF kOkColour = RGB(0, 230, 64);
constexpr COLORREF kNgColour = RGB(255, 48, 48);
constexpr COLORREF kOutline = RGB(0, 0, 0);
constexpr int kArm = 10;         // the cross's half width
constexpr int kTextHeight = 16;  // pixels
constexpr int kTextGap = 4;      // between the cross's arm and its name

// True when Windows hides the window without hiding it: a suspended store app's window
// stays "visible" over the desktop, and it covers nothing.
bool IsCloaked(HWND hwnd) {
  static const auto attribute =
      Proc<HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD)>(LoadSystemLibrary("dwmapi.dll"),
                                                        "DwmGetWindowAttribute");
  constexpr DWORD DwmwaCloaked = 14;
  DWORD cloaked = 0;
  return attribute != nullptr &&
         SUCCEEDED(attribute(hwnd, DwmwaCloaked, &cloaked, sizeof cloaked)) && cloaked != 0;
}

bool Overlaps(HWND hwnd, const RECT& rect) {
  RECT other;
  RECT common;
  return IsWindowVisible(hwnd) && !IsCloaked(hwnd) && ::GetWindowRect(hwnd, &other) &&
         IntersectRect(&common, &other, &rect);
}

// True when the screen shows the whole window: on the desktop, inside each parent's client
// area, and under no window above it or above any of its parents.
bool IsShownWhole(HWND hwnd, const RECT& rect) {
  const RECT desktop = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                        GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                        GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  RECT inside;
  if (!IsWindowVisible(hwnd) || !IntersectRect(&inside, &rect, &desktop) || !EqualRect(&inside, &rect)) {
    return false;
  }
  for (HWND level = hwnd; level != nullptr && level != GetDesktopWindow();) {
    for (HWND above = GetWindow(level, GW_HWNDPREV); above != nullptr;
         above = GetWindow(above, GW_HWNDPREV)) {
      if (Overlaps(above, rect)) return false;
    }
    HWND parent = GetAncestor(level, GA_PARENT);
    if (parent == nullptr || parent == GetDesktopWindow()) break;
    RECT client;
    if (!GetClientRect(parent, &client)) return false;
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
    if (!IntersectRect(&inside, &rect, &client) || !EqualRect(&inside, &rect)) return false;
    level = parent;
  }
  return true;
}

// The window's picture into `dc`, which holds a bitmap of the window's size. The screen's
// pixels are what the user sees; a covered window is asked to draw itself over them, and
// where it draws nothing (some programs answer no WM_PRINT) the screen's view stays.
bool Capture(HWND hwnd, const RECT& rect, HDC dc) {
  HDC screen = GetDC(nullptr);
  const BOOL copied = BitBlt(dc, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen,
                             rect.left, rect.top, SRCCOPY | CAPTUREBLT);
  ReleaseDC(nullptr, screen);
  if (copied && IsShownWhole(hwnd, rect)) return true;
  // The full content, as composed by the desktop window manager, on Windows 8.1 and later;
  // earlier systems refuse the flag and take the window's own drawing.
  constexpr UINT RenderFullContent = 2;
  return PrintWindow(hwnd, dc, RenderFullContent) || PrintWindow(hwnd, dc, 0) || copied;
}

void DrawCross(HDC dc, POINT at, COLORREF colour) {
  const struct {
    int Width;
    COLORREF Colour;
  } strokes[] = {{5, kOutline}, {2, colour}};
  for (const auto& stroke : strokes) {
    HPEN pen = CreatePen(PS_SOLID, stroke.Width, stroke.Colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, at.x - kArm, at.y, nullptr);
    LineTo(dc, at.x + kArm + 1, at.y);
    MoveToEx(dc, at.x, at.y - kArm, nullptr);
    LineTo(dc, at.x, at.y + kArm + 1);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

// The name beside the cross, below and to its right, or on the other side where the
// picture ends; outlined in black so that it reads on any background, and drawn with the
// wide functions so that it reads right under any system code page.
void DrawName(HDC dc, POINT at, const std::vector<wchar_t>& text, COLORREF colour, SIZE picture) {
  const wchar_t* const name = text.data();
  const int length = static_cast<int>(text.size() - 1);
  SIZE size{};
  GetTextExtentPoint32W(dc, name, length, &size);
  int x = at.x + kArm + kTextGap;
  int y = at.y + kTextGap;
  if (x + size.cx > picture.cx) x = at.x - kArm - kTextGap - size.cx;
  if (y + size.cy > picture.cy) y = at.y - kTextGap - size.cy;
  // Inside the picture, even for a point off it.
  x = x > picture.cx - size.cx - 1 ? picture.cx - size.cx - 1 : x;
  y = y > picture.cy - size.cy - 1 ? picture.cy - size.cy - 1 : y;
  x = x < 1 ? 1 : x;
  y = y < 1 ? 1 : y;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kOutline);
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx != 0 || dy != 0) TextOutW(dc, x + dx, y + dy, name, length);
    }
  }
  SetTextColor(dc, colour);
  TextOutW(dc, x, y, name, length);
}

void DrawMarks(HDC dc, const RECT& rect, const std::vector<TPictureMark>& marks) {
  // A Japanese face where Windows has one, and the font mapper's Japanese choice elsewhere.
  HFONT font = CreateFontW(-kTextHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, L"MS UI Gothic");
  HGDIOBJ old = SelectObject(dc, font);
  const SIZE picture = {rect.right - rect.left, rect.bottom - rect.top};
  for (const TPictureMark& mark : marks) {
    const POINT at = {mark.At.X - rect.left, mark.At.Y - rect.top};
    const COLORREF colour = mark.Ok ? kOkColour : kNgColour;
    DrawCross(dc, at, colour);
    DrawName(dc, at, WideForDisplay(mark.Name), colour, picture);
  }
  SelectObject(dc, old);
  DeleteObject(font);
}

}  // namespace

std::string TWin32CheckSystem::SaveWindowPicture(TWindow window,
                                                 const std::vector<TPictureMark>& marks,
                                                 const std::string& path) {
  RECT rect;
  if (!::GetWindowRect(Hwnd(window), &rect) || rect.right <= rect.left || rect.bottom <= rect.top) {
    return {};
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = rect.right - rect.left;
  info.bmiHeader.biHeight = -(rect.bottom - rect.top);  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return {};
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  std::string written;
  if (Capture(Hwnd(window), rect, dc)) {
    DrawMarks(dc, rect, marks);
    GdiFlush();
    TPixels pixels;
    pixels.Width = rect.right - rect.left;
    pixels.Height = rect.bottom - rect.top;
    pixels.Stride = (pixels.Width * 3 + 3) & ~3;  // rows of a DIB end on a 4-byte boundary
    pixels.Bits = static_cast<BYTE*>(bits);
    written = WritePicture(pixels, path);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return written;
}

}  // namespace pelmora
