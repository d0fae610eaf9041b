#include "input_rules.h"

#include <gtest/gtest.h>

#include <set>

#include "messages.h"
#include "test_support.h"
#include "text_convert.h"

namespace vek {
namespace {

// Knows one folder; counts how often it is asked.
class OneFolder final : public FileSystem {
 public:
  std::error_code ListFolder(const std::filesystem::path&, FolderListing&) override {
    return std::make_error_code(std::errc::not_supported);
  }
  std::error_code Open(const std::filesystem::path&, std::unique_ptr<FileReader>&) override {
    return std::make_error_code(std::errc::not_supported);
  }
  std::optional<FolderIdentity> Identity(const std::filesystem::path&) override { return {}; }
  bool IsFolder(const std::filesystem::path& path) override {
    ++asked;
    return path == std::filesystem::path("/data");
  }
  int asked = 0;
};

struct Case {
  std::u16string_view keywords;
  std::u16string_view folder;
  std::u16string_view message;  // empty: accepted
};

TEST(CheckInput, RefusesWithTheFirstFailingChecksMessageAndFocus) {
  const Case cases[] = {
      // Keyword text empty wins over everything after it.
      {u"", u"", kMsgKeywordEmpty},
      {u"", u"/data", kMsgKeywordEmpty},
      // Half-width only and one or two characters; half-width katakana count as half-width,
      // and so does a character outside CP932 (it would be written as one "?").
      {u"ab", u"", kMsgTooShortOne},
      {u"a", u"/data", kMsgTooShortOne},
      {u"ｶﾀ", u"/data", kMsgTooShortOne},
      {u"é", u"/data", kMsgTooShortOne},
      // Several words: the split gives more than one piece, empty ones included.
      {u"abc ab", u"/data", kMsgTooShortMany},
      {u"ab ", u"/data", kMsgTooShortMany},
      {u" ab", u"/data", kMsgTooShortMany},
      {u"abc", u"", kMsgPathEmpty},
      {u"abc", u"/missing", kMsgPathWrong},
      // Accepted: three half-width characters, a double-byte character, empty words, spaces
      // only (never trimmed), and a surrogate pair (two code units, one "?").
      {u"abc", u"/data", {}},
      {u"日", u"/data", {}},
      {u"a日", u"/data", {}},
      {u"abc  def", u"/data", {}},
      {u"   ", u"/data", {}},
      {u"😀", u"/data", {}},
  };
  const std::set<std::u16string_view> keywordMessages = {kMsgKeywordEmpty, kMsgTooShortOne,
                                                         kMsgTooShortMany};
  for (const Case& c : cases) {
    OneFolder fs;
    const InputVerdict verdict = CheckInput(c.keywords, c.folder, fs);
    SCOPED_TRACE(std::string(c.keywords.begin(), c.keywords.end()));
    EXPECT_EQ(verdict.accepted, c.message.empty());
    EXPECT_EQ(verdict.message, c.message);
    const InputField focus = c.message.empty()                  ? InputField::None
                             : keywordMessages.count(c.message) ? InputField::KeyWord
                                                                : InputField::FilePath;
    EXPECT_EQ(verdict.focus, focus);
    // The folder is only looked at once the keywords and the folder text have passed.
    EXPECT_EQ(fs.asked, c.message.empty() || c.message == kMsgPathWrong ? 1 : 0);
  }
}

TEST(FolderExists, TrueOnlyForAnExistingFolder) {
  test::TempTree tree;
  tree.Folder("sub");
  const std::filesystem::path file = tree.Write("file.vek", u"x");
  StdFileSystem fs;
  EXPECT_TRUE(FolderExists(PathText(tree / "sub"), fs));
  EXPECT_FALSE(FolderExists(PathText(file), fs));
  EXPECT_FALSE(FolderExists(PathText(tree / "missing"), fs));
  EXPECT_FALSE(FolderExists(u"", fs));
  EXPECT_EQ(CheckInput(u"abc", PathText(file), fs).message, kMsgPathWrong);
}

}  // namespace
}  // namespace vek
