// The teach's settings written into pelmora.ini: its own encoding and every other line kept,
// a copy of it made first.
#include "automation/file_replace.h"
#include "automation/settings_file.h"
#include "automation/teach.h"

namespace pelmora {
namespace {

// "20261209-113005": the copies list in the order they were made.
std::string Stamp(const TSystemTime& t) {
  const auto two = [](int value) { return (value < 10 ? "0" : "") + Decimal(static_cast<std::uint64_t>(value)); };
  return Decimal(static_cast<std::uint64_t>(t.Year)) + two(t.Month) + two(t.Day) + "-" + two(t.Hour) +
         two(t.Minute) + two(t.Second);
}

}  // namespace

std::string WriteTaught(TCheckSystem& cs, const std::string& file, const TTaught& taught, const TSystemTime& now,
                        std::string& copy, std::string* whole) {
  copy.clear();
  std::string bytes;
  const TFileRead read = cs.ReadWholeFile(file, bytes);
  // Taken for no file, it would be replaced by the taught lines alone.
  if (read == TFileRead::Unreadable) {
    return "ファイルを読めません (ほかのプログラムが開いているか、権限がないか、大きすぎます)。何も変更していません";
  }
  for (const TSettingLine& line : TaughtSettings(taught)) {
    if (!SetSettingValue(bytes, line.Section, line.Key, line.Value)) {
      return std::string("ファイルの文字コード (") + EncodingName(DetectSettingsEncoding(bytes)) +
             ") で書けない値があります";
    }
  }
  if (whole != nullptr) *whole = bytes;
  // A copy made for a write then refused would be left behind, read-only as the file.
  if (!cs.MayWriteFile(file)) {
    return "このフォルダーかファイルに書き込む権限がありません (ファイルが読み取り専用か、管理者として実行していません)。"
           "何も変更していません";
  }
  // The first copy keeps the file as it was before any teach; each later teach keeps its own.
  std::string kept;
  const bool first = cs.ReadWholeFile(file + ".bak", kept) == TFileRead::Missing;
  if (read == TFileRead::Read && !cs.CopyFileA(file, copy = file + (first ? "" : "." + Stamp(now)) + ".bak", true)) {
    return "バックアップ " + copy + " を作れません。何も変更していません";
  }
  switch (ReplaceWholeFile(cs, file, bytes)) {
    case TReplaced::New: return {};
    case TReplaced::Old:
      return "ファイルに書き込めません (読み取り専用か、権限がないか、ほかのプログラムが使っています)。" + file + " はもとのままです";
    case TReplaced::Neither: break;
  }
  return file + " を置き換えられませんでした。もとの内容は " + file + ".old に、新しい内容は " + file + ".new にあります";
}

}  // namespace pelmora
