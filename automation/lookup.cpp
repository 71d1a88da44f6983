// The screens: each found or opened by the menu, clicked, its own lookup opened with F8,
// and the number typed into the lookup's search field.
#include <algorithm>
#include <vector>

#include "automation/run.h"
#include "automation/screen_table.h"

namespace pelmora {
namespace {

// Lookups of one title looked at in one search: past this many the window list is taken
// to be changing under the search.
constexpr int LookupsPerSearch = 64;

TWindow FindScreenWindow(TWindowSystem& ws, TWindow mdiClient, const TScreenEntry& row) {
  for (const std::string& title : row.WindowTitles) {
    if (TWindow window = ws.FindWindowExA(mdiClient, nullptr, title.c_str())) return window;
  }
  return 0;
}

std::string ScreenLine(TWindowSystem& ws, const std::string& code, const TScreenEntry& row,
                       TWindow screen, const std::string& how) {
  std::string titles;
  for (const std::string& title : row.WindowTitles) {
    titles += (titles.empty() ? "" : " or ") + Quoted(title);
  }
  return "screen " + code + ": search " + titles + ": " + FoundOr(ws, screen, "not found") + how;
}

}  // namespace

// Finds the screen, opening it by the menu when it is not open yet.
TFailure FindOrOpenScreen(const TRun& run, const TJob& job, const TTarget& target,
                          const TScreenEntry& row, bool singleScreen, TWindow& screen) {
  TWindowSystem& ws = run.Ws;
  const std::string& code = job.ScreenCode;
  screen = FindScreenWindow(ws, target.MdiClient, row);
  run.Say([&] {
    return ScreenLine(ws, code, row, screen, screen ? "" : "; opening it by the menu");
  });
  if (screen != 0) return std::nullopt;
  if (run.Overtaken()) return NotStarted(msg::NoChild);
  PostKey(ws, target.Main, vk::F10);
  ws.Pause(MenuKeyPauseMs);
  // Key-downs only: the menu acts on them.
  ws.PostMessageA(target.Main, wm::KeyDown, row.MenuKeys[0], 0);
  ws.Pause(MenuKeyPauseMs);
  ws.PostMessageA(target.Main, wm::KeyDown, row.MenuKeys[1], 0);
  int made = 0;
  screen = Poll(ws, run.Times(ScreenSearches), ScreenSearchPauseMs,
                [&] { return FindScreenWindow(ws, target.MdiClient, row); }, made);
  run.Say([&] { return ScreenLine(ws, code, row, screen, Searches(made, run.Times(ScreenSearches))); });
  if (screen == 0) return NotStarted(msg::NoChild);
  if (singleScreen && !WaitVisible(run, screen, "screen " + code)) {
    return NotStarted(msg::ChildHidden);
  }
  return std::nullopt;
}

namespace {

// A post that fails (the window gone, its queue full) fails the screen.
void SayNotPosted(const TRun& run, const std::string& code, const char* what) {
  run.Say([&] { return "screen " + code + ": " + what + " could not be posted"; });
}

// Every top-level window titled `title`, in z-order, until `take` accepts one.
template <class Take>
TWindow FirstTitled(TWindowSystem& ws, const char* title, Take take) {
  TWindow window = 0;
  for (int n = 0; n < LookupsPerSearch; ++n) {
    window = ws.FindWindowExA(0, window, nullptr, title);
    if (window == 0 || take(window)) return window;
  }
  return 0;
}

// Lookups of earlier screens or calls may stay open with the same title, and a search
// right after F8 finds one of them before the target has handled the key: when the new
// one comes late or elsewhere, the number would go into the older one. So the target's
// lookups shown before F8 and the foreground window then are noted, and afterwards only
// a lookup of the target that was not shown then, or has since come to the foreground,
// is taken.
class TOwnLookup {
 public:
  enum THow { None, New, ShownAgain, BroughtForward, Older, Unanswered };

  // Notes the lookups; made before F8 is posted.
  TOwnLookup(TWindowSystem& ws, const TTarget& target, const char* title)
      : ws_(ws), target_(target), title_(title), foregroundBefore_(ws.GetForegroundWindow()) {
    FirstTitled(ws_, title_, [this](TWindow window) {
      if (ws_.GetWindowThreadProcessId(window) == target_.Process) {
        before_.push_back({window, ws_.IsWindowVisible(window)});
      }
      return false;
    });
  }

