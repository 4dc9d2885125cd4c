// Starting another program.
#pragma once

#include <string>

namespace tarnwick::platform {

// Starts the program at the full path `application` with the command line `command_line`
// (whose first word is the program's name as the program sees it), in a normal window that
// gets the focus; its result is not read. The program is taken from that path only, never
// looked for beside this program, in the current folder or along PATH. Returns false when
// it could not be started.
bool StartCommand(const std::wstring& application, const std::wstring& command_line);

// The full path of a program of the system's Windows folder, e.g. "C:\Windows\explorer.exe"
// for "explorer.exe" (also for a user of a Remote Desktop server); empty when the folder
// cannot be had.
std::wstring WindowsFolderProgram(const std::wstring& file_name);

}  // namespace tarnwick::platform
