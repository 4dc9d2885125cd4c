// Standard input as a source. Its size is known only for a redirected regular file (what
// is left from the current position); a read that a stop request interrupts while it
// waits for a pipe ends the job as stopped.
#include "cli/standard_input.h"

#include "cli/interrupt.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32_file_system.h"
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#endif

namespace tarnwick::cli {
namespace {

// Largest count handed to one read call.
constexpr std::size_t kMaxTransfer = 1u << 30;

#ifdef _WIN32
class StandardInput final : public InputFile {
 public:
  explicit StandardInput(HANDLE handle) : handle_(handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info)) {
      identity_ = FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    }
    LARGE_INTEGER size, position, zero{};
    if (GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &size) &&
        SetFilePointerEx(handle, zero, &position, FILE_CURRENT)) {
      size_ = size.QuadPart - position.QuadPart;
    }
  }

  std::int64_t Read(char* buffer, std::size_t capacity, std::string& error) override {
    DWORD count = 0;
    const auto want = static_cast<DWORD>(capacity < kMaxTransfer ? capacity : kMaxTransfer);
    if (ReadFile(handle_, buffer, want, &count, nullptr)) return count;
    const DWORD code = GetLastError();
    if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;  // the writer is gone
    if (code == ERROR_OPERATION_ABORTED && InterruptRequested()) return kReadInterrupted;
    error = SystemErrorText(code);
    return -1;
  }
  FileIdentity Identity() const override { return identity_; }
  std::int64_t Size() const override { return size_; }

 private:
  HANDLE handle_;
  FileIdentity identity_;
  std::int64_t size_ = -1;
};
#else
class StandardInput final : public InputFile {
 public:
  StandardInput() {
    struct stat info;
    if (::fstat(STDIN_FILENO, &info) != 0) return;
    identity_ = FileIdentity{static_cast<std::uint64_t>(info.st_dev), 0,
                             static_cast<std::uint64_t>(info.st_ino)};
    const off_t position = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
    if (S_ISREG(info.st_mode) && position >= 0) size_ = info.st_size - position;
  }

  std::int64_t Read(char* buffer, std::size_t capacity, std::string& error) override {
    const std::size_t count = capacity < kMaxTransfer ? capacity : kMaxTransfer;
    for (;;) {
      const ssize_t n = ::read(STDIN_FILENO, buffer, count);
      if (n >= 0) return n;
      if (errno != EINTR) break;
      if (InterruptRequested()) return kReadInterrupted;
    }
    error = std::generic_category().message(errno);
    return -1;
  }
  FileIdentity Identity() const override { return identity_; }
  std::int64_t Size() const override { return size_; }

 private:
  FileIdentity identity_;
  std::int64_t size_ = -1;
};
#endif

}  // namespace

std::unique_ptr<InputFile> OpenStandardInput(std::string& error) {
#ifdef _WIN32
  const HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    error = "no standard input";
    return nullptr;
  }
  return std::make_unique<StandardInput>(handle);
#else
  struct stat info;
  if (::fstat(STDIN_FILENO, &info) != 0) {
    error = std::generic_category().message(errno);
    return nullptr;
  }
  return std::make_unique<StandardInput>();
#endif
}

}  // namespace tarnwick::cli
