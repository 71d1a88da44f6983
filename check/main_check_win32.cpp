// pelmora-check's Win32 shell: its one window (the path and the codes, the commands, the
// result) and the message loop. What the commands do lives in TCheckCommands.
#include <windows.h>

#include <string>

#include "check/commands.h"
#include "platform/win32_check_system.h"
#include "platform/win32_window_system.h"

namespace {

using pelmora::TCheckCommands;

const char* const WindowClass = "TfrmPelmoraCheck";
const char* const Caption = "Pelmora クリック位置の確認";
const char* const FontName = "ＭＳ Ｐゴシック";
constexpr int ClientWidth = 620, ClientHeight = 420;
constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
enum TId { IdPath = 1, IdCodes, IdCheck, IdTeach, IdOpen, IdCancel, IdResult };
// Runs what the command line asks once the window is painted.
constexpr UINT WM_RUNARGS = WM_APP + 1;

struct TShell {
  pelmora::TWin32WindowSystem Ws;
  pelmora::TWin32CheckSystem Cs;
  TCheckCommands Commands{Ws, Cs};
  HWND Main = nullptr;
  HFONT Font = nullptr;
  bool Busy = false;
};

TShell* ShellOf(HWND hwnd) { return reinterpret_cast<TShell*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

HWND Item(const TShell& shell, TId id) { return GetDlgItem(shell.Main, id); }

std::string TextOf(HWND hwnd) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

HWND AddControl(TShell& shell, const char* cls, const char* text, DWORD style, int id, int x, int y,
                int w, int h, DWORD exStyle = 0) {
  HWND hwnd = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, shell.Main,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleA(nullptr), nullptr);
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(shell.Font), FALSE);
  return hwnd;
}

// The labels, the two fields, the four buttons and the result.
void CreateControls(TShell& shell) {
  shell.Font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, FontName);
  AddControl(shell, "STATIC", "弥生販売のパス:", 0, 0, 12, 14, 110, 18);
  AddControl(shell, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, IdPath, 124, 10, 484, 22, WS_EX_CLIENTEDGE);
  AddControl(shell, "STATIC", "画面コード:", 0, 0, 12, 42, 110, 18);
  AddControl(shell, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, IdCodes, 124, 38, 160, 22, WS_EX_CLIENTEDGE);
  AddControl(shell, "BUTTON", "確認する", WS_TABSTOP | BS_DEFPUSHBUTTON, IdCheck, 12, 70, 110, 26);
  AddControl(shell, "BUTTON", "位置を教える", WS_TABSTOP, IdTeach, 130, 70, 110, 26);
  AddControl(shell, "BUTTON", "保存先を開く", WS_TABSTOP, IdOpen, 248, 70, 110, 26);
  AddControl(shell, "BUTTON", "中止", WS_TABSTOP, IdCancel, 366, 70, 110, 26);
  AddControl(shell, "EDIT", "",
             WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
             IdResult, 12, 106, 596, 302, WS_EX_CLIENTEDGE);
}

// While a command runs only the cancel button answers; the click wait keeps the window
// painting meanwhile.
void SetBusy(TShell& shell, bool busy) {
  shell.Busy = busy;
  for (TId id : {IdPath, IdCodes, IdCheck, IdTeach, IdOpen}) EnableWindow(Item(shell, id), !busy);
  EnableWindow(Item(shell, IdCancel), busy);
}

void ShowResult(TShell& shell, const std::string& text) {
  SetWindowTextA(Item(shell, IdResult), text.c_str());
  RedrawWindow(shell.Main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The check or the teach, with what the fields hold; unattended, the program then ends
// with the check's exit code.
void RunCommand(TShell& shell, bool teach) {
  if (shell.Busy) return;
  SetBusy(shell, true);
  shell.Ws.CancelLockWait(false);
  const std::string path = TextOf(Item(shell, IdPath));
  const std::string codes = TextOf(Item(shell, IdCodes));
  if (teach) {
    shell.Commands.Teach(path, codes);
  } else {
    shell.Commands.Check(path, codes);
  }
  SetBusy(shell, false);
  if (shell.Commands.Args.Unattended) DestroyWindow(shell.Main);
}

void OnCommand(TShell& shell, int id) {
  switch (id) {
    case IdCheck: return RunCommand(shell, false);
    case IdTeach: return RunCommand(shell, true);
    case IdCancel:
      shell.Ws.CancelLockWait(true);
      return shell.Cs.CancelClickWait();
    case IdOpen:
      if (!shell.Commands.Folder.empty()) shell.Cs.OpenFolder(shell.Commands.Folder);
      return;
    default: return;
  }
}

void OnCreate(TShell& shell, HWND hwnd) {
  shell.Main = hwnd;
  CreateControls(shell);
  const pelmora::TCheckArgs& args = shell.Commands.Args;
  SetWindowTextA(Item(shell, IdPath), (args.Path.empty() && !args.Run ? shell.Commands.RunningTargetPath()
                                                                     : args.Path).c_str());
  SetWindowTextA(Item(shell, IdCodes), args.Codes.empty() ? shell.Commands.CodesInForce().c_str()
                                                          : args.Codes.c_str());
  shell.Commands.Show = [&shell](const std::string& text) { ShowResult(shell, text); };
  ShowResult(shell, args.Run ? std::string()
                             : "弥生販売のパスと画面コードを確かめて「確認する」を押してください。\r\n"
                               "クリックする位置を直すときは、画面コードを1つにして「位置を教える」を押してください。");
  SetBusy(shell, false);
  if (args.Run || args.Unattended) PostMessageA(hwnd, WM_RUNARGS, 0, 0);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created->lpCreateParams));
  }
  TShell* shell = ShellOf(hwnd);
  if (shell == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      OnCreate(*shell, hwnd);
      return 0;
    case WM_RUNARGS:
      RunCommand(*shell, shell->Commands.Args.Teach);
      return 0;
    case WM_COMMAND:
      OnCommand(*shell, LOWORD(wParam));
      return 0;
    case WM_CLOSE:
      // Closed during a click wait or the wait for the lock: the wait ends as cancelled, and
      // the window with it.
      if (shell->Busy) {
        shell->Ws.CancelLockWait(true);
        shell->Cs.CancelClickWait();
        shell->Commands.Args.Unattended = true;
        return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(shell->Commands.ExitCode);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int nShowCmd) {
  HINSTANCE instance = hInstance;
  TShell shell;
  if (!shell.Commands.Start()) return pelmora::CheckNothingDone;
  WNDCLASSEXA cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = WindowProc;
  cls.hInstance = instance;
  cls.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));      // IDI_APPLICATION
  cls.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = WindowClass;
  if (RegisterClassExA(&cls) == 0) return pelmora::CheckNothingDone;
  RECT frame{0, 0, ClientWidth, ClientHeight};
  AdjustWindowRect(&frame, Style, FALSE);
  // In the work area's lower right corner, where the target's screens seldom lie.
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const std::string title = std::string(Caption) + " " + pelmora::CheckVersion;
  HWND main = CreateWindowExA(0, WindowClass, title.c_str(), Style, work.right - width, work.bottom - height,
                              width, height, nullptr, nullptr, instance, &shell);
  if (main == nullptr) return pelmora::CheckNothingDone;
  ShowWindow(main, nShowCmd);
  UpdateWindow(main);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(main, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (shell.Font != nullptr) DeleteObject(shell.Font);
  return static_cast<int>(msg.wParam);
}
