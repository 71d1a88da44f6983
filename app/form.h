// The main window's behaviour, apart from its Win32 shell: reads the arguments, lists
// them, validates the job, runs it once and closes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "automation/job.h"
#include "automation/settings.h"
#include "automation/trace.h"
#include "platform/window_system.h"

namespace pelmora {

// The number as the [number] rules make it: full-width digits made half-width and all but
// digits dropped (Digits), a leading +81 made 0 (Plus81); untouched when both are off.
std::string NumberByRules(const std::string& number, const TNumberRules& rules);

// Whether the number holds a digit, half- or full-width: without one there is nothing to search.
bool HoldsDigit(const std::string& number);

class TfrmPelmora {
 public:
  explicit TfrmPelmora(TWindowSystem& ws) : ws_(ws) {}

  void FormCreate();
  // Before the window is on screen: reads the arguments into the job and Memo1.
  void FormShow();
  // On activation: reads the settings, validates and runs the job the first time, then
  // closes the window.
  void FormActivate();
  void FormDestroy();
  void GetCurrentWindow();

  TJob Job;
  std::vector<std::string> Memo1;  // the memo's lines
  std::function<void()> OnClose;   // the shell closes the real window
  TSettings Settings;
  TTrace Trace;

 private:
  TWindowSystem& ws_;
  bool activated_ = false;
  // Reads the settings file and, when it asks for one, starts the trace with the arguments.
  void StartTrace();
  // The error box, traced first with the job's outcome: the box waits for the user, the
  // trace should not.
  void ShowErrorBox(const std::string& text, const char* outcome);
};

}  // namespace pelmora
