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
//     lookup_lower=CODE that screen's lookup is 60 px taller, each control as much
//                       lower, as a version that lays one lookup out anew
//     new_version       as a new version of the application might be: the main
//                       window's class is "Hanbai16Main" and td's input field lies
//                       60 px lower; F8 opens td's lookup only for that field,
//                       which the screen click must have focused
#include "kinds.h"
#include "standin.h"

namespace standin {

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

}  // namespace standin

using namespace standin;

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
