// What the job fuzz target's parts share: the target's names, the fixed limits, the knob
// bytes, and the steps of a run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/form.h"
#include "tests/sim_desktop.h"
#include "tests/sim_target.h"

namespace job_fuzz {

using namespace pelmora;
using namespace pelmora::sim;

const char* const ScreenTitles[] = {"得意先台帳 (新規)", "得意先台帳 (修正)", "得意先元帳",
                                    "売上伝票 (新規)", "売上伝票 (修正)"};
constexpr int ScreenTitleCount = 5;
const char* const CustomerLookup = "得意先参照";
const char* const BillingLookup = "請求先参照";
// Where the target puts a lookup dialog before one exists.
constexpr TRect DefaultDialog{600, 300, 1000, 560};
constexpr TPoint FieldOffset{65, 117};

struct TDisplay {
  int Width, Height;
};
const TDisplay Displays[8] = {{1920, 1080}, {1024, 768}, {1280, 1024}, {1920, 1200},
                              {1366, 768},  {800, 600},  {1280, 800},  {640, 0}};

// Limits of the fixed waits, in virtual ms.
constexpr std::uint64_t FoundAtOnceMs = 15000 + 5000 + 100;  // idle wait, restore and its time-out
constexpr std::uint64_t StartedMs = 75 * 200 + 499 * 10 + FoundAtOnceMs;  // + start, shown
constexpr std::uint64_t MultiScreenMs = 100 + 100 + 30 * 100 + 100 + 100 + 30 * 100 + 3 * 50 + 200;
constexpr std::uint64_t SingleScreenMs = MultiScreenMs + std::uint64_t{2} * 499 * 10;  // + visibility waits
// Polling limits: pauses in one search loop, tests in one visibility wait.
constexpr int MainSearchPauses = 75;
constexpr int ScreenSearchPauses = 30;
constexpr int VisibilityTests = 500;
// The longest wait re-tested every 1 ms: a click taken whole, in virtual ms.
constexpr std::uint64_t RetestLoopMs = 5000;

extern std::string CurrentInput;

[[noreturn]] void Fail(const std::string& what);

// Knob bytes; 0 once used up.
class TBytes {
 public:
  TBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // High byte first; two statements, as the operands of | are not sequenced.
  std::uint16_t Word() {
    const std::uint16_t high = Byte();
    return static_cast<std::uint16_t>(high << 8 | Byte());
  }
  bool Empty() const { return pos_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

std::string LookupTitleFor(const std::string& code);
bool Contains(const std::vector<std::string>& list, const std::string& text);

// The target's script and the timed faults, from the knob bytes.
void Storm(TSimDesktop& desktop, TSimTarget& target, std::uint8_t kind);
TTargetScript ReadScript(TBytes& k, TSimDesktop& desktop, bool& activateTwice);

// What every run must show, and what the settings reader must keep.
void CheckRun(const TSimDesktop& desktop, const TJob& job, int closed,
              const TTargetScript& script, bool undisturbed);
void CheckSettings(const std::string& text);

}  // namespace job_fuzz
