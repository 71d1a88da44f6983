// The job fuzz target's world: the target's script read from the knob bytes, and the
// timed faults that strike it mid-job.
#include "tests/fuzz/job_fuzz.h"

namespace job_fuzz {

std::string LookupTitleFor(const std::string& code) {
  if (code == "td" || code == "ud") return CustomerLookup;
  if (code == "tm") return BillingLookup;
  return {};
}

TPoint FieldPoint(TSimDesktop& desktop, const TSimTarget& target) {
  const TRect r = target.Dialog ? desktop.Window(target.Dialog).Rect : DefaultDialog;
  return {r.Left + FieldOffset.X, r.Top + FieldOffset.Y};
}

TRect Around(TPoint p) { return {p.X - 30, p.Y - 10, p.X + 30, p.Y + 10}; }

void SetVisible(TSimDesktop& desktop, TWindow window, bool visible) {
  if (window != 0) desktop.Window(window).Visible = visible;
}

// One timed fault. The low four bits choose the kind, the high four a parameter.
void Storm(TSimDesktop& desktop, TSimTarget& target, std::uint8_t kind) {
  const int arg = kind >> 4;
  const TWindow screen = target.ScreenWindow(ScreenTitles[arg % ScreenTitleCount]);
  switch (kind & 15) {
    case 0: if (target.Main) desktop.Destroy(target.Main); break;
    case 1: if (target.MdiClient) desktop.Destroy(target.MdiClient); break;
    case 2: if (target.Dialog) desktop.Destroy(target.Dialog); break;  // the user closes it
    case 3: if (target.Field) desktop.Destroy(target.Field); break;
    case 4: if (screen) desktop.Destroy(screen); break;
    case 5: SetVisible(desktop, target.Dialog, false); break;
    case 6: SetVisible(desktop, target.Dialog, true); break;
    case 7: SetVisible(desktop, target.Main, false); break;
    case 8: SetVisible(desktop, target.Main, true); break;
    case 9:  // another program's window pops up over the search field
      desktop.AddWindow(0, "Popup", "", Around(FieldPoint(desktop, target)), ForeignProcess);
      break;
    case 10:  // another program's control embedded in the dialog over the field
      if (target.Dialog) {
        desktop.AddWindow(target.Dialog, "Edit", "", Around(FieldPoint(desktop, target)),
                          ForeignProcess);
      }
      break;
    case 11:  // the target's own top-level window over the field
      desktop.AddWindow(0, "TToolTip", "", Around(FieldPoint(desktop, target)), TargetProcess);
      break;
    case 12:  // the target turns busy for 2 to 32 s
      desktop.BusyUntil[TargetProcess] = desktop.Now() + 2000U * static_cast<std::uint64_t>(arg + 1);
      break;
    case 13: SetVisible(desktop, screen, false); break;
    case 14: SetVisible(desktop, screen, true); break;
    case 15:  // another program covers the whole display
      desktop.AddWindow(0, "Fullscreen", "", {-10, -10, 4000, 3000}, ForeignProcess);
      break;
  }
}

TDelay Delay(std::uint8_t v, std::uint64_t byDefault, std::uint64_t step) {
  if (v == 0) return byDefault;
  if (v == 255) return std::nullopt;
  return v * step;
}

TTargetScript ReadScript(TBytes& k, TSimDesktop& desktop, bool& activateTwice) {
  TTargetScript script;
  script.RaiseReopenedDialog = true;
  const std::uint8_t f = k.Byte();
  script.Running = (f & 1) == 0;
  script.MdiClient = (f & 2) == 0;
  script.Menu = (f & 4) == 0;
  desktop.SwapButtons = (f & 8) != 0;
  activateTwice = (f & 16) != 0;
  desktop.Monitors = {{0, 0, Displays[f >> 5].Width, Displays[f >> 5].Height}};
  script.AppearAfter = Delay(k.Byte(), 1000, 100);  // up to 25.4 s: past the 15 s limit
  script.ShowAfter = Delay(k.Byte(), 0, 25);        // up to 6.35 s: past the 5 s limit
  script.BusyMs = k.Byte() * std::uint64_t{100};  // up to 25.5 s: past the 15 s limit
  const std::uint8_t open = k.Byte();
  for (int i = 0; i < ScreenTitleCount; ++i) {
    if (open & (1 << i)) script.OpenAtStart.push_back(ScreenTitles[i]);
  }
  script.NewDialogPerF8 = (open & 128) != 0;
  for (const char* title : ScreenTitles) {
    const std::uint8_t b = k.Byte();
    const std::uint8_t d = k.Byte();
    TScreenScript& s = script.Screens[title];
    s.Hidden = (b & 1) != 0;
    s.DialogHidden = (b & 2) != 0;
    s.Field = (b & 4) == 0;
    s.ForeignCover = (b & 8) != 0;
    if ((b & 64) != 0) s.Prefill = "0999";  // a reused lookup's last number
    s.ForeignChildInField = (b & 128) != 0;
    // Up to 3.75 s: past the 3 s search limits.
    s.OpenAfter = (b & 16) ? std::nullopt : Delay(d & 15, 100, 250);
    s.DialogAfter = (b & 32) ? std::nullopt : Delay(d >> 4, 50, 250);
  }
  return script;
}

}  // namespace job_fuzz
