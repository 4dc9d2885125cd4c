// tarnwick-split: parses the arguments, runs the split job with a progress line on a
// terminal, and turns the outcome into a message and an exit status.
#include "cli/cli.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
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
  return "usage: tarnwick-split [OPTION]... SOURCE DIR\n";
}

// The --help text.
std::string HelpText() {
  const std::string sep(1, kPathSeparator);
  return UsageLine() + "\n" + "Splits SOURCE into DIR" + sep + "1.txt, DIR" + sep +
         "2.txt, ...; SOURCE '-' reads standard input.\n"
         "A line ends at CR or CR LF, and also at a lone LF when the first line end of\n"
         "SOURCE is an LF (text from Linux, macOS, Git and the web). Spaces at both ends of\n"
         "a line are removed, blank lines dropped and every line written with CR LF, unless\n"
         "--keep. Files that exist already are appended to (see --replace); an old last line\n"
         "without a line end gets one first. A missing DIR is created. SOURCE and DIR are\n"
         "taken as given, spaces included.\n"
         "\n"
         "Where a file ends (one of the three):\n"
         "  -l, --lines=N       N lines a file (default 1000); without -b, -n, --header and\n"
         "                      --keep a new file follows every full one, so the last may be\n"
         "                      empty. What an existing file holds does not count toward N\n"
         "                      (see --replace)\n"
         "  -b, --bytes=SIZE    files of at most SIZE bytes of whole lines; SIZE a whole\n"
         "                      number, optional suffix K M G (1024, 1024^2, 1024^3) or KB MB\n"
         "                      GB (1000, 1000^2, 1000^3); a line that alone does not fit\n"
         "                      goes into a file of its own; lines are never cut. What an\n"
         "                      existing file holds does not count toward SIZE (see\n"
         "                      --replace). A line longer than 2 MiB is measured in SOURCE;\n"
         "                      from a pipe, which cannot be read ahead, such a line after\n"
         "                      others starts a new file\n"
         "  -n, --parts=K       exactly K files of about equal size, lines whole (SOURCE must\n"
         "                      be a file whose size is known, not a pipe)\n"
         "Lines and names:\n"
         "      --header[=K]    the first K lines (default 1) start every file the job\n"
         "                      creates or finds empty, and are not counted in N (at most\n"
         "                      2 MiB together)\n"
         "  -k, --keep          lines as they are: no trim, blank lines kept, each line with\n"
         "                      its own line end; the files put together, less the mark each\n"
         "                      starts with, are SOURCE\n"
         "      --name=PATTERN  file names: {n} the number, {n:W} zero-padded to W digits,\n"
         "                      {stem} SOURCE's name without its last extension, {ext} that\n"
         "                      extension without the dot (standard input: 'stdin', '');\n"
         "                      default {n}.txt\n"
         "      --start=M       number of the first file (default 1)\n"
         "      --replace       empty each output file the job opens before writing to it,\n"
         "                      rather than append to it (files of numbers the job does not\n"
         "                      reach are left alone)\n"
         "      --line-ends=E   auto (default, as above), cr (CR and CR LF; a lone LF is a\n"
         "                      character) or any (CR, LF and CR LF)\n"
         "      --encoding=E    the text encoding of SOURCE: auto (default), ansi, utf-16le,\n"
         "                      utf-16be or utf-8. auto goes by the byte-order mark at the\n"
         "                      start (FF FE, FE FF, EF BB BF) and takes a file without one as\n"
         "                      bytes of the ANSI code page, never converted. UTF-16 is split\n"
         "                      by its 16-bit units. A forced encoding is used whatever the\n"
         "                      first bytes are; its own mark at the start still counts as\n"
         "                      the mark. The mark is not part of the first line; every file\n"
         "                      created or found empty starts with it (UTF-16 always has\n"
         "                      one); an existing file of another encoding, or that starts\n"
         "                      with another mark, is refused. A final odd byte of UTF-16\n"
         "                      ends the last file.\n"
         "Output:\n"
         "  -v, --verbose       print each file's path when it is finished, and the totals\n"
         "                      (lines, files, bytes read, the job's seconds)\n"
         "  -q, --quiet         no progress line (it is shown only when stderr is a terminal)\n"
         "      --help          show this help and exit\n"
         "      --version       show the version and exit\n"
         "\n"
         "Examples:\n"
         "  tarnwick-split -l 100000 --header --name={stem}_{n:3}.csv data.csv parts\n"
         "      a CSV with its header into files of 100,000 rows: data_001.csv, ...\n"
         "  tarnwick-split -b 20MB --keep app.log logs\n"
         "      a log into files of at most 20 MB, every byte as it was\n"
         "  tarnwick-split -n 4 --keep big.txt work\n"
         "      a file into 4 parts of about equal size\n"
         "  zcat big.gz | tarnwick-split -l 5000 - out\n"
         "      from a pipe\n"
         "\n"
         "Exit status: 0 done, 1 error, 2 usage error; 128 + the signal's number when\n"
         "stopped: 130 Ctrl-C, 143 SIGTERM (log-off, shut-down), 129 SIGHUP (terminal or\n"
         "console closed). The files written so far are kept, each ending with a whole line.\n";
}

