// The split job on the real file system of the platform (POSIX natively, Win32 under
// Wine): appending, UTF-8 names, large sources through the helper thread, and the
// system's own reasons for failures.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "memory_file_system.h"
#include "reference_model.h"
#include "splitter/split_job.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using testing::ReferenceFiles;
using testing::ScriptedHost;

// A path as the UTF-8 text the job takes.
std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A path from UTF-8 text.
fs::path FromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

// The numbered files of a folder, in number order.
std::vector<std::string> OutputFiles(const fs::path& folder) {
  std::vector<std::string> contents;
  for (int number = 1; fs::exists(folder / (std::to_string(number) + ".txt")); ++number) {
    contents.push_back(ReadFile(folder / (std::to_string(number) + ".txt")));
  }
  return contents;
}

class SystemFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    root_ = fs::temp_directory_path() / ("tarnwick-split-" + std::to_string(seed()));
    fs::create_directories(root_ / "out");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // Runs the job on the system file system.
  SplitOutcome Split(const fs::path& source, const fs::path& folder, double n,
                     const SplitOptions& options = {}, const SplitTuning& tuning = {}) {
    host_.source = Utf8(source);
    host_.folder = Utf8(folder);
    host_.lines_per_file = n;
    return RunSplit(host_, SystemFileSystem(), options, tuning);
  }

  // The name the job gives output file `number` of `folder`.
  static std::string OutputName(const fs::path& folder, int number) {
    return Utf8(folder) + kPathSeparator + std::to_string(number) + ".txt";
  }

  fs::path root_;
  ScriptedHost host_;
};

TEST_F(SystemFilesTest, SplitsAndAppends) {
  WriteFile(root_ / "in.txt", "a\r\n\r\n  b  \r\n   \r\nc\r\nd");
  WriteFile(root_ / "out" / "2.txt", "old\r\n");
  EXPECT_EQ(Split(root_ / "in.txt", root_ / "out", 2), SplitOutcome::kFinished);
  EXPECT_EQ(OutputFiles(root_ / "out"),
            (std::vector<std::string>{"a\r\nb\r\n", "old\r\nc\r\nd\r\n", ""}));
}

TEST_F(SystemFilesTest, MarkedSourceReadsTheStartOfExistingFiles) {
  // UTF-16 LE: an existing empty file gets the mark, one with the mark is appended to (its
  // last line, without a line end, gets one first), and one without it is refused
  // untouched -- the start and the end of each are read through the system.
  const std::string mark("\xFF\xFE", 2);
  WriteFile(root_ / "in.txt", mark + std::string("a\0\r\0b\0\r\0c\0\r\0d\0", 14));
  WriteFile(root_ / "out" / "1.txt", "");
  WriteFile(root_ / "out" / "2.txt", mark + std::string("o\0", 2));
  WriteFile(root_ / "out" / "3.txt", "ansi");
  EXPECT_EQ(Split(root_ / "in.txt", root_ / "out", 1), SplitOutcome::kFailed);
  ASSERT_TRUE(host_.error.has_value());
  EXPECT_EQ(host_.error->kind, SplitErrorKind::kOutputEncoding);
  EXPECT_EQ(host_.error->path, OutputName(root_ / "out", 3));
  EXPECT_EQ(OutputFiles(root_ / "out"),
            (std::vector<std::string>{mark + std::string("a\0\r\0\n\0", 6),
                                      mark + std::string("o\0\r\0\n\0b\0\r\0\n\0", 12), "ansi"}));
}

TEST_F(SystemFilesTest, LargeSourceThroughBothBufferModes) {
  // Several read blocks and many write buffers, written on the helper thread or not.
  std::mt19937 random(7);
  std::string source;
  while (source.size() < (3u << 20)) {
    const int kind = static_cast<int>(random() % 10);
    if (kind == 0) source += "   ";
    if (kind != 1) source += std::string(1 + random() % 120, static_cast<char>('a' + kind));
    if (kind == 2) source += "  ";
    source += kind == 3 ? "\r" : "\r\n";
  }
  WriteFile(root_ / "in.txt", source);
  for (const bool background : {true, false}) {
    fs::remove_all(root_ / "out");
    fs::create_directory(root_ / "out");
    SplitTuning tuning;
    tuning.read_buffer_size = 300000;
    tuning.write_buffer_size = 70000;
    tuning.background_writes = background;
    EXPECT_EQ(Split(root_ / "in.txt", root_ / "out", 7000, {}, tuning), SplitOutcome::kFinished);
    EXPECT_EQ(OutputFiles(root_ / "out"), ReferenceFiles(source, 7000)) << background;
  }
}

