// Starting another program from a command line.
#pragma once

#include <string>

namespace tarnwick::platform {

// Starts the command line in a normal window that gets the focus; its result is not
// read. Returns false when the program could not be started.
bool StartCommand(const std::wstring& command_line);

}  // namespace tarnwick::platform
