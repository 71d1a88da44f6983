// One scenario's run: the stand-in and pelmora started, pelmora's error boxes read and
// answered, its window's facts, and the stand-in's record judged.
#include "tests/e2e/runner.h"

namespace e2e {

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

}  // namespace e2e
