// The port realised on Win32: processes, rights and the session.
#include "platform/win32_common.h"

#include "platform/file_identity.h"

#include <tlhelp32.h>

#include <vector>

namespace pelmora {
namespace {

// False when the file cannot be opened; what its id tells, SameFileById judges.
bool ReadFileId(const char* path, TFileId& id) {
  HANDLE handle = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // FILE_ID_INFO (Windows 8 and later, loaded there): the volume's 64-bit serial, the id's 16 bytes.
  struct TFileIdInfo {
    ULONGLONG Volume;
    BYTE Id[16];
  } wide{};
  using TGetInfo = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  constexpr int FileIdInfo = 18;
  const auto getInfo = Proc<TGetInfo>(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx");
  BY_HANDLE_FILE_INFORMATION file{};
  id = {};
  if (getInfo != nullptr && getInfo(handle, FileIdInfo, &wide, sizeof wide)) {
    id.Volume = wide.Volume;
    id.Low = 0, id.High = 0;
    CopyMemory(&id.Low, wide.Id, sizeof id.Low);
    CopyMemory(&id.High, wide.Id + sizeof id.Low, sizeof id.High);
    id.Wide = true;
  } else if (GetFileInformationByHandle(handle, &file)) {
    id = {file.dwVolumeSerialNumber, (ULONGLONG{file.nFileIndexHigh} << 32) | file.nFileIndexLow, 0, false};
  }
  ::CloseHandle(handle);
  return true;
}

}  // namespace

TProcessId TWin32WindowSystem::GetWindowThreadProcessId(TWindow window) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(Hwnd(window), &process);
  return process;
}

void TWin32WindowSystem::WaitForProcessIdle(TProcessId process, std::uint32_t timeoutMs) {
  if (process == 0) return;
  HANDLE handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process);
  if (handle == nullptr) return;
  ::WaitForInputIdle(handle, timeoutMs);
  ::CloseHandle(handle);
}

void TWin32WindowSystem::ShellExecuteA(const std::string& path) {
  // Loaded only to start the target: shell32 and the DLLs it brings would cost every start
  // of the program its first paint's time. Kept loaded, as the shell may still be at work.
  using TShellExecute = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  HMODULE shell = LoadSystemLibrary("shell32.dll");
  const auto execute = shell != nullptr ? Proc<TShellExecute>(shell, "ShellExecuteA") : nullptr;
  if (execute == nullptr) return;
  // In its own folder, as its shortcut starts it, not in the host's.
  char folder[MAX_PATH];
  char* name = nullptr;
  const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, folder, &name);
  // cppcheck-suppress knownConditionTrueFalse ; the call sets `name`, which cppcheck's library misses
  if (n == 0 || n >= MAX_PATH || name == nullptr) name = folder;  // none: the shell's default
  *name = '\0';
  execute(nullptr, nullptr, path.c_str(), nullptr, folder, SW_SHOWNORMAL);
}

TProcessId TWin32WindowSystem::FindSessionProcessStartedFrom(const std::string& path) {
  // The file itself: the host may write its path with '/', a short name or a mapped drive.
  // Only this session's: another user's copy never shows its main window here.
  DWORD session = 0;
  if (!ProcessIdToSessionId(::GetCurrentProcessId(), &session)) return 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  TFileId file;
  const bool identified = ReadFileId(path.c_str(), file);
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  TProcessId found = 0;
  for (BOOL more = Process32First(snapshot, &entry); more && found == 0;
       more = Process32Next(snapshot, &entry)) {
    DWORD owner = 0;
    if (!ProcessIdToSessionId(entry.th32ProcessID, &owner) || owner != session) continue;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;
    char image[MAX_PATH];
    DWORD size = MAX_PATH;
    TFileId imageFile;
    if (QueryFullProcessImageNameA(process, 0, image, &size)) {
      const TSameFile same = SameFileById(identified ? &file : nullptr, ReadFileId(image, imageFile) ? &imageFile : nullptr);
      if (same == TSameFile::Same || (same == TSameFile::Unknown && lstrcmpiA(image, path.c_str()) == 0)) {
        found = entry.th32ProcessID;
      }
    }
    ::CloseHandle(process);
  }
  ::CloseHandle(snapshot);
  return found;
}

