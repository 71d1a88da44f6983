// The check: each screen opened as the job opens it, its click point judged, clicked only
// when OK, F8 sent and the three points of the lookup it opened judged without a click.
#include "automation/check.h"

namespace pelmora {
namespace {

const char* const FolderName = "pelmora-check";
const char* const LookupKeys[] = {"click1", "click2", "click3"};
// A point judged OK whose click the job's guard would not send or the target never took.
const char* const Unclicked = "クリックが受け付けられない: ";
const char* const FocusLess = "クリックしてもフォーカスを受け取らない (F8はそのときフォーカスのある欄の参照画面を開くおそれ)";
// What the end the check publishes counts for a picture, times patience: the window asked
// to draw itself and the file written.
constexpr std::uint32_t PictureMaxMs = 5000;

const char* SpotText(TSpot spot) {
  switch (spot) {
    case TSpot::Control: return "コントロール";
    case TSpot::Surface: return "画面の地 (コントロールなし: クリックは空振りのおそれ)";
    case TSpot::OtherScreen: return "別の画面 (クリックは拒否される)";
    case TSpot::TargetMain: return "弥生販売のメインウィンドウ (クリックは拒否される)";
    case TSpot::TargetBox: return "弥生販売の別のウィンドウ (クリックは拒否される)";
    case TSpot::OtherProgram: return "別のプログラム (クリックは拒否される)";
    case TSpot::Nothing: return "ウィンドウなし";
    case TSpot::OffMonitor: return "どのモニターにもない点";
  }
  return "";
}

// A field of the report holds no tab or line end.
std::string OneField(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

// The window a control belongs to: its screen, or its top-level window.
TWindow OwnerOf(TWindowSystem& ws, const TTarget& target, TWindow window) {
  if (target.MdiClient != 0 && window != target.MdiClient && ws.IsChild(target.MdiClient, window)) {
    for (TWindow s = ws.FindWindowExA(target.MdiClient, 0, nullptr, nullptr); s != 0;
         s = ws.FindWindowExA(target.MdiClient, s, nullptr, nullptr)) {
      if (s == window || ws.IsChild(s, window)) return s;
    }
  }
  return ws.GetAncestor(window);
}

std::string Described(TWindowSystem& ws, const TTarget& target, const TSpotAt& at) {
  std::string text = SpotText(at.Spot);
  if (at.Under == 0) return text;
  const TWindow owner = OwnerOf(ws, target, at.Under);
  text += ": " + ws.GetClassNameA(at.Under) + " \"" + ws.GetWindowTextA(at.Under) + "\"";
  if (owner != at.Under) text += " / " + ws.GetClassNameA(owner) + " \"" + ws.GetWindowTextA(owner) + "\"";
  return text + " pid=" + Decimal(ws.GetWindowThreadProcessId(at.Under));
}

TPointLine Judged(const TRun& run, const TTarget& target, const std::string& code, const char* key,
                  TWindow meant, TPoint at, const TOpened& opened = {}) {
  const TSpotAt spot = JudgePoint(run.Ws, target, meant, at, opened);
  return {code, key, at, spot.Spot == TSpot::Control ? TPointState::Ok : TPointState::Ng,
          Described(run.Ws, target, spot)};
}

void Skip(TCheckResult& result, const std::string& code, const char* key, TPoint at,
          const std::string& why) {
  result.Points.push_back({code, key, at, TPointState::Skip, why});
}

void SkipLookup(TCheckResult& result, const std::string& code, const std::string& why) {
  for (const char* key : LookupKeys) Skip(result, code, key, {}, why);
}

void Picture(TCheckSystem& cs, TWindow window, const std::vector<TPointLine>& lines,
             std::size_t first, const std::string& path, TCheckResult& result) {
  std::vector<TPictureMark> marks;
  for (std::size_t i = first; i < lines.size(); ++i) {
    marks.push_back({lines[i].At, lines[i].Key, lines[i].State == TPointState::Ok});
  }
  const std::string written = cs.SaveWindowPicture(window, marks, path);
  if (!written.empty()) result.Pictures.push_back(written);
}

// A point in a gap between monitors scaled unlike lies within the virtual desktop yet on
// none of them: the job refuses a click there.
bool OnAnyMonitor(TWindowSystem& ws, TPoint at) { return ws.MonitorFromPoint(at) != 0; }

std::string Number2(int value) { return (value < 10 ? "0" : "") + Decimal(static_cast<std::uint64_t>(value)); }

// The "#" lines: when, where, on what, and with which facts.
std::vector<std::string> ContextLines(const TRun& run, TCheckSystem& cs, const TSettings& settings,
                                      const TJob& job, const TTarget& target) {
  TWindowSystem& ws = run.Ws;
  const TSystemTime t = ws.GetLocalTime();
  const TOsVersion os = ws.RtlGetVersion();
  const TMonitor monitor = ws.MonitorFromWindow(target.Main);
  TRect m;
  std::string device;
  ws.GetMonitorInfoA(monitor, m, device);
  const std::string version = cs.GetFileVersion(job.InstallPath);
  std::vector<std::string> lines = {
      "# 日時: " + Decimal(static_cast<std::uint64_t>(t.Year)) + "-" + Number2(t.Month) + "-" +
          Number2(t.Day) + " " + Number2(t.Hour) + ":" + Number2(t.Minute) + ":" + Number2(t.Second),
      "# Windows: " + Decimal(os.Major) + "." + Decimal(os.Minor),
      "# モニター: " + device + " " + Decimal(static_cast<std::uint64_t>(m.Right - m.Left)) + "x" +
          Decimal(static_cast<std::uint64_t>(m.Bottom - m.Top)) + " 縦横比クラス " +
          AspectKey(AspectClassOf(job.AspectRatio)) + " 拡大率 " +
          Decimal(static_cast<std::uint64_t>(cs.GetMonitorScalePercent(monitor))) + "%",
      "# 弥生販売: " + (job.InstallPath.empty() ? std::string("(パス指定なし)") : job.InstallPath) +
          " バージョン " + (version.empty() ? std::string("不明") : version),
      "# 設定ファイル: " + settings.File +
          (ws.FileExists(settings.File) ? "" : " (なし: 既定値のまま)")};
  for (const std::string& note : settings.TableNotes) lines.push_back("# 設定: " + OneField(note));
  return lines;
}

}  // namespace

const char* AspectKey(TAspectClass aspect) {
  static const char* const Keys[] = {"narrow", "middle", "wide"};
  return Keys[aspect];
}

TSpotAt JudgePoint(TWindowSystem& ws, const TTarget& target, TWindow meant, TPoint at,
                   const TOpened& opened) {
  if (!OnAnyMonitor(ws, at)) return {TSpot::OffMonitor, 0};
  const TWindow under = ws.WindowFromPoint(at);
  if (under == 0) return {TSpot::Nothing, 0};
  if (ws.GetWindowThreadProcessId(under) != target.Process) return {TSpot::OtherProgram, under};
  if (IsOnMeantWindow(ws, target, meant, under, opened)) {
    return {under == meant ? TSpot::Surface : TSpot::Control, under};
  }
  if (ws.GetAncestor(under) != target.Main) return {TSpot::TargetBox, under};
  if (under != target.MdiClient && ws.IsChild(target.MdiClient, under)) {
    return {TSpot::OtherScreen, under};
  }
  return {TSpot::TargetMain, under};
}

std::string FormatPointLine(const TPointLine& line) {
  static const char* const States[] = {"OK", "NG", "SKIP"};
  const std::string at = line.State == TPointState::Skip && line.At.X == 0 && line.At.Y == 0
                             ? "-"
                             : Coordinates(line.At.X, line.At.Y);
  return OneField(line.Code) + "\t" + line.Key + "\t" + at + "\t" +
         States[static_cast<int>(line.State)] + "\t" + OneField(line.What);
}

std::string ReportText(const TCheckResult& result) {
  std::string text;
  for (const std::string& line : result.Context) text += line + "\r\n";
  for (const TPointLine& line : result.Points) text += FormatPointLine(line) + "\r\n";
  return text;
}

std::string ChooseOutFolder(TWindowSystem& ws, TCheckSystem& cs, const std::string& out) {
  const auto usable = [&cs](const std::string& folder) {
    return cs.CreateDirectoryA(folder) && cs.WriteWholeFile(folder + "\\" + CheckReportName, "");
  };
  if (!out.empty()) {
    const std::string folder = out.back() == '\\' || out.back() == '/' ? out.substr(0, out.size() - 1) : out;
    if (usable(folder)) return folder + "\\";
  }
  const std::string beside = FolderOf(ws.GetModuleFileNameA()) + FolderName;
  if (usable(beside)) return beside + "\\";
  // The last resort: where it cannot be written either, the report says so in the window.
  const std::string temporary = cs.GetTempPathA() + FolderName;
  cs.CreateDirectoryA(temporary);
  return temporary + "\\";
}

void CheckScreen(const TRun& run, TCheckSystem& cs, const TJob& job, const TTarget& target,
                 const std::string& folder, TCheckResult& result) {
  TWindowSystem& ws = run.Ws;
  const std::string& code = job.ScreenCode;
  const TAspectClass aspect = AspectClassOf(job.AspectRatio);
  const char* key = AspectKey(aspect);
  const TScreenEntry* row = run.Table.Find(code);
  if (row == nullptr) {
    Skip(result, code, key, {}, "画面コードが不明");
    return SkipLookup(result, code, "画面コードが不明");
  }
  TWindow screen = 0;
  if (TFailure failure = FindOrOpenScreen(run, job, target, *row, true, screen)) {
    Skip(result, code, key, {}, "画面なし: " + *failure);
    return SkipLookup(result, code, "画面なし");
  }
  ws.PostMessageA(target.MdiClient, wm::MdiActivate, screen, 0);
  ws.Pause(ActivatePauseMs);
  TRect rect;
  ws.GetWindowRect(screen, rect);
  const TOffset offset = row->ClickOffset[aspect];
  const std::size_t first = result.Points.size();
  result.Points.push_back(Judged(run, target, code, key, screen, {rect.Left + offset.X, rect.Top + offset.Y}));
  TPointLine& screenPoint = result.Points.back();
  if (screenPoint.State == TPointState::Ok) {
    bool focused = false;
    const bool clicked = ClickScreen(run, target, screen, offset, code, focused);
    // As for the lookup's points: where the job would not click it (its physical point
    // elsewhere, on no monitor, never taken), an OK here would hide why the job fails. F8
    // goes to whichever field has the focus: one the point did not give would open another
    // field's lookup, or none.
    if (!clicked || !focused) {
      screenPoint.State = TPointState::Ng;
      screenPoint.What = (clicked ? std::string(FocusLess) + ": " : std::string(Unclicked)) + screenPoint.What;
    }
  }
  Picture(cs, screen, result.Points, first, folder + code + "-screen.png", result);
  if (result.Points[first].State != TPointState::Ok) {
    return SkipLookup(result, code, "画面の点がNGのため、F8を送っていません");
  }
  const std::string lookupFailure = std::string(msg::NotStarted) + row->LookupTitle;
  const TWindow lookup = OpenOwnLookup(run, target, screen, *row, code);
  if (lookup == 0) return SkipLookup(result, code, "参照画面なし: " + lookupFailure + msg::NoLookup);
  TRect box;
  if (!WaitVisible(run, lookup, "screen " + code + " lookup") || !ws.GetWindowRect(lookup, box)) {
    ws.PostMessageA(lookup, wm::Close, 0, 0);
    return SkipLookup(result, code, "参照画面なし: " + lookupFailure + msg::LookupHidden);
  }
  // The points before the field are clicked as the job clicks them, so that a list the
  // first drops is there for the second; the field is judged as the job will find it, and
  // nothing is typed. Past a point that was not clicked the others are judged as they lie.
  const std::size_t lookupFirst = result.Points.size();
  const std::array<TOffset, 3>& lookupPoints = run.Table.LookupPoints(row->LookupTitle);
  const std::size_t points = lookupPoints.size();
  TClicked last;
  bool clicking = true;
  for (std::size_t i = 0; i < points; ++i) {
    const TOffset point = lookupPoints[i];
    result.Points.push_back(Judged(run, target, code, LookupKeys[i], lookup,
                                   {box.Left + point.X, box.Top + point.Y}, last.Opened));
    TPointLine& line = result.Points.back();
    clicking = clicking && i + 1 < points && line.State == TPointState::Ok;
    if (clicking && !ClickTarget(run, target, lookup, {point.X, point.Y}, LookupClickPauseMs,
                                 "lookup " + Decimal(i + 1) + " of 3", last)) {
      clicking = false;
      line.State = TPointState::Ng;
      line.What = Unclicked + line.What;
    }
  }
  Picture(cs, lookup, result.Points, lookupFirst, folder + code + "-lookup.png", result);
  // As the lookup's close box would, so the target tidies it up itself.
  ws.PostMessageA(lookup, wm::Close, 0, 0);
  run.Say([&] { return "screen " + code + ": lookup " + DescribeWindow(ws, lookup) + " closed"; });
}

TCheckResult RunCheck(const TRun& run, TCheckSystem& cs, const TSettings& settings, TJob& job,
                      const std::string& folder) {
  TCheckResult result;
  const std::uint32_t picturesMs = 2 * PictureMaxMs * run.Patience;  // a screen's and its lookup's
  RunUnderJobLock(run, job.ScreenCodes.size(), picturesMs, [&](TWaitResult lock, const TPublishEnd& publishAgain) {
    if (lock != TWaitResult::Acquired) {
      result.Failure = "ほかのプログラムの処理が終わらないため、確認できませんでした。";
      return;
    }
    const TSession session = WaitForSession(run);
    if (session != TSession::TakesInput) {
      result.Failure = msg::ScreenLocked;
      return;
    }
    const TFinerTimer finerTimer(run.Ws);
    TTarget target;
    if (TFailure failure = StartTarget(run, job, target, false)) {
      result.Failure = *failure;
      return;
    }
    result.Context = ContextLines(run, cs, settings, job, target);
    std::size_t left = job.ScreenCodes.size();
    for (const std::string& code : job.ScreenCodes) {
      if (!publishAgain(left--)) {
        result.Failure = msg::OtherJob;
        break;
      }
      job.ScreenCode = code;
      CheckScreen(run, cs, job, target, folder, result);
    }
    // No code given checks nothing: not a layout found good.
    result.ExitCode = result.Points.empty() ? CheckFaults : CheckAllOk;
    for (const TPointLine& line : result.Points) {
      if (line.State != TPointState::Ok) result.ExitCode = CheckFaults;
    }
  });
  if (result.Context.empty()) result.Context.push_back("# 確認できませんでした: " + result.Failure);
  const std::string path = folder + CheckReportName;
  if (cs.WriteWholeFile(path, ReportText(result))) result.Report = path;
  return result;
}

}  // namespace pelmora
