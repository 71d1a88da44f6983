// The stand-in's screens: opened by the menu or at the start, their input fields, the main
// window's and the screens' messages.
#include "standin.h"

namespace standin {

// A notification over the screen's input field while the screen is active.
void CoverScreenField(const OpenScreen& s, bool active) {
  if (!s.field || !FaultFor("cover_screen", s.kind->code)) return;
  RECT r;
  GetWindowRect(s.field, &r);
  InflateRect(&r, 4, 4);
  Cover(active ? &r : nullptr);
}

// The application's own question over the screen's input field, as "変更を破棄しますか?",
// kept in front as a modal box would be: its button lies where the driver clicks the screen.
void AskOverField(const OpenScreen& s) {
  if (!FaultFor("question", s.kind->code) || FindWindowW(L"StandinNotice", L"確認")) return;
  RECT r;
  GetWindowRect(s.field, &r);
  const int w = r.right - r.left + 40, h = r.bottom - r.top + 60;
  HWND box = CreateWindowExW(WS_EX_TOPMOST, L"StandinNotice", L"確認", WS_POPUP | WS_CAPTION, r.left - 20, r.top - 40, w, h,
                             g_main, nullptr, g_inst, nullptr);
  Name(box, "question", "-");
  Control(box, L"BUTTON", L"はい", BS_PUSHBUTTON, {6, 28, w - 6, h - 4}, "question", "yes");
  ShowWindow(box, SW_SHOWNOACTIVATE);
}

OpenScreen* OpenScreenWindow(const ScreenKind& kind) {
  for (OpenScreen& s : g_open)
    if (s.kind == &kind) {
      SendMessageW(g_mdi, WM_MDIACTIVATE, (WPARAM)s.wnd, 0);
      return &s;
    }
  bool hidden = FaultFor("screen_hidden", kind.code);
  int i = (int)(&kind - kScreens);
  MDICREATESTRUCTW mc = {};
  mc.szClass = L"StandinScreen";
  mc.szTitle = Fault("renamed") && strcmp(kind.tag, "td") == 0 ? L"得意先台帳 (新規入力)" : kind.title;
  mc.hOwner = g_inst;
  mc.x = mc.y = 10 + 30 * i;
  mc.cx = 440;
  mc.cy = 330;
  mc.style = WS_OVERLAPPEDWINDOW | (hidden ? 0 : WS_VISIBLE);
  g_open.push_back({&kind, nullptr, nullptr, nullptr});
  HWND w = (HWND)SendMessageW(g_mdi, WM_MDICREATE, 0, (LPARAM)&mc);
  OpenScreen& s = g_open.back();
  s.wnd = w;
  Name(w, kind.tag, "-");
  RECT field = kind.field;
  if (Fault("new_version") && strcmp(kind.code, "td") == 0) OffsetRect(&field, 0, 60);
  Control(w, L"STATIC", kind.fieldLabel, 0, {field.left, field.top - 24, field.right, field.top - 4}, kind.tag, "");
  s.field = Control(w, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, field, kind.tag, kind.fieldName);
  s.status = Control(w, L"STATIC", L"", 0, {20, 220, 420, 244}, kind.tag, "");
  if (hidden) ShowWindow(w, SW_HIDE);
  // Its activation came before the field existed.
  CoverScreenField(s, !hidden);
  Record("open screen=" + std::string(kind.tag) + " visible=" + (IsWindowVisible(w) ? "1" : "0"));
  return &s;
}

// F10, then two letter key-downs, opens a screen as the menu would.
void OnMainKey(UINT vk) {
  if (vk == VK_F10) {
    g_menuArmed = true;
    g_menuFirst = 0;
    return;
  }
  if (!g_menuArmed) return;
  if (!g_menuFirst) {
    g_menuFirst = vk;
    return;
  }
  g_menuArmed = false;
  for (const ScreenKind& k : kScreens) {
    if (k.key1 != g_menuFirst || k.key2 != vk) continue;
    if (FaultFor("screen_never", k.code) || !g_mdi)
      Record("open_ignored screen=" + std::string(k.tag));
    else
      OpenScreenWindow(k);
    return;
  }
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_KEYDOWN:
      OnMainKey((UINT)wp);
      return 0;
    case WM_SYSCOMMAND:
    {
      char cmd[16];
      snprintf(cmd, sizeof cmd, "0x%04X", (unsigned)(wp & 0xFFF0));
      Record(std::string("syscommand cmd=") + cmd);
      for (const OpenScreen& s : g_open) AskOverField(s);
      if (Fault("hang")) {
        Record("hang");
        Sleep(INFINITE);
      }
      break;
    }
    case WM_COMMAND:
      if (LOWORD(wp) >= kFirstScreenCommand && LOWORD(wp) < kFirstScreenCommand + ARRAYSIZE(kScreens) && g_mdi) {
        OpenScreenWindow(kScreens[LOWORD(wp) - kFirstScreenCommand]);
        return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefFrameProcW(hwnd, g_mdi, msg, wp, lp);
}

LRESULT CALLBACK ScreenProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  OpenScreen* s = ScreenOf(hwnd);
  switch (msg) {
    case WM_KEYDOWN:
      if (wp == VK_F8 && s && Fault("new_version") && strcmp(s->kind->code, "td") == 0 && GetFocus() != s->field) {
        Record("f8_ignored screen=" + std::string(s->kind->tag) + " focus=elsewhere");
        return 0;
      }
      if (wp == VK_F8 && s && !DeferLookup(hwnd)) OpenLookup(*s);
      return 0;
    case WM_TIMER:
      if (wp != kLateLookupTimer) break;
      KillTimer(hwnd, kLateLookupTimer);
      if (s) OpenLookup(*s);
      return 0;
    case WM_MDIACTIVATE:
      // A lookup belongs to its screen: leaving the screen closes it, as a modal
      // lookup would have been closed before another screen could be reached.
      // Modeless lookups (keep_lookups) stay open as the application leaves them.
      if (s && (HWND)wp == hwnd) {
        if (!Fault("keep_lookups")) CloseLookups(hwnd);
        CoverScreenField(*s, false);
      }
      if (s && (HWND)lp == hwnd) {
        Record("activate screen=" + std::string(s->kind->tag));
        CoverScreenField(*s, true);
      }
      break;
    case WM_DESTROY:
      CloseLookups(hwnd);
      break;
  }
  return DefMDIChildProcW(hwnd, msg, wp, lp);
}

}  // namespace standin
