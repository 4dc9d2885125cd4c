// tarnwick-split run in-process: arguments, exit statuses, messages, Ctrl-C, progress line.
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "cli/console_text.h"
#endif

#include "../splitter/memory_file_system.h"
#include "cli/interrupt.h"

namespace tarnwick::cli {
namespace {

using tarnwick::testing::MemoryFileSystem;

// The output with the totals' seconds taken out (they must be there).
std::string Untimed(const std::string& out) {
  static const std::regex kSeconds(R"( bytes read in \d+\.\d{3} s\n)");
  std::string untimed = std::regex_replace(out, kSeconds, " bytes read\n");
  EXPECT_NE(untimed, out) << "the totals give no seconds: " << out;
  return untimed;
}

// Collects what the tool writes; can pose as a terminal.
class RecordingConsole : public Console {
 public:
  std::string out;
  std::string err;
  bool terminal = false;
  void Out(std::string_view text) override { out += text; }
  void Err(std::string_view text) override { err += text; }
  bool ErrIsTerminal() override { return terminal; }

  std::chrono::milliseconds ProgressInterval() override { return std::chrono::milliseconds(0); }
};

std::string Out(int number) {
  return "out" + std::string(1, kPathSeparator) + std::to_string(number) + ".txt";
}

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearInterrupt();
    files.files["in.txt"] = "a\r\n  b\r\n\r\nc  \r\nd\r\n";
  }
  void TearDown() override { ClearInterrupt(); }

  int Run(std::vector<std::string> args) { return RunCommandLine(args, console, files); }

  RecordingConsole console;
  MemoryFileSystem files;
};

TEST_F(CommandLineTest, SplitsWithTheGivenLinesPerFile) {
  EXPECT_EQ(Run({"-l", "3", "in.txt", "out"}), kExitSuccess);
  EXPECT_EQ(files.files[Out(1)], "a\r\nb\r\nc\r\n");
  EXPECT_EQ(files.files[Out(2)], "d\r\n");
  EXPECT_EQ(console.err, "");
  EXPECT_EQ(console.out, "");

  // The other spellings of the options, and "--" before an operand that starts with "-".
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-l2", "in.txt", "out"},
        std::vector<std::string>{"in.txt", "-ql", "2", "out"},
        std::vector<std::string>{"-q", "-l", "0002", "--", "in.txt", "out"}}) {
    MemoryFileSystem fresh;
    fresh.files["in.txt"] = files.files["in.txt"];
    files = fresh;
    EXPECT_EQ(Run(args), kExitSuccess) << args[0];
    EXPECT_EQ(files.files[Out(1)], "a\r\nb\r\n") << args[0];
    EXPECT_EQ(files.files[Out(3)], "") << args[0];
  }

  // The long options of GNU tools.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--lines=2", "in.txt", "out"},
        std::vector<std::string>{"--lines", "2", "--quiet", "in.txt", "out"},
        std::vector<std::string>{"in.txt", "--quiet", "out", "--lines=0002"}}) {
    MemoryFileSystem fresh;
    fresh.files["in.txt"] = files.files["in.txt"];
    files = fresh;
    EXPECT_EQ(Run(args), kExitSuccess) << args[0];
    EXPECT_EQ(files.files[Out(1)], "a\r\nb\r\n") << args[0];
    EXPECT_EQ(files.files[Out(3)], "") << args[0];
  }

  // The default is 1000 lines per file.
  MemoryFileSystem fresh;
  fresh.files["in.txt"] = files.files["in.txt"];
  files = fresh;
  EXPECT_EQ(Run({"in.txt", "out"}), kExitSuccess);
  EXPECT_EQ(files.files[Out(1)], "a\r\nb\r\nc\r\nd\r\n");
  EXPECT_EQ(files.appended.size(), 1u);
}

