// File services on Win32: CreateFileW with UTF-16 paths, identity by volume and file id.
#include "platform/win32_file_system.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>

namespace tarnwick {

bool Utf8ToWide(std::string_view text, std::wstring& wide) {
  wide.clear();
  if (text.empty()) return true;
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return false;
  wide.resize(static_cast<std::size_t>(length));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      wide.data(), length);
  return true;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string result(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length,
                      nullptr, nullptr);
  return result;
}

std::wstring ExtendedLengthPath(std::wstring_view path) {
  constexpr std::wstring_view kPrefix = L"\\\\?\\";
  constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
  constexpr std::wstring_view kNtPrefix = L"\\??\\";  // the object manager's own form
  if (path.starts_with(kPrefix) || path.starts_with(kDevicePrefix) || path.starts_with(kNtPrefix))
    return std::wstring(path);
  const std::wstring given(path);
  if (given.empty()) return given;
  // The full path may be longer than the given one: ask for the size, then fill.
  std::wstring full;
  DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  for (int attempt = 0; attempt < 4 && size > 0; ++attempt) {
    full.assign(size, L'\0');
    const DWORD length = GetFullPathNameW(given.c_str(), size, full.data(), nullptr);
    if (length < size) {
      full.resize(length);
      break;
    }
    size = length;  // the current folder changed in between
    full.clear();
  }
  if (full.empty()) return given;
  if (full.starts_with(kPrefix) || full.starts_with(kDevicePrefix)) return full;  // "NUL" ...
  if (full.starts_with(L"\\\\")) return std::wstring(kPrefix) + L"UNC" + full.substr(1);
  if (full.size() >= 2 && full[1] == L':') return std::wstring(kPrefix) + full;
  return full;
}

std::string SystemErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                           text.back() == L'.'))
    text.pop_back();
  if (text.empty()) return "error " + std::to_string(code);
  return WideToUtf8(text);
}

namespace {

// Largest count handed to one ReadFile or WriteFile call.
constexpr DWORD kMaxTransfer = 1u << 30;

// The FILE_ID_INFO record of GetFileInformationByHandleEx (class 18, Windows 8 and later).
struct FileIdRecord {
  ULONGLONG volume_serial;
  BYTE identifier[16];
};
constexpr int kFileIdInfoClass = 18;

// Identity of an open handle: the 128-bit file id where the system has it, otherwise the
// volume serial number and 64-bit file index. All zero when neither can be had.
FileIdentity IdentityOf(HANDLE handle) {
  FileIdentity identity;
  FileIdRecord record{};
  if (GetFileInformationByHandleEx(handle, static_cast<FILE_INFO_BY_HANDLE_CLASS>(kFileIdInfoClass),
                                   &record, sizeof(record))) {
    identity.volume = record.volume_serial;
    for (int i = 0; i < 8; ++i) {
      identity.index_low |= static_cast<std::uint64_t>(record.identifier[i]) << (8 * i);
      identity.index_high |= static_cast<std::uint64_t>(record.identifier[8 + i]) << (8 * i);
    }
    if (!(identity == FileIdentity{})) return identity;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(handle, &info)) {
    identity.volume = info.dwVolumeSerialNumber;
    identity.index_high = 0;
    identity.index_low =
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  return identity;
}

// The final path of an open handle, upper-cased as the file system compares names
// (ordinal, case-insensitive), in UTF-8: equal for two names of one file, also on network
// shares whose file ids are all zero. Empty when the system cannot say.
std::string ComparablePathOf(HANDLE handle) {
  for (const DWORD kind : {VOLUME_NAME_DOS, VOLUME_NAME_NT}) {
    const DWORD flags = FILE_NAME_NORMALIZED | kind;
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, path.data(), MAX_PATH, flags);
    if (length >= MAX_PATH) {  // the size needed, with the terminator
      path.assign(length, L'\0');
      length = GetFinalPathNameByHandleW(handle, path.data(), length, flags);
      if (length >= path.size()) continue;
    }
    if (length == 0) continue;
    path.resize(length);
    std::wstring upper(path.size(), L'\0');
    const int mapped = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.data(),
                                     static_cast<int>(path.size()), upper.data(),
                                     static_cast<int>(upper.size()), nullptr, nullptr, 0);
    if (mapped <= 0) continue;
    upper.resize(static_cast<std::size_t>(mapped));
    return WideToUtf8(upper);
  }
  return {};
}

// The host's stop flag, and the thread whose read may be waiting for data: a stop
// request cancels that read (CancelSynchronousIo). The lock keeps the cancel from
// reaching any other call of the thread, made before or after the read.
class ReadWaker {
 public:
  void SetStopFlag(const std::atomic<bool>* flag) { flag_.store(flag); }
  bool Watching() const { return flag_.load() != nullptr; }
  bool Stopped() const {
    const std::atomic<bool>* flag = flag_.load();
    return flag != nullptr && flag->load();
  }