  // One search: the lookup this F8 opened or brought forward, or 0.
  TWindow Search() {
    first_ = 0;
    return FirstTitled(ws_, title_, [this](TWindow window) {
      if (ws_.GetWindowThreadProcessId(window) != target_.Process) return false;
      if (first_ == 0) first_ = window;
      how_ = Judge(window);
      return how_ != None;
    });
  }

  // When the searches ran out: the target's first lookup of the title the last search
  // found, an older one most likely, as a target may show its one lookup again without
  // activating it. Only when the target answered before that search: a busy one may not
  // have taken F8 yet, and another screen's lookup would get this screen's number.
  TWindow LastResort(bool answered) {
    how_ = !answered ? Unanswered : first_ != 0 ? Older : None;
    return how_ == Older ? first_ : 0;
  }

  THow How() const { return how_; }

  // What was noted, for the trace.
  std::string Noted() const {
    const auto shown =
        std::count_if(before_.begin(), before_.end(), [](const TNoted& n) { return n.Shown; });
    return Decimal(before_.size()) + " open, " + Decimal(static_cast<std::uint64_t>(shown)) +
           " shown; foreground " + DescribeWindow(ws_, foregroundBefore_);
  }

 private:
  struct TNoted {
    TWindow Window;
    bool Shown;
  };

  THow Judge(TWindow window) {
    const auto noted = std::find_if(before_.begin(), before_.end(),
                                    [&](const TNoted& n) { return n.Window == window; });
    if (noted == before_.end()) return New;
    if (!noted->Shown) return ws_.IsWindowVisible(window) ? ShownAgain : None;
    return window != foregroundBefore_ && ws_.GetForegroundWindow() == window ? BroughtForward
                                                                             : None;
  }

