// Console text on Windows: UTF-16 to a console, the console's code page to files and pipes.
#include "cli/console_text.h"

#include <windows.h>

namespace tarnwick::cli {
namespace {

// UTF-8 to UTF-16, invalid sequences as U+FFFD (a message never goes missing).
std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

// UTF-16 to the code page with the given flags and default character; empty on failure.
std::string Narrow(const std::wstring& wide, unsigned code_page, DWORD flags,
                   const char* default_char) {
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr, 0, default_char, nullptr);
  if (length <= 0) return {};
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(code_page, flags, wide.data(), size, bytes.data(), length, default_char,
                      nullptr);
  return bytes;
}

}  // namespace

std::string EncodeForCodePage(std::string_view utf8, unsigned code_page) {
  if (code_page == CP_UTF8 || utf8.empty()) return std::string(utf8);
  const std::wstring wide = Widen(utf8);
  std::string bytes = Narrow(wide, code_page, WC_NO_BEST_FIT_CHARS, "?");
  // Some code pages (the ISO-2022 and similar ones) take neither flags nor a default.
  if (bytes.empty()) bytes = Narrow(wide, code_page, 0, nullptr);
  return bytes;
}

unsigned RedirectedOutputCodePage() {
  const UINT console = GetConsoleOutputCP();
  return console != 0 ? console : GetACP();
}

void WriteStandardText(unsigned long which, std::string_view utf8) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty()) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode)) {
    const std::wstring wide = Widen(utf8);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  const std::string bytes = EncodeForCodePage(utf8, RedirectedOutputCodePage());
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace tarnwick::cli
