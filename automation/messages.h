// Every text the program can show in its error box (code page 932 in the binary).
#pragma once

#include <string>
#include <vector>

namespace pelmora::msg {

// Job intake: "実行時引数(" + argument name + ")が不足のため実行できません。"
inline const char* const ArgumentPrefix = "実行時引数(";
inline const char* const ArgumentMissing = ")が不足のため実行できません。";
inline const char* const ArgumentInvalid = ")が不正のため実行できません。";
inline const char* const NameInstallPath = "弥生販売のインストール・フルパス";
inline const char* const NameScreenCode = "弥生販売の対象画面CD";
inline const char* const NamePhoneNumber = "電話番号";

// Start-up.
// Windows runs programs that are not Unicode in another code page than 932: every title
// would be misread. Checked before anything else; nothing is done.
inline const char* const NotJapanese =
    "Windowsの「Unicode対応ではないプログラムの言語」が日本語ではないため、弥生販売を操作できません。"
    "この設定を日本語(日本)にしてください。電話番号は入力していません。";
// The session stayed locked or disconnected past the wait: the number was not typed.
inline const char* const ScreenLocked =
    "画面がロックされていたため、弥生販売を操作できませんでした。電話番号は入力していません。";
inline const char* const PathInvalid = "外部接続画面で設定されている弥生販売のパスが無効です。";
inline const char* const StartFailed = "弥生販売を起動できませんでした。";
inline const char* const NotStarted = "弥生販売を正常に起動できませんでした。(";
inline const char* const MainHidden = "メインウィンドウの表示不可)";
inline const char* const NoMdiClient = "MDIClientの取得不可)";
inline const char* const NoMenu = "メニューの取得不可)";
// The target runs with higher rights than this program, so Windows drops our input.
inline const char* const HigherRights =
    "弥生販売が本プログラムより高い権限で実行されているため操作できません。"
    "弥生販売と本プログラムを同じ方法(管理者として実行するかどうか)で起動してください。";

// The target did not answer the restore in time: busy, hung or gone. Nothing was typed.
inline const char* const NotResponding =
    "弥生販売が応答しないため、電話番号を入力できませんでした。";

// Per screen: NotStarted + [lookup title +] one of these.
inline const char* const NoChild = "子ウィンドウの取得不可)";
inline const char* const ChildHidden = "子ウィンドウの表示不可)";
inline const char* const NoLookup = "画面の取得不可)";
inline const char* const LookupHidden = "画面の表示不可)";
inline const char* const NoSearchField = "画面-入力欄の取得不可)";

// Shown for an error that carries no text of its own.
inline const char* const UnknownError = "予期しないエラーが発生しました。";

inline std::string MissingArgument(const char* name) {
  return std::string(ArgumentPrefix) + name + ArgumentMissing;
}

// Every whole text the error box can show, UnknownError last; for the user guide's table.
// Defined beside the screen table, whose lookup titles it needs.
std::vector<std::string> AllMessages();

}  // namespace pelmora::msg
