// Fault storms: the target ended, closed or busy mid-job, a 4 KB number, two jobs at once.
#include "tests/e2e/runner.h"

namespace e2e {

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

std::vector<Scenario> StormScenarios() {
  const char* none = "";
  std::vector<Scenario> v = {
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
  };
  return v;
}

}  // namespace e2e
