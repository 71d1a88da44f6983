// The teach: the screen opened as the job opens it, the administrator's click taken in it,
// F8 sent as the job sends it, and the lookup's three points taken in that lookup.
#include "automation/teach.h"

#include <iterator>

namespace pelmora {
namespace {

std::string Offset(TOffset offset) { return Coordinates(offset.X, offset.Y); }

TTeachEnd Ended(TClickWait wait) {
  return wait == TClickWait::Cancelled ? TTeachEnd::Cancelled : TTeachEnd::TimedOut;
}

TTeachResult Failed(int exitCode, const std::string& why) {
  TTeachResult result;
  result.ExitCode = exitCode;
  result.Failure = why;
  return result;
}

// Waits for the target to take the administrator's click as the job waits for its own: the
// press is seen before the target gets it, and the release follows it. What the click
// opened is where the next one may land.
void TakenByTarget(const TRun& run, TWindow window, TClicked& clicked) {
  TWindowSystem& ws = run.Ws;
  const std::uint32_t limitMs = ClickTakenMs * run.Patience;
  ws.Pause(ScreenClickPauseMs);
  ws.SendMessageTimeoutA(window, wm::Null, 0, 0, limitMs);
  const std::uint32_t start = ws.GetTickCount();
  clicked.Opened = {};
  while (clicked.Before.Thread != 0 && !ClickHandled(ws, clicked) && ws.GetTickCount() - start < limitMs) {
    ws.Pause(ClickTakenPauseMs);
  }
  ws.Pause(ScreenClickPauseMs);
}

// The four clicks, once the target is up; the lookup F8 opened is closed again.
TTeachResult TakeClicks(const TRun& run, TCheckSystem& cs, const TJob& job, const TTarget& target,
                        const TTeachSay& say) {
  TWindowSystem& ws = run.Ws;
  const std::string& code = job.ScreenCode;
  const TScreenEntry* row = run.Table.Find(code);
  if (row == nullptr) {
    return Failed(CheckFaults, std::string(msg::ArgumentPrefix) + msg::NameScreenCode + msg::ArgumentInvalid);
  }
  TWindow screen = 0;
  if (TFailure failure = FindOrOpenScreen(run, job, target, *row, true, screen)) {
    return Failed(CheckFaults, *failure);
  }
  ws.PostMessageA(target.MdiClient, wm::MdiActivate, screen, 0);
  ws.Pause(ActivatePauseMs);

  const std::uint32_t waitMs = TeachClickWaitMs * run.Patience;
  TTeachResult result;
  result.Taught.Code = code;
  result.Taught.Aspect = AspectClassOf(job.AspectRatio);
  result.Taught.LookupTitle = row->LookupTitle;
  say("画面「" + ws.GetWindowTextA(screen) + "」で、F8の前にクリックする位置をクリックしてください。");
  TClicked clicked;
  const TClickWait first = TakeClickInside(ws, cs, target, screen, waitMs, say, result.Taught.Screen, clicked);
  if (first != TClickWait::Clicked) {
    result.End = Ended(first);
    return result;
  }
  // The press went on to the target, which must take it before F8 as it takes the job's own
  // click: it is handed posted keys before input, and the field must have the focus first.
  TakenByTarget(run, screen, clicked);
  TWindow focus = 0;
  if (!WaitForFocusIn(run, clicked, focus)) {
    say("クリックした位置はフォーカスを受け取りませんでした。F8はそのときフォーカスのある欄の参照画面を開くおそれがあります。");
  }
  clicked = {};
  const TWindow lookup = OpenOwnLookup(run, target, screen, *row, code);
  if (lookup == 0 || !WaitVisible(run, lookup, "screen " + code + " lookup")) {
    return Failed(CheckFaults, std::string(msg::NotStarted) + row->LookupTitle +
                                   (lookup == 0 ? msg::NoLookup : msg::LookupHidden));
  }
  static const char* const What[] = {"1番目の位置 (click1)", "2番目の位置 (click2)",
                                     "3番目の位置 (click3: 電話番号を入力する欄)"};
  for (std::size_t i = 0; i < result.Taught.Lookup.size(); ++i) {
    say("「" + row->LookupTitle + "」の" + What[i] + "をクリックしてください。");
    const TClickWait wait =
        TakeClickInside(ws, cs, target, lookup, waitMs, say, result.Taught.Lookup[i], clicked);
    if (wait == TClickWait::Clicked) TakenByTarget(run, lookup, clicked);
    if (wait != TClickWait::Clicked) {
      ws.PostMessageA(lookup, wm::Close, 0, 0);
      result.End = Ended(wait);
      return result;
    }
  }
  ws.PostMessageA(lookup, wm::Close, 0, 0);
  result.End = TTeachEnd::Taught;
  result.ExitCode = CheckAllOk;
  return result;
}

}  // namespace

TClickWait TakeClickInside(TWindowSystem& ws, TCheckSystem& cs, const TTarget& target,
                           TWindow window, std::uint32_t timeoutMs, const TTeachSay& say,
                           TOffset& offset, TClicked& clicked) {
  const std::uint32_t start = ws.GetTickCount();
  for (;;) {
    const std::uint32_t spent = ws.GetTickCount() - start;
    if (spent >= timeoutMs) return TClickWait::TimedOut;
    // What the window's thread shows before the click, which the click is judged against.
    clicked.Before = ReadBefore(ws, ws.GetWindowThreadId(window));
    TPoint at;
    TWindowFacts pressed;
    const TClickWait wait = cs.WaitForLeftClick(timeoutMs - spent, at, pressed);
    if (wait != TClickWait::Clicked) return wait;
    TRect rect;
    if (!ws.GetWindowRect(window, rect)) return TClickWait::TimedOut;
    const bool inside = at.X >= rect.Left && at.X < rect.Right && at.Y >= rect.Top && at.Y < rect.Bottom;
    // A list the last click dropped may reach past the window's edge.
    const bool meant = IsOnMeantWindow(ws, target, window, pressed, {});
    if (meant ? inside : IsOnMeantWindow(ws, target, window, pressed, clicked.Opened)) {
      offset = {at.X - rect.Left, at.Y - rect.Top};
      clicked.Under = pressed.Window;
      return TClickWait::Clicked;
    }
    say("そのクリックは対象のウィンドウ「" + ws.GetWindowTextA(window) +
        "」の外のため、使いませんでした。もう一度、その中をクリックしてください。");
  }
}

TTeachResult TeachScreen(const TRun& run, TCheckSystem& cs, TJob& job, const TTeachSay& say) {
  TTeachResult result = Failed(CheckNothingDone, "");
  job.ScreenCode = job.ScreenCodes.empty() ? std::string() : job.ScreenCodes.front();
  // The end published covers the four waits for a click besides what a job may take.
  const std::uint32_t waitsMs = 4 * TeachClickWaitMs * run.Patience;
  RunUnderJobLock(run, 1, waitsMs, [&](TWaitResult lock, const TPublishEnd& publishAgain) {
    if (lock != TWaitResult::Acquired) {
      result.Failure = "ほかのプログラムの処理が終わらないため、教えられませんでした。";
      return;
    }
    if (WaitForSession(run) != TSession::TakesInput) {
      result.Failure = msg::ScreenLocked;
      return;
    }
    TTarget target;
    if (TFailure failure = StartTarget(run, job, target, false)) {
      result.Failure = *failure;
      return;
    }
    if (!publishAgain(1)) {
      result.Failure = msg::OtherJob;
      return;
    }
    result = TakeClicks(run, cs, job, target, say);
  });
  return result;
}

std::vector<TSettingLine> TaughtSettings(const TTaught& taught) {
  std::vector<TSettingLine> lines = {{"screen " + taught.Code, AspectKey(taught.Aspect), Offset(taught.Screen)}};
  static const char* const Keys[] = {"click1", "click2", "click3"};
  const std::string section = "lookup " + taught.LookupTitle;
  for (std::size_t i = 0; i < std::size(Keys); ++i) lines.push_back({section, Keys[i], Offset(taught.Lookup[i])});
  return lines;
}

std::string TaughtLinesText(const TTaught& taught) {
  std::string text;
  std::string section;
  for (const TSettingLine& line : TaughtSettings(taught)) {
    if (line.Section != section) text += "[" + (section = line.Section) + "]\r\n";
    text += line.Key + "=" + line.Value + "\r\n";
  }
  return text;
}

}  // namespace pelmora
