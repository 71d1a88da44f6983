#pragma once

#include <string>
#include <vector>

namespace pelmora {

// One job per program start, read from the command line.
struct TJob {
  std::string InstallPath;               // argument 1: the target's executable
  std::vector<std::string> ScreenCodes;  // argument 2 as comma text; empty items kept
  std::string ScreenCode;                // the code being worked on
  std::string PhoneNumber;               // argument 3
  double AspectRatio = 0.0;              // display width / height, measured at start-up
};

}  // namespace pelmora
