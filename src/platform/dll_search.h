// Loading DLLs from the system folder only. A program started from a folder of the
// user's (Downloads, a USB stick) must not load a DLL that someone put beside it, so the
// programs import statically only DLLs that Windows always takes from the system folder
// and load every other one at run time through these functions.
#pragma once

#include <windows.h>

#include <string>

namespace tarnwick::platform {

// An exported function as its real type (through a plain function pointer, which any
// function pointer type may be cast to and from).
template <typename Function>
Function ExportAs(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// Makes the system folder the only place LoadLibrary looks in from now on. Called first
// thing by each program; a system without the call (Windows 7 before its update of 2011)
// keeps its search order, and LoadSystemLibrary still holds there.
inline void RestrictDllSearchToSystem() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  const auto set_directories =
      ExportAs<SetDirectories>(GetProcAddress(kernel, "SetDefaultDllDirectories"));
  if (set_directories != nullptr) set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Loads a DLL of the system folder by its file name ("msimg32.dll"); null when it is
// missing there. Never looks beside the program, in the current folder or along PATH.
inline HMODULE LoadSystemLibrary(const wchar_t* file_name) {
  HMODULE module = LoadLibraryExW(file_name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // Without the search flags (Windows 7 before its update): by the full path instead.
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + file_name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The function `name` of the system folder's DLL `file_name`, as its real type; the DLL
// stays loaded for the rest of the process. Null when the DLL or the function is missing.
// Meant to be called once per function, its result kept.
template <typename Function>
Function SystemLibraryFunction(const wchar_t* file_name, const char* name) {
  const HMODULE module = LoadSystemLibrary(file_name);
  return module != nullptr ? ExportAs<Function>(GetProcAddress(module, name)) : nullptr;
}

}  // namespace tarnwick::platform