  // Between Enter and Leave the thread does nothing but look at the flag and read.
  void Enter(HANDLE thread) {
    AcquireSRWLockExclusive(&lock_);
    waiting_ = thread;
    ReleaseSRWLockExclusive(&lock_);
  }
  void Leave() {
    AcquireSRWLockExclusive(&lock_);
    waiting_ = nullptr;
    ReleaseSRWLockExclusive(&lock_);
  }
  // A read not yet started is not cancelled: the caller wakes again until the job ends.
  void Wake() {
    AcquireSRWLockExclusive(&lock_);
    if (waiting_ != nullptr) CancelSynchronousIo(waiting_);
    ReleaseSRWLockExclusive(&lock_);
  }

 private:
  std::atomic<const std::atomic<bool>*> flag_{nullptr};
  SRWLOCK lock_ = SRWLOCK_INIT;
  HANDLE waiting_ = nullptr;
};

class Win32InputFile final : public InputFile {
 public:
  Win32InputFile(HANDLE handle, ReadWaker& waker)
      : handle_(handle), identity_(IdentityOf(handle)), type_(GetFileType(handle)), waker_(waker) {
    LARGE_INTEGER size{};
    if (type_ == FILE_TYPE_DISK && GetFileSizeEx(handle, &size)) {
      // What is left to read: a redirected standard input may have been read in part.
      LARGE_INTEGER at{};
      if (SetFilePointerEx(handle, LARGE_INTEGER{}, &at, FILE_CURRENT) && at.QuadPart > 0) {
        size.QuadPart = at.QuadPart < size.QuadPart ? size.QuadPart - at.QuadPart : 0;
        start_ = at.QuadPart;
      }
      size_ = size.QuadPart;
    }
  }
  ~Win32InputFile() override {
    CloseHandle(handle_);
    if (thread_ != nullptr) CloseHandle(thread_);
  }

  // A pipe or a console may wait for data without end: with a stop flag given, the wait
  // ends as soon as a stop is requested (kInterrupted). Data already there comes first.
  std::int64_t Read(char* buffer, std::size_t capacity, std::string& error) override {
    if (position_lost_ != ERROR_SUCCESS) {
      error = SystemErrorText(position_lost_);
      return -1;
    }
    const DWORD count = capacity < kMaxTransfer ? static_cast<DWORD>(capacity) : kMaxTransfer;
    const bool watched = (type_ == FILE_TYPE_PIPE || type_ == FILE_TYPE_CHAR) &&
                         waker_.Watching() && ReaderThread() != nullptr;
    if (watched) {
      waker_.Enter(thread_);
      if (waker_.Stopped() && !HasData()) {
        waker_.Leave();
        return kInterrupted;
      }
    }
    DWORD read = 0;
    const BOOL done = ReadFile(handle_, buffer, count, &read, nullptr);
    const DWORD code = done ? ERROR_SUCCESS : GetLastError();
    if (watched) waker_.Leave();
    if (!done) {
      if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;  // writer gone: end
      if (code == ERROR_OPERATION_ABORTED && watched && waker_.Stopped()) return kInterrupted;
      error = SystemErrorText(code);
      return -1;
    }
    return read;
  }
  FileIdentity Identity() const override { return identity_; }
  std::string ComparablePath() const override { return ComparablePathOf(handle_); }
  std::int64_t Size() const override { return size_; }
  // A read at an offset moves a synchronous handle's file pointer: it is put back.
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) override {
    LARGE_INTEGER here{};
    if (size_ < 0 || !SetFilePointerEx(handle_, LARGE_INTEGER{}, &here, FILE_CURRENT)) return -1;
    const std::uint64_t at = static_cast<std::uint64_t>(start_) + offset;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD read = 0;
    const DWORD count = capacity < kMaxTransfer ? static_cast<DWORD>(capacity) : kMaxTransfer;
    const BOOL done = ReadFile(handle_, buffer, count, &read, &where);
    const DWORD code = done ? ERROR_SUCCESS : GetLastError();
    if (!SetFilePointerEx(handle_, here, nullptr, FILE_BEGIN)) {
      position_lost_ = GetLastError();  // the next Read fails rather than skip bytes
      return -1;
    }
    if (!done) return code == ERROR_HANDLE_EOF ? 0 : -1;
    return read;
  }

 private:
  // A handle of the calling thread that CancelSynchronousIo accepts (made again should
  // another thread read), or null when the system gives none.
  HANDLE ReaderThread() {
    if (thread_ != nullptr && thread_id_ == GetCurrentThreadId()) return thread_;
    if (thread_ != nullptr) CloseHandle(thread_);
    thread_ = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread_,
                         THREAD_TERMINATE, FALSE, 0))
      thread_ = nullptr;
    thread_id_ = GetCurrentThreadId();
    return thread_;
  }

  // Whether a read would return at once: bytes in the pipe, or its writer gone. A console
  // is taken as having none.
  bool HasData() const {
    if (type_ != FILE_TYPE_PIPE) return false;
    DWORD available = 0;
    if (!PeekNamedPipe(handle_, nullptr, 0, nullptr, &available, nullptr)) return true;
    return available > 0;
  }

  HANDLE handle_;
  FileIdentity identity_;
  DWORD type_;
  ReadWaker& waker_;
  std::int64_t size_ = -1;
  std::int64_t start_ = 0;  // where reading began (standard input may have been read in part)
  DWORD position_lost_ = ERROR_SUCCESS;  // a look ahead could not put the file pointer back
  HANDLE thread_ = nullptr;
  DWORD thread_id_ = 0;
};