// A whole number from `least` to 2147483647 in decimal digits only, or nothing.
std::optional<std::int32_t> ParseCount(std::string_view text, std::int32_t least) {
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483647) return std::nullopt;
  }
  if (value < least) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

// A size of at least one byte: digits and an optional suffix K M G (powers of 1024) or KB
// MB GB (powers of 1000); nothing when malformed, 0 or past 2^64 - 1 (`too_large` then).
std::optional<std::uint64_t> ParseSize(std::string_view text, bool& too_large) {
  too_large = false;
  static constexpr std::pair<std::string_view, std::uint64_t> kSuffixes[] = {
      {"", 1},
      {"K", 1ull << 10},
      {"M", 1ull << 20},
      {"G", 1ull << 30},
      {"KB", 1000},
      {"MB", 1000 * 1000},
      {"GB", 1000ull * 1000 * 1000},
  };
  const std::size_t digits = std::min(text.find_first_not_of("0123456789"), text.size());
  const std::string_view number = text.substr(0, digits);
  const std::string_view suffix = text.substr(digits);
  if (number.empty()) return std::nullopt;
  for (const auto& [name, factor] : kSuffixes) {
    if (suffix != name) continue;
    std::uint64_t value = 0;
    for (const char c : number) {
      const auto digit = static_cast<std::uint64_t>(c - '0');
      too_large = value > (UINT64_MAX - digit) / 10;
      if (too_large) return std::nullopt;
      value = value * 10 + digit;
    }
    too_large = value > UINT64_MAX / factor;
    if (value == 0 || too_large) return std::nullopt;
    return value * factor;
  }
  return std::nullopt;
}

// A value of a fixed set of names, or nothing for an unknown name.
template <class Value, std::size_t kCount>
std::optional<Value> ParseName(std::string_view name,
                               const std::pair<std::string_view, Value> (&names)[kCount]) {
  for (const auto& [known, value] : names) {
    if (name == known) return value;
  }
  return std::nullopt;
}

constexpr std::pair<std::string_view, SourceEncoding> kEncodings[] = {
    {"auto", SourceEncoding::kAuto},        {"ansi", SourceEncoding::kAnsi},
    {"utf-16le", SourceEncoding::kUtf16Le}, {"utf-16be", SourceEncoding::kUtf16Be},
    {"utf-8", SourceEncoding::kUtf8},
};

constexpr std::pair<std::string_view, LineEnds> kLineEndRules[] = {
    {"auto", LineEnds::kAuto}, {"cr", LineEnds::kCr}, {"any", LineEnds::kAny}};

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
// and calls LinesPerFile once per file and the pump once per block read. SOURCE '-' is
// the console's standard input; with --verbose each finished file is printed.
class CliHost final : public SplitHost {
 public:
  CliHost(Console& console, std::string source, std::string folder, std::int32_t lines,
          ProgressLine* progress, bool verbose)
      : console_(console),
        source_(std::move(source)),
        folder_(std::move(folder)),
        lines_(lines),
        progress_(progress),
        verbose_(verbose) {}

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
  std::unique_ptr<InputFile> OpenSource(FileSystem& files, const std::string& path,
                                        std::string& error) override {
    return path == "-" ? files.OpenStandardInput(error) : files.OpenRead(path, error);
  }
  void FileFinished(const std::string& path) override {
    ++files_made_;
    if (verbose_) console_.Out(path + "\n");
  }

  const std::optional<SplitError>& error() const { return error_; }
  std::int64_t files_made() const { return files_made_; }

 private:
  Console& console_;
  std::string source_;
  std::string folder_;
  std::int32_t lines_;
  ProgressLine* progress_;
  bool verbose_;
  std::int64_t files_made_ = 0;
  std::optional<SplitError> error_;
};

// What the arguments ask for.
struct Request {
  SplitOptions options;
  std::int32_t lines = kDefaultLines;
  unsigned cuts = 0;  // -l, -b and -n given: bits 1, 2 and 4
  bool quiet = false;
  bool verbose = false;
  std::vector<std::string> operands;
};

