// A stand-in for the sales application that Pelmora drives: a main window of
// class "Hanbai15Main" with a menu bar and an MDI client, the three screens and
// their lookup dialogs, laid out so that every click point lands on a control.
// Everything it receives (clicks, keys, characters, searches) is appended to the
// file named by STANDIN_RECORD, one "key=value" line per event, so that tests
// judge what arrived rather than what the screen looked like. Each lookup dialog
// carries a serial number (n=) in the record, so dialogs of the same screen stay
// apart when several are open.
//
// Environment:
//   STANDIN_RECORD  record file (appended; the cover process writes FILE.cover)
//   STANDIN_OPEN    screens open from the start: td, td_edit, tm, ud, ud_edit
//   STANDIN_FAULT   comma list of name[=value]; a screen fault without a value
//                   applies to every screen, with one only to that code:
//     nomain            exit at once without a window
//     slow=MS           create the main window only after MS
//     hidden            never show the main window
//     minimized         show the main window minimized
//     nomdi, nomenu     no MDI client / no menu bar
//     busy=MS           block MS after showing, before reading any message
//     hang              stop answering for good (the thread sleeps) when asked to
//                       restore the main window, after the start
//     screen_never, screen_hidden, dialog_never, dialog_hidden, nofield
//     cover             another process's topmost window over a dialog click
//                       point while the dialog is open (point 3, the field)
//     cover_point=N     the dialog click point (1, 2 or 3) that cover lies over
//     cover_screen      another process's topmost window over the screen's input
//                       field, where the screen click of every aspect class lands,
//                       while the screen is the active one
//     foreign_child     another process's window made a child of the lookup
//                       dialog (SetParent), lying over the search field
//     helper_on_click   the same window joins the dialog only when the search
//                       field is clicked, as an input helper popping up over it
//     notice            an always-on-top window of this process with another
//                       title, with an input field over the lookup's search field
//     question          a question box of this process over each open screen's
//                       input field, shown at the restore; a click answers it
//     late_activate=MS  a screen asked for by WM_MDIACTIVATE comes forward only MS
//                       later, as on a loaded PC
//     busy_lookup=MS    block MS after showing a lookup, before reading any message
//     keep_lookups      lookups stay open when another screen is activated, and
//                       every F8 opens a new lookup at the same place, on top of
//                       any older one (also for the same screen again)
//     prefill=TEXT      a new lookup's search field starts holding TEXT, as a
//                       lookup reused with its previous search would
//     late=MS           each lookup opens (or shows again) MS after its F8, as on
//                       a loaded PC
//     cascade           each new lookup lies 40 px right of and below the one before
//     hide_on_enter     a lookup hides after its search; F8 shows the same one again
//     no_activate       F8 shows its lookup, an open one included, where it lies,
//                       without bringing it forward or activating it
//     exit_at_click=N   end the process at the Nth click into a lookup dialog
//     close_at_click=N  the lookup dialog closes itself at its Nth click
//     left=X, top=Y     the main window's corner on the virtual desktop (default
//                       0, 0), as on a second monitor; lookups keep their place
//                       beside it
//     renamed           td's new-entry screen is titled "得意先台帳 (新規入力)", as a
//                       later version names it
//     kinds_list        the lookup's search kinds are a drop-down list at the first
//                       dialog click point; dropped, its phone kind lies under the
//                       second (recorded as "kind ... picked=TAG")
//     kinds_own         as kinds_list, but a box the stand-in draws itself, whose
//                       list is a pop-up of its own owned by the lookup, holding
//                       no capture
//     new_version       as a new version of the application might be: the main
//                       window's class is "Hanbai16Main" and td's input field lies
//                       60 px lower; F8 opens td's lookup only for that field,
//                       which the screen click must have focused
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <shellapi.h>

#include "kinds.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>
#include <vector>