TEST_F(CommandLineTest, UsageErrorsExitWithTwoAndTouchNothing) {
  files.standard_input = "a\r\n";  // a pipe: its size is unknown
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--lines", "in.txt", "out"},  // "in.txt" is no number
      {"--lines=", "in.txt", "out"},
      {"--lines=0", "in.txt", "out"},
      {"in.txt", "out", "--lines"},
      {"--quiet=yes", "in.txt", "out"},
      {"in.txt"},
      {"in.txt", "out", "more"},
      {"-l"},
      {"in.txt", "out", "-l"},
      {"-l", "0", "in.txt", "out"},
      {"-l", "-5", "in.txt", "out"},
      {"-l", "1.5", "in.txt", "out"},
      {"-l", "1e3", "in.txt", "out"},
      {"-l", "", "in.txt", "out"},
      {"-l", "2147483648", "in.txt", "out"},
      {"-l", "99999999999999999999", "in.txt", "out"},
      {"-x", "in.txt", "out"},
      {"--line=5", "in.txt", "out"},
      {"--encoding", "utf-16", "in.txt", "out"},
      {"--encoding=", "in.txt", "out"},
      {"in.txt", "out", "--encoding"},
      // The modes: one way to end files; sizes, counts, patterns and numbers that are valid.
      {"-l", "5", "-b", "1K", "in.txt", "out"},
      {"-n", "2", "--lines=3", "in.txt", "out"},
      {"-b", "1K", "-n", "2", "in.txt", "out"},
      {"-b", "0", "in.txt", "out"},
      {"-b", "0K", "in.txt", "out"},
      {"-b", "10X", "in.txt", "out"},
      {"-b", "10k", "in.txt", "out"},
      {"-b", "K", "in.txt", "out"},
      {"--bytes=18446744073709551616", "in.txt", "out"},
      {"-b", "17179869184G", "in.txt", "out"},
      {"-n", "0", "in.txt", "out"},
      {"--parts=-1", "in.txt", "out"},
      {"--header=-1", "in.txt", "out"},
      {"--header=x", "in.txt", "out"},
      {"--header=", "in.txt", "out"},
      {"--name={stem}.txt", "in.txt", "out"},
      {"--name=a/{n}", "in.txt", "out"},
      {"--name=a\\{n}", "in.txt", "out"},
      {"--name={n}:", "in.txt", "out"},
      {"--name={n}*?", "in.txt", "out"},
      {"--name=\"{n}\"", "in.txt", "out"},
      {"--name=<{n}>|", "in.txt", "out"},
      {"--name={n}\t", "in.txt", "out"},
      {"--name={n}{size}", "in.txt", "out"},
      {"--name={n:0}", "in.txt", "out"},
      {"--name={n:x}", "in.txt", "out"},
      {"--name={n", "in.txt", "out"},
      {"--start=-1", "in.txt", "out"},
      {"--start=x", "in.txt", "out"},
      {"--line-ends=lf", "in.txt", "out"},
      {"--keep=yes", "in.txt", "out"},
      {"-n", "2", "-", "out"},
      {"-v", "-n", "2", "-", "out"},        // no totals on standard output either
      {"--name=a{n}\nb", "in.txt", "out"},  // the newline shown escaped: still one line
      {"in.txt", ""},                       // no output folder: not the root
      {"-n", "2", "--start=2147483647", "in.txt", "out"},  // its last number would not fit
  };
  for (const std::vector<std::string>& args : cases) {
    console.err.clear();
    EXPECT_EQ(Run(args), kExitUsage) << ::testing::PrintToString(args);
    // One line: the problem and where the help is.
    EXPECT_EQ(console.err.rfind("tarnwick-split: ", 0), 0u) << console.err;
    EXPECT_TRUE(console.err.ends_with(" (see 'tarnwick-split --help')\n")) << console.err;
    EXPECT_EQ(std::count(console.err.begin(), console.err.end(), '\n'), 1) << console.err;
  }
  EXPECT_TRUE(files.appended.empty());
  EXPECT_EQ(console.out, "");
  console.err.clear();
  EXPECT_EQ(Run({"-b", "18446744073709551616", "in.txt", "out"}), kExitUsage);
  EXPECT_NE(console.err.find("'18446744073709551616' is too large"), std::string::npos);
  console.err.clear();
  EXPECT_EQ(Run({"--name={n:0}", "in.txt", "out"}), kExitUsage);
  EXPECT_NE(console.err.find("'{n:0}': the width is a whole number from 1 to 20"),
            std::string::npos)
      << console.err;

  // The largest count is accepted.
  EXPECT_EQ(Run({"-l", "2147483647", "in.txt", "out"}), kExitSuccess);

  // A source whose size is unknown (a pipe) is refused for parts before any file is made.
  MemoryFileSystem fresh;
  files = fresh;
  console.err.clear();
  files.standard_input = "a\r\n";
  EXPECT_EQ(Run({"-n", "2", "./fifo", "out"}), kExitFailure);  // no such file: an error
  files.pipes.insert("fifo");
  files.files["fifo"] = "a\r\n";
  EXPECT_EQ(Run({"-n", "2", "fifo", "out"}), kExitUsage);
  EXPECT_NE(console.err.find("cannot split into parts 'fifo'"), std::string::npos);
  EXPECT_TRUE(files.appended.empty());
}