class Win32OutputFile final : public OutputFile {
 public:
  // The identity is asked for only when needed: each question is a round trip to the file
  // system (and to the Wine server), paid for every file otherwise. A file just created is
  // empty without asking; a device has no size.
  Win32OutputFile(HANDLE handle, bool created, bool readable)
      : handle_(handle), readable_(readable) {
    // A file OPEN_ALWAYS created is on a disk; what was there already may be a pipe or a
    // device (written as a stream, with no size). Asking only then spares a round trip per
    // new file.
    LARGE_INTEGER size{};
    if (created) {
      opened_size_ = 0;
    } else if (GetFileType(handle) != FILE_TYPE_DISK) {
      stream_ = true;
    } else if (GetFileSizeEx(handle, &size)) {
      opened_size_ = size.QuadPart;
    }
  }
  ~Win32OutputFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

  bool Write(const char* data, std::size_t size, std::string& error) override {
    while (size > 0) {
      const DWORD count = size < kMaxTransfer ? static_cast<DWORD>(size) : kMaxTransfer;
      DWORD written = 0;
      // At the end of the file, whatever the position (ReadHead moves it).
      OVERLAPPED at_end{};
      at_end.Offset = 0xFFFFFFFF;
      at_end.OffsetHigh = 0xFFFFFFFF;
      if (!WriteFile(handle_, data, count, &written, &at_end)) {
        error = SystemErrorText(GetLastError());
        return false;
      }
      if (written == 0) {
        error = SystemErrorText(ERROR_WRITE_FAULT);
        return false;
      }
      data += written;
      size -= written;
    }
    return true;
  }

  bool Close(std::string& error) override {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (!closed) {
      error = SystemErrorText(GetLastError());
      return false;
    }
    return true;
  }
  FileIdentity Identity() const override {
    if (!identity_) identity_ = IdentityOf(handle_);
    return *identity_;
  }
  std::string ComparablePath() const override {
    return handle_ != INVALID_HANDLE_VALUE ? ComparablePathOf(handle_) : std::string();
  }

  std::int64_t ReadHead(char* buffer, std::size_t capacity, std::string& error) override {
    // Open for writing only: judged by its size. Empty, it reads as empty (and so gets the
    // mark); otherwise its start is unknown and the job appends after it unseen.
    if (!readable_) {
      if (opened_size_ == 0) return 0;
      error = SystemErrorText(ERROR_ACCESS_DENIED);
      return kHeadUnreadable;
    }
    return ReadAt(0, buffer, capacity, error);
  }
  std::int64_t ReadLast(char* buffer, std::size_t count, std::string& error) override {
    if (!readable_ || opened_size_ < 0) {
      error = SystemErrorText(ERROR_ACCESS_DENIED);
      return -1;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(opened_size_);
    const std::size_t have = size < count ? static_cast<std::size_t>(size) : count;
    return ReadAt(size - have, buffer, have, error);
  }
  bool IsStream() const override { return stream_; }

  std::int64_t OpenedSize() const override { return opened_size_; }
  std::int64_t CurrentSize() const override {
    LARGE_INTEGER size{};
    return handle_ != INVALID_HANDLE_VALUE && GetFileSizeEx(handle_, &size) ? size.QuadPart : -1;
  }

  bool CutBack(std::uint64_t size, std::string& error) override {
    LARGE_INTEGER now{};
    if (!GetFileSizeEx(handle_, &now)) {
      error = SystemErrorText(GetLastError());
      return false;
    }
    if (size > static_cast<std::uint64_t>(now.QuadPart)) {  // would add bytes, not cut
      error = SystemErrorText(ERROR_INVALID_PARAMETER);
      return false;
    }
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_)) {
      error = SystemErrorText(GetLastError());
      return false;
    }
    return true;
  }

 private:
  // Reads up to `capacity` bytes at `offset`; writes on this append-only handle still go to
  // the end of the file.
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity,
                      std::string& error) {
    std::size_t have = 0;
    while (have < capacity) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset + have);
      at.OffsetHigh = static_cast<DWORD>((offset + have) >> 32);
      DWORD read = 0;
      if (!ReadFile(handle_, buffer + have, static_cast<DWORD>(capacity - have), &read, &at)) {
        const DWORD code = GetLastError();
        if (code == ERROR_HANDLE_EOF) break;
        error = SystemErrorText(code);
        return -1;
      }
      if (read == 0) break;
      have += read;
    }
    return static_cast<std::int64_t>(have);
  }

  HANDLE handle_;
  bool readable_;
  bool stream_ = false;
  mutable std::optional<FileIdentity> identity_;
  std::int64_t opened_size_ = -1;
};

