// What the benchmark runner's parts share: its options, the processes it starts and
// times, and the work phase's measure.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Options {
  std::string pelmora, standin, window, windowShell32, imports;
  int runs = 7;
  int startupRuns = 31;
  bool verbose = false;
};

const char* const PhoneNumber = "0312345678";

extern double g_qpcPerMs;

double NowMs();
double Median(std::vector<double> v);
std::string Quote(const std::string& s);

// A process this runner started, with the highest peak working set seen while it ran
// (the counters are gone once it has ended).
struct Child {
  PROCESS_INFORMATION pi{};
  SIZE_T peak = 0;
  bool running = false;

  void Sample() {
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    if (GetProcessMemoryInfo(pi.hProcess, &c, sizeof c)) peak = std::max(peak, c.PeakWorkingSetSize);
  }
  bool Ended() { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }
  // Waits for the end while sampling; false on time-out.
  bool WaitEnd(DWORD timeoutMs) {
    double until = NowMs() + timeoutMs;
    while (NowMs() < until) {
      Sample();
      if (WaitForSingleObject(pi.hProcess, 5) == WAIT_OBJECT_0) return true;
    }
    return false;
  }
  void Finish() {
    if (!running) return;
    if (!Ended()) {
      TerminateProcess(pi.hProcess, 1);
      WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    running = false;
  }
  ~Child() { Finish(); }
};

bool Launch(Child& child, const std::string& exe, const std::string& args, const char* env);
std::string Environment(const std::vector<std::string>& extra);
HWND FindWindowOf(DWORD pid, const char* cls, const char* title);
bool Painted(HWND hwnd);
std::string TextOf(HWND hwnd);

struct WorkRun {
  bool ok = false;
  double work = 0, floor = 0;
  std::string searches;  // per screen: screen searches/dialog searches
  std::string gaps;      // per screen: ms from request to window, screen/dialog
  SIZE_T peak = 0;
  double startupVisible = NAN;  // launch to the window visible
  double startup = NAN;         // launch to the memo's text on the screen
  long paintLead = 0;           // from that to the restore request, by both processes' tick count
  std::string error;
};

std::string TempDir();
WorkRun MeasureWork(const Options& o, const std::string& record, const std::string& open,
                    const std::vector<std::string>& screens);

}  // namespace bench