TEST_F(CommandLineTest, ResultsOfEachCase) {
  // Source, arguments (SOURCE and DIR "out" follow), exit status, the files 1.txt ... as the
  // job leaves them, and a piece of its message.
  struct Case {
    std::string source;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> files;
    std::string message;
  };
  const std::string header(9, 'h');
  const Case cases[] = {
      // A source that is only its header gives one file holding it.
      {"id,name\n", {"--header", "-k"}, kExitSuccess, {"id,name\n"}, ""},
      {"id\nx\n", {"--header=3", "-k", "-b", "100"}, kExitSuccess, {"id\nx\n"}, ""},
      // Zero header lines is no header: the classic split's empty next file.
      {"a\nb\nc\nd\n",
       {"-l", "2", "--header=0"},
       kExitSuccess,
       {"a\r\nb\r\n", "c\r\nd\r\n", ""},
       ""},
      // A header that leaves no room for the shortest line within SIZE: nothing is touched.
      {header + "\na\n",
       {"-b", "10", "--header", "-k"},
       kExitFailure,
       {},
       "cannot repeat the header of 'in.txt': its header takes 10 bytes"},
      {"hhhhhhh\na\n", {"-b", "10", "--header"}, kExitFailure, {}, "takes 9 bytes"},
      {"hhhhhhhh\na\n", {"-b", "10", "--header", "-k"}, kExitSuccess, {"hhhhhhhh\na\n"}, ""},
      // Parts are made all the same from a source with no header line.
      {"", {"-n", "3", "--header"}, kExitSuccess, {"", "", ""}, ""},
      // Numbers to the largest; past it only for a file that is needed.
      {"a\nb\n",
       {"-l", "2", "--start=2147483647"},
       kExitFailure,
       {},
       "'out" + std::string(1, kPathSeparator) + "2147483648.txt': file numbers end at 2147483647"},
      {"aaaa\r\nbbbb\r\n",
       {"-b", "8", "--start=2147483647"},
       kExitFailure,
       {},
       "'out" + std::string(1, kPathSeparator) + "2147483648.txt': file numbers end at 2147483647"},
  };
  for (const Case& c : cases) {
    files = MemoryFileSystem{};
    console = RecordingConsole{};
    files.missing_folders = {"out"};  // DIR is made when missing
    files.files["in.txt"] = c.source;
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"in.txt", "out"});
    EXPECT_EQ(Run(args), c.status) << ::testing::PrintToString(args) << console.err;
    EXPECT_EQ(tarnwick::testing::OutputFiles(files), c.files) << ::testing::PrintToString(args);
    EXPECT_NE(console.err.find(c.message), std::string::npos) << console.err;
  }
  const std::string sep(1, kPathSeparator);
  EXPECT_EQ(files.created_folders, std::set<std::string>{"out"});
  files = MemoryFileSystem{};
  files.files["in.txt"] = "a\nb\nc\nd\n";
  EXPECT_EQ(Run({"-k", "-l", "2", "--start=2147483646", "in.txt", "out"}), kExitSuccess);
  EXPECT_EQ(files.files["out" + sep + "2147483647.txt"], "c\nd\n");
}

