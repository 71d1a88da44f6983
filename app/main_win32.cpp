// The program's Win32 shell: the hidden application window that owns the taskbar
// button, the main window TfrmPelmora with Memo1, and the message loop. Behaviour lives
// in TfrmPelmora; this file only wires it to real windows.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/form.h"
#include "platform/win32_window_system.h"

namespace {

using pelmora::TfrmPelmora;
using pelmora::TWin32WindowSystem;

const char* const ApplicationTitle = "リンク";
const char* const ApplicationClass = "TPelmoraApplication";
const char* const FormClass = "TfrmPelmora";
const char* const FormCaption = "Pelmora";
const char* const FontName = "ＭＳ Ｐゴシック";
constexpr int FormLeft = 764, FormTop = 23, ClientWidth = 290, ClientHeight = 155;
constexpr int MemoLeft = 48, MemoTop = 24, MemoWidth = 185, MemoHeight = 89;
constexpr int Memo1Id = 1;
constexpr DWORD FormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD FormExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
// Runs the job after the activation that asked for it has finished and the window painted.
constexpr UINT WM_RUNJOB = WM_APP + 1;

struct TShell {
  TWin32WindowSystem Ws;
  TfrmPelmora Form{Ws};
  HWND Application = nullptr;
  HWND Main = nullptr;
  HWND Memo1 = nullptr;
  HFONT Font = nullptr;
  int ShowCommand = SW_SHOWNORMAL;
  bool Shown = false;
  bool JobQueued = false;
};

TShell* ShellOf(HWND hwnd) {
  return reinterpret_cast<TShell*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// Takes the shell from the creation parameters so each window procedure can reach it.
TShell* AttachShell(HWND hwnd, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* shell = static_cast<TShell*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(shell));
    return shell;
  }
  return ShellOf(hwnd);
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }
  return text;
}

// FormShow runs before the window is on screen; showing it activates it.
void ShowForm(TShell& shell, int showCommand) {
  if (shell.Shown) return;
  shell.Shown = true;
  shell.Form.FormShow();
  SetWindowTextA(shell.Memo1, JoinLines(shell.Form.Memo1).c_str());
  ShowWindow(shell.Main, showCommand == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  SetForegroundWindow(shell.Main);
}

void CreateMemo(TShell& shell, HWND form) {
  shell.Font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           VARIABLE_PITCH | FF_SWISS, FontName);
  SendMessageA(form, WM_SETFONT, reinterpret_cast<WPARAM>(shell.Font), FALSE);
  // No word wrap: ES_AUTOHSCROLL keeps long arguments on one line.
  shell.Memo1 = CreateWindowExA(
      WS_EX_CLIENTEDGE, "EDIT", "",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
          ES_AUTOVSCROLL,
      MemoLeft, MemoTop, MemoWidth, MemoHeight, form,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(Memo1Id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(shell.Memo1, WM_SETFONT, reinterpret_cast<WPARAM>(shell.Font), FALSE);
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TShell* shell = AttachShell(hwnd, message, lParam);
  if (shell == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      CreateMemo(*shell, hwnd);
      return 0;
    case WM_ACTIVATE:
      // Memo1 takes the keyboard; the first activation queues the job.
      if (LOWORD(wParam) != WA_INACTIVE) {
        SetFocus(shell->Memo1);
        if (!shell->JobQueued) {
          shell->JobQueued = true;
          PostMessageA(hwnd, WM_RUNJOB, 0, 0);
        }
      }
      return 0;
    case WM_RUNJOB:
      // The job blocks this thread: paint the argument list first.
      RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      shell->Form.FormActivate();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ApplicationProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TShell* shell = AttachShell(hwnd, message, lParam);
  if (shell != nullptr && message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE) {
    // Started minimized: the user's restore is what shows the form and runs the job.
    const LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
    ShowForm(*shell, SW_SHOWNORMAL);
    return result;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance) {
  WNDCLASSEXA application{};
  application.cbSize = sizeof application;
  application.lpfnWndProc = ApplicationProc;
  application.hInstance = instance;
  application.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
  application.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  application.lpszClassName = ApplicationClass;

  WNDCLASSEXA form = application;
  form.lpfnWndProc = FormProc;
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = FormClass;
  return RegisterClassExA(&application) != 0 && RegisterClassExA(&form) != 0;
}

int StartupShowCommand() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWNORMAL;
}

bool IsMinimizeCommand(int command) {
  return command == SW_MINIMIZE || command == SW_SHOWMINIMIZED ||
         command == SW_SHOWMINNOACTIVE || command == SW_FORCEMINIMIZE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  TShell shell;
  shell.ShowCommand = StartupShowCommand();
  if (!RegisterClasses(instance)) return 1;

  // A zero-size application window carries the taskbar button and owns the form, so the
  // form has no button of its own.
  shell.Application =
      CreateWindowExA(0, ApplicationClass, ApplicationTitle, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
                      GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                      nullptr, nullptr, instance, &shell);
  if (shell.Application == nullptr) return 1;

  shell.Form.FormCreate();
  RECT frame{0, 0, ClientWidth, ClientHeight};
  AdjustWindowRectEx(&frame, FormStyle, FALSE, FormExStyle);
  shell.Main = CreateWindowExA(FormExStyle, FormClass, FormCaption, FormStyle, FormLeft, FormTop,
                               frame.right - frame.left, frame.bottom - frame.top,
                               shell.Application, nullptr, instance, &shell);
  if (shell.Main == nullptr) return 1;
  shell.Ws.SetOwner(shell.Main);
  shell.Form.OnClose = [&shell] { DestroyWindow(shell.Main); };

  if (IsMinimizeCommand(shell.ShowCommand)) {
    ShowWindow(shell.Application, SW_SHOWMINNOACTIVE);
  } else {
    ShowWindow(shell.Application, SW_SHOWNA);
    ShowForm(shell, shell.ShowCommand);
  }

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  shell.Form.FormDestroy();
  DestroyWindow(shell.Application);
  if (shell.Font) DeleteObject(shell.Font);
  return 0;
}

// The runtime's default handler for an uncaught exception writes its demangled type to a
// console this program does not have; its demangler alone is a quarter of the program. Every
// error of the job is caught and shown, so what is left to the handler is only to end.
namespace __gnu_cxx {
// NOLINTNEXTLINE(bugprone-reserved-identifier): the runtime's own name, replaced here
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
