#include "tests/sim_check.h"

namespace pelmora::sim {

std::string TSimCheckSystem::SaveWindowPicture(TWindow window, const std::vector<TPictureMark>& marks,
                                               const std::string& path) {
  if (Unwritable.count(path) != 0) return {};
  Pictures.push_back({window, marks, path});
  Files[path] = "picture";
  return path;
}

// The clock runs to the next scripted click, or to the time-out when none comes within it.
TClickWait TSimCheckSystem::WaitForLeftClick(std::uint32_t timeoutMs, TPoint& at) {
  const std::uint64_t until = desktop_.Now() + timeoutMs;
  while (next_ < Clicks.size() && Clicks[next_].AtMs < desktop_.Now()) ++next_;
  if (next_ == Clicks.size() || Clicks[next_].AtMs > until) {
    desktop_.Pause(static_cast<std::uint32_t>(until - desktop_.Now()));
    return TClickWait::TimedOut;
  }
  const TScriptedClick& click = Clicks[next_++];
  desktop_.Pause(static_cast<std::uint32_t>(click.AtMs - desktop_.Now()));
  at = click.At;
  return click.Cancel ? TClickWait::Cancelled : TClickWait::Clicked;
}

std::string TSimCheckSystem::GetFileVersion(const std::string& path) {
  return desktop_.FileExists(path) ? "15.0.0.1" : "";
}

bool TSimCheckSystem::CreateDirectoryA(const std::string& path) {
  if (Unwritable.count(path) != 0) return false;
  Folders.insert(path);
  return true;
}

bool TSimCheckSystem::CopyFileA(const std::string& from, const std::string& to) {
  const auto it = Files.find(from);
  if (it == Files.end() || Unwritable.count(to) != 0) return false;
  Files[to] = it->second;
  return true;
}

bool TSimCheckSystem::WriteWholeFile(const std::string& path, const std::string& bytes) {
  if (Unwritable.count(path) != 0) return false;
  Files[path] = bytes;
  return true;
}

}  // namespace pelmora::sim
