#include "tests/sim_target.h"

#include <iterator>
#include <utility>

namespace pelmora::sim {
namespace {

// The target's own facts, written out here independently of the program's table.
struct TMenuScreen {
  std::uintptr_t First, Second;
  const char* Title;
};
const TMenuScreen MenuScreens[] = {
    {'D', 'A', "得意先台帳 (新規)"},
    {'U', 'J', "得意先元帳"},
    {'U', 'C', "売上伝票 (新規)"},
};

std::string LookupTitleOf(const std::string& screenTitle) {
  return screenTitle == "得意先元帳" ? "請求先参照" : "得意先参照";
}

constexpr TRect MainRect{0, 0, 1200, 900};
constexpr TRect DialogRect{600, 300, 1000, 560};

}  // namespace

TSimTarget::TSimTarget(TSimDesktop& desktop, TTargetScript script)
    : desktop_(desktop), script_(std::move(script)) {
  desktop_.OnPost = [this](TWindow w, std::uint32_t m, std::uintptr_t p, std::intptr_t l) {
    OnPost(w, m, p, l);
  };
  // A click counts for the screen it lands in, or for the screen whose lookup it lands in.
  desktop_.OnClick = [this](TWindow w) {
    if (w == kindChoice_ && Dialog != 0 && desktop_.Window(Dialog).Alive) OpenKinds();
    if (w != 0 && w == kindPopup_) PickKind();
    if (w != 0 && !screens_.count(w) && !dialogScreen_.count(w)) w = desktop_.Window(w).Parent;
    if (screens_.count(w)) taken_[screens_[w]] += 'c';
    if (dialogScreen_.count(w)) taken_[dialogScreen_[w]] += 'c';
  };
  if (script_.Running) {
    CreateMain();
  } else {
    desktop_.Files.insert(TargetPath);
    desktop_.FileIds[TargetPath] = TargetFile;
    const auto appear = [this](TDelay after) {
      if (!after) return;
      desktop_.At(desktop_.Now() + *after, [this] {
        CreateMain();
        desktop_.Window(Main).Visible = false;
        if (script_.ShowAfter) {
          desktop_.At(desktop_.Now() + *script_.ShowAfter, [this] { desktop_.Window(Main).Visible = true; });
        }
      });
    };
    if (script_.Starting) desktop_.Processes[TargetPath] = TargetProcess;
    appear(script_.Starting);
    desktop_.OnShellExecute = [this, appear, before = desktop_.OnShellExecute](const std::string& path) {
      if (before) before(path);  // as the shell holds the start
      if (path == TargetPath) appear(script_.AppearAfter);
    };
  }
}

void TSimTarget::CreateMain() {
  Main = desktop_.AddWindow(0, script_.MainClass, "弥生販売", Placed(MainRect), TargetProcess);
  desktop_.Window(Main).Menu = script_.Menu;
  if (script_.MdiClient) {
    MdiClient = desktop_.AddWindow(Main, "MDIClient", "", Placed({4, 60, 1196, 896}), TargetProcess);
  }
  desktop_.BusyUntil[TargetProcess] = desktop_.Now() + script_.BusyMs;
  for (const std::string& title : script_.OpenAtStart) OpenScreen(title);
}

TRect TSimTarget::Placed(TRect r) const {
  const TPoint o = script_.Origin;
  return {r.Left + o.X, r.Top + o.Y, r.Right + o.X, r.Bottom + o.Y};
}

const TScreenScript& TSimTarget::ScriptOf(const std::string& title) {
  return script_.Screens[title];
}

TWindow TSimTarget::OpenScreen(const std::string& title) {
  // Screens cascade, so each lies somewhere else on the display.
  const int shift = 20 * screenCount_++;
  const TRect rect = Placed({10 + shift, 70 + shift, 810 + shift, 670 + shift});
  const TWindow screen =
      desktop_.AddWindow(MdiClient, "TScreen", title, rect, TargetProcess, !ScriptOf(title).Hidden);
  screens_[screen] = title;
  if (ScriptOf(title).ControlAtClick) {
    desktop_.AddWindow(screen, "Edit", "", {rect.Left + 100, rect.Top + 100, rect.Left + 320, rect.Top + 180}, TargetProcess);
  }
  return screen;
}

// As a combo box's list or a menu: top-level, the thread's capture or menu loop while open.
void TSimTarget::OpenKinds() {
  const TRect r = desktop_.Window(Dialog).Rect;
  const TScreenScript& s = ScriptOf(dialogScreen_[Dialog]);
  const bool menu = s.KindMenu, own = s.OwnList || s.KindBox;
  kindPopup_ = desktop_.AddWindow(0, menu ? "#32768" : own ? "TPopupList" : "ComboLBox", "", {r.Left + 100, r.Top + 50, r.Left + 180, r.Top + 192}, TargetProcess);
  desktop_.Window(kindPopup_).Owner = own ? Dialog : 0, desktop_.Window(kindPopup_).Style = s.KindBox ? style::Caption : 0x00800000;  // or WS_BORDER
  desktop_.Capture[TargetProcess] = menu ? Dialog : own ? 0 : kindPopup_;  // a menu loop captures for its owner
  desktop_.ThreadModes[TargetProcess] = menu ? gui::InMenuMode | gui::PopupMenuMode : 0;
}

void TSimTarget::PickKind() {
  const auto close = [this, popup = std::exchange(kindPopup_, 0), screen = dialogScreen_[Dialog]] {
    desktop_.Destroy(popup);
    desktop_.Capture[TargetProcess] = 0, desktop_.ThreadModes[TargetProcess] = 0;
    taken_[screen] += 'k';
  };
  if (!ScriptOf(dialogScreen_[Dialog]).MenuLate) return close();
  desktop_.At(desktop_.Now() + 200, close);
}

TWindow TSimTarget::ScreenWindow(const std::string& title) const {
  for (const auto& [window, t] : screens_) {
    if (t == title) return window;
  }
  return 0;
}

void TSimTarget::OpenDialog(TWindow screen) {
  // One lookup dialog per title, like a modeless lookup: F8 on another screen takes the
  // open one over and clears its field.
  const TScreenScript& s = ScriptOf(screens_[screen]);
  const std::string title = LookupTitleOf(screens_[screen]);
  Dialog = script_.NewDialogPerF8 ? 0 : dialogs_[title];
  if (Dialog != 0) {
    Asked.push_back(Dialog);
    desktop_.Window(Dialog).Visible = !s.DialogHidden;
    if (script_.RaiseReopenedDialog) desktop_.BringToTop(Dialog);
    if (script_.ActivateDialogs && !s.DialogHidden) desktop_.Activate(Dialog);
    dialogScreen_[Dialog] = screens_[screen];
    for (const auto& [field, dialog] : fieldDialog_) {
      if (dialog == Dialog) Typed[field].clear();
    }
    return;
  }
  // Cascaded: 40 px further for every lookup opened before (each has its asking screen).
  const int shift = script_.CascadeDialogs ? 40 * static_cast<int>(dialogScreen_.size()) : 0;
  const TRect rect = Placed({DialogRect.Left + shift, DialogRect.Top + shift, DialogRect.Right + shift,
                             DialogRect.Bottom + shift});
  Dialog = dialogs_[title] = desktop_.AddWindow(0, "TLookup", title, rect, TargetProcess, !s.DialogHidden);
  Asked.push_back(Dialog);
  if (script_.ActivateDialogs && !s.DialogHidden) desktop_.Activate(Dialog);
  dialogScreen_[Dialog] = screens_[screen];
  const auto inDialog = [&rect](int l, int t, int r, int b) {
    return TRect{rect.Left + l, rect.Top + t, rect.Left + r, rect.Top + b};
  };
  const TWindow on = s.Panel ? desktop_.AddWindow(Dialog, "TPanel", "", inDialog(10, 20, 390, 200), TargetProcess) : Dialog;
  if (on != Dialog) desktop_.Window(on).TakesFocus = false;
  const TWindow choice = desktop_.AddWindow(on, s.KindList ? "ComboBox" : "Button", "", inDialog(100, 30, 180, 50), TargetProcess);
  const bool kinds = s.KindList || s.KindMenu || s.OwnList || s.KindBox;
  kindChoice_ = kinds ? choice : 0;
  if (!kinds && !s.BareSecond) desktop_.AddWindow(on, "Button", "", inDialog(80, 170, 160, 190), TargetProcess);
  if (s.StrayList) desktop_.AddWindow(0, "ComboLBox", "", inDialog(100, 50, 180, 192), TargetProcess);
  Field = 0;
  if (s.Field) {
    const TRect at = inDialog(20, 108 + script_.FieldLower, 300, 128 + script_.FieldLower);
    Field = desktop_.AddWindow(on, "Edit", "", at, TargetProcess);
    if (s.FramedField) {
      const TWindow frame = std::exchange(Field, desktop_.AddWindow(Field, "Edit", "", {at.Left + 50, at.Top + 2, at.Right - 2, at.Bottom - 2}, TargetProcess));
      desktop_.Window(frame).Class = "TFrame";
      desktop_.Window(frame).FocusTo = Field;
    }
    fieldDialog_[Field] = Dialog;
    desktop_.Window(Field).TakesFocus = s.FieldTakesFocus;
    Typed[Field] = s.Prefill;
  }
  if (s.ForeignChildInField) {
    desktop_.AddWindow(Dialog, "Edit", "", inDialog(0, 100, 400, 140), ForeignProcess);
  }
  if (s.ForeignCover) {
    desktop_.AddWindow(0, "Notepad", "memo", inDialog(0, 100, 400, 140), ForeignProcess);
  }
}

void TSimTarget::OnPost(TWindow window, std::uint32_t message, std::uintptr_t wParam,
                        std::intptr_t lParam) {
  if (window == MdiClient && message == wm::MdiActivate) {
    desktop_.At(desktop_.Now() + script_.ActivateAfter, [this, wParam] { desktop_.BringToTop(wParam); });
  }
  if (window == Main && message == wm::KeyDown) {
    if (wParam == vk::F10) {
      keys_.clear();
      return;
    }
    keys_.push_back(wParam);
    if (keys_.size() != 2) return;
    for (const TMenuScreen& m : MenuScreens) {
      const TScreenScript& s = ScriptOf(m.Title);
      if (m.First != keys_[0] || m.Second != keys_[1] || !s.OpenAfter) continue;
      const auto renamed = script_.Retitled.find(m.Title);
      const std::string title = renamed == script_.Retitled.end() ? m.Title : renamed->second;
      desktop_.At(desktop_.Now() + *s.OpenAfter, [this, title] {
        ++Opened[title];
        OpenScreen(title);
      });
    }
    return;
  }
  if (screens_.count(window) && message == wm::KeyDown && wParam == vk::F8) {
    const TScreenScript& s = ScriptOf(screens_[window]);
    taken_[screens_[window]] += '8';
    if (s.DialogAfter) desktop_.At(desktop_.Now() + *s.DialogAfter, [this, window] { OpenDialog(window); });
    return;
  }
  // WM_CLOSE, as from a lookup's close box: it is destroyed, and the next F8 opens another.
  if (message == 0x0010 && dialogScreen_.count(window) != 0) {
    for (auto it = dialogs_.begin(); it != dialogs_.end();) {
      it = it->second == window ? dialogs_.erase(it) : std::next(it);
    }
    desktop_.Destroy(window);
    return;
  }
  // An edit control: the next character replaces a whole selection.
  if (message == wm::EmSetSel && wParam == 0 && lParam == -1) selectedAll_.insert(window);
  if (message == wm::Char) {
    if (selectedAll_.erase(window) != 0) Typed[window].clear();
    Typed[window] += static_cast<char>(wParam);
  }
  if (message == wm::KeyDown && wParam == vk::Return && fieldDialog_.count(window)) {
    const TWindow dialog = fieldDialog_[window];
    Searches.push_back({desktop_.Window(dialog).Title, dialogScreen_[dialog], Typed[window], dialog,
                        std::exchange(taken_[dialogScreen_[dialog]], "")});
    if (script_.HideDialogOnEnter) desktop_.Window(dialog).Visible = false;
  }
}

}  // namespace pelmora::sim
