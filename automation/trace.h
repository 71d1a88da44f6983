// The support trace: one line per step of a run, appended to the file the administrator
// names in the settings. Off by default; when off it makes no port call at all. A trace
// that cannot be written falls silent and never changes the job.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window_system.h"

namespace pelmora {

class TTrace {
 public:
  // At this size the file is renamed to "<file>.1" (replacing the older one) and a new
  // one begun.
  static constexpr std::uint64_t RollOverBytes = std::uint64_t{1024} * 1024;
  static constexpr const char* MutexName = "Local\\PelmoraTraceRollOver";

  TTrace() = default;
  TTrace(const TTrace&) = delete;
  TTrace& operator=(const TTrace&) = delete;
  TTrace(TTrace&&) = delete;
  TTrace& operator=(TTrace&&) = delete;
  ~TTrace();

  // Starts tracing to `path`; `startTick` is the program's start on GetTickCount.
  void Open(TWindowSystem& ws, const std::string& path, std::uint32_t startTick);
  // Whether lines are written; callers check it before gathering facts for a line.
  bool On() const { return ws_ != nullptr; }
  // Appends "<local time> +<ms since start>ms [<process>] <text>".
  void Line(const std::string& text);

 private:
  bool Append(const std::string& line);

  TWindowSystem* ws_ = nullptr;
  std::string path_;
  std::uint32_t startTick_ = 0;
  TProcessId process_ = 0;
  THandle mutex_ = 0;
};

// The number with every character but the last four shown as '*', at most 16 of them;
// code page 932 double-byte characters count as one and are never split.
std::string MaskNumber(const std::string& number);
std::size_t CountCharacters(const std::string& text);

// Text in double quotes for a trace line: control characters shown as '?', and cut at a
// character boundary past 120 bytes.
std::string Quoted(const std::string& text);

std::string Hex(std::uintptr_t value);
// Written out by hand, as Hex: std::to_string and printf bring in a large part of the C
// library.
std::string Decimal(std::uint64_t value);

// "(x,y)".
std::string Point(TPoint point);
// "x,y", negative ones included (monitors left of or above the primary), as the settings and
// the check's report write a point.
std::string Coordinates(std::int32_t x, std::int32_t y);
// A ratio with three decimals, as "1.778".
std::string Thousandths(double value);

// "0x… class="…" title="…" pid=…", or "none" for no window.
std::string DescribeWindow(TWindowSystem& ws, TWindow window);
// Why a click was not sent: input blocked; on no monitor, or on one whose scaling this
// Windows cannot map; or another window than `approved` at its physical point.
std::string Unsent(TWindowSystem& ws, const TPreparedClick& click, TClickSent sent, TWindow approved,
                   TWindow landed);

}  // namespace pelmora
