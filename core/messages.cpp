#include "messages.h"

#include <algorithm>
#include <string>

namespace vek {
namespace {

constexpr std::u16string_view kProblemHeading =
    u"次のフォルダまたはファイルを読み込めませんでした。";

std::u16string Decimal(std::size_t n) {
  const std::string digits = std::to_string(n);
  return {digits.begin(), digits.end()};
}

}  // namespace

std::uint32_t MessageStyle(std::uint8_t kind) {
  switch (kind) {
    case kKindCritical:
      return 16;  // stop icon, OK
    case kKindQuestion:
      return 52;  // exclamation icon, Yes and No
    case kKindExclamation:
      return 48;  // exclamation icon, OK
    case kKindInformation:
      return 64;  // information icon, OK
    default:
      return 0;
  }
}

std::u16string MessageText(std::u16string_view message, std::u16string_view detail) {
  std::u16string text(message);
  if (!detail.empty()) {
    text += u"\r\n";
    text += detail;
  }
  return text;
}

std::u16string ProblemReportText(const std::vector<ProblemLine>& problems, std::size_t maxPaths) {
  if (problems.empty()) return {};
  std::u16string text(kProblemHeading);
  const std::size_t shown = std::min(problems.size(), maxPaths);
  for (std::size_t i = 0; i < shown; ++i) {
    text += u"\r\n";
    text += problems[i].path;
    text += u": ";
    text += problems[i].reason;
  }
  if (shown < problems.size()) {
    text += u"\r\nほか ";
    text += Decimal(problems.size() - shown);
    text += u" 件";
  }
  return text;
}

}  // namespace vek
