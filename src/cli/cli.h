// The command-line splitter: argument handling, progress line and messages around the job.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "splitter/split_job.h"

namespace tarnwick::cli {

// Exit statuses of tarnwick-split.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

// Where the tool's texts go (UTF-8).
class Console {
 public:
  virtual ~Console() = default;
  virtual void Out(std::string_view text) = 0;
  virtual void Err(std::string_view text) = 0;
  virtual bool ErrIsTerminal() = 0;  // the progress line is drawn only on a terminal
  // Least time between two drawings of the progress line (at most four a second).
  virtual std::chrono::milliseconds ProgressInterval() { return std::chrono::milliseconds(250); }
};

// Runs `tarnwick-split` with its arguments (without the program name); returns the exit
// status. A Ctrl-C seen through InterruptRequested() stops the job like the Stop button.
int RunCommandLine(const std::vector<std::string>& args, Console& console, FileSystem& files);

// The one-line message for a failed job, without the program name and line break.
std::string DescribeError(const SplitError& error);

}  // namespace tarnwick::cli
