#include "automation/settings.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

#include "automation/sjis.h"
#include "automation/trace.h"

namespace pelmora {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string FolderOf(const std::string& path) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < path.size(); i += CharLength(path, i)) {
    if (IsSeparator(path[i])) end = i + 1;
  }
  return path.substr(0, end);
}

std::string ResolvePath(const std::string& folder, const std::string& path) {
  const bool drive = path.size() >= 2 && path[1] == ':';
  if (path.empty() || drive || IsSeparator(path[0])) return path;
  return folder + path;
}

int ParseWhole(const std::string& text, int max) {
  const std::string digits = Trim(text);
  if (digits.empty()) return -1;
  int value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
    if (value > max) return -1;  // before it could overflow
  }
  return value;
}

int ParsePatience(const std::string& text) { return std::max(ParseWhole(text, MaxPatience), 0); }

namespace {

// The largest x or y of an offset or click point.
constexpr int MaxOffset = 9999;
// Each screen's section is named by this and its code.
const char* const ScreenSection = "screen ";
const char* const TitleKeys[] = {"title1", "title2", "title3"};
const char* const AspectKeys[] = {"narrow", "middle", "wide"};
const char* const LookupKeys[] = {"click1", "click2", "click3"};

bool Listed(const std::vector<std::string>& names, const char* name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Reads one section's overrides fact by fact: a value that is missing keeps the fact, one
// that is unusable keeps it too and is noted with its reason, and one that changes the
// fact is noted as in force.
class TFactReader {
 public:
  TFactReader(TWindowSystem& ws, const std::string& file, std::vector<std::string>& notes)
      : ws_(ws), file_(file), notes_(notes) {}

  void Section(const std::string& name) {
    section_ = name;
    keys_ = ws_.ReadSettingNames(name.c_str(), file_);
  }

  void Text(const char* key, std::string& fact) {
    const std::string text = Value(key);
    if (text.empty() || text == fact) return;
    fact = text;
    Note(key, Quoted(text));
  }

  // A virtual-key code: an upper-case letter or a digit.
  void Key(const char* key, std::uintptr_t& fact) {
    std::string text = Value(key);
    if (text.empty()) return;
    const char c = text[0] >= 'a' && text[0] <= 'z' ? static_cast<char>(text[0] - 'a' + 'A') : text[0];
    if (text.size() != 1 || ((c < 'A' || c > 'Z') && (c < '0' || c > '9'))) {
      Note(key, Quoted(text), "not a single letter or digit");
    } else if (static_cast<unsigned char>(c) != fact) {
      fact = static_cast<unsigned char>(c);
      text[0] = c;
      Note(key, text);
    }
  }

  void Offset(const char* key, TOffset& fact) {
    const std::string text = Value(key);
    if (text.empty()) return;
    const std::size_t comma = text.find(',');
    const int x = ParseWhole(text.substr(0, comma), MaxOffset);
    const int y = comma == std::string::npos ? -1 : ParseWhole(text.substr(comma + 1), MaxOffset);
    if (x < 0 || y < 0) {
      Note(key, Quoted(text), "not two whole numbers x,y from 0 to 9999");
    } else if (x != fact.X || y != fact.Y) {
      fact = {x, y};
      Note(key, Point({x, y}));
    }
  }

  // "settings [<section>] <key>=<value>", with why it was ignored when it was.
  void Note(const char* key, const std::string& value, const char* ignored = nullptr) {
    std::string line = "settings [" + section_ + "] " + key;
    if (!value.empty()) line += "=" + value;
    if (ignored != nullptr) line += std::string(" ignored: ") + ignored;
    notes_.push_back(line);
  }

 private:
  // The key's value; empty when the key is missing or empty, the latter noted.
  std::string Value(const char* key) {
    std::string text = ws_.GetPrivateProfileStringA(section_.c_str(), key, file_);
    if (text.empty() && Listed(keys_, key)) Note(key, "", "empty");
    return text;
  }

  TWindowSystem& ws_;
  const std::string& file_;
  std::vector<std::string>& notes_;
  std::string section_;
  std::vector<std::string> keys_;  // the section's key names
};

void ReadScreen(TFactReader& facts, TScreenEntry& row) {
  facts.Section(ScreenSection + row.Code);
  std::vector<std::string> titles;
  for (std::size_t i = 0; i < std::size(TitleKeys); ++i) {
    std::string title = i < row.WindowTitles.size() ? row.WindowTitles[i] : std::string();
    facts.Text(TitleKeys[i], title);
    if (!title.empty()) titles.push_back(title);
  }
  row.WindowTitles = std::move(titles);
  facts.Key("menu1", row.MenuKeys[0]);
  facts.Key("menu2", row.MenuKeys[1]);
  facts.Text("lookup", row.LookupTitle);
  for (int i = acNarrow; i <= acWide; ++i) facts.Offset(AspectKeys[i], row.ClickOffset[i]);
}

// The built-in facts with the file's overrides, and screens the file defines in sections
// named "screen <code>" for codes the table lacks.
void ReadTable(TWindowSystem& ws, const std::string& file, TSettings& settings) {
  TScreenTable& table = settings.Table;
  TFactReader facts(ws, file, settings.TableNotes);
  facts.Section("target");
  facts.Text("class", table.MainWindowClass);
  facts.Section("lookup");
  for (int i = 0; i < 3; ++i) facts.Offset(LookupKeys[i], table.LookupClickPoints[i]);
  for (TScreenEntry& row : table.Screens) ReadScreen(facts, row);
  // Section names as Windows lists them.
  const std::size_t prefix = std::strlen(ScreenSection);
  for (const std::string& section : ws.ReadSettingNames(nullptr, file)) {
    const char* const name = section.c_str();
    if (std::strncmp(name, ScreenSection, prefix) != 0) continue;
    const char* const code = name + prefix;
    if (*code == '\0' || table.Find(code) != nullptr) continue;
    // A new screen's facts have no defaults: an offset of -1 is one not given.
    TScreenEntry row{code, {}, {0, 0}, {{{-1, -1}, {-1, -1}, {-1, -1}}}, ""};
    ReadScreen(facts, row);
    if (row.WindowTitles.empty() || row.MenuKeys[0] == 0 || row.MenuKeys[1] == 0 ||
        row.LookupTitle.empty() || row.ClickOffset[0].X < 0 || row.ClickOffset[1].X < 0 ||
        row.ClickOffset[2].X < 0) {
      facts.Note("title1, menu1, menu2, lookup, narrow, middle, wide", "", "not all given for a new screen");
    } else {
      table.Screens.push_back(std::move(row));
    }
  }
}

}  // namespace

TSettings ReadSettings(TWindowSystem& ws) {
  TSettings settings;
  const std::string folder = FolderOf(ws.GetModuleFileNameA());
  settings.File = folder + SettingsFileName;
  const std::string trace = Trim(ws.GetPrivateProfileStringA("trace", "file", settings.File));
  if (!trace.empty()) settings.TracePath = ResolvePath(folder, trace);
  const std::string patience = ws.GetPrivateProfileStringA("timing", "patience", settings.File);
  if (!Trim(patience).empty()) {
    if (const int value = ParsePatience(patience)) {
      settings.Patience = value;
    } else {
      settings.PatienceIgnored = patience;
    }
  }
  ReadTable(ws, settings.File, settings);
  return settings;
}

}  // namespace pelmora
