// The simulated desktop's files: the settings file read as Windows reads it, and the
// trace's file.
#include "tests/sim_desktop.h"

#include <algorithm>

#include "automation/settings_file.h"

namespace pelmora::sim {

std::string TSimDesktop::GetModuleFileNameA() {
  Log("GetModuleFileNameA");
  return ModuleFileName;
}

bool TSimDesktop::ReadFileBytes(const std::string& path, std::uint32_t limit, std::string& bytes) {
  Log("ReadFileBytes", 0, 0, 0, path);
  const auto saved = FileBytes.find(path);
  const auto profile = Profiles.find(path);
  if (saved != FileBytes.end()) {
    bytes = saved->second;
  } else if (profile != Profiles.end()) {
    bytes.clear();
    std::string section;
    for (const auto& [name, value] : profile->second) {
      const std::size_t slash = std::min(name.find('/'), name.size());
      if (bytes.empty() || name.compare(0, slash, section) != 0) bytes += "[" + (section = name.substr(0, slash)) + "]\r\n";
      bytes += name.substr(std::min(slash + 1, name.size())) + "=" + value + "\r\n";
    }
  } else {
    return false;
  }
  return bytes.size() <= limit;
}

namespace {

// Windows' profile reader on a file's bytes: the program's own, whose sameness with it the
// end-to-end run checks, taking all but UTF-16 LE as code page 932, a byte-order mark
// kept on the first line.
TSettingsFile AsWindowsReads(const std::string& bytes) {
  const bool wide = DetectSettingsEncoding(bytes) == TSettingsEncoding::Utf16Le;
  return TSettingsFile(bytes, wide ? TSettingsEncoding::Utf16Le : TSettingsEncoding::Ansi);
}

}  // namespace

// From a file's bytes when it has them, else from the values of Profiles.
std::string TSimDesktop::GetPrivateProfileStringA(const char* section, const char* key,
                                                  const std::string& fileName) {
  Log("GetPrivateProfileStringA", 0, 0, 0, fileName);
  bool lacking = false;
  if (FileBytes.count(fileName) != 0) return AsWindowsReads(FileBytes[fileName]).Value(section, key, lacking);
  auto file = Profiles.find(fileName);
  if (file == Profiles.end()) return {};
  auto value = file->second.find(std::string(section) + "/" + key);
  return value == file->second.end() ? std::string() : value->second;
}

std::vector<std::string> TSimDesktop::ReadSettingNames(const char* section,
                                                       const std::string& fileName) {
  Log("ReadSettingNames", 0, 0, 0, fileName);
  if (FileBytes.count(fileName) != 0) return AsWindowsReads(FileBytes[fileName]).Names(section);
  auto file = Profiles.find(fileName);
  if (file == Profiles.end()) return {};
  std::vector<std::string> names;  // of all sections, or of a section's keys
  for (const auto& [path, value] : file->second) {
    const std::string name = section ? path.substr(path.find('/') + 1) : path.substr(0, path.find('/'));
    if ((names.empty() || name != names.back()) &&
        (!section || path.compare(0, path.find('/'), section) == 0)) {
      names.push_back(name);
    }
  }
  return names;
}

THandle TSimDesktop::OpenForAppend(const std::string& path) {
  Log("OpenForAppend", 0, 0, 0, path);
  if (Unwritable.count(path)) return 0;
  WrittenFiles[path];  // created when missing
  handles_[++nextHandle_] = path;
  return nextHandle_;
}

bool TSimDesktop::WriteFile(THandle file, const std::string& bytes) {
  Log("WriteFile", 0, 0, 0, bytes);
  auto h = handles_.find(file);
  if (h == handles_.end()) return false;
  WrittenFiles[h->second] += bytes;
  return true;
}

bool TSimDesktop::GetFileSizeEx(THandle file, std::uint64_t& size) {
  Log("GetFileSizeEx");
  auto h = handles_.find(file);
  if (h == handles_.end()) return false;
  size = WrittenFiles[h->second].size();
  return true;
}

bool TSimDesktop::MoveFileExA(const std::string& from, const std::string& to) {
  Log("MoveFileExA", 0, 0, 0, from + ">" + to);
  auto f = WrittenFiles.find(from);
  if (f == WrittenFiles.end()) return false;
  WrittenFiles[to] = f->second;
  WrittenFiles.erase(from);
  return true;
}

}  // namespace pelmora::sim