TEST_F(CommandLineTest, ModesByExample) {
  // A CSV with its header into files of 2 rows, named after the source from 0 on.
  files.files["data.csv"] = "id,name\n1,a\n2,b\n3,c\n4,d\n";
  EXPECT_EQ(
      Run({"-l2", "--header", "--name={stem}_{n:3}.{ext}", "--start=0", "-kv", "data.csv", "out"}),
      kExitSuccess);
  const std::string sep(1, kPathSeparator);
  EXPECT_EQ(files.files["out" + sep + "data_000.csv"], "id,name\n1,a\n2,b\n");
  EXPECT_EQ(files.files["out" + sep + "data_001.csv"], "id,name\n3,c\n4,d\n");
  EXPECT_EQ(files.files.count("out" + sep + "data_002.csv"), 0u);  // never a header alone
  EXPECT_EQ(Untimed(console.out), "out" + sep + "data_000.csv\nout" + sep +
                                      "data_001.csv\n4 lines in 2 files, 24 bytes read\n");

  // Sizes with a suffix; a line too long for the size alone in its file.
  const std::string line(600, 'x');
  files.files["big.txt"] = line + "\r\n" + line + "\r\n" + std::string(1100, 'y') + "\r\nz\r\n";
  EXPECT_EQ(Run({"--bytes=1K", "-q", "big.txt", "b"}), kExitSuccess);
  EXPECT_EQ(files.files["b" + sep + "1.txt"], line + "\r\n");
  EXPECT_EQ(files.files["b" + sep + "3.txt"], std::string(1100, 'y') + "\r\n");
  EXPECT_EQ(files.files["b" + sep + "4.txt"], "z\r\n");
  EXPECT_EQ(Run({"-b", "1KB", "big.txt", "c"}), kExitSuccess);
  EXPECT_EQ(files.files["c" + sep + "4.txt"], "z\r\n");

  // SIZE counts what the job writes: an existing non-empty file gets no header, so its
  // bytes do not count.
  files.files["b2" + sep + "1.txt"] = "old\r\n";
  files.files["h.txt"] = "h\na\nb\nc\n";
  EXPECT_EQ(Run({"-b", "6", "--header", "--keep", "h.txt", "b2"}), kExitSuccess);
  EXPECT_EQ(files.files["b2" + sep + "1.txt"], "old\r\na\nb\nc\n");
  EXPECT_EQ(files.files.count("b2" + sep + "2.txt"), 0u);

  // Parts: always K files, one with no line start only its header; kept bytes add up.
  files.files["p.txt"] = "h\n" + std::string(20, 'a') + "\nb\n";
  EXPECT_EQ(Run({"-n", "4", "--header", "--keep", "p.txt", "p"}), kExitSuccess);
  EXPECT_EQ(files.files["p" + sep + "1.txt"], "h\n" + std::string(20, 'a') + "\n");
  EXPECT_EQ(files.files["p" + sep + "2.txt"], "h\n");
  EXPECT_EQ(files.files["p" + sep + "3.txt"], "h\n");
  EXPECT_EQ(files.files["p" + sep + "4.txt"], "h\nb\n");

  // The line-end rules; standard input, named 'stdin' for {stem}.
  files.files["mixed.txt"] = "a\rb\nc\r\n";
  EXPECT_EQ(Run({"-l1", "--line-ends=cr", "mixed.txt", "m"}), kExitSuccess);
  EXPECT_EQ(files.files["m" + sep + "2.txt"], "b\nc\r\n");
  EXPECT_EQ(Run({"-l1", "--line-ends", "any", "mixed.txt", "n"}), kExitSuccess);
  EXPECT_EQ(files.files["n" + sep + "3.txt"], "c\r\n");
  files.standard_input = "one\ntwo\n";
  EXPECT_EQ(Run({"-l1", "--name={stem}{n}{ext}.part", "-", "s"}), kExitSuccess);
  EXPECT_EQ(files.files["s" + sep + "stdin2.part"], "two\r\n");

  // A folder given with its separator gets no second one.
  console.out.clear();
  EXPECT_EQ(Run({"-v", "mixed.txt", "v" + sep}), kExitSuccess);
  EXPECT_EQ(Untimed(console.out), "v" + sep + "1.txt\n2 lines in 1 files, 7 bytes read\n");
}

