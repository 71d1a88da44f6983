// The check program's port on the simulated desktop: pictures recorded with their marks,
// the administrator's clicks scripted at virtual times, files kept in memory.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/check_system.h"
#include "tests/sim_desktop.h"

namespace pelmora::sim {

struct TSimPicture {
  TWindow Window;
  std::vector<TPictureMark> Marks;
  std::string Path;
};

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
  std::vector<TSimPicture> Pictures;
  std::map<std::string, std::string> Files;  // path -> bytes
  std::set<std::string> Unwritable;          // paths (files or folders) that cannot be written
  std::set<std::string> Folders;
  std::string TempPath = "C:\\Temp\\";

  std::string SaveWindowPicture(TWindow window, const std::vector<TPictureMark>& marks,
                                const std::string& path) override;
  TClickWait WaitForLeftClick(std::uint32_t timeoutMs, TPoint& at) override;
  void CancelClickWait() override {}
  std::string GetFileVersion(const std::string& path) override;
  int GetMonitorScalePercent(TMonitor) override { return 100; }
  std::string GetTempPathA() override { return TempPath; }
  bool CreateDirectoryA(const std::string& path) override;
  bool CopyFileA(const std::string& from, const std::string& to) override;
  bool ReadWholeFile(const std::string& path, std::string& bytes) override {
    const auto it = Files.find(path);
    if (it != Files.end()) bytes = it->second;
    return it != Files.end();
  }
  bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
  void OpenFolder(const std::string&) override {}

 private:
  TSimDesktop& desktop_;
  std::size_t next_ = 0;
};

}  // namespace pelmora::sim
