// End-to-end suite: runs the real pelmora.exe as the host application would,
// against the stand-in target, and judges what the stand-in received, the error
// box pelmora shows and pelmora's own window. Runs under Wine in Xvfb; one
// group of scenarios per screen size (aspect class), and one on two monitors
// (dual: a 1280x1024 primary with a 1920x1080 monitor to its right).
//
//   e2e.exe --pelmora EXE --standin EXE --work DIR --group wide|middle|narrow|dual
//           [--expect N] [--only NAME]
//
// Prints one line per scenario and a last line "N passed, N failed"; exits
// non-zero when any failed or when the number run differs from --expect.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "automation/settings_file.h"

namespace {

const UINT kSyncMessage = WM_APP + 1;  // the stand-in records it when it leaves its queue

const char kPhone[] = "0312345678";
const char kOtherPhone[] = "0998887777";  // the second job's number when two run at once
const char kDbcsPhone[] = "０３ソ表－１２３４";  // trail bytes 0x5C included
const char kPrefix[] = "弥生販売を正常に起動できませんでした。(";

// Fixed messages the program may show (argument names, start-up, per-screen).
const std::string kMsgMissingPath = "実行時引数(弥生販売のインストール・フルパス)が不足のため実行できません。";
const std::string kMsgMissingCodes = "実行時引数(弥生販売の対象画面CD)が不足のため実行できません。";
const std::string kMsgMissingPhone = "実行時引数(電話番号)が不足のため実行できません。";
const std::string kMsgInvalidCode = "実行時引数(弥生販売の対象画面CD)が不正のため実行できません。";
const std::string kMsgBadPath = "外部接続画面で設定されている弥生販売のパスが無効です。";
const std::string kMsgNotStarted = "弥生販売を起動できませんでした。";
const std::string kMsgMainHidden = std::string(kPrefix) + "メインウィンドウの表示不可)";
const std::string kMsgNoMdi = std::string(kPrefix) + "MDIClientの取得不可)";
const std::string kMsgNotAnswering = "弥生販売が応答しないため、電話番号を入力できませんでした。";
const std::string kMsgNoMenu = std::string(kPrefix) + "メニューの取得不可)";
const std::string kMsgNoChild = std::string(kPrefix) + "子ウィンドウの取得不可)";
const std::string kMsgChildHidden = std::string(kPrefix) + "子ウィンドウの表示不可)";
std::string LookupMsg(const char* title, const char* what) { return std::string(kPrefix) + title + what; }
const std::string kMsgTdNoDialog = LookupMsg("得意先参照", "画面の取得不可)");
const std::string kMsgTmNoDialog = LookupMsg("請求先参照", "画面の取得不可)");
const std::string kMsgUdDialogHidden = LookupMsg("得意先参照", "画面の表示不可)");
const std::string kMsgTdNoField = LookupMsg("得意先参照", "画面-入力欄の取得不可)");
const std::string kMsgLocked =
    "画面がロックされていたため、弥生販売を操作できませんでした。電話番号は入力していません。";
const std::string kMsgElevated =
    "弥生販売が本プログラムより高い権限で実行されているため操作できません。"
    "弥生販売と本プログラムを同じ方法(管理者として実行するかどうか)で起動してください。";

const std::vector<std::string> kFixedMessages = {
    kMsgMissingPath, kMsgMissingCodes, kMsgMissingPhone, kMsgInvalidCode, kMsgBadPath, kMsgNotStarted,
    kMsgMainHidden, kMsgNoMdi, kMsgNoMenu, kMsgElevated, kMsgNotAnswering, kMsgLocked, kMsgNoChild, kMsgChildHidden,
    LookupMsg("得意先参照", "画面の取得不可)"), LookupMsg("請求先参照", "画面の取得不可)"),
    LookupMsg("得意先参照", "画面の表示不可)"), LookupMsg("請求先参照", "画面の表示不可)"),
    LookupMsg("得意先参照", "画面-入力欄の取得不可)"), LookupMsg("請求先参照", "画面-入力欄の取得不可)")};

// Where each screen's click must land, by aspect class (narrow, middle, wide),
// from the screen window's outer corner, and the stand-in control placed there.
struct ScreenClick {
  const char* code;
  POINT offset[3];
  const char* control;
};
const ScreenClick kScreenClicks[] = {
    {"td", {{184, 120}, {184, 114}, {188, 126}}, "code"},
    {"tm", {{163, 120}, {163, 113}, {168, 127}}, "billing"},
    {"ud", {{146, 160}, {146, 152}, {157, 168}}, "customer"},
};
// The lookup dialog's three clicks, in order, and the controls under them.
const struct {
  POINT offset;
  const char* control;
} kDialogClicks[] = {{{135, 40}, "by_phone"}, {{115, 180}, "results"}, {{65, 117}, "search"}};

struct Group {
  const char* name;
  int width, height, aspect;
};
const Group kGroups[] = {{"narrow", 1280, 1024, 0}, {"middle", 1024, 768, 1}, {"wide", 1920, 1080, 2},
                         {"dual", 1280, 1024, 0}, {"western", 1920, 1080, 2}};
// The dual group's virtual desktop: both monitors side by side.
const SIZE kDualDesktop = {3200, 1080};

enum class Target { None, Running, Started };

struct Result;
using Extra = std::function<void(Result&)>;

struct Scenario {
  const char* name;
  const char* group;
  Target target;
  const char* fault;     // STANDIN_FAULT
  const char* open;      // STANDIN_OPEN
  std::string args;      // command line after the program; {S} {B} {U} {X} {W} expand to paths
  const char* memo;      // expected memo lines joined by '|', or nullptr: not checked
  std::string box;       // expected error box text; "" for none
  const char* searches;  // dialogs (screen tags) that must receive the number, comma list
  std::string phone;
  int limitMs;
  unsigned flags;
  Extra extra;
  std::string second = "";  // a second pelmora's arguments, started secondAfterMs after the first
  int show = -1;            // pelmora's start-up show command (STARTUPINFO), -1: none given
  int aspect = -1;          // the aspect class the clicks must follow, -1: the group's
  RECT hand = {};           // a hand keeps pulling the cursor onto a window here, if not empty
  const char* desktop = nullptr;  // pelmora started on this desktop instead of the runner's
  DWORD secondAfterMs = 300;      // when the second pelmora starts, after the first
};

enum : unsigned {
  kNoMenuKeys = 1,     // screens already open: no F10 may arrive
  kCheckClicks = 2,    // clicks must land where the table says
  kStrayChars = 4,     // characters may legitimately land outside search fields
  kFacts = 8,          // check pelmora's window, owner and memo
  kAnyBoxOrNone = 16,  // a fixed message or none is acceptable
  kNoTypingCheck = 32, // searches not judged (behaviour not specified)
  kTraced = 64,        // a copy of pelmora with a settings file beside it that turns the trace on
  kStillWaits = 128,   // pelmora must still be waiting at the limit; then it is ended
  kNewVersion = 256,   // the traced copy's settings also match the stand-in's new_version
  kUtf8 = 512,         // the traced copy's settings saved as Notepad saves by default, in UTF-8
                       // without a byte-order mark, naming the stand-in's renamed screen
};

struct Paths {
  std::string pelmora, standin, work, blank, missing;
};
Paths g;
int g_aspect = 2;
int g_syncId = 0;

// A person's hand on the mouse: a thread that keeps putting the cursor onto a window of
// its own (another program's, to pelmora) and counts the button presses it gets.
struct Hand {
  RECT rect;
  volatile LONG stop = 0, moves = 0, clicks = 0;
};

LRESULT CALLBACK HandProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_NCLBUTTONDOWN || msg == WM_NCRBUTTONDOWN ||
      msg == WM_MOUSEACTIVATE)
    if (Hand* hand = (Hand*)GetWindowLongPtrA(h, GWLP_USERDATA)) InterlockedIncrement(&hand->clicks);
  if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  return DefWindowProcA(h, msg, wp, lp);
}

DWORD WINAPI HandThread(LPVOID param) {
  Hand* hand = (Hand*)param;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = HandProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "E2eHand";
  RegisterClassA(&wc);  // fails harmlessly when registered by an earlier hand
  const RECT& r = hand->rect;
  HWND w = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, "E2eHand", "hand", WS_POPUP | WS_BORDER,
                           r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrA(w, GWLP_USERDATA, (LONG_PTR)hand);
  ShowWindow(w, SW_SHOWNOACTIVATE);
  while (!hand->stop) {
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    InterlockedIncrement(&hand->moves);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    Sleep(1);
  }
  DestroyWindow(w);
  return 0;
}

struct Event {
  std::map<std::string, std::string> f;
  std::string Get(const char* k) const {
    auto it = f.find(k);
    return it == f.end() ? "" : it->second;
  }
};

struct Result {
  std::vector<std::string> failures;
  std::vector<Event> events, coverEvents;
  std::vector<std::string> boxes;
  DWORD elapsedMs = 0;
  void Fail(const std::string& why) { failures.push_back(why); }
  void Expect(bool ok, const std::string& why) {
    if (!ok) Fail(why);
  }
};

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string h;
  for (unsigned char c : bytes) {
    h += digits[c >> 4];
    h += digits[c & 15];
  }
  return h;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t pos = 0; (pos = s.find(from, pos)) != std::string::npos; pos += to.size()) s.replace(pos, from.size(), to);
  return s;
}

