// File services on POSIX systems: plain file descriptors, identity by device and inode.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

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

// The final path of an open descriptor, symbolic links and "." / ".." resolved: the link
// /proc/self/fd/N where the system has it, else `path` resolved. Empty when unknown.
std::string ComparablePathOf(int fd, const std::string& path) {
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink(link.c_str(), buffer, sizeof(buffer));
  if (length > 0 && static_cast<std::size_t>(length) < sizeof(buffer) && buffer[0] == '/') {
    return std::string(buffer, static_cast<std::size_t>(length));
  }
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string text(resolved);
  std::free(resolved);
  return text;
}

// Largest count handed to one read or write call.
constexpr std::size_t kMaxTransfer = 1u << 30;

class PosixInputFile final : public InputFile {
 public:
  PosixInputFile(int fd, const struct stat& info, std::string path)
      : fd_(fd),
        identity_(IdentityOf(info)),
        size_(S_ISREG(info.st_mode) ? info.st_size : -1),
        path_(std::move(path)) {}
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
  std::string ComparablePath() const override { return ComparablePathOf(fd_, path_); }
  std::int64_t Size() const override { return size_; }

 private:
  int fd_;
  FileIdentity identity_;
  std::int64_t size_;
  std::string path_;
};

class PosixOutputFile final : public OutputFile {
 public:
  PosixOutputFile(int fd, const struct stat& info, std::string path)
      : fd_(fd), identity_(IdentityOf(info)), path_(std::move(path)) {}
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
  std::string ComparablePath() const override {
    return fd_ >= 0 ? ComparablePathOf(fd_, path_) : std::string();
  }

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
  std::string path_;
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
    return std::make_unique<PosixInputFile>(fd, info, path);
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
    return std::make_unique<PosixOutputFile>(fd, info, path);
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace tarnwick
