#include "result_lines.h"

#include <iterator>
#include <string_view>

#include "cp932.h"
#include "text_convert.h"

namespace vek {
namespace {

constexpr std::u16string_view kAfterNumber = u")：";

// The decimal digits of `n`, at the end of `digits`.
template <typename Char>
std::basic_string_view<Char> Digits(std::uint64_t n, Char (&digits)[20]) {
  Char* const end = std::end(digits);
  Char* first = end;
  for (std::uint64_t value = n; value != 0; value /= 10)
    *--first = static_cast<Char>('0' + value % 10);
  return {first, static_cast<std::size_t>(end - first)};
}

// Calls `make` with the number and the bytes of each hit line, numbered on from the file's
// pieces before.
template <typename Make>
void ForEachHit(const FileResults& file, Make make) {
  std::size_t begin = 0;
  std::uint64_t n = file.hitsBefore;
  for (const std::size_t end : file.hitEnds) {
    make(++n, std::string_view(file.hitBytes).substr(begin, end - begin));
    begin = end;
  }
}

}  // namespace

void MakeResultLines(FileResults& file) {
  if (file.hitEnds.empty()) return;
  const std::u16string prefix = FileNameText(file.path) + u'(';
  file.lines.reserve(file.lines.size() + file.hitEnds.size());
  ForEachHit(file, [&](std::uint64_t n, std::string_view line) {
    char16_t digits[20];
    const std::u16string_view number = Digits(n, digits);
    std::u16string& result = file.lines.emplace_back();
    // A line decodes to at most as many code units as it has bytes.
    result.reserve(prefix.size() + number.size() + kAfterNumber.size() + line.size());
    result.append(prefix).append(number).append(kAfterNumber);
    AppendCp932(line, result);
  });
  std::string().swap(file.hitBytes);
  std::vector<std::size_t>().swap(file.hitEnds);
}

void AppendResultLinesUtf8(const FileResults& file, std::string& out) {
  if (file.hitEnds.empty()) return;
  const std::string prefix = Utf16ToUtf8(FileNameText(file.path) + u'(');
  const std::string afterNumber = Utf16ToUtf8(kAfterNumber);
  ForEachHit(file, [&](std::uint64_t n, std::string_view line) {
    char digits[20];
    out.append(prefix).append(Digits(n, digits)).append(afterNumber);
    AppendCp932AsUtf8(line, out);
    out.push_back('\n');
  });
}

}  // namespace vek
