// Typical jobs, lookups left open or shown again, a loaded PC; and two monitors.
#include "tests/e2e/runner.h"

namespace e2e {

std::vector<Scenario> JobScenarios() {
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
  };
  return v;
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

std::vector<Scenario> DualScenarios() {
  const char* none = "";
  std::vector<Scenario> v = {
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

}  // namespace e2e
