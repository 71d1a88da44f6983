#include "automation/trace.h"

#include <algorithm>

#include "automation/sjis.h"

namespace pelmora {
namespace {

constexpr std::size_t QuotedLimit = 120;
// A longer number keeps its line short; the arguments line gives its length.
constexpr std::size_t MaskedShown = 16;
// Waiting longer for another program's rollover would slow the job; without the mutex
// the line is still appended whole, only the rollover is left to the next line.
constexpr std::uint32_t RollOverWaitMs = 500;

// Decimal digits, zero-padded to `width`. Formatted by hand: printf would add a large
// part of the C library to a program that is otherwise small.
std::string Digits(std::uint64_t value, std::size_t width) {
  std::string text;
  for (; value != 0 || text.size() < width; value /= 10) {
    text.insert(text.begin(), static_cast<char>('0' + value % 10));
  }
  return text;
}

std::string Stamp(const TSystemTime& t, std::uint32_t elapsedMs, TProcessId process) {
  auto part = [](int value, std::size_t width) {
    return Digits(static_cast<std::uint64_t>(value < 0 ? 0 : value), width);
  };
  return part(t.Year, 4) + "-" + part(t.Month, 2) + "-" + part(t.Day, 2) + " " + part(t.Hour, 2) +
         ":" + part(t.Minute, 2) + ":" + part(t.Second, 2) + "." + part(t.Milliseconds, 3) + " +" +
         Decimal(elapsedMs) + "ms [" + Decimal(process) + "] ";
}

}  // namespace

std::string Decimal(std::uint64_t value) { return Digits(value, 1); }

TTrace::~TTrace() {
  if (ws_ != nullptr && mutex_ != 0) ws_->CloseHandle(mutex_);
}

void TTrace::Open(TWindowSystem& ws, const std::string& path, std::uint32_t startTick) {
  ws_ = &ws;
  path_ = path;
  startTick_ = startTick;
  process_ = ws.GetCurrentProcessId();
  mutex_ = ws.CreateMutexA(MutexName);
}

void TTrace::Line(const std::string& text) {
  if (ws_ == nullptr) return;
  const std::string line =
      Stamp(ws_->GetLocalTime(), ws_->GetTickCount() - startTick_, process_) + text + "\r\n";
  if (!Append(line)) {
    // Falls silent: a trace with holes would mislead more than one that stops.
    if (mutex_ != 0) ws_->CloseHandle(mutex_);
    mutex_ = 0;
    ws_ = nullptr;
  }
}

bool TTrace::Append(const std::string& line) {
  // The mutex keeps two programs from both rolling the file over, the second renaming
  // the first one's fresh file over the older trace.
  const bool owned = mutex_ != 0 && ws_->WaitForSingleObject(mutex_, RollOverWaitMs);
  THandle file = ws_->OpenForAppend(path_);
  std::uint64_t size = 0;
  if (file != 0 && owned && ws_->GetFileSizeEx(file, size) && size + line.size() > RollOverBytes) {
    ws_->CloseHandle(file);
    ws_->MoveFileExA(path_, path_ + ".1");
    file = ws_->OpenForAppend(path_);
  }
  const bool written = file != 0 && ws_->WriteFile(file, line);
  if (file != 0) ws_->CloseHandle(file);
  if (owned) ws_->ReleaseMutex(mutex_);
  return written;
}

std::size_t CountCharacters(const std::string& text) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) ++characters;
  return characters;
}

std::string MaskNumber(const std::string& number) {
  const std::size_t characters = CountCharacters(number);
  const std::size_t hidden = characters > 4 ? characters - 4 : 0;
  std::string masked(std::min<std::size_t>(hidden, MaskedShown), '*');
  std::size_t i = 0;
  for (std::size_t index = 0; index < hidden; ++index) i += CharLength(number, i);
  return masked + number.substr(i);
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = CharLength(text, i);
    if (i + n > QuotedLimit) {
      out += "...(" + Decimal(text.size()) + " bytes)";
      break;
    }
    // A control byte is never a trail byte, so replacing it splits nothing.
    for (std::size_t k = i; k < i + n; ++k) {
      const auto c = static_cast<unsigned char>(text[k]);
      out += c < 0x20 || c == 0x7F ? '?' : text[k];
    }
    i += n;
  }
  return out + "\"";
}

std::string Hex(std::uintptr_t value) {
  std::string digits;
  for (; value != 0 || digits.size() < 8; value >>= 4) {
    digits.insert(digits.begin(), "0123456789ABCDEF"[value & 15]);
  }
  return "0x" + digits;
}

std::string Coordinates(std::int32_t x, std::int32_t y) {
  auto number = [](std::int32_t v) {
    return v < 0 ? "-" + Decimal(static_cast<std::uint64_t>(-static_cast<std::int64_t>(v)))
                 : Decimal(static_cast<std::uint64_t>(v));
  };
  return number(x) + "," + number(y);
}

std::string Point(TPoint point) { return "(" + Coordinates(point.X, point.Y) + ")"; }

std::string Thousandths(double value) {
  const auto scaled = static_cast<std::uint64_t>(value < 0 ? 0 : value * 1000 + 0.5);
  return Decimal(scaled / 1000) + "." + Digits(scaled % 1000, 3);
}

std::string DescribeWindow(TWindowSystem& ws, TWindow window) {
  if (window == 0) return "none";
  return Hex(window) + " class=" + Quoted(ws.GetClassNameA(window)) +
         " title=" + Quoted(ws.GetWindowTextA(window)) +
         " pid=" + Decimal(ws.GetWindowThreadProcessId(window));
}

std::string Unsent(TWindowSystem& ws, const TPreparedClick& click, TClickSent sent, TWindow approved,
                   TWindow landed) {
  if (sent == TClickSent::Blocked) return "input blocked";
  if (sent == TClickSent::Elsewhere) {
    return "not where it was approved: physical " + Point(click.Physical) + " lies in " +
           DescribeWindow(ws, landed) + ", not in " + DescribeWindow(ws, approved);
  }
  if (click.Monitor == 0) return "the point lies on no monitor";
  const TRect& s = click.Scaled;
  const TRect& r = click.Real;
  const auto size = [](const TRect& m) {
    return Decimal(static_cast<std::uint32_t>(m.Right - m.Left)) + "x" + Decimal(static_cast<std::uint32_t>(m.Bottom - m.Top));
  };
  const bool known = r.Right > r.Left && s.Right > s.Left;
  return "display scaling this Windows cannot map (no per-monitor-aware thread context, no display mode): monitor at " +
         Point({s.Left, s.Top}) + " is " + size(s) + " here, " +
         (known ? size(r) + " physical, scaled " +
                      Decimal(static_cast<std::uint32_t>((r.Right - r.Left) * 100 / (s.Right - s.Left))) + "%"
                : std::string("physical size unknown"));
}

}  // namespace pelmora
