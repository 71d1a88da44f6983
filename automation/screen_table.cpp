#include "automation/screen_table.h"

#include <algorithm>

#include "automation/messages.h"

namespace pelmora {
namespace {

// The facts as built in; a title of null is none.
struct TBuiltInRow {
  const char* Code;
  const char* WindowTitles[2];
  std::array<std::uintptr_t, 2> MenuKeys;
  std::array<TOffset, 3> ClickOffset;
  const char* LookupTitle;
};

const TBuiltInRow BuiltInRows[] = {
    {"td", {"得意先台帳 (新規)", "得意先台帳 (修正)"}, {'D', 'A'},
     {{{184, 120}, {184, 114}, {188, 126}}}, "得意先参照"},
    {"tm", {"得意先元帳", nullptr}, {'U', 'J'}, {{{163, 120}, {163, 113}, {168, 127}}}, "請求先参照"},
    {"ud", {"売上伝票 (新規)", "売上伝票 (修正)"}, {'U', 'C'},
     {{{146, 160}, {146, 152}, {157, 168}}}, "得意先参照"},
};

}  // namespace

TScreenTable BuiltInTable() {
  TScreenTable table{"Hanbai15Main", {}, {{{135, 40}, {115, 180}, {65, 117}}}, {}};
  for (const TBuiltInRow& row : BuiltInRows) {
    table.Screens.push_back({row.Code, {}, row.MenuKeys, row.ClickOffset, row.LookupTitle});
    for (const char* title : row.WindowTitles) {
      if (title != nullptr) table.Screens.back().WindowTitles.push_back(title);
    }
  }
  return table;
}

namespace {

// For the messages and the built-in rows.
const TScreenTable BuiltIn = BuiltInTable();

}  // namespace

const TScreenEntry* TScreenTable::Find(const std::string& code) const {
  for (const TScreenEntry& row : Screens) {
    if (code == row.Code) return &row;
  }
  return nullptr;
}

const std::array<TOffset, 3>& TScreenTable::LookupPoints(const std::string& lookupTitle) const {
  const auto own = LookupClickPointsOf.find(lookupTitle);
  return own != LookupClickPointsOf.end() ? own->second : LookupClickPoints;
}

TAspectClass AspectClassOf(double ratio) {
  if (ratio >= 1.6) return acWide;
  if (ratio < 1.33) return acNarrow;
  return acMiddle;
}

const TScreenEntry* FindScreen(const std::string& code) { return BuiltIn.Find(code); }

namespace msg {

std::vector<std::string> AllMessages() {
  std::vector<std::string> all;
  for (const char* name : {NameInstallPath, NameScreenCode, NamePhoneNumber}) {
    all.push_back(MissingArgument(name));
  }
  all.push_back(std::string(ArgumentPrefix) + NameScreenCode + ArgumentInvalid);
  all.insert(all.end(), {NotJapanese, Utf8Ticked, OtherJob, ScreenLocked, PathInvalid, StartFailed, std::string(NotStarted) + MainHidden,
                         HigherRights, NotResponding, std::string(NotStarted) + NoMdiClient,
                         std::string(NotStarted) + NoMenu,
                         std::string(NotStarted) + NoChild, std::string(NotStarted) + ChildHidden});
  std::vector<std::string> titles;
  for (const TScreenEntry& row : BuiltIn.Screens) {
    if (std::find(titles.begin(), titles.end(), row.LookupTitle) == titles.end()) {
      titles.push_back(row.LookupTitle);
    }
  }
  for (const std::string& title : titles) {
    for (const char* detail : {NoLookup, LookupHidden, NoSearchField}) {
      all.push_back(NotStarted + title + detail);
    }
  }
  all.push_back(UnknownError);
  return all;
}

}  // namespace msg
}  // namespace pelmora
