// pelmora-check's commands, apart from its window: the arguments, the check and the teach,
// and the texts the window shows of them.
#pragma once

#include <functional>
#include <string>

#include "automation/check.h"
#include "automation/teach.h"

namespace pelmora {

// The program's version, for its window's title and its report.
extern const char* const CheckVersion;

struct TCheckArgs {
  bool Teach = false;       // /teach
  bool Unattended = false;  // /out: given: no question, the program ends when done
  bool Run = false;         // something to do at once: a path, codes or /teach given
  std::string Out;          // /out:FOLDER
  std::string Path;         // the target's install path
  std::string Codes;        // screen codes as comma text
};

// `/teach`, `/out:FOLDER`, then the install path and the codes as the host passes them; an
// argument holding a separator, a colon or a dot is the path.
TCheckArgs ReadCheckArgs(const std::string& commandLine);

class TCheckCommands {
 public:
  TCheckCommands(TWindowSystem& ws, TCheckSystem& cs) : ws_(ws), cs_(cs) {}

  // Reads the arguments and the settings, and opens the trace they name. False, the reason
  // shown in the error box, on a code page other than 932: nothing is to be done.
  bool Start();
  // The codes in force, as comma text: the built-in screens and those the settings add.
  std::string CodesInForce() const;
  // The running target's program file, offered when no path is given; empty when none runs.
  std::string RunningTargetPath() const;
  void Check(const std::string& path, const std::string& codes);
  void Teach(const std::string& path, const std::string& codes);

  TCheckArgs Args;
  std::string Folder;  // where the last report went
  int ExitCode = CheckNothingDone;
  // Shows a text in the window, replacing the one shown.
  std::function<void(const std::string&)> Show;

 private:
  TRun Run() { return {ws_, trace_, settings_.Patience, settings_.Table}; }
  std::string CheckText(const TCheckResult& result) const;
  // A teach that wrote nothing: its outcome shown, and written as the report.
  void Taught(const std::string& outcome);
  // Writes the report again headed by the program's version and `outcome` (a teach's, a hint), "# " a line.
  void Report(TCheckResult& result, const std::string& outcome);
  // For a target running from `path` without a main window of the class: the classes its
  // windows have, and the line that names the new one; empty otherwise.
  std::string ClassesHint(const std::string& path) const;

  TWindowSystem& ws_;
  TCheckSystem& cs_;
  TSettings settings_;
  TTrace trace_;
};

}  // namespace pelmora
