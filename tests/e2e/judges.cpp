// What a scenario's record must show: the boxes, the typing, the clicks, and the judges
// the scenario tables name.
#include "tests/e2e/runner.h"

namespace e2e {

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

}  // namespace e2e
