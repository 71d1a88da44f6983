#include "automation/settings.h"

#include "automation/sjis.h"

namespace pelmora {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string FolderOf(const std::string& path) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < path.size(); i += CharLength(path, i)) {
    if (IsSeparator(path[i])) end = i + 1;
  }
  return path.substr(0, end);
}

std::string ResolvePath(const std::string& folder, const std::string& path) {
  const bool drive = path.size() >= 2 && path[1] == ':';
  if (path.empty() || drive || IsSeparator(path[0])) return path;
  return folder + path;
}

int ParsePatience(const std::string& text) {
  const std::string digits = Trim(text);
  if (digits.empty()) return 0;
  int value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > MaxPatience) return 0;  // before it could overflow
  }
  return value >= 1 && value <= MaxPatience ? value : 0;
}

TSettings ReadSettings(TWindowSystem& ws) {
  TSettings settings;
  const std::string folder = FolderOf(ws.GetModuleFileNameA());
  settings.File = folder + SettingsFileName;
  const std::string trace = Trim(ws.GetPrivateProfileStringA("trace", "file", settings.File));
  if (!trace.empty()) settings.TracePath = ResolvePath(folder, trace);
  const std::string patience = ws.GetPrivateProfileStringA("timing", "patience", settings.File);
  if (!Trim(patience).empty()) {
    if (const int value = ParsePatience(patience)) {
      settings.Patience = value;
    } else {
      settings.PatienceIgnored = patience;
    }
  }
  return settings;
}

}  // namespace pelmora
