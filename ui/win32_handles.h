// Owners for the Win32 handles the window keeps, so that every path out of a procedure
// releases them.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <memory>
#include <type_traits>

namespace vek::ui {

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct FontDeleter {
  void operator()(HFONT font) const noexcept { ::DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

struct ModuleFreer {
  void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

struct CoTaskMemFreer {
  void operator()(void* memory) const noexcept { ::CoTaskMemFree(memory); }
};
template <typename T>
using CoTaskMemPtr = std::unique_ptr<T, CoTaskMemFreer>;

// Balances one CoInitializeEx for the calling thread (the folder browser needs COM).
class ComApartment {
 public:
  ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT result_;
};

}  // namespace vek::ui
