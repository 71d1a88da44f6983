// A scripted stand-in for the target application on the simulated desktop: its main
// window, MDI client and menu, screens opened by F10 and two letter keys, lookup dialogs
// opened by F8, and a search field that records what is typed into it.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/sim_desktop.h"

namespace pelmora::sim {

constexpr TProcessId TargetProcess = 4242;
constexpr TProcessId ForeignProcess = 777;
inline const std::string TargetPath = "C:\\Yayoi\\Hanbai.exe";
constexpr std::uint64_t TargetFile = 0x1234ABCD00000042;  // its volume and index

// Delays in virtual ms; nullopt: never.
using TDelay = std::optional<std::uint64_t>;

struct TScreenScript {
  TDelay OpenAfter = 100;    // after the second menu key
  bool Hidden = false;       // the screen window never becomes visible
  TDelay DialogAfter = 50;   // after F8
  bool DialogHidden = false;
  bool Field = true;         // a search field lies under the third click point
  bool FieldTakesFocus = true;  // false: a click leaves the focus where it was, as a label's does
  bool ForeignCover = false; // another program's window covers the search field
  std::string Prefill;       // text a new lookup's field starts with
  bool ForeignChildInField = false;  // another program's window set inside the dialog, over the field
  // The first point: a drop-down list (or a button with a pop-up menu) of search kinds, whose
  // phone kind lies under the second point while it is open; StrayList: a list of the
  // target's lies there from the start, which no click of the lookup opened.
  bool KindList = false, KindMenu = false, StrayList = false;
  // OwnList: the list a pop-up of the target's own, owned by the lookup, holding no capture;
  // KindBox: a captioned box instead; MenuLate: the menu stays up 200 ms after its pick.
  bool OwnList = false, KindBox = false, MenuLate = false;
  bool Panel = false, BareSecond = false;  // its controls on a panel taking no focus; none at the second point
  bool FramedField = false;  // the field is a frame that hands its focus to an inner edit
  bool ControlAtClick = false;  // the screen's click point lies on an edit of the screen
};

struct TTargetScript {
  bool Running = true;     // main window exists before the job starts
  TDelay AppearAfter = 1000;  // after ShellExecuteA
  TDelay ShowAfter = 0;       // after appearing
  TDelay Starting;  // not running, its process already started: the main window appears then
  bool MdiClient = true;
  bool Menu = true;
  std::uint64_t BusyMs = 0;
  std::uint64_t ActivateAfter = 0;  // a screen comes to the top this long after WM_MDIACTIVATE
  std::vector<std::string> OpenAtStart;  // screen titles already open
  bool RaiseReopenedDialog = false;  // F8 on a dialog already open brings it to the top
  bool NewDialogPerF8 = false;  // every F8 opens another lookup at the same place, on top
  // A lookup F8 opens or shows becomes the foreground window; without, one already open
  // is shown again where it lies.
  bool ActivateDialogs = true;
  bool CascadeDialogs = false;  // each new lookup lies 40 px right of and below the one before
  bool HideDialogOnEnter = false;  // a lookup hides after its search; F8 shows it again
  std::map<std::string, TScreenScript> Screens;  // by screen title; default script otherwise
  TPoint Origin;  // where the main window's corner lies; all the target's windows move with it
  // A new version's: its main window's class, screens' titles by the old ones, the search field lower.
  std::string MainClass = "Hanbai15Main";
  std::map<std::string, std::string> Retitled;
  int FieldLower = 0;
};

struct TSearch {
  std::string Dialog;  // lookup dialog title
  std::string Screen;  // the screen it was opened from
  std::string Text;    // the field's bytes when Enter arrived
  TWindow Window = 0;  // the dialog
  // What the screen's thread took since the screen's last search, in order: 'c' a click on
  // the screen or its lookup, '8' F8.
  std::string Taken;  // also 'k': a search kind picked from a list or menu
};

class TSimTarget {
 public:
  TSimTarget(TSimDesktop& desktop, TTargetScript script);

  TWindow Main = 0;
  TWindow MdiClient = 0;
  std::vector<TSearch> Searches;
  std::map<std::string, int> Opened;  // screen title -> times opened by menu
  std::map<TWindow, std::string> Typed;  // characters received, by window
  std::vector<TWindow> Asked;  // the lookup each F8 opened or showed, in order

  TWindow ScreenWindow(const std::string& title) const;
  // The lookup dialog's corner and its search field, once it exists.
  TWindow Dialog = 0;
  TWindow Field = 0;

 private:
  void CreateMain();
  TWindow OpenScreen(const std::string& title);
  void OpenDialog(TWindow screen);
  void OnPost(TWindow window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
  const TScreenScript& ScriptOf(const std::string& title);
  TRect Placed(TRect rect) const;
  void OpenKinds();
  void PickKind();

  TSimDesktop& desktop_;
  TTargetScript script_;
  std::map<TWindow, std::string> screens_;  // screen window -> title
  std::map<TWindow, TWindow> fieldDialog_;  // field -> dialog
  std::set<TWindow> selectedAll_;           // fields whose whole text is selected
  std::map<std::string, TWindow> dialogs_;       // lookup title -> dialog
  std::map<TWindow, std::string> dialogScreen_;  // dialog -> screen title that asked for it
  std::vector<std::uintptr_t> keys_;        // menu key sequence since F10
  std::map<std::string, std::string> taken_;  // screen title -> what it took since its search
  TWindow kindChoice_ = 0;  // the first point's list box or menu button
  TWindow kindPopup_ = 0;   // the list or menu it opened
  int screenCount_ = 0;
};

}  // namespace pelmora::sim
