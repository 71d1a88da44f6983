// What every run of the job fuzz target must show: the polling loops within their limits,
// the typing, the messages and the outcome.
#include "tests/fuzz/job_fuzz.h"

#include <algorithm>
#include <iterator>

#include "automation/messages.h"

namespace job_fuzz {

bool Contains(const std::vector<std::string>& list, const std::string& text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

// Messages only a screen's lookup can show.
bool IsPerScreenMessage(const std::string& text) {
  const std::string prefix = msg::NotStarted;
  for (const char* detail : {msg::NoChild, msg::ChildHidden}) {
    if (text == prefix + detail) return true;
  }
  for (const char* title : {CustomerLookup, BillingLookup}) {
    for (const char* detail : {msg::NoLookup, msg::LookupHidden, msg::NoSearchField}) {
      if (text == prefix + title + detail) return true;
    }
  }
  return text == std::string(msg::ArgumentPrefix) + msg::NameScreenCode + msg::ArgumentInvalid;
}

enum TSearched { sNone, sMain, sScreen, sLookup };

TSearched SearchedFor(const TCall& c) {
  if (c.Text == "Hanbai15Main") return sMain;
  if (c.Text == CustomerLookup || c.Text == BillingLookup) return sLookup;
  const auto* const end = std::end(ScreenTitles);
  return std::find(std::begin(ScreenTitles), end, c.Text) != end ? sScreen : sNone;
}

// Follows the polling loops through the call log: a search loop is a run of searches
// for one kind of window and pauses, a visibility wait a run of tests of one window and
// pauses. Each must stay within its own limit, and every pause be of a fixed length.
class TPollWatch {
 public:
  void Add(const TCall& c) {
    if (c.Op == "FindWindowExA") {
      EndTests();
      const TSearched kind = SearchedFor(c);
      if (kind != searching_) pauses_ = 0;
      searching_ = kind;
    } else if (c.Op == "IsWindowVisible") {
      EndSearches();
      if (c.Window != testing_) tests_ = 0;
      testing_ = c.Window;
      if (++tests_ > VisibilityTests) Fail("a visibility wait past its 500 tests");
    } else if (c.Op == "Pause") {
      Pause(c.Message);
    } else if (c.Op == "GetWindowThreadProcessId" || c.Op == "GetForegroundWindow") {
      // Whose window a lookup search found and what has come to the front: that search's.
    } else {
      EndTests();
      EndSearches();
    }
  }

 private:
  void Pause(std::uint32_t ms) {
    // The re-tests of the waits for a click to be taken and for the focus: watched by
    // their time as the run goes (TCheckedDesktop).
    if (ms == 1) return;
    if (ms != 10 && ms != 50 && ms != 100 && ms != 200) {
      Fail("a pause of " + std::to_string(ms) + " ms, not one of the fixed lengths");
    }
    ++pauses_;
    if (searching_ == sMain && pauses_ > MainSearchPauses) {
      Fail("more than 75 searches for the main window");
    }
    if ((searching_ == sScreen || searching_ == sLookup) && pauses_ > ScreenSearchPauses) {
      Fail("a window searched for past its 30 searches");
    }
  }
  void EndTests() {
    testing_ = 0;
    tests_ = 0;
  }
  void EndSearches() {
    searching_ = sNone;
    pauses_ = 0;
  }

  TSearched searching_ = sNone;
  int pauses_ = 0;
  TWindow testing_ = 0;
  int tests_ = 0;
};

void CheckPolls(const TSimDesktop& desktop) {
  TPollWatch watch;
  for (const TCall& c : desktop.Calls) watch.Add(c);
  if (desktop.CountSearches("Hanbai15Main") > 1 + MainSearchPauses) {
    Fail("more than 76 searches for the main window");
  }
}

void CheckMessagesAndClicks(const TSimDesktop& desktop) {
  if (desktop.ErrorBoxes.size() > 1) Fail("more than one error box");
  static const std::vector<std::string> all = msg::AllMessages();
  for (const std::string& box : desktop.ErrorBoxes) {
    if (!Contains(all, box)) Fail("error box with a text of its own: " + box);
  }
  for (const TClick& click : desktop.Clicks) {
    if (!click.Left) Fail("a click that is not a logical left click");
  }
}

// The characters before each Enter, all to the Enter's window, spell the number.
// Returns the number of searches started.
std::size_t CheckTypedNumbers(const TSimDesktop& desktop, const TJob& job) {
  std::size_t enters = 0;
  TWindow typingInto = 0;
  std::string typed;
  for (const TCall& post : desktop.Posts()) {
    if (post.Message == wm::Char) {
      if (!typed.empty() && post.Window != typingInto) Fail("one number typed into two windows");
      typingInto = post.Window;
      typed += static_cast<char>(post.WParam);
    } else if (post.Message == wm::KeyDown && post.WParam == vk::Return) {
      if (post.Window != typingInto || typed != job.PhoneNumber) {
        Fail("Enter after anything but the whole phone number");
      }
      ++enters;
      typed.clear();
    }
  }
  if (!typed.empty()) Fail("characters typed without Enter");
  return enters;
}

// The name of the first missing argument, or null for a complete job.
const char* MissingArgument(const TJob& job) {
  if (job.InstallPath.empty()) return msg::NameInstallPath;
  if (job.ScreenCodes.empty() || job.ScreenCodes.front().empty()) return msg::NameScreenCode;
  if (job.PhoneNumber.empty()) return msg::NamePhoneNumber;
  return nullptr;
}

void CheckOutcome(const TSimDesktop& desktop, const TJob& job, std::size_t enters) {
  const std::vector<std::string>& boxes = desktop.ErrorBoxes;
  if (const char* missing = MissingArgument(job)) {
    if (boxes != std::vector<std::string>{msg::MissingArgument(missing)}) {
      Fail("an incomplete job without its missing-argument message");
    }
    if (desktop.Count("FindWindowExA") != 0 || !desktop.Posts().empty()) {
      Fail("an incomplete job reached for the target");
    }
    return;
  }
  const std::size_t screens = job.ScreenCodes.size();
  const bool single = screens == 1;
  if (single && boxes.size() + enters != 1) {
    Fail("a single-screen job must end in either one message or one search");
  }
  if (!single && enters > screens) Fail("more searches than screens");
  if (!single && !boxes.empty() && IsPerScreenMessage(boxes.front())) {
    Fail("a multi-screen job showed a per-screen message: " + boxes.front());
  }
  const std::uint64_t bound = (desktop.Count("ShellExecuteA") != 0 ? StartedMs : FoundAtOnceMs) +
                              screens * (single ? SingleScreenMs : MultiScreenMs);
  if (desktop.Now() > bound) {
    Fail("took " + std::to_string(desktop.Now()) + " ms, limits allow " + std::to_string(bound));
  }
}

// Whether the target, as scripted and left alone, does everything within the program's
// limits: it appears and shows in time, has its MDI client and menu, and every screen
// and dialog opens in time, visible, with its field uncovered. In a job of several
// screens a lookup dialog must also come up within the first search pause: the program
// takes a dialog of the title that is still open from an earlier screen at once, and
// when another lookup dialog lies over it and F8 raises it only later, the field point
// falls on the other dialog and the screen is rightly skipped.
bool IsHealthy(const TTargetScript& s, bool multiScreen) {
  constexpr std::uint64_t lastMainSearch = std::uint64_t{74} * 200;
  constexpr std::uint64_t lastVisibleTest = std::uint64_t{499} * 10;
  constexpr std::uint64_t lastSearch = std::uint64_t{29} * 100;
  const std::uint64_t lastDialog = multiScreen ? 100 : lastSearch;
  if (!s.MdiClient || !s.Menu) return false;
  // Still busy after the idle wait and the restore's time-out, it does not answer.
  if (s.BusyMs > 15000 + 5000) return false;
  if (!s.Running && (!s.AppearAfter || *s.AppearAfter > lastMainSearch || !s.ShowAfter ||
                     *s.ShowAfter > lastVisibleTest)) {
    return false;
  }
  return std::all_of(s.Screens.begin(), s.Screens.end(), [&](const auto& entry) {
    const TScreenScript& screen = entry.second;
    return !screen.Hidden && !screen.DialogHidden && screen.Field && !screen.ForeignCover &&
           !screen.ForeignChildInField &&
           screen.OpenAfter && *screen.OpenAfter <= lastSearch && screen.DialogAfter &&
           *screen.DialogAfter <= lastDialog;
  });
}

// Against a healthy target, every known screen code ends in its search.
void CheckHealthyOutcome(const TSimDesktop& desktop, const TJob& job, const TTargetScript& script,
                         std::size_t enters) {
  if (MissingArgument(job) != nullptr) return;
  // A display of no height holds no point: no click lands where it was approved, and the
  // field, never focused by its click, is refused.
  if (desktop.Monitors.front().Bottom <= desktop.Monitors.front().Top) return;
  const std::vector<std::string>& boxes = desktop.ErrorBoxes;
  if (!script.Running && job.InstallPath != TargetPath) {
    if (boxes != std::vector<std::string>{msg::PathInvalid}) Fail("a bad path not reported");
    return;
  }
  const auto known = static_cast<std::size_t>(
      std::count_if(job.ScreenCodes.begin(), job.ScreenCodes.end(),
                    [](const std::string& code) { return !LookupTitleFor(code).empty(); }));
  if (enters != known) {
    Fail("a healthy target searched " + std::to_string(enters) + " times for " +
         std::to_string(known) + " known screen codes");
  }
  const bool unknownSingle = job.ScreenCodes.size() == 1 && known == 0;
  if (!unknownSingle && !boxes.empty()) Fail("a healthy target gave a message: " + boxes.front());
}

void CheckRun(const TSimDesktop& desktop, const TJob& job, int closed,
              const TTargetScript& script, bool undisturbed) {
  if (closed != 1) Fail("the window closed " + std::to_string(closed) + " times");
  CheckPolls(desktop);
  CheckMessagesAndClicks(desktop);
  const std::size_t enters = CheckTypedNumbers(desktop, job);
  CheckOutcome(desktop, job, enters);
  if (undisturbed && IsHealthy(script, job.ScreenCodes.size() > 1)) {
    CheckHealthyOutcome(desktop, job, script, enters);
  }
}

}  // namespace job_fuzz
