// A file's content replaced whole, so that after any failure the file holds its old content
// or the new, never nothing.
#pragma once

#include <string>

#include "platform/check_system.h"

namespace pelmora {

// What the file holds afterwards: the new content, the old (or no file, as before), or
// neither, the old content left as `path`.old and the new as `path`.new.
enum class TReplaced { New, Old, Neither };

// Writes the bytes beside the file as `path`.new, then puts that in its place in one step,
// keeping the file's attributes, owner and permissions (renamed where that cannot be done,
// its hidden, system and not-indexed attributes put back); a step failing for another
// program holding a file is tried again a few times.
TReplaced ReplaceWholeFile(TCheckSystem& cs, const std::string& path, const std::string& bytes);

}  // namespace pelmora
