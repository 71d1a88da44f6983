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
// exactly once; every click is a logical left click; every pause is of a fixed length,
// every polling loop within its count and every loop of 1 ms re-tests within its time. When
// no fault is injected and the target does everything in time, every known screen code must
// end in its search, without a message.
#include "tests/fuzz/job_fuzz.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <stdexcept>

#include "automation/messages.h"

namespace job_fuzz {

std::string CurrentInput;

[[noreturn]] void Fail(const std::string& what) {
  std::cerr << "violated: " << what << "\ninput (" << CurrentInput.size() << " bytes):" << std::hex;
  for (const unsigned char c : CurrentInput) std::cerr << ' ' << static_cast<int>(c);
  std::cerr << std::endl;
  std::abort();
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

  // A run of 1 ms re-tests, watched by its time as it goes: one that never ended would
  // hang the run rather than fail it.
  void Pause(std::uint32_t ms) override {
    if (ms != 1) {
      retestFrom_.reset();
    } else if (!retestFrom_) {
      retestFrom_ = Now();
    } else if (Now() - *retestFrom_ > RetestLoopMs) {
      Fail("1 ms re-tests going on past 5 s");
    }
    TSimDesktop::Pause(ms);
  }

 private:
  std::optional<std::uint64_t> retestFrom_;

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

// With JOB_FUZZ_TRACE set, every port call of the run, for reading a finding.
void Trace(const TSimDesktop& desktop) {
  for (const TCall& c : desktop.Calls) {
    std::cerr << std::dec << c.At << ' ' << c.Op << std::hex << " window=" << c.Window
              << " msg=" << c.Message << " wparam=" << c.WParam << ' ' << c.Text << '\n';
  }
}

}  // namespace job_fuzz

using namespace job_fuzz;

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
