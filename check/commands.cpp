#include "check/commands.h"

#include <cctype>

#include "automation/cmdline.h"
#include "version.h"

namespace pelmora {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  std::size_t i = 0;
  for (; prefix[i] != '\0'; ++i) {
    if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

bool LooksLikePath(const std::string& text) { return text.find_first_of("\\/:.") != std::string::npos; }

}  // namespace

TCheckArgs ReadCheckArgs(const std::string& commandLine) {
  TCheckArgs args;
  for (const std::string& arg : SplitCommandLine(commandLine)) {
    if (StartsWith(arg, "/teach") && arg.size() == 6) {
      args.Teach = args.Run = true;
    } else if (StartsWith(arg, "/out:")) {
      args.Out = arg.substr(5);
      args.Unattended = true;
    } else if (LooksLikePath(arg) && args.Path.empty()) {
      args.Path = arg;
      args.Run = true;
    } else if (args.Codes.empty()) {
      args.Codes = arg;
      args.Run = true;
    }
  }
  return args;
}

bool TCheckCommands::Start() {
  // Before anything is touched: in another code page every title would be misread, and the
  // screens opened and checked would not be the target's as the job finds them.
  if (const char* refusal = msg::CodePageRefusal(ws_.GetACP(), true)) {
    ws_.ShowErrorBox(refusal);
    return false;
  }
  Args = ReadCheckArgs(ws_.GetCommandLineA());
  settings_ = ReadSettings(ws_);
  if (settings_.TracePath.empty()) return true;
  trace_.Open(ws_, settings_.TracePath, ws_.GetTickCount());
  trace_.Line("start pelmora-check " PELMORA_VERSION_TEXT " settings=" + Quoted(settings_.File));
  for (const std::string& note : settings_.TableNotes) trace_.Line(note);
  return true;
}

std::string TCheckCommands::CodesInForce() const {
  std::string codes;
  for (const TScreenEntry& row : settings_.Table.Screens) codes += (codes.empty() ? "" : ",") + row.Code;
  return codes;
}

std::string TCheckCommands::RunningTargetPath() const {
  const TWindow main = ws_.FindWindowExA(0, settings_.Table.MainWindowClass.c_str(), nullptr);
  const TProcessId process = main != 0 ? ws_.GetWindowThreadProcessId(main) : 0;
  return process != 0 ? cs_.GetProcessImagePath(process) : std::string();
}

void TCheckCommands::Check(const std::string& path, const std::string& codes) {
  TJob job;
  job.InstallPath = path;
  job.ScreenCodes = SplitCommaText(codes);
  Folder = ChooseOutFolder(ws_, cs_, Args.Out);
  Show("確認しています。弥生販売の画面を開き、クリックする位置を調べます…");
  const TCheckResult result = RunCheck(Run(), cs_, settings_, job, Folder);
  ExitCode = result.ExitCode;
  Show(CheckText(result));
}

void TCheckCommands::Teach(const std::string& path, const std::string& codes) {
  TJob job;
  job.InstallPath = path;
  const std::vector<std::string> items = SplitCommaText(codes);
  job.ScreenCodes = {items.empty() ? std::string() : items.front()};
  Show("弥生販売の画面を開いています…");
  const TTeachResult taught = TeachScreen(Run(), cs_, job, Show);
  if (taught.End != TTeachEnd::Taught) {
    ExitCode = taught.End == TTeachEnd::Failed ? taught.ExitCode : CheckFaults;
    Show(taught.End == TTeachEnd::Cancelled ? "中止しました。設定ファイルには何も書いていません。"
         : taught.End == TTeachEnd::TimedOut
             ? "クリックを待つ時間が過ぎたため終了しました。設定ファイルには何も書いていません。"
             : "教えられませんでした: " + taught.Failure);
    return;
  }
  const std::string lines = TaughtLinesText(taught.Taught);
  std::string copy;
  const std::string why = WriteTaught(cs_, settings_.File, taught.Taught, ws_.GetLocalTime(), copy);
  const std::string kept = copy.empty() ? "新しく作りました" : "書き込む前のファイルは " + copy + " に保存";
  const std::string written =
      why.empty() ? "設定ファイル " + settings_.File + " に書き込みました (" + kept + "):\r\n" + lines
                  : "設定ファイル " + settings_.File + " に書き込めませんでした (" + why +
                        ")。次の行を手で追加してください:\r\n" + lines;
  settings_ = ReadSettings(ws_);
  Folder = ChooseOutFolder(ws_, cs_, Args.Out);
  job.ScreenCodes = {taught.Taught.Code};
  const TCheckResult result = RunCheck(Run(), cs_, settings_, job, Folder);
  ExitCode = result.ExitCode;
  Show(written + "\r\n" + CheckText(result));
}

std::string TCheckCommands::CheckText(const TCheckResult& result) const {
  std::string text = result.ExitCode == CheckAllOk ? "結果: すべての点がOKです。"
                     : result.ExitCode == CheckFaults
                         ? "結果: NGまたは確認できなかった点があります。"
                         : "結果: 確認できませんでした。" + result.Failure;
  text += "\r\n\r\n";
  for (const TPointLine& line : result.Points) text += FormatPointLine(line) + "\r\n";
  text += "\r\n" + (result.Report.empty() ? "報告を書き込めませんでした: " + Folder
                                          : "報告と画像の保存先: " + Folder);
  return text;
}

}  // namespace pelmora
