#include "message_box.h"

#include "messages.h"
#include "wide_text.h"

namespace vek::ui {

std::uint8_t ShowMessage(HWND owner, std::uint8_t kind, std::u16string_view title,
                         std::u16string_view message, std::u16string_view detail) {
  const std::wstring text = ToWide(MessageText(message, detail));
  const std::wstring caption = ToWide(title);
  const int button = ::MessageBoxW(owner, text.c_str(), caption.c_str(), MessageStyle(kind));
  return static_cast<std::uint8_t>(button);
}

}  // namespace vek::ui
