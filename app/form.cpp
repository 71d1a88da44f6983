#include "app/form.h"

#include <exception>

#include "automation/cmdline.h"
#include "automation/current_window.h"
#include "automation/messages.h"
#include "version.h"

namespace pelmora {

void TfrmPelmora::FormCreate() { Job.ScreenCodes.clear(); }

void TfrmPelmora::StartTrace() {
  Settings = ReadSettings(ws_);
  if (Settings.TracePath.empty()) return;
  Trace.Open(ws_, Settings.TracePath, ws_.GetTickCount());
  Trace.Line("start Pelmora " PELMORA_VERSION_TEXT " program=" + Quoted(ws_.GetModuleFileNameA()) +
             " settings=" + Quoted(Settings.File));
  Trace.Line(std::string("settings: ") + SettingsFileName + ", " + EncodingName(Settings.Encoding));
  if (!Settings.PatienceIgnored.empty()) {
    Trace.Line("settings patience=" + Quoted(Settings.PatienceIgnored) +
               " ignored: not a whole number from 1 to " + Decimal(MaxPatience));
  }
  Trace.Line("settings patience=" + Decimal(Settings.Patience));
  for (const std::string& note : Settings.TableNotes) Trace.Line(note);
  // The number is customer data: only its last four characters go into the trace.
  std::string line = "arguments path=" + Quoted(Job.InstallPath) + " codes=" +
                     Quoted(Memo1.size() > 1 ? Memo1[1] : std::string()) + " phone=" +
                     Quoted(MaskNumber(Job.PhoneNumber)) + " (" +
                     Decimal(CountCharacters(Job.PhoneNumber)) + " characters)";
  if (Memo1.size() > 3) line += " unused=" + Decimal(Memo1.size() - 3);
  Trace.Line(line);
}

void TfrmPelmora::FormShow() {
  const std::vector<std::string> args = SplitCommandLine(ws_.GetCommandLineA());
  Memo1 = args;
  auto arg = [&](std::size_t i) { return i < args.size() ? args[i] : std::string(); };
  Job.InstallPath = arg(0);
  Job.ScreenCode.clear();
  Job.ScreenCodes = SplitCommaText(arg(1));
  Job.PhoneNumber = arg(2);
}

void TfrmPelmora::FormActivate() {
  // An error box hands the keyboard back to this window: that must not run the job again.
  if (activated_) return;
  activated_ = true;
  // After the first paint, which needs neither.
  StartTrace();

  if (!Job.ScreenCodes.empty()) Job.ScreenCode = Job.ScreenCodes.front();
  if (Job.InstallPath.empty()) {
    ShowErrorBox(msg::MissingArgument(msg::NameInstallPath), "not run");
  } else if (Job.ScreenCode.empty()) {
    ShowErrorBox(msg::MissingArgument(msg::NameScreenCode), "not run");
  } else if (Job.PhoneNumber.empty()) {
    ShowErrorBox(msg::MissingArgument(msg::NamePhoneNumber), "not run");
  } else {
    try {
      GetCurrentWindow();
    } catch (const std::exception& e) {
      ShowErrorBox(e.what(), "failed");
    } catch (...) {
      ShowErrorBox(msg::UnknownError, "failed");
    }
  }
  if (Trace.On()) Trace.Line("end");
  if (OnClose) OnClose();
}

void TfrmPelmora::ShowErrorBox(const std::string& text, const char* outcome) {
  if (Trace.On()) {
    Trace.Line("failure message shown: " + Quoted(text));
    Trace.Line(std::string("outcome: ") + outcome);
  }
  ws_.ShowErrorBox(text);
}

void TfrmPelmora::FormDestroy() { Job.ScreenCodes.clear(); }

void TfrmPelmora::GetCurrentWindow() {
  pelmora::GetCurrentWindow(ws_, Job, {Settings.Patience, &Trace, &Settings.Table});
}

}  // namespace pelmora