  TWindowSystem& ws_;
  const TTarget& target_;
  const char* title_;
  TWindow foregroundBefore_;
  std::vector<TNoted> before_;
  TWindow first_ = 0;
  THow how_ = None;
};

}  // namespace

// Opens the screen's lookup with F8 and finds the one that F8 opened or brought forward,
// searching as long and as often as for any lookup.
TWindow OpenOwnLookup(const TRun& run, const TTarget& target, TWindow screen,
                      const TScreenEntry& row, const std::string& code) {
  TWindowSystem& ws = run.Ws;
  TOwnLookup lookups(ws, target, row.LookupTitle.c_str());
  run.Say([&] {
    return "screen " + code + ": lookups " + Quoted(row.LookupTitle) + " before F8: " + lookups.Noted();
  });
  if (run.Overtaken() || !PostKey(ws, screen, vk::F8)) {
    SayNotPosted(run, code, "F8");
    return 0;
  }
  const int limit = run.Times(LookupSearches);
  bool answered = false;
  int made = 0;
  TWindow dialog = Poll(
      ws, limit, LookupSearchPauseMs,
      [&] {
        if (made + 1 == limit) answered = ws.SendMessageTimeoutA(screen, wm::Null, 0, 0, LookupSearchPauseMs);
        return lookups.Search();
      },
      made);
  if (dialog == 0) dialog = lookups.LastResort(answered);
  run.Say([&] {
    static const char* const Hows[] = {"", "; new since F8", "; shown again by F8",
                                       "; brought forward by F8",
                                       "; none opened by F8: an older one, as a last resort",
                                       "; the target did not answer before the last search"};
    return "screen " + code + ": search lookup " + Quoted(row.LookupTitle) + ": " +
           FoundOr(ws, dialog, "not found") + Searches(made, run.Times(LookupSearches)) +
           Hows[lookups.How()];
  });
  return dialog;
}

// Opens one screen's lookup dialog and types the phone number into its search field.
TFailure LookUpScreen(const TRun& run, const TJob& job, const TTarget& target,
                      bool singleScreen) {
  TWindowSystem& ws = run.Ws;
  const TScreenEntry* row = run.Table.Find(job.ScreenCode);
  if (row == nullptr) {
    run.Say([&] { return "refused screen code " + Quoted(job.ScreenCode) + ": unknown"; });
    return std::string(msg::ArgumentPrefix) + msg::NameScreenCode + msg::ArgumentInvalid;
  }
  const std::string lookupFailure = std::string(msg::NotStarted) + row->LookupTitle;
  const std::string& code = job.ScreenCode;

  TWindow screen = 0;
  if (TFailure failure = FindOrOpenScreen(run, job, target, *row, singleScreen, screen)) {
    return failure;
  }

  ws.PostMessageA(target.MdiClient, wm::MdiActivate, screen, 0);
  ws.Pause(ActivatePauseMs);

  bool focused = false;  // the job goes on either way; the trace says which
  if (!ClickScreen(run, target, screen, row->ClickOffset[AspectClassOf(job.AspectRatio)], code, focused)) {
    return NotStarted(msg::NoChild);
  }

  const TWindow dialog = OpenOwnLookup(run, target, screen, *row, code);
  if (dialog == 0) return lookupFailure + msg::NoLookup;
  if (singleScreen && !WaitVisible(run, dialog, "screen " + code + " lookup")) {
    return lookupFailure + msg::LookupHidden;
  }

  // A lookup gone before its first click was never really obtained.
  TRect dialogRect;
  if (!ws.GetWindowRect(dialog, dialogRect)) {
    run.Say([&] { return "screen " + code + ": lookup gone before its clicks"; });
    return lookupFailure + msg::NoLookup;
  }
  // A point may drop a list or open a menu of the lookup's, which the next one picks from.
  TClicked clicked;
  int made = 0;
  const std::array<TOffset, 3>& points = run.Table.LookupPoints(row->LookupTitle);
  for (const TOffset& point : points) {
    if (!ClickTarget(run, target, dialog, {point.X, point.Y}, LookupClickPauseMs,
                     "lookup " + Decimal(++made) + " of 3", clicked)) {
      return lookupFailure + msg::NoSearchField;
    }
  }

  // Where the lookup lies now: it may have moved during its clicks. One that has gone
  // keeps its last rectangle here, and no field lies inside it any more.
  ws.GetWindowRect(dialog, dialogRect);
  const TOffset fieldPoint = points.back();
  const TPoint fieldAt{dialogRect.Left + fieldPoint.X, dialogRect.Top + fieldPoint.Y};
  const TWindow field = ws.WindowFromPoint(fieldAt);
  const TField check = CheckField(ws, target, field, dialog);
  if (check != TField::Field) {
    run.Say([&] {
      return "refused field at " + Point(fieldAt) + ": " + FieldRefusal(ws, target, field, check);
    });
    return lookupFailure + msg::NoSearchField;
  }
  // A control that ignored the third click (a label, a disabled box, a shifted layout) would
  // get the number while Enter presses the lookup's default button.
  const TWindow focus = FocusAfterClick(run, field, clicked.Before.Focus);
  if (!FocusGiven(ws, field, clicked.Before.Focus, focus)) {
    run.Say([&] {
      return "refused field at " + Point(fieldAt) + ": " + DescribeWindow(ws, field) +
             " did not take the focus; it is on " + (focus != 0 ? DescribeWindow(ws, focus) : "no window");
    });
    return lookupFailure + msg::NoSearchField;
  }

  // The field may still hold text (a reused lookup keeps the last number): replace it. All
  // goes to the window with the focus: the field, or the edit it frames.
  bool posted = !run.Overtaken() && ws.PostMessageA(focus, wm::EmSetSel, 0, -1);
  for (const char c : job.PhoneNumber) {
    posted = posted && ws.PostMessageA(focus, wm::Char, static_cast<unsigned char>(c), 0);
  }
  posted = posted && ws.PostMessageA(focus, wm::KeyDown, vk::Return, 0);
  if (!posted) {
    SayNotPosted(run, code, "the number or Enter");
    return lookupFailure + msg::NoSearchField;
  }
  run.Say([&] {
    return "screen " + code + ": typed " + Quoted(MaskNumber(job.PhoneNumber)) +
           " and Enter into " + DescribeWindow(ws, focus);
  });
  ws.Pause(TypedPauseMs);
  return std::nullopt;
}

}  // namespace pelmora
