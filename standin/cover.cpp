// The cover process: another program's windows laid over a click point or embedded in a
// lookup dialog, on request of the stand-in.
#include "standin.h"

namespace standin {

// Shows the cover process's topmost window over R, or hides it. Sent, not posted:
// the cover must be in place before the driver can look at the point.
void Cover(const RECT* r) {
  HWND cover = FindWindowW(L"StandinCover", nullptr);
  if (!cover) return;
  WPARAM size = r ? MAKEWPARAM(r->right - r->left, r->bottom - r->top) : 0;
  LPARAM corner = r ? MAKELPARAM(r->left, r->top) : 0;
  SendMessageTimeoutW(cover, kCoverMessage, size, corner, SMTO_ABORTIFHUNG, 2000, nullptr);
}

// A notification-sized cover centred a little left of the point, as over a field.
RECT CoverAround(POINT p) { return {p.x - 40, p.y - 14, p.x + 160, p.y + 14}; }

void PaintLabel(HWND hwnd, const wchar_t* text) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  SelectObject(dc, g_font);
  RECT r;
  GetClientRect(hwnd, &r);
  FillRect(dc, &r, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK ForeignProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PaintLabel(hwnd, L"別のアプリの部品");
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK CoverProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kCoverMessage: {
      if (!wp) {
        ShowWindow(hwnd, SW_HIDE);
        Record("cover_hidden");
        return 0;
      }
      int x = (short)LOWORD(lp), y = (short)HIWORD(lp), w = LOWORD(wp), h = HIWORD(wp);
      SetWindowPos(hwnd, HWND_TOPMOST, x, y, w, h, SWP_SHOWWINDOW | SWP_NOACTIVATE);
      Record("cover_shown x=" + std::to_string(x) + " y=" + std::to_string(y) + " w=" + std::to_string(w) +
             " h=" + std::to_string(h));
      return 0;
    }
    case kForeignMessage: {
      // A part of this process embedded into the target's dialog, as an add-in or
      // input helper would do: a child window there, but not the target's.
      HWND dialog = (HWND)wp;
      POINT p = {(short)LOWORD(lp), (short)HIWORD(lp)};
      HWND part = CreateWindowExW(0, L"StandinForeign", L"部品", WS_POPUP, 0, 0, 200, 28, nullptr, nullptr, g_inst,
                                  nullptr);
      Name(part, "foreign", "-");
      SetWindowLongPtrW(part, GWL_STYLE, WS_CHILD | WS_BORDER);
      SetParent(part, dialog);
      ScreenToClient(dialog, &p);
      SetWindowPos(part, HWND_TOP, p.x - 40, p.y - 14, 200, 28, SWP_SHOWWINDOW | SWP_NOACTIVATE);
      Record("foreign_child joined=" + std::string(GetAncestor(part, GA_ROOT) == dialog ? "1" : "0"));
      return 0;
    }
    case WM_TIMER: {
      HANDLE parent = (HANDLE)GetWindowLongPtrW(hwnd, GWLP_USERDATA);
      if (!parent || WaitForSingleObject(parent, 0) == WAIT_OBJECT_0) DestroyWindow(hwnd);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      PaintLabel(hwnd, L"別のアプリの通知");
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Second process, started with "--cover PID": windows that another process
// owns, shown over a click point or embedded into a lookup dialog on request.
int RunCover(DWORD parentPid) {
  OpenRecord(L".cover");
  Record("start role=cover");
  HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentPid);
  HWND cover = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"StandinCover", L"通知",
                               WS_POPUP | WS_BORDER, 0, 0, 200, 28, nullptr, nullptr, g_inst, nullptr);
  Name(cover, "cover", "-");
  // The cover goes when the stand-in goes.
  SetTimer(cover, 1, 200, nullptr);
  SetWindowLongPtrW(cover, GWLP_USERDATA, (LONG_PTR)parent);
  return MessageLoop();
}

void StartCover() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --cover " + std::to_wstring(GetCurrentProcessId());
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(exe, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
  WaitForInputIdle(pi.hProcess, 10000);  // its window must exist before any dialog asks for it
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace standin
