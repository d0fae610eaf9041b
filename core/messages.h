// Every text the program shows outside its window, and the message-box kinds, in one place
// for both front ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vek {

inline constexpr std::u16string_view kInputErrorTitle = u"入力項目Check Error";
inline constexpr std::u16string_view kMsgKeywordEmpty = u"検索文字列が未入力です。";
inline constexpr std::u16string_view kMsgTooShortOne =
    u"検索文字列は半角のみの場合、３文字以上で入力して下さい。";
inline constexpr std::u16string_view kMsgTooShortMany =
    u"検索文字列の各要素は半角のみの場合、３文字以上で入力して下さい。";
inline constexpr std::u16string_view kMsgPathEmpty = u"Pathが未入力です。";
inline constexpr std::u16string_view kMsgPathWrong = u"Pathが誤っています。";

inline constexpr std::u16string_view kStartupErrorTitle = u"起動Error";
inline constexpr std::u16string_view kMsgMultipleStart = u"多重起動不可";

inline constexpr std::u16string_view kSearchWarningTitle = u"検索Warning";
// Why a data file of a synced folder that is only in the cloud was not searched.
inline constexpr std::u16string_view kMsgNotOnThisComputer =
    u"このコンピューター上にありません（クラウド上のファイル）";

inline constexpr std::u16string_view kCopyErrorTitle = u"コピーError";
inline constexpr std::u16string_view kMsgCopyTooLarge =
    u"選択範囲が大きすぎるため、コピーできません。範囲を狭めて下さい。";

inline constexpr std::u16string_view kBrowseTitle =
    u"VEKファイルを検索するフォルダを選択して下さい。";

// Message kinds: 1 critical/OK, 2 exclamation/Yes-No, 3 exclamation/OK, 4 information/OK.
inline constexpr std::uint8_t kKindCritical = 1;
inline constexpr std::uint8_t kKindQuestion = 2;
inline constexpr std::uint8_t kKindExclamation = 3;
inline constexpr std::uint8_t kKindInformation = 4;

// The message-box style value of a kind (icon plus buttons); 0 for an unknown kind.
std::uint32_t MessageStyle(std::uint8_t kind);

// The shown text: the message alone, or message, CR LF, detail.
std::u16string MessageText(std::u16string_view message, std::u16string_view detail = {});

// One unreadable folder or file, as the front end words it.
struct ProblemLine {
  std::u16string path;
  std::u16string reason;
};

// The warning shown after a search that skipped unreadable folders or files: at most
// `maxPaths` of them, then how many more.
std::u16string ProblemReportText(const std::vector<ProblemLine>& problems,
                                 std::size_t maxPaths = 10);

}  // namespace vek
