// Splitting of the command line into arguments and of comma text into items, over
// code page 932 text.
#pragma once

#include <string>
#include <vector>

namespace pelmora {

// The arguments after the program token. Blanks and control characters (1-32) separate
// tokens; double quotes group and are dropped; an empty quoted pair where a token would
// begin is skipped; an empty token ends the list.
std::vector<std::string> SplitCommandLine(const std::string& line);

// Items separated by commas or by blanks and control characters; empty items between
// commas, at the start, and after a final comma are kept.
std::vector<std::string> SplitCommaText(const std::string& text);

}  // namespace pelmora
