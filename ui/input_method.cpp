#include "input_method.h"

#include <imm.h>

namespace vek::ui {
namespace {

class InputContext {
 public:
  explicit InputContext(HWND window) : window_(window), context_(::ImmGetContext(window)) {}
  ~InputContext() {
    if (context_ != nullptr) ::ImmReleaseContext(window_, context_);
  }
  InputContext(const InputContext&) = delete;
  InputContext& operator=(const InputContext&) = delete;
  HIMC get() const { return context_; }

 private:
  HWND window_;
  HIMC context_;
};

}  // namespace

void OpenHiraganaInput(HWND box) {
  const InputContext context(box);
  if (context.get() == nullptr) return;  // no input method installed
  ::ImmSetOpenStatus(context.get(), TRUE);
  DWORD conversion = 0;
  DWORD sentence = 0;
  ::ImmGetConversionStatus(context.get(), &conversion, &sentence);
  conversion = (conversion & ~(IME_CMODE_KATAKANA | IME_CMODE_LANGUAGE)) | IME_CMODE_NATIVE |
               IME_CMODE_FULLSHAPE;
  ::ImmSetConversionStatus(context.get(), conversion, sentence);
}

void CloseInput(HWND box) {
  const InputContext context(box);
  if (context.get() != nullptr) ::ImmSetOpenStatus(context.get(), FALSE);
}

}  // namespace vek::ui
