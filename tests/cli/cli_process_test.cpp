// The real tarnwick-split process (POSIX): a Ctrl-C (SIGINT) while it waits for more of
// its source stops it like the Stop button: exit 130, files closed, what was written kept.
// SIGTERM and SIGHUP in the middle of a job do the same, each file ending with a whole line.
// Sources and outputs that are not regular files, standard input closed, a new DIR.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The tool started on a FIFO in a folder of its own, with its output in root/out.
struct ToolOnFifo {
  fs::path root;
  pid_t child = -1;
  int source = -1;  // the FIFO's write end, open once the tool has opened the FIFO
};

ToolOnFifo StartOnFifo(const std::string& prefix, const char* lines) {
  ToolOnFifo tool;
  signal(SIGPIPE, SIG_IGN);  // writes after the tool has gone fail with EPIPE instead
  std::random_device seed;
  tool.root = fs::temp_directory_path() / (prefix + std::to_string(seed()));
  fs::create_directories(tool.root / "out");
  const fs::path fifo = tool.root / "source";
  if (mkfifo(fifo.c_str(), 0600) != 0) return tool;
  tool.child = fork();
  if (tool.child == 0) {
    execl(TARNWICK_SPLIT_PATH, "tarnwick-split", "-q", "-l", lines, fifo.c_str(),
          (tool.root / "out").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (tool.child > 0) tool.source = open(fifo.c_str(), O_WRONLY);  // waits for the tool
  return tool;
}

// Waits up to 30 s for `path` to hold `content`; false when it does not by then.
bool WaitForContent(const fs::path& path, const std::string& content) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ReadFile(path) != content && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return ReadFile(path) == content;
}

TEST(TarnwickSplitProcess, SigintStopsLikeTheStopButton) {
  const auto [root, child, source] = StartOnFifo("tarnwick-cli-", "2");
  ASSERT_GE(source, 0);
  ASSERT_EQ(write(source, "a\nb\n", 4), 4);

  // 1.txt is written and closed once the tool has gone on to wait for more of the source
  // (a line that an LF ends is whole at once: no unit after it is waited for).
  ASSERT_TRUE(WaitForContent(root / "out" / "1.txt", "a\r\nb\r\n"));

  // The stop ends the waiting read at once, with no more of the source needed.
  ASSERT_EQ(kill(child, SIGINT), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  close(source);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_EQ(ReadFile(root / "out" / "1.txt"), "a\r\nb\r\n");
  EXPECT_TRUE(fs::exists(root / "out" / "2.txt"));  // opened after 1.txt, closed at the stop
  EXPECT_EQ(ReadFile(root / "out" / "2.txt"), "");
  EXPECT_FALSE(fs::exists(root / "out" / "3.txt"));
  fs::remove_all(root);
}

// SOURCE '-' reads a pipe on standard input to its end, LF lines split as lines.
TEST(TarnwickSplitProcess, ReadsAPipeOnStandardInput) {
  std::random_device seed;
  const fs::path root = fs::temp_directory_path() / ("tarnwick-stdin-" + std::to_string(seed()));
  fs::create_directories(root);
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(pipe_ends[0], STDIN_FILENO);
    close(pipe_ends[1]);
    execl(TARNWICK_SPLIT_PATH, "tarnwick-split", "-l", "2", "--name={stem}-{n}.txt", "-",
          root.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_ends[0]);
  ASSERT_EQ(write(pipe_ends[1], "a\nb\n c \n", 8), 8);
  close(pipe_ends[1]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(root / "stdin-1.txt"), "a\r\nb\r\n");
  EXPECT_EQ(ReadFile(root / "stdin-2.txt"), "c\r\n");
  fs::remove_all(root);
}

// The source stream: "line 1\r\n", "line 2\r\n", ... without end.
std::string Lines(std::int64_t first, std::int64_t count) {
  std::string text;
  for (std::int64_t i = first; i < first + count; ++i) text += "line " + std::to_string(i) + "\r\n";
  return text;
}

class StopSignalTest : public ::testing::TestWithParam<int> {};

// The tool is busy with a source that never ends (a pipe that keeps getting lines); the
// signal comes in the middle of the job, while output buffers are being written.
TEST_P(StopSignalTest, StopsLikeCtrlCWithWholeLinesInEveryFile) {
  const int signal_number = GetParam();
  const auto [root, child, source] = StartOnFifo("tarnwick-sig-", "30000");
  ASSERT_GE(source, 0);
  // Writes in pieces that end inside a line, until the tool has gone.
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    std::int64_t next = 1;
    std::string pending;
    while (writing) {
      pending += Lines(next, 5000);
      next += 5000;
      const std::size_t piece = pending.size() - 7;
      if (write(source, pending.data(), piece) < 0) return;
      pending.erase(0, piece);
    }
  });
  // Signalled once the output has started and a few files are done.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(root / "out" / "4.txt") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(kill(child, signal_number), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  writing = false;
  close(source);
  writer.join();
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  if (WIFEXITED(status)) {
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
  }

  // Every file holds whole lines, the full ones 30000 each, all in order from line 1.
  std::int64_t next = 1;
  for (int number = 1; fs::exists(root / "out" / (std::to_string(number) + ".txt")); ++number) {
    const std::string text = ReadFile(root / "out" / (std::to_string(number) + ".txt"));
    const std::int64_t count =
        static_cast<std::int64_t>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(text, Lines(next, count)) << number << ".txt";
    if (fs::exists(root / "out" / (std::to_string(number + 1) + ".txt"))) {
      EXPECT_EQ(count, 30000) << number << ".txt";
    }
    next += count;
  }
  EXPECT_GT(next, 3 * 30000);
  fs::remove_all(root);
}

