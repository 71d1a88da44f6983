// A whole run of the program on the simulated desktop. The input is a command line,
// then (after the first newline) bytes that choose the display, the mouse buttons and
// the target's behaviour, and then timed faults: windows that vanish, hide, show, or get
// covered mid-job, and the target turning busy. Missing bytes read as 0, which means the
// default behaviour, so "<command line>\n" alone is a run against a healthy target.
//
// Checked on every run: no crash; virtual time within what the fixed limits allow for
// the job; every WM_CHAR and Enter goes to a live window of the target's process inside
// the lookup dialog of the screen being worked, and the characters before each Enter
// spell the whole phone number; a multi-screen job shows no per-screen message; every
// error box text is one of the fixed messages; at most one error box; the window closes
// exactly once; every click is a logical left click.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/form.h"
#include "automation/messages.h"
#include "tests/sim_desktop.h"
#include "tests/sim_target.h"

namespace {

using namespace pelmora;
using namespace pelmora::sim;

const char* const ScreenTitles[] = {"得意先台帳 (新規)", "得意先台帳 (修正)", "得意先元帳",
                                    "売上伝票 (新規)", "売上伝票 (修正)"};
constexpr int ScreenTitleCount = 5;
const char* const CustomerLookup = "得意先参照";
const char* const BillingLookup = "請求先参照";
// Where the target puts a lookup dialog before one exists.
constexpr TRect DefaultDialog{600, 300, 1000, 560};
constexpr TPoint FieldOffset{65, 117};

struct TDisplay {
  int Width, Height;
};
const TDisplay Displays[8] = {{1920, 1080}, {1024, 768}, {1280, 1024}, {1920, 1200},
                              {1366, 768},  {800, 600},  {1280, 800},  {640, 0}};

// Limits of the fixed waits, in virtual ms.
constexpr std::uint64_t FoundAtOnceMs = 15000 + 100;                    // idle wait, restore
constexpr std::uint64_t StartedMs = 75 * 200 + 499 * 10 + 15000 + 100;  // + start, shown
constexpr std::uint64_t MultiScreenMs = 100 + 100 + 30 * 100 + 100 + 100 + 30 * 100 + 3 * 50 + 200;
constexpr std::uint64_t SingleScreenMs = MultiScreenMs + 2 * 499 * 10;  // + visibility waits
// Polling limits: pauses in one search loop, tests in one visibility wait.
constexpr int MainSearchPauses = 75;
constexpr int ScreenSearchPauses = 30;
constexpr int VisibilityTests = 500;

std::string CurrentInput;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "violated: %s\ninput (%zu bytes):", what.c_str(), CurrentInput.size());
  for (unsigned char c : CurrentInput) std::fprintf(stderr, " %02x", c);
  std::fprintf(stderr, "\n");
  std::abort();
}

