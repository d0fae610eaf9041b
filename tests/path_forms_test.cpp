// Windows paths as typed and as the walk makes them: what the system is given and what the user
// sees, at any length.
#include <gtest/gtest.h>

#include <tuple>

#include "extended_path.h"

namespace vek {
namespace {

// A component far longer than usual (names hold up to 255), so that two pass the plain limit.
const std::wstring kLong(200, L'長');

TEST(PathForms, PlainWhereItWorksExtendedPastTheLimitShownAsTyped) {
  const std::wstring L = kLong, LL = L + L"\\" + L;  // two long names
  // Folder typed, current folder, the path of a.vek in it as the walk shows it, as it is opened.
  const std::tuple<std::wstring, std::wstring, std::wstring, std::wstring> cases[] = {
      {L"C:\\data", L"C:\\prog", L"C:\\data\\a.vek", L"C:\\data\\a.vek"},
      {L"C:/data/", L"C:\\prog", L"C:/data/a.vek", L"C:/data/a.vek"},
      {L"\\\\server\\share\\folder", L"C:\\prog", L"\\\\server\\share\\folder\\a.vek",
       L"\\\\server\\share\\folder\\a.vek"},
      {L".", L"C:\\prog", L".\\a.vek", L".\\a.vek"},
      {L"..\\data", L"C:\\prog", L"..\\data\\a.vek", L"..\\data\\a.vek"},
      {L"C:", L"C:\\prog", L"C:a.vek", L"C:a.vek"},
      {L"C:\\" + LL, L"C:\\prog", L"C:\\" + LL + L"\\a.vek", L"\\\\?\\C:\\" + LL + L"\\a.vek"},
      {L"c:/" + L + L"/./x/../" + L + L"//", L"C:\\prog", L"c:/" + L + L"/./x/../" + L + L"//a.vek",
       L"\\\\?\\c:\\" + LL + L"\\a.vek"},
      {L"C:\\..\\..\\" + LL, L"C:\\prog", L"C:\\..\\..\\" + LL + L"\\a.vek",
       L"\\\\?\\C:\\" + LL + L"\\a.vek"},
      {L"\\\\server\\share\\" + LL, L"C:\\prog", L"\\\\server\\share\\" + LL + L"\\a.vek",
       L"\\\\?\\UNC\\server\\share\\" + LL + L"\\a.vek"},
      {L"//server/share/" + L + L"/" + L, L"C:\\prog",
       L"//server/share/" + L + L"/" + L + L"\\a.vek",
       L"\\\\?\\UNC\\server\\share\\" + LL + L"\\a.vek"},
      // Relative to the current folder, which alone is past the limit.
      {L"..\\" + L, L"C:\\prog\\" + LL, L"..\\" + L + L"\\a.vek",
       L"\\\\?\\C:\\prog\\" + LL + L"\\a.vek"},
      {L".", L"\\\\server\\share\\" + LL, L".\\a.vek",
       L"\\\\?\\UNC\\server\\share\\" + LL + L"\\a.vek"},
      {L"\\" + LL, L"D:\\x", L"\\" + LL + L"\\a.vek", L"\\\\?\\D:\\" + LL + L"\\a.vek"},
      {L"C:" + LL, L"C:\\x", L"C:" + LL + L"\\a.vek", L"\\\\?\\C:\\x\\" + LL + L"\\a.vek"},
      {L"E:" + LL, L"C:\\x", L"E:" + LL + L"\\a.vek", L"\\\\?\\E:\\" + LL + L"\\a.vek"},
      // At the limit: 259 characters are plain, 260 are not, even where "." makes them fewer.
      {L"C:\\" + std::wstring(250, L'x'), L"C:\\prog",
       L"C:\\" + std::wstring(250, L'x') + L"\\a.vek",
       L"C:\\" + std::wstring(250, L'x') + L"\\a.vek"},
      {L"C:\\.\\" + std::wstring(249, L'x'), L"C:\\prog",
       L"C:\\.\\" + std::wstring(249, L'x') + L"\\a.vek",
       L"\\\\?\\C:\\" + std::wstring(249, L'x') + L"\\a.vek"},
      // Names kept as listed, trailing dots and spaces too; a path in extended form as it is.
      {L"C:\\" + LL + L"\\name. ", L"C:\\prog", L"C:\\" + LL + L"\\name. \\a.vek",
       L"\\\\?\\C:\\" + LL + L"\\name. \\a.vek"},
      {L"\\\\?\\C:\\" + L + L"\\..\\" + L, L"C:\\prog",
       L"\\\\?\\C:\\" + L + L"\\..\\" + L + L"\\a.vek",
       L"\\\\?\\C:\\" + L + L"\\..\\" + L + L"\\a.vek"},
  };
  for (const auto& [typed, current, shown, opened] : cases) {
    const std::wstring file = ChildPath(typed, L"a.vek");
    EXPECT_EQ(file, shown);
    EXPECT_EQ(SystemPath(file, current), opened) << file.size();
  }
  // For the shell: full and plain, at any length.
  EXPECT_EQ(FullPath(L"./x/../y", L"\\\\server\\share\\" + L), L"\\\\server\\share\\" + L + L"\\y");
  EXPECT_EQ(FullPath(L"C:", L"D:\\x"), L"C:\\");
  EXPECT_EQ(FullPath(L"\\\\?\\C:\\x", L""), L"C:\\x");
  // The drive's root keeps its separator: "\\?\C:" alone is the volume.
  EXPECT_EQ(SystemPath(L"C:\\" + L + L"\\..\\" + L + L"\\..\\..", L""), L"\\\\?\\C:\\");
  // What the system gives back (the program's folder, a chosen folder) is shown without it.
  const std::pair<std::wstring, std::wstring> given[] = {
      {L"\\\\?\\C:\\" + L, L"C:\\" + L},
      {L"\\\\?\\UNC\\server\\share\\x", L"\\\\server\\share\\x"},
      {L"C:\\x", L"C:\\x"},
      {L"\\\\?\\Volume{1}\\x", L"\\\\?\\Volume{1}\\x"},
  };
  for (const auto& [path, seen] : given) EXPECT_EQ(ShownPath(path), seen);
}

}  // namespace
}  // namespace vek
