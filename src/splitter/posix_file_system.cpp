// File services on POSIX systems: plain file descriptors, identity by device and inode.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
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

// The host's stop flag and a pipe whose write end wakes a read that waits for data. A
// waiting read polls its source together with the pipe, so a stop requested just before
// the read starts, or seen by another thread's signal handler, still ends the wait.
class ReadWaker {
 public:
  void SetStopFlag(const std::atomic<bool>* flag) {
    if (flag != nullptr && read_end_.load() < 0) {
      int ends[2];
      if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        write_end_.store(AboveStandardDescriptors(ends[1]));
        read_end_.store(AboveStandardDescriptors(ends[0]));
      }
    }
    flag_.store(flag);
  }

  // Async-signal-safe: one write to a non-blocking pipe (a full pipe is woken already).
  void Wake() {
    const int end = write_end_.load();
    if (end < 0) return;
    const int saved = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(end, &byte, 1);
    errno = saved;
  }

  bool Watching() const { return flag_.load() != nullptr && read_end_.load() >= 0; }

  // Waits until `fd` has bytes, its end or an error to report (true), or a stop has been
  // requested while it has none (false). Data comes first: the job stops between lines.
  bool WaitForData(int fd) {
    const int wake = read_end_.load();
    for (;;) {
      const std::atomic<bool>* flag = flag_.load();
      const bool stopped = flag != nullptr && flag->load();
      pollfd ends[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
      const int ready = ::poll(ends, 2, stopped ? 0 : -1);
      if (ready < 0 && errno != EINTR) return true;  // the read itself tells what is wrong
      if (ready > 0 && ends[0].revents != 0) return true;
      if (stopped) return false;
      if (ready > 0 && ends[1].revents != 0) Drain(wake);  // a request since cleared
    }
  }

  bool Stopped() const {
    const std::atomic<bool>* flag = flag_.load();
    return flag != nullptr && flag->load();
  }

 private:
  static void Drain(int end) {
    char bytes[64];
    while (::read(end, bytes, sizeof(bytes)) > 0) {
    }
  }

  // Moves a descriptor that took the place of a closed standard one (0, 1 or 2) above them,
  // so that standard input closed stays closed rather than reading this pipe.
  static int AboveStandardDescriptors(int fd) {
    if (fd > STDERR_FILENO) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0) return fd;
    ::close(fd);
    return moved;
  }

  std::atomic<const std::atomic<bool>*> flag_{nullptr};
  std::atomic<int> read_end_{-1};
  std::atomic<int> write_end_{-1};
};

class PosixInputFile final : public InputFile {
 public:
  // `start`: where reading begins (standard input may have been read in part).
  PosixInputFile(int fd, const struct stat& info, std::string path, ReadWaker& waker,
                 off_t start = 0)
      : fd_(fd),
        identity_(IdentityOf(info)),
        size_(S_ISREG(info.st_mode) ? info.st_size : -1),
        start_(start),
        path_(std::move(path)),
        waker_(waker),
        may_wait_(!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) {}
  ~PosixInputFile() override { ::close(fd_); }

  // A pipe, FIFO, terminal or socket may wait for data without end: with a stop flag
  // given, the wait ends as soon as a stop is requested (kInterrupted).
  std::int64_t Read(char* buffer, std::size_t capacity, std::string& error) override {
    const std::size_t count = capacity < kMaxTransfer ? capacity : kMaxTransfer;
    const bool watched = may_wait_ && waker_.Watching();
    for (;;) {
      if (watched && !waker_.WaitForData(fd_)) return kInterrupted;
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
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) override {
    if (size_ < 0) return -1;
    const std::size_t count = capacity < kMaxTransfer ? capacity : kMaxTransfer;
    for (;;) {
      const ssize_t n = ::pread(fd_, buffer, count, start_ + static_cast<off_t>(offset));
      if (n >= 0 || errno != EINTR) return n;
    }
  }

 private:
  int fd_;
  FileIdentity identity_;
  std::int64_t size_;
  off_t start_;
  std::string path_;
  ReadWaker& waker_;
  bool may_wait_;
};

class PosixOutputFile final : public OutputFile {
 public:
  // A file that was there already, as fstat found it.
  PosixOutputFile(int fd, const struct stat& info, std::string path, bool readable)
      : fd_(fd),
        identity_(IdentityOf(info)),
        path_(std::move(path)),
        opened_size_(S_ISREG(info.st_mode) ? info.st_size : -1),
        readable_(readable),
        stream_(!S_ISREG(info.st_mode)) {}
  // A file just created, empty: its identity is asked of the system only when needed.
  PosixOutputFile(int fd, std::string path)
      : fd_(fd), path_(std::move(path)), opened_size_(0), readable_(true) {}
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
  FileIdentity Identity() const override {
    struct stat info {};
    if (!identity_ && fd_ >= 0 && ::fstat(fd_, &info) == 0) identity_ = IdentityOf(info);
    return identity_.value_or(FileIdentity{});
  }
  std::string ComparablePath() const override {
    return fd_ >= 0 ? ComparablePathOf(fd_, path_) : std::string();
  }

