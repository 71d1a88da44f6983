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
// The same with Windows' UTF-8 option ticked: the code page is 65001 on a Japanese PC, and
// the option, not the language, is what to change.
inline const char* const Utf8Ticked =
    "Windowsの「ベータ: ワールドワイド言語サポートで Unicode UTF-8 を使用」がオンになっているため、"
    "弥生販売を操作できません。このチェックを外してください。電話番号は入力していません。";
// pelmora-check's, which touches nothing either.
inline const char* const CheckNotJapanese =
    "Windowsの「Unicode対応ではないプログラムの言語」が日本語ではないため、確認できません。"
    "この設定を日本語(日本)にしてください。弥生販売には何もしていません。";
inline const char* const CheckUtf8Ticked =
    "Windowsの「ベータ: ワールドワイド言語サポートで Unicode UTF-8 を使用」がオンになっているため、"
    "確認できません。このチェックを外してください。弥生販売には何もしていません。";
// Why a program cannot work on this code page, `check` for pelmora-check; null on 932.
inline const char* CodePageRefusal(unsigned codePage, bool check) {
  constexpr unsigned Japanese = 932;
  constexpr unsigned Utf8 = 65001;
  if (codePage == Japanese) return nullptr;
  if (codePage == Utf8) return check ? CheckUtf8Ticked : Utf8Ticked;
  return check ? CheckNotJapanese : NotJapanese;
}
// The job lock could be neither created nor opened to wait for it: a job running meanwhile
// cannot be told apart, and the two would interleave their input. Nothing was done.
inline const char* const OtherJob =
    "ほかのプログラムの処理と重ならないことを確かめられなかったため、弥生販売を操作できませんでした。"
    "管理者として実行しているPelmoraやpelmora-checkがあれば終了してから、もう一度実行してください。"
    "電話番号は入力していません。";
// pelmora-check run as administrator does not start the target: started so, it would stay
// elevated and refuse every normal job (HigherRights).
inline const char* const StartNormallyFirst =
    "pelmora-checkが管理者として実行されているため、弥生販売を起動しませんでした。"
    "管理者として起動した弥生販売は、通常のPelmoraから操作できなくなります。"
    "弥生販売を通常どおり(管理者としてではなく)起動してから、もう一度実行してください。";
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
