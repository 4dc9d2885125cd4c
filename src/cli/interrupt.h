// Ctrl-C handling of the command-line tool: the first Ctrl-C asks the job to stop; a
// second one ends the program the system's usual way.
#pragma once

#include <atomic>

namespace tarnwick::cli {

// Installs the SIGINT handler (POSIX) or console control handler (Windows).
void InstallInterruptHandler();

// True once a Ctrl-C has been seen (or RequestInterrupt was called).
bool InterruptRequested();

// The flag itself, for the split job to read directly.
const std::atomic<bool>& InterruptFlag();

// Sets or clears the flag, as a Ctrl-C would.
void RequestInterrupt();
void ClearInterrupt();

}  // namespace tarnwick::cli
