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

// The largest settings file read whole; a larger one is left to the profile functions.
constexpr std::uint32_t MaxFileBytes = 1024 * 1024;
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

// "settings [<section>] <key>=<value>", with why it was ignored when it was.
std::string NoteLine(const std::string& section, const char* key, const std::string& value, const char* ignored) {
  std::string line = "settings [" + section + "] " + key;
  if (!value.empty()) line += "=" + value;
  if (ignored != nullptr) line += std::string(" ignored: ") + ignored;
  return line;
}

// Why a value that cannot be read is ignored.
const char* const Lacking = "a character code page 932 lacks";

// The file's values: through Windows' profile functions from an ANSI file, which they read
// right; from the program's own reader in the encodings they do not (a UTF-8 byte-order
// mark kept on the first line, UTF-8 bytes taken as code page 932).
class TProfile {
 public:
  TProfile(TWindowSystem& ws, const std::string& file, const std::string& bytes)
      : ws_(ws), file_(file), read_(bytes) {}

  TSettingsEncoding Encoding() const { return read_.Encoding(); }

  // Empty, and `lacking` set, when the value has a character code page 932 lacks.
  std::string Value(const std::string& section, const char* key, bool& lacking) {
    lacking = false;
    if (Encoding() == TSettingsEncoding::Ansi) return ws_.GetPrivateProfileStringA(section.c_str(), key, file_);
    return read_.Value(section, key, lacking);
  }

  // A section given twice: Windows reads its first alone.
  std::vector<std::string> Repeated() const { return read_.Repeated(); }

  std::vector<std::string> Names(const char* section) {
    return Encoding() == TSettingsEncoding::Ansi ? ws_.ReadSettingNames(section, file_) : read_.Names(section);
  }

 private:
  TWindowSystem& ws_;
  const std::string& file_;
  const TSettingsFile read_;
};

// Reads one section's overrides fact by fact: a value that is missing keeps the fact, one
// that is unusable keeps it too and is noted with its reason, and one that changes the
// fact is noted as in force.
class TFactReader {
 public:
  TFactReader(TProfile& profile, std::vector<std::string>& notes) : profile_(profile), notes_(notes) {}

  void Section(const std::string& name) {
    section_ = name;
    keys_ = profile_.Names(name.c_str());
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

  void Flag(const char* key, bool& fact) {
    const std::string text = Trim(Value(key));
    if (text == "0" || text == "1") {
      if ((text == "1") != fact) Note(key, text);
      fact = text == "1";
    } else if (!text.empty()) {
      Note(key, Quoted(text), "not 0 or 1");
    }
  }

  void Note(const char* key, const std::string& value, const char* ignored = nullptr) {
    notes_.push_back(NoteLine(section_, key, value, ignored));
  }

 private:
  // The key's value; empty when the key is missing, empty or unreadable, the latter two noted.
  std::string Value(const char* key) {
    bool lacking = false;
    std::string text = profile_.Value(section_, key, lacking);
    if (lacking || (text.empty() && Listed(keys_, key))) Note(key, "", lacking ? Lacking : "empty");
    return text;
  }

  TProfile& profile_;
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
void ReadTable(TProfile& profile, TSettings& settings) {
  TScreenTable& table = settings.Table;
  TFactReader facts(profile, settings.TableNotes);
  facts.Section("target");
  facts.Text("class", table.MainWindowClass);
  facts.Section("lookup");
  for (int i = 0; i < 3; ++i) facts.Offset(LookupKeys[i], table.LookupClickPoints[i]);
  for (TScreenEntry& row : table.Screens) ReadScreen(facts, row);
  // Section names as Windows lists them.
  const std::size_t prefix = std::strlen(ScreenSection);
  for (const std::string& section : profile.Repeated()) {
    settings.TableNotes.push_back("settings [" + section + "] given again: only its first is read");
  }
  for (const std::string& section : profile.Names(nullptr)) {
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
  // A lookup's own points, named by its title, once for the screens that share it.
  for (const TScreenEntry& row : table.Screens) {
    if (table.LookupClickPointsOf.count(row.LookupTitle) != 0) continue;
    std::array<TOffset, 3> points = table.LookupClickPoints;
    facts.Section("lookup " + row.LookupTitle);
    for (int i = 0; i < 3; ++i) facts.Offset(LookupKeys[i], points[i]);
    table.LookupClickPointsOf[row.LookupTitle] = points;
  }
  facts.Section("number");
  facts.Flag("digits", settings.Number.Digits);
  facts.Flag("plus81", settings.Number.Plus81);
  facts.Flag("quiet", settings.Number.Quiet);
}

}  // namespace

TSettings ReadSettings(TWindowSystem& ws) {
  TSettings settings;
  const std::string folder = FolderOf(ws.GetModuleFileNameA());
  settings.File = folder + SettingsFileName;
  // A file that is missing or cannot be read whole is the profile functions' to read.
  std::string bytes;
  if (!ws.ReadFileBytes(settings.File, MaxFileBytes, bytes)) bytes.clear();
  TProfile profile(ws, settings.File, bytes);
  settings.Encoding = profile.Encoding();
  bool lacking = false;
  const std::string trace = Trim(profile.Value("trace", "file", lacking));
  if (!trace.empty()) settings.TracePath = ResolvePath(folder, trace);
  const std::string patience = profile.Value("timing", "patience", lacking);
  if (lacking) settings.TableNotes.push_back(NoteLine("timing", "patience", "", Lacking));
  if (!Trim(patience).empty()) {
    if (const int value = ParsePatience(patience)) {
      settings.Patience = value;
    } else {
      settings.PatienceIgnored = patience;
    }
  }
  ReadTable(profile, settings);
  return settings;
}

}  // namespace pelmora
