// The simulated desktop's processes, pauses on the timer, the job's lock and shared end,
// the error box.
#include "tests/sim_desktop.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "platform/file_identity.h"

namespace pelmora::sim {

void TSimDesktop::ShellExecuteA(const std::string& path) {
  Log("ShellExecuteA", 0, 0, 0, path);
  if (OnShellExecute) OnShellExecute(path);
}

TProcessId TSimDesktop::FindSessionProcessStartedFrom(const std::string& path) {
  Log("FindSessionProcessStartedFrom", 0, 0, 0, path);
  // The ids as the port reads them, judged by the product's own rule.
  const auto id = [this](const std::string& p) {
    const auto found = FileIds.find(p);
    return found == FileIds.end() ? std::optional<TFileId>() : TFileId{1, found->second, 0, false};
  };
  const std::optional<TFileId> file = id(path);
  for (const auto& [image, process] : Processes) {
    const std::optional<TFileId> imageFile = id(image);
    const TSameFile byId = SameFileById(file ? &*file : nullptr, imageFile ? &*imageFile : nullptr);
    const bool same = byId == TSameFile::Unknown ? SameText(image, path) : byId == TSameFile::Same;
    if (same && OtherSessions.count(process) == 0) return process;
  }
  return 0;
}

bool TSimDesktop::FileExists(const std::string& path) {
  Log("FileExists", 0, 0, 0, path);
  return Files.count(path) != 0;
}

void TSimDesktop::Elapse(std::uint32_t ms) {
  const double end = static_cast<double>(now_ + ms);
  const bool ticks = TimerTickMs > 0 && period_ == 0;
  Advance(static_cast<std::uint64_t>(ticks ? std::ceil(std::ceil(end / TimerTickMs) * TimerTickMs) : end) - now_);
}

void TSimDesktop::Pause(std::uint32_t ms) {
  Log("Pause", 0, ms);
  Elapse(ms);
}

// Not logged: no window sees them.
void TSimDesktop::BeginFinerTimer() { handles_[period_ = ++nextHandle_] = "period"; }
void TSimDesktop::EndFinerTimer() { handles_.erase(std::exchange(period_, 0)); }

std::string TSimDesktop::GetCommandLineA() {
  Log("GetCommandLineA");
  return CommandLine;
}

std::int32_t TSimDesktop::GetTokenIntegrityLevel(TProcessId process) {
  Log("GetTokenIntegrityLevel", 0, process);
  auto level = IntegrityLevels.find(process);
  return level == IntegrityLevels.end() ? -1 : level->second;
}

bool TSimDesktop::RunsElevated() {
  Log("RunsElevated");
  const auto own = IntegrityLevels.find(0);
  return !UacOff && own != IntegrityLevels.end() && own->second > 0x2000;
}

THandle TSimDesktop::CreateMutexA(const char* name) {
  Log("CreateMutexA", 0, 0, 0, name);
  if (!MutexAvailable || MadeByHigherRights) return 0;
  handles_[++nextHandle_] = std::string("mutex:") + name;
  return nextHandle_;
}

THandle TSimDesktop::OpenMutexToWait(const char* name) {
  Log("OpenMutexToWait", 0, 0, 0, name);
  if (!MutexAvailable) return 0;
  handles_[++nextHandle_] = std::string("mutex:") + name;
  return nextHandle_;
}

TWaitResult TSimDesktop::WaitForLockOrQuit(THandle handle, std::uint32_t timeoutMs) {
  Log("WaitForLockOrQuit", 0, timeoutMs);
  if (handle == 0) {  // a pause that keeps the windows answering
    Elapse(timeoutMs);
    return TWaitResult::TimedOut;
  }
  jobMutex_ = handle;
  if (QuitWhileWaiting) return TWaitResult::Quit;
  const std::uint64_t wait = OtherJobUntil > now_ ? OtherJobUntil - now_ : 0;
  Advance(std::min<std::uint64_t>(wait, timeoutMs));
  MutexHeld = wait <= timeoutMs;
  return MutexHeld ? TWaitResult::Acquired : TWaitResult::TimedOut;
}

void TSimDesktop::ReleaseMutex(THandle handle) {
  Log("ReleaseMutex", handle);
  if (handle == jobMutex_) MutexHeld = false;
}

THandle TSimDesktop::OpenSharedValue(const char* name) {
  Log("OpenSharedValue", 0, 0, 0, name);
  return MadeByHigherRights ? 0 : 1;
}

std::uint32_t TSimDesktop::LoadSharedValue(THandle) { return SharedValue; }

std::uint32_t TSimDesktop::InterlockedCompareExchange(THandle, std::uint32_t exchange,
                                                      std::uint32_t comparand) {
  if (SharedValue == comparand && exchange != comparand) SharedValues.emplace_back(now_, exchange);
  return std::exchange(SharedValue, SharedValue == comparand ? exchange : SharedValue);
}

void TSimDesktop::CloseHandle(THandle handle) {
  Log("CloseHandle", handle);
  handles_.erase(handle);
}

void TSimDesktop::ShowErrorBox(const std::string& text) {
  Log("ShowErrorBox", 0, 0, 0, text);
  ErrorBoxes.push_back(text);
  if (OnErrorBox) OnErrorBox(text);
}

TProcessId TSimDesktop::GetCurrentProcessId() { return ProcessId; }

std::uint32_t TSimDesktop::GetTickCount() {
  Log("GetTickCount");
  return static_cast<std::uint32_t>(TickBase + now_);
}

TSystemTime TSimDesktop::GetLocalTime() {
  Log("GetLocalTime");
  // 2026-12-08 09:00:00.000 at virtual time 0; runs stay within the day.
  const auto ms = static_cast<int>(now_ % (24ULL * 3600 * 1000));
  return {2026, 12, 8, 9 + ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000};
}

bool TSimDesktop::WaitForSingleObject(THandle object, std::uint32_t timeoutMs) {
  Log("WaitForSingleObject", object, timeoutMs);
  return handles_.count(object) != 0;
}

}  // namespace pelmora::sim
