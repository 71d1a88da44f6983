// What the end-to-end runner's parts share: the messages, click points and groups the
// scenarios are judged by, a scenario and its result, and the plumbing's declarations.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "automation/settings_file.h"

namespace e2e {

const UINT kSyncMessage = WM_APP + 1;  // the stand-in records it when it leaves its queue

const char kPhone[] = "0312345678";
const char kOtherPhone[] = "0998887777";  // the second job's number when two run at once
const char kDbcsPhone[] = "０３ソ表－１２３４";  // trail bytes 0x5C included
const char kPrefix[] = "弥生販売を正常に起動できませんでした。(";

// Fixed messages the program may show (argument names, start-up, per-screen).
const std::string kMsgMissingPath = "実行時引数(弥生販売のインストール・フルパス)が不足のため実行できません。";
const std::string kMsgMissingCodes = "実行時引数(弥生販売の対象画面CD)が不足のため実行できません。";
const std::string kMsgMissingPhone = "実行時引数(電話番号)が不足のため実行できません。";
const std::string kMsgInvalidCode = "実行時引数(弥生販売の対象画面CD)が不正のため実行できません。";
const std::string kMsgBadPath = "外部接続画面で設定されている弥生販売のパスが無効です。";
const std::string kMsgNotStarted = "弥生販売を起動できませんでした。";
const std::string kMsgMainHidden = std::string(kPrefix) + "メインウィンドウの表示不可)";
const std::string kMsgNoMdi = std::string(kPrefix) + "MDIClientの取得不可)";
const std::string kMsgNotAnswering = "弥生販売が応答しないため、電話番号を入力できませんでした。";
const std::string kMsgNoMenu = std::string(kPrefix) + "メニューの取得不可)";
const std::string kMsgNoChild = std::string(kPrefix) + "子ウィンドウの取得不可)";
const std::string kMsgChildHidden = std::string(kPrefix) + "子ウィンドウの表示不可)";
inline std::string LookupMsg(const char* title, const char* what) { return std::string(kPrefix) + title + what; }
const std::string kMsgTdNoDialog = LookupMsg("得意先参照", "画面の取得不可)");
const std::string kMsgTmNoDialog = LookupMsg("請求先参照", "画面の取得不可)");
const std::string kMsgUdDialogHidden = LookupMsg("得意先参照", "画面の表示不可)");
const std::string kMsgTdNoField = LookupMsg("得意先参照", "画面-入力欄の取得不可)");
const std::string kMsgLocked =
    "画面がロックされていたため、弥生販売を操作できませんでした。電話番号は入力していません。";
const std::string kMsgElevated =
    "弥生販売が本プログラムより高い権限で実行されているため操作できません。"
    "弥生販売と本プログラムを同じ方法(管理者として実行するかどうか)で起動してください。";

const std::vector<std::string> kFixedMessages = {
    kMsgMissingPath, kMsgMissingCodes, kMsgMissingPhone, kMsgInvalidCode, kMsgBadPath, kMsgNotStarted,
    kMsgMainHidden, kMsgNoMdi, kMsgNoMenu, kMsgElevated, kMsgNotAnswering, kMsgLocked, kMsgNoChild, kMsgChildHidden,
    LookupMsg("得意先参照", "画面の取得不可)"), LookupMsg("請求先参照", "画面の取得不可)"),
    LookupMsg("得意先参照", "画面の表示不可)"), LookupMsg("請求先参照", "画面の表示不可)"),
    LookupMsg("得意先参照", "画面-入力欄の取得不可)"), LookupMsg("請求先参照", "画面-入力欄の取得不可)")};

// Where each screen's click must land, by aspect class (narrow, middle, wide),
// from the screen window's outer corner, and the stand-in control placed there.
struct ScreenClick {
  const char* code;
  POINT offset[3];
  const char* control;
};
const ScreenClick kScreenClicks[] = {
    {"td", {{184, 120}, {184, 114}, {188, 126}}, "code"},
    {"tm", {{163, 120}, {163, 113}, {168, 127}}, "billing"},
    {"ud", {{146, 160}, {146, 152}, {157, 168}}, "customer"},
};
// The lookup dialog's three clicks, in order, and the controls under them.
const struct {
  POINT offset;
  const char* control;
} kDialogClicks[] = {{{135, 40}, "by_phone"}, {{115, 180}, "results"}, {{65, 117}, "search"}};

struct Group {
  const char* name;
  int width, height, aspect;
};
const Group kGroups[] = {{"narrow", 1280, 1024, 0}, {"middle", 1024, 768, 1}, {"wide", 1920, 1080, 2},
                         {"dual", 1280, 1024, 0}, {"western", 1920, 1080, 2}};
// The dual group's virtual desktop: both monitors side by side.
const SIZE kDualDesktop = {3200, 1080};

enum class Target { None, Running, Started };

struct Result;
using Extra = std::function<void(Result&)>;

struct Scenario {
  const char* name;
  const char* group;
  Target target;
  const char* fault;     // STANDIN_FAULT
  const char* open;      // STANDIN_OPEN
  std::string args;      // command line after the program; {S} {B} {U} {X} {W} expand to paths
  const char* memo;      // expected memo lines joined by '|', or nullptr: not checked
  std::string box;       // expected error box text; "" for none
  const char* searches;  // dialogs (screen tags) that must receive the number, comma list
  std::string phone;
  int limitMs;
  unsigned flags;
  Extra extra;
  std::string second = "";  // a second pelmora's arguments, started secondAfterMs after the first
  int show = -1;            // pelmora's start-up show command (STARTUPINFO), -1: none given
  int aspect = -1;          // the aspect class the clicks must follow, -1: the group's
  RECT hand = {};           // a hand keeps pulling the cursor onto a window here, if not empty
  const char* desktop = nullptr;  // pelmora started on this desktop instead of the runner's
  DWORD secondAfterMs = 300;      // when the second pelmora starts, after the first
};

enum : unsigned {
  kNoMenuKeys = 1,     // screens already open: no F10 may arrive
  kCheckClicks = 2,    // clicks must land where the table says
  kStrayChars = 4,     // characters may legitimately land outside search fields
  kFacts = 8,          // check pelmora's window, owner and memo
  kAnyBoxOrNone = 16,  // a fixed message or none is acceptable
  kNoTypingCheck = 32, // searches not judged (behaviour not specified)
  kTraced = 64,        // a copy of pelmora with a settings file beside it that turns the trace on
  kStillWaits = 128,   // pelmora must still be waiting at the limit; then it is ended
  kNewVersion = 256,   // the traced copy's settings also match the stand-in's new_version
  kUtf8 = 512,         // the traced copy's settings saved as Notepad saves by default, in UTF-8
                       // without a byte-order mark, naming the stand-in's renamed screen
};

struct Paths {
  std::string pelmora, standin, work, blank, missing;
};
extern Paths g;
extern int g_aspect;  // the aspect class the clicks must follow
extern std::string g_check;  // pelmora-check.exe (--check); empty: its scenarios are not run

struct Event {
  std::map<std::string, std::string> f;
  std::string Get(const char* k) const {
    auto it = f.find(k);
    return it == f.end() ? "" : it->second;
  }
};

struct Result {
  std::vector<std::string> failures;
  std::vector<Event> events, coverEvents;
  std::vector<std::string> boxes;
  DWORD elapsedMs = 0;
  void Fail(const std::string& why) { failures.push_back(why); }
  void Expect(bool ok, const std::string& why) {
    if (!ok) Fail(why);
  }
};

const int kQuick = 20000;   // paths without the program's long waits
const int kSlow = 45000;    // paths bounded by the 15 s limits

// Plumbing: text, the stand-in's record, windows, processes.
std::string Hex(const std::string& bytes);
std::string Replace(std::string s, const std::string& from, const std::string& to);
std::string Expand(const std::string& s);
std::vector<std::string> Split(const std::string& s, char sep);
std::string Slurp(const std::string& path);
std::vector<Event> ParseRecord(const std::string& data);
std::string WindowText(HWND h);
std::string ClassOf(HWND h);
std::vector<HWND> TopWindowsOf(DWORD pid, const char* cls);
std::vector<HWND> ChildrenOf(HWND parent);
void Settle(DWORD ms);
void SetEnv(const char* name, const char* value);
bool Launch(const std::string& exe, const std::string& tail, PROCESS_INFORMATION& pi, int show = -1,
            const char* desktop = nullptr);
bool WaitForRecord(const std::string& path, const std::string& needle, DWORD ms);
void KillStandins(const std::string& record);
void SyncWith(const char* cls, const std::string& record, Result& r);
void Print(const std::string& text);
std::string Format(const char* fmt, ...);

// One scenario's run, and what its record must show.
std::string TracedDir();
Result Run(const Scenario& s, int index);
void CheckBoxes(const Scenario& s, Result& r);
void CheckTyping(const Scenario& s, Result& r);
Extra Refused(const std::string& win, int clicks);
BOOL CALLBACK FindScreen(HWND h, LPARAM lp);
HWND TargetScreen();
HWND TargetLookup();
void PhoneKindPicked(Result& r);
POINT ScreenClickOffset(const char* code);
void ExpectWindowAt(Result& r, HWND top, POINT offset, const char* cls);
void LookupsKeptOpen(Result& r);
void OwnLookups(Result& r);
void TakenAtOnce(Result& r);

// The scenario tables, in the order they run.
std::vector<Scenario> JobScenarios();
std::vector<Scenario> MessageScenarios();
std::vector<Scenario> StormScenarios();
std::vector<Scenario> SettingsScenarios();
std::vector<Scenario> DualScenarios();
std::string CheckReader();

// pelmora-check's scenarios.
struct CheckScenario {
  const char* name;
  const char* fault;
  bool teach;
  int exit;
  std::map<std::string, std::string> states;  // report lines that must read so; others OK
  bool western = false;  // run in the group whose Wine has code page 1252 (scripts/e2e), not in wide
  const char* taught = "td";  // the code a teach takes
};
extern const std::vector<CheckScenario> kCheckScenarios;
void RunCheckScenario(const CheckScenario& c, int index, Result& r);

}  // namespace e2e