class Win32FileSystemImpl final : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::string& path, std::string& error) override {
    std::wstring wide;
    if (!Utf8ToWide(path, wide)) {
      error = SystemErrorText(ERROR_NO_UNICODE_TRANSLATION);
      return nullptr;
    }
    wide = ExtendedLengthPath(wide);
    // Others may keep writing the file; sharing writes also lets an output that turns out
    // to be this very file open, so that its identity can be compared.
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      error = SystemErrorText(GetLastError());
      return nullptr;
    }
    return std::make_unique<Win32InputFile>(handle, waker_);
  }

  std::int64_t ExistingSize(const std::string& path) override {
    std::wstring wide;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!Utf8ToWide(path, wide) ||
        !GetFileAttributesExW(ExtendedLengthPath(wide).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return -1;
    }
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                     data.nFileSizeLow);
  }

  std::unique_ptr<InputFile> OpenStandardInput(std::string& error) override {
    // A handle of its own, so that closing the source leaves the process's standard input.
    HANDLE handle = nullptr;
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), input, GetCurrentProcess(), &handle, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
      error = SystemErrorText(input == nullptr ? ERROR_INVALID_HANDLE : GetLastError());
      return nullptr;
    }
    return std::make_unique<Win32InputFile>(handle, waker_);
  }

  std::unique_ptr<OutputFile> OpenAppend(const std::string& path, std::string& error) override {
    std::wstring wide;
    if (!Utf8ToWide(path, wide)) {
      error = SystemErrorText(ERROR_NO_UNICODE_TRANSLATION);
      return nullptr;
    }
    wide = ExtendedLengthPath(wide);
    // Every write goes to the end of the file (Write asks for it). Write-data access to cut
    // the file back, read access for the start and end of an existing file (its byte-order
    // mark, its last line end); a file the user may write but not read is opened for
    // writing only.
    constexpr DWORD kWrite =
        FILE_APPEND_DATA | FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    bool readable = true;
    HANDLE handle = CreateFileW(wide.c_str(), kWrite | FILE_READ_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
      readable = false;
      handle = CreateFileW(wide.c_str(), kWrite, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (handle == INVALID_HANDLE_VALUE) {
      error = SystemErrorText(GetLastError());
      return nullptr;
    }
    // OPEN_ALWAYS tells a file that was there by ERROR_ALREADY_EXISTS.
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    return std::make_unique<Win32OutputFile>(handle, created, readable);
  }

  bool CreateFolders(const std::string& path, std::string& error) override {
    std::wstring wide;
    if (!Utf8ToWide(path, wide)) {
      error = SystemErrorText(ERROR_NO_UNICODE_TRANSLATION);
      return false;
    }
    // Each folder after the root (C:\ or \\server\share\), parents first; the last
    // step says what went wrong.
    std::size_t root = wide.size() >= 3 && wide[1] == L':' ? 3 : 0;
    if (wide.rfind(L"\\\\", 0) == 0) {
      const std::size_t server = wide.find(L'\\', 2);
      root = server == std::wstring::npos ? wide.size() : wide.find(L'\\', server + 1);
      if (root == std::wstring::npos) root = wide.size();
    }
    for (std::size_t at = wide.find_first_of(L"\\/", root); at != std::wstring::npos;
         at = wide.find_first_of(L"\\/", at + 1)) {
      CreateDirectoryW(ExtendedLengthPath(wide.substr(0, at)).c_str(), nullptr);
    }
    const std::wstring full = ExtendedLengthPath(wide);
    if (!CreateDirectoryW(full.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      error = SystemErrorText(GetLastError());
      return false;
    }
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      error = SystemErrorText(ERROR_DIRECTORY);
      return false;
    }
    return true;
  }

  void SetStopFlag(const std::atomic<bool>* flag) override { waker_.SetStopFlag(flag); }
  void WakeReads() override { waker_.Wake(); }

 private:
  ReadWaker waker_;
};

}  // namespace

FileSystem& Win32FileSystem() {
  static Win32FileSystemImpl files;
  return files;
}

FileSystem& SystemFileSystem() {
  return Win32FileSystem();
}

}  // namespace tarnwick
