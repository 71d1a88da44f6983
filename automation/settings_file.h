// The settings file's bytes in any encoding Notepad saves: told from the bytes, read as
// Windows' profile functions read an ANSI file of the same text, and rewritten key by key
// in the file's own encoding.
#pragma once

#include <string>
#include <vector>

namespace pelmora {

enum class TSettingsEncoding { Ansi, Utf8, Utf8Bom, Utf16Le, Utf16Be };

// A byte-order mark; else UTF-8 when the bytes are valid UTF-8 holding any non-ASCII
// character; else ANSI (code page 932).
TSettingsEncoding DetectSettingsEncoding(const std::string& bytes);
const char* EncodingName(TSettingsEncoding encoding);  // as the trace shows it

// Sets `key` in `[section]` to `value` (code page 932) within a settings file's bytes, in the
// file's own encoding; every other line kept byte for byte; the key, and the section, added
// when missing. False (bytes untouched) when the value cannot be written in that encoding.
bool SetSettingValue(std::string& bytes, const std::string& section, const std::string& key,
                     const std::string& value);

// A settings file read whole, its names and values in code page 932. Looked up as
// GetPrivateProfileStringA looks them up: names letter case aside, the first section and
// the first key of a name, a value's blanks and surrounding quotes taken off.
class TSettingsFile {
 public:
  explicit TSettingsFile(const std::string& bytes) : TSettingsFile(bytes, DetectSettingsEncoding(bytes)) {}
  // The bytes taken as the encoding, whatever they hold.
  TSettingsFile(const std::string& bytes, TSettingsEncoding encoding);

  TSettingsEncoding Encoding() const { return encoding_; }
  // The key's value; empty when the section or the key is missing, and when the value holds
  // a character code page 932 lacks, which sets `lacking`.
  std::string Value(const std::string& section, const std::string& key, bool& lacking) const;
  // The section names (null section), or one section's key names, in the file's order; a
  // section without a name, and a line without '=', is not listed.
  std::vector<std::string> Names(const char* section) const;
  // The names of sections given again after their first, once each: none of their keys is read.
  std::vector<std::string> Repeated() const;

 private:
  struct TEntry {
    std::string Key, Value;
    bool Lacking = false;
  };
  struct TSection {
    std::string Name;
    bool Named = true;  // false: its name has a character code page 932 lacks
    std::vector<TEntry> Entries;
  };
  const TSection* Find(const std::string& section) const;

  TSettingsEncoding encoding_;
  std::vector<TSection> sections_;
};

}  // namespace pelmora
