// modCommon: the system's folder picker.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace tarnwick::modCommon {

// The shell calls the picker makes; tests may replace them.
struct ShellFolderApi {
  PIDLIST_ABSOLUTE(WINAPI* browse)(LPBROWSEINFOW info) = &SHBrowseForFolderW;
  BOOL(WINAPI* get_path)(PCIDLIST_ABSOLUTE item, LPWSTR path) = &SHGetPathFromIDListW;
  void(WINAPI* free_item)(LPVOID memory) = &CoTaskMemFree;
};

// Shows the folder picker owned by `hwndOwner` with the prompt `sPrompt`, browsing from the
// desktop, file-system folders only. Returns the chosen folder's path as the system gives
// it, or an empty text when the user cancels or the item has no file-system path. The
// item list is freed on every path that obtained one.
std::wstring BrowseForFolder(const HWND& hwndOwner, const std::wstring& sPrompt,
                             const ShellFolderApi& api = {});

}  // namespace tarnwick::modCommon