TEST_F(SystemFilesTest, Utf8Names) {
  const fs::path folder = root_ / FromUtf8("输出 目录");
  const fs::path source = root_ / FromUtf8("源文件.txt");
  fs::create_directory(folder);
  WriteFile(source, "\xD6\xD0\xCE\xC4\r\n");  // text in code page 936 stays as it is
  EXPECT_EQ(Split(source, folder, 5), SplitOutcome::kFinished);
  EXPECT_EQ(ReadFile(folder / "1.txt"), "\xD6\xD0\xCE\xC4\r\n");
}

TEST_F(SystemFilesTest, FailuresNameTheFileAndTheSystemsReason) {
  WriteFile(root_ / "in.txt", "a\r\nb\r\n");

  // Missing folder: nothing is created, the first output file is named.
  EXPECT_EQ(Split(root_ / "in.txt", root_ / "missing", 1), SplitOutcome::kFailed);
  ASSERT_TRUE(host_.error);
  EXPECT_EQ(host_.error->kind, SplitErrorKind::kOutputWrite);
  EXPECT_EQ(host_.error->path, OutputName(root_ / "missing", 1));
  EXPECT_FALSE(host_.error->reason.empty());
#ifndef _WIN32
  EXPECT_EQ(host_.error->reason, "No such file or directory");
#endif
  EXPECT_FALSE(fs::exists(root_ / "missing"));

  // Missing source, and a folder given as the source: no output file appears.
  for (const fs::path& source : {root_ / "absent.txt", root_ / "out"}) {
    host_.error.reset();
    EXPECT_EQ(Split(source, root_ / "out", 1), SplitOutcome::kFailed);
    ASSERT_TRUE(host_.error);
    EXPECT_EQ(host_.error->path, Utf8(source));
    EXPECT_FALSE(host_.error->reason.empty());
    EXPECT_TRUE(fs::is_empty(root_ / "out"));
  }
}

TEST_F(SystemFilesTest, OutputThatIsTheSourceIsRecognisedByIdentity) {
  const std::string content = "x\r\ny\r\nz\r\n";
  WriteFile(root_ / "out" / "2.txt", content);
  // Another spelling of out/2.txt: through "." (and in capitals on Windows).
#ifdef _WIN32
  const fs::path source = root_ / "out" / "." / "2.TXT";
#else
  const fs::path source = root_ / "out" / "." / "2.txt";
#endif
  EXPECT_EQ(Split(source, root_ / "out", 1), SplitOutcome::kFailed);
  ASSERT_TRUE(host_.error);
  EXPECT_EQ(host_.error->kind, SplitErrorKind::kOutputIsSource);
  EXPECT_EQ(host_.error->path, OutputName(root_ / "out", 2));
  EXPECT_EQ(ReadFile(root_ / "out" / "2.txt"), content);
  EXPECT_EQ(ReadFile(root_ / "out" / "1.txt"), "x\r\n");

  // Identities directly: equal for one file opened twice, different for two files.
  std::string error;
  auto first = SystemFileSystem().OpenRead(Utf8(root_ / "out" / "1.txt"), error);
  auto again = SystemFileSystem().OpenAppend(Utf8(root_ / "out" / "1.txt"), error);
  auto other = SystemFileSystem().OpenRead(Utf8(root_ / "out" / "2.txt"), error);
  ASSERT_TRUE(first && again && other) << error;
  EXPECT_EQ(first->Identity(), again->Identity());
  EXPECT_FALSE(first->Identity() == other->Identity());
  EXPECT_FALSE(first->Identity() == FileIdentity{});
  // A file just created is empty and has an identity of its own too.
  auto created = SystemFileSystem().OpenAppend(Utf8(root_ / "out" / "3.txt"), error);
  ASSERT_TRUE(created) << error;
  EXPECT_EQ(created->OpenedSize(), 0);
  EXPECT_TRUE(created->Identity().Known());
  EXPECT_FALSE(created->Identity() == first->Identity());
}