namespace {

const UINT kSyncMessage = WM_APP + 1;   // wParam: id; recorded when it comes out of the queue
// To the cover process. wParam: MAKEWPARAM(width, height), 0 hides; lParam: screen
// point of the top-left corner.
const UINT kCoverMessage = WM_APP + 2;
// To the cover process. wParam: the dialog to join as a child; lParam: screen point to lie over.
const UINT kForeignMessage = WM_APP + 3;
const int kFirstScreenCommand = 100;

// One row per screen window the application can show. Field: rectangle, from the
// screen window's outer corner, that holds the click offsets of all aspect classes.
struct ScreenKind {
  const char* tag;
  const char* code;
  const wchar_t* title;
  UINT key1, key2;  // menu keys after F10; 0 when only reachable by STANDIN_OPEN
  const wchar_t* lookupTitle;
  RECT field;
  const wchar_t* fieldLabel;
  const char* fieldName;
};

const ScreenKind kScreens[] = {
    {"td", "td", L"得意先台帳 (新規)", 'D', 'A', L"得意先参照", {150, 104, 300, 136}, L"得意先コード", "code"},
    {"td_edit", "td", L"得意先台帳 (修正)", 0, 0, L"得意先参照", {150, 104, 300, 136}, L"得意先コード", "code"},
    {"tm", "tm", L"得意先元帳", 'U', 'J', L"請求先参照", {130, 104, 280, 136}, L"請求先", "billing"},
    {"ud", "ud", L"売上伝票 (新規)", 'U', 'C', L"得意先参照", {110, 142, 260, 178}, L"得意先", "customer"},
    {"ud_edit", "ud", L"売上伝票 (修正)", 0, 0, L"得意先参照", {110, 142, 260, 178}, L"得意先", "customer"},
};

// Lookup dialog layout, from its outer corner; the driver clicks these points in
// order and types into the window at the last one.
const POINT kDialogClicks[] = {{135, 40}, {115, 180}, {65, 117}};
// Placed beside the main window: under Wine a popup over an MDI child stays
// unpainted in screenshots. Clear of Pelmora's own window at (764, 23).
const POINT kDialogPos = {604, 240};
const SIZE kDialogSize = {420, 300};
const RECT kByPhoneRect = {100, 28, 220, 52};
const RECT kByNameRect = {20, 28, 96, 52};
const RECT kSearchLabelRect = {20, 84, 300, 102};
const RECT kSearchRect = {20, 105, 300, 129};
const RECT kSearchButtonRect = {310, 105, 390, 129};
const RECT kResultsRect = {20, 140, 400, 240};
const RECT kResultTextRect = {20, 246, 400, 270};

struct OpenScreen {
  const ScreenKind* kind;
  HWND wnd, status, field;
};

// A lookup dialog of a screen. Closed ones keep their entry with dialog null.
struct Lookup {
  int serial;
  const ScreenKind* kind;
  HWND screen;
  HWND dialog, search, results, resultText;
  int clicks;
};

struct Named {
  HWND hwnd;
  std::string win;  // tag of the top-level or MDI window it belongs to
  std::string ctl;  // control name, "-" for the window itself
};

HANDLE g_record = INVALID_HANDLE_VALUE;
std::string g_faults;
HINSTANCE g_inst;
HFONT g_font;
HWND g_main, g_mdi;
POINT g_origin = {0, 0};  // the main window's corner; lookups lie relative to it
std::vector<OpenScreen> g_open;
std::list<Lookup> g_lookups;  // a list: entries are referred to while others are added
std::vector<Named> g_names;
bool g_menuArmed = false;
UINT g_menuFirst = 0;

std::string Utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string h;
  for (unsigned char c : bytes) {
    h += digits[c >> 4];
    h += digits[c & 15];
  }
  return h;
}

std::wstring Env(const wchar_t* name) {
  wchar_t buf[4096];
  DWORD n = GetEnvironmentVariableW(name, buf, 4096);
  return n > 0 && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

void Record(const std::string& event) {
  if (g_record == INVALID_HANDLE_VALUE) return;
  char head[64];
  snprintf(head, sizeof head, "t=%lu pid=%lu ", GetTickCount(), GetCurrentProcessId());
  std::string line = head + event + "\n";
  DWORD written;
  WriteFile(g_record, line.data(), (DWORD)line.size(), &written, nullptr);
}

void OpenRecord(const std::wstring& suffix) {
  std::wstring path = Env(L"STANDIN_RECORD");
  if (path.empty()) return;
  path += suffix;
  g_record = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The value of fault NAME ("" when given without one), or nullptr when absent.
const char* Fault(const char* name) {
  static std::string value;
  size_t pos = 0;
  while (pos <= g_faults.size()) {
    size_t end = g_faults.find(',', pos);
    if (end == std::string::npos) end = g_faults.size();
    std::string item = g_faults.substr(pos, end - pos);
    size_t eq = item.find('=');
    if (item.substr(0, eq) == name) {
      value = eq == std::string::npos ? "" : item.substr(eq + 1);
      return value.c_str();
    }
    pos = end + 1;
  }
  return nullptr;
}

bool FaultFor(const char* name, const char* code) {
  const char* v = Fault(name);
  return v && (!*v || strcmp(v, code) == 0);
}

long FaultNumber(const char* name) {
  const char* v = Fault(name);
  return v ? atol(v) : 0;
}

void Name(HWND hwnd, const std::string& win, const std::string& ctl) { g_names.push_back({hwnd, win, ctl}); }

const Named* Find(HWND hwnd) {
  for (const Named& n : g_names)
    if (n.hwnd == hwnd) return &n;
  return nullptr;
}

OpenScreen* ScreenOf(HWND hwnd) {
  for (OpenScreen& s : g_open)
    if (s.wnd == hwnd) return &s;
  return nullptr;
}

Lookup* LookupOf(HWND dialog) {
  for (Lookup& l : g_lookups)
    if (dialog && l.dialog == dialog) return &l;
  return nullptr;
}

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), (int)utf8.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), (int)utf8.size(), &w[0], n);
  return w;
}

