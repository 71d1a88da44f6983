// Every message: window facts, start-up, per screen, the click guard's refusals, the
// failures silent in multi-screen jobs, missing arguments.
#include "tests/e2e/runner.h"

namespace e2e {

std::vector<Scenario> MessageScenarios() {
  const char* none = "";
  std::vector<Scenario> v = {
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
  };
  return v;
}

}  // namespace e2e
