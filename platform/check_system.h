// What pelmora-check needs of the desktop beyond the job's own operations: pictures of
// windows, the administrator's click, and the files of its report. A port of its own, used
// beside the job's TWindowSystem, so that pelmora.exe links none of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace pelmora {

// A click point drawn on a picture: a cross at the point, its name beside it, green when
// the point is OK and red when not.
struct TPictureMark {
  TPoint At;         // screen coordinates, as GetWindowRect gives them
  std::string Name;  // code page 932
  bool Ok = false;
};

enum class TFileRead {
  Read,
  Missing,     // no file there
  Unreadable,  // a file there that cannot be read: held without read sharing, denied, too large
};

enum class TClickWait {
  Clicked,
  Cancelled,  // Esc, or CancelClickWait from this program's window
  TimedOut,
};

// The errors a replace tells apart, as GetLastError gives them.
namespace file_error {
constexpr std::uint32_t AccessDenied = 5;
constexpr std::uint32_t SharingViolation = 32;
constexpr std::uint32_t UnableToRemoveReplaced = 1175;    // both files keep their names
constexpr std::uint32_t UnableToMoveReplacement = 1176;   // with a backup name: both keep their names
constexpr std::uint32_t UnableToMoveReplacement2 = 1177;  // the old file under the backup's name, the
                                                          // new one under its own with the old one's attributes
}  // namespace file_error
namespace file_attribute {
constexpr std::uint32_t ReadOnly = 0x1;
constexpr std::uint32_t Hidden = 0x2;
constexpr std::uint32_t System = 0x4;
constexpr std::uint32_t Normal = 0x80;
constexpr std::uint32_t NotIndexed = 0x2000;
constexpr std::uint32_t None = 0xFFFFFFFF;  // INVALID_FILE_ATTRIBUTES
}  // namespace file_attribute

class TCheckSystem {
 public:
  virtual ~TCheckSystem() = default;

  // Saves what the window shows on screen, its outer rectangle as the user sees it (where
  // something covers it, the window's own drawing as far as it answers for it), with the
  // marks drawn over it, as a PNG file of the window's size. Where PNG cannot be written, a BMP with the
  // path's extension changed to .bmp. The path written; empty when nothing could be.
  virtual std::string SaveWindowPicture(TWindow window, const std::vector<TPictureMark>& marks,
                                        const std::string& path) = 0;
  // Waits at most `timeoutMs` for the next left-button press anywhere on the desktop, input
  // that other programs inject included, and gives its point in this program's screen
  // coordinates, and the window at that point as it was at the press (its Window 0: none),
  // read then, as a list or menu the click picks from is gone by its release; the click
  // goes on to the window under it as usual, and the wait ends at its release. A press on this program's own windows is theirs and not waited for. Esc
  // ends the wait as Cancelled and goes to no window. This program's windows keep
  // answering meanwhile.
  virtual TClickWait WaitForLeftClick(std::uint32_t timeoutMs, TPoint& at, TWindowFacts& pressed) = 0;
  // Ends a WaitForLeftClick in progress as Cancelled (the window's cancel button).
  virtual void CancelClickWait() = 0;
  // The file's version from its version resource, as "1.2.3.4"; empty when it has none.
  virtual std::string GetFileVersion(const std::string& path) = 0;
  // The monitor's scaling in percent (100 at 96 dpi); 0 when it cannot be read.
  virtual int GetMonitorScalePercent(TMonitor monitor) = 0;
  // The user's temporary folder, ending in a backslash.
  virtual std::string GetTempPathA() = 0;
  // True when the folder exists afterwards (its parent must exist).
  virtual bool CreateDirectoryA(const std::string& path) = 0;
  // Copies the file, replacing `to` if it exists unless `failIfExists`.
  virtual bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) = 0;
  // The file's content whole.
  virtual TFileRead ReadWholeFile(const std::string& path, std::string& bytes) = 0;
  // Creates the file, or empties the one there, writes the bytes and flushes them to the
  // disk; false when any step fails. ReplaceWholeFile (automation/file_replace.h) puts a
  // file in place of another in one step.
  virtual bool WriteWholeFile(const std::string& path, const std::string& bytes) = 0;
  // Puts `replacement` in the place of `replaced`, which keeps its attributes, owner and
  // permissions, the old file renamed to `backup`; 0, or the error (file_error::), half way
  // for some of them.
  virtual std::uint32_t ReplaceFileA(const std::string& replaced, const std::string& replacement,
                                     const std::string& backup) = 0;
  // Renames, replacing `to` if it exists, written through; 0, or the error.
  virtual std::uint32_t MoveFileExA(const std::string& from, const std::string& to) = 0;
  // The file's attributes (file_attribute::), file_attribute::None when there is no file.
  virtual std::uint32_t GetFileAttributesA(const std::string& path) = 0;
  virtual bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) = 0;
  virtual bool DeleteFileA(const std::string& path) = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
  // Whether the file could be written in place, made where it is missing, and its folder
  // take a new file beside it; checked without changing either.
  virtual bool MayWriteFile(const std::string& path) = 0;
  // Opens the folder in Explorer.
  virtual void OpenFolder(const std::string& path) = 0;
  // The full path of the program file the process runs; empty when it cannot be read.
  virtual std::string GetProcessImagePath(TProcessId process) = 0;
};

}  // namespace pelmora