// For file systems whose file ids are all zero (some network shares): the final paths of
// the open files, equal for two names of one file and different for two files.
TEST_F(SystemFilesTest, ComparablePathsNameTheFileNotTheSpelling) {
  WriteFile(root_ / "out" / "1.txt", "x\r\n");
  WriteFile(root_ / "out" / "2.txt", "y\r\n");
#ifdef _WIN32
  const fs::path other_name = root_ / "OUT" / "." / "1.TXT";
#else
  fs::create_symlink(root_ / "out" / "1.txt", root_ / "link.txt");
  const fs::path other_name = root_ / "out" / ".." / "link.txt";
#endif
  std::string error;
  auto first = SystemFileSystem().OpenRead(Utf8(root_ / "out" / "1.txt"), error);
  auto again = SystemFileSystem().OpenAppend(Utf8(other_name), error);
  auto other = SystemFileSystem().OpenAppend(Utf8(root_ / "out" / "2.txt"), error);
  ASSERT_TRUE(first && again && other) << error;
  EXPECT_FALSE(first->ComparablePath().empty());
  EXPECT_EQ(first->ComparablePath(), again->ComparablePath());
  EXPECT_NE(first->ComparablePath(), other->ComparablePath());
  EXPECT_NE(again->ComparablePath(), other->ComparablePath());
#ifdef _WIN32
  // Names that differ in case only are one file: the path is in one case (some servers
  // report the case of the name that was opened).
  const std::string path = first->ComparablePath();
  EXPECT_EQ(path.find_first_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << path;
#endif
  std::string ignored;
  again->Close(ignored);
  EXPECT_EQ(again->ComparablePath(), "");  // a closed file has none
}

// Cutting an output file back: later appends go after the cut (ReadHead moves none of
// them); a size past the end is refused.
TEST_F(SystemFilesTest, CutBackDropsTheTailAndAppendsAfterIt) {
  const struct {
    std::string old_content;
    std::uint64_t cut;
    bool cuts;
    std::string after;  // after "a\r\nbc" is written, cut back and "z\r\n" appended
  } cases[] = {{"old\r\n", 8, true, "old\r\na\r\nz\r\n"},
               {"", 0, true, "z\r\n"},
               {"old", 9, false, "olda\r\nbcz\r\n"}};
  const fs::path path = root_ / "out" / "cut.txt";
  for (const auto& c : cases) {
    WriteFile(path, c.old_content);
    std::string error;
    char head[4];
    auto file = SystemFileSystem().OpenAppend(Utf8(path), error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->OpenedSize(), static_cast<std::int64_t>(c.old_content.size()));
    EXPECT_GE(file->ReadHead(head, sizeof(head), error), 0) << error;
    EXPECT_TRUE(file->Write("a\r\nbc", 5, error)) << error;
    EXPECT_EQ(file->CutBack(c.cut, error), c.cuts) << c.old_content;
    EXPECT_TRUE(file->Write("z\r\n", 3, error) && file->Close(error)) << error;
    EXPECT_EQ(ReadFile(path), c.after);
  }
}

// A pipe (a FIFO on POSIX) whose writer is idle: with a stop flag, the waiting read ends
// once a stop is requested and the reads are woken, as the signal and console handlers
// do; bytes already there are read first.
// A pipe the test writes into and the job reads from: a named pipe on Windows, a FIFO
// elsewhere (opened for both, so that a reader's open does not wait).
class TestPipe {
 public:
  explicit TestPipe(const fs::path& root) {
#ifdef _WIN32
    name = "\\\\.\\pipe\\" + Utf8(root.filename());
    writer_ = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0,
                               nullptr);
#else
    name = Utf8(root / "fifo");
    ::mkfifo(name.c_str(), 0600);
    writer_ = ::open(name.c_str(), O_RDWR);
#endif
  }
  TestPipe(const TestPipe&) = delete;
  TestPipe& operator=(const TestPipe&) = delete;
  ~TestPipe() {
#ifdef _WIN32
    CloseHandle(writer_);
#else
    ::close(writer_);
#endif
  }
  bool Send(std::string_view bytes) {
#ifdef _WIN32
    DWORD count = 0;
    return ::WriteFile(writer_, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) !=
           0;
#else
    return ::write(writer_, bytes.data(), bytes.size()) > 0;
#endif
  }
  std::string name;

 private:
#ifdef _WIN32
  HANDLE writer_;
#else
  int writer_;
#endif
};

