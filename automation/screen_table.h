// What the automation knows about the target's screens: titles, menu keys, click
// offsets per display shape, and the lookup dialog's layout.
#pragma once

#include <array>
#include <cstdint>
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
  const char* Code;
  std::vector<const char*> WindowTitles;  // tried in this order
  std::array<std::uintptr_t, 2> MenuKeys;  // pressed after F10
  std::array<TOffset, 3> ClickOffset;      // indexed by TAspectClass
  const char* LookupTitle;
};

// The lookup dialog's click points from its outer corner, clicked in this order; the
// last is the search field.
extern const std::array<TOffset, 3> LookupClickPoints;

TAspectClass AspectClassOf(double ratio);

// The row for a code (exact, case-sensitive), or null.
const TScreenEntry* FindScreen(const std::string& code);

}  // namespace pelmora