TEST_F(CommandLineTest, ReplaceEmptiesEachFileItOpens) {
  // Each file opened is emptied first and then gets the mark and the header as a new file
  // would (an old file of another encoding included); files not reached are left alone.
  const std::string le_mark("\xFF\xFE", 2);
  files.files["in.txt"] = le_mark + std::string("h\0\n\0a\0\n\0b\0\n\0", 12);
  files.files[Out(1)] = "old one, ANSI\r\n";
  files.files[Out(2)] = le_mark + std::string("o\0", 2);
  files.files[Out(3)] = "old three\r\n";
  EXPECT_EQ(Run({"-l1", "--header", "--replace", "-k", "in.txt", "out"}), kExitSuccess);
  EXPECT_EQ(files.files[Out(1)], le_mark + std::string("h\0\n\0a\0\n\0", 8));
  EXPECT_EQ(files.files[Out(2)], le_mark + std::string("h\0\n\0b\0\n\0", 8));
  EXPECT_EQ(files.files[Out(3)], "old three\r\n");

  // With a size limit the header counts in a replaced file too.
  files.files["h.txt"] = "h\na\nb\n";
  files.files[Out(1)] = "old\r\n";
  EXPECT_EQ(Run({"-b", "4", "--header", "--keep", "--replace", "h.txt", "out"}), kExitSuccess);
  EXPECT_EQ(files.files[Out(1)], "h\na\n");
  EXPECT_EQ(files.files[Out(2)], "h\nb\n");

  // The source is never emptied; a failed write leaves a replaced file empty, not old.
  files.aliases[Out(2)] = "in.txt";
  const std::string source = files.files["in.txt"];
  EXPECT_EQ(Run({"-l1", "--replace", "in.txt", "out"}), kExitFailure);
  EXPECT_EQ(files.files["in.txt"], source);
  files = MemoryFileSystem{};
  files.files["h.txt"] = "h\na\nb\n";
  files.files[Out(1)] = "a long old line\r\n";
  files.write_fails_after = 1;
  EXPECT_EQ(Run({"--replace", "-k", "h.txt", "out"}), kExitFailure);
  EXPECT_EQ(files.files[Out(1)], "");
}

TEST_F(CommandLineTest, HelpAndVersion) {
  EXPECT_EQ(Run({"--help"}), kExitSuccess);
  EXPECT_EQ(console.out.rfind("usage: tarnwick-split [OPTION]... SOURCE DIR\n", 0), 0u);
  EXPECT_NE(console.out.find("-l, --lines=N"), std::string::npos);
  EXPECT_NE(console.out.find("--name=PATTERN"), std::string::npos);
  EXPECT_NE(console.out.find("130"), std::string::npos);
  console.out.clear();
  EXPECT_EQ(Run({"--version"}), kExitSuccess);
  EXPECT_EQ(console.out.rfind("tarnwick-split ", 0), 0u);
  EXPECT_EQ(console.out.back(), '\n');
  EXPECT_EQ(console.err, "");
  EXPECT_TRUE(files.appended.empty());
}

TEST_F(CommandLineTest, FailuresGiveOneLineAndExitOne) {
  files.refuse_open.insert(Out(1));
  EXPECT_EQ(Run({"in.txt", "out"}), kExitFailure);
  EXPECT_EQ(console.err, "tarnwick-split: cannot write '" + Out(1) + "': Permission denied\n");

  // With -v, only the files written are listed and counted, after a failure too.
  console.err.clear();
  files.refuse_open = {Out(3)};
  EXPECT_EQ(Run({"-v", "-l", "1", "in.txt", "out"}), kExitFailure);
  EXPECT_EQ(Untimed(console.out), Out(1) + "\n" + Out(2) + "\n2 lines in 2 files, 18 bytes read\n");
  console.out.clear();
  // ...the file a write failed in too, when it holds whole lines.
  const std::string source = files.files["in.txt"];
  files = MemoryFileSystem{};
  files.files["in.txt"] = source;
  files.write_fails_after = 5;
  EXPECT_EQ(Run({"-v", "-l", "9", "in.txt", "out"}), kExitFailure);
  EXPECT_EQ(Untimed(console.out), Out(1) + "\n1 lines in 1 files, 18 bytes read\n");
  files = MemoryFileSystem{};
  files.files["in.txt"] = source;
  console.out.clear();
  console.err.clear();
  files.refuse_open = {Out(1)};

  console.err.clear();
  EXPECT_EQ(Run({"absent.txt", "out"}), kExitFailure);
  EXPECT_EQ(console.err, "tarnwick-split: cannot open 'absent.txt': No such file or directory\n");

  console.err.clear();
  files.read_fails_after = 0;
  EXPECT_EQ(Run({"in.txt", "out"}), kExitFailure);
  EXPECT_EQ(console.err, "tarnwick-split: cannot read 'in.txt': Input/output error\n");

  // A header is held in memory up to 2 MiB (its line end included); a longer one is
  // refused before any file is touched.
  files = MemoryFileSystem{};
  const std::string header((std::size_t{2} << 20) - 2, 'h');
  files.files["ok.csv"] = header + "\n1\n";
  files.files["long.csv"] = header + "h\n1\n";
  EXPECT_EQ(Run({"--header", "-q", "ok.csv", "ok"}), kExitSuccess);
  EXPECT_EQ(files.files["ok" + std::string(1, kPathSeparator) + "1.txt"], header + "\r\n1\r\n");
  for (const char* cut : {"-l5", "-n2"}) {
    console.err.clear();
    files.appended.clear();
    EXPECT_EQ(Run({"--header", cut, "long.csv", "out"}), kExitFailure);
    EXPECT_TRUE(files.appended.empty()) << cut;
    EXPECT_EQ(console.err,
              "tarnwick-split: cannot repeat the header of 'long.csv': its header "
              "lines are longer than 2 MiB together (nothing was written)\n");
  }

  EXPECT_EQ(DescribeError({SplitErrorKind::kOutputIsSource, "d/2.txt", "", ""}),
            "cannot write 'd/2.txt': it is the source file");
  EXPECT_EQ(DescribeError(
                {SplitErrorKind::kOutputWrite, "d/3.txt", "No space left on device", "d/3.txt"}),
            "cannot write 'd/3.txt': No space left on device (it could not be cut back to its last "
            "whole line: that line may be incomplete)");
  EXPECT_EQ(DescribeError({SplitErrorKind::kSourceRead, "in.txt", "Input/output error", "d/3.txt"}),
            "cannot read 'in.txt': Input/output error ('d/3.txt' could not be cut back to its "
            "last whole line: that line may be incomplete)");
  EXPECT_EQ(DescribeError({SplitErrorKind::kNumberOverflow, "d/2147483648.txt", "", ""}),
            "cannot write 'd/2147483648.txt': file numbers end at 2147483647");
  EXPECT_EQ(DescribeError({SplitErrorKind::kCountOverflow, "d/1.txt", "", ""}),
            "cannot write 'd/1.txt': more than 2147483647 lines in one file");
}

