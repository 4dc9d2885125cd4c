// The floor of a line splitter, for the benchmark to measure the split job against: one
// thread reads the source in 512 KiB blocks, finds the CRs with memchr (CR or CR LF ends a
// line) and writes the runs of N lines to DIR/1.txt, DIR/2.txt, ... opened for appending.
// No trimming, no dropping, no checks: what any splitter must at least do.
//
//   tarnwick-floor-split N SOURCE DIR
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr std::size_t kBlock = 512 * 1024;

#ifdef _WIN32
using Handle = HANDLE;
const Handle kNone = INVALID_HANDLE_VALUE;

std::wstring Wide(const char* text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
  wide.pop_back();
  return wide;
}
Handle OpenSource(const std::string& path) {
  return CreateFileW(Wide(path.c_str()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}
Handle OpenOutput(const std::string& path) {
  return CreateFileW(Wide(path.c_str()).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}
long long ReadBlock(Handle file, char* bytes) {
  DWORD count = 0;
  return ReadFile(file, bytes, kBlock, &count, nullptr) ? count : -1;
}
bool WriteAll(Handle file, const char* bytes, std::size_t count) {
  DWORD written = 0;
  return count == 0 ||
         (WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count);
}
void Close(Handle file) {
  CloseHandle(file);
}
const char kSeparator = '\\';
#else
using Handle = int;
const Handle kNone = -1;
Handle OpenSource(const std::string& path) {
  return open(path.c_str(), O_RDONLY);
}
Handle OpenOutput(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
}
long long ReadBlock(Handle file, char* bytes) {
  return read(file, bytes, kBlock);
}
bool WriteAll(Handle file, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = write(file, bytes, count);
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}
void Close(Handle file) {
  close(file);
}
const char kSeparator = '/';
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tarnwick-floor-split N SOURCE DIR\n");
    return 2;
  }
  const long long n = std::atoll(argv[1]);
  const Handle source = OpenSource(argv[2]);
  if (n < 1 || source == kNone) return 1;
  const std::string folder = std::string(argv[3]) + kSeparator;
  std::vector<char> block(kBlock);
  long long number = 1, lines = 0;
  Handle output = OpenOutput(folder + "1.txt");
  for (;;) {
    const long long count = ReadBlock(source, block.data());
    if (count <= 0) break;
    const char* pos = block.data();
    const char* const end = pos + count;
    const char* run = pos;
    while (pos < end) {
      const char* cr = static_cast<const char*>(std::memchr(pos, '\r', end - pos));
      if (cr == nullptr) break;
      pos = cr + 1;
      if (pos < end && *pos == '\n') ++pos;
      if (++lines == n) {
        if (!WriteAll(output, run, pos - run)) return 1;
        Close(output);
        output = OpenOutput(folder + std::to_string(++number) + ".txt");
        run = pos;
        lines = 0;
      }
    }
    if (!WriteAll(output, run, end - run)) return 1;
  }
  Close(output);
  Close(source);
  return 0;
}