std::string Expand(const std::string& s) {
  std::string out = Replace(s, "{S}", g.standin);
  out = Replace(out, "{B}", g.blank);
  out = Replace(out, "{X}", g.missing);
  return Replace(out, "{W}", g.work);
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t pos = 0;
  for (;;) {
    size_t end = s.find(sep, pos);
    parts.push_back(s.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    if (end == std::string::npos) return parts;
    pos = end + 1;
  }
}

std::string Slurp(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  std::string data;
  char buf[65536];
  DWORD n;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) data.append(buf, n);
  CloseHandle(h);
  return data;
}

// Record lines are "key=value" tokens; "text=" takes the rest of the line.
std::vector<Event> ParseRecord(const std::string& data) {
  std::vector<Event> events;
  for (const std::string& line : Split(data, '\n')) {
    if (line.empty()) continue;
    Event e;
    size_t pos = 0;
    while (pos < line.size()) {
      size_t end = line.find(' ', pos);
      if (line.compare(pos, 5, "text=") == 0) end = std::string::npos;
      std::string tok = line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      size_t eq = tok.find('=');
      if (eq == std::string::npos)
        e.f["ev"] = tok;
      else
        e.f[tok.substr(0, eq)] = tok.substr(eq + 1);
      if (end == std::string::npos) break;
      pos = end + 1;
    }
    events.push_back(e);
  }
  return events;
}

std::string WindowText(HWND h) {
  char buf[8192];
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutA(h, WM_GETTEXT, sizeof buf, (LPARAM)buf, SMTO_ABORTIFHUNG, 2000, &n)) return "<no answer>";
  return std::string(buf, n);
}

std::string ClassOf(HWND h) {
  char buf[256];
  int n = GetClassNameA(h, buf, sizeof buf);
  return std::string(buf, n > 0 ? n : 0);
}

BOOL CALLBACK Collect(HWND h, LPARAM lp) {
  ((std::vector<HWND>*)lp)->push_back(h);
  return TRUE;
}

std::vector<HWND> TopWindowsOf(DWORD pid, const char* cls) {
  std::vector<HWND> all, found;
  EnumWindows(Collect, (LPARAM)&all);
  for (HWND h : all) {
    DWORD p = 0;
    GetWindowThreadProcessId(h, &p);
    if (p == pid && ClassOf(h) == cls) found.push_back(h);
  }
  return found;
}

std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> kids;
  EnumChildWindows(parent, Collect, (LPARAM)&kids);
  return kids;
}

// Lets Wine deliver pending X events before window state is read.
void Settle(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while ((LONG)(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - GetTickCount(), QS_ALLINPUT);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
}

void SetEnv(const char* name, const char* value) { SetEnvironmentVariableA(name, value && *value ? value : nullptr); }

// On a named desktop, through Wine's explorer, which makes it the one taking the input.
bool Launch(const std::string& exe, const std::string& tail, PROCESS_INFORMATION& pi, int show = -1,
            const char* desktop = nullptr) {
  std::string cmd = (desktop ? std::string("explorer.exe /desktop=") + desktop + ",800x600 " : std::string()) +
                    "\"" + exe + "\"" + (tail.empty() ? "" : " " + tail);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  if (show >= 0) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = (WORD)show;
  }
  return CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
}

bool WaitForRecord(const std::string& path, const std::string& needle, DWORD ms) {
  DWORD end = GetTickCount() + ms;
  do {
    if (Slurp(path).find(needle) != std::string::npos) return true;
    Settle(50);
  } while ((LONG)(end - GetTickCount()) > 0);
  return false;
}

// Ends every stand-in process the scenario started (their pids are in the records).
void KillStandins(const std::string& record) {
  for (const std::string& path : {record, record + ".cover"})
    for (const Event& e : ParseRecord(Slurp(path))) {
      if (e.Get("ev") != "start") continue;
      if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, strtoul(e.Get("pid").c_str(), nullptr, 10))) {
        TerminateProcess(h, 1);
        WaitForSingleObject(h, 5000);
        CloseHandle(h);
      }
    }
  for (int i = 0; i < 100 && FindWindowExA(nullptr, nullptr, "Hanbai15Main", nullptr); ++i) Settle(50);
}

// Queues a marker behind everything pelmora posted and waits until it is handled.
void SyncWith(const char* cls, const std::string& record, Result& r) {
  HWND h = FindWindowExA(nullptr, nullptr, cls, nullptr);
  if (!h) return;
  int id = ++g_syncId;
  PostMessageA(h, kSyncMessage, id, 0);
  if (!WaitForRecord(record, "sync id=" + std::to_string(id), 60000)) r.Fail(std::string("no sync from ") + cls);
}

struct BoxFacts {
  std::string caption, text;
  int buttons = 0;
  bool okButton = false;
};

BoxFacts ReadBox(HWND box) {
  BoxFacts b;
  b.caption = WindowText(box);
  for (HWND c : ChildrenOf(box)) {
    std::string cls = ClassOf(c);
    int id = GetDlgCtrlID(c) & 0xFFFF;
    if (cls == "Button") {
      ++b.buttons;
      b.okButton = id == IDOK && WindowText(c) == "OK";
    } else if (cls == "Static" && id == 0xFFFF) {
      b.text = WindowText(c);
    }
  }
  return b;
}

void CheckFacts(DWORD pid, Result& r) {
  std::vector<HWND> mains = TopWindowsOf(pid, "TfrmPelmora");
  if (mains.size() != 1) return r.Fail("main window TfrmPelmora count " + std::to_string(mains.size()));
  HWND main = mains[0];
  char caption[256];
  GetWindowTextA(main, caption, sizeof caption);
  r.Expect(std::string(caption) == "Pelmora", std::string("caption '") + caption + "'");
  RECT wr, cr;
  GetWindowRect(main, &wr);
  GetClientRect(main, &cr);
  r.Expect(wr.left == 764 && wr.top == 23,
           "window at " + std::to_string(wr.left) + "," + std::to_string(wr.top) + " not 764,23");
  r.Expect(cr.right == 290 && cr.bottom == 155,
           "client " + std::to_string(cr.right) + "x" + std::to_string(cr.bottom) + " not 290x155");
  HWND owner = GetWindow(main, GW_OWNER);
  RECT orc = {};
  GetWindowRect(owner, &orc);
  char otitle[256] = "";
  GetWindowTextA(owner, otitle, sizeof otitle);
  r.Expect(owner && ClassOf(owner) == "TPelmoraApplication", "owner class '" + ClassOf(owner) + "'");
  r.Expect(std::string(otitle) == "リンク", std::string("owner title '") + otitle + "'");
  r.Expect(orc.right == orc.left && orc.bottom == orc.top, "owner window is not zero-size");
}

void CheckMemo(DWORD pid, const Scenario& s, Result& r) {
  std::vector<HWND> mains = TopWindowsOf(pid, "TfrmPelmora");
  HWND memo = mains.empty() ? nullptr : GetDlgItem(mains[0], 1);
  if (!memo) return r.Fail("no memo (control 1)");
  std::string want = Replace(Expand(s.memo), "|", "\r\n");
  std::string got = WindowText(memo);
  r.Expect(got == want, "memo '" + Replace(got, "\r\n", "|") + "' expected '" + Replace(want, "\r\n", "|") + "'");
}

struct Pelmora {
  PROCESS_INFORMATION pi = {};
  DWORD start = 0;
  bool ended = false;
  std::set<HWND> seen;
};