TEST_F(CommandLineTest, EncodingByMarkOrForced) {
  // auto goes by the mark; a forced encoding whatever the bytes; a refused file is named.
  const std::string le_mark("\xFF\xFE", 2);
  files.files["in.txt"] = le_mark + std::string(" \0a\0\r\0b\0", 8);
  EXPECT_EQ(Run({"-l", "1", "in.txt", "out"}), kExitSuccess);
  EXPECT_EQ(files.files[Out(2)], le_mark + std::string("b\0\r\0\n\0", 6));
  EXPECT_EQ(files.files[Out(3)], le_mark);

  MemoryFileSystem fresh;
  files = fresh;
  files.files["in.txt"] = std::string("a\0\r\0b\0", 6);
  EXPECT_EQ(Run({"--encoding=utf-16le", "in.txt", "out"}), kExitSuccess);
  EXPECT_EQ(files.files[Out(1)], le_mark + std::string("a\0\r\0\n\0b\0\r\0\n\0", 12));
  files.files.erase(Out(1));
  EXPECT_EQ(Run({"--encoding", "ansi", "in.txt", "out"}), kExitSuccess);
  EXPECT_EQ(files.files[Out(1)], std::string("a\0\r\n\0b\0\r\n", 9));

  files.files["in.txt"] = "text";
  files.files[Out(1)] = le_mark + std::string("o\0", 2);
  EXPECT_EQ(Run({"in.txt", "out"}), kExitFailure);
  EXPECT_EQ(console.err, "tarnwick-split: cannot write '" + Out(1) +
                             "': it holds text of another encoding (left unchanged)\n");
  EXPECT_EQ(files.files[Out(1)], le_mark + std::string("o\0", 2));
}

// File services that fail by throwing, as a failure inside the job would.
class ThrowingFileSystem : public FileSystem {
 public:
  bool out_of_memory = false;
  std::unique_ptr<InputFile> OpenRead(const std::string&, std::string&) override {
    if (out_of_memory) throw std::bad_alloc();
    throw std::runtime_error("the file layer broke");
  }
  std::unique_ptr<OutputFile> OpenAppend(const std::string&, std::string&) override {
    throw std::runtime_error("the file layer broke");
  }
};

