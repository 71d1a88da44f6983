// The port realised on Win32: time, pauses, the job's lock and the value jobs share.
#include "platform/win32_common.h"

#include <sddl.h>

#include <cwchar>
#include <vector>

namespace pelmora {
namespace {

// Appends the NUL-terminated `text`, without its NUL.
void Append(std::vector<wchar_t>& to, const wchar_t* text) { to.insert(to.end(), text, text + std::wcslen(text)); }

// Appends an entry of full access for the token's logon SID (the logon session's group);
// nothing when it has none.
void AppendLogonSid(HANDLE token, std::vector<wchar_t>& sddl) {
  DWORD size = 0;
  ::GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size < sizeof(TOKEN_GROUPS) || !::GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    LPWSTR sid = nullptr;
    // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-constant-array-index): GroupCount entries follow
    const SID_AND_ATTRIBUTES& group = groups->Groups[i];
    if ((group.Attributes & SE_GROUP_LOGON_ID) == SE_GROUP_LOGON_ID && ConvertSidToStringSidW(group.Sid, &sid)) {
      Append(sddl, L"(A;;GA;;;"), Append(sddl, sid), Append(sddl, L")");
      LocalFree(sid);
      return;
    }
  }
}

// The objects jobs share, for every integrity level of this user: full access for the user's
// SID, and a medium label, so that a normal program opens what an elevated one made and the
// other way round. Built once and kept; null where Windows cannot build it (no labels before
// Vista), and the objects then get the default security.
SECURITY_ATTRIBUTES* SharedWithTheUser() {
  static SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  static bool built = false;
  if (built) return attributes.lpSecurityDescriptor != nullptr ? &attributes : nullptr;
  built = true;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  LPWSTR sid = nullptr;
  if (size >= sizeof(TOKEN_USER) && ::GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
    // "D:(A;;GA;;;<SID>)(A;;GA;;;<logon SID>)S:(ML;;NW;;;ME)", NUL-terminated: the session's
    // logon SID too, so that an administrator's program run on a user's desktop with its own
    // account shares the lock with the user's jobs.
    // Built in a vector: std::wstring would add its own code to the program.
    std::vector<wchar_t> sddl;
    Append(sddl, L"D:(A;;GA;;;"), Append(sddl, sid), Append(sddl, L")");
    AppendLogonSid(token, sddl);
    Append(sddl, L"S:(ML;;NW;;;ME)");
    sddl.push_back(L'\0');
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.data(), SDDL_REVISION_1, &descriptor, nullptr)) {
      attributes.lpSecurityDescriptor = descriptor;
    }
    LocalFree(sid);
  }
  ::CloseHandle(token);
  return attributes.lpSecurityDescriptor != nullptr ? &attributes : nullptr;
}

using TTimePeriod = UINT(WINAPI*)(UINT);
// The finer timer's resolution, in ms.
constexpr UINT TimerPeriodMs = 1;

}  // namespace