// Reads and answers a newly shown error box of P.
void AnswerBox(const Scenario& s, Pelmora& p, HWND box, Result& r, bool answerWithClick) {
  p.seen.insert(box);
  Settle(100);
  BoxFacts b = ReadBox(box);
  r.boxes.push_back(b.text);
  r.Expect(b.caption == "エラー", "box caption '" + b.caption + "'");
  r.Expect(b.buttons == 1 && b.okButton,
           "box buttons: " + std::to_string(b.buttons) + ", OK found " + std::to_string(b.okButton));
  if (s.flags & kFacts) CheckFacts(p.pi.dwProcessId, r);
  if (s.memo) CheckMemo(p.pi.dwProcessId, s, r);
  // The box is modal: pelmora must still be there until it is answered.
  r.Expect(WaitForSingleObject(p.pi.hProcess, 300) == WAIT_TIMEOUT, "pelmora ended before the box was answered");
  if (answerWithClick) {
    for (HWND c : ChildrenOf(box))
      if (ClassOf(c) == "Button") PostMessageA(c, BM_CLICK, 0, 0);
  } else {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  if (WaitForSingleObject(p.pi.hProcess, 5000) != WAIT_OBJECT_0) r.Fail("pelmora still running 5 s after the box");
}

// Started minimized, pelmora must do nothing until the user restores it from the taskbar
// (the restore reaches its application window); then the job runs.
void RestoreMinimized(DWORD pid, const std::string& record, Result& r) {
  HWND app = nullptr;
  for (int i = 0; i < 100 && !app; ++i) {
    std::vector<HWND> apps = TopWindowsOf(pid, "TPelmoraApplication");
    if (!apps.empty()) app = apps[0];
    else Sleep(50);
  }
  if (!app) return r.Fail("no application window");
  Settle(1500);
  r.Expect(IsIconic(app) != FALSE, "application window not minimized");
  for (HWND main : TopWindowsOf(pid, "TfrmPelmora"))
    r.Expect(!IsWindowVisible(main), "main window shown while minimized");
  r.Expect(Slurp(record).find("syscommand") == std::string::npos, "the job ran before the restore");
  PostMessageA(app, WM_SYSCOMMAND, SC_RESTORE, 0);
}

// A copy of pelmora.exe in its own folder with pelmora.ini beside it: the trace goes to a
// file named relative to that folder, and patience 2 doubles the bounded waits.
std::string TracedDir() { return g.work + "\\traced"; }
std::string TracedCopy(bool newVersion, bool utf8) {
  const std::string dir = TracedDir(), exe = dir + "\\pelmora.exe";
  CreateDirectoryA(dir.c_str(), nullptr);
  DeleteFileA((dir + "\\pelmora-trace.log").c_str());
  const std::string ini = dir + "\\pelmora.ini";
  DeleteFileA(ini.c_str());
  if (utf8) {
    const char text[] = u8"; 設定\r\n[trace]\r\nfile=pelmora-trace.log\r\n[timing]\r\npatience=2\r\n"
                        u8"[screen td]\r\ntitle1=得意先台帳 (新規入力)\r\n";
    FILE* f = fopen(ini.c_str(), "wb");
    const bool written = f && fwrite(text, 1, sizeof text - 1, f) == sizeof text - 1;
    if (f) fclose(f);
    return written && CopyFileA(g.pelmora.c_str(), exe.c_str(), FALSE) ? exe : "";
  }
  if (newVersion && (!WritePrivateProfileStringA("target", "class", "Hanbai16Main", ini.c_str()) ||
                     !WritePrivateProfileStringA("screen td", "wide", "188,186", ini.c_str())))
    return "";
  if (!CopyFileA(g.pelmora.c_str(), exe.c_str(), FALSE) ||
      !WritePrivateProfileStringA("trace", "file", "pelmora-trace.log", ini.c_str()) ||
      !WritePrivateProfileStringA("timing", "patience", "2", ini.c_str()))
    return "";
  return exe;
}

// Runs pelmora with the scenario's arguments (and, for two jobs at once, a second
// pelmora secondAfterMs after the first), answers error boxes, and waits,
// bounded, for every process to end; kills and fails past the bound.
void RunPelmora(const Scenario& s, const std::string& record, Result& r, bool answerWithClick) {
  std::vector<Pelmora> procs(1);
  DWORD start = GetTickCount();
  procs[0].start = start;
  const std::string exe = (s.flags & kTraced) ? TracedCopy(s.flags & kNewVersion, s.flags & kUtf8) : g.pelmora;
  if (exe.empty()) return r.Fail("cannot lay out the traced copy of pelmora.exe");
  if (!Launch(exe, Expand(s.args), procs[0].pi, s.show, s.desktop)) return r.Fail("cannot start pelmora.exe");
  if (s.show == SW_SHOWMINNOACTIVE) RestoreMinimized(procs[0].pi.dwProcessId, record, r);
  bool zoomed = false;
  bool secondDue = !s.second.empty();
  for (;;) {
    if (secondDue && GetTickCount() - start >= s.secondAfterMs) {
      secondDue = false;
      procs.emplace_back();
      procs.back().start = GetTickCount();
      // No return here: the first must still be waited for, or killed, like any other.
      if (!Launch(g.pelmora, Expand(s.second), procs.back().pi)) {
        r.Fail("cannot start the second pelmora.exe");
        procs.pop_back();
      }
      continue;
    }
    bool all = true;
    for (Pelmora& p : procs) {
      if (p.ended) continue;
      if (WaitForSingleObject(p.pi.hProcess, 25) == WAIT_OBJECT_0) {
        p.ended = true;
        continue;
      }
      all = false;
      for (HWND main : TopWindowsOf(p.pi.dwProcessId, "TfrmPelmora")) zoomed |= IsWindowVisible(main) && IsZoomed(main);
      for (HWND box : TopWindowsOf(p.pi.dwProcessId, "#32770"))
        if (!p.seen.count(box) && IsWindowVisible(box)) AnswerBox(s, p, box, r, answerWithClick);
    }
    if (all && !secondDue) break;
    if (GetTickCount() - start > (DWORD)s.limitMs) break;
  }
  r.elapsedMs = GetTickCount() - start;
  if (s.show == SW_SHOWMAXIMIZED) r.Expect(zoomed, "started maximized, the window was never seen maximized");
  for (Pelmora& p : procs) {
    const bool running = !p.ended && WaitForSingleObject(p.pi.hProcess, 0) != WAIT_OBJECT_0;
    if (s.flags & kStillWaits) {
      // Started through explorer: pelmora's own process is the one the trace names.
      const std::string trace = Slurp(TracedDir() + "\\pelmora-trace.log");
      const size_t at = trace.find("] ");
      const DWORD pid = at == std::string::npos ? 0 : strtoul(trace.c_str() + trace.rfind('[', at) + 1, nullptr, 10);
      HANDLE pelmora = pid ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid) : nullptr;
      r.Expect(pelmora && WaitForSingleObject(pelmora, 0) == WAIT_TIMEOUT,
               "pelmora ended before " + std::to_string(s.limitMs) + " ms instead of waiting");
      if (pelmora) {
        TerminateProcess(pelmora, 0);
        WaitForSingleObject(pelmora, 5000);
        CloseHandle(pelmora);
      }
      if (running) TerminateProcess(p.pi.hProcess, 0);
      WaitForSingleObject(p.pi.hProcess, 5000);
    } else if (running) {
      r.Fail("pelmora did not end within " + std::to_string(s.limitMs) + " ms; killed");
      TerminateProcess(p.pi.hProcess, 1);
      WaitForSingleObject(p.pi.hProcess, 5000);
    }
    DWORD code = 0;
    GetExitCodeProcess(p.pi.hProcess, &code);
    char hex[16];
    snprintf(hex, sizeof hex, "0x%08lX", (unsigned long)code);
    r.Expect(code < 0xC0000000u, std::string("pelmora ended by exception ") + hex);
    CloseHandle(p.pi.hThread);
    CloseHandle(p.pi.hProcess);
  }
}

std::string CodeOf(const std::string& tag) { return tag.substr(0, 2); }

void CheckBoxes(const Scenario& s, Result& r) {
  for (const std::string& text : r.boxes) {
    bool fixed = false;
    for (const std::string& m : kFixedMessages) fixed |= m == text;
    r.Expect(fixed, "box text not a fixed message: '" + text + "'");
  }
  if (s.flags & kAnyBoxOrNone) {
    r.Expect(r.boxes.size() <= 1, std::to_string(r.boxes.size()) + " boxes");
    return;
  }
  if (s.box.empty()) {
    r.Expect(r.boxes.empty(), "unexpected box '" + (r.boxes.empty() ? "" : r.boxes[0]) + "'");
  } else {
    r.Expect(r.boxes.size() == 1 && r.boxes[0] == s.box,
             "box '" + (r.boxes.empty() ? std::string("<none>") : r.boxes[0]) + "' expected '" + s.box + "'");
  }
}

void CheckClicks(Result& r, const std::string& tag) {
  const ScreenClick* sc = nullptr;
  for (const ScreenClick& c : kScreenClicks)
    if (CodeOf(tag) == c.code) sc = &c;
  std::vector<const Event*> screen, dialog;
  bool f8 = false, searched = false, late = false;  // a click taken after what should follow it
  for (const Event& e : r.events) {
    f8 |= e.Get("ev") == "key" && e.Get("win") == tag && e.Get("vk") == "0x77";
    searched |= e.Get("ev") == "search" && e.Get("screen") == tag;
    if (e.Get("ev") != "click") continue;
    if (e.Get("win") == tag) screen.push_back(&e), late |= f8;
    if (e.Get("win") == "dlg_" + tag) dialog.push_back(&e), late |= searched;
  }
  r.Expect(!late, tag + ": a click taken after its F8 or its search");
  POINT want = sc->offset[g_aspect];
  r.Expect(!screen.empty() && screen[0]->Get("ctl") == sc->control && screen[0]->Get("dx") == std::to_string(want.x) &&
               screen[0]->Get("dy") == std::to_string(want.y),
           tag + " screen click " +
               (screen.empty() ? std::string("missing")
                               : screen[0]->Get("ctl") + " at " + screen[0]->Get("dx") + "," + screen[0]->Get("dy")) +
               ", expected " + sc->control + " at " + std::to_string(want.x) + "," + std::to_string(want.y));
  r.Expect(dialog.size() == 3, tag + " dialog got " + std::to_string(dialog.size()) + " clicks");
  for (size_t i = 0; i < dialog.size() && i < 3; ++i) {
    const Event& e = *dialog[i];
    r.Expect(e.Get("ctl") == kDialogClicks[i].control && e.Get("dx") == std::to_string(kDialogClicks[i].offset.x) &&
                 e.Get("dy") == std::to_string(kDialogClicks[i].offset.y),
             tag + " dialog click " + std::to_string(i + 1) + " on " + e.Get("ctl") + " at " + e.Get("dx") + "," +
                 e.Get("dy"));
  }
}

