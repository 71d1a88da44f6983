// The stand-in's lookup dialogs: opened by F8, late, cascaded, shown again, covered, and
// the search they run.
#include "standin.h"

#include "kinds.h"

namespace standin {

void CloseLookup(Lookup& l) {
  if (!l.dialog) return;
  HWND d = l.dialog;
  l.dialog = l.search = l.results = l.resultText = nullptr;
  DestroyWindow(d);
  Record("dialog_closed screen=" + std::string(l.kind->tag) + " n=" + std::to_string(l.serial));
  // The cover belongs over this dialog only, not over the next screen's.
  if (FaultFor("cover", l.kind->code)) Cover(nullptr);
}

void CloseLookups(HWND screen) {
  for (Lookup& l : g_lookups)
    if (l.screen == screen) CloseLookup(l);
}

Lookup* LatestLookup(HWND screen) {
  Lookup* latest = nullptr;
  for (Lookup& l : g_lookups)
    if (l.screen == screen && l.dialog) latest = &l;
  return latest;
}

// Lookups late, cascaded, hidden on Enter or shown again without activation: a target
// whose older lookups a search right after F8 would find first.
POINT LookupPosition(int serial) {
  const int shift = Fault("cascade") ? 40 * (serial - 1) : 0;
  return {kDialogPos.x + shift, kDialogPos.y + shift};
}

// Asks for the screen's lookup after the fault's delay, or at once.
bool DeferLookup(HWND screen) {
  const long ms = FaultNumber("late");
  if (ms > 0) SetTimer(screen, kLateLookupTimer, (UINT)ms, nullptr);
  return ms > 0;
}

// Shows the lookup F8 asked for: brought forward and activated, or where it lies.
void ShowLookup(HWND dialog) {
  if (Fault("no_activate")) {
    ShowWindow(dialog, SW_SHOWNA);
    return;
  }
  ShowWindow(dialog, SW_SHOW);
  SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(dialog);
}

void HideAfterSearch(const Lookup& l) {
  if (Fault("hide_on_enter")) ShowWindow(l.dialog, SW_HIDE);
}

// A version that lays one lookup out anew: the dialog 60 px taller, each control as much
// lower, so that the other lookup's points land on a label, a radio button or nothing.
void LayOutLower(HWND dialog) {
  const int down = 60;
  SetWindowPos(dialog, nullptr, 0, 0, kDialogSize.cx, kDialogSize.cy + down, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(c, nullptr, r.left, r.top + down, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

Lookup& CreateLookup(const OpenScreen& s) {
  static int serial = 0;
  g_lookups.push_back({++serial, s.kind, s.wnd, nullptr, nullptr, nullptr, nullptr, 0});
  Lookup& l = g_lookups.back();
  std::string tag = std::string("dlg_") + s.kind->tag;
  // Every lookup opens at the same place, so a newer one lies exactly over an older one,
  // unless they cascade.
  const POINT at = LookupPosition(l.serial);
  l.dialog = CreateWindowExW(0, L"StandinLookup", s.kind->lookupTitle, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                             g_origin.x + at.x, g_origin.y + at.y, kDialogSize.cx, kDialogSize.cy, g_main,
                             nullptr, g_inst, nullptr);
  Name(l.dialog, tag, "-");
  if (Fault("kinds_list") || Fault("kinds_own")) {
    // Dropped, the list reaches past the second click point; closed, the box is as high as its font.
    RECT box = kByPhoneRect;
    if (!Fault("kinds_own")) box.bottom = kDialogClicks[1].y + 100;
    HWND kinds = Fault("kinds_own") ? Control(l.dialog, L"StandinKindBox", L"", WS_TABSTOP, box, tag, "kinds")
                                    : Control(l.dialog, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, box, tag, "kinds");
    RECT r;
    GetWindowRect(l.dialog, &r);
    FillKinds(kinds, r.top + kDialogClicks[1].y);
  } else {
    Control(l.dialog, L"BUTTON", L"得意先名", BS_AUTORADIOBUTTON, kByNameRect, tag, "by_name");
    HWND byPhone = Control(l.dialog, L"BUTTON", L"電話番号", BS_AUTORADIOBUTTON, kByPhoneRect, tag, "by_phone");
    SendMessageW(byPhone, BM_SETCHECK, BST_CHECKED, 0);
  }
  if (!FaultFor("nofield", s.kind->code)) {
    Control(l.dialog, L"STATIC", L"検索文字列", 0, kSearchLabelRect, tag, "");
    const char* prefill = Fault("prefill");
    l.search = Control(l.dialog, L"EDIT", prefill ? Wide(prefill).c_str() : L"", ES_AUTOHSCROLL | WS_TABSTOP,
                       kSearchRect, tag, "search");
  }
  Control(l.dialog, L"BUTTON", L"検索", BS_PUSHBUTTON, kSearchButtonRect, tag, "search_button");
  l.results = Control(l.dialog, L"LISTBOX", L"", WS_VSCROLL, kResultsRect, tag, "results");
  l.resultText = Control(l.dialog, L"STATIC", L"", 0, kResultTextRect, tag, "");
  if (FaultFor("lookup_lower", s.kind->code)) LayOutLower(l.dialog);
  return l;
}

// Has the cover process put a window of its own into the dialog, over the search field.
void EmbedForeign(const Lookup& l) {
  RECT r;
  GetWindowRect(l.dialog, &r);
  POINT p = kDialogClicks[2];
  if (HWND cover = FindWindowW(L"StandinCover", nullptr))
    SendMessageTimeoutW(cover, kForeignMessage, (WPARAM)l.dialog, MAKELPARAM(r.left + p.x, r.top + p.y),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
}

// Other programs' windows placed before the dialog shows, so the driver never sees it bare.
void PlaceForeignWindows(const Lookup& l) {
  RECT r;
  GetWindowRect(l.dialog, &r);
  if (FaultFor("cover", l.kind->code)) {
    long n = FaultNumber("cover_point");
    POINT p = kDialogClicks[n >= 1 && n <= 3 ? n - 1 : 2];
    RECT c = CoverAround({r.left + p.x, r.top + p.y});
    Cover(&c);
  }
  if (FaultFor("foreign_child", l.kind->code)) EmbedForeign(l);
}

// The application's own always-on-top notice over the lookup's search field: a
// window of the target with an input field, but not the lookup.
void ShowNotice(const Lookup& l) {
  HWND notice = CreateWindowExW(WS_EX_TOPMOST, L"StandinNotice", L"お知らせ", WS_POPUP | WS_CAPTION,
                                g_origin.x + kDialogPos.x + 10, g_origin.y + kDialogPos.y + 60, 300, 120, l.dialog,
                                nullptr, g_inst, nullptr);
  Name(notice, "notice", "-");
  RECT field = kSearchRect;
  OffsetRect(&field, -10, -60);
  Control(notice, L"EDIT", L"", ES_AUTOHSCROLL, field, "notice", "memo");
  ShowWindow(notice, SW_SHOWNOACTIVATE);
}

void OpenLookup(OpenScreen& s) {
  const char* code = s.kind->code;
  if (FaultFor("dialog_never", code)) {
    Record("f8_ignored screen=" + std::string(s.kind->tag));
    return;
  }
  Lookup* l = Fault("keep_lookups") ? nullptr : LatestLookup(s.wnd);
  if (l) {
    // A second F8 brings the open dialog back with an empty field.
    if (l->search) SetWindowTextW(l->search, L"");
  } else {
    l = &CreateLookup(s);
    PlaceForeignWindows(*l);
  }
  bool hidden = FaultFor("dialog_hidden", code);
  if (!hidden) {
    ShowLookup(l->dialog);
    if (l->search && !Fault("no_activate")) SetFocus(l->search);
  }
  Record("dialog screen=" + std::string(s.kind->tag) + " win=dlg_" + s.kind->tag + " n=" + std::to_string(l->serial) +
         " visible=" + (hidden ? "0" : "1"));
  if (!hidden && FaultFor("notice", code)) ShowNotice(*l);
  if (long ms = FaultNumber("busy_lookup")) Sleep(ms);
}

void RunSearch(Lookup& l) {
  int n = GetWindowTextLengthA(l.search);
  std::string bytes(n + 1, '\0');
  n = GetWindowTextA(l.search, &bytes[0], n + 1);
  bytes.resize(n);
  std::wstring text(GetWindowTextLengthW(l.search) + 1, L'\0');
  text.resize(GetWindowTextW(l.search, &text[0], (int)text.size()));
  Record("search screen=" + std::string(l.kind->tag) + " win=dlg_" + l.kind->tag + " n=" + std::to_string(l.serial) +
         " bytes=" + std::to_string(n) + " hex=" + Hex(bytes) + " text=" + Utf8(text));
  SendMessageW(l.results, LB_RESETCONTENT, 0, 0);
  std::wstring item = L"0001  株式会社ペルモラ商事  " + text;
  SendMessageW(l.results, LB_ADDSTRING, 0, (LPARAM)item.c_str());
  SetWindowTextW(l.resultText, (L"電話番号「" + text + L"」: 1 件").c_str());
  if (OpenScreen* s = ScreenOf(l.screen)) SetWindowTextW(s->status, (L"参照: " + text).c_str());
}

LRESULT CALLBACK LookupProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Lookup* l = LookupOf(hwnd);
  switch (msg) {
    case WM_COMMAND:
      if (l && l->search && lp && Find((HWND)lp) && Find((HWND)lp)->ctl == "search_button") RunSearch(*l);
      if (l && lp && HIWORD(wp) == CBN_SELENDOK && Find((HWND)lp) && Find((HWND)lp)->ctl == "kinds")
        Record("kind screen=" + std::string(l->kind->tag) + " n=" + std::to_string(l->serial) + " picked=" + KindTag((HWND)lp));
      return 0;
    case WM_CLOSE:
      if (l) CloseLookup(*l);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace standin
