// A search-kind box the stand-in draws itself, as many class libraries' look-up boxes are:
// it answers the combo box messages the lookup uses, and its click drops a list of its own,
// a pop-up owned by the lookup that holds no mouse capture and never takes the activation.
// A click on a row picks that kind, closes the list and tells the lookup as a combo box
// would (CBN_SELENDOK).
#include "kinds.h"

#include <string>
#include <vector>

namespace {

const int kItem = 20;  // row height, in pixels

struct OwnBox {
  std::vector<std::wstring> items;
  LRESULT selected = -1;
  HWND list = nullptr;  // while dropped
  HFONT font = nullptr;
};

OwnBox* BoxOf(HWND box) { return reinterpret_cast<OwnBox*>(GetWindowLongPtrW(box, GWLP_USERDATA)); }

// The list's rows, one a row; the box shows its selected one with a drop arrow.
void Paint(HWND hwnd, const OwnBox& b, bool box) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  SelectObject(dc, b.font ? b.font : (HFONT)GetStockObject(DEFAULT_GUI_FONT));
  RECT r;
  GetClientRect(hwnd, &r);
  FillRect(dc, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
  SetBkMode(dc, TRANSPARENT);
  for (size_t i = 0; i < b.items.size(); ++i) {
    if (box && (LRESULT)i != b.selected) continue;
    RECT row = box ? RECT{r.left + 4, r.top, r.right - 16, r.bottom}
                   : RECT{r.left + 4, r.top + (LONG)i * kItem, r.right, r.top + (LONG)(i + 1) * kItem};
    DrawTextW(dc, b.items[i].c_str(), -1, &row, DT_VCENTER | DT_SINGLELINE);
  }
  if (box) DrawTextW(dc, L"\u25BC", -1, &r, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  HWND box = (HWND)GetWindowLongPtrW(hwnd, GWLP_USERDATA);
  OwnBox* b = box ? BoxOf(box) : nullptr;
  switch (msg) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // the lookup keeps the activation and its focus
    case WM_LBUTTONDOWN: {
      const LRESULT row = (short)HIWORD(lp) / kItem;
      if (!b || row < 0 || (size_t)row >= b->items.size()) return 0;
      b->selected = row;
      b->list = nullptr;
      DestroyWindow(hwnd);
      InvalidateRect(box, nullptr, TRUE);
      SendMessageW(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELENDOK), (LPARAM)box);
      return 0;
    }
    case WM_PAINT:
      if (b) Paint(hwnd, *b, false);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  OwnBox* b = BoxOf(hwnd);
  switch (msg) {
    case WM_CREATE:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, (LONG_PTR) new OwnBox);
      return 0;
    case WM_NCDESTROY:
      if (b && b->list) DestroyWindow(b->list);
      delete b;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      return 0;
    case CB_ADDSTRING:
      b->items.push_back((const wchar_t*)lp);
      return (LRESULT)b->items.size() - 1;
    case CB_SETCURSEL:
      b->selected = (LRESULT)wp < (LRESULT)b->items.size() ? (LRESULT)wp : -1;
      return b->selected;
    case CB_GETCURSEL:
      return b->selected;
    case CB_GETITEMHEIGHT:
      return kItem;
    case WM_SETFONT:
      b->font = (HFONT)wp;
      return 0;
    case WM_LBUTTONDOWN: {
      if (b->list) return 0;
      // Dropped from the box's lower edge, one row a kind, inside a one-pixel border.
      RECT r;
      GetWindowRect(hwnd, &r);
      b->list = CreateWindowExW(0, L"StandinKindList", L"", WS_POPUP | WS_BORDER, r.left, r.bottom, r.right - r.left,
                                (int)b->items.size() * kItem + 2, GetAncestor(hwnd, GA_ROOT), nullptr,
                                (HINSTANCE)GetWindowLongPtrW(hwnd, GWLP_HINSTANCE), nullptr);
      SetWindowLongPtrW(b->list, GWLP_USERDATA, (LONG_PTR)hwnd);
      ShowWindow(b->list, SW_SHOWNA);
      return 0;
    }
    case WM_PAINT:
      Paint(hwnd, *b, true);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void RegisterOwnKinds(HINSTANCE inst) {
  WNDCLASSW wc = {};
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = L"StandinKindBox";
  wc.lpfnWndProc = BoxProc;
  RegisterClassW(&wc);
  wc.lpszClassName = L"StandinKindList";
  wc.lpfnWndProc = ListProc;
  RegisterClassW(&wc);
}
