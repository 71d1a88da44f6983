// The work phase: a whole job against the stand-in, timed from the target's record, next to
// the sum of the pauses the program must make on that path.
#include "bench.h"

namespace bench {

struct Event {
  long t;
  std::string text;
};

std::vector<Event> ReadRecord(const std::string& path) {
  std::vector<Event> events;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 2, "t=") != 0) continue;
    size_t sp = line.find(' ');
    size_t sp2 = sp == std::string::npos ? sp : line.find(' ', sp + 1);  // after pid=
    if (sp2 == std::string::npos) continue;
    events.push_back({atol(line.c_str() + 2), line.substr(sp2 + 1)});
  }
  return events;
}

int FindFrom(const std::vector<Event>& ev, int from, const std::string& prefix) {
  for (int i = std::max(from, 0); i < (int)ev.size(); ++i)
    if (ev[i].text.compare(0, prefix.size(), prefix) == 0) return i;
  return -1;
}

struct Searches {
  int made = 0;    // as the record's timing shows
  int needed = 0;  // as the window's appearance requires
  long gap = 0;    // from the request to the window's appearance
};

// The program searches right after its request (at the target's record of it,
// t_ask) and then every 100 ms until found; the search after the window appeared is
// the last one needed. `fixed` is the pause between finding and the next recorded action.
Searches CountSearches(long tAsk, long tAppear, long tNext, long fixed) {
  Searches s;
  s.gap = tAppear - tAsk;
  s.made = std::max(1L, std::lround((tNext - tAsk - fixed) / 100.0));
  // The first search fails unless the window came at once: the request was only
  // just posted. Each later search at tAsk + j*100 fails if it came before the window.
  long failedLater = std::max(0L, (long)std::ceil((tAppear - tAsk) / 100.0) - 1);
  s.needed = s.made == 1 ? 1 : std::min(s.made, 2 + (int)failedLater);
  return s;
}

// From the restore request to the last Enter, and the floor of the same path.
void Analyse(const std::vector<Event>& ev, const std::vector<std::string>& screens, WorkRun& run) {
  int restore = FindFrom(ev, 0, "syscommand cmd=0xF120");
  if (restore < 0) {
    run.error = "no restore request recorded";
    return;
  }
  double floor = 100;  // after the restore
  int cursor = restore;
  for (size_t k = 0; k < screens.size(); ++k) {
    const std::string& s = screens[k];
    int open = FindFrom(ev, cursor, "open screen=" + s + " ");
    int click = FindFrom(ev, cursor, "click win=" + s + " ");
    if (click < 0) {
      run.error = "no click into " + s;
      return;
    }
    std::string counts, gaps;
    if (open >= 0 && open < click) {
      int ask = -1;  // the second menu key, the last key-down to the main window before the screen
      for (int i = open; i > cursor; --i)
        if (ev[i].text.compare(0, 28, "key win=main ctl=- msg=down ") == 0) {
          ask = i;
          break;
        }
      if (ask < 0) {
        run.error = "no menu key before " + s;
        return;
      }
      Searches n = CountSearches(ev[ask].t, ev[open].t, ev[click].t, 100);
      floor += 100 + 100 + 100.0 * n.needed;  // two menu-key pauses, then the searches
      counts = std::to_string(n.needed);
      if (n.made != n.needed) counts += "(" + std::to_string(n.made) + ")";
      gaps = std::to_string(n.gap);
    } else {
      counts = "-";
      gaps = "-";
    }
    floor += 100 + 100;  // activation, click into the screen
    int f8 = FindFrom(ev, click, "key win=" + s + " ctl=- msg=down vk=0x77");
    int dialog = FindFrom(ev, f8, "dialog screen=" + s + " ");
    int dclick = FindFrom(ev, f8, "click win=dlg_" + s + " ");
    int enter = FindFrom(ev, dclick, "key win=dlg_" + s + " ctl=search msg=down vk=0x0D");
    if (f8 < 0 || dialog < 0 || dclick < 0 || enter < 0) {
      run.error = "incomplete lookup on " + s;
      return;
    }
    Searches n = CountSearches(ev[f8].t, ev[dialog].t, ev[dclick].t, 0);
    floor += 100.0 * n.needed + 3 * 50;
    counts += "/" + std::to_string(n.needed);
    if (n.made != n.needed) counts += "(" + std::to_string(n.made) + ")";
    if (k + 1 < screens.size()) floor += 200;  // after typing; the last one ends the phase
    run.searches += (run.searches.empty() ? "" : " ") + counts;
    run.gaps += (run.gaps.empty() ? "" : " ") + gaps + "/" + std::to_string(n.gap);
    cursor = enter;
  }
  run.work = ev[cursor].t - ev[restore].t;
  run.floor = floor;
  run.ok = true;
}

std::string TempDir() {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  std::string dir = std::string(tmp) + "pelmora-bench-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(GetTickCount());
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

WorkRun MeasureWork(const Options& o, const std::string& record, const std::string& open,
                    const std::vector<std::string>& screens) {
  WorkRun run;
  DeleteFileA(record.c_str());
  std::vector<std::string> vars{"STANDIN_RECORD=" + record};
  if (!open.empty()) vars.push_back("STANDIN_OPEN=" + open);
  std::string env = Environment(vars);
  Child target;
  if (!Launch(target, o.standin, "", env.data())) {
    run.error = "stand-in did not start";
    return run;
  }
  WaitForInputIdle(target.pi.hProcess, 10000);
  HWND main = nullptr;
  for (int i = 0; i < 1000 && !(main && IsWindowVisible(main)); ++i) {
    main = FindWindowOf(target.pi.dwProcessId, "Hanbai15Main", nullptr);
    Sleep(5);
  }
  if (!main) {
    run.error = "stand-in shows no main window";
    return run;
  }
  Sleep(200);  // let the new windows settle before the program's first action

  std::string job;
  for (const std::string& s : screens) job += (job.empty() ? "" : ",") + s;
  Child program;
  const double t0 = NowMs();
  DWORD paintTick = 0;
  if (!Launch(program, o.pelmora, Quote(o.standin) + " " + job + " " + PhoneNumber, nullptr)) {
    run.error = "pelmora.exe did not start";
    return run;
  }
  // Start-up within the full job too: the job follows the painting at once and blocks
  // the program's thread, so this shows whether the text is on screen before the job acts.
  for (double until = NowMs() + 5000; !program.Ended() && NowMs() < until; Sleep(1)) {
    HWND w = FindWindowOf(program.pi.dwProcessId, "TfrmPelmora", "Pelmora");
    HWND memo = w && IsWindowVisible(w) ? GetDlgItem(w, 1) : nullptr;
    if (memo && std::isnan(run.startupVisible)) run.startupVisible = NowMs() - t0;
    if (memo && Painted(memo)) {
      run.startup = NowMs() - t0;
      paintTick = GetTickCount();
      break;
    }
    program.Sample();
  }
  if (!program.WaitEnd(60000)) run.error = "pelmora.exe did not end";
  run.peak = program.peak;
  program.Finish();

  PostMessageA(main, WM_CLOSE, 0, 0);
  target.WaitEnd(5000);
  target.Finish();
  if (!run.error.empty()) return run;
  std::vector<Event> events = ReadRecord(record);
  Analyse(events, screens, run);
  int restore = FindFrom(events, 0, "syscommand cmd=0xF120");
  if (paintTick && restore >= 0) run.paintLead = (long)(events[restore].t - paintTick);
  return run;
}

}  // namespace bench
