// pelmora-check under Wine against the stand-in, in the wide group: the default layout
// checked, td's field moved checked, and that layout taught by real clicks, after which a
// job types the number into td's lookup; tm's lookup laid out anew and taught, after which
// jobs on td and ud (the other lookup) and on tm are all searched.
#include "tests/e2e/runner.h"

namespace e2e {

std::string g_check;  // pelmora-check.exe (--check); empty: these scenarios are not run

// pelmora-check.exe and pelmora.exe copied into a folder of their own with a pelmora.ini
// naming the new version's main window class when `newVersion`; the folder.
std::string CheckFolder(const std::string& name, bool newVersion) {
  const std::string dir = g.work + "\\" + name, ini = dir + "\\pelmora.ini";
  CreateDirectoryA(dir.c_str(), nullptr);
  DeleteFileA(ini.c_str());
  if (newVersion) WritePrivateProfileStringA("target", "class", "Hanbai16Main", ini.c_str());
  CopyFileA(g_check.c_str(), (dir + "\\pelmora-check.exe").c_str(), FALSE);
  CopyFileA(g.pelmora.c_str(), (dir + "\\pelmora.exe").c_str(), FALSE);
  return dir;
}

// The report's point lines: "code key" -> "state".
std::map<std::string, std::string> ReportStates(const std::string& path) {
  std::map<std::string, std::string> states;
  for (std::string line : Split(Slurp(path), '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> f = Split(line, '\t');
    if (!line.empty() && line[0] != '#' && f.size() == 5) states[f[0] + " " + f[1]] = f[3];
  }
  return states;
}

// A picture's size from its PNG or BMP header; 0x0 for neither.
SIZE PictureSize(const std::string& path) {
  const std::string b = Slurp(path);
  auto be = [&](size_t i) { return (LONG)((unsigned char)b[i] << 24 | (unsigned char)b[i + 1] << 16 | (unsigned char)b[i + 2] << 8 | (unsigned char)b[i + 3]); };
  auto le = [&](size_t i) { return (LONG)((unsigned char)b[i] | (unsigned char)b[i + 1] << 8 | (unsigned char)b[i + 2] << 16 | (unsigned char)b[i + 3] << 24); };
  if (b.size() > 24 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 && b.compare(12, 4, "IHDR") == 0) return {be(16), be(20)};
  if (b.size() > 26 && b.compare(0, 2, "BM") == 0) return {le(18), labs(le(22))};
  return {0, 0};
}

HWND NewVersionScreen() {
  HWND screen = nullptr;
  if (HWND main = FindWindowExA(nullptr, nullptr, "Hanbai16Main", nullptr)) EnumChildWindows(main, FindScreen, (LPARAM)&screen);
  return screen;
}

// The check window's result text holds `needle` (its `n`th prompt counted by the caller).
bool CheckSays(const char* needle, DWORD ms) {
  for (DWORD end = GetTickCount() + ms; (LONG)(end - GetTickCount()) > 0; Settle(100)) {
    if (WindowText(GetDlgItem(FindWindowExA(nullptr, nullptr, "TfrmPelmoraCheck", nullptr), 7)).find(needle) != std::string::npos) return true;
  }
  return false;
}

// A person's click: real input at a point of the screen, as remote support sends it too.
void RealClick(HWND window, POINT offset) {
  RECT r;
  GetWindowRect(window, &r);
  SetCursorPos(r.left + offset.x, r.top + offset.y);
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
  mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
}

// The administrator teaching the screen's field at `at` and its lookup's points, `lower` px lower.
void TeachByClicks(Result& r, bool newVersion, POINT at, LONG lower) {
  HWND screen = CheckSays("F8", 30000) ? (newVersion ? NewVersionScreen() : TargetScreen()) : nullptr;
  r.Expect(screen != nullptr, "no prompt for the screen's click");
  RealClick(screen, at);
  const char* const prompts[] = {"1番目", "2番目", "3番目"};
  for (int i = 0; i < 3; ++i) {
    r.Expect(CheckSays(prompts[i], 20000) && TargetLookup(), std::string("no prompt for lookup point ") + prompts[i]);
    RealClick(TargetLookup(), {kDialogClicks[i].offset.x, kDialogClicks[i].offset.y + lower});
  }
}

// The check picked the phone kind in every lookup, as the job would, and searched nothing.
void PhoneKindPickedUnsearched(Result& r) {
  int picked = 0, other = 0;
  for (const Event& e : r.events) {
    if (e.Get("ev") == "kind") (e.Get("picked") == "phone" ? picked : other)++;
    r.Expect(e.Get("ev") != "search", "the check started a search");
  }
  r.Expect(picked == 3 && other == 0, Format("the phone kind picked %d times, another %d", picked, other));
}

// Started in another code page, the check shows its message before anything else: answered here.
void AnswerCodePageBox(DWORD pid, Result& r) {
  const wchar_t* const message = L"日本語ではないため、確認できません";
  std::vector<HWND> boxes;
  wchar_t w[512] = L"";  // read wide: this runner's own code page is not 932 either
  // The box is found as soon as it exists, its text only once its controls are made.
  for (int i = 0; i < 200 && wcsstr(w, message) == nullptr; ++i) {
    if (i > 0) Settle(50);
    boxes = TopWindowsOf(pid, "#32770");
    for (HWND s : boxes.empty() ? boxes : ChildrenOf(boxes[0])) if ((GetDlgCtrlID(s) & 0xFFFF) == 0xFFFF) GetWindowTextW(s, w, 512);
  }
  for (HWND b : boxes) PostMessageA(b, WM_COMMAND, IDOK, 0);
  r.Expect(wcsstr(w, message) != nullptr, "no message of the code page");
}

void RunCheckScenario(const CheckScenario& c, int index, Result& r) {
  const bool newVersion = c.fault != nullptr && strstr(c.fault, "new_version") != nullptr;
  const std::string dir = CheckFolder(Format("check%d", index), newVersion), out = dir + "\\out";
  // The teach's file, UTF-8 with Japanese comments and hidden, must stay so; its .bak the file as it was.
  const std::string ini = dir + "\\pelmora.ini", before = u8"; 弥生販売 16\r\n[target]\r\n; 主画面\r\nclass=Hanbai16Main\r\n";
  if (c.teach) DeleteFileA((ini + ".bak").c_str());
  FILE* f = c.teach && newVersion ? fopen(ini.c_str(), "wb") : nullptr;
  if (f) fwrite(before.data(), 1, before.size(), f), fclose(f), SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_HIDDEN);
  const std::string record = dir + "\\standin.rec";
  DeleteFileA(record.c_str());
  SetEnv("STANDIN_RECORD", record.c_str());
  SetEnv("STANDIN_FAULT", c.fault);
  SetEnv("STANDIN_OPEN", nullptr);
  PROCESS_INFORMATION pi;
  if (!Launch(g.standin, "", pi) || !WaitForRecord(record, " ready ", 20000)) return r.Fail("stand-in not ready");
  CloseHandle(pi.hThread), CloseHandle(pi.hProcess);
  const size_t recorded = Slurp(record).size();
  const std::string codes = c.teach ? "/teach \"" + g.standin + "\" " + c.taught : "\"" + g.standin + "\" td,tm,ud";
  const POINT at = newVersion ? POINT{188, 186} : ScreenClickOffset(c.taught);  // td's field 60 px lower there
  DWORD code = 99;
  if (!Launch(dir + "\\pelmora-check.exe", "/out:\"" + out + "\" " + codes, pi)) return r.Fail("cannot start pelmora-check");
  if (c.teach) TeachByClicks(r, newVersion, at, c.fault != nullptr && strstr(c.fault, "lookup_lower") ? 60 : 0);
  if (c.western) AnswerCodePageBox(pi.dwProcessId, r);
  if (WaitForSingleObject(pi.hProcess, 90000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99), r.Fail("pelmora-check did not end");
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread), CloseHandle(pi.hProcess);
  r.Expect((int)code == c.exit, Format("exit code %lu, expected %d", code, c.exit));
  if (c.western) {  // touched nothing: no report, no key or click at the stand-in
    r.Expect(GetFileAttributesA(out.c_str()) == INVALID_FILE_ATTRIBUTES && Slurp(record).size() == recorded, "touched: " + Slurp(record).substr(recorded));
    return KillStandins(record);
  }
  std::map<std::string, std::string> states = ReportStates(out + "\\pelmora-check.txt");
  // A teach checks again every code in force, as the lookup's points may serve them all.
  r.Expect(states.size() == 12u, Format("%u point lines in the report", (unsigned)states.size()));
  for (const auto& [point, state] : states) {
    const auto want = c.states.find(point);
    r.Expect(state == (want == c.states.end() ? "OK" : want->second), point + " is " + state);
  }
  SIZE screen = PictureSize(out + "\\td-screen.png"), lookup = PictureSize(out + "\\td-lookup.png");
  RECT sr = {};
  GetWindowRect(NewVersionScreen() ? NewVersionScreen() : TargetScreen(), &sr);
  r.Expect(screen.cx == sr.right - sr.left && screen.cy == sr.bottom - sr.top,
           Format("td's screen picture %ldx%ld, its window %ldx%ld", screen.cx, screen.cy, sr.right - sr.left, sr.bottom - sr.top));
  r.Expect(c.exit != 0 || (lookup.cx > 0 && lookup.cy > 0), "no picture of td's lookup");
  SyncWith(newVersion ? "Hanbai16Main" : "Hanbai15Main", record, r);
  r.events = ParseRecord(Slurp(record));
  int opened = 0, closed = 0, typed = 0;
  for (const Event& e : r.events) {
    opened += e.Get("ev") == "dialog", closed += e.Get("ev") == "dialog_closed", typed += e.Get("ev") == "char";
  }
  r.Expect(typed == 0 && opened == closed, Format("%d characters typed, %d lookups opened, %d closed", typed, opened, closed));
  if (c.fault != nullptr && strstr(c.fault, "kinds_") != nullptr) PhoneKindPickedUnsearched(r);
  if (c.teach) {
    char value[64] = "";
    GetPrivateProfileStringA(("screen " + std::string(c.taught)).c_str(), "wide", "", value, sizeof value, ini.c_str());
    r.Expect(std::string(value) == Format("%ld,%ld", at.x, at.y), std::string("pelmora.ini holds the wide offset '") + value + "'");
    r.Expect(!newVersion || (Slurp(ini).rfind(before, 0) == 0 && Slurp(ini + ".bak") == before), "pelmora.ini's lines or its .bak changed");
    r.Expect(!newVersion || GetFileAttributesA(ini.c_str()) & FILE_ATTRIBUTE_HIDDEN, "pelmora.ini's attributes lost");
    // The host's jobs now find the taught field, and a lookup not taught keeps its points.
    for (const char* code : newVersion ? std::vector<const char*>{"td"} : std::vector<const char*>{"td", "ud", "tm"}) {
      Scenario job{"", "", Target::Running, c.fault, nullptr, "", nullptr, "", code, kPhone, kQuick, 0, nullptr};
      const size_t seen = ParseRecord(Slurp(record)).size();
      if (!Launch(dir + "\\pelmora.exe", "\"" + g.standin + "\" " + code + " " + kPhone, pi)) return r.Fail("cannot start the job");
      if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1), r.Fail("the job did not end");
      CloseHandle(pi.hThread), CloseHandle(pi.hProcess);
      SyncWith(newVersion ? "Hanbai16Main" : "Hanbai15Main", record, r);
      r.events = ParseRecord(Slurp(record));
      r.events.erase(r.events.begin(), r.events.begin() + (ptrdiff_t)seen);
      CheckTyping(job, r);
    }
  }
  KillStandins(record);
  for (int i = 0; i < 100 && FindWindowExA(nullptr, nullptr, "Hanbai16Main", nullptr); ++i) Settle(50);
}

const std::vector<CheckScenario> kCheckScenarios = {
    {"check: default layout, every point OK, nothing typed", nullptr, false, 0, {}},
    {"check: td's field moved, td's screen point NG", "new_version", false, 1,
     {{"td wide", "NG"}, {"td click1", "SKIP"}, {"td click2", "SKIP"}, {"td click3", "SKIP"}}},
    {"teach: td's moved field and the lookup clicked, then a job finds it", "new_version", true, 0, {}},
    {"teach: tm's lookup laid out anew taught, then td, ud and tm searched", "lookup_lower=tm", true, 0, {}, false, "tm"},
    {"check: search kinds in a drop-down list, the second point on it OK", "kinds_list", false, 0, {}},
    {"check: search kinds in a list the target draws itself, the second point on it OK", "kinds_own", false, 0, {}},
    {"check: code page 1252, its message shown, nothing touched, exit 2", nullptr, false, 2, {}, true},
};

}  // namespace e2e