// The number reaches each expected dialog's search field once per time the screen
// is named, each time followed by Enter and a search, and no window anywhere else.
void CheckTyping(const Scenario& s, Result& r) {
  std::string phoneHex = Hex(s.phone);
  std::map<std::string, int> expected;  // screen tag -> searches
  for (const std::string& tag : Split(s.searches, ','))
    if (!tag.empty()) ++expected[tag];
  std::map<std::string, std::string> typed;  // "win/ctl" -> bytes in hex
  std::map<std::string, int> enters;
  std::map<std::string, std::vector<std::string>> searches;
  for (const Event& e : r.events) {
    std::string where = e.Get("win") + "/" + e.Get("ctl");
    if (e.Get("ev") == "char") typed[where] += e.Get("hex");
    if (e.Get("ev") == "key" && e.Get("vk") == "0x0D" && e.Get("msg") == "down") ++enters[where];
    if (e.Get("ev") == "search") searches[e.Get("screen")].push_back(e.Get("hex"));
  }
  for (const auto& [tag, times] : expected) {
    std::string field = "dlg_" + tag + "/search", want;
    for (int i = 0; i < times; ++i) want += phoneHex;
    r.Expect(typed[field] == want, tag + " field got " + std::to_string(typed[field].size() / 2) + " bytes " +
                                       typed[field].substr(0, 64) + ", expected " + want.substr(0, 64));
    r.Expect(enters[field] == times, tag + " field got " + std::to_string(enters[field]) + " Enter");
    int exact = 0;
    for (const std::string& hex : searches[tag]) exact += hex == phoneHex;
    r.Expect((int)searches[tag].size() == times && exact == times,
             tag + ": " + std::to_string(searches[tag].size()) + " searches, " + std::to_string(exact) +
                 " with exactly the number, expected " + std::to_string(times));
  }
  for (const auto& kv : searches)
    r.Expect(expected.count(kv.first) > 0, "unexpected search in " + kv.first);
  if (!(s.flags & kStrayChars))
    for (const auto& kv : typed) {
      bool ok = false;
      for (const auto& tag : expected) ok |= kv.first == "dlg_" + tag.first + "/search";
      r.Expect(ok, "characters landed in " + kv.first);
    }
  int foreign = 0;
  for (const Event& e : r.coverEvents) foreign += e.Get("ev") == "char" || e.Get("ev") == "key";
  r.Expect(foreign == 0, "the other process's window received " + std::to_string(foreign) + " characters and keys");
  if (s.flags & kNoMenuKeys)
    for (const Event& e : r.events)
      r.Expect(!(e.Get("ev") == "key" && e.Get("vk") == "0x79"), "F10 sent although the screen was open");
  if (s.flags & kCheckClicks)
    for (const auto& tag : expected) CheckClicks(r, tag.first);
}

Result Run(const Scenario& s, int index) {
  Result r;
  std::string record = g.work + "\\" + std::to_string(index) + "-" + s.name + ".rec";
  DeleteFileA(record.c_str());
  DeleteFileA((record + ".cover").c_str());
  SetEnv("STANDIN_RECORD", record.c_str());
  SetEnv("STANDIN_FAULT", s.fault);
  SetEnv("STANDIN_OPEN", s.open);
  if (s.target == Target::Running) {
    PROCESS_INFORMATION pi;
    if (!Launch(g.standin, "", pi)) {
      r.Fail("cannot start the stand-in");
      return r;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!WaitForRecord(record, " ready ", 20000)) r.Fail("stand-in not ready");
    Settle(200);
  }
  Hand hand;
  hand.rect = s.hand;
  HANDLE handThread = IsRectEmpty(&s.hand) ? nullptr : CreateThread(nullptr, 0, HandThread, &hand, 0, nullptr);
  RunPelmora(s, record, r, index % 2 == 0);
  if (handThread) {
    InterlockedExchange(&hand.stop, 1);
    WaitForSingleObject(handThread, 5000);
    CloseHandle(handThread);
    // Every 1 ms or so all through the job: between any two events of pelmora's.
    r.Expect(hand.moves > (LONG)r.elapsedMs / 20, "the hand moved the cursor only " + std::to_string(hand.moves) +
                                                     " times in " + std::to_string(r.elapsedMs) + " ms");
    r.Expect(hand.clicks == 0, "the window under the hand got " + std::to_string(hand.clicks) + " clicks");
  }
  // A target that stopped answering handles no marker; nothing it got is recorded anyway.
  if (s.fault == nullptr || std::string(s.fault) != "hang") {
    SyncWith("Hanbai15Main", record, r);
    SyncWith("Hanbai16Main", record, r);
  }
  SyncWith("StandinCover", record + ".cover", r);
  r.events = ParseRecord(Slurp(record));
  r.coverEvents = ParseRecord(Slurp(record + ".cover"));
  CheckBoxes(s, r);
  if (!(s.flags & kNoTypingCheck)) CheckTyping(s, r);
  if (s.extra) s.extra(r);
  KillStandins(record);
  return r;
}

// Messages hold code page 932 text; the terminal reading the output wants UTF-8.
void Print(const std::string& text) {
  int n = MultiByteToWideChar(932, 0, text.data(), (int)text.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(932, 0, text.data(), (int)text.size(), &w[0], n);
  int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
  std::string u(m, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), n, &u[0], m, nullptr, nullptr);
  fwrite(u.data(), 1, u.size(), stdout);
}

