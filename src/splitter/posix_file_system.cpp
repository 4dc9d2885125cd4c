// File services on POSIX systems: plain file descriptors, identity by device and inode.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>

#include "splitter/split_job.h"

namespace tarnwick {
namespace {

// The system's text for an errno value, e.g. "No such file or directory".
std::string ErrorText(int code) {
  return std::generic_category().message(code);
}

// Identity of an open descriptor, or an all-zero (unknown) identity.
FileIdentity IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.volume = static_cast<std::uint64_t>(info.st_dev);
  identity.index_low = static_cast<std::uint64_t>(info.st_ino);
  return identity;
}

// Largest count handed to one read or write call.
constexpr std::size_t kMaxTransfer = 1u << 30;

class PosixInputFile final : public InputFile {
 public:
  PosixInputFile(int fd, const struct stat& info)
      : fd_(fd), identity_(IdentityOf(info)), size_(S_ISREG(info.st_mode) ? info.st_size : -1) {}
  ~PosixInputFile() override { ::close(fd_); }

  std::int64_t Read(char* buffer, std::size_t capacity, std::string& error) override {
    const std::size_t count = capacity < kMaxTransfer ? capacity : kMaxTransfer;
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, count);
      if (n >= 0) return n;
      if (errno == EINTR) continue;
      error = ErrorText(errno);
      return -1;
    }
  }
  FileIdentity Identity() const override { return identity_; }
  std::int64_t Size() const override { return size_; }

 private:
  int fd_;
  FileIdentity identity_;
  std::int64_t size_;
};

class PosixOutputFile final : public OutputFile {
 public:
  PosixOutputFile(int fd, const struct stat& info) : fd_(fd), identity_(IdentityOf(info)) {}
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  bool Write(const char* data, std::size_t size, std::string& error) override {
    while (size > 0) {
      const ssize_t n = ::write(fd_, data, size < kMaxTransfer ? size : kMaxTransfer);
      if (n < 0) {
        if (errno == EINTR) continue;
        error = ErrorText(errno);
        return false;
      }
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

  bool Close(std::string& error) override {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    // After EINTR the descriptor is released on Linux; the data was handed over already.
    if (result != 0 && errno != EINTR) {
      error = ErrorText(errno);
      return false;
    }
    return true;
  }
  FileIdentity Identity() const override { return identity_; }

  std::int64_t ReadHead(char* buffer, std::size_t capacity, std::string& error) override {
    std::size_t have = 0;
    while (have < capacity) {
      const ssize_t n = ::pread(fd_, buffer + have, capacity - have, static_cast<off_t>(have));
      if (n < 0) {
        if (errno == EINTR) continue;
        error = ErrorText(errno);
        return -1;
      }
      if (n == 0) break;
      have += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(have);
  }

 private:
  int fd_;
  FileIdentity identity_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::string& path, std::string& error) override {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      error = ErrorText(errno);
      return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
      error = ErrorText(S_ISDIR(info.st_mode) ? EISDIR : errno);
      ::close(fd);
      return nullptr;
    }
    if (S_ISREG(info.st_mode)) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<PosixInputFile>(fd, info);
  }

  std::unique_ptr<OutputFile> OpenAppend(const std::string& path, std::string& error) override {
    // Read access too, for the start of an existing file (its byte-order mark).
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      error = ErrorText(errno);
      return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      error = ErrorText(errno);
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixOutputFile>(fd, info);
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace tarnwick
