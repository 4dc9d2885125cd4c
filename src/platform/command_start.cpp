// Starting another program by its full path.
#include "platform/command_start.h"

#include <windows.h>

#include <vector>

namespace tarnwick::platform {

bool StartCommand(const std::wstring& application, const std::wstring& command_line) {
  if (application.empty()) return false;
  // CreateProcessW may write into the command line, so it gets a private copy.
  std::vector<wchar_t> writable(command_line.begin(), command_line.end());
  writable.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

std::wstring WindowsFolderProgram(const std::wstring& file_name) {
  // The system's Windows folder: on a Remote Desktop server GetWindowsDirectoryW can give a
  // private folder of the user's instead.
  const UINT size = GetSystemWindowsDirectoryW(nullptr, 0);
  if (size == 0) return {};
  std::wstring folder(size, L'\0');
  const UINT length = GetSystemWindowsDirectoryW(folder.data(), size);
  if (length == 0 || length >= size) return {};
  folder.resize(length);
  if (folder.back() != L'\\') folder += L'\\';
  return folder + file_name;
}

}  // namespace tarnwick::platform