// The source is a FIFO whose writer has gone quiet inside a line: the signal stops the job
// at once, without waiting for more data, and no file holds a part of a line.
TEST_P(StopSignalTest, StopsAtOnceWhileTheSourceIsIdle) {
  const int signal_number = GetParam();
  const auto [root, child, source] = StartOnFifo("tarnwick-idle-", "2");
  ASSERT_GE(source, 0);
  ASSERT_EQ(write(source, "a\r\nb\r\nc", 7), 7);
  ASSERT_TRUE(WaitForContent(root / "out" / "1.txt", "a\r\nb\r\n"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the tool waits for more

  const auto signalled = std::chrono::steady_clock::now();
  ASSERT_EQ(kill(child, signal_number), 0);
  int status = 0;
  pid_t ended = 0;
  while ((ended = waitpid(child, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() - signalled < std::chrono::seconds(2)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const auto waited = std::chrono::steady_clock::now() - signalled;
  if (ended == 0) {  // still waiting: a new line lets it see the stop
    ASSERT_EQ(write(source, "\r\nd\r\n", 5), 5);
    close(source);
    ASSERT_EQ(waitpid(child, &status, 0), child);
  } else {
    close(source);
  }
  EXPECT_NE(ended, 0) << "still waiting for the source "
                      << std::chrono::duration_cast<std::chrono::milliseconds>(waited).count()
                      << " ms after the signal";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
  EXPECT_EQ(ReadFile(root / "out" / "1.txt"), "a\r\nb\r\n");
  const std::string second = ReadFile(root / "out" / "2.txt");
  EXPECT_TRUE(second.empty() || second.ends_with("\r\n")) << second;
  fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(TarnwickSplitProcess, StopSignalTest, ::testing::Values(SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == SIGTERM ? "Sigterm" : "Sighup";
                         });

// Starts the tool with `args` in the folder `root`, its output and errors into
// root/errors.txt (standard input closed when asked); returns its process id.
pid_t StartTool(const fs::path& root, std::vector<std::string> args, bool close_input) {
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(root.c_str()) != 0) _exit(126);
    const int errors = open("errors.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(errors, STDOUT_FILENO);
    dup2(errors, STDERR_FILENO);
    close(errors);
    if (close_input) close(STDIN_FILENO);
    std::vector<char*> argv{const_cast<char*>("tarnwick-split")};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(TARNWICK_SPLIT_PATH, argv.data());
    _exit(127);
  }
  return child;
}

// The exit status, or -1 when the tool has not ended within `seconds` (it is then killed).
int WaitForTool(pid_t child, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TarnwickSplitProcess, StreamsStandardInputAndNewFolders) {
  std::random_device seed;
  const fs::path root = fs::temp_directory_path() / ("tarnwick-streams-" + std::to_string(seed()));
  fs::create_directories(root / "out");
  ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
  std::ofstream(root / "in.txt") << "a\nb\n";

  // One endless line (a source that never makes a read wait): Ctrl-C is seen inside it, and
  // the file is cut back to its last whole line.
  const pid_t endless = StartTool(root, {"-q", "-k", "/dev/zero", "zero"}, false);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while ((!fs::exists(root / "zero" / "1.txt") || fs::file_size(root / "zero" / "1.txt") == 0) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(endless, SIGINT);
  EXPECT_EQ(WaitForTool(endless, 10), 130);
  EXPECT_EQ(fs::file_size(root / "zero" / "1.txt"), 0u);

  // Standard input closed is an error, not a wait; -n on a FIFO without a writer a usage
  // error at once.
  EXPECT_EQ(WaitForTool(StartTool(root, {"-", "out"}, true), 10), 1);
  EXPECT_EQ(ReadFile(root / "errors.txt"),
            "tarnwick-split: cannot read '-': standard input is closed\n");
  EXPECT_EQ(WaitForTool(StartTool(root, {"-n", "2", "fifo", "out"}, false), 10), 2);
  EXPECT_FALSE(fs::exists(root / "out" / "1.txt"));

  // A missing DIR is made with its parents; a FIFO where an output goes is written as a
  // stream, read by its reader.
  EXPECT_EQ(WaitForTool(StartTool(root, {"-k", "in.txt", "new/sub/dir"}, false), 10), 0);
  EXPECT_EQ(ReadFile(root / "new" / "sub" / "dir" / "1.txt"), "a\nb\n");
  ASSERT_EQ(mkfifo((root / "out" / "1.txt").c_str(), 0600), 0);
  std::string read;
  std::thread reader([&] { read = ReadFile(root / "out" / "1.txt"); });
  EXPECT_EQ(WaitForTool(StartTool(root, {"in.txt", "out"}, false), 10), 0);
  reader.join();
  EXPECT_EQ(read, "a\r\nb\r\n");
  fs::remove_all(root);
}

}  // namespace