  std::int64_t ReadHead(char* buffer, std::size_t capacity, std::string& error) override {
    // Open for writing only: judged by its size. Empty, it reads as empty (and so gets the
    // mark); otherwise its start is unknown and the job appends after it unseen.
    if (!readable_) {
      if (opened_size_ == 0) return 0;
      error = ErrorText(EACCES);
      return kHeadUnreadable;
    }
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

  std::int64_t ReadLast(char* buffer, std::size_t count, std::string& error) override {
    if (!readable_ || opened_size_ < 0) {
      error = ErrorText(EACCES);
      return -1;
    }
    const std::size_t have = std::min<std::size_t>(count, static_cast<std::size_t>(opened_size_));
    const off_t at = static_cast<off_t>(opened_size_) - static_cast<off_t>(have);
    for (;;) {
      const ssize_t n = ::pread(fd_, buffer, have, at);
      if (n >= 0) return n;
      if (errno == EINTR) continue;
      error = ErrorText(errno);
      return -1;
    }
  }
  bool IsStream() const override { return stream_; }

  std::int64_t OpenedSize() const override { return opened_size_; }
  std::int64_t CurrentSize() const override {
    struct stat info {};
    return fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : -1;
  }

  bool CutBack(std::uint64_t size, std::string& error) override {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
      error = ErrorText(errno);
      return false;
    }
    if (size > static_cast<std::uint64_t>(info.st_size)) {  // would add zeros, not cut
      error = ErrorText(EINVAL);
      return false;
    }
    const auto length = static_cast<off_t>(size);
    while (::ftruncate(fd_, length) != 0) {
      if (errno == EINTR) continue;
      error = ErrorText(errno);
      return false;
    }
    // Appends go to the end anyway (O_APPEND); the position follows for any other use.
    ::lseek(fd_, length, SEEK_SET);
    return true;
  }

 private:
  int fd_;
  mutable std::optional<FileIdentity> identity_;
  std::string path_;
  std::int64_t opened_size_;
  bool readable_;
  bool stream_ = false;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::string& path, std::string& error) override {
    // Opening a FIFO waits for its writer; a stop request interrupts that wait too.
    int fd;
    while ((fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) < 0 && errno == EINTR &&
           !waker_.Stopped()) {
    }
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
    return std::make_unique<PosixInputFile>(fd, info, path, waker_);
  }

  std::int64_t ExistingSize(const std::string& path) override {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : -1;
  }

  bool IsStreamPath(const std::string& path) override {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
  }

  bool CreateFolders(const std::string& path, std::string& error) override {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
      ::mkdir(path.substr(0, at).c_str(), 0777);  // the last step says what went wrong
    }
    struct stat info {};
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
      error = ErrorText(errno);
      return false;
    }
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      error = ErrorText(ENOTDIR);
      return false;
    }
    return true;
  }

  std::unique_ptr<InputFile> OpenStandardInput(std::string& error) override {
    const int fd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
      error = errno == EBADF ? "standard input is closed" : ErrorText(errno);
      if (fd >= 0) ::close(fd);
      return nullptr;
    }
    // A redirected file may have been read in part already: its size is what is left.
    const off_t at = S_ISREG(info.st_mode) ? ::lseek(fd, 0, SEEK_CUR) : 0;
    if (at > 0) info.st_size = at < info.st_size ? info.st_size - at : 0;
    return std::make_unique<PosixInputFile>(fd, info, "/dev/stdin", waker_, at > 0 ? at : 0);
  }

  std::unique_ptr<OutputFile> OpenAppend(const std::string& path, std::string& error) override {
    // Read access too, for the start of an existing file (its byte-order mark); a file the
    // user may write but not read is opened for writing only.
    constexpr int kFlags = O_APPEND | O_CREAT | O_CLOEXEC;
    // Most outputs are new: created so, a file is known to be empty without asking.
    int fd = OpenOutput(path, O_RDWR | O_EXCL | kFlags);
    if (fd >= 0) return std::make_unique<PosixOutputFile>(fd, path);
    bool readable = true;
    fd = OpenOutput(path, O_RDWR | kFlags);
    if (fd < 0 && errno == EACCES) {
      fd = OpenOutput(path, O_WRONLY | kFlags);
      readable = false;
    }
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
    return std::make_unique<PosixOutputFile>(fd, info, path, readable);
  }

  void SetStopFlag(const std::atomic<bool>* flag) override { waker_.SetStopFlag(flag); }
  void WakeReads() override { waker_.Wake(); }

 private:
  static int OpenOutput(const std::string& path, int flags) {
    return ::open(path.c_str(), flags, 0666);
  }

  ReadWaker waker_;
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace tarnwick
