// The teach's settings written into pelmora.ini: its own encoding and every other line kept,
// a copy of it made first.
#include "automation/settings_file.h"
#include "automation/teach.h"

namespace pelmora {

std::string WriteTaught(TCheckSystem& cs, const std::string& file, const TTaught& taught) {
  std::string bytes;
  const bool exists = cs.ReadWholeFile(file, bytes);
  if (exists && !cs.CopyFileA(file, file + ".bak")) return "バックアップ " + file + ".bak を作れません";
  for (const TSettingLine& line : TaughtSettings(taught)) {
    if (!SetSettingValue(bytes, line.Section, line.Key, line.Value)) {
      return std::string("ファイルの文字コード (") + EncodingName(DetectSettingsEncoding(bytes)) +
             ") で書けない値があります";
    }
  }
  if (!cs.WriteWholeFile(file, bytes)) return "ファイルに書き込めません (読み取り専用か、権限がありません)";
  return {};
}

}  // namespace pelmora