TEST_F(CommandLineTest, AnErrorThrownInsideTheJobIsReportedNotACrash) {
  ThrowingFileSystem throwing;
  console.terminal = true;  // the progress line, once shown, is ended before the message
  EXPECT_EQ(RunCommandLine({"in.txt", "out"}, console, throwing), kExitFailure);
  EXPECT_EQ(console.err, "tarnwick-split: the file layer broke\n");
  // Memory running out is said so, in the same one line.
  console.err.clear();
  throwing.out_of_memory = true;
  EXPECT_EQ(RunCommandLine({"in.txt", "out"}, console, throwing), kExitFailure);
  EXPECT_EQ(console.err,
            "tarnwick-split: out of memory (the files written end with whole lines)\n");
}

TEST_F(CommandLineTest, SourceAndFolderAreTakenAsGivenSpacesIncluded) {
  files.files[" a.txt "] = "x\r\n";
  EXPECT_EQ(Run({" a.txt ", " out"}), kExitSuccess) << console.err;
  const std::string first = " out" + std::string(1, kPathSeparator) + "1.txt";
  EXPECT_EQ(files.files[first], "x\r\n");
  EXPECT_EQ(files.appended, std::vector<std::string>{first});
  // Without the spaces the names are other files.
  EXPECT_EQ(Run({"a.txt", "out"}), kExitFailure);
  EXPECT_EQ(console.err, "tarnwick-split: cannot open 'a.txt': No such file or directory\n");
}

TEST_F(CommandLineTest, CtrlCStopsLikeTheStopButton) {
  RequestInterrupt();
  EXPECT_EQ(Run({"in.txt", "out"}), kExitInterrupted);
  EXPECT_EQ(files.files[Out(1)], "");  // opened before the first line, then closed
  EXPECT_EQ(files.open_files, 0);
  EXPECT_EQ(console.err, "");

  // At the end of the source the job finishes normally, as with the Stop button.
  files.files["in.txt"] = "";
  EXPECT_EQ(Run({"in.txt", "out"}), kExitSuccess);
}

TEST_F(CommandLineTest, OtherStopSignalsGiveTheirOwnExitStatus) {
  files.files["in.txt"] = "a\r\n";
  RequestInterrupt(kSignalTerminate);
  RequestInterrupt(kSignalHangUp);  // the first request names the stop
  EXPECT_EQ(Run({"in.txt", "out"}), 128 + 15);
  EXPECT_EQ(files.open_files, 0);
  ClearInterrupt();
  RequestInterrupt(kSignalHangUp);
  EXPECT_EQ(Run({"in.txt", "out"}), 128 + 1);
  EXPECT_EQ(files.files[Out(1)], "");
  EXPECT_EQ(console.err, "");
}

#ifdef _WIN32
// A source that keeps delivering lines slowly until the job stops reading it; the bytes
// that reach the output files are counted as they are written.
class EndlessFileSystem : public FileSystem {
 public:
  std::atomic<int> reads{0};
  std::atomic<int> open_outputs{0};
  std::atomic<std::size_t> bytes_written{0};
  std::string written;  // what reached the output files, read after the job

  std::unique_ptr<InputFile> OpenRead(const std::string&, std::string&) override {
    return std::make_unique<Input>(*this);
  }
  std::unique_ptr<OutputFile> OpenAppend(const std::string&, std::string&) override {
    return std::make_unique<Output>(*this);
  }

 private:
  class Input : public InputFile {
   public:
    explicit Input(EndlessFileSystem& owner) : owner_(owner) {}
    // Fills the buffer with lines; every block ends inside a line.
    std::int64_t Read(char* buffer, std::size_t capacity, std::string&) override {
      Sleep(2);
      static constexpr char kPiece[] = "one line of the source\r\nanother li";
      constexpr std::size_t kSize = sizeof(kPiece) - 1;
      for (std::size_t i = 0; i < capacity; ++i) buffer[i] = kPiece[i % kSize];
      ++owner_.reads;
      return static_cast<std::int64_t>(capacity);
    }
    FileIdentity Identity() const override { return {1, 0, 1}; }