// Knob bytes; 0 once used up.
class TBytes {
 public:
  TBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() << 8 | Byte()); }
  bool Empty() const { return pos_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

std::string LookupTitleFor(const std::string& code) {
  if (code == "td" || code == "ud") return CustomerLookup;
  if (code == "tm") return BillingLookup;
  return {};
}

// Checks typing at the moment it is posted, while the window tree is as the program saw it.
class TCheckedDesktop : public TSimDesktop {
 public:
  const TJob* Job = nullptr;

  void PostMessageA(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                    std::intptr_t lParam) override {
    if (message == wm::Char || (message == wm::KeyDown && wParam == vk::Return)) {
      CheckTypedInto(window);
    }
    TSimDesktop::PostMessageA(window, message, wParam, lParam);
  }

 private:
  void CheckTypedInto(TWindow window) {
    const TSimWindow* w = Known(window);
    if (w == nullptr || !w->Alive) Fail("typed into a window that does not exist");
    if (w->Process != TargetProcess) Fail("typed into another program's window");
    if (w->Parent == 0) Fail("typed into a top-level window, not a dialog's field");
    const TSimWindow* top = w;
    while (top->Parent != 0) {
      top = Known(top->Parent);
      if (top == nullptr || !top->Alive) Fail("typed into a window whose dialog is gone");
    }
    if (top->Process != TargetProcess) Fail("typed into a field of another program's dialog");
    const std::string expected = LookupTitleFor(Job->ScreenCode);
    if (expected.empty() || top->Title != expected) {
      Fail("typed into a window outside the lookup dialog of screen '" + Job->ScreenCode + "'");
    }
  }

  const TSimWindow* Known(TWindow handle) {
    try {
      return &Window(handle);
    } catch (const std::out_of_range&) {
      return nullptr;
    }
  }
};

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
    case 12: desktop.BusyUntil[TargetProcess] = desktop.Now() + 1000u * (arg + 1) * 2; break;
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
  const std::uint8_t f = k.Byte();
  script.Running = (f & 1) == 0;
  script.MdiClient = (f & 2) == 0;
  script.Menu = (f & 4) == 0;
  desktop.SwapButtons = (f & 8) != 0;
  activateTwice = (f & 16) != 0;
  desktop.Width = Displays[f >> 5].Width;
  desktop.Height = Displays[f >> 5].Height;
  script.AppearAfter = Delay(k.Byte(), 1000, 100);  // up to 25.4 s: past the 15 s limit
  script.ShowAfter = Delay(k.Byte(), 0, 25);        // up to 6.35 s: past the 5 s limit
  script.BusyMs = k.Byte() * 100u;                  // up to 25.5 s: past the 15 s limit
  const std::uint8_t open = k.Byte();
  for (int i = 0; i < ScreenTitleCount; ++i) {
    if (open & (1 << i)) script.OpenAtStart.push_back(ScreenTitles[i]);
  }
  for (const char* title : ScreenTitles) {
    const std::uint8_t b = k.Byte();
    const std::uint8_t d = k.Byte();
    TScreenScript& s = script.Screens[title];
    s.Hidden = (b & 1) != 0;
    s.DialogHidden = (b & 2) != 0;
    s.Field = (b & 4) == 0;
    s.ForeignCover = (b & 8) != 0;
    // Up to 3.75 s: past the 3 s search limits.
    s.OpenAfter = (b & 16) ? std::nullopt : Delay(d & 15, 100, 250);
    s.DialogAfter = (b & 32) ? std::nullopt : Delay(d >> 4, 50, 250);
  }
  return script;
}

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
  for (const char* title : ScreenTitles) {
    if (c.Text == title) return sScreen;
  }
  return sNone;
}

// Pauses are of the fixed lengths only. Every loop stays within its own limit: a search loop is a run of searches for one kind
// of window and pauses; a visibility wait a run of tests of one window and pauses.
void CheckPolls(const TSimDesktop& desktop) {
  TSearched searching = sNone;
  int pauses = 0;
  TWindow testing = 0;
  int tests = 0;
  for (const TCall& c : desktop.Calls) {
    if (c.Op != "Sleep" && c.Op != "IsWindowVisible") {
      testing = 0;
      tests = 0;
    }
    if (c.Op != "Sleep" && c.Op != "FindWindowExA") {
      searching = sNone;
      pauses = 0;
    }
    if (c.Op == "FindWindowExA") {
      const TSearched kind = SearchedFor(c);
      if (kind != searching) pauses = 0;
      searching = kind;
    } else if (c.Op == "IsWindowVisible") {
      if (c.Window != testing) tests = 0;
      testing = c.Window;
      if (++tests > VisibilityTests) Fail("a visibility wait past its 500 tests");
    } else if (c.Op == "Sleep") {
      if (c.Message != 10 && c.Message != 50 && c.Message != 100 && c.Message != 200) {
        Fail("a pause of " + std::to_string(c.Message) + " ms, not one of the fixed lengths");
      }
      ++pauses;
      if (searching == sMain && pauses > MainSearchPauses) {
        Fail("more than 75 searches for the main window");
      }
      if ((searching == sScreen || searching == sLookup) && pauses > ScreenSearchPauses) {
        Fail("a window searched for past its 30 searches");
      }
    }
  }
  if (desktop.CountSearches("Hanbai15Main") > 1 + MainSearchPauses) {
    Fail("more than 76 searches for the main window");
  }
}

