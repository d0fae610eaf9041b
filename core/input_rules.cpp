#include "input_rules.h"

#include "cp932.h"
#include "messages.h"
#include "search_core.h"
#include "text_convert.h"

namespace vek {
namespace {

// One or two characters that all take one byte each. An empty word (two spaces in a row, or
// a space at either end) is never too short; one double-byte character is enough.
bool IsTooShort(std::u16string_view word) {
  return !word.empty() && word.size() <= 2 && Cp932ByteLength(word) == word.size();
}

}  // namespace

InputVerdict CheckInput(std::u16string_view keywordText, std::u16string_view folderText,
                        FileSystem& fileSystem) {
  // The keyword text is taken exactly as typed: spaces alone are a valid search.
  if (keywordText.empty()) return {false, kMsgKeywordEmpty, InputField::KeyWord};

  const KeywordList words = SplitKeywords(keywordText);
  for (const std::u16string& word : words) {
    if (IsTooShort(word)) {
      return {false, words.size() == 1 ? kMsgTooShortOne : kMsgTooShortMany, InputField::KeyWord};
    }
  }

  if (folderText.empty()) return {false, kMsgPathEmpty, InputField::FilePath};
  if (!FolderExists(folderText, fileSystem)) {
    return {false, kMsgPathWrong, InputField::FilePath};
  }
  return {};
}

bool FolderExists(std::u16string_view path, FileSystem& fileSystem) {
  return !path.empty() && fileSystem.IsFolder(PathFromText(path));
}

}  // namespace vek