std::string Format(const char* fmt, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

// ---- scenario table -------------------------------------------------------

// Several KB of digits; the position marks make a lost or repeated stretch visible.
std::string LongNumber() {
  std::string n;
  for (int i = 0; n.size() < 4096; ++i) n += Format("%06d", i);
  return n.substr(0, 4096);
}

// The target died mid-job: nothing reached it after its end and its process is gone.
void TargetEnded(Result& r) {
  bool exited = false;
  for (const Event& e : r.events) exited |= e.Get("ev") == "exit_at_click";
  r.Expect(exited, "the target did not end as planned");
  r.Expect(FindWindowExA(nullptr, nullptr, "Hanbai15Main", nullptr) == nullptr, "the target is still there");
}

int ClicksIn(const std::vector<Event>& events, const std::string& win) {
  int n = 0;
  for (const Event& e : events) n += e.Get("ev") == "click" && (win.empty() || e.Get("win") == win);
  return n;
}

// A foreign window lies over a click point: it gets no click, and the program
// stops that screen there, leaving WIN (a screen or dialog tag) with CLICKS clicks.
Extra Refused(const std::string& win, int clicks) {
  return [=](Result& r) {
    int foreign = ClicksIn(r.coverEvents, "");
    r.Expect(foreign == 0, "the other process's window got " + std::to_string(foreign) + " clicks");
    int got = ClicksIn(r.events, win);
    r.Expect(got == clicks, win + " got " + std::to_string(got) + " clicks, expected " + std::to_string(clicks));
  };
}

BOOL CALLBACK FindScreen(HWND h, LPARAM lp) {
  if (ClassOf(h) != "StandinScreen") return TRUE;
  *(HWND*)lp = h;
  return FALSE;
}

// The target's only screen window, or null.
HWND TargetScreen() {
  HWND screen = nullptr;
  if (HWND main = FindWindowExA(nullptr, nullptr, "Hanbai15Main", nullptr))
    EnumChildWindows(main, FindScreen, (LPARAM)&screen);
  return screen;
}

HWND TargetLookup() { return FindWindowExA(nullptr, nullptr, "StandinLookup", nullptr); }

// Each lookup searched had its phone kind picked from its list before its search.
void PhoneKindPicked(Result& r) {
  std::map<std::string, std::string> picked;  // lookup serial -> kind
  int searched = 0;
  for (const Event& e : r.events) {
    if (e.Get("ev") == "kind") picked[e.Get("n")] = e.Get("picked");
    if (e.Get("ev") == "search") ++searched, r.Expect(picked[e.Get("n")] == "phone", "lookup " + e.Get("n") + " searched with kind '" + picked[e.Get("n")] + "'");
  }
  r.Expect(searched > 0, "no search");
}

POINT ScreenClickOffset(const char* code) {
  for (const ScreenClick& c : kScreenClicks)
    if (strcmp(c.code, code) == 0) return c.offset[g_aspect];
  return {0, 0};
}

// The window of class CLS (or one of its controls) really lies at OFFSET from
// TOP's outer corner, so that a pass means the point was guarded, not that the
// fault missed it.
void ExpectWindowAt(Result& r, HWND top, POINT offset, const char* cls) {
  RECT wr;
  if (!top || !GetWindowRect(top, &wr)) return r.Fail("no target window to find the click point in");
  POINT p = {wr.left + offset.x, wr.top + offset.y};
  HWND at = WindowFromPoint(p);
  for (HWND h = at; h; h = GetAncestor(h, GA_PARENT))
    if (ClassOf(h) == cls) return;
  r.Fail("at " + std::to_string(p.x) + "," + std::to_string(p.y) + " lies " + ClassOf(at) + ", not " + cls);
}

// Lookups kept open: none closed, and every F8 opened a dialog of its own.
void LookupsKeptOpen(Result& r) {
  std::set<std::string> dialogs;
  int opened = 0;
  for (const Event& e : r.events) {
    r.Expect(e.Get("ev") != "dialog_closed", "lookup " + e.Get("n") + " closed although lookups stay open");
    if (e.Get("ev") == "dialog") ++opened, dialogs.insert(e.Get("n"));
  }
  r.Expect(opened > 1 && (int)dialogs.size() == opened,
           std::to_string(opened) + " lookups shown, " + std::to_string(dialogs.size()) + " of them new");
}

// Each number went into the lookup its own F8 opened or showed: the searches ran, in
// order, in the lookups the F8s gave.
void OwnLookups(Result& r) {
  std::string shown, searched;
  for (const Event& e : r.events) {
    if (e.Get("ev") == "dialog") shown += " " + e.Get("n");
    if (e.Get("ev") == "search") searched += " " + e.Get("n");
  }
  r.Expect(!shown.empty() && searched == shown, "searches ran in lookups" + searched + ", F8 gave" + shown);
}

// A lookup shown again is taken by the search one pause after its F8, not after all 30:
// its first click comes within that search's pause and the one after it, with room for
// Wine on a loaded machine, far below the 3 s the whole wait would take.
void TakenAtOnce(Result& r) {
  OwnLookups(r);
  long long f8 = -1;
  for (const Event& e : r.events) {
    const long long t = atoll(e.Get("t").c_str());
    if (e.Get("ev") == "key" && e.Get("vk") == "0x77" && e.Get("msg") == "down") f8 = t;
    if (f8 < 0 || e.Get("ev") != "click" || e.Get("win").rfind("dlg_", 0) != 0) continue;
    r.Expect(t - f8 <= 2 * 100 + 300, "lookup first clicked " + std::to_string(t - f8) + " ms after its F8");
    f8 = -1;
  }
}

// Two jobs at once: each "screen number" pair searched exactly once, no search
// holding anything else (a mix of both numbers included), one job's searches all
// before the other's, characters only in search fields.
Extra SearchedOnce(const std::vector<std::string>& want) {
  return [=](Result& r) {
    std::map<std::string, int> got;
    std::string last;
    int switches = 0, stray = 0;
    for (const Event& e : r.events) {
      if (e.Get("ev") == "search") {
        ++got[e.Get("screen") + " " + e.Get("text")];
        switches += !last.empty() && e.Get("text") != last;
        last = e.Get("text");
      }
      stray += e.Get("ev") == "char" && e.Get("ctl") != "search";
    }
    r.Expect(stray == 0, std::to_string(stray) + " characters landed outside a search field");
    for (const std::string& w : want)
      r.Expect(got[w] == 1, "'" + w + "' searched " + std::to_string(got[w]) + " times");
    for (const auto& [search, n] : got)
      r.Expect(std::find(want.begin(), want.end(), search) != want.end() || n == 0, "search '" + search + "'");
    r.Expect(switches <= 1, "the jobs' searches alternate " + std::to_string(switches) + " times");
  };
}

// The trace of a typical job under patience 2, read back as a support person would.
void TraceReadBack(Result& r) {
  const std::string trace = Slurp(TracedDir() + "\\pelmora-trace.log");
  const Group& grp = kGroups[g_aspect];
  const std::string says[] = {
      std::string("] start Pelmora ") + PELMORA_VERSION + " program=\"" + TracedDir() + "\\pelmora.exe\"",
      "] settings patience=2\r\n",
      "codes=\"td,ud\" phone=\"******5678\" (10 characters)\r\n",
      "] wait for another job: ",
      " (limit 984261 ms), acquired\r\n",
      "] search main window class=Hanbai15Main: found 0x",
      "] input idle wait pid=",
      "] foreground: the target's\r\n",
      Format("] monitor \"\\\\.\\DISPLAY1\" %dx%d at (0,0) ratio ", grp.width, grp.height),
      std::string(" aspect class ") + grp.name + "\r\n",
      "] screen td: search \"得意先台帳 (新規)\" or \"得意先台帳 (修正)\": not found; opening it by the menu\r\n",
      "(limit 60)\r\n",
      "] click screen td at (",
      "] screen td: search lookup \"得意先参照\": found 0x",
      "] click lookup 3 of 3 at (",
      "] screen td: typed \"******5678\" and Enter into 0x",
      "] screen ud: typed \"******5678\" and Enter into 0x",
      "] outcome: number typed into 2 of 2 screens\r\n",
      "] end\r\n"};
  size_t at = 0;
  for (const std::string& text : says) {
    const size_t found = trace.find(text, at);
    r.Expect(found != std::string::npos, "trace does not say, in order: " + text);
    if (found != std::string::npos) at = found + text.size();
  }
  r.Expect(trace.find(kPhone) == std::string::npos, "the trace holds the whole number");
  r.Expect(trace.size() > 0 && trace.compare(trace.size() - 2, 2, "\r\n") == 0, "trace does not end in a whole line");
}

// Nothing but the stand-in's start in its record, and the trace telling the wait.
void WaitedOnWinlogon(Result& r) {
  int starts = 0;
  for (const Event& e : r.events) {
    const std::string ev = e.Get("ev");
    starts += ev == "start";
    r.Expect(ev == "start" || ev == "ready" || ev == "sync", "the target got " + ev + " while the session was locked");
  }
  r.Expect(starts == 1, std::to_string(starts) + " stand-ins started");
  const std::string trace = Slurp(TracedDir() + "\\pelmora-trace.log");
  r.Expect(trace.find("] session: the input desktop is \"Winlogon\"; waiting for it to take input (limit 120000 ms)") !=
               std::string::npos,
           "the trace does not tell the wait for the Winlogon desktop");
}

// The target's main window really lies on monitor DEVICE, so that a pass means the
// clicks followed that monitor's class; with TRACED, the trace names that monitor.
Extra OnMonitor(const std::string& device, const std::string& traced = "") {
  return [=](Result& r) {
    HWND main = FindWindowExA(nullptr, nullptr, "Hanbai15Main", nullptr);
    MONITORINFOEXA info = {};
    info.cbSize = sizeof info;
    if (!main || !GetMonitorInfoA(MonitorFromWindow(main, MONITOR_DEFAULTTONULL), (MONITORINFO*)&info))
      return r.Fail("the target lies on no monitor");
    r.Expect(device == info.szDevice, "the target lies on " + std::string(info.szDevice) + ", not " + device);
    if (!traced.empty())
      r.Expect(Slurp(TracedDir() + "\\pelmora-trace.log").find(traced) != std::string::npos,
               "trace does not say: " + traced);
  };
}

const int kQuick = 20000;   // paths without the program's long waits
const int kSlow = 45000;    // paths bounded by the 15 s limits

std::vector<Scenario> Scenarios() {
  const char* none = "";
  std::vector<Scenario> v = {
      // The typical job, and the number arriving intact.
      {"typical td,ud, target running", "wide", Target::Running, none, none, "{S} td,ud 0312345678", nullptr, "",
       "td,ud", kPhone, kQuick, kCheckClicks, nullptr},
      {"typical td,ud, target started from a path with blanks", "wide", Target::Started, none, none,
       "\"{B}\" td,ud 0312345678", nullptr, "", "td,ud", kPhone, kSlow, kCheckClicks, nullptr},
      {"screens already open in their edit state", "wide", Target::Running, none, "td_edit,ud_edit",
       "{S} td,ud 0312345678", nullptr, "", "td_edit,ud_edit", kPhone, kQuick, kNoMenuKeys | kCheckClicks, nullptr},
      // Lookups left open: a new one opens over the old one of the same title.
      {"lookups kept open: typical td,ud, both searched", "wide", Target::Running, "keep_lookups", none,
       "{S} td,ud 0312345678", nullptr, "", "td,ud", kPhone, kQuick, kCheckClicks, LookupsKeptOpen},
      {"lookups kept open: td,td, td searched twice", "middle", Target::Running, "keep_lookups", none,
       "{S} td,td 0312345678", nullptr, "", "td,td", kPhone, kQuick, 0, LookupsKeptOpen},
      // Lookups left open, late and elsewhere, or one shown again: each number goes into the
      // lookup its own F8 opened or showed, never into an older one found first.
      {"lookups late and cascaded: td,ud, each number in its own new lookup", "wide", Target::Running,
       "keep_lookups,late=400,cascade", none, "{S} td,ud 0312345678", nullptr, "", "td,ud", kPhone, kQuick,
       kCheckClicks, [](Result& r) {
         LookupsKeptOpen(r);
         OwnLookups(r);
       }},
      {"lookups late and cascaded: td,td, each number in its own new lookup", "middle", Target::Running,
       "keep_lookups,late=400,cascade", none, "{S} td,td 0312345678", nullptr, "", "td,td", kPhone, kQuick, 0,
       [](Result& r) {
         LookupsKeptOpen(r);
         OwnLookups(r);
       }},
      {"lookup hidden on Enter, shown again by F8: td,td, taken at once", "narrow", Target::Running,
       "hide_on_enter", none, "{S} td,td 0312345678", nullptr, "", "td,td", kPhone, kQuick, 0, TakenAtOnce},
      {"lookup still shown, brought forward by F8: td,td, taken at once", "wide", Target::Running, none, none,
       "{S} td,td 0312345678", nullptr, "", "td,td", kPhone, kQuick, 0, TakenAtOnce},
      {"lookup shown again without activation: td,td, the older one at last", "middle", Target::Running,
       "no_activate", none, "{S} td,td 0312345678", nullptr, "", "td,td", kPhone, kQuick, 0, OwnLookups},
      // A field still holding an earlier search: the number replaces it.
      {"pre-filled field ends holding exactly the number", "wide", Target::Running, "prefill=0120999999", none,
       "{S} td 0312345678", nullptr, "", "td", kPhone, kQuick, kCheckClicks, nullptr},
      {"double-byte phone number arrives intact", "wide", Target::Running, none, none,
       std::string("{S} tm ") + kDbcsPhone, nullptr, "", "tm", kDbcsPhone, kQuick, 0, nullptr},
      {"target minimized: restored, then the job runs", "wide", Target::Running, "minimized", none,
       "{S} td 0312345678", nullptr, "", "td", kPhone, kQuick, kCheckClicks,
       [](Result& r) {
         bool restored = false;
         for (const Event& e : r.events) restored |= e.Get("ev") == "syscommand" && e.Get("cmd") == "0xF120";
         r.Expect(restored, "no restore request reached the target");
       }},
      {"aspect class wide: td,tm,ud clicks", "wide", Target::Running, none, none, "{S} td,tm,ud 0312345678", nullptr,
       "", "td,tm,ud", kPhone, kQuick, kCheckClicks, nullptr},
      {"aspect class middle: td,tm,ud clicks", "middle", Target::Running, none, none, "{S} td,tm,ud 0312345678",
       nullptr, "", "td,tm,ud", kPhone, kQuick, kCheckClicks, nullptr},
      {"aspect class narrow: td,tm,ud clicks", "narrow", Target::Running, none, none, "{S} td,tm,ud 0312345678",
       nullptr, "", "td,tm,ud", kPhone, kQuick, kCheckClicks, nullptr},
      {"pelmora started minimized: nothing until restored, then the job", "middle", Target::Running, none, none,
       "{S} td 0312345678", nullptr, "", "td", kPhone, kQuick, kCheckClicks, nullptr, "", SW_SHOWMINNOACTIVE},
      {"pelmora started maximized: shown maximized, the job runs", "narrow", Target::Running, none, none,
       "{S} ud 0312345678", nullptr, "", "ud", kPhone, kQuick, kCheckClicks, nullptr, "", SW_SHOWMAXIMIZED},
      {"target busy 3 s: waits for idle, then the job runs", "wide", Target::Running, "busy=3000", none,
       "{S} td 0312345678", nullptr, "", "td", kPhone, kQuick, 0, nullptr},
      // A loaded PC: each click waits for its own window and is taken before what follows it.
      {"screen brought forward 300 ms late from under another, then clicked", "narrow", Target::Running,
       "late_activate=300", "td,ud", "{S} td 0312345678", nullptr, "", "td", kPhone, kQuick, kCheckClicks, nullptr},
      {"target busy 1 s after showing each lookup: its clicks before the number", "middle", Target::Running,
       "busy_lookup=1000", none, "{S} td,ud 0312345678", nullptr, "", "td,ud", kPhone, kQuick, kCheckClicks, nullptr},
      {"target starts slowly (3 s)", "narrow", Target::Started, "slow=3000", none, "{S} ud 0312345678", nullptr, "",
       "ud", kPhone, kSlow, kCheckClicks, nullptr},

      // Window facts, with double-byte arguments (0x5C trail bytes) and a fourth one.
      {"window facts and memo with double-byte arguments", "wide", Target::None, none, none,
       "\"{W}\\表示 ソフト\\販売.exe\" td,tm ０３ソ表 余分", "{W}\\表示 ソフト\\販売.exe|td,tm|０３ソ表|余分",
       kMsgBadPath, "", kPhone, kQuick, kFacts, nullptr},

      // The five start-up messages.
      {"start-up: install path does not exist", "wide", Target::None, none, none, "{X} td 0312345678",
       "{X}|td|0312345678", kMsgBadPath, "", kPhone, kQuick, 0, nullptr},
      {"start-up: install path is a directory", "middle", Target::None, none, none, "{W} td 0312345678",
       "{W}|td|0312345678", kMsgBadPath, "", kPhone, kQuick, 0, nullptr},
      {"start-up: target never shows a main window", "wide", Target::Started, "nomain", none, "{S} td 0312345678",
       "{S}|td|0312345678", kMsgNotStarted, "", kPhone, kSlow, 0, nullptr},
      {"start-up: main window stays hidden", "narrow", Target::Started, "hidden", none, "{S} td 0312345678", nullptr,
       kMsgMainHidden, "", kPhone, kSlow, 0, nullptr},
      {"start-up: no MDI client", "wide", Target::Running, "nomdi", none, "{S} td 0312345678", nullptr, kMsgNoMdi, "",
       kPhone, kQuick, 0, nullptr},
      {"start-up: no menu bar", "wide", Target::Running, "nomenu", none, "{S} td 0312345678", nullptr, kMsgNoMenu, "",
       kPhone, kQuick, 0, nullptr},
      {"start-up: target stops answering after its start", "wide", Target::Running, "hang", none,
       "{S} td,ud 0312345678", nullptr, kMsgNotAnswering, "", kPhone, kSlow, 0,
       [](Result& r) { r.Expect(r.elapsedMs < 25000, "ended after " + std::to_string(r.elapsedMs) + " ms"); }},
      {"start-up message also in a multi-screen job", "middle", Target::Running, "nomdi", none,
       "{S} td,ud 0312345678", nullptr, kMsgNoMdi, "", kPhone, kQuick, 0, nullptr},

      // The five per-screen messages in single-screen jobs, and the bad code.
      {"single td: screen never opens", "wide", Target::Running, "screen_never", none, "{S} td 0312345678", nullptr,
       kMsgNoChild, "", kPhone, kQuick, 0, nullptr},
      {"single tm: screen stays hidden", "narrow", Target::Running, "screen_hidden", none, "{S} tm 0312345678",
       nullptr, kMsgChildHidden, "", kPhone, kQuick, 0, nullptr},
      {"single tm: lookup dialog never opens", "wide", Target::Running, "dialog_never", none, "{S} tm 0312345678",
       nullptr, kMsgTmNoDialog, "", kPhone, kQuick, 0, nullptr},
      {"single ud: lookup dialog stays hidden", "middle", Target::Running, "dialog_hidden", none,
       "{S} ud 0312345678", nullptr, kMsgUdDialogHidden, "", kPhone, kQuick, 0, nullptr},
      // Another process's window at a click point: that click is not made.
      {"single td: another process's window over the field", "wide", Target::Running, "cover", none,
       "{S} td 0312345678", nullptr, kMsgTdNoField, "", kPhone, kQuick, 0,
       [](Result& r) {
         Refused("dlg_td", 2)(r);
         ExpectWindowAt(r, TargetLookup(), kDialogClicks[2].offset, "StandinCover");
       }},
      {"single td: another process's window over dialog click 1", "middle", Target::Running,
       "cover,cover_point=1", none, "{S} td 0312345678", nullptr, kMsgTdNoField, "", kPhone, kQuick, 0,
       [](Result& r) {
         Refused("dlg_td", 0)(r);
         ExpectWindowAt(r, TargetLookup(), kDialogClicks[0].offset, "StandinCover");
       }},
      {"single td: another process's window over the screen click", "narrow", Target::Running, "cover_screen",
       none, "{S} td 0312345678", nullptr, kMsgNoChild, "", kPhone, kQuick, 0,
       [](Result& r) {
         Refused("td", 0)(r);
         ExpectWindowAt(r, TargetScreen(), ScreenClickOffset("td"), "StandinCover");
       }},
      // The target's own window, but not its lookup: neither click nor number.
      {"single td: the target's own notice at the field", "wide", Target::Running, "notice", none,
       "{S} td 0312345678", nullptr, kMsgTdNoField, "", kPhone, kQuick, 0,
       [](Result& r) {
         Refused("dlg_td", 2)(r);
         ExpectWindowAt(r, TargetLookup(), kDialogClicks[2].offset, "StandinNotice");
       }},
      // A question of the target's own over the screen point: a click would answer it.
      {"single td: the target's own question over the screen click", "wide", Target::Running, "question", "td",
       "{S} td 0312345678", nullptr, kMsgNoChild, "", kPhone, kQuick, 0, Refused("question", 0)},
      // Inside the dialog, yet not the target's: it gets neither click nor number.
      {"single td: another process's child in the dialog at the field", "narrow", Target::Running,
       "foreign_child", none, "{S} td 0312345678", nullptr, kMsgTdNoField, "", kPhone, kQuick, 0,
       [](Result& r) {
         Refused("dlg_td", 2)(r);
         ExpectWindowAt(r, TargetLookup(), kDialogClicks[2].offset, "StandinForeign");
       }},
      // The same child appearing only when the field is clicked: the click was the
      // target's, the window that would get the number is not.
      {"single td: another process's child appears at the field when clicked", "middle", Target::Running,
       "helper_on_click", none, "{S} td 0312345678", nullptr, kMsgTdNoField, "", kPhone, kQuick, 0,
       [](Result& r) {
         Refused("dlg_td", 3)(r);
         ExpectWindowAt(r, TargetLookup(), kDialogClicks[2].offset, "StandinForeign");
       }},
      // Only a control inside the dialog counts as the field; the dialog's own
      // client area does not, so nothing is typed and the field message shows.
      {"single td: no field at the point", "narrow", Target::Running, "nofield", none, "{S} td 0312345678",
       nullptr, kMsgTdNoField, "", kPhone, kQuick, 0,
       [](Result& r) {
         int clicks = 0;
         for (const Event& e : r.events) clicks += e.Get("ev") == "click" && e.Get("win") == "dlg_td";
         r.Expect(clicks == 3, "dialog got " + std::to_string(clicks) + " clicks");
       }},
      {"single code TD (upper case) is refused", "wide", Target::Running, none, none, "{S} TD 0312345678",
       "{S}|TD|0312345678", kMsgInvalidCode, "", kPhone, kQuick, 0, nullptr},
      {"unquoted install path with a blank shifts the arguments", "wide", Target::Running, none, none,
       "{B} td 0312345678", "{W}\\Program|Files\\ソフト\\standin.exe|td|0312345678", kMsgInvalidCode, "", kPhone, kQuick, 0, nullptr},

      // The same failures are silent in multi-screen jobs; the next screen is worked.
      {"multi td,ud: td screen never opens, silent", "wide", Target::Running, "screen_never=td", none,
       "{S} td,ud 0312345678", nullptr, "", "ud", kPhone, kQuick, 0, nullptr},
      {"multi td,ud: td screen hidden, silent", "middle", Target::Running, "screen_hidden=td", none,
       "{S} td,ud 0312345678", nullptr, "", "ud", kPhone, kQuick, kNoTypingCheck,
       [](Result& r) {
         bool ud = false;
         for (const Event& e : r.events) ud |= e.Get("ev") == "search" && e.Get("screen") == "ud";
         r.Expect(ud, "ud was not searched after the td failure");
       }},
      {"multi tm,ud: tm lookup never opens, silent", "wide", Target::Running, "dialog_never=tm", none,
       "{S} tm,ud 0312345678", nullptr, "", "ud", kPhone, kQuick, 0, nullptr},
      {"multi tm,ud: tm lookup hidden, silent", "narrow", Target::Running, "dialog_hidden=tm", none,
       "{S} tm,ud 0312345678", nullptr, "", "ud", kPhone, kQuick, kStrayChars, nullptr},
      {"multi td,ud: td field covered, silent", "wide", Target::Running, "cover=td", none, "{S} td,ud 0312345678",
       nullptr, "", "ud", kPhone, kQuick, 0, Refused("dlg_td", 2)},
      {"multi td,ud: td dialog click 2 covered, silent", "narrow", Target::Running, "cover=td,cover_point=2", none,
       "{S} td,ud 0312345678", nullptr, "", "ud", kPhone, kQuick, 0, Refused("dlg_td", 1)},
      // The first point drops a list of search kinds, the second picks the phone kind from it.
      {"td: search kinds in a drop-down list, the phone kind picked", "middle", Target::Running, "kinds_list", none,
       "{S} td 0312345678", nullptr, "", "td", kPhone, kQuick, 0, PhoneKindPicked},
      // The same from a box the target draws itself, whose list is a pop-up of its own holding no capture.
      {"td: search kinds in a list the target draws itself, the phone kind picked", "wide", Target::Running, "kinds_own",
       none, "{S} td 0312345678", nullptr, "", "td", kPhone, kQuick, 0, PhoneKindPicked},
      {"multi td,ud: td screen click covered, silent", "wide", Target::Running, "cover_screen=td", none,
       "{S} td,ud 0312345678", nullptr, "", "ud", kPhone, kQuick, 0, Refused("td", 0)},
      {"multi td,: trailing comma makes it multi, failure silent", "wide", Target::Running, "dialog_never=td", none,
       "{S} td, 0312345678", nullptr, "", "", kPhone, kQuick, 0, nullptr},
      {"multi td,XX: unknown code passed over", "middle", Target::Running, none, none, "{S} td,XX 0312345678",
       nullptr, "", "td", kPhone, kQuick, 0, nullptr},

      // The missing-argument message, per position.
      {"no arguments", "middle", Target::None, none, none, "", "", kMsgMissingPath, "", kPhone, kQuick, 0, nullptr},
      {"install path only", "narrow", Target::None, none, none, "{X}", "{X}", kMsgMissingCodes, "", kPhone, kQuick,
       0, nullptr},
      {"no phone number", "middle", Target::None, none, none, "{X} td", "{X}|td", kMsgMissingPhone, "", kPhone,
       kQuick, 0, nullptr},
      {"codes a single comma: first code empty", "narrow", Target::None, none, none, "{X} , 0312345678",
       "{X}|,|0312345678", kMsgMissingCodes, "", kPhone, kQuick, 0, nullptr},
      {"empty quoted argument moves the number up", "middle", Target::None, none, none, "{X} \"\" 0312345678",
       "{X}|0312345678", kMsgMissingPhone, "", kPhone, kQuick, 0, nullptr},
      {"empty quoted first argument", "narrow", Target::None, none, none, "\"\" {X} td", "{X}|td", kMsgMissingPhone,
       "", kPhone, kQuick, 0, nullptr},
      {"unquoted path with a blank, nothing else", "middle", Target::None, none, none, "{B}",
       "{W}\\Program|Files\\ソフト\\standin.exe",
       kMsgMissingPhone, "", kPhone, kQuick, 0, nullptr},

      // Fault storms: each ends in the specified behaviour with pelmora gone.
      {"storm: target ends at the first dialog click", "narrow", Target::Running, "exit_at_click=1", none,
       "{S} td 0312345678", nullptr, kMsgTdNoField, "", kPhone, kQuick, 0, TargetEnded},
      {"storm: target ends at the last dialog click", "wide", Target::Running, "exit_at_click=3", none,
       "{S} td 0312345678", nullptr, "", "", kPhone, kQuick, kAnyBoxOrNone, TargetEnded},
      {"storm: dialog closed between the clicks", "narrow", Target::Running, "close_at_click=2", none,
       "{S} td 0312345678", nullptr, kMsgTdNoField, "", kPhone, kQuick, 0,
       [](Result& r) {
         bool closed = false;
         for (const Event& e : r.events) closed |= e.Get("ev") == "dialog_closed";
         r.Expect(closed, "the dialog did not close");
       }},
      // Still answering nothing after its 15 s, it counts as hung: not waited for further.
      {"storm: target busy 20 s, pelmora waits its 15 s, then reports it", "middle", Target::Running, "busy=20000",
       none, "{S} td 0312345678", nullptr, kMsgNotAnswering, "", kPhone, kSlow, 0,
       [](Result& r) { r.Expect(r.elapsedMs >= 15000, "ended after " + std::to_string(r.elapsedMs) + " ms"); }},
      {"storm: a 4 KB phone number arrives whole", "middle", Target::Running, none, none,
       "{S} td " + LongNumber(), nullptr, "", "td", LongNumber(), kQuick, 0, nullptr},
      // Two jobs at once run one after the other, whichever starts first.
      {"storm: a second pelmora starts 300 ms after the first, lookups kept", "wide", Target::Running,
       "keep_lookups", none, "{S} td,ud 0312345678", nullptr, "", "", kPhone, kSlow, kNoTypingCheck,
       SearchedOnce({std::string("td ") + kPhone, std::string("ud ") + kPhone, std::string("td ") + kOtherPhone,
                     std::string("ud ") + kOtherPhone}),
       std::string("{S} td,ud ") + kOtherPhone},
      {"storm: td and ud jobs with different numbers started together", "middle", Target::Running, none, none,
       "{S} td 0312345678", nullptr, "", "", kPhone, kSlow, kNoTypingCheck,
       SearchedOnce({std::string("td ") + kPhone, std::string("ud ") + kOtherPhone}),
       std::string("{S} ud ") + kOtherPhone, -1, -1, {}, nullptr, 0},

      // The support trace and patience, switched on by a settings file beside the program.
      {"settings file: trace of a typical job, patience 2", "middle", Target::Running, none, none,
       "{S} td,ud 0312345678", nullptr, "", "td,ud", kPhone, kQuick, kCheckClicks | kTraced, TraceReadBack},
      // A new version of the target, and the settings that match it: the number still arrives.
      {"new version: another class, td's field moved, matching settings", "wide", Target::Running, "new_version", none,
       "{S} td 0312345678", nullptr, "", "td", kPhone, kQuick, kTraced | kNewVersion, nullptr},
      // Settings in UTF-8 (Notepad's default): the renamed screen found by the title given there.
      {"settings in UTF-8: a renamed screen found by its title there", "wide", Target::Running, "renamed", none,
       "{S} td 0312345678", nullptr, "", "td", kPhone, kQuick, kTraced | kUtf8, [](Result& r) {
         const std::string trace = Slurp(TracedDir() + "\\pelmora-trace.log");
         r.Expect(trace.find("] settings: pelmora.ini, UTF-8\r\n") != std::string::npos, "trace names no UTF-8");
         r.Expect(trace.find("] settings [screen td] title1=\"得意先台帳 (新規入力)\"\r\n") != std::string::npos,
                  "trace names no new title");
       }},
      // Wine's input desktop is the caller's own: on one named Winlogon, as a locked
      // workstation's, pelmora waits and touches nothing, and its trace says why.
      {"started on the Winlogon desktop: waits, touching nothing", "middle", Target::Running, none, none,
       "{S} td 0312345678", nullptr, "", "", kPhone, 4000, kTraced | kStillWaits, WaitedOnWinlogon, "", -1,
       -1, {}, "Winlogon"},

      // Two monitors: the class comes from the one holding the target, whichever it is.
      {"dual: target on the wide second monitor gets the wide offsets", "dual", Target::Running, "left=1400,top=100",
       none, "{S} td,tm,ud 0312345678", nullptr, "", "td,tm,ud", kPhone, kQuick, kCheckClicks | kTraced,
       OnMonitor("\\\\.\\DISPLAY2", "] monitor \"\\\\.\\DISPLAY2\" 1920x1080 at (1280,0) ratio 1.778 aspect class wide\r\n"),
       "", -1, 2},
      {"dual: target on the narrow primary gets the narrow offsets", "dual", Target::Running, none, none,
       "{S} td,tm,ud 0312345678", nullptr, "", "td,tm,ud", kPhone, kQuick, kCheckClicks, OnMonitor("\\\\.\\DISPLAY1"),
       "", -1, 0},
      // A hand on the mouse, pulling the cursor onto another program's window on the other
      // monitor all through the job: every click still lands on its point.
      {"dual: a hand on the mouse, target on the second monitor", "dual", Target::Running, "left=1400,top=100", none,
       "{S} td,ud 0312345678", nullptr, "", "td,ud", kPhone, kQuick, kCheckClicks, OnMonitor("\\\\.\\DISPLAY2"), "",
       -1, 2, {100, 650, 500, 850}},
      {"dual: a hand on the mouse, target on the primary", "dual", Target::Running, none, none,
       "{S} td,ud 0312345678", nullptr, "", "td,ud", kPhone, kQuick, kCheckClicks, OnMonitor("\\\\.\\DISPLAY1"), "",
       -1, 0, {2000, 500, 2400, 700}},
  };
  return v;
}

const char* const kVersionCheck = "version resource matches the build";
const char* const kReaderCheck = "settings reader reads an ANSI file as Windows does";

// A name list as GetPrivateProfileStringA gives it (sections, or a section's keys), "|"-joined.
std::string Joined(const std::vector<std::string>& names) {
  std::string all;
  for (const std::string& name : names) all += name + "|";
  return all;
}

// The program's own settings reader against Windows' profile functions on an ANSI file of
// every case the two must read alike: comments, blanks, repeated keys and sections,
// quotes, letter case, double-byte names with a 0x5C trail byte.
std::string CheckReader() {
  const std::string text =
      "; comment\r\n[Trace]\r\n file = a.log \r\nFILE=b.log\r\n;file=c.log\r\n\r\n\t\r\n[screen td]\r\n"
      "title1=\"得意先台帳 (新規)\"\r\ntitle2='表'\r\ntitle3=\"a\r\nmenu1\r\n =v\r\nlookup =  x y  \r\nwide==1\r\n"
      "[ spaced ]\r\nk=1\r\n[SCREEN TD]\r\nnarrow=1,2\r\n[broken\r\nmiddle=3\r\n[a]b] c\r\nk=\"\"\r\n"
      "[表]\r\nソ=表\n\nx=\"'\r\r\ny=\"\"\"\r\n[trace]\r\nlast=1\r\n[]\r\nz=0";
  const std::string ini = g.work + "\\reader.ini";
  FILE* f = fopen(ini.c_str(), "wb");
  if (!f || fwrite(text.data(), 1, text.size(), f) != text.size()) return "cannot write " + ini;
  fclose(f);
  const pelmora::TSettingsFile own(text);
  const auto windows = [&](const char* section, const char* key) {
    char value[4096];
    const DWORD n = GetPrivateProfileStringA(section, key, "", value, sizeof value, ini.c_str());
    std::string got(value, n);
    if (key == nullptr) std::replace(got.begin(), got.end(), '\0', '|');
    return got;
  };
  std::string why;
  const auto same = [&](const std::string& what, const std::string& mine, const std::string& theirs) {
    if (mine != theirs) why += what + ": \"" + mine + "\" where Windows gives \"" + theirs + "\"; ";
  };
  same("sections", Joined(own.Names(nullptr)), windows(nullptr, nullptr));
  // Names as the program asks for them: never with blanks around.
  for (const char* section : {"Trace", "trace", "screen td", "SCREEN TD", "spaced", "broken", "a]b", "表", "", "none"}) {
    same(std::string("keys of ") + section, Joined(own.Names(section)), windows(section, nullptr));
    for (const char* key : {"file", "FILE", "title1", "title2", "title3", "menu1", "", "lookup", "wide", "k", "narrow",
                            "middle", "ソ", "x", "y", "last", "z"}) {
      bool lacking = false;
      same(std::string(section) + "/" + key, own.Value(section, key, lacking), windows(section, key));
    }
  }
  return why;
}

// The version resource must carry the build's project version, as numbers and as text.
std::string CheckVersion(const std::string& exe) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  if (size == 0) return "no version resource";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(exe.c_str(), 0, size, data.data())) return "version resource unreadable";
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &len) || !fixed) {
    return "no fixed version information";
  }
  const std::string numbers = Format("%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                                     HIWORD(fixed->dwFileVersionLS));
  const std::string product = Format("%u.%u.%u", HIWORD(fixed->dwProductVersionMS),
                                     LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS));
  if (numbers != PELMORA_VERSION || product != PELMORA_VERSION) {
    return "file version " + numbers + ", product version " + product + ", build " + PELMORA_VERSION;
  }
  for (const auto& [key, expected] : {std::pair<const char*, std::string>{"FileVersion", PELMORA_VERSION},
                                      {"ProductVersion", PELMORA_VERSION},
                                      {"ProductName", "Pelmora"}}) {
    char* text = nullptr;
    const std::string path = std::string("\\StringFileInfo\\041104B0\\") + key;
    if (!VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &len) || !text ||
        expected != text) {
      return std::string(key) + " is \"" + (text ? text : "") + "\", expected \"" + expected + "\"";
    }
  }
  return "";
}

