// tarnwick-split: parses the arguments, runs the split job with a progress line on a
// terminal, and turns the outcome into a message and an exit status.
#include "cli/cli.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <utility>

#include "cli/interrupt.h"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "unknown"
#endif

namespace tarnwick::cli {
namespace {

constexpr std::string_view kProgram = "tarnwick-split";
constexpr std::int32_t kDefaultLines = 1000;

// The usage line, with a line break.
std::string UsageLine() {
  return "usage: tarnwick-split [-l N] [-q] [--encoding E] SOURCE DIR\n";
}

// The --help text.
std::string HelpText() {
  const std::string sep(1, kPathSeparator);
  return UsageLine() + "\n" + "Splits SOURCE into DIR" + sep + "1.txt, DIR" + sep +
         "2.txt, ... of N lines each. A line ends at CR or\n"
         "CR LF; spaces at both ends of a line are removed, blank lines are dropped, every\n"
         "line is written with CR LF, and files that exist already are appended to. A new\n"
         "file is started after every N lines, so the last file may be empty. SOURCE and\n"
         "DIR are taken as given, spaces included.\n"
         "\n"
         "  -l, --lines=N  lines per file, a whole number from 1 to 2147483647 (default 1000)\n"
         "  -q, --quiet    no progress line (it is shown only when stderr is a terminal)\n"
         "      --encoding=E  the text encoding of SOURCE: auto (default), ansi, utf-16le,\n"
         "                 utf-16be or utf-8. auto goes by the byte-order mark at the start\n"
         "                 (FF FE, FE FF, EF BB BF) and takes a file without one as bytes of\n"
         "                 the ANSI code page, never converted. UTF-16 is split by its 16-bit\n"
         "                 units. A forced encoding is used whatever the first bytes are; its\n"
         "                 own mark at the start still counts as the mark. The mark is not\n"
         "                 part of the first line, and every file created or found empty\n"
         "                 starts with it; an existing file of another encoding is refused.\n"
         "      --help     show this help and exit\n"
         "      --version  show the version and exit\n"
         "\n"
         "Exit status: 0 done, 1 error, 2 usage error; 128 + the signal's number when\n"
         "stopped: 130 Ctrl-C, 143 SIGTERM (log-off, shut-down), 129 SIGHUP (terminal or\n"
         "console closed). The files written so far are kept, each ending with a whole line.\n";
}

// A whole number from 1 to 2147483647 written in decimal digits only, or nothing.
std::optional<std::int32_t> ParseLineCount(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483647) return std::nullopt;
  }
  if (value < 1) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

// The value of --encoding, or nothing for an unknown name.
std::optional<SourceEncoding> ParseEncoding(std::string_view name) {
  static constexpr std::pair<std::string_view, SourceEncoding> kNames[] = {
      {"auto", SourceEncoding::kAuto},        {"ansi", SourceEncoding::kAnsi},
      {"utf-16le", SourceEncoding::kUtf16Le}, {"utf-16be", SourceEncoding::kUtf16Be},
      {"utf-8", SourceEncoding::kUtf8},
  };
  for (const auto& [known, encoding] : kNames) {
    if (name == known) return encoding;
  }
  return std::nullopt;
}

// Bytes as a short human-readable figure, e.g. "512.0 MiB".
std::string FormatBytes(double bytes) {
  static constexpr const char* kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  int unit = 0;
  while (bytes >= 1024.0 && unit < 4) {
    bytes /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof(text), unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
  return text;
}

// The progress line on stderr: polled by the job once per block read and once per file,
// redrawn when the job has read more since the last look and at most four times a second.
class ProgressLine {
 public:
  ProgressLine(Console& console, const SplitProgress& progress)
      : console_(console),
        progress_(progress),
        interval_(console.ProgressInterval()),
        start_(Clock::now()),
        last_draw_(start_) {}

  // Redraws the line when it is due.
  void Poll() {
    if (progress_.bytes_read == polled_bytes_) return;
    polled_bytes_ = progress_.bytes_read;
    const Clock::time_point now = Clock::now();
    if (now - last_draw_ >= interval_) Draw(now);
  }

  // Draws the final figures and ends the line, if it was ever shown.
  void Finish() {
    if (width_ == 0) return;
    Draw(Clock::now());
    console_.Err("\n");
  }

 private:
  using Clock = std::chrono::steady_clock;

  void Draw(Clock::time_point now) {
    last_draw_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::string line = std::string(kProgram) + ": " + FormatBytes(progress_.bytes_read);
    if (progress_.source_size > 0) {
      const double percent = 100.0 * progress_.bytes_read / progress_.source_size;
      char figure[16];
      std::snprintf(figure, sizeof(figure), " (%.0f%%)", percent);
      line += " of " + FormatBytes(progress_.source_size) + figure;
    }
    line += ", " + std::to_string(progress_.lines_written) + " lines, " +
            std::to_string(progress_.file_number) + " files";
    if (seconds > 0) line += ", " + FormatBytes(progress_.bytes_read / seconds) + "/s";
    // Pad over the rest of a longer previous line; no terminal control sequences needed.
    const std::size_t length = line.size();
    if (length < width_) line.append(width_ - length, ' ');
    width_ = length;
    console_.Err("\r" + line);
  }

  Console& console_;
  const SplitProgress& progress_;
  std::chrono::milliseconds interval_;
  Clock::time_point start_;
  Clock::time_point last_draw_;
  std::uint64_t polled_bytes_ = 0;
  std::size_t width_ = 0;
};

// The job's host: fixed paths and line count, Ctrl-C as the stop flag, the progress line
// as the message pump. Its settings cannot change, so the job reads the Ctrl-C flag itself
// and calls LinesPerFile once per file and the pump once per block read.
class CliHost final : public SplitHost {
 public:
  CliHost(std::string source, std::string folder, std::int32_t lines, ProgressLine* progress)
      : source_(std::move(source)),
        folder_(std::move(folder)),
        lines_(lines),
        progress_(progress) {}

  std::string SourcePath() override { return source_; }
  bool TrimsPaths() override { return false; }  // SOURCE and DIR are taken as given
  std::string OutputFolder() override { return folder_; }
  double LinesPerFile() override {
    if (progress_ != nullptr) progress_->Poll();  // with -l 1 this comes with every line
    return lines_;
  }
  bool StopRequested() override { return InterruptRequested(); }
  void PumpMessages() override {
    if (progress_ != nullptr) progress_->Poll();
  }
  void JobStarted() override {}
  void JobFinished() override {}
  void JobStopped() override {}
  void JobFailed(const SplitError& error) override { error_ = error; }
  const std::atomic<bool>* FixedSettingsStopFlag() override { return &InterruptFlag(); }

  const std::optional<SplitError>& error() const { return error_; }

 private:
  std::string source_;
  std::string folder_;
  std::int32_t lines_;
  ProgressLine* progress_;
  std::optional<SplitError> error_;
};

// Whether `arg` is the long option `name`, alone or as "name=VALUE".
bool IsLongOption(std::string_view arg, std::string_view name) {
  return arg.starts_with(name) && (arg.size() == name.size() || arg[name.size()] == '=');
}

// The value of the long option `name` at args[i]: after its "=", or the next argument
// (then i moves on to it). False when there is none.
bool TakeOptionValue(const std::vector<std::string>& args, std::size_t& i, std::string_view name,
                     std::string& value) {
  if (args[i].size() > name.size()) {
    value = args[i].substr(name.size() + 1);
    return true;
  }
  if (i + 1 >= args.size()) return false;
  value = args[++i];
  return true;
}

// Reports a usage error: the problem, the usage line and a pointer to --help.
int UsageError(Console& console, const std::string& problem) {
  console.Err(std::string(kProgram) + ": " + problem + "\n" + UsageLine() +
              "Try 'tarnwick-split --help' for more information.\n");
  return kExitUsage;
}

// Reads the value of -l or --lines into `lines`; false after reporting a usage error.
bool TakeLineCount(Console& console, const std::string& value, std::int32_t& lines) {
  const std::optional<std::int32_t> parsed = ParseLineCount(value);
  if (!parsed) {
    UsageError(console,
               "invalid number of lines '" + value + "' (a whole number from 1 to 2147483647)");
    return false;
  }
  lines = *parsed;
  return true;
}

// Lets a console handler that waits for the job's files go on, whatever way the command
// line ends.
class FilesClosedNotice {
 public:
  FilesClosedNotice() = default;
  FilesClosedNotice(const FilesClosedNotice&) = delete;
  FilesClosedNotice& operator=(const FilesClosedNotice&) = delete;
  ~FilesClosedNotice() { NotifyFilesClosed(); }
};

}  // namespace

std::string DescribeError(const SplitError& error) {
  std::string verb;
  std::string reason = error.reason;
  switch (error.kind) {
    case SplitErrorKind::kSourceOpen:
      verb = "cannot open";
      break;
    case SplitErrorKind::kSourceRead:
      verb = "cannot read";
      break;
    case SplitErrorKind::kOutputWrite:
      verb = "cannot write";
      break;
    case SplitErrorKind::kOutputIsSource:
      verb = "cannot write";
      reason = "it is the source file";
      break;
    case SplitErrorKind::kCountOverflow:
      verb = "cannot write";
      reason = "more than 2147483647 files, or lines in one file";
      break;
    case SplitErrorKind::kOutputEncoding:
      verb = "cannot write";
      reason = "it holds text of another encoding (left unchanged)";
      break;
  }
  std::string text = verb + " '" + error.path + "'";
  if (!reason.empty()) text += ": " + reason;
  return text;
}

int RunCommandLine(const std::vector<std::string>& args, Console& console, FileSystem& files) {
  const FilesClosedNotice notice;
  std::int32_t lines = kDefaultLines;
  SourceEncoding encoding = SourceEncoding::kAuto;
  bool quiet = false;
  std::vector<std::string> operands;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help") {
      console.Out(HelpText());
      return kExitSuccess;
    } else if (arg == "--version") {
      console.Out(std::string(kProgram) + " " TARNWICK_VERSION "\n");
      return kExitSuccess;
    } else if (IsLongOption(arg, "--encoding")) {
      std::string value;
      if (!TakeOptionValue(args, i, "--encoding", value)) {
        return UsageError(console, "option --encoding needs an encoding");
      }
      const std::optional<SourceEncoding> parsed = ParseEncoding(value);
      if (!parsed) {
        return UsageError(
            console, "unknown encoding '" + value + "' (auto, ansi, utf-16le, utf-16be or utf-8)");
      }
      encoding = *parsed;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (IsLongOption(arg, "--lines")) {
      std::string value;
      if (!TakeOptionValue(args, i, "--lines", value)) {
        return UsageError(console, "option --lines needs a number of lines");
      }
      if (!TakeLineCount(console, value, lines)) return kExitUsage;
    } else if (arg[1] == '-') {
      return UsageError(console, "unknown option '" + arg + "'");
    } else {
      // A cluster of short options, e.g. -q, -l10, -ql 10.
      for (std::size_t k = 1; k < arg.size(); ++k) {
        if (arg[k] == 'q') {
          quiet = true;
        } else if (arg[k] == 'l') {
          std::string value;
          if (k + 1 < arg.size()) {
            value = arg.substr(k + 1);
          } else if (i + 1 < args.size()) {
            value = args[++i];
          } else {
            return UsageError(console, "option -l needs a number of lines");
          }
          if (!TakeLineCount(console, value, lines)) return kExitUsage;
          break;
        } else {
          return UsageError(console, "unknown option '-" + std::string(1, arg[k]) + "'");
        }
      }
    }
  }
  if (operands.size() < 2) return UsageError(console, "missing SOURCE or DIR");
  if (operands.size() > 2) return UsageError(console, "too many operands");

  SplitProgress progress;
  std::optional<ProgressLine> progress_line;
  if (!quiet && console.ErrIsTerminal()) progress_line.emplace(console, progress);
  CliHost host(operands[0], operands[1], lines, progress_line ? &*progress_line : nullptr);
  SplitOptions options;
  options.progress = &progress;
  options.encoding = encoding;
  SplitOutcome outcome;
  try {
    outcome = RunSplit(host, files, options);
    NotifyFilesClosed();  // before any more console output: the console may be closing
  } catch (const std::exception& error) {
    // The job could not go on (out of memory, for example): an error, not a crash.
    NotifyFilesClosed();
    if (progress_line) progress_line->Finish();
    console.Err(std::string(kProgram) + ": " + error.what() + "\n");
    return kExitFailure;
  }
  if (progress_line) progress_line->Finish();

  switch (outcome) {
    case SplitOutcome::kFinished:
      return kExitSuccess;
    case SplitOutcome::kStopped:
      return 128 + InterruptSignal();
    case SplitOutcome::kFailed:
      break;
  }
  console.Err(std::string(kProgram) + ": " +
              (host.error() ? DescribeError(*host.error()) : std::string("failed")) + "\n");
  return kExitFailure;
}

}  // namespace tarnwick::cli
