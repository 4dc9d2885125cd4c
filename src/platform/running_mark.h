// The mark of a running Tarnwick program: a named mutex that tarnwick.exe and
// tarnwick-split.exe hold for as long as they run, so that the installer and the
// uninstaller can tell that a program whose files they would replace or remove is running.
#pragma once

#include <windows.h>

namespace tarnwick::platform {

// Per session, as the per-user install is; the installer looks for the same name
// (packaging/tarnwick.nsi).
inline constexpr wchar_t kRunningMutexName[] = L"Local\\Tarnwick.Running";

// Holds the mutex for the object's life (several programs may hold it at once). A mutex
// that cannot be made leaves the program running unmarked: the installer then still finds
// the program's files in use.
class RunningMark {
 public:
  RunningMark() : mutex_(CreateMutexW(nullptr, FALSE, kRunningMutexName)) {}
  ~RunningMark() {
    if (mutex_) CloseHandle(mutex_);
  }
  RunningMark(const RunningMark&) = delete;
  RunningMark& operator=(const RunningMark&) = delete;

 private:
  HANDLE mutex_;
};

}  // namespace tarnwick::platform
