#include "system_error_text.h"

#include <windows.h>

#include "file_system.h"
#include "text_convert.h"
#include "wide_text.h"

namespace vek::ui {
namespace {

// The C runtime under std::filesystem and the file streams reports errno values; the system
// words its messages by Win32 error code.
DWORD Win32Code(const std::error_code& error) {
  if (error.category() == std::system_category()) return static_cast<DWORD>(error.value());
  const std::error_condition condition = error.default_error_condition();
  if (condition.category() != std::generic_category()) return 0;
  switch (static_cast<std::errc>(condition.value())) {
    case std::errc::permission_denied:
    case std::errc::operation_not_permitted:
      return ERROR_ACCESS_DENIED;
    case std::errc::no_such_file_or_directory:
      return ERROR_FILE_NOT_FOUND;
    case std::errc::not_a_directory:
      return ERROR_DIRECTORY;
    case std::errc::io_error:
      return ERROR_READ_FAULT;
    case std::errc::device_or_resource_busy:
      return ERROR_SHARING_VIOLATION;
    case std::errc::filename_too_long:
      return ERROR_FILENAME_EXCED_RANGE;
    case std::errc::not_enough_memory:
      return ERROR_NOT_ENOUGH_MEMORY;
    case std::errc::too_many_files_open:
      return ERROR_TOO_MANY_OPEN_FILES;
    case std::errc::invalid_argument:
      return ERROR_INVALID_PARAMETER;
    default:
      return 0;
  }
}

std::wstring FormatSystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (buffer != nullptr) {
    text.assign(buffer, length);
    ::LocalFree(buffer);
  }
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  return text;
}

// The runtime's own (narrow, ANSI code page) message, for errors the system has no word for.
std::wstring RuntimeMessage(const std::error_code& error) {
  const std::string narrow = error.message();
  if (narrow.empty()) return {};
  const int length =
      ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), text.data(),
                        length);
  return text;
}

}  // namespace

std::u16string SystemErrorText(const std::error_code& error) {
  // The search's own reasons are worded in UTF-8, as the system has no words for them.
  if (error.category() == FileErrorCategory()) return Utf8ToUtf16(error.message());
  std::wstring text;
  if (const DWORD code = Win32Code(error); code != 0) text = FormatSystemMessage(code);
  if (text.empty()) text = RuntimeMessage(error);
  return ToU16(text);
}

}  // namespace vek::ui