// Reads a whole number from `least` to 2147483647 into `count`; false with the problem.
bool TakeCount(const std::string& value, std::int32_t least, const std::string& what,
               std::int32_t& count, std::string& problem) {
  const auto parsed = ParseCount(value, least);
  if (!parsed) {
    problem = "invalid " + what + " '" + value + "' (a whole number from " + std::to_string(least) +
              " to 2147483647)";
    return false;
  }
  count = *parsed;
  return true;
}

// What an option does with its value; false with the problem.
using OptionAction = bool (*)(Request& request, const std::string& value, std::string& problem);

// One option of the command line.
struct OptionSpec {
  std::string_view name;  // the long name, without "--"
  char letter;            // the short one, or 0
  enum Value { kNone, kRequired, kOptional } value;
  std::string_view implied;  // the value of a kOptional option given without one
  OptionAction action;
};

constexpr OptionSpec kOptionTable[] = {
    {"lines",
     'l',
     OptionSpec::kRequired,
     {},
     [](Request& r, const std::string& v, std::string& problem) {
       r.cuts |= 1;
       return TakeCount(v, 1, "number of lines", r.lines, problem);
     }},
    {"bytes",
     'b',
     OptionSpec::kRequired,
     {},
     [](Request& r, const std::string& v, std::string& problem) {
       bool too_large = false;
       const auto size = ParseSize(v, too_large);
       if (!size) {
         problem = too_large ? "size '" + v + "' is too large (at most 18446744073709551615 bytes)"
                             : "invalid size '" + v +
                                   "' (a whole number above 0, optionally with K, M, G, KB, MB "
                                   "or GB)";
         return false;
       }
       r.cuts |= 2;
       r.options.cut_by = CutBy::kBytes;
       r.options.max_file_bytes = *size;
       return true;
     }},
    {"parts",
     'n',
     OptionSpec::kRequired,
     {},
     [](Request& r, const std::string& v, std::string& problem) {
       r.cuts |= 4;
       r.options.cut_by = CutBy::kParts;
       return TakeCount(v, 1, "number of parts", r.options.parts, problem);
     }},
    {"header", 0, OptionSpec::kOptional, "1",
     [](Request& r, const std::string& v, std::string& problem) {
       std::int32_t lines = 0;
       if (!TakeCount(v, 0, "header (lines)", lines, problem)) return false;
       r.options.header_lines = lines;
       return true;
     }},
    {"keep",
     'k',
     OptionSpec::kNone,
     {},
     [](Request& r, const std::string&, std::string&) { return r.options.keep_lines = true; }},
    {"name",
     0,
     OptionSpec::kRequired,
     {},
     [](Request& r, const std::string& v, std::string& problem) {
       NamePatternFault why;
       auto names = FileNamer::Parse(v, &why);
       if (!names) problem = "invalid name pattern '" + v + "': " + why.Text();
       if (names) r.options.names = std::move(*names);
       return names.has_value();
     }},
    {"start",
     0,
     OptionSpec::kRequired,
     {},
     [](Request& r, const std::string& v, std::string& problem) {
       return TakeCount(v, 0, "first number", r.options.first_number, problem);
     }},
    {"replace",
     0,
     OptionSpec::kNone,
     {},
     [](Request& r, const std::string&, std::string&) {
       return r.options.replace_existing = true;
     }},
    {"line-ends",
     0,
     OptionSpec::kRequired,
     {},
     [](Request& r, const std::string& v, std::string& problem) {
       const auto rule = ParseName(v, kLineEndRules);
       if (!rule) problem = "unknown line ends '" + v + "' (auto, cr or any)";
       if (rule) r.options.line_ends = *rule;
       return rule.has_value();
     }},
    {"encoding",
     0,
     OptionSpec::kRequired,
     {},
     [](Request& r, const std::string& v, std::string& problem) {
       const auto encoding = ParseName(v, kEncodings);
       if (!encoding) {
         problem = "unknown encoding '" + v + "' (auto, ansi, utf-16le, utf-16be or utf-8)";
       }
       if (encoding) r.options.encoding = *encoding;
       return encoding.has_value();
     }},
    {"verbose",
     'v',
     OptionSpec::kNone,
     {},
     [](Request& r, const std::string&, std::string&) { return r.verbose = true; }},
    {"quiet",
     'q',
     OptionSpec::kNone,
     {},
     [](Request& r, const std::string&, std::string&) { return r.quiet = true; }},
};

