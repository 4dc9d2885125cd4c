// Win32 file services for the split job, and the UTF-8 / UTF-16 conversions they use.
#pragma once

#include <string>
#include <string_view>

#include "splitter/split_job.h"

namespace tarnwick {

// The Win32 file system (also returned by SystemFileSystem() in the Windows build).
// Paths are UTF-8; reasons are the system's messages in UTF-8, without the final period.
FileSystem& Win32FileSystem();

// UTF-8 to UTF-16. Returns false when the text is not valid UTF-8.
bool Utf8ToWide(std::string_view text, std::wstring& wide);

// UTF-16 to UTF-8 (unpaired surrogates become U+FFFD).
std::string WideToUtf8(std::wstring_view text);

// The path in the form that lifts the 260-character limit: made full first (relative
// parts, "." and "..", forward slashes resolved against the current folder), then
// prefixed "\\?\" ("\\?\UNC\server\share\..." for a UNC path). A path already in
// that form, a device path ("\\.\"), a path in the system's own form ("\??\") and a path
// that cannot be made full are returned unchanged.
std::wstring ExtendedLengthPath(std::wstring_view path);

// The system's message for a Win32 error code, in UTF-8, trailing period and line break
// removed; "error N" when the system has no text for it.
std::string SystemErrorText(unsigned long code);

}  // namespace tarnwick