   private:
    EndlessFileSystem& owner_;
  };
  class Output : public OutputFile {
   public:
    explicit Output(EndlessFileSystem& owner) : owner_(owner) { ++owner_.open_outputs; }
    ~Output() override { Close(ignored_); }
    bool Write(const char* data, std::size_t size, std::string&) override {
      owner_.written.append(data, size);
      owner_.bytes_written += size;
      return true;
    }
    bool Close(std::string&) override {
      if (open_) --owner_.open_outputs;
      open_ = false;
      return true;
    }
    FileIdentity Identity() const override { return {1, 0, 2}; }
    std::int64_t ReadHead(char*, std::size_t, std::string&) override { return 0; }

   private:
    EndlessFileSystem& owner_;
    bool open_ = true;
    std::string ignored_;
  };
};

// Windows ends the process when the handler of a close, log-off or shut-down event
// returns: the handler returns only once the job has stopped and closed its files.
TEST_F(CommandLineTest, ConsoleCloseWaitsUntilTheFilesAreClosed) {
  for (const unsigned long event : {CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
    ClearInterrupt();
    EndlessFileSystem endless;
    int status = -1;
    std::thread job([&] {
      status = RunCommandLine({"-q", "-l", "1000000", "in", "out"}, console, endless);
    });
    while (endless.open_outputs == 0 || endless.reads < 5) Sleep(1);
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(HandleConsoleEvent(event, 10000));
    EXPECT_LT(GetTickCount64() - start, 2000u);
    // By now the files are closed and nothing more is written.
    EXPECT_EQ(endless.open_outputs, 0) << event;
    const std::size_t at_return = endless.bytes_written;
    job.join();
    EXPECT_EQ(endless.bytes_written, at_return) << event;
    EXPECT_EQ(status, event == CTRL_CLOSE_EVENT ? 129 : 143);
    ASSERT_FALSE(endless.written.empty());
    EXPECT_EQ(endless.written.substr(endless.written.size() - 2), "\r\n");  // no line cut
  }

  // Ctrl-C and Ctrl-Break only ask for the stop; the second is left to the system.
  ClearInterrupt();
  EXPECT_TRUE(HandleConsoleEvent(CTRL_C_EVENT, 0));
  EXPECT_EQ(InterruptSignal(), kSignalInterrupt);
  EXPECT_FALSE(HandleConsoleEvent(CTRL_BREAK_EVENT, 0));
}

// Redirected output is in the console's (or the ANSI) code page, with '?' for what the
// code page cannot show; never UTF-8 bytes that a Chinese console would garble.
TEST(ConsoleText, RedirectedTextInTheCodePage) {
  EXPECT_EQ(EncodeForCodePage("cannot open '中文.txt'", 936), "cannot open '\xd6\xd0\xce\xc4.txt'");
  EXPECT_EQ(EncodeForCodePage("雪\xe2\x98\x83", 936), "\xd1\xa9?");         // no snowman in GBK
  EXPECT_EQ(EncodeForCodePage("caf\xc3\xa9 \xc5\x82", 1252), "caf\xe9 ?");  // no look-alike 'l'
  EXPECT_EQ(EncodeForCodePage("中", 65001), "中");
  const unsigned console_page = GetConsoleOutputCP();
  EXPECT_EQ(RedirectedOutputCodePage(), console_page != 0 ? console_page : GetACP());
}
#endif

TEST_F(CommandLineTest, ProgressLineOnlyOnATerminalAndNotWithQ) {
  std::string source;
  int lines = 0;
  for (; source.size() < (5u << 20); ++lines) source += "some text of a line\r\n";
  files.files["in.txt"] = source;
  EXPECT_EQ(Run({"-l", "100000", "in.txt", "out"}), kExitSuccess);
  EXPECT_EQ(console.err, "");

  console.terminal = true;
  EXPECT_EQ(Run({"-q", "-l", "100000", "in.txt", "out"}), kExitSuccess);
  EXPECT_EQ(console.err, "");

  EXPECT_EQ(Run({"-l", "100000", "in.txt", "out"}), kExitSuccess);
  EXPECT_EQ(console.err.rfind("\rtarnwick-split: ", 0), 0u) << console.err;
  EXPECT_NE(console.err.find(" of 5.0 MiB"), std::string::npos) << console.err;
  // The last drawing gives the final figures and ends the line.
  const std::string last = console.err.substr(console.err.rfind('\r'));
  EXPECT_NE(last.find("(100%), " + std::to_string(lines) + " lines, 3 files"), std::string::npos)
      << last;
  EXPECT_EQ(console.err.back(), '\n');
}

}  // namespace
}  // namespace tarnwick::cli