// Reads the arguments into a request. On a usage error returns false with the problem in
// `problem`; --help and --version set `answer` to their text instead.
class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& args) : args_(args) {}

  bool Read(Request& request, std::string& problem, std::string& answer) {
    bool options_ended = false;
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& arg = args_[i_];
      if (options_ended || arg.size() < 2 || arg[0] != '-') {
        request.operands.push_back(arg);
      } else if (arg == "--") {
        options_ended = true;
      } else if (arg == "--help") {
        answer = HelpText();
        return true;
      } else if (arg == "--version") {
        answer = std::string(kProgram) + " " TARNWICK_VERSION "\n";
        return true;
      } else if (!(arg[1] == '-' ? Long(arg, request, problem) : Short(arg, request, problem))) {
        return false;
      }
    }
    return Check(request, problem);
  }

 private:
  // One long option, with its value after '=' or (where it needs one) in the next argument.
  bool Long(const std::string& arg, Request& request, std::string& problem) {
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
    for (const OptionSpec& option : kOptionTable) {
      if (name != option.name) continue;
      std::optional<std::string> value;
      if (equals != std::string::npos) value = arg.substr(equals + 1);
      if (value && option.value == OptionSpec::kNone) {
        return Fault(problem, "option --" + name + " takes no value");
      }
      if (!value && option.value == OptionSpec::kOptional) value = std::string(option.implied);
      if (!value && option.value == OptionSpec::kRequired) {
        if (i_ + 1 >= args_.size()) return Fault(problem, "option --" + name + " needs a value");
        value = args_[++i_];
      }
      return option.action(request, value.value_or(""), problem);
    }
    return Fault(problem, "unknown option '" + arg + "'");
  }

  // A cluster of short options, e.g. -q, -l10, -kvl 10.
  bool Short(const std::string& arg, Request& request, std::string& problem) {
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const char letter = arg[k];
      const auto option = std::find_if(std::begin(kOptionTable), std::end(kOptionTable),
                                       [&](const OptionSpec& o) { return o.letter == letter; });
      if (option == std::end(kOptionTable)) {
        return Fault(problem, "unknown option '-" + std::string(1, letter) + "'");
      }
      if (option->value == OptionSpec::kNone) {
        if (!option->action(request, {}, problem)) return false;
        continue;
      }
      std::string value;
      if (k + 1 < arg.size()) {
        value = arg.substr(k + 1);
      } else if (i_ + 1 < args_.size()) {
        value = args_[++i_];
      } else {
        return Fault(problem, "option -" + std::string(1, letter) + " needs a value");
      }
      return option->action(request, value, problem);
    }
    return true;
  }

  // The checks over the whole request.
  static bool Check(Request& request, std::string& problem) {
    if (std::popcount(request.cuts) > 1)
      return Fault(problem, "-l, -b and -n cannot be used together");
    if (request.operands.size() < 2) return Fault(problem, "missing SOURCE or DIR");
    if (request.operands.size() > 2) return Fault(problem, "too many operands");
    if (request.operands[1].empty()) return Fault(problem, "DIR is empty: name the output folder");
    const SplitOptions& options = request.options;
    if (options.cut_by == CutBy::kParts &&
        std::int64_t{options.first_number} + options.parts - 1 > 2147483647) {
      return Fault(problem, "--start=" + std::to_string(options.first_number) + " with -n " +
                                std::to_string(options.parts) +
                                " would number files past 2147483647");
    }
    request.options.create_folders = true;  // a missing DIR is made, with its parents
    if (request.operands[0] == "-") {
      request.options.names.SetStandardInput();
    } else {
      request.options.names.SetSourceName(request.operands[0]);
    }
    return true;
  }

  static bool Fault(std::string& problem, std::string why) {
    problem = std::move(why);
    return false;
  }

  const std::vector<std::string>& args_;
  std::size_t i_ = 0;
};

// Writes one line to standard error: the program's name and `text`, whose control
// characters (a newline typed into a value, say) are shown escaped.
void ErrorLine(Console& console, const std::string& text) {
  std::string line = std::string(kProgram) + ": ";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      line += c;
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      line +=
          c == '\n' ? std::string("\\n") : std::string{'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    }
  }
  console.Err(line + "\n");
}