// Once `ready`, sets `stop` a little later (the reader waits by then) and wakes the reads
// until `done` says the reader has seen it.
std::thread RequestStop(
    FileSystem& files, std::atomic<bool>& stop, const std::function<bool()>& done,
    const std::function<void()>& late, const std::function<bool()>& ready = [] { return true; }) {
  return std::thread([&files, &stop, done, late, ready] {
    for (int i = 0; i < 3000 && !ready(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    stop = true;
    for (int i = 0; i < 100 && !done(); ++i) {  // again until the read has ended
      files.WakeReads();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!done()) late();  // the read kept waiting
  });
}

TEST_F(SystemFilesTest, StopRequestEndsAReadWaitingForData) {
  TestPipe pipe(root_);
  std::atomic<bool> stop{false};
  FileSystem& files = SystemFileSystem();
  files.SetStopFlag(&stop);
  std::string error;
  auto source = files.OpenRead(pipe.name, error);
  ASSERT_TRUE(source) << error;
  char bytes[16];
  ASSERT_TRUE(pipe.Send("a\r\n"));
  EXPECT_EQ(source->Read(bytes, sizeof(bytes), error), 3);
  std::atomic<bool> returned{false};
  std::thread requester = RequestStop(
      files, stop, [&] { return returned.load(); }, [&] { pipe.Send("late"); });
  EXPECT_EQ(source->Read(bytes, sizeof(bytes), error), InputFile::kInterrupted);
  returned = true;
  requester.join();
  ASSERT_TRUE(pipe.Send("b"));
  EXPECT_EQ(source->Read(bytes, sizeof(bytes), error), 1);
  files.SetStopFlag(nullptr);
}

// Standard input redirected from a file that was read in part already: its size is what
// is left to read, and reading goes on from there.
TEST_F(SystemFilesTest, StandardInputReadInPartHasTheSizeLeft) {
  WriteFile(root_ / "source", "skip\r\nrest\r\n");
  std::string error;
#ifdef _WIN32
  const HANDLE redirected = CreateFileW((root_ / "source").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(redirected, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFilePointerEx(redirected, LARGE_INTEGER{{6, 0}}, nullptr, FILE_BEGIN));
  const HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
  SetStdHandle(STD_INPUT_HANDLE, redirected);
  auto input = SystemFileSystem().OpenStandardInput(error);
  SetStdHandle(STD_INPUT_HANDLE, saved);
  CloseHandle(redirected);
#else
  const int redirected = open((root_ / "source").c_str(), O_RDONLY);
  ASSERT_EQ(lseek(redirected, 6, SEEK_SET), 6);
  const int saved = dup(STDIN_FILENO);
  dup2(redirected, STDIN_FILENO);
  auto input = SystemFileSystem().OpenStandardInput(error);
  dup2(saved, STDIN_FILENO);
  close(saved);
  close(redirected);
#endif
  ASSERT_TRUE(input) << error;
  EXPECT_EQ(input->Size(), 6);
  char bytes[16];
  // A look ahead counts from there too, and leaves the reading where it was.
  ASSERT_EQ(input->ReadAt(2, bytes, sizeof(bytes)), 4);
  EXPECT_EQ(std::string(bytes, 4), "st\r\n");
  EXPECT_EQ(input->Read(bytes, sizeof(bytes), error), 6);
  EXPECT_EQ(std::string(bytes, 6), "rest\r\n");
}

// With a size limit, a line longer than the output buffer is measured by reading ahead in
// the source: it stays in the file it fits in, and the job reads on from where it was.
TEST_F(SystemFilesTest, ALongLineIsMeasuredInTheSource) {
  const std::string source = "a\r\n" + std::string(100, 'x') + "  \r\nb\r\n" + std::string(30, 'y');
  WriteFile(root_ / "in.txt", source);
  SplitTuning tuning;
  tuning.read_buffer_size = 8;
  tuning.write_buffer_size = tuning.line_bound = 16;
  const testing::ModelSplit split{.n = 0, .cut = CutBy::kBytes, .max_bytes = 110};
  EXPECT_EQ(Split(root_ / "in.txt", root_ / "out", 1, testing::WithModelSplit({}, split), tuning),
            SplitOutcome::kFinished);
  EXPECT_EQ(OutputFiles(root_ / "out"), testing::ModelFiles(source, {}, split));
  EXPECT_EQ(OutputFiles(root_ / "out").size(), 2u);
}

// The job on a pipe: a stop while it waits inside a line longer than its write buffer ends
// it as stopped at once, and the part of that line already written is cut back.
TEST_F(SystemFilesTest, AStopInsideALongLineFromAPipeCutsItBack) {
  TestPipe pipe(root_);
  std::atomic<bool> stop{false};
  host_.fixed_settings_stop = &stop;
  // A named pipe takes bytes only once the job has opened it.
  std::atomic<bool> sent{false};
  std::thread sender([&] {
    for (int i = 0; i < 3000 && !pipe.Send("a\r\nb\r\n" + std::string(300, 'x')); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    sent = true;
  });
  std::thread requester = RequestStop(
      SystemFileSystem(), stop, [&] { return host_.events.size() >= 2; },
      [&] { pipe.Send("\r\n"); }, [&] { return sent.load(); });
  SplitTuning tuning;
  tuning.write_buffer_size = 64;
  EXPECT_EQ(Split(FromUtf8(pipe.name), root_ / "out", 100, {}, tuning), SplitOutcome::kStopped);
  sender.join();
  requester.join();
  EXPECT_EQ(ReadFile(root_ / "out" / "1.txt"), "a\r\nb\r\n");
}

#ifndef _WIN32
// On a volume of 64 KiB (a tmpfs, where the tests may mount one) written until it is full,
// the last write gets part of a line in; the file is cut back to its last whole line.
TEST_F(SystemFilesTest, FullVolumeCutsBackToTheLastWholeLine) {
  const fs::path volume = root_ / "volume";
  fs::create_directory(volume);
  if (::mount("tarnwick", volume.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  std::string error;
  auto file = SystemFileSystem().OpenAppend(Utf8(volume / "1.txt"), error);
  ASSERT_TRUE(file) << error;
  const std::string line = std::string(98, 'x') + "\r\n";
  std::uint64_t whole = 0;
  while (file->Write(line.data(), line.size(), error)) whole += line.size();
  EXPECT_EQ(error, "No space left on device");
  EXPECT_GT(fs::file_size(volume / "1.txt"), whole);
  EXPECT_TRUE(file->CutBack(whole, error) && file->Close(error)) << error;
  EXPECT_EQ(fs::file_size(volume / "1.txt"), whole);
  file.reset();
  fs::remove(volume / "1.txt");

  // The job on the full volume: 1 MiB of 100-byte lines, 100 lines a file. It fails naming
  // the file and the cause; every file holds whole lines, as many as it reports.
  std::string source;
  for (int i = 0; source.size() < (1 << 20); ++i) source += std::string(98, 'a' + i % 26) + "\r\n";
  WriteFile(root_ / "in.txt", source);
  SplitProgress progress;
  SplitOptions options;
  options.progress = &progress;
  EXPECT_EQ(Split(root_ / "in.txt", volume, 100, options), SplitOutcome::kFailed);
  ASSERT_TRUE(host_.error);
  EXPECT_EQ(host_.error->reason, "No space left on device");
  std::string kept;
  for (const std::string& content : OutputFiles(volume)) {
    EXPECT_EQ(content.size() % 100, 0u);
    kept += content;
  }
  EXPECT_EQ(kept, source.substr(0, kept.size()));
  EXPECT_EQ(static_cast<std::uint64_t>(progress.lines_written), kept.size() / 100);
  ::umount(volume.c_str());
}

// An output file the user may write but not read is opened for writing only and judged by
// its size. Run as a user without the administrator's right to read every file.
TEST_F(SystemFilesTest, WriteOnlyOutputIsJudgedByItsSize) {
  fs::permissions(root_ / "out", fs::perms::all);
  const fs::path empty = root_ / "out" / "1.txt";
  const fs::path full = root_ / "out" / "2.txt";
  WriteFile(empty, "");
  WriteFile(full, "old\r\n");
  for (const fs::path& path : {empty, full}) {
    fs::permissions(path,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);
  }
  EXPECT_EXIT(
      {
        if (::geteuid() == 0 && ::setuid(65534) != 0) _exit(2);
        std::string error;
        char head[4];
        auto first = SystemFileSystem().OpenAppend(Utf8(empty), error);
        auto second = SystemFileSystem().OpenAppend(Utf8(full), error);
        const bool judged = first && second && first->ReadHead(head, 4, error) == 0 &&
                            second->ReadHead(head, 4, error) == OutputFile::kHeadUnreadable &&
                            error == "Permission denied";
        _exit(judged && second->Write("x\r\n", 3, error) && second->Close(error) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  fs::permissions(full, fs::perms::owner_all);
  EXPECT_EQ(ReadFile(full), "old\r\nx\r\n");
}

TEST_F(SystemFilesTest, FullDiskStopsTheJob) {
  // 1.txt leads to /dev/full, where every write fails as on a full disk.
  WriteFile(root_ / "in.txt", "a\r\nb\r\nc\r\n");
  fs::create_symlink("/dev/full", root_ / "out" / "1.txt");
  EXPECT_EQ(Split(root_ / "in.txt", root_ / "out", 2), SplitOutcome::kFailed);
  ASSERT_TRUE(host_.error);
  EXPECT_EQ(host_.error->kind, SplitErrorKind::kOutputWrite);
  EXPECT_EQ(host_.error->path, OutputName(root_ / "out", 1));
  EXPECT_EQ(host_.error->reason, "No space left on device");
  EXPECT_FALSE(fs::exists(root_ / "out" / "2.txt"));
}
#endif

}  // namespace
}  // namespace tarnwick
