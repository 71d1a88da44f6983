// A file's identity, read by the port, and the rule that tells two files the same: portable,
// so that the rule is the product's own wherever the ids come from.
#pragma once

#include <cstdint>

namespace pelmora {

// The volume's serial number and the file's id, 128 bits where the file system has them
// (ReFS), else the 64-bit index; `Wide` tells which was read.
struct TFileId {
  std::uint64_t Volume = 0;
  std::uint64_t Low = 0;
  std::uint64_t High = 0;
  bool Wide = false;
};

enum class TSameFile { Same, Other, Unknown };

// Unknown where either file has no identity (it could not be opened, or answered an id of 0,
// as some network file systems do for every file) or the ids are of different kinds: the
// same file read otherwise is no other file. The paths are compared then.
inline TSameFile SameFileById(const TFileId* a, const TFileId* b) {
  const auto none = [](const TFileId* id) { return id == nullptr || (id->Low == 0 && id->High == 0); };
  if (none(a) || none(b) || a->Wide != b->Wide) return TSameFile::Unknown;
  return a->Volume == b->Volume && a->Low == b->Low && a->High == b->High ? TSameFile::Same : TSameFile::Other;
}

}  // namespace pelmora
