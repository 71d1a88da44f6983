// What the automation knows about the target: its main window's class, its screens'
// titles, menu keys and click offsets per display shape, and the lookup dialog's layout.
// Built in, each fact open to an override from the settings file.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace pelmora {

enum TAspectClass { acNarrow, acMiddle, acWide };

struct TOffset {
  int X;
  int Y;
};

struct TScreenEntry {
  std::string Code;
  std::vector<std::string> WindowTitles;  // tried in this order
  std::array<std::uintptr_t, 2> MenuKeys;  // pressed after F10
  std::array<TOffset, 3> ClickOffset;      // indexed by TAspectClass
  std::string LookupTitle;
};

struct TScreenTable {
  std::string MainWindowClass;
  std::vector<TScreenEntry> Screens;
  // The lookup dialog's click points from its outer corner, clicked in this order; the
  // last is the search field.
  std::array<TOffset, 3> LookupClickPoints;
  // A lookup's own points by its title, over LookupClickPoints for that lookup alone: a
  // teach of one lookup must not move another's.
  std::map<std::string, std::array<TOffset, 3>> LookupClickPointsOf;

  // The row for a code (exact, case-sensitive), or null.
  const TScreenEntry* Find(const std::string& code) const;
  // The click points of the lookup with this title.
  const std::array<TOffset, 3>& LookupPoints(const std::string& lookupTitle) const;
};

// The facts as the program knows them without settings.
TScreenTable BuiltInTable();

TAspectClass AspectClassOf(double ratio);

// The built-in row for a code, or null.
const TScreenEntry* FindScreen(const std::string& code);

}  // namespace pelmora
