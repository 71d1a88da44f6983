// A whole run of the program on the simulated desktop. The input is a command line,
// then (after the first newline) bytes that choose the display, the mouse buttons and
// the target's behaviour (lookups that stack up, pre-filled fields and other programs'
// windows among it), and then timed faults: windows that vanish, hide, show, or get
// covered mid-job, and the target turning busy. Missing bytes read as 0, which means the
// default behaviour, so "<command line>\n" alone is a run against a healthy target.
// A settings file of "section/key=value" lines may come first, ended by a form feed: the reader
// alone takes it, and must end, keep the built-in screens and put no unusable fact in force;
// so must it from the same text as a file's bytes, after each byte-order mark, where a key
// set must read back or leave the bytes as they were.
//
// Checked on every run: no crash; virtual time within what the fixed limits allow for
// the job; every WM_CHAR and Enter goes to a live window of the target's process inside
// the lookup dialog of the screen being worked, and the characters before each Enter
// spell the whole phone number, and every search the target starts is for the number
// alone, whatever the field held before; a multi-screen job shows no per-screen message; every
// error box text is one of the fixed messages; at most one error box; the window closes
// exactly once; every click is a logical left click; every pause is of a fixed length
// and every polling loop within its count. When no fault is injected and the target does
// everything in time, every known screen code must end in its search, without a message.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/form.h"
#include "automation/messages.h"
#include "automation/settings_file.h"
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
constexpr std::uint64_t FoundAtOnceMs = 15000 + 5000 + 100;  // idle wait, restore and its time-out
constexpr std::uint64_t StartedMs = 75 * 200 + 499 * 10 + FoundAtOnceMs;  // + start, shown
constexpr std::uint64_t MultiScreenMs = 100 + 100 + 30 * 100 + 100 + 100 + 30 * 100 + 3 * 50 + 200;
constexpr std::uint64_t SingleScreenMs = MultiScreenMs + std::uint64_t{2} * 499 * 10;  // + visibility waits
// Polling limits: pauses in one search loop, tests in one visibility wait.
constexpr int MainSearchPauses = 75;
constexpr int ScreenSearchPauses = 30;
constexpr int VisibilityTests = 500;

std::string CurrentInput;

[[noreturn]] void Fail(const std::string& what) {
  std::cerr << "violated: " << what << "\ninput (" << CurrentInput.size() << " bytes):" << std::hex;
  for (const unsigned char c : CurrentInput) std::cerr << ' ' << static_cast<int>(c);
  std::cerr << std::endl;
  std::abort();
}

// Knob bytes; 0 once used up.
class TBytes {
 public:
  TBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // High byte first; two statements, as the operands of | are not sequenced.
  std::uint16_t Word() {
    const std::uint16_t high = Byte();
    return static_cast<std::uint16_t>(high << 8 | Byte());
  }
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

  bool PostMessageA(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                    std::intptr_t lParam) override {
    const TSimWindow* w = Known(window);
    if (w == nullptr || w->Process != TargetProcess) Fail("a message posted outside the target");
    if (message == wm::Char && wParam > 0xFF) Fail("a character code beyond one byte");
    if (message == wm::KeyUp && wParam == vk::Return) Fail("a key-up for Enter");
    if (message == wm::Char || (message == wm::KeyDown && wParam == vk::Return)) {
      CheckTypedInto(window);
    }
    return TSimDesktop::PostMessageA(window, message, wParam, lParam);
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
    // The re-tests of the waits for a click to be taken and for the focus, bounded by time.
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

// The settings the desktop's file gives keep the built-in screens and put no unusable fact in force.
void CheckTable(TSimDesktop& desktop) {
  const TScreenTable table = ReadSettings(desktop).Table;
  for (const TScreenEntry& r : table.Screens) {
    bool usable = !r.WindowTitles.empty() && !Contains(r.WindowTitles, "") && !r.LookupTitle.empty();
    for (const std::uintptr_t k : r.MenuKeys) usable = usable && ((k >= 'A' && k <= 'Z') || (k >= '0' && k <= '9'));
    for (const TOffset o : r.ClickOffset) usable = usable && o.X >= 0 && o.Y >= 0;
    if (!usable) Fail("screen '" + r.Code + "' in force with an unusable fact");
  }
  if (table.MainWindowClass.empty() || !table.Find("td") || !table.Find("tm") || !table.Find("ud")) Fail("a built-in fact lost");
}

void CheckSettings(const std::string& text) {
  TSimDesktop desktop;
  const std::string file = FolderOf(desktop.ModuleFileName) + SettingsFileName;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t eq = std::min(line.find('='), line.size());
    desktop.Profiles[file][line.substr(0, eq)] = line.substr(std::min(eq + 1, line.size()));
  }
  CheckTable(desktop);
  // The text as a file's bytes, as they are and after each byte-order mark; a key set in
  // them reads back, in the same encoding, or leaves them as they were.
  for (const char* const mark : {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
    TSimDesktop saved;
    std::string bytes = saved.FileBytes[file] = mark + text;
    CheckTable(saved);
    const TSettingsEncoding encoding = DetectSettingsEncoding(bytes);
    bool lacking = false;
    if (!SetSettingValue(bytes, "screen td", "title1", "得意先台帳 (新規入力)")) {
      if (bytes != saved.FileBytes[file]) Fail("a refused change changed the file");
    } else if (DetectSettingsEncoding(bytes) != encoding ||
               TSettingsFile(bytes).Value("screen td", "title1", lacking) != "得意先台帳 (新規入力)") {
      Fail("a change reads back otherwise");
    }
  }
}

// With JOB_FUZZ_TRACE set, every port call of the run, for reading a finding.
void Trace(const TSimDesktop& desktop) {
  for (const TCall& c : desktop.Calls) {
    std::cerr << std::dec << c.At << ' ' << c.Op << std::hex << " window=" << c.Window
              << " msg=" << c.Message << " wparam=" << c.WParam << ' ' << c.Text << '\n';
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The build must have carried the texts over as code page 932.
  if (std::string(CustomerLookup) != "\223\276\210\323\220\346\216\121\217\306") {
    std::cerr << "texts are not code page 932 in this build" << std::endl;
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CurrentInput.assign(reinterpret_cast<const char*>(data), size);
  if (const auto* feed = static_cast<const std::uint8_t*>(std::memchr(data, '\f', size))) {
    CheckSettings(std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(feed - data)));
    size -= static_cast<std::size_t>(feed + 1 - data), data = feed + 1;
  }
  const auto* newline = static_cast<const std::uint8_t*>(std::memchr(data, '\n', size));
  const std::size_t lineLength = newline ? static_cast<std::size_t>(newline - data) : size;
  TBytes knobs(data + lineLength + (newline ? 1 : 0), size - lineLength - (newline ? 1 : 0));

  TCheckedDesktop desktop;
  desktop.CommandLine.assign(reinterpret_cast<const char*>(data), lineLength);
  bool activateTwice = false;
  const TTargetScript script = ReadScript(knobs, desktop, activateTwice);
  TSimTarget target(desktop, script);
  const bool undisturbed = knobs.Empty();
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
  CheckRun(desktop, form.Job, closed, script, undisturbed);
  // Whatever the field held before, the search is for the number alone.
  for (const TSearch& search : target.Searches) {
    if (search.Text != form.Job.PhoneNumber) Fail("a search for anything but the number");
  }
  form.FormDestroy();
  return 0;
}