void TWin32WindowSystem::Pause(std::uint32_t ms) {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER now{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  // Never shorter than asked: the counts rounded up, from this call on.
  const LONGLONG deadline = now.QuadPart + (frequency.QuadPart * ms + 999) / 1000;
  for (LONGLONG left = 0; QueryPerformanceCounter(&now), (left = deadline - now.QuadPart) > 0;) {
    LARGE_INTEGER due{};
    due.QuadPart = -(left * 10000000 / frequency.QuadPart);  // relative, in 100 ns
    const DWORD count =
        timer_ != nullptr && SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE) ? 1 : 0;
    const auto leftMs = static_cast<DWORD>((left * 1000 + frequency.QuadPart - 1) / frequency.QuadPart);
    // Messages other programs send are answered meanwhile: none of them waits for the job.
    if (::MsgWaitForMultipleObjectsEx(count, &timer_, count != 0 ? INFINITE : leftMs, QS_SENDMESSAGE,
                                      MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 + count) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
}

void TWin32WindowSystem::BeginFinerTimer() {
  // Windows 10 1803 and later: a high-resolution timer of this program's own, the system's
  // timer left as it is. Elsewhere the system's period, from winmm, loaded only here.
  using TCreateTimer = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
  constexpr DWORD HighResolution = 0x2;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
  const auto create = Proc<TCreateTimer>(GetModuleHandleA("kernel32.dll"), "CreateWaitableTimerExW");
  timer_ = create != nullptr ? create(nullptr, nullptr, HighResolution, TIMER_ALL_ACCESS) : nullptr;
  winmm_ = timer_ == nullptr ? LoadSystemLibrary("winmm.dll") : nullptr;
  const auto begin = winmm_ != nullptr ? Proc<TTimePeriod>(winmm_, "timeBeginPeriod") : nullptr;
  period_ = begin != nullptr && begin(TimerPeriodMs) == 0 ? TimerPeriodMs : 0;  // 0: TIMERR_NOERROR
}

void TWin32WindowSystem::EndFinerTimer() {
  if (timer_ != nullptr) ::CloseHandle(timer_);
  timer_ = nullptr;
  const auto end = period_ != 0 ? Proc<TTimePeriod>(winmm_, "timeEndPeriod") : nullptr;
  if (end != nullptr) end(period_);
  period_ = 0;
  if (winmm_ != nullptr) FreeLibrary(winmm_);
  winmm_ = nullptr;
}

std::uint32_t TWin32WindowSystem::GetTickCount() { return ::GetTickCount(); }

TSystemTime TWin32WindowSystem::GetLocalTime() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

THandle TWin32WindowSystem::CreateMutexA(const char* name) {
  return Object(::CreateMutexA(SharedWithTheUser(), FALSE, name));
}

THandle TWin32WindowSystem::OpenMutexToWait(const char* name) {
  return Object(::OpenMutexA(SYNCHRONIZE, FALSE, name));
}

TWaitResult TWin32WindowSystem::WaitForLockOrQuit(THandle mutex, std::uint32_t timeoutMs) {
  auto* object = Kernel(mutex);
  const DWORD count = object != nullptr ? 1 : 0;
  const DWORD start = GetTickCount();
  for (;;) {
    // The cancel button or the close box, pressed before or handled during the wait.
    if (count == 1 && lockWaitCancelled_) return TWaitResult::Quit;
    const DWORD elapsed = GetTickCount() - start;
    const DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
    // Messages already queued when the wait begins wake it as well.
    const DWORD result =
        ::MsgWaitForMultipleObjectsEx(count, &object, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (count == 1 && (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0)) {
      return TWaitResult::Acquired;
    }
    if (result != WAIT_OBJECT_0 + count) return TWaitResult::TimedOut;
    // Keeps the window painting and answering while it waits.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // The window was closed: the message loop must still see the quit to end the program.
        PostQuitMessage(static_cast<int>(message.wParam));
        return TWaitResult::Quit;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

void TWin32WindowSystem::ReleaseMutex(THandle handle) {
  ::ReleaseMutex(reinterpret_cast<HANDLE>(handle));
}

bool TWin32WindowSystem::WaitForSingleObject(THandle object, std::uint32_t timeoutMs) {
  const DWORD result = ::WaitForSingleObject(Kernel(object), timeoutMs);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

THandle TWin32WindowSystem::OpenSharedValue(const char* name) {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, SharedWithTheUser(), PAGE_READWRITE, 0,
                                      sizeof(LONG), name);
  if (mapping == nullptr) return 0;
  // The view keeps the shared memory alive until the program ends.
  void* view = ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(LONG));
  ::CloseHandle(mapping);
  return Object(view);
}

std::uint32_t TWin32WindowSystem::LoadSharedValue(THandle value) {
  // A compare-exchange that changes nothing: one read no other program's write can tear.
  return static_cast<std::uint32_t>(
      ::InterlockedCompareExchange(static_cast<volatile LONG*>(Kernel(value)), 0, 0));
}

std::uint32_t TWin32WindowSystem::InterlockedCompareExchange(THandle value, std::uint32_t exchange,
                                                             std::uint32_t comparand) {
  return static_cast<std::uint32_t>(
      ::InterlockedCompareExchange(static_cast<volatile LONG*>(Kernel(value)),
                                   static_cast<LONG>(exchange), static_cast<LONG>(comparand)));
}

void TWin32WindowSystem::CloseHandle(THandle handle) {
  ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace pelmora
