// The settings file: the trace read back, a new version of the target, UTF-8, the
// Winlogon desktop, and the settings reader against Windows' profile functions.
#include "tests/e2e/runner.h"

namespace e2e {

// The trace of a typical job under patience 2, read back as a support person would.
void TraceReadBack(Result& r) {
  const std::string trace = Slurp(TracedDir() + "\\pelmora-trace.log");
  const Group& grp = kGroups[g_aspect];
  const std::string says[] = {
      std::string("] start Pelmora ") + PELMORA_VERSION + " program=\"" + TracedDir() + "\\pelmora.exe\"",
      "] settings patience=2\r\n",
      "codes=\"td,ud\" phone=\"******5678\" (10 characters)\r\n",
      "] wait for another job: ",
      " ms), acquired\r\n",
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
  // The lock's bound is stated: the wait ended within it, it covers the whole job the trace
  // tells, and it is a bound (a thousand screens' would take a day), not a number wrapped round.
  unsigned long waited = 0, limit = 0, ended = 0;
  const size_t wait = trace.find("] wait for another job: "), end = trace.rfind("] end\r\n");
  const bool stated = wait != std::string::npos &&
                      sscanf(trace.c_str() + wait, "] wait for another job: %lu ms (limit %lu ms)", &waited, &limit) == 2;
  if (end != std::string::npos) ended = strtoul(trace.c_str() + trace.rfind(" +", end) + 2, nullptr, 10);
  r.Expect(stated && waited <= limit && ended > 0 && ended < limit && limit < 24ul * 3600 * 1000,
           Format("the lock's bound %lu ms for a wait of %lu ms and a job of %lu ms", limit, waited, ended));
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

std::vector<Scenario> SettingsScenarios() {
  const char* none = "";
  std::vector<Scenario> v = {
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
  };
  return v;
}

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

}  // namespace e2e
