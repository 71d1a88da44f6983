// The port realised on Win32: files, the settings file and the trace file.
#include "platform/win32_common.h"

#include <cstring>

namespace pelmora {

bool TWin32WindowSystem::FileExists(const std::string& path) {
  // Attributes of the path itself: no wildcard matching, no judging by timestamp.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool TWin32WindowSystem::ReadFileBytes(const std::string& path, std::uint32_t limit, std::string& bytes) {
  // Shared as Notepad and the profile functions share it: another program may have it open.
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  DWORD read = 0;
  const bool fits = ::GetFileSizeEx(file, &size) && size.QuadPart <= limit;
  bytes.assign(fits ? static_cast<std::size_t>(size.QuadPart) : 0, '\0');
  const bool whole = fits && (bytes.empty() || (::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                                           &read, nullptr) &&
                                                read == bytes.size()));
  ::CloseHandle(file);
  return whole;
}

std::string TWin32WindowSystem::GetPrivateProfileStringA(const char* section, const char* key,
                                                         const std::string& fileName) {
  char value[1024];
  const DWORD n =
      ::GetPrivateProfileStringA(section, key, "", value, sizeof value, fileName.c_str());
  return {value, n};
}

std::vector<std::string> TWin32WindowSystem::ReadSettingNames(const char* section,
                                                             const std::string& fileName) {
  // Windows lists the names each ended by a NUL, within the buffer: a last name that does
  // not fit is cut short, and kept so.
  char list[1024];
  const DWORD n = ::GetPrivateProfileStringA(section, nullptr, "", list, sizeof list, fileName.c_str());
  std::vector<std::string> names;
  for (DWORD at = 0; at < n;) {
    const std::string name(list + at, ::strnlen(list + at, n - at));
    at += static_cast<DWORD>(name.size()) + 1;
    names.push_back(name);
  }
  return names;
}

THandle TWin32WindowSystem::OpenForAppend(const std::string& path) {
  // Append-only access makes every WriteFile land at the end of the file, even with
  // another process appending at the same time; reading the size for the roll-over needs
  // the attributes right.
  HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? 0 : Object(file);
}

bool TWin32WindowSystem::WriteFile(THandle file, const std::string& bytes) {
  DWORD written = 0;
  return ::WriteFile(Kernel(file), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) != FALSE &&
         written == bytes.size();
}

bool TWin32WindowSystem::GetFileSizeEx(THandle file, std::uint64_t& size) {
  LARGE_INTEGER n{};
  if (!::GetFileSizeEx(Kernel(file), &n)) return false;
  size = static_cast<std::uint64_t>(n.QuadPart);
  return true;
}

bool TWin32WindowSystem::MoveFileExA(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

}  // namespace pelmora