const wchar_t* MainClass() { return Fault("new_version") ? L"Hanbai16Main" : L"Hanbai15Main"; }

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

// Where a message landed: the named window it belongs to and the control, if any.
struct Place {
  std::string win, ctl;
  HWND top;
};

Place Locate(HWND hwnd) {
  std::string ctl = "?";
  for (HWND h = hwnd; h; h = GetAncestor(h, GA_PARENT)) {
    if (const Named* n = Find(h)) {
      if (n->ctl != "-") {
        ctl = n->ctl;
        continue;
      }
      return {n->win, h == hwnd ? "-" : ctl, h};
    }
  }
  return {"?", "?", nullptr};
}

// Creates a child control so that its rectangle, given from the parent's outer
// corner, holds exactly the points the driver aims at, whatever the frame sizes.
HWND Control(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, const RECT& outer,
             const std::string& win, const std::string& name) {
  RECT wr;
  POINT origin = {0, 0};
  GetWindowRect(parent, &wr);
  ClientToScreen(parent, &origin);
  int dx = origin.x - wr.left, dy = origin.y - wr.top;
  HWND h = CreateWindowExW(lstrcmpW(cls, L"EDIT") == 0 || lstrcmpW(cls, L"LISTBOX") == 0 ? WS_EX_CLIENTEDGE : 0,
                           cls, text, WS_CHILD | WS_VISIBLE | style, outer.left - dx, outer.top - dy,
                           outer.right - outer.left, outer.bottom - outer.top, parent, nullptr, g_inst, nullptr);
  SendMessageW(h, WM_SETFONT, (WPARAM)g_font, FALSE);
  if (!name.empty()) Name(h, win, name);
  return h;
}

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
const UINT_PTR kLateLookupTimer = 1;

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

void RecordInput(const MSG& m) {
  Place p = Locate(m.hwnd);
  std::string where = "win=" + p.win + " ctl=" + p.ctl;
  switch (m.message) {
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN: {
      RECT r = {};
      if (p.top) GetWindowRect(p.top, &r);
      Record("click " + where + " dx=" + std::to_string(m.pt.x - r.left) + " dy=" + std::to_string(m.pt.y - r.top) +
             " x=" + std::to_string(m.pt.x) + " y=" + std::to_string(m.pt.y));
      break;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
      char vk[8];
      snprintf(vk, sizeof vk, "0x%02X", (unsigned)m.wParam);
      Record("key " + where + " msg=" + (m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN ? "down" : "up") +
             (m.message >= WM_SYSKEYDOWN ? "_sys" : "") + " vk=" + vk);
      break;
    }
    case WM_CHAR: {
      // The Unicode loop receives a double-byte character whole; record its bytes.
      wchar_t w = (wchar_t)m.wParam;
      char bytes[4];
      int n = WideCharToMultiByte(932, 0, &w, 1, bytes, sizeof bytes, nullptr, nullptr);
      Record("char " + where + " hex=" + Hex(std::string(bytes, n > 0 ? n : 0)));
      break;
    }
  }
}

// A click into a lookup dialog may end the process or close the dialog (fault storms).
void DialogClickFaults(const MSG& m) {
  if (m.message != WM_LBUTTONDOWN && m.message != WM_NCLBUTTONDOWN) return;
  Place p = Locate(m.hwnd);
  Lookup* l = LookupOf(p.top);
  if (!l) return;
  ++l->clicks;
  if (p.ctl == "search" && FaultFor("helper_on_click", l->kind->code)) EmbedForeign(*l);
  if (l->clicks == FaultNumber("exit_at_click")) {
    Record("exit_at_click n=" + std::to_string(l->clicks));
    ExitProcess(3);
  }
  if (l->clicks == FaultNumber("close_at_click")) CloseLookup(*l);
}

HWND g_lateScreen;  // the screen a late activation brings forward

void CALLBACK ActivateLate(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  SendMessageW(g_mdi, WM_MDIACTIVATE, (WPARAM)g_lateScreen, 0);
}