std::int32_t TWin32WindowSystem::GetTokenIntegrityLevel(TProcessId process) {
  // Limited query rights: enough for a process of higher integrity, which is the one asked about.
  HANDLE handle = process == 0 ? GetCurrentProcess()
                               : OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
  if (handle == nullptr) return -1;
  std::int32_t level = -1;
  HANDLE token = nullptr;
  if (OpenProcessToken(handle, TOKEN_QUERY, &token)) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size >= sizeof(TOKEN_MANDATORY_LABEL) &&
        ::GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
      const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
      if (IsValidSid(sid) && *GetSidSubAuthorityCount(sid) > 0) {
        level = static_cast<std::int32_t>(*GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1));
      }
    }
    ::CloseHandle(token);
  }
  if (process != 0) ::CloseHandle(handle);
  return level;
}

bool TWin32WindowSystem::RunsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  const bool read = ::GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) != FALSE;
  ::CloseHandle(token);
  return read && type == TokenElevationTypeFull;
}

std::string TWin32WindowSystem::GetInputDesktopName() {
  HDESK desktop = ::OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
  if (desktop == nullptr) return {};
  char name[64] = "";
  DWORD needed = 0;
  const BOOL read = ::GetUserObjectInformationA(desktop, UOI_NAME, name, sizeof name - 1, &needed);
  ::CloseDesktop(desktop);
  return read ? name : "";
}

bool TWin32WindowSystem::WTSQuerySessionInformationW(TSessionInfo& info) {
  // Loaded when asked: the program imports only the DLLs every Windows loads, and runs
  // where the call or its information class is missing.
  HMODULE dll = LoadSystemLibrary("wtsapi32.dll");
  if (dll == nullptr) return false;
  const auto query =
      Proc<BOOL(WINAPI*)(HANDLE, DWORD, int, LPWSTR*, DWORD*)>(dll, "WTSQuerySessionInformationW");
  const auto release = Proc<void(WINAPI*)(PVOID)>(dll, "WTSFreeMemory");
  // WTSINFOEXW's leading fields; the level-1 data is aligned for the logon times that follow.
  struct TInfoEx {
    DWORD Level;
    struct alignas(8) {
      ULONG SessionId;
      LONG SessionState;
      LONG SessionFlags;
    } Level1;
  };
  constexpr int WtsSessionInfoEx = 25;
  constexpr HANDLE CurrentServer = nullptr;
  constexpr auto CurrentSession = static_cast<DWORD>(-1);
  LPWSTR buffer = nullptr;
  DWORD bytes = 0;
  bool read = false;
  if (query != nullptr && release != nullptr &&
      query(CurrentServer, CurrentSession, WtsSessionInfoEx, &buffer, &bytes) && buffer != nullptr) {
    const auto* ex = reinterpret_cast<const TInfoEx*>(buffer);
    read = bytes >= sizeof(TInfoEx) && ex->Level == 1;
    if (read) info = {ex->Level1.SessionState, ex->Level1.SessionFlags};
    release(buffer);
  }
  FreeLibrary(dll);
  return read;
}

TOsVersion TWin32WindowSystem::RtlGetVersion() {
  // The kernel's own answer: GetVersionEx may be told an older version for compatibility.
  const auto get =
      Proc<LONG(WINAPI*)(RTL_OSVERSIONINFOW*)>(GetModuleHandleA("ntdll.dll"), "RtlGetVersion");
  RTL_OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (get == nullptr || get(&version) != 0) return {};
  return {version.dwMajorVersion, version.dwMinorVersion};
}

std::uint32_t TWin32WindowSystem::GetACP() { return ::GetACP(); }

std::string TWin32WindowSystem::GetCommandLineA() { return ::GetCommandLineA(); }

std::string TWin32WindowSystem::GetModuleFileNameA() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) return {path.data(), n};
    path.resize(path.size() * 2);  // truncated
  }
}

TProcessId TWin32WindowSystem::GetCurrentProcessId() { return ::GetCurrentProcessId(); }

}  // namespace pelmora
