// The job fuzz target's settings text: the reader must keep the built-in screens and put
// no unusable fact in force, from the values and from a file's bytes in each encoding.
#include "tests/fuzz/job_fuzz.h"

#include <algorithm>
#include <sstream>

#include "automation/settings_file.h"

namespace job_fuzz {

// The settings the desktop's file gives keep the built-in screens and put no unusable fact in force.
void CheckTable(TSimDesktop& desktop) {
  const TScreenTable table = ReadSettings(desktop).Table;
  for (const TScreenEntry& r : table.Screens) {
    bool usable = !r.WindowTitles.empty() && !Contains(r.WindowTitles, "") && !r.LookupTitle.empty();
    for (const std::uintptr_t k : r.MenuKeys) usable = usable && ((k >= 'A' && k <= 'Z') || (k >= '0' && k <= '9'));
    for (const TOffset o : r.ClickOffset) usable = usable && o.X >= 0 && o.Y >= 0;
    if (!usable) Fail("screen '" + r.Code + "' in force with an unusable fact");
  }
  if (table.MainWindowClass.empty() || !table.Find("td") || !table.Find("tm") || !table.Find("ud")) Fail("a built-in fact lost");
}

void CheckSettings(const std::string& text) {
  TSimDesktop desktop;
  const std::string file = FolderOf(desktop.ModuleFileName) + SettingsFileName;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t eq = std::min(line.find('='), line.size());
    desktop.Profiles[file][line.substr(0, eq)] = line.substr(std::min(eq + 1, line.size()));
  }
  CheckTable(desktop);
  // The text as a file's bytes, as they are and after each byte-order mark; a key set in
  // them reads back, in the same encoding, or leaves them as they were.
  for (const char* const mark : {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
    TSimDesktop saved;
    std::string bytes = saved.FileBytes[file] = mark + text;
    CheckTable(saved);
    const TSettingsEncoding encoding = DetectSettingsEncoding(bytes);
    bool lacking = false;
    if (!SetSettingValue(bytes, "screen td", "title1", "得意先台帳 (新規入力)")) {
      if (bytes != saved.FileBytes[file]) Fail("a refused change changed the file");
    } else if (DetectSettingsEncoding(bytes) != encoding ||
               TSettingsFile(bytes).Value("screen td", "title1", lacking) != "得意先台帳 (新規入力)") {
      Fail("a change reads back otherwise");
    }
  }
}

}  // namespace job_fuzz