void CheckRun(const TCheckedDesktop& desktop, const TJob& job, int closed) {
  if (closed != 1) Fail("the window closed " + std::to_string(closed) + " times");
  CheckPolls(desktop);
  const std::vector<std::string>& boxes = desktop.ErrorBoxes;
  if (boxes.size() > 1) Fail("more than one error box");
  static const std::vector<std::string> all = msg::AllMessages();
  for (const std::string& box : boxes) {
    if (!Contains(all, box)) Fail("error box with a text of its own: " + box);
  }
  for (const TClick& click : desktop.Clicks) {
    if (!click.Left) Fail("a click that is not a logical left click");
  }

  // The characters before each Enter, all to the Enter's window, spell the number.
  int enters = 0;
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

  const std::string missing = job.InstallPath.empty()          ? msg::NameInstallPath
                              : job.ScreenCodes.empty() ||
                                      job.ScreenCodes.front().empty() ? msg::NameScreenCode
                              : job.PhoneNumber.empty()        ? msg::NamePhoneNumber
                                                               : "";
  if (!missing.empty()) {
    if (boxes != std::vector<std::string>{msg::MissingArgument(missing.c_str())}) {
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
  if (!single && enters > static_cast<int>(screens)) Fail("more searches than screens");
  if (!single && !boxes.empty() && IsPerScreenMessage(boxes.front())) {
    Fail("a multi-screen job showed a per-screen message: " + boxes.front());
  }
  const std::uint64_t bound = (desktop.Count("ShellExecuteA") ? StartedMs : FoundAtOnceMs) +
                              screens * (single ? SingleScreenMs : MultiScreenMs);
  if (desktop.Now() > bound) {
    Fail("took " + std::to_string(desktop.Now()) + " ms, limits allow " + std::to_string(bound));
  }
}

// With JOB_FUZZ_TRACE set, every port call of the run, for reading a finding.
void Trace(const TSimDesktop& desktop) {
  for (const TCall& c : desktop.Calls) {
    std::fprintf(stderr, "%6llu %s window=%#llx msg=%#x wparam=%#llx %s\n",
                 static_cast<unsigned long long>(c.At), c.Op.c_str(),
                 static_cast<unsigned long long>(c.Window), c.Message,
                 static_cast<unsigned long long>(c.WParam), c.Text.c_str());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The build must have carried the texts over as code page 932.
  if (std::string(CustomerLookup) != "\223\276\210\323\220\346\216\121\217\306") {
    std::fprintf(stderr, "texts are not code page 932 in this build\n");
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CurrentInput.assign(reinterpret_cast<const char*>(data), size);
  const auto* newline = static_cast<const std::uint8_t*>(std::memchr(data, '\n', size));
  const std::size_t lineLength = newline ? static_cast<std::size_t>(newline - data) : size;
  TBytes knobs(data + lineLength + (newline ? 1 : 0), size - lineLength - (newline ? 1 : 0));

  TCheckedDesktop desktop;
  desktop.CommandLine.assign(reinterpret_cast<const char*>(data), lineLength);
  bool activateTwice = false;
  TSimTarget target(desktop, ReadScript(knobs, desktop, activateTwice));
  for (int n = 0; n < 16 && !knobs.Empty(); ++n) {
    const std::uint8_t kind = knobs.Byte();
    const std::uint64_t at = knobs.Word();
    desktop.At(at, [&desktop, &target, kind] { Storm(desktop, target, kind); });
  }

  TfrmPelmora form(desktop);
  desktop.Job = &form.Job;
  int closed = 0;
  form.OnClose = [&closed] { ++closed; };
  form.FormCreate();
  form.FormShow();
  form.FormActivate();
  // An error box hands the keyboard back and activates the window again.
  if (activateTwice) form.FormActivate();
  if (std::getenv("JOB_FUZZ_TRACE")) Trace(desktop);
  CheckRun(desktop, form.Job, closed);
  form.FormDestroy();
  return 0;
}
