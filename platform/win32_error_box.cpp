// The port realised on Win32: the error box.
#include "platform/win32_common.h"

#include <algorithm>
#include <string>
#include <vector>

namespace pelmora {
namespace {

// The error box is built by hand: MessageBox with an error icon always plays the
// system's error sound, and the box must be silent.
constexpr int ErrorTextId = 0xFFFF;  // the id MessageBox gives its text
constexpr int Margin = 12;
constexpr int ButtonWidth = 88;
constexpr int ButtonHeight = 26;

struct TErrorBox {
  std::vector<wchar_t> Text;  // NUL-terminated; the texts are code page 932 whatever the PC's own
  HFONT Font;
};

HWND AddControl(HWND dialog, const wchar_t* className, const wchar_t* text, DWORD style, int id,
                const RECT& r, HFONT font) {
  HWND control = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, r.left,
                                 r.top, r.right - r.left, r.bottom - r.top, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

// Lays out icon, text and OK button for the text's size, centred on the monitor of
// the active window.
void LayOutErrorBox(HWND dialog, const TErrorBox& box) {
  SetWindowTextW(dialog, WideForDisplay("エラー").data());
  const HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32513));  // IDI_HAND
  const int iconSize = GetSystemMetrics(SM_CXICON);

  HWND active = GetForegroundWindow();
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(active ? active : dialog, MONITOR_DEFAULTTOPRIMARY),
                  &monitor);
  const RECT& work = monitor.rcWork;

  RECT text{0, 0, std::max<LONG>(200, (work.right - work.left) * 3 / 5), 0};
  HDC dc = GetDC(dialog);
  HGDIOBJ old = SelectObject(dc, box.Font);
  DrawTextW(dc, box.Text.data(), static_cast<int>(box.Text.size() - 1), &text,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(dialog, dc);

  const int textLeft = Margin * 2 + iconSize;
  const int textHeight = std::max<int>(text.bottom, iconSize);
  const int clientWidth = std::max<int>(textLeft + text.right + Margin * 2, ButtonWidth + Margin * 2);
  const int buttonTop = Margin * 2 + textHeight;
  const int clientHeight = buttonTop + ButtonHeight + Margin;

  RECT iconRect{Margin * 2 - Margin / 2, Margin, 0, 0};
  iconRect.right = iconRect.left + iconSize;
  iconRect.bottom = iconRect.top + iconSize;
  HWND iconControl = AddControl(dialog, L"STATIC", nullptr, SS_ICON, -1, iconRect, box.Font);
  SendMessageA(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);

  const int textTop = Margin + (textHeight - text.bottom) / 2;
  RECT textRect{textLeft, textTop, textLeft + text.right, textTop + text.bottom};
  AddControl(dialog, L"STATIC", box.Text.data(), SS_LEFT | SS_NOPREFIX, ErrorTextId, textRect,
             box.Font);
  const int buttonLeft = (clientWidth - ButtonWidth) / 2;
  RECT buttonRect{buttonLeft, buttonTop, buttonLeft + ButtonWidth, buttonTop + ButtonHeight};
  HWND ok = AddControl(dialog, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK,
                       buttonRect, box.Font);

  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, GetWindowLongA(dialog, GWL_STYLE), FALSE,
                     GetWindowLongA(dialog, GWL_EXSTYLE));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(dialog, HWND_TOPMOST, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height, 0);
  SetForegroundWindow(dialog);
  SetFocus(ok);
}

INT_PTR CALLBACK ErrorBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      LayOutErrorBox(dialog, *reinterpret_cast<const TErrorBox*>(lParam));
      return FALSE;  // focus already set on OK
    case WM_COMMAND:
      // Enter answers through the default button, Esc arrives as IDCANCEL.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDOK);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, IDOK);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void TWin32WindowSystem::ShowErrorBox(const std::string& text) {
  // An empty template: the controls are laid out in WM_INITDIALOG for the text's size.
  struct alignas(4) {
    DLGTEMPLATE Header;
    WORD Menu, Class, Title;
  } dialogTemplate{};
  dialogTemplate.Header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  // Topmost: by the time a failure is reported the target has been brought to the front,
  // and this process may no longer be allowed to take the foreground back.
  dialogTemplate.Header.dwExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;

  // The font's face name read wide as well: a Japanese one would not survive another code page.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  HFONT font = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)
                   ? CreateFontIndirectW(&metrics.lfMessageFont)
                   : nullptr;
  TErrorBox box{WideForDisplay(text), font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))};
  DialogBoxIndirectParamW(GetModuleHandleA(nullptr), &dialogTemplate.Header, owner_,
                          ErrorBoxProc, reinterpret_cast<LPARAM>(&box));
  if (font) DeleteObject(font);
}

}  // namespace pelmora
