// The lookup's search kinds as a drop-down list, as a lookup may lay them out: the first
// click point drops the list, and while it is dropped the phone kind lies under the second.
#pragma once
#include <windows.h>

// Fills the drop-down list `combo` so that, dropped, the phone kind lies at screen row
// `secondY`, and selects the name kind, as the lookup opens.
void FillKinds(HWND combo, LONG secondY);
// The picked kind's tag for the record ("phone", "name", ...); "" when none is picked.
const char* KindTag(HWND combo);
// Registers the classes of a search-kind box the stand-in draws itself ("StandinKindBox"),
// which FillKinds and KindTag fill and read as they do a combo box, and of the list it drops.
void RegisterOwnKinds(HINSTANCE inst);
