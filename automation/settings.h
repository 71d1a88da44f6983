// The administrator's settings file, pelmora.ini beside the program. Without it every
// setting keeps its default, which is the program's behaviour without settings.
#pragma once

#include <string>
#include <vector>

#include "automation/screen_table.h"
#include "automation/settings_file.h"
#include "platform/window_system.h"

namespace pelmora {

inline const char* const SettingsFileName = "pelmora.ini";
constexpr int DefaultPatience = 1;
constexpr int MaxPatience = 10;

// [number]: how the number the phone system sends is made the one typed; each off by default.
struct TNumberRules {
  bool Digits = false;  // digits=1: digits only, full-width ones made half-width
  bool Plus81 = false;  // plus81=1: a leading +81 made 0
  bool Quiet = false;   // quiet=1: a call without a number ends with no box
};

struct TSettings {
  std::string File;       // the settings file that was read
  TSettingsEncoding Encoding = TSettingsEncoding::Ansi;  // told from its bytes
  std::string TracePath;  // [trace] file=, made absolute; empty: no trace
  // [timing] patience=: multiplies the count of every bounded wait.
  int Patience = DefaultPatience;
  // A patience value that was given but is not a whole number in range, kept to be
  // reported; the default is used instead.
  std::string PatienceIgnored;
  // The target's facts in force: the built-in ones with the file's overrides.
  TScreenTable Table = BuiltInTable();
  TNumberRules Number;
  // For the trace: each fact the file changed, each value ignored and why.
  std::vector<std::string> TableNotes;
};

TSettings ReadSettings(TWindowSystem& ws);

// The folder part of a path, with its final separator; empty when there is none.
// Code page 932 aware: a trail byte 0x5C is no separator.
std::string FolderOf(const std::string& path);

// `path` as it stands when absolute (drive, UNC or rooted), else under `folder`.
std::string ResolvePath(const std::string& folder, const std::string& path);

// A whole number from 0 to `max`, blanks around it allowed; -1 otherwise.
int ParseWhole(const std::string& text, int max);

// A whole number from 1 to MaxPatience, blanks around it allowed; 0 otherwise.
int ParsePatience(const std::string& text);

}  // namespace pelmora
