// Text of the command-line tool as Windows consoles and the programs reading its
// redirected output expect it.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::cli {

// The UTF-8 text in the given code page, '?' for each character the code page lacks
// (no look-alike substitutes); the text itself for UTF-8 (65001).
std::string EncodeForCodePage(std::string_view utf8, unsigned code_page);

// The code page of output that does not go to a console: the console's output code page,
// or the ANSI code page when the process has no console.
unsigned RedirectedOutputCodePage();

// Writes UTF-8 text to a standard handle (STD_OUTPUT_HANDLE, STD_ERROR_HANDLE): as UTF-16
// to a console, otherwise as bytes in RedirectedOutputCodePage().
void WriteStandardText(unsigned long which, std::string_view utf8);

}  // namespace tarnwick::cli
