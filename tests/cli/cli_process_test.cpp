// The real tarnwick-split process (POSIX): a Ctrl-C (SIGINT) while it waits for more of
// its source stops it like the Stop button: exit 130, files closed, what was written kept.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(TarnwickSplitProcess, SigintStopsLikeTheStopButton) {
  std::random_device seed;
  const fs::path root = fs::temp_directory_path() / ("tarnwick-cli-" + std::to_string(seed()));
  fs::create_directories(root / "out");
  const fs::path fifo = root / "source";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl(TARNWICK_SPLIT_PATH, "tarnwick-split", "-q", "-l", "2", fifo.c_str(),
          (root / "out").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const int source = open(fifo.c_str(), O_WRONLY);  // waits until the tool opens it
  ASSERT_GE(source, 0);
  ASSERT_EQ(write(source, "a\r\nb\r\n", 6), 6);

  // 1.txt is written and closed once the tool has gone on to wait for more of the source.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ReadFile(root / "out" / "1.txt") != "a\r\nb\r\n" &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(ReadFile(root / "out" / "1.txt"), "a\r\nb\r\n");

  // The stop is seen before the next line is read: "c" is never written.
  ASSERT_EQ(kill(child, SIGINT), 0);
  ASSERT_EQ(write(source, "c\r\n", 3), 3);
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

}  // namespace
