// pelmora-check: what lies at each click point of a screen and of the lookup its F8 opens,
// judged as the job's click guard would judge it, with a picture of each and a report.
#pragma once

#include <string>
#include <vector>

#include "automation/run.h"
#include "automation/settings.h"
#include "platform/check_system.h"

namespace pelmora {

// What lies at a click point, for a click meant for a screen or a lookup.
enum class TSpot {
  Control,       // a control inside the window meant: OK
  Surface,       // the window meant itself, where no control lies
  OtherScreen,   // another screen of the target
  TargetMain,    // the target's main window outside every screen (toolbar, MDI client)
  TargetBox,     // a window of the target's of its own: a question, another lookup
  OtherProgram,  // a window of another process
  Nothing,       // no window at all
  OffMonitor,    // outside every monitor
};

struct TSpotAt {
  TSpot Spot = TSpot::Nothing;
  TWindow Under = 0;
};

// `opened`: a list or menu that the last click opened, on which the point counts as a control.
TSpotAt JudgePoint(TWindowSystem& ws, const TTarget& target, TWindow meant, TPoint at,
                   const TOpened& opened = {});

enum class TPointState { Ok, Ng, Skip };

struct TPointLine {
  std::string Code;
  std::string Key;  // the settings key: narrow, middle or wide; click1 to click3
  TPoint At;
  TPointState State = TPointState::Skip;
  std::string What;  // what lies there, or why it was not looked at
};

// The report's line for a point, without its line end.
std::string FormatPointLine(const TPointLine& line);

// The report's file name, in the folder ChooseOutFolder gives.
inline const char* const CheckReportName = "pelmora-check.txt";

// The exit codes.
constexpr int CheckAllOk = 0;
constexpr int CheckFaults = 1;      // a point NG or skipped, a screen or lookup not found
constexpr int CheckNothingDone = 2; // no target, a locked screen, the lock held past its bound

struct TCheckResult {
  int ExitCode = CheckNothingDone;
  std::string Failure;  // why nothing could be checked, for the window
  std::vector<std::string> Context;  // the report's "#" lines
  std::vector<TPointLine> Points;
  std::vector<std::string> Pictures;  // the files written
  std::string Report;                 // the report's path; empty when it could not be written
};

// Where the report and pictures go, ending in a separator: `out` when given (/out:), else
// a folder pelmora-check beside the program, else one in the temporary folder.
std::string ChooseOutFolder(TWindowSystem& ws, TCheckSystem& cs, const std::string& out);

// Checks each screen of job.ScreenCodes, as the job would work it, under the job lock;
// writes the pictures and the report into `folder`. Types nothing.
TCheckResult RunCheck(const TRun& run, TCheckSystem& cs, const TSettings& settings, TJob& job,
                      const std::string& folder);

// The part after the start-up, for one screen: appends its four lines.
void CheckScreen(const TRun& run, TCheckSystem& cs, const TJob& job, const TTarget& target,
                 const std::string& folder, TCheckResult& result);

// The report: the context lines, then one line per point, CR LF each.
std::string ReportText(const TCheckResult& result);

// The aspect class's settings key.
const char* AspectKey(TAspectClass aspect);

}  // namespace pelmora
