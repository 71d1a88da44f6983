// What the settings and trace suites share: the program's folder, and a run of the program
// as the shell starts it, with a settings file beside it.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "app/form.h"
#include "tests/job_fixture.h"

namespace pelmora {

using sim::TTargetScript;
using TChange = std::function<void(TTargetScript&, sim::TSimDesktop&)>;

const std::string Folder = "C:\\Pelmora\\", Exe = "pelmora.exe", Ini = Folder + "pelmora.ini";
const std::string TraceFile = Folder + "trace.log";
const std::string TdNew = "得意先台帳 (新規)";

// Runs the program as the shell does, with pelmora.ini holding `values` (a change may add).
class SettingsRunTest : public JobFixture {
 protected:
  void RunProgram(const std::map<std::string, std::string>& values, const std::string& args,
                  const TChange& change = nullptr) {
    Desktop.Profiles[Ini] = values;
    TTargetScript s;
    if (change) change(s, Desktop);
    Start(s);
    Desktop.CommandLine = "pelmora.exe " + (args[0] == ' ' ? sim::TargetPath + args : args);
    TfrmPelmora form(Desktop);
    form.FormCreate();
    form.FormShow();
    form.FormActivate();
  }
};

}  // namespace pelmora
