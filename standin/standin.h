// What the stand-in's parts share: its screens and lookup layout, its state, and the
// steps each part offers the others.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>
#include <vector>

namespace standin {

const UINT kSyncMessage = WM_APP + 1;   // wParam: id; recorded when it comes out of the queue
// To the cover process. wParam: MAKEWPARAM(width, height), 0 hides; lParam: screen
// point of the top-left corner.
const UINT kCoverMessage = WM_APP + 2;
// To the cover process. wParam: the dialog to join as a child; lParam: screen point to lie over.
const UINT kForeignMessage = WM_APP + 3;
const int kFirstScreenCommand = 100;
const UINT_PTR kLateLookupTimer = 1;  // a lookup opened or shown late

// One row per screen window the application can show. Field: rectangle, from the
// screen window's outer corner, that holds the click offsets of all aspect classes.
struct ScreenKind {
  const char* tag;
  const char* code;
  const wchar_t* title;
  UINT key1, key2;  // menu keys after F10; 0 when only reachable by STANDIN_OPEN
  const wchar_t* lookupTitle;
  RECT field;
  const wchar_t* fieldLabel;
  const char* fieldName;
};

inline const ScreenKind kScreens[] = {  // one array: its rows are told apart by address
    {"td", "td", L"得意先台帳 (新規)", 'D', 'A', L"得意先参照", {150, 104, 300, 136}, L"得意先コード", "code"},
    {"td_edit", "td", L"得意先台帳 (修正)", 0, 0, L"得意先参照", {150, 104, 300, 136}, L"得意先コード", "code"},
    {"tm", "tm", L"得意先元帳", 'U', 'J', L"請求先参照", {130, 104, 280, 136}, L"請求先", "billing"},
    {"ud", "ud", L"売上伝票 (新規)", 'U', 'C', L"得意先参照", {110, 142, 260, 178}, L"得意先", "customer"},
    {"ud_edit", "ud", L"売上伝票 (修正)", 0, 0, L"得意先参照", {110, 142, 260, 178}, L"得意先", "customer"},
};

// Lookup dialog layout, from its outer corner; the driver clicks these points in
// order and types into the window at the last one.
const POINT kDialogClicks[] = {{135, 40}, {115, 180}, {65, 117}};
// Placed beside the main window: under Wine a popup over an MDI child stays
// unpainted in screenshots. Clear of Pelmora's own window at (764, 23).
const POINT kDialogPos = {604, 240};
const SIZE kDialogSize = {420, 300};
const RECT kByPhoneRect = {100, 28, 220, 52};
const RECT kByNameRect = {20, 28, 96, 52};
const RECT kSearchLabelRect = {20, 84, 300, 102};
const RECT kSearchRect = {20, 105, 300, 129};
const RECT kSearchButtonRect = {310, 105, 390, 129};
const RECT kResultsRect = {20, 140, 400, 240};
const RECT kResultTextRect = {20, 246, 400, 270};

struct OpenScreen {
  const ScreenKind* kind;
  HWND wnd, status, field;
};

// A lookup dialog of a screen. Closed ones keep their entry with dialog null.
struct Lookup {
  int serial;
  const ScreenKind* kind;
  HWND screen;
  HWND dialog, search, results, resultText;
  int clicks;
};

struct Named {
  HWND hwnd;
  std::string win;  // tag of the top-level or MDI window it belongs to
  std::string ctl;  // control name, "-" for the window itself
};
// Where a message landed: the named window it belongs to and the control, if any.
struct Place {
  std::string win, ctl;
  HWND top;
};

extern HANDLE g_record;
extern std::string g_faults;
extern HINSTANCE g_inst;
extern HFONT g_font;
extern HWND g_main, g_mdi;
extern POINT g_origin;  // the main window's corner; lookups lie relative to it
extern std::vector<OpenScreen> g_open;
extern std::list<Lookup> g_lookups;
extern std::vector<Named> g_names;
extern bool g_menuArmed;
extern UINT g_menuFirst;

// The record, the faults, the named windows (record.cpp).
std::string Utf8(const std::wstring& w);
std::string Hex(const std::string& bytes);
std::wstring Env(const wchar_t* name);
void Record(const std::string& event);
void OpenRecord(const std::wstring& suffix);
bool FaultFor(const char* name, const char* code);
long FaultNumber(const char* name);
const char* Fault(const char* name);
void Name(HWND hwnd, const std::string& win, const std::string& ctl);
const Named* Find(HWND hwnd);
OpenScreen* ScreenOf(HWND hwnd);
Lookup* LookupOf(HWND dialog);
std::wstring Wide(const std::string& utf8);
const wchar_t* MainClass();
Place Locate(HWND hwnd);
HWND Control(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, const RECT& outer,
             const std::string& win, const std::string& name);

// Lookups (lookups.cpp).
void CloseLookup(Lookup& l);
void CloseLookups(HWND screen);
bool DeferLookup(HWND screen);
void HideAfterSearch(const Lookup& l);
void EmbedForeign(const Lookup& l);
void OpenLookup(OpenScreen& s);
void RunSearch(Lookup& l);
LRESULT CALLBACK LookupProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Screens and the main window (screens.cpp).
OpenScreen* OpenScreenWindow(const ScreenKind& kind);
LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK ScreenProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// The cover process (cover.cpp).
void Cover(const RECT* r);
RECT CoverAround(POINT p);
void PaintLabel(HWND hwnd, const wchar_t* text);
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK CoverProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
int RunCover(DWORD parentPid);
void StartCover();

// The message loop (standin.cpp).
int MessageLoop();

}  // namespace standin