#include "check_scenarios.inc"

int Usage() {
  fprintf(stderr, "usage: e2e --pelmora EXE --standin EXE --work DIR --group wide|middle|narrow|dual [--expect N] "
                  "[--only NAME] [--check EXE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string group, only;
  int expect = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i], v = argv[i + 1];
    if (k == "--pelmora") g.pelmora = v;
    else if (k == "--standin") g.standin = v;
    else if (k == "--work") g.work = v;
    else if (k == "--group") group = v;
    else if (k == "--expect") expect = atoi(v.c_str());
    else if (k == "--only") only = v;
    else if (k == "--check") g_check = v;
    else return Usage();
  }
  if (g.pelmora.empty() || g.standin.empty() || g.work.empty() || group.empty()) return Usage();
  setvbuf(stdout, nullptr, _IONBF, 0);

  const Group* grp = nullptr;
  for (const Group& gr : kGroups)
    if (group == gr.name) grp = &gr;
  if (!grp) return Usage();
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  if (w != grp->width || h != grp->height) {
    Print(Format("FAIL screen is %dx%d, group %s needs %dx%d\n0 passed, 1 failed\n", w, h, group.c_str(),
                 grp->width, grp->height));
    return 1;
  }
  const int monitors = GetSystemMetrics(SM_CMONITORS), vw = GetSystemMetrics(SM_CXVIRTUALSCREEN),
            vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (group == "dual" && (monitors != 2 || vw != kDualDesktop.cx || vh != kDualDesktop.cy)) {
    Print(Format("FAIL %d monitors on a %dx%d desktop, group dual needs 2 on %ldx%ld\n0 passed, 1 failed\n", monitors,
                 vw, vh, kDualDesktop.cx, kDualDesktop.cy));
    return 1;
  }

  // A copy of the stand-in under a folder with a blank and double-byte name.
  CreateDirectoryA(g.work.c_str(), nullptr);
  std::string dir = g.work + "\\Program Files";
  CreateDirectoryA(dir.c_str(), nullptr);
  dir += "\\ソフト";
  CreateDirectoryA(dir.c_str(), nullptr);
  g.blank = dir + "\\standin.exe";
  CopyFileA(g.standin.c_str(), g.blank.c_str(), FALSE);
  g.missing = g.work + "\\absent\\standin.exe";

  int passed = 0, failed = 0, index = 0;
  if (group == "wide" && (only.empty() || only == kVersionCheck)) {
    const std::string why = CheckVersion(g.pelmora);
    (why.empty() ? passed : failed)++;
    Print(Format("%s %-60s\n", why.empty() ? "PASS" : "FAIL", kVersionCheck));
    if (!why.empty()) Print("       " + why + "\n");
  }
  if (group == "wide" && (only.empty() || only == kReaderCheck)) {
    const std::string why = CheckReader();
    (why.empty() ? passed : failed)++;
    Print(Format("%s %-60s\n", why.empty() ? "PASS" : "FAIL", kReaderCheck));
    if (!why.empty()) Print("       " + why + "\n");
  }
  for (const Scenario& s : Scenarios()) {
    ++index;
    if (group != s.group || (!only.empty() && only != s.name)) continue;
    g_aspect = s.aspect >= 0 ? s.aspect : grp->aspect;
    Result r = Run(s, index);
    if (r.failures.empty()) {
      ++passed;
      Print(Format("PASS %-60s %6.1f s\n", s.name, r.elapsedMs / 1000.0));
    } else {
      ++failed;
      Print(Format("FAIL %-60s %6.1f s\n", s.name, r.elapsedMs / 1000.0));
      for (const std::string& f : r.failures) Print("       " + f + "\n");
    }
  }
  for (const CheckScenario& c : kCheckScenarios) {
    ++index;
    if (group != (c.western ? "western" : "wide") || g_check.empty() || (!only.empty() && only != c.name)) continue;
    Result r;
    const DWORD start = GetTickCount();
    RunCheckScenario(c, index, r);
    (r.failures.empty() ? passed : failed)++;
    Print(Format("%s %-60s %6.1f s\n", r.failures.empty() ? "PASS" : "FAIL", c.name, (GetTickCount() - start) / 1000.0));
    for (const std::string& f : r.failures) Print("       " + f + "\n");
  }
  int run = passed + failed;
  if (expect >= 0 && run != expect) Print(Format("ran %d scenarios, expected %d\n", run, expect));
  Print(Format("%d passed, %d failed\n", passed, failed));
  return failed || run == 0 || (expect >= 0 && run != expect) ? 1 : 0;
}
