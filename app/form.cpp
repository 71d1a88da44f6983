#include "app/form.h"

#include <exception>

#include "app/cmdline.h"
#include "automation/current_window.h"
#include "automation/messages.h"

namespace pelmora {

void TfrmPelmora::FormCreate() { Job.ScreenCodes.clear(); }

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

  if (!Job.ScreenCodes.empty()) Job.ScreenCode = Job.ScreenCodes.front();
  if (Job.InstallPath.empty()) {
    ws_.ShowErrorBox(msg::MissingArgument(msg::NameInstallPath));
  } else if (Job.ScreenCode.empty()) {
    ws_.ShowErrorBox(msg::MissingArgument(msg::NameScreenCode));
  } else if (Job.PhoneNumber.empty()) {
    ws_.ShowErrorBox(msg::MissingArgument(msg::NamePhoneNumber));
  } else {
    try {
      GetCurrentWindow();
    } catch (const std::exception& e) {
      ws_.ShowErrorBox(e.what());
    } catch (...) {
      ws_.ShowErrorBox(msg::UnknownError);
    }
  }
  if (OnClose) OnClose();
}

void TfrmPelmora::FormDestroy() { Job.ScreenCodes.clear(); }

void TfrmPelmora::GetCurrentWindow() { pelmora::GetCurrentWindow(ws_, Job); }

}  // namespace pelmora
