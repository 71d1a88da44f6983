#include "check/commands.h"

#include <cctype>

#include "automation/cmdline.h"
#include "version.h"

namespace pelmora {

const char* const CheckVersion = PELMORA_VERSION_TEXT;

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
  TCheckResult result = RunCheck(Run(), cs_, settings_, job, Folder);
  ExitCode = result.ExitCode;
  const std::string hint = result.Points.empty() ? ClassesHint(path) : std::string();
  Report(result, hint);
  Show(CheckText(result) + hint);
}

void TCheckCommands::Teach(const std::string& path, const std::string& codes) {
  TJob job;
  job.InstallPath = path;
  job.ScreenCodes = SplitCommaText(codes);
  Folder = ChooseOutFolder(ws_, cs_, Args.Out);
  // The lookup's points are shared by the screens that open it: one screen at a time, so
  // that what is taught is what the administrator clicked on that screen.
  if (job.ScreenCodes.size() != 1 || job.ScreenCodes.front().empty()) {
    ExitCode = CheckNothingDone;
    return Taught("教えられるのは画面コード1つだけです (指定: " + codes +
                  ")。1つだけ入力して、もう一度教えてください。設定ファイルには何も書いていません。");
  }
  Show("弥生販売の画面を開いています…");
  const TTeachResult taught = TeachScreen(Run(), cs_, job, Show);
  if (taught.End != TTeachEnd::Taught) {
    ExitCode = taught.End == TTeachEnd::Failed ? taught.ExitCode : CheckFaults;
    return Taught(taught.End == TTeachEnd::Cancelled ? "中止しました。設定ファイルには何も書いていません。"
                  : taught.End == TTeachEnd::TimedOut
                      ? "クリックを待つ時間が過ぎたため終了しました。設定ファイルには何も書いていません。"
                      : "教えられませんでした: " + taught.Failure + ClassesHint(path));
  }
  std::string copy;
  std::string whole;
  const std::string why = WriteTaught(cs_, settings_.File, taught.Taught, ws_.GetLocalTime(), copy, &whole);
  const std::string file = settings_.File;
  std::string outcome;
  if (why.empty()) {
    outcome = "設定ファイル " + file + " に書き込みました (" +
              (copy.empty() ? "新しく作りました" : "書き込む前のファイルは " + copy + " に保存") + "):\r\n";
  } else {
    const std::string fresh = Folder + SettingsFileName + ".new";
    outcome = "設定ファイル " + file + " に書き込めませんでした: " + why + "。\r\n" +
              (!whole.empty() && cs_.WriteWholeFile(fresh, whole)
                   ? "書き込むはずだった設定ファイル全体を " + fresh + " に置きました。これを pelmora.ini という名前で " +
                         file + " と置き換えてください (権限のある利用者で)。\r\n手で直すときは、"
                   : "手で直してください。") +
              "pelmora.ini の中の次の行を置き換えます (ない行は、その節の中に追加。節がなければ節ごと最後に追加。"
              "同じ名前の節が2つあると、2つ目は読まれません):\r\n";
  }
  const char* const aspect = AspectKey(taught.Taught.Aspect);
  outcome += TaughtLinesText(taught.Taught) + "画面の位置 (" + aspect + "=) は、このPCのモニターの形 (" + aspect +
             ") の分だけです。形の違うモニター (narrow、middle、wide) のPCでは、そのPCで教えてください。\r\n";
  // The lookup's points serve every screen that opens it: each code in force is checked again.
  settings_ = ReadSettings(ws_);
  job.ScreenCodes = SplitCommaText(CodesInForce());
  TCheckResult result = RunCheck(Run(), cs_, settings_, job, Folder);
  ExitCode = why.empty() ? result.ExitCode : TeachNotWritten;
  Report(result, outcome);
  Show(outcome + "\r\n" + CheckText(result));
}

void TCheckCommands::Taught(const std::string& outcome) {
  TCheckResult result;
  result.Report = Folder + CheckReportName;  // the teach's outcome alone
  Report(result, outcome);
  Show(outcome + "\r\n\r\n" + (result.Report.empty() ? "報告を書き込めませんでした: " : "報告の保存先: ") + Folder);
}

void TCheckCommands::Report(TCheckResult& result, const std::string& outcome) {
  if (result.Report.empty()) return;
  std::vector<std::string> head = {std::string("# pelmora-check ") + CheckVersion};
  std::string line;
  for (const char c : outcome) {
    if (c == '\n') {
      head.push_back("# " + line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) head.push_back("# " + line);
  result.Context.insert(result.Context.begin(), head.begin(), head.end());
  if (!cs_.WriteWholeFile(result.Report, ReportText(result))) result.Report.clear();
}

std::string TCheckCommands::ClassesHint(const std::string& path) const {
  const bool classFound = ws_.FindWindowExA(0, settings_.Table.MainWindowClass.c_str(), nullptr) != 0;
  const TProcessId running = path.empty() || classFound ? 0 : ws_.FindSessionProcessStartedFrom(path);
  const std::string classes = running != 0 ? TopLevelClasses(ws_, running) : std::string();
  if (classes.empty()) return {};
  return "\r\n\r\n弥生販売 (" + path + ") は動いていますが、ウィンドウのクラスが " + settings_.Table.MainWindowClass +
         " ではありません。ウィンドウのクラス: " + classes +
         "\r\n新しい版でクラスが変わったときは、pelmora.ini に次の行を書いてください:\r\n[target]\r\nclass=" +
         classes.substr(0, classes.find(','));
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
