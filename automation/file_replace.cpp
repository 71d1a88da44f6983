#include "automation/file_replace.h"

namespace pelmora {
namespace {

// An antivirus or indexer opening the fresh file holds it for a moment.
constexpr int Attempts = 5;
constexpr std::uint32_t RetryPauseMs = 200;

bool Held(std::uint32_t error) {
  return error == file_error::AccessDenied || error == file_error::SharingViolation ||
         error == file_error::UnableToRemoveReplaced;
}

// The step's error once it succeeds, fails otherwise than for a file held, or the attempts are spent.
template <class Step>
std::uint32_t Retried(TCheckSystem& cs, Step step) {
  std::uint32_t error = step();
  for (int attempt = 1; Held(error) && attempt < Attempts; ++attempt) {
    cs.Sleep(RetryPauseMs);
    error = step();
  }
  return error;
}

// The old file's hidden, system and not-indexed attributes on the new one, where the step that
// put it in place dropped them; added only, so that the archive bit set for the change stays.
void PutBackAttributes(TCheckSystem& cs, const std::string& path, std::uint32_t attributes) {
  using namespace file_attribute;
  constexpr std::uint32_t Kept = Hidden | System | NotIndexed;
  const std::uint32_t now = cs.GetFileAttributesA(path);
  if (now != None && (attributes & Kept & ~now) != 0) cs.SetFileAttributesA(path, (now & ~Normal) | (attributes & Kept));
}

}  // namespace

TReplaced ReplaceWholeFile(TCheckSystem& cs, const std::string& path, const std::string& bytes) {
  using namespace file_attribute;
  const std::uint32_t attributes = cs.GetFileAttributesA(path);
  const bool exists = attributes != None;
  // A read-only file stays as it is: the rename below would replace it.
  if (exists && (attributes & ReadOnly) != 0) return TReplaced::Old;
  const std::string fresh = path + ".new";
  const std::string old = path + ".old";
  // One left by an earlier failure with the old file's hidden or system attribute refuses to
  // be created anew.
  cs.SetFileAttributesA(fresh, Normal);
  if (!cs.WriteWholeFile(fresh, bytes)) {
    cs.DeleteFileA(fresh);
    return TReplaced::Old;
  }
  if (exists) cs.DeleteFileA(old);
  // Wine's replace only renames, and succeeds with the attributes dropped.
  if (exists && Retried(cs, [&] { return cs.ReplaceFileA(path, fresh, old); }) == 0) {
    PutBackAttributes(cs, path, attributes);
    cs.DeleteFileA(old);
    return TReplaced::New;
  }
  // Renamed where it cannot (no file yet, a file system without it), or where it stopped
  // half way: the new file is still under its own name.
  if (Retried(cs, [&] { return cs.MoveFileExA(fresh, path); }) == 0) {
    if (exists) PutBackAttributes(cs, path, attributes);
    cs.DeleteFileA(old);
    return TReplaced::New;
  }
  // The old file back under its name, where the replace left it under the backup's.
  if (exists && cs.GetFileAttributesA(path) == None && Retried(cs, [&] { return cs.MoveFileExA(old, path); }) != 0) {
    return TReplaced::Neither;
  }
  cs.DeleteFileA(fresh);
  return TReplaced::Old;
}

}  // namespace pelmora
