#include "app/form.h"

#include <algorithm>
#include <exception>

#include "automation/cmdline.h"
#include "automation/current_window.h"
#include "automation/messages.h"
#include "automation/sjis.h"
#include "version.h"

namespace pelmora {
namespace {

// Code page 932's full-width digits and plus sign.
bool FullWidthDigit(const std::string& s, std::size_t i) {
  return CharLength(s, i) == 2 && s[i] == '\x82' && s[i + 1] >= '\x4F' && s[i + 1] <= '\x58';
}
bool FullWidthPlus(const std::string& s, std::size_t i) {
  return CharLength(s, i) == 2 && s[i] == '\x81' && s[i + 1] == '\x7B';
}

}  // namespace

std::string NumberByRules(const std::string& number, const TNumberRules& rules) {
  std::string text;
  for (std::size_t i = 0; i < number.size(); i += CharLength(number, i)) {
    if (rules.Digits && FullWidthDigit(number, i)) {
      text += static_cast<char>('0' + (number[i + 1] - '\x4F'));
    } else if (rules.Digits && FullWidthPlus(number, i)) {
      text += '+';
    } else {
      text.append(number, i, CharLength(number, i));
    }
  }
  const std::size_t start = text.find_first_not_of(' ');
  if (rules.Plus81 && start != std::string::npos && text.compare(start, 3, "+81") == 0) {
    // "+81 3-1234-5678": the blank or hyphen after the country code goes with it.
    const std::size_t rest = start + 3 + (text.size() > start + 3 && (text[start + 3] == ' ' || text[start + 3] == '-'));
    text = "0" + text.substr(rest);
  }
  if (rules.Digits) text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c < '0' || c > '9'; }), text.end());
  return text;
}

bool HoldsDigit(const std::string& number) {
  for (std::size_t i = 0; i < number.size(); i += CharLength(number, i)) {
    if ((number[i] >= '0' && number[i] <= '9') || FullWidthDigit(number, i)) return true;
  }
  return false;
}

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
  const std::string sent = Job.PhoneNumber;
  Job.PhoneNumber = NumberByRules(sent, Settings.Number);
  if (Trace.On() && Job.PhoneNumber != sent) Trace.Line("number by [number] rules: " + Quoted(MaskNumber(Job.PhoneNumber)));
  if (Job.InstallPath.empty()) {
    ShowErrorBox(msg::MissingArgument(msg::NameInstallPath), "not run");
  } else if (Job.ScreenCode.empty()) {
    ShowErrorBox(msg::MissingArgument(msg::NameScreenCode), "not run");
  } else if (Settings.Number.Quiet && !HoldsDigit(Job.PhoneNumber)) {
    // A call without a number (withheld, a public phone) has nothing to search: no box.
    if (Trace.On()) {
      Trace.Line("number " + Quoted(sent) + " holds no digit: nothing to search, [number] quiet=1");
      Trace.Line("outcome: not run");
    }
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
