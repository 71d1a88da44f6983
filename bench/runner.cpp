// Measures pelmora.exe side by side with its floors and prints one table:
// - work phase: from the target's record of the restore request to the last search's
//   Enter, next to the sum of the pauses the program is bound to make on that path;
// - start-up: launch to the window painted with its arguments, next to bench_window;
// - footprint: file size, imports (given by the caller), peak working set.
// Usage: bench_runner --pelmora EXE --standin EXE --window EXE [--window-shell32 EXE]
//          [--runs N] [--startup-runs N] [--imports "A.dll B.dll"] [--verbose 1]
#include "bench.h"

namespace bench {

// ---- start-up -------------------------------------------------------------

struct Startup {
  double visible = NAN;  // window visible and holding the arguments
  double painted = NAN;  // and its text on the screen
  SIZE_T peak = 0;
};

// Polls from launch until the window (class, title) of the new process holds
// `expected` in `textWindow` (the window itself or its child with that ID) and shows it.
// `answer` then ends the process the way its state asks for.
template <class Answer>
Startup MeasureStartup(const std::string& exe, const std::string& args, const char* cls, const char* title,
                       int childId, const std::string& expected, Answer answer) {
  Startup s;
  Child child;
  double t0 = NowMs();
  if (!Launch(child, exe, args, nullptr)) return s;
  double until = t0 + 20000;
  HWND target = nullptr;
  while (NowMs() < until && !child.Ended()) {
    // A window shown but never seen painted still has to be answered.
    if (!std::isnan(s.visible) && NowMs() > t0 + s.visible + 3000) {
      target = FindWindowOf(child.pi.dwProcessId, cls, title);
      break;
    }
    HWND w = FindWindowOf(child.pi.dwProcessId, cls, title);
    if (w && IsWindowVisible(w)) {
      HWND textWindow = childId ? GetDlgItem(w, childId) : w;
      if (textWindow && std::isnan(s.visible) && TextOf(textWindow) == expected) s.visible = NowMs() - t0;
      if (!std::isnan(s.visible) && Painted(textWindow)) {
        s.painted = NowMs() - t0;
        target = w;
        break;
      }
    }
    child.Sample();
    Sleep(1);
  }
  if (target) answer(child, target);
  if (!child.WaitEnd(10000)) fprintf(stderr, "%s did not end; terminated\n", exe.c_str());
  s.peak = child.peak;
  return s;
}

// ---- report ---------------------------------------------------------------

std::string Fmt(const char* format, double v) {
  char buf[64];
  snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::string Megabytes(SIZE_T bytes) { return Fmt("%.1f MB", bytes / 1048576.0); }

void Row(const std::string& what, const std::string& measured, const std::string& floor,
         const std::string& ratio, const std::string& target, const std::string& note) {
  printf("%-38s %9s %9s %6s %8s  %s\n", what.c_str(), measured.c_str(), floor.c_str(), ratio.c_str(),
         target.c_str(), note.c_str());
}

bool ParseArgs(int argc, char** argv, Options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i], v = argv[i + 1];
    if (k == "--pelmora")
      o.pelmora = v;
    else if (k == "--standin")
      o.standin = v;
    else if (k == "--window")
      o.window = v;
    else if (k == "--window-shell32")
      o.windowShell32 = v;
    else if (k == "--imports")
      o.imports = v;
    else if (k == "--runs")
      o.runs = std::max(1, atoi(v.c_str()));
    else if (k == "--startup-runs")
      o.startupRuns = std::max(1, atoi(v.c_str()));
    else if (k == "--verbose")
      o.verbose = v == "1";
    else
      return false;
  }
  return !o.pelmora.empty() && !o.standin.empty() && !o.window.empty();
}

}  // namespace bench

using namespace bench;

