// Stop requests of the command-line tool: Ctrl-C, SIGTERM and SIGHUP on POSIX; Ctrl-C,
// Ctrl-Break and the close, log-off and shut-down events of the console on Windows. The
// first request asks the job to stop like the Stop button; a second Ctrl-C ends the
// program the system's usual way.
#pragma once

#include <atomic>

namespace tarnwick {
class FileSystem;
}

namespace tarnwick::cli {

// Signal numbers used for the exit status (128 + number) where the system has none.
inline constexpr int kSignalHangUp = 1;
inline constexpr int kSignalInterrupt = 2;
inline constexpr int kSignalTerminate = 15;

// Installs the signal handlers (POSIX) or the console control handler (Windows). A stop
// request also wakes the reads of `files` (FileSystem::WakeReads), so that a read waiting
// for data (a pipe or FIFO whose writer is idle) sees the stop flag, once the job has
// given `files` the flag.
void InstallInterruptHandler(FileSystem& files);

// True once a stop has been requested.
bool InterruptRequested();

// The flag itself, for the split job to read directly.
const std::atomic<bool>& InterruptFlag();

// The number of the signal of the first stop request (kSignalInterrupt when none).
int InterruptSignal();

// Sets the flag as the signal would; clears it and forgets that the files were closed.
void RequestInterrupt(int signal = kSignalInterrupt);
void ClearInterrupt();

// Tells a console handler that waits for it that the job has ended and its files are
// closed, so that it may let the system end the process.
void NotifyFilesClosed();

#ifdef _WIN32
// The console control handler: for Ctrl-C and Ctrl-Break it requests the stop and
// returns; for the close, log-off and shut-down events (after which the system ends the
// process) it requests the stop and returns only when the files are closed, or after
// `wait_ms`. Either way it wakes a read of the job that waits for data, again every few
// milliseconds while it may wait. The return value is the handler's.
int HandleConsoleEvent(unsigned long event, unsigned long wait_ms);
#endif

}  // namespace tarnwick::cli
