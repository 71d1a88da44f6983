// The check program's port realised on Win32, one file a concern.
#pragma once

#include <windows.h>

#include "platform/check_system.h"

namespace pelmora {

class TWin32CheckSystem final : public TCheckSystem {
 public:
  // win32_picture.cpp: the window as the screen shows it, with the marks drawn.
  std::string SaveWindowPicture(TWindow window, const std::vector<TPictureMark>& marks,
                                const std::string& path) override;

  // win32_click_wait.cpp: the administrator's click, and the display's scaling.
  TClickWait WaitForLeftClick(std::uint32_t timeoutMs, TPoint& at, TWindowFacts& pressed) override;
  void CancelClickWait() override;
  int GetMonitorScalePercent(TMonitor monitor) override;

  // win32_check_files.cpp: the report's files and the target's version.
  std::string GetFileVersion(const std::string& path) override;
  std::string GetTempPathA() override;
  bool CreateDirectoryA(const std::string& path) override;
  bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) override;
  TFileRead ReadWholeFile(const std::string& path, std::string& bytes) override;
  bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
  std::uint32_t ReplaceFileA(const std::string& replaced, const std::string& replacement,
                             const std::string& backup) override;
  std::uint32_t MoveFileExA(const std::string& from, const std::string& to) override;
  std::uint32_t GetFileAttributesA(const std::string& path) override;
  bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) override;
  bool DeleteFileA(const std::string& path) override;
  void Sleep(std::uint32_t ms) override;
  void OpenFolder(const std::string& path) override;
  bool MayWriteFile(const std::string& path) override;
  std::string GetProcessImagePath(TProcessId process) override;
};

// What the picture's capture hands to its file writer: 24-bit BGR rows, top row first,
// each `Stride` bytes long.
struct TPixels {
  int Width = 0;
  int Height = 0;
  int Stride = 0;
  BYTE* Bits = nullptr;
};

// win32_picture_file.cpp: the picture as a PNG through WIC, else as a BMP with the path's
// extension changed; the path written, empty when neither could be.
std::string WritePicture(const TPixels& pixels, const std::string& path);

}  // namespace pelmora
