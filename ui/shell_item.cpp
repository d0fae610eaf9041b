#include "shell_item.h"

#include <shlobj.h>

#include "extended_path.h"

namespace vek::ui {
namespace {

std::wstring CurrentFolder() {
  std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  return folder;
}

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
};

}  // namespace

CoTaskMemPtr<ITEMIDLIST> ItemOfPath(const std::wstring& path) {
  const std::wstring full = FullPath(path, CurrentFolder());
  // As much as the shell parses at once (up to a separator), then a name at a time below it.
  std::size_t parsed = full.size();
  if (parsed >= MAX_PATH) parsed = full.rfind(L'\\', MAX_PATH - 1);
  if (parsed == std::wstring::npos) return {};
  PIDLIST_ABSOLUTE start = nullptr;
  if (FAILED(::SHParseDisplayName(full.substr(0, parsed).c_str(), nullptr, &start, 0, nullptr)))
    return {};
  CoTaskMemPtr<ITEMIDLIST> item(start);
  while (parsed < full.size()) {
    const std::size_t next = std::min(full.find(L'\\', parsed + 1), full.size());
    std::wstring name = full.substr(parsed + 1, next - parsed - 1);
    parsed = next;
    if (name.empty()) continue;
    ComPtr<IShellFolder> folder;
    PIDLIST_RELATIVE child = nullptr;
    if (FAILED(::SHBindToObject(nullptr, item.get(), nullptr, IID_IShellFolder,
                                reinterpret_cast<void**>(&folder.p))) ||
        FAILED(folder.p->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &child, nullptr)))
      return {};
    const CoTaskMemPtr<ITEMIDLIST> relative(child);
    item.reset(::ILCombine(item.get(), relative.get()));
    if (!item) return {};
  }
  return item;
}

std::wstring PathOfItem(PCIDLIST_ABSOLUTE item) {
  ComPtr<IShellItem> shellItem;
  wchar_t* path = nullptr;
  if (FAILED(
          ::SHCreateItemFromIDList(item, IID_IShellItem, reinterpret_cast<void**>(&shellItem.p))) ||
      FAILED(shellItem.p->GetDisplayName(SIGDN_FILESYSPATH, &path)))
    return {};
  const CoTaskMemPtr<wchar_t> owned(path);
  return ShownPath(path);
}

}  // namespace vek::ui
