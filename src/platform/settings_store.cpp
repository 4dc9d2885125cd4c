#include "platform/settings_store.h"

#include <windows.h>

#include <vector>

namespace tarnwick::platform {

namespace {

// Registry path of a section under HKEY_CURRENT_USER.
std::wstring SectionPath(const std::wstring& application, const std::wstring& section) {
  return L"Software\\" + application + L"\\" + section;
}

}  // namespace

StoredSetting ReadStoredSetting(const std::wstring& application, const std::wstring& section,
                                const std::wstring& key) {
  StoredSetting result;
  const std::wstring path = SectionPath(application, section);
  DWORD size = 0;
  const LSTATUS probe = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), key.c_str(), RRF_RT_REG_SZ,
                                     nullptr, nullptr, &size);
  if (probe != ERROR_SUCCESS) {
    // A missing section key or value; anything else (wrong type, access) is unreadable.
    result.missing = probe == ERROR_FILE_NOT_FOUND || probe == ERROR_PATH_NOT_FOUND;
    return result;
  }
  // The value may grow between the two calls; retry with the size the store reports.
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), key.c_str(), RRF_RT_REG_SZ,
                                        nullptr, buffer.data(), &size);
    if (status == ERROR_SUCCESS) {
      result.text = std::wstring(buffer.data());
      return result;
    }
    if (status != ERROR_MORE_DATA) {
      result.missing = status == ERROR_FILE_NOT_FOUND;  // removed in between
      return result;
    }
  }
  return result;
}

std::optional<std::wstring> ReadSetting(const std::wstring& application,
                                        const std::wstring& section, const std::wstring& key) {
  return ReadStoredSetting(application, section, key).text;
}

std::wstring GetSetting(const std::wstring& application, const std::wstring& section,
                        const std::wstring& key, const std::wstring& fallback) {
  return ReadSetting(application, section, key).value_or(fallback);
}

bool SaveSetting(const std::wstring& application, const std::wstring& section,
                 const std::wstring& key, const std::wstring& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SectionPath(application, section).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  const LSTATUS status = RegSetValueExW(handle, key.c_str(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

bool DeleteApplicationSettings(const std::wstring& application) {
  const std::wstring path = L"Software\\" + application;
  RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());  // subkeys and values
  const LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace tarnwick::platform
