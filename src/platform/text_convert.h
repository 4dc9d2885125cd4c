// Conversions between the UTF-8 texts of the portable code and the UTF-16 texts of Win32.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::platform {

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view text);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view text);

}  // namespace tarnwick::platform
