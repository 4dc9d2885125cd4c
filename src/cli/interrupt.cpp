// Stop requests: a lock-free flag set from the signal or console-control handler.
#include "cli/interrupt.h"

#include <atomic>

#include "splitter/split_job.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace tarnwick::cli {
namespace {

std::atomic<bool> interrupted{false};
std::atomic<int> stop_signal{kSignalInterrupt};
std::atomic<FileSystem*> woken_files{nullptr};  // whose waiting reads a request ends
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");
static_assert(std::atomic<int>::is_always_lock_free, "the signal is set from a signal handler");

// Records the first request only: the exit status names the signal that stopped the job.
// Then wakes a read that waits for data, so that it sees the flag.
void Request(int signal) {
  if (!interrupted.exchange(true)) stop_signal.store(signal);
  if (FileSystem* files = woken_files.load()) files->WakeReads();
}

#ifdef _WIN32
// Set when the job's files are closed; a close, log-off or shut-down handler waits for it.
HANDLE FilesClosedEvent() {
  static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

// How long a handler may wait for the files: Windows ends a process about five seconds
// after the close event, and log-off and shut-down allow no more by default.
constexpr DWORD kConsoleEndWaitMs = 4500;

// A read that waits for data can only be woken once it has started: the wake is repeated
// at this interval while the handler waits.
constexpr DWORD kWakeIntervalMs = 20;

// Waits up to `wait_ms` for the files to be closed, waking the job's reads meanwhile.
void WaitForFilesClosed(DWORD wait_ms) {
  const ULONGLONG end = GetTickCount64() + wait_ms;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now < end ? static_cast<DWORD>(end - now) : 0;
    const DWORD slice = left < kWakeIntervalMs ? left : kWakeIntervalMs;
    if (WaitForSingleObject(FilesClosedEvent(), slice) == WAIT_OBJECT_0 || left == 0) return;
    if (FileSystem* files = woken_files.load()) files->WakeReads();
  }
}

BOOL WINAPI OnConsoleControl(DWORD event) {
  return HandleConsoleEvent(event, kConsoleEndWaitMs);
}
#else
// SIGINT's handler is reset to the default by the system once it has run (SA_RESETHAND),
// so a second Ctrl-C ends the program at once.
void OnSignal(int signal) {
  Request(signal == SIGHUP    ? kSignalHangUp
          : signal == SIGTERM ? kSignalTerminate
                              : kSignalInterrupt);
}
#endif

}  // namespace

#ifdef _WIN32
int HandleConsoleEvent(unsigned long event, unsigned long wait_ms) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      // The first is ours, a later one is left to the default handler, which ends the process.
      if (interrupted.load()) return FALSE;
      Request(kSignalInterrupt);
      WaitForFilesClosed(wait_ms);  // on the handler's own thread: the job goes on meanwhile
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // The system ends the process as soon as this returns: wait for the files first.
      Request(event == CTRL_CLOSE_EVENT ? kSignalHangUp : kSignalTerminate);
      WaitForFilesClosed(wait_ms);
      return TRUE;
    default:
      return FALSE;
  }
}
#endif

void InstallInterruptHandler(FileSystem& files) {
  woken_files.store(&files);
#ifdef _WIN32
  FilesClosedEvent();  // made now, not first inside a handler
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocking call that the job makes (opening a FIFO, say) returns EINTR
  // instead of waiting on; the file layer looks at the flag then.
  action.sa_flags = SA_RESETHAND;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
#endif
}

bool InterruptRequested() {
  return interrupted.load(std::memory_order_relaxed);
}

const std::atomic<bool>& InterruptFlag() {
  return interrupted;
}

int InterruptSignal() {
  return stop_signal.load();
}

void RequestInterrupt(int signal) {
  Request(signal);
}

void ClearInterrupt() {
  interrupted.store(false);
  stop_signal.store(kSignalInterrupt);
#ifdef _WIN32
  ResetEvent(FilesClosedEvent());
#endif
}

void NotifyFilesClosed() {
#ifdef _WIN32
  SetEvent(FilesClosedEvent());
#endif
}

}  // namespace tarnwick::cli