int main(int argc, char** argv) {
  Options o;
  if (!ParseArgs(argc, argv, o)) {
    fprintf(stderr,
            "usage: bench_runner --pelmora EXE --standin EXE --window EXE [--window-shell32 EXE] [--runs N] "
            "[--startup-runs N] [--imports LIST] [--verbose 1]\n");
    return 2;
  }
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  g_qpcPerMs = f.QuadPart / 1000.0;
  setvbuf(stdout, nullptr, _IONBF, 0);

  // Start-up: Pelmora with a missing phone number (it paints its arguments, then
  // reports the gap in its error box, which is answered), against bench_window.
  const std::string pelmoraArgs = Quote(o.standin) + " td";
  const std::string pelmoraText = o.standin + "\r\ntd";
  const std::string windowArgs = "C:\\bench\\target.exe td";
  auto answerBox = [](Child& child, HWND) {
    for (int i = 0; i < 2000; ++i) {
      if (HWND box = FindWindowOf(child.pi.dwProcessId, "#32770", nullptr)) {
        if (IsWindowVisible(box)) {
          PostMessageA(box, WM_COMMAND, IDOK, 0);
          return;
        }
      }
      child.Sample();
      Sleep(5);
    }
  };
  auto closeWindow = [](Child&, HWND w) { PostMessageA(w, WM_CLOSE, 0, 0); };
  struct Series {
    Series(const char* n, std::function<Startup()> f) : name(n), start(std::move(f)) {}
    const char* name;
    std::function<Startup()> start;
    std::vector<double> visible, painted, peaks;
  };
  std::vector<Series> series;
  series.emplace_back("pelmora", [&] {
    return MeasureStartup(o.pelmora, pelmoraArgs, "TfrmPelmora", "Pelmora", 1, pelmoraText, answerBox);
  });
  series.emplace_back("window", [&] {
    return MeasureStartup(o.window, windowArgs, "PelmoraBenchWindow", "Bench", 0, "Bench", closeWindow);
  });
  if (!o.windowShell32.empty())
    series.emplace_back("window+shell32", [&] {
      return MeasureStartup(o.windowShell32, windowArgs, "PelmoraBenchWindow", "Bench", 0, "Bench",
                            closeWindow);
    });
  for (Series& p : series) p.start();  // warm-up: the first starts fill caches the later ones use
  fprintf(stderr, "start-up: %d runs each\n", o.startupRuns);
  // Pelmora over each floor within the same round: robust against load that drifts.
  std::vector<std::vector<double>> paired(series.size());
  for (int i = 0; i < o.startupRuns; ++i) {
    // Interleaved, the order turning each round, so that load from elsewhere falls on all alike.
    std::vector<Startup> round(series.size());
    for (size_t k = 0; k < series.size(); ++k) {
      size_t j = (k + i) % series.size();
      round[j] = series[j].start();
    }
    for (size_t j = 0; j < series.size(); ++j) {
      Series& p = series[j];
      if (!std::isnan(round[j].visible)) p.visible.push_back(round[j].visible);
      if (!std::isnan(round[j].painted)) p.painted.push_back(round[j].painted);
      if (round[j].peak) p.peaks.push_back((double)round[j].peak);
      if (o.verbose)
        fprintf(stderr, "start-up %2d: %s %.1f ms ready, %.1f ms shown\n", i + 1, p.name, round[j].visible,
                round[j].painted);
    }
    for (size_t j = 1; j < series.size(); ++j)
      if (!std::isnan(round[0].painted) && !std::isnan(round[j].painted))
        paired[j].push_back(round[0].painted / round[j].painted);
  }

  struct Case {
    const char* name;
    const char* open;
    std::vector<std::string> screens;
    std::vector<double> work, floor, ratio;
    std::vector<std::string> searches;
    int failed = 0;
  };
  std::vector<Case> cases = {{"td, screen already open", "td", {"td"}, {}, {}, {}, {}, 0},
                             {"td, screen opened by menu", "", {"td"}, {}, {}, {}, {}, 0},
                             {"td,ud, both opened by menu", "", {"td", "ud"}, {}, {}, {}, {}, 0}};
  std::string dir = TempDir();
  SIZE_T workPeak = 0;
  std::vector<double> jobStartup, paintLeads, jobFloor, jobRatio;
  std::vector<double> workPeaks;
  fprintf(stderr, "work phase: %d runs each\n", o.runs);
  for (int i = 0; i < o.runs; ++i) {
    for (Case& c : cases) {
      // Records of failed runs, and with --verbose all, are kept for a look.
      const std::string record =
          dir + "\\record-" + std::to_string(&c - &cases[0] + 1) + "-" + std::to_string(i + 1) + ".txt";
      WorkRun r = MeasureWork(o, record, c.open, c.screens);
      if (r.ok && !o.verbose) DeleteFileA(record.c_str());
      if (!r.ok) {
        ++c.failed;
        fprintf(stderr, "%s: run %d failed: %s (record %s)\n", c.name, i + 1, r.error.c_str(),
                record.c_str());
        continue;
      }
      // Every run with --verbose; otherwise those far off the target, to tell load from cost.
      if (o.verbose || r.work > r.floor * 1.1)
        fprintf(stderr,
                "%s run %d: %.0f ms, floor %.0f ms, searches %s, ms to window %s, peak %s; window visible at "
                "%.1f ms, text shown at %.1f ms, %ld ms before the restore\n",
                c.name, i + 1, r.work, r.floor, r.searches.c_str(), r.gaps.c_str(), Megabytes(r.peak).c_str(),
                r.startupVisible, r.startup, r.paintLead);
      c.work.push_back(r.work);
      if (!std::isnan(r.startup)) {
        // Its floor measured right after, under the same load from elsewhere.
        Startup w = series[1].start();
        jobStartup.push_back(r.startup);
        paintLeads.push_back((double)r.paintLead);
        if (!std::isnan(w.painted)) {
          jobFloor.push_back(w.painted);
          jobRatio.push_back(r.startup / w.painted);
        }
      }
      c.floor.push_back(r.floor);
      c.ratio.push_back(r.work / r.floor);
      c.searches.push_back(r.searches);
      workPeak = std::max(workPeak, r.peak);
      workPeaks.push_back((double)r.peak);
    }
  }
  if (!RemoveDirectoryA(dir.c_str())) fprintf(stderr, "records kept in %s\n", dir.c_str());

  printf("Pelmora benchmark under Wine: medians; work phase %d runs per path, start-up %d runs each.\n",
         o.runs, o.startupRuns);
  printf("Ratios are medians of per-run ratios (start-up: each run against the floor run beside it).\n\n");
  Row("Measure", "measured", "floor", "ratio", "target", "note");
  Row("-------", "--------", "-----", "-----", "------", "----");
  for (Case& c : cases) {
    // The most frequent search pattern, as "screen/dialog" per screen ("-": already open).
    std::string common;
    int best = 0;
    for (const std::string& s : c.searches) {
      int n = (int)std::count(c.searches.begin(), c.searches.end(), s);
      if (n > best) best = n, common = s;
    }
    std::string note = "searches " + common;
    if (c.failed) note += ", " + std::to_string(c.failed) + " runs failed";
    if (!c.ratio.empty()) note += Fmt(", ratio max %.3f", *std::max_element(c.ratio.begin(), c.ratio.end()));
    Row("Work phase: " + std::string(c.name), Fmt("%.0f ms", Median(c.work)), Fmt("%.0f ms", Median(c.floor)),
        Fmt("%.3f", Median(c.ratio)), "<= 1.05", note);
  }
  auto best = [](const std::vector<double>& v) {
    return v.empty() ? NAN : *std::min_element(v.begin(), v.end());
  };
  const Series &pel = series[0], &win = series[1];
  double pp = Median(pel.painted), wp = Median(win.painted);
  Row("Start-up: launch to text shown", Fmt("%.0f ms", pp), Fmt("%.0f ms", wp),
      Fmt("%.3f", Median(paired[1])), "<= 1.1",
      "floor bench_window; ratio of medians " + Fmt("%.3f", pp / wp) + Fmt(", best %.0f", best(pel.painted)) +
          Fmt(" vs %.0f ms", best(win.painted)));
  if (series.size() > 2) {
    double sp = Median(series[2].painted);
    Row("Start-up: floor importing shell32", Fmt("%.0f ms", pp), Fmt("%.0f ms", sp),
        Fmt("%.3f", Median(paired[2])), "",
        "floor bench_window_shell32, importing shell32 as pelmora.exe no longer does" +
            Fmt("; best %.0f ms", best(series[2].painted)));
  }
  double pj = Median(jobStartup), jw = Median(jobFloor);
  Row("Start-up: same, in the full jobs", Fmt("%.0f ms", pj), Fmt("%.0f ms", jw),
      Fmt("%.3f", Median(jobRatio)), "",
      Fmt("text shown %.0f ms before the restore request", Median(paintLeads)));
  double pv = Median(pel.visible), wv = Median(win.visible);
  Row("Start-up: launch to window ready", Fmt("%.0f ms", pv), Fmt("%.0f ms", wv), Fmt("%.3f", pv / wv), "",
      "visible, text readable by WM_GETTEXT; ratio of medians");
  HANDLE file =
      CreateFileA(o.pelmora.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER size{};
  if (file != INVALID_HANDLE_VALUE) {
    GetFileSizeEx(file, &size);
    CloseHandle(file);
  }
  Row("Footprint: pelmora.exe size", Fmt("%.1f KB", size.QuadPart / 1024.0), "", "", "< 300 KB",
      Fmt("%.0f bytes", (double)size.QuadPart));
  Row("Footprint: peak working set", Megabytes((SIZE_T)Median(workPeaks)),
      Megabytes((SIZE_T)Median(win.peaks)), "", "< 8 MB",
      "full jobs, max " + Megabytes(workPeak) + "; floor bench_window; pelmora adds " +
          Megabytes((SIZE_T)std::max(0.0, Median(workPeaks) - Median(win.peaks))));
  if (!o.imports.empty()) printf("Imports of pelmora.exe: %s\n", o.imports.c_str());
  int failed = 0;
  for (const Case& c : cases) failed += c.failed;
  for (const Series& p : series)
    if (p.painted.empty()) failed++;
  return failed ? 1 : 0;
}
