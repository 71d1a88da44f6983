// The teach: the administrator clicks the spot a screen needs before F8 and the three
// points of the lookup F8 opens; the offsets become the settings for the display's class.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "automation/check.h"

namespace pelmora {

// Each click is waited for this long, times patience.
constexpr std::uint32_t TeachClickWaitMs = 60000;

struct TTaught {
  std::string Code;
  TAspectClass Aspect = acWide;
  TOffset Screen{0, 0};                // from the screen's outer corner
  std::array<TOffset, 3> Lookup{};     // from the lookup's outer corner
  std::string LookupTitle;             // the lookup's own section is named by it
};

// A teach's exit code when pelmora.ini could not be written: the new file is in the report folder.
constexpr int TeachNotWritten = 3;

enum class TTeachEnd { Taught, Cancelled, TimedOut, Failed };

struct TTeachResult {
  TTeachEnd End = TTeachEnd::Failed;
  int ExitCode = CheckNothingDone;  // when it failed: as the check's
  std::string Failure;              // why it failed, for the window
  TTaught Taught;
};

// What the window shows the administrator: what to click next, or why a click was not taken.
using TTeachSay = std::function<void(const std::string&)>;

// Waits for the next left click inside `window` (on it or a control of it, of the target's,
// or on the list or menu the last click opened, `clicked.Opened`), judged by the window at
// the press (its thread, class and top-level window as they were then), at most `timeoutMs`
// in all; a click elsewhere is said and waited past. The offset from the window's outer
// corner; `clicked.Under`: the window pressed, `clicked.Before`: what its thread showed.
TClickWait TakeClickInside(TWindowSystem& ws, TCheckSystem& cs, const TTarget& target,
                           TWindow window, std::uint32_t timeoutMs, const TTeachSay& say,
                           TOffset& offset, TClicked& clicked);

// Opens the screen of job.ScreenCodes' first code as the job does and takes the four clicks,
// holding the job lock with an end that covers the waits. Writes nothing.
TTeachResult TeachScreen(const TRun& run, TCheckSystem& cs, TJob& job, const TTeachSay& say);

struct TSettingLine {
  std::string Section;
  std::string Key;
  std::string Value;
};

// The four settings a teach gives, in the order they are written: the screen's point for the
// display's class, the lookup's points in the lookup's own section.
std::vector<TSettingLine> TaughtSettings(const TTaught& taught);

// The lines an administrator would set by hand, under their section headers.
std::string TaughtLinesText(const TTaught& taught);

// Writes the taught settings into the settings file `file` in its own encoding, every other
// line kept byte for byte, after copying it to "<file>.bak", or where that copy exists
// already to "<file>.YYYYMMDD-HHMMSS.bak" of `now`; `copy` names the copy made. A file
// that does not exist yet is made; one that cannot be read, or written, is left alone and
// nothing copied. Empty when written, else why not, for the window. `whole`: the file's new
// content whenever it is known, for the administrator to put in place by hand.
std::string WriteTaught(TCheckSystem& cs, const std::string& file, const TTaught& taught, const TSystemTime& now,
                        std::string& copy, std::string* whole = nullptr);

}  // namespace pelmora
