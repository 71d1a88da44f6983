// The check program's port on the simulated desktop: pictures recorded with their marks,
// the administrator's clicks scripted at virtual times, files kept in memory.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/check_system.h"
#include "tests/sim_desktop.h"

namespace pelmora::sim {

// A click the administrator makes at a virtual time; Cancel: Esc pressed then instead.
struct TScriptedClick {
  std::uint64_t AtMs;
  TPoint At;
  bool Cancel = false;
};

class TSimCheckSystem : public TCheckSystem {
 public:
  explicit TSimCheckSystem(TSimDesktop& desktop) : desktop_(desktop) {}

  std::vector<TScriptedClick> Clicks;  // in time order
  std::map<std::string, std::vector<TPictureMark>> Pictures;  // by path
  std::map<std::string, std::string> Files;                   // path -> bytes

  std::string SaveWindowPicture(TWindow, const std::vector<TPictureMark>& marks, const std::string& path) override {
    Pictures[path] = marks;
    return path;
  }
  // The clock runs to the next scripted click, or to the time-out when none comes within it.
  // The click reaches the target; the window pressed is read before it does.
  TClickWait WaitForLeftClick(std::uint32_t timeoutMs, TPoint& at, TWindowFacts& pressed) override {
    while (next_ < Clicks.size() && Clicks[next_].AtMs < desktop_.Now()) ++next_;
    if (next_ == Clicks.size() || Clicks[next_].AtMs > desktop_.Now() + timeoutMs) {
      desktop_.Pause(timeoutMs);
      return TClickWait::TimedOut;
    }
    const TScriptedClick& click = Clicks[next_++];
    desktop_.Pause(static_cast<std::uint32_t>(click.AtMs - desktop_.Now()));
    at = click.At;
    const TWindow w = desktop_.WindowFromPoint(at);
    pressed = {w, desktop_.GetAncestor(w), desktop_.GetWindowThreadId(w), desktop_.GetWindowThreadProcessId(w), desktop_.GetClassNameA(w)};
    if (!click.Cancel) desktop_.HandClick(at);
    return click.Cancel ? TClickWait::Cancelled : TClickWait::Clicked;
  }
  void CancelClickWait() override {}
  std::string GetFileVersion(const std::string&) override { return "15.0.0.1"; }
  int GetMonitorScalePercent(TMonitor) override { return 100; }
  std::string GetTempPathA() override { return "C:\\Temp\\"; }
  bool CreateDirectoryA(const std::string&) override { return true; }
  std::set<std::string> Unreadable;  // files there that cannot be read
  bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) override {
    return Files.count(from) != 0 && !(failIfExists && Files.count(to) != 0) && MayWriteFile(to) &&
           (Files[to] = Files[from], true);
  }
  TFileRead ReadWholeFile(const std::string& path, std::string& bytes) override {
    if (Unreadable.count(path) != 0) return TFileRead::Unreadable;
    return Files.count(path) == 0 ? TFileRead::Missing : (bytes = Files[path], TFileRead::Read);
  }
  // Files' attributes (absent: normal), and the errors the next replaces and renames give,
  // one a call, each half way as Windows documents it.
  std::map<std::string, std::uint32_t> Attributes;
  std::vector<std::uint32_t> ReplaceErrors, MoveErrors;
  // As CREATE_ALWAYS with normal attributes, refused over a hidden or system file.
  bool WriteWholeFile(const std::string& path, const std::string& bytes) override {
    return MayWriteFile(path) && (Attributes[path] & (file_attribute::Hidden | file_attribute::System)) == 0 && (Files[path] = bytes, true);
  }
  std::uint32_t ReplaceFileA(const std::string& replaced, const std::string& replacement, const std::string& backup) override {
    const std::uint32_t error = Next(ReplaceErrors);
    if (error == 0 || error == file_error::UnableToMoveReplacement2) Attributes[replacement] = Attributes[replaced], Move(replaced, backup);
    return error == 0 ? (Move(replacement, replaced), 0) : error;
  }
  std::uint32_t MoveFileExA(const std::string& from, const std::string& to) override {
    const std::uint32_t error = Next(MoveErrors);
    return error != 0 || Files.count(from) == 0 ? std::max(error, 2u) : (Move(from, to), 0);
  }
  std::uint32_t GetFileAttributesA(const std::string& path) override {
    return Files.count(path) == 0 ? file_attribute::None : Attributes[path] | file_attribute::Normal;
  }
  bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) override {
    return Files.count(path) != 0 && (Attributes[path] = attributes & ~file_attribute::Normal, true);
  }
  bool DeleteFileA(const std::string& path) override { return Attributes.erase(path), Files.erase(path) != 0; }
  void Sleep(std::uint32_t ms) override { desktop_.Pause(ms); }
  void OpenFolder(const std::string&) override {}
  std::set<std::string> Unwritable;  // files, or folders ending in a separator, that cannot be written
  bool MayWriteFile(const std::string& path) override {
    return Unwritable.count(path) == 0 && Unwritable.count(path.substr(0, path.find_last_of('\\') + 1)) == 0;
  }
  std::string GetProcessImagePath(TProcessId) override { return {}; }

 private:
  static std::uint32_t Next(std::vector<std::uint32_t>& errors) {
    const std::uint32_t error = errors.empty() ? 0 : errors.front();
    return errors.empty() ? 0 : (errors.erase(errors.begin()), error);
  }
  void Move(const std::string& from, const std::string& to) {
    Files[to] = Files[from], Attributes[to] = Attributes[from];
    Files.erase(from), Attributes.erase(from);
  }
  TSimDesktop& desktop_;
  std::size_t next_ = 0;
};

}  // namespace pelmora::sim
