#include "dialogs/folder_browser.h"

#include <memory>

namespace tarnwick::modCommon {

std::wstring BrowseForFolder(const HWND& hwndOwner, const std::wstring& sPrompt,
                             const ShellFolderApi& api) {
  BROWSEINFOW info{};
  info.hwndOwner = hwndOwner;
  info.pidlRoot = nullptr;  // the desktop
  info.pszDisplayName = nullptr;
  info.lpszTitle = sPrompt.c_str();  // valid until the picker has closed
  info.ulFlags = BIF_RETURNONLYFSDIRS;

  PIDLIST_ABSOLUTE item = api.browse(&info);
  if (!item) return L"";  // cancelled
  // Frees the item list on every way out, exceptions included.
  auto free_item = [&api](PIDLIST_ABSOLUTE p) { api.free_item(p); };
  std::unique_ptr<ITEMIDLIST_ABSOLUTE, decltype(free_item)> owned(item, free_item);

  wchar_t path[MAX_PATH + 1] = {};
  api.get_path(item, path);
  path[MAX_PATH] = L'\0';
  return std::wstring(path);  // the text before the first NUL
}

}  // namespace tarnwick::modCommon