// Reports a usage error in one line: the problem and a pointer to --help.
int UsageError(Console& console, const std::string& problem) {
  ErrorLine(console, problem + " (see 'tarnwick-split --help')");
  return kExitUsage;
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
  std::string verb = "cannot write";
  std::string reason = error.reason;
  switch (error.kind) {
    case SplitErrorKind::kSourceOpen:
      verb = error.path == "-" ? "cannot read" : "cannot open";  // standard input is not opened
      break;
    case SplitErrorKind::kSourceRead:
      verb = "cannot read";
      break;
    case SplitErrorKind::kOutputWrite:
      break;
    case SplitErrorKind::kOutputIsSource:
      reason = "it is the source file";
      break;
    case SplitErrorKind::kCountOverflow:
      reason = "more than 2147483647 lines in one file";
      break;
    case SplitErrorKind::kNumberOverflow:
      reason = "file numbers end at 2147483647";
      break;
    case SplitErrorKind::kNoOutputFolder:
      verb = "cannot write into the output folder";
      reason = "it is empty";
      break;
    case SplitErrorKind::kOutputEncoding:
      reason = "it holds text of another encoding (left unchanged)";
      break;
    case SplitErrorKind::kHeaderTooLong:
      verb = "cannot repeat the header of";
      reason = "its header lines are longer than 2 MiB together (nothing was written)";
      break;
    case SplitErrorKind::kHeaderPastSize:
      verb = "cannot repeat the header of";
      reason += " (nothing was written)";
      break;
    case SplitErrorKind::kOutOfMemory:
      reason = "out of memory";
      break;
    case SplitErrorKind::kSourceSizeUnknown:
      verb = "cannot split into parts";
      reason = "its size is unknown (a pipe or device); -n needs a regular file";
      break;
  }
  std::string text = verb + " '" + error.path + "'";
  if (!reason.empty()) text += ": " + reason;
  if (!error.incomplete_file.empty()) {
    const std::string which =
        error.incomplete_file == error.path ? "it" : "'" + error.incomplete_file + "'";
    text += " (" + which +
            " could not be cut back to its last whole line: that line may be incomplete)";
  }
  return text;
}

int RunCommandLine(const std::vector<std::string>& args, Console& console, FileSystem& files) {
  const FilesClosedNotice notice;
  Request request;
  std::string problem;
  std::string answer;
  if (!ArgumentReader(args).Read(request, problem, answer)) return UsageError(console, problem);
  if (!answer.empty()) {
    console.Out(answer);
    return kExitSuccess;
  }

  // A pipe or device has no size to cut into parts: said before it is opened, which for a
  // FIFO would wait for its writer.
  const std::string& source = request.operands[0];
  if (request.options.cut_by == CutBy::kParts && source != "-" && files.IsStreamPath(source)) {
    return UsageError(console, DescribeError({SplitErrorKind::kSourceSizeUnknown, source, {}, {}}));
  }

  SplitProgress progress;
  std::optional<ProgressLine> progress_line;
  if (!request.quiet && console.ErrIsTerminal()) progress_line.emplace(console, progress);
  CliHost host(console, request.operands[0], request.operands[1], request.lines,
               progress_line ? &*progress_line : nullptr, request.verbose);
  SplitOptions& options = request.options;
  options.progress = &progress;
  SplitOutcome outcome;
  const auto started = std::chrono::steady_clock::now();
  try {
    outcome = RunSplit(host, files, options);
    NotifyFilesClosed();  // before any more console output: the console may be closing
  } catch (const std::exception& error) {
    // The job could not go on (out of memory, for example): an error, not a crash; the
    // files end with whole lines all the same.
    NotifyFilesClosed();
    if (progress_line) progress_line->Finish();
    const bool memory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
    ErrorLine(console, memory ? "out of memory (the files written end with whole lines)"
                              : std::string(error.what()));
    return kExitFailure;
  }
  if (progress_line) progress_line->Finish();
  // A source whose size is unknown for -n is a usage error: nothing was split.
  const bool usage = outcome == SplitOutcome::kFailed && host.error() &&
                     host.error()->kind == SplitErrorKind::kSourceSizeUnknown;
  if (request.verbose && !usage) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char took[32];
    std::snprintf(took, sizeof(took), " in %.3f s\n", seconds);
    console.Out(std::to_string(progress.lines_written) + " lines in " +
                std::to_string(host.files_made()) + " files, " +
                std::to_string(progress.bytes_read) + " bytes read" + took);
  }

  switch (outcome) {
    case SplitOutcome::kFinished:
      return kExitSuccess;
    case SplitOutcome::kStopped:
      return 128 + InterruptSignal();
    case SplitOutcome::kFailed:
      break;
  }
  if (usage) return UsageError(console, DescribeError(*host.error()));
  ErrorLine(console, host.error() ? DescribeError(*host.error()) : std::string("failed"));
  return kExitFailure;
}

}  // namespace tarnwick::cli
