// Ctrl-C handling: a lock-free flag set from the signal or console-control handler.
#include "cli/interrupt.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace tarnwick::cli {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

#ifdef _WIN32
// Runs on a thread of its own: the first Ctrl-C or Ctrl-Break is ours, a later one is left
// to the default handler, which ends the process.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  return interrupted.exchange(true) ? FALSE : TRUE;
}
#else
// The handler is reset to the default by the system once it has run (SA_RESETHAND).
void OnSigint(int) {
  interrupted.store(true);
}
#endif

}  // namespace

void InstallInterruptHandler() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnSigint;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
#endif
}

bool InterruptRequested() {
  return interrupted.load(std::memory_order_relaxed);
}

const std::atomic<bool>& InterruptFlag() {
  return interrupted;
}

void RequestInterrupt() {
  interrupted.store(true);
}

void ClearInterrupt() {
  interrupted.store(false);
}

}  // namespace tarnwick::cli