// Returns true when the message was consumed here.
bool PreDispatch(const MSG& m) {
  if (m.message == kSyncMessage) {
    Record("sync id=" + std::to_string(m.wParam));
    return true;
  }
  if (m.message == WM_MDIACTIVATE && m.hwnd == g_mdi && FaultNumber("late_activate")) {
    g_lateScreen = (HWND)m.wParam;
    SetTimer(nullptr, 0, (UINT)FaultNumber("late_activate"), ActivateLate);
    return true;
  }
  RecordInput(m);
  DialogClickFaults(m);
  if (m.message == WM_KEYDOWN && m.wParam == VK_RETURN) {
    for (Lookup& l : g_lookups)
      if (l.search && l.search == m.hwnd) {
        RunSearch(l);
        HideAfterSearch(l);
        return true;
      }
  }
  return false;
}

// No TranslateMessage: the record must hold only what others sent, not
// characters derived from posted key-downs.
int MessageLoop() {
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0)
    if (!PreDispatch(m)) DispatchMessageW(&m);
  return (int)m.wParam;
}

void RegisterClasses() {
  WNDCLASSW wc = {};
  wc.hInstance = g_inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  const struct {
    const wchar_t* name;
    WNDPROC proc;
  } classes[] = {{MainClass(), MainProc},
                 {L"StandinScreen", ScreenProc},
                 {L"StandinLookup", LookupProc},
                 {L"StandinCover", CoverProc},
                 {L"StandinForeign", ForeignProc},
                 {L"StandinNotice", DefWindowProcW}};
  for (const auto& c : classes) {
    wc.lpszClassName = c.name;
    wc.lpfnWndProc = c.proc;
    RegisterClassW(&wc);
  }
  RegisterOwnKinds(g_inst);
}

HMENU BuildMenu() {
  HMENU bar = CreateMenu(), file = CreatePopupMenu(), customer = CreatePopupMenu(), sales = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, 2, L"終了(&X)");
  AppendMenuW(customer, MF_STRING, kFirstScreenCommand + 0, L"得意先台帳(&A)");
  AppendMenuW(sales, MF_STRING, kFirstScreenCommand + 2, L"得意先元帳(&J)");
  AppendMenuW(sales, MF_STRING, kFirstScreenCommand + 3, L"売上伝票(&C)");
  AppendMenuW(bar, MF_POPUP, (UINT_PTR)file, L"ファイル(&F)");
  AppendMenuW(bar, MF_POPUP, (UINT_PTR)customer, L"得意先(&D)");
  AppendMenuW(bar, MF_POPUP, (UINT_PTR)sales, L"売上(&U)");
  return bar;
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

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
  g_inst = inst;
  g_faults = Utf8(Env(L"STANDIN_FAULT"));
  g_font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, L"IPAGothic");
  RegisterClasses();

  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc >= 3 && lstrcmpW(argv[1], L"--cover") == 0) return RunCover((DWORD)_wtol(argv[2]));

  OpenRecord(L"");
  std::wstring open = Env(L"STANDIN_OPEN");
  Record("start role=main fault=" + g_faults + " open=" + Utf8(open));
  if (Fault("nomain")) return 2;
  if (Fault("cover") || Fault("cover_screen") || Fault("foreign_child") || Fault("helper_on_click"))
    StartCover();
  if (long ms = FaultNumber("slow")) Sleep(ms);
  g_origin = {FaultNumber("left"), FaultNumber("top")};

  g_main = CreateWindowExW(0, MainClass(), L"販売管理 スタンドイン", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           g_origin.x, g_origin.y, 600, 560, nullptr, Fault("nomenu") ? nullptr : BuildMenu(), inst,
                           nullptr);
  Name(g_main, "main", "-");
  if (!Fault("nomdi")) {
    CLIENTCREATESTRUCT ccs = {nullptr, 50000};
    RECT r;
    GetClientRect(g_main, &r);
    g_mdi = CreateWindowExW(WS_EX_CLIENTEDGE, L"MDICLIENT", nullptr,
                            WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE | MDIS_ALLCHILDSTYLES, 0, 0, r.right, r.bottom,
                            g_main, nullptr, inst, &ccs);
    Name(g_mdi, "mdi", "-");
  }
  if (!Fault("hidden")) ShowWindow(g_main, Fault("minimized") ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
  UpdateWindow(g_main);
  for (const ScreenKind& k : kScreens) {
    std::wstring tag(k.tag, k.tag + strlen(k.tag));
    if (g_mdi && (L"," + open + L",").find(L"," + tag + L",") != std::wstring::npos) OpenScreenWindow(k);
  }
  Record("ready visible=" + std::string(IsWindowVisible(g_main) ? "1" : "0"));
  if (long ms = FaultNumber("busy")) {
    Sleep(ms);
    Record("busy_end");
  }
  return MessageLoop();
}
