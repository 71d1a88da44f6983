// The check program's port on Win32: its report's files and folders, and the version the
// report gives of the target's program file.
#include "platform/win32_check_system.h"

#include <vector>

#include "platform/win32_common.h"

namespace pelmora {

std::string TWin32CheckSystem::GetFileVersion(const std::string& path) {
  // version.dll is loaded when asked: the programs import only the DLLs every Windows loads.
  HMODULE dll = LoadSystemLibrary("version.dll");
  const auto size = Proc<DWORD(WINAPI*)(LPCSTR, LPDWORD)>(dll, "GetFileVersionInfoSizeA");
  const auto read = Proc<BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID)>(dll, "GetFileVersionInfoA");
  const auto query = Proc<BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT)>(dll, "VerQueryValueA");
  if (size == nullptr || read == nullptr || query == nullptr) return {};
  DWORD unused = 0;
  const DWORD bytes = size(path.c_str(), &unused);
  if (bytes == 0) return {};
  std::vector<BYTE> block(bytes);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!read(path.c_str(), 0, bytes, block.data()) ||
      !query(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length) || fixed == nullptr ||
      length < sizeof *fixed || fixed->dwSignature != VS_FFI_SIGNATURE) {
    return {};
  }
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + '.' +
         std::to_string(LOWORD(fixed->dwFileVersionMS)) + '.' +
         std::to_string(HIWORD(fixed->dwFileVersionLS)) + '.' +
         std::to_string(LOWORD(fixed->dwFileVersionLS));
}

std::string TWin32CheckSystem::GetTempPathA() {
  char path[MAX_PATH + 1];
  const DWORD n = ::GetTempPathA(sizeof path, path);
  return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

bool TWin32CheckSystem::CreateDirectoryA(const std::string& path) {
  if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool TWin32CheckSystem::CopyFileA(const std::string& from, const std::string& to, bool failIfExists) {
  return ::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

TFileRead TWin32CheckSystem::ReadWholeFile(const std::string& path, std::string& bytes) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return missing ? TFileRead::Missing : TFileRead::Unreadable;
  }
  LARGE_INTEGER size{};
  // A settings file is small: one larger than this is not one to rewrite.
  constexpr LONGLONG MaxBytes = LONGLONG{16} * 1024 * 1024;
  bool read = ::GetFileSizeEx(file, &size) != FALSE && size.QuadPart <= MaxBytes;
  if (read) {
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    read = bytes.empty() || (::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) != FALSE &&
                             got == bytes.size());
  }
  ::CloseHandle(file);
  return read ? TFileRead::Read : TFileRead::Unreadable;
}

bool TWin32CheckSystem::WriteWholeFile(const std::string& path, const std::string& bytes) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool complete = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
                        written == bytes.size() && FlushFileBuffers(file) != FALSE;
  ::CloseHandle(file);
  return complete;
}

std::uint32_t TWin32CheckSystem::ReplaceFileA(const std::string& replaced, const std::string& replacement,
                                              const std::string& backup) {
  return ::ReplaceFileA(replaced.c_str(), replacement.c_str(), backup.c_str(), 0, nullptr, nullptr) ? 0 : GetLastError();
}

std::uint32_t TWin32CheckSystem::MoveFileExA(const std::string& from, const std::string& to) {
  constexpr DWORD Rename = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return ::MoveFileExA(from.c_str(), to.c_str(), Rename) ? 0 : GetLastError();
}

std::uint32_t TWin32CheckSystem::GetFileAttributesA(const std::string& path) {
  return ::GetFileAttributesA(path.c_str());
}

bool TWin32CheckSystem::SetFileAttributesA(const std::string& path, std::uint32_t attributes) {
  return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
}

bool TWin32CheckSystem::DeleteFileA(const std::string& path) { return ::DeleteFileA(path.c_str()) != FALSE; }

void TWin32CheckSystem::Sleep(std::uint32_t ms) { ::Sleep(ms); }

void TWin32CheckSystem::OpenFolder(const std::string& path) {
  // shell32 is loaded when asked, as for starting the target.
  using TShellExecute = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  const auto execute = Proc<TShellExecute>(LoadSystemLibrary("shell32.dll"), "ShellExecuteA");
  if (execute != nullptr) execute(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string TWin32CheckSystem::GetProcessImagePath(TProcessId process) {
  HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
  if (handle == nullptr) return {};
  char path[MAX_PATH] = "";
  DWORD size = MAX_PATH;
  const bool read = QueryFullProcessImageNameA(handle, 0, path, &size) != FALSE;
  ::CloseHandle(handle);
  return read ? std::string(path, size) : std::string();
}

bool TWin32CheckSystem::MayWriteFile(const std::string& path) {
  // The folder: a file of this program's made there and gone again when closed.
  const std::string probe = path + ".pelmora-probe";
  HANDLE handle = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(handle);
  // The file: opened for writing, nothing written; read-only, denied or held, it refuses.
  handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  ::CloseHandle(handle);
  return true;
}

}  // namespace pelmora
