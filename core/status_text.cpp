#include "status_text.h"

#include <algorithm>

#include "count_format.h"

namespace vek {

std::u16string WalkStatusText(std::int32_t filesFound, std::u16string_view separator) {
  return u"ファイル収集中：" + FormatCount(filesFound, separator) + u"件";
}

std::u16string MatchStatusText(std::int32_t filesSearched, std::int32_t filesFound,
                               std::int64_t hits, std::u16string_view separator) {
  return u"検索中：" + FormatCount(filesSearched, separator) + u"／" +
         FormatCount(filesFound, separator) + u"ファイル　ヒット" + FormatCount(hits, separator) +
         u"件";
}

std::u16string FillStatusText(std::int32_t linesShown, std::int32_t lines,
                              std::u16string_view separator) {
  return u"表示中：" + FormatCount(linesShown, separator) + u"／" + FormatCount(lines, separator) +
         u"件";
}

std::u16string ShownLinesText(DisplayCut cut, std::int64_t shown, std::int64_t lines,
                              std::u16string_view separator) {
  if (cut == DisplayCut::None) return {};
  return std::u16string(cut == DisplayCut::Cancelled ? u"表示を中止：" : u"表示の上限：") +
         FormatCount(lines, separator) + u"件中" + FormatCount(shown, separator) + u"件を表示";
}

std::u16string SummaryStatusText(std::int32_t filesSearched, std::int64_t milliseconds,
                                 bool walkCancelled, std::u16string_view separator) {
  const std::int64_t tenths = (milliseconds + 50) / 100;
  const std::u16string time = FormatCount(tenths / 10, separator) + u'.' +
                              static_cast<char16_t>(u'0' + tenths % 10) + u"秒";
  const std::u16string files = FormatCount(filesSearched, separator) + u"ファイル";
  if (walkCancelled) return u"収集を中止：見つけた" + files + u"のみ検索　" + time;
  return u"検索完了：" + files + u"　" + time;
}

std::u16string LineSourceText(std::u16string_view path, std::optional<std::uint64_t> line,
                              std::u16string_view separator) {
  std::u16string text(path);
  if (line) text += u"　" + FormatCount(static_cast<std::int64_t>(*line), separator) + u"行目";
  return text;
}

std::u16string FullWidthSpaceHint(const std::vector<std::u16string>& keywords, std::int64_t hits) {
  const bool fullWidthSpace = std::ranges::any_of(keywords, [](const std::u16string& keyword) {
    return keyword.find(u'\u3000') != std::u16string::npos;
  });
  if (hits != 0 || !fullWidthSpace) return {};
  return u"キーワードの区切りは半角スペースです（全角スペースは区切りになりません）";
}

}  // namespace vek
