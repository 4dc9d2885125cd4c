// The per-user settings store: application, section and key map to a text value kept in
// the registry under HKEY_CURRENT_USER\Software\<application>\<section>.
#pragma once

#include <optional>
#include <string>

namespace tarnwick::platform {

// A setting as read from the store: its text, or why there is none.
struct StoredSetting {
  std::optional<std::wstring> text;  // the stored text, when it could be read
  bool missing = false;              // no text because none is stored (not a read failure)
};

// Reads the setting and tells a missing value from one that cannot be read (a value of
// another type, a key the user may not read).
StoredSetting ReadStoredSetting(const std::wstring& application, const std::wstring& section,
                                const std::wstring& key);

// The stored text, or nullopt when the value is missing or cannot be read.
std::optional<std::wstring> ReadSetting(const std::wstring& application,
                                        const std::wstring& section, const std::wstring& key);

// The stored text, or `fallback` when it is missing or cannot be read.
std::wstring GetSetting(const std::wstring& application, const std::wstring& section,
                        const std::wstring& key, const std::wstring& fallback);

// Stores the text as a string value; returns false when the store refuses it.
bool SaveSetting(const std::wstring& application, const std::wstring& section,
                 const std::wstring& key, const std::wstring& value);

// Removes the application's whole key (its sections and values); true when it is gone.
bool DeleteApplicationSettings(const std::wstring& application);

}  // namespace tarnwick::platform
