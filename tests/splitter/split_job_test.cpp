// The split job against an in-memory file system: line rules, file changes, host calls,
// stopping, failures, and a comparison with a small reference model under many buffer
// sizes (so that CR LF pairs, spaces and lines are cut by reads at every position).
#include "splitter/split_job.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "memory_file_system.h"
#include "reference_model.h"

namespace tarnwick {
namespace {

using testing::MemoryFileSystem;
using testing::ModelFiles;
using testing::ModelSplit;
using testing::Out;
using testing::OutputFiles;
using testing::ReferenceFiles;
using testing::ScriptedHost;
using testing::SplitTable;
using testing::UnitModel;
using testing::WithModelSplit;

// Buffer sizes and threading for a parameterised run.
struct Config {
  std::size_t read;
  std::size_t write;
  bool background;
};

SplitTuning TuningFor(const Config& config) {
  SplitTuning tuning;
  tuning.read_buffer_size = config.read;
  tuning.write_buffer_size = config.write;
  tuning.background_writes = config.background;
  // The helper takes every piece, except with the largest buffers (small pieces inline).
  if (config.read < 1024) tuning.inline_write_bytes = 0;
  return tuning;
}

class SplitJobTest : public ::testing::TestWithParam<Config> {
 protected:
  // Runs the job over `source` (as in.txt) with N lines per file.
  SplitOutcome Split(const std::string& source, double n) {
    files.files["in.txt"] = source;
    host.lines_per_file = n;
    return RunSplit(host, files, {}, TuningFor(GetParam()));
  }

  MemoryFileSystem files;
  ScriptedHost host;
};

INSTANTIATE_TEST_SUITE_P(Buffers, SplitJobTest,
                         ::testing::Values(Config{1 << 20, 1 << 19, true},
                                           Config{1 << 20, 1 << 19, false}, Config{7, 5, true},
                                           Config{3, 1, false}));

TEST_P(SplitJobTest, SixLineExample) {
  EXPECT_EQ(Split("a\r\n\r\n  b  \r\n   \r\nc\r\nd", 2), SplitOutcome::kFinished);
  EXPECT_EQ(OutputFiles(files), (std::vector<std::string>{"a\r\nb\r\n", "c\r\nd\r\n", ""}));
  EXPECT_EQ(files.appended, (std::vector<std::string>{Out(1), Out(2), Out(3)}));
  EXPECT_EQ(host.events, (std::vector<std::string>{"started", "finished"}));
  EXPECT_EQ(files.open_files, 0);
}

TEST_P(SplitJobTest, EmptyAndBlankSourcesLeaveOneEmptyFile) {
  for (const std::string source : {"", "   ", "\r\n \r\n\r\r  \r\n", "\r"}) {
    MemoryFileSystem fresh;
    files = fresh;
    files.files[Out(1)] = "kept\r\n";  // an existing 1.txt stays as it was
    EXPECT_EQ(Split(source, 1000), SplitOutcome::kFinished) << source;
    EXPECT_EQ(OutputFiles(files), std::vector<std::string>{"kept\r\n"}) << source;
    EXPECT_EQ(files.appended, std::vector<std::string>{Out(1)});
  }
}

TEST_P(SplitJobTest, LineEndsAndTrimming) {
  // A tab or a full-width space is content; only the plain space is trimmed; a lone LF is
  // an ordinary character; CR, CR LF and the end of the source end a line; a lone CR
  // becomes CR LF.
  const std::string source =
      "\t\r\n  \xE3\x80\x80x\xE3\x80\x80  \r"
      "one\ntwo\n\r\n"
      "a  b\r\r\n"
      "last  \r";
  EXPECT_EQ(Split(source, 100), SplitOutcome::kFinished);
  EXPECT_EQ(OutputFiles(files),
            std::vector<std::string>{"\t\r\n\xE3\x80\x80x\xE3\x80\x80\r\none\ntwo\n\r\na  b\r\n"
                                     "last\r\n"});
  EXPECT_EQ(host.lines_per_file_reads, 5);

  // The first line end decides: an LF makes CR, LF and CR LF line ends.
  MemoryFileSystem fresh;
  files = fresh;
  EXPECT_EQ(Split("no\ncarriage\r\nreturn\rlast", 1), SplitOutcome::kFinished);
  EXPECT_EQ(OutputFiles(files),
            (std::vector<std::string>{"no\r\n", "carriage\r\n", "return\r\n", "last\r\n", ""}));
}

TEST_P(SplitJobTest, AppendsToExistingFiles) {
  // After the old text; an old last line without its line end gets one first, so the job's
  // first line stays a line: CR LF, or with kept lines the source's own first line end (CR LF
  // while it has none yet), in the file's units. A file that holds only the source's mark is
  // empty for the mark and header rules; one that starts with another mark is refused.
  const std::string le("\xFF\xFE", 2), u8("\xEF\xBB\xBF");
  struct Case {
    std::string old, source;
    bool keep;
    std::optional<int> header;
    std::string expected;  // "" when refused and left as it was
  };
  const Case cases[] = {
      {"old one\r\n", "a\r\nb\r\n", false, {}, "old one\r\na\r\nb\r\n"},
      {"old\r\npart", "a\r\nb\r\n", false, {}, "old\r\npart\r\na\r\nb\r\n"},
      {"old\npart", "  a\n", false, {}, "old\npart\r\na\r\n"},
      {"part", "a\nb\n", true, {}, "part\na\nb\n"},
      {"part", "a\rb", true, {}, "part\ra\rb"},
      {"part", "ab", true, {}, "part\r\nab"},
      {"old\r", "a\n", true, {}, "old\ra\n"},
      {le + std::string("o\0", 2),
       le + std::string("a\0\r\0", 4),
       false,
       {},
       le + std::string("o\0\r\0\n\0a\0\r\0\n\0", 12)},
      {u8, u8 + "h\na\n", true, 1, u8 + "h\na\n"},
      {u8 + "x\n", "a\n", false, {}, ""},
      {le + std::string("o\0", 2), u8 + "a\n", false, {}, ""},
  };
  for (const Case& c : cases) {
    files = MemoryFileSystem{};
    host = ScriptedHost{};
    files.files[Out(1)] = c.old;
    files.files["in.txt"] = c.source;
    host.lines_per_file = 100;
    SplitOptions options;
    options.keep_lines = c.keep;
    options.header_lines = c.header;
    const SplitOutcome outcome = RunSplit(host, files, options, TuningFor(GetParam()));
    EXPECT_EQ(outcome, c.expected.empty() ? SplitOutcome::kFailed : SplitOutcome::kFinished);
    EXPECT_EQ(files.files[Out(1)], c.expected.empty() ? c.old : c.expected) << c.old;
    if (c.expected.empty()) {
      EXPECT_EQ(host.error->kind, SplitErrorKind::kOutputEncoding);
    }
  }
}

TEST_P(SplitJobTest, LongLinesAreStreamedAndTrimmed) {
  // Spaces inside a line are kept however long the run; the ends are trimmed even when the
  // line is many times longer than the buffers.
  const std::string inner(5000, ' ');
  const std::string body = "start" + inner + "middle" + inner + "end";
  const std::string source = std::string(3000, ' ') + body + std::string(4000, ' ') + "\r\n" +
                             std::string(9000, ' ') + "\r\nshort";
  EXPECT_EQ(Split(source, 1), SplitOutcome::kFinished);
  EXPECT_EQ(OutputFiles(files), (std::vector<std::string>{body + "\r\n", "short\r\n", ""}));
}

TEST_P(SplitJobTest, MatchesReferenceModelOnRandomSources) {
  // Bytes that matter to the rules, in random mixes, with random buffer sizes and N.
  std::mt19937 random(20240611);
  const char alphabet[] = {'a', 'b', ' ', ' ', '\r', '\n', '\t', '\xE3', '\x80'};
  for (int round = 0; round < 150; ++round) {
    std::string source(random() % 200, 'x');
    for (char& c : source) c = alphabet[random() % sizeof(alphabet)];
    const int n = 1 + static_cast<int>(random() % 5);
    MemoryFileSystem fresh;
    files = fresh;
    files.files["in.txt"] = source;
    files.largest_read = 1 + random() % 40;  // short reads as from a pipe
    host = ScriptedHost{};
    host.lines_per_file = n;
    std::atomic<bool> never{false};
    if (round % 2 == 1) host.fixed_settings_stop = &never;  // same output either way
    // Every other round one of the other ways to split.
    ModelSplit split{.n = n};
    if (round % 2 == 0) split = SplitTable()[random() % SplitTable().size()];
    host.lines_per_file = split.n == 0 ? 1 : split.n;
    const SplitOptions options = WithModelSplit({}, split);
    ASSERT_EQ(RunSplit(host, files, options, TuningFor(GetParam())),
              testing::ModelOutcome(source, UnitModel{}, split));
    EXPECT_EQ(OutputFiles(files), ModelFiles(source, UnitModel{}, split)) << "round " << round;
  }
}

// Every combination of tiny read and write buffers and every way to split (line-end rules,
// trimmed or kept, header, by lines, bytes or parts) over sources with CR LF pairs, lone LFs,
// spaces, blank lines and multibyte text at every offset; the first line end a CR or an LF.
// The same sources as UTF-16 in both byte orders, so that units are cut at every offset too.
// With a size limit, lines longer than the output buffer are measured in the source.
TEST(SplitJobBuffers, TinyBuffersMatchReferenceModel) {
  const std::string texts[] = {
      "alpha\r\n  beta  \r\n\r\n   \r\ngamma\r\r\n\tdelta\t\r \xD6\xD0\xCE\xC4 \r\n"
      "lf\ninside\r\n epsilon\r\n\r\nzeta  \r\n  eta\r\ntheta\r",
      "one\n two \r\n\n\r\rthree\r\n\n  \nfour\rfive\n\r\n six\n\n"};
  const UnitModel models[] = {
      {}, {2, false, std::string("\xFF\xFE", 2)}, {2, true, std::string("\xFE\xFF", 2)}};
  for (const std::string& text : texts) {
    for (const UnitModel& model : models) {
      std::string source = model.mark;
      for (const char c : text) source += model.Unit(c);
      // With 16-bit units the second text ends inside a line, on a final odd byte.
      if (model.unit == 2 && &text == &texts[1]) {
        for (const char c : std::string(" seven  ")) source += model.Unit(c);
        source += 'x';
      }
      for (ModelSplit split : SplitTable()) {
        for (std::size_t read = 1; read <= 16; ++read) {
          for (std::size_t write : {std::size_t{1}, std::size_t{3}, read + 4}) {
            for (int n = split.n; n <= (split.n == 1 ? 5 : split.n); ++n) {
              split.n = n;
              MemoryFileSystem files;
              files.files["in.txt"] = source;
              ScriptedHost host;
              host.lines_per_file = std::max(n, 1);
              SplitTuning tuning;
              tuning.read_buffer_size = read;
              tuning.write_buffer_size = write;
              tuning.line_bound = write;  // lines longer than it are measured
              tuning.background_writes = (read + write) % 2 == 0;
              if (read % 4 != 0) tuning.inline_write_bytes = 0;  // the helper takes every piece
              ASSERT_EQ(RunSplit(host, files, WithModelSplit({}, split), tuning),
                        testing::ModelOutcome(source, model, split));
              ASSERT_EQ(OutputFiles(files), ModelFiles(source, model, split))
                  << "read " << read << " write " << write << " n " << n << " rule "
                  << static_cast<int>(split.rule) << " keep " << split.keep << " cut "
                  << static_cast<int>(split.cut) << " source " << source.size();
            }
          }
        }
      }
    }
  }
}

TEST_P(SplitJobTest, HostIsAskedWhenTheRulesSay) {
  // Four lines read (one blank), N = 2: the pump runs after every line except the one
  // that completes a file; N is read after every written line; the stop flag before every
  // line; the folder at every file opening.
  EXPECT_EQ(Split("a\r\n\r\nb\r\nc", 2), SplitOutcome::kFinished);
  EXPECT_EQ(host.pumps, 3);
  EXPECT_EQ(host.lines_per_file_reads, 3);
  EXPECT_EQ(host.stop_checks, 4);
  EXPECT_EQ(host.folder_reads, 2);

  // The folder and N are taken as they are at that moment.
  MemoryFileSystem fresh;
  files = fresh;
  host = ScriptedHost{};
  host.on_pump = [](ScriptedHost& h) {
    if (h.pumps == 2) {
      h.folder = "  other  ";
      h.lines_per_file = 3;
    }
  };
  EXPECT_EQ(Split("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n", 5), SplitOutcome::kFinished);
  const std::string other = "other" + std::string(1, kPathSeparator);
  EXPECT_EQ(files.files[Out(1)], "1\r\n2\r\n3\r\n");
  EXPECT_EQ(files.files[other + "2.txt"], "4\r\n5\r\n6\r\n");
  EXPECT_EQ(files.files[other + "3.txt"], "7\r\n8\r\n");
  EXPECT_EQ(files.files.count(other + "4.txt"), 0u);

  // A folder emptied meanwhile ends the job at the next file, the files written whole.
  files = fresh;
  host = ScriptedHost{};
  host.on_pump = [](ScriptedHost& h) { h.folder = h.pumps == 1 ? "  " : h.folder; };
  EXPECT_EQ(Split("1\r\n2\r\n3\r\n", 2), SplitOutcome::kFailed);
  ASSERT_TRUE(host.error);
  EXPECT_EQ(host.error->kind, SplitErrorKind::kNoOutputFolder);
  EXPECT_EQ(OutputFiles(files), std::vector<std::string>{"1\r\n2\r\n"});
  EXPECT_EQ(files.appended, std::vector<std::string>{Out(1)});
}

TEST_P(SplitJobTest, LinesPerFileFollowsTheRealNumberRule) {
  // N not above 1 gives one line per file; 2.5 gives three.
  for (const double n : {1.0, 0.0, -4.0, 0.5}) {
    MemoryFileSystem fresh;
    files = fresh;
    EXPECT_EQ(Split("a\r\nb\r\n", n), SplitOutcome::kFinished);
    EXPECT_EQ(OutputFiles(files), (std::vector<std::string>{"a\r\n", "b\r\n", ""})) << n;
  }
  MemoryFileSystem fresh;
  files = fresh;
  EXPECT_EQ(Split("1\r2\r3\r4\r", 2.5), SplitOutcome::kFinished);
  EXPECT_EQ(OutputFiles(files), (std::vector<std::string>{"1\r\n2\r\n3\r\n", "4\r\n"}));

  // Changed from 1000 to 10 during the job: the file closes after the next written line.
  files = fresh;
  host = ScriptedHost{};
  host.on_pump = [](ScriptedHost& h) {
    if (h.pumps == 12) h.lines_per_file = 10;
  };
  std::string source;
  for (int i = 1; i <= 30; ++i) source += std::to_string(i) + "\r\n";
  EXPECT_EQ(Split(source, 1000), SplitOutcome::kFinished);
  const std::vector<std::string> outputs = OutputFiles(files);
  ASSERT_EQ(outputs.size(), 3u);
  EXPECT_EQ(std::count(outputs[0].begin(), outputs[0].end(), '\n'), 13);
  EXPECT_EQ(std::count(outputs[1].begin(), outputs[1].end(), '\n'), 10);
  EXPECT_EQ(std::count(outputs[2].begin(), outputs[2].end(), '\n'), 7);
}

TEST_P(SplitJobTest, StopKeepsWhatWasWritten) {
  // Stop clicked during the pump after the fourth line: the files written so far keep
  // their lines, nothing more is read.
  host.on_pump = [](ScriptedHost& h) {
    if (h.pumps == 3) h.stop = true;
  };
  EXPECT_EQ(Split("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n", 3), SplitOutcome::kStopped);
  EXPECT_EQ(OutputFiles(files), (std::vector<std::string>{"1\r\n2\r\n3\r\n", "4\r\n"}));
  EXPECT_EQ(host.events, (std::vector<std::string>{"started", "stopped"}));
  EXPECT_EQ(files.open_files, 0);

  // Stop requested when the source is already at its end: a normal finish.
  MemoryFileSystem fresh;
  files = fresh;
  host = ScriptedHost{};
  host.on_pump = [](ScriptedHost& h) { h.stop = h.pumps == 2; };
  EXPECT_EQ(Split("1\r\n2\r\n", 5), SplitOutcome::kFinished);
  EXPECT_EQ(host.events, (std::vector<std::string>{"started", "finished"}));

  // Stop already set: 1.txt is opened (before the first line) and left empty.
  files = fresh;
  host = ScriptedHost{};
  host.stop = true;
  EXPECT_EQ(Split("1\r\n", 5), SplitOutcome::kStopped);
  EXPECT_EQ(OutputFiles(files), std::vector<std::string>{""});
}

TEST(SplitJobHost, HostWithFixedSettingsIsAskedLessOften) {
  // The stop flag is read directly; N once per file; the pump once per block read.
  for (const bool background : {true, false}) {
    MemoryFileSystem files;
    ScriptedHost host;
    std::atomic<bool> stop{false};
    host.fixed_settings_stop = &stop;
    host.on_pump = [&](ScriptedHost& h) {
      if (h.pumps == 1) stop = true;
    };
    files.files["in.txt"] = "1\r\n2\r\n   \r\n3\r\n4\r\n";
    host.lines_per_file = 1;
    SplitTuning tuning;
    tuning.read_buffer_size = 6;  // the first block holds exactly the first two lines
    tuning.background_writes = background;
    EXPECT_EQ(RunSplit(host, files, {}, tuning), SplitOutcome::kStopped);
    EXPECT_EQ(host.stop_checks, 0);
    EXPECT_EQ(host.pumps, 1);
    EXPECT_EQ(host.lines_per_file_reads, 3);
    EXPECT_EQ(OutputFiles(files), (std::vector<std::string>{"1\r\n", "2\r\n", ""}));
  }
}

TEST(SplitJobHost, AStopIsSeenInsideALongLine) {
  // One line of 1 MiB after a whole one, read in pieces: the stop comes between pieces (the
  // pump runs for each, for both kinds of host), the piece written so far is cut back.
  for (const bool fixed : {false, true}) {
    for (const bool keep : {false, true}) {
      MemoryFileSystem files;
      files.files["in.txt"] = "a\r\n" + std::string(1 << 20, 'x');
      ScriptedHost host;
      std::atomic<bool> stop{false};
      if (fixed) host.fixed_settings_stop = &stop;
      host.on_pump = [&](ScriptedHost& h) {
        if (h.pumps == 5) h.stop = stop = true;
      };
      SplitOptions options;
      options.keep_lines = keep;
      SplitTuning tuning;
      tuning.read_buffer_size = tuning.write_buffer_size = tuning.line_bound = 4096;
      EXPECT_EQ(RunSplit(host, files, options, tuning), SplitOutcome::kStopped);
      EXPECT_EQ(host.pumps, 5);
      EXPECT_EQ(OutputFiles(files), std::vector<std::string>{"a\r\n"});
      EXPECT_EQ(files.open_files, 0);
    }
  }
}

TEST(SplitJobHost, LinesReadBeforeAStoppedReadAreWritten) {
  // A stop that ends a read waiting for more: the lines whole before it stay, also the one a
  // CR last in the read ended (its LF may never come), whoever asks for the stop.
  for (const std::string source : {"a\r\nb\r", "a\nb\n", "a\r\nb\r\n"}) {
    for (const bool fixed : {false, true}) {
      MemoryFileSystem files;
      files.files["in.txt"] = source + "c";
      files.read_interrupted_at = source.size();
      std::atomic<bool> stop{false};
      files.interrupt_sets = &stop;
      ScriptedHost host;
      host.fixed_settings_stop = &stop;
      host.lines_per_file = 100;
      SplitOptions options;
      options.keep_lines = fixed;
      EXPECT_EQ(RunSplit(host, files, options), SplitOutcome::kStopped) << source;
      EXPECT_EQ(OutputFiles(files)[0], fixed ? source : std::string("a\r\nb\r\n")) << source;
    }
  }
}

TEST_P(SplitJobTest, ProgressCountsLinesFilesAndBytes) {
  SplitProgress progress;
  std::vector<std::int64_t> seen;
  host.on_pump = [&](ScriptedHost&) { seen.push_back(progress.lines_written); };
  files.files["in.txt"] = "a\r\n\r\nb\r\nc\r\n";
  host.lines_per_file = 2;
  SplitOptions options;
  options.progress = &progress;
  EXPECT_EQ(RunSplit(host, files, options, TuningFor(GetParam())), SplitOutcome::kFinished);
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 1, 3}));
  EXPECT_EQ(progress.lines_written, 3);
  EXPECT_EQ(progress.file_number, 2);
  EXPECT_EQ(progress.bytes_read, 11u);
  EXPECT_EQ(progress.source_size, 11);
}

TEST_P(SplitJobTest, OutputThatCannotBeOpenedStopsTheJob) {
  files.refuse_open.insert(Out(2));
  EXPECT_EQ(Split("a\r\nb\r\nc\r\nd\r\n", 1), SplitOutcome::kFailed);
  ASSERT_TRUE(host.error);
  EXPECT_EQ(host.error->kind, SplitErrorKind::kOutputWrite);
  EXPECT_EQ(host.error->path, Out(2));
  EXPECT_EQ(host.error->reason, "Permission denied");
  EXPECT_EQ(files.files[Out(1)], "a\r\n");
  EXPECT_EQ(files.appended, std::vector<std::string>{Out(1)});  // no later file either
  EXPECT_EQ(host.events, (std::vector<std::string>{"started", "failed"}));
  EXPECT_EQ(files.open_files, 0);
}

TEST_P(SplitJobTest, FailedWriteStopsAtOnceAndKeepsWhatWasWritten) {
  std::string source;
  for (int i = 0; i < 2000; ++i) source += "line " + std::to_string(i) + "\r\n";
  files.write_fails_after = 100;
  EXPECT_EQ(Split(source, 5000), SplitOutcome::kFailed);
  ASSERT_TRUE(host.error);
  EXPECT_EQ(host.error->kind, SplitErrorKind::kOutputWrite);
  EXPECT_EQ(host.error->path, Out(1));
  EXPECT_EQ(host.error->reason, "No space left on device");
  // The file is cut back to its last complete line (see FailuresPartWay for every offset).
  const std::string kept = files.files[Out(1)];
  EXPECT_LE(kept.size(), 100u);
  EXPECT_EQ(kept, source.substr(0, kept.size()));
  EXPECT_TRUE(kept.empty() || kept.ends_with("\r\n"));
  EXPECT_EQ(files.appended, std::vector<std::string>{Out(1)});
  EXPECT_EQ(files.open_files, 0);

  // A failing close is a failed write too.
  MemoryFileSystem fresh;
  files = fresh;
  host = ScriptedHost{};
  files.refuse_close.insert(Out(1));
  // No later file is touched, even when the job went on before it saw the failure.
  EXPECT_EQ(Split("a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n", 2), SplitOutcome::kFailed);
  ASSERT_TRUE(host.error);
  EXPECT_EQ(host.error->kind, SplitErrorKind::kOutputWrite);
  EXPECT_EQ(host.error->path, Out(1));
  EXPECT_EQ(host.error->reason, "Disk quota exceeded");
  EXPECT_EQ(files.appended, std::vector<std::string>{Out(1)});
}

// Whatever ends a job part way (an output that cannot be opened, a read or a write that
// fails after K bytes, a cut-back that fails too, a stop while a read waits), at every K,
// for lines shorter and longer than the buffers and in every way of cutting and shaping
// lines: every file holds whole lines only,
// exactly the first lines of a complete run, as many as the job reports; only a failed
// cut-back may leave a last line incomplete, and then the job names that file, also when
// a read failed or a stop came.
TEST(SplitJobFailures, FailuresPartWayLeaveWholeLinesOnly) {
  enum Kind { kOpen, kRead, kReadThrows, kWrite, kWriteThrows, kInterrupt };
  // Each way to fail; with true, the cut-back of the file fails as well.
  const std::pair<Kind, bool> failures[] = {
      {kOpen, false},  {kRead, false},        {kReadThrows, false},
      {kWrite, false}, {kWriteThrows, false}, {kInterrupt, false},
      {kRead, true},   {kWrite, true},        {kInterrupt, true}};
  // Ways to split, three at each K, taken in turn.
  const std::vector<ModelSplit> table = {
      {.n = 1},
      {.n = 7},
      {.n = 1000},
      {.n = 3, .keep = true},
      {.n = 2, .header = 1},
      {.n = 4, .keep = true, .header = 2},
      {.n = 0, .cut = CutBy::kBytes, .max_bytes = 40},
      {.n = 0, .keep = true, .cut = CutBy::kBytes, .max_bytes = 100},
      {.n = 0, .header = 1, .cut = CutBy::kParts, .parts = 5}};
  const UnitModel kLe{2, false, std::string("\xFF\xFE", 2)};
  std::string ansi, wide = kLe.mark;
  for (int i = 0; i < 60; ++i) {
    const std::string line =
        (i % 7 == 3 ? std::string(90, 'L') : "line " + std::to_string(i)) + (i % 5 ? "\r\n" : "\n");
    ansi += (i % 4 == 0 ? "  " : "") + line;
    for (const char c : line) wide += kLe.Unit(c);
  }
  struct Source {
    const std::string& bytes;
    UnitModel model;
  };
  for (const Source& source : {Source{ansi, UnitModel{}}, Source{wide, kLe}}) {
    for (const auto& [kind, no_cut_back] : failures) {
      for (std::uint64_t at = 0; at < source.bytes.size(); at += kind == kOpen ? 1 : 11) {
        if (kind == kOpen && at > 12) break;
        for (std::size_t turn = 0; turn < 3; ++turn) {
          const std::size_t which = (at / 11 + turn * 3) % table.size();
          const ModelSplit& split = table[which];
          const int n = split.n;
          const bool background = (at / 11 + turn) % 2 == 0;
          MemoryFileSystem files;
          files.files["in.txt"] = source.bytes;
          std::atomic<bool> stop{false};
          ScriptedHost host;
          host.lines_per_file = n;
          host.fixed_settings_stop = &stop;
          switch (kind) {
            case kOpen:
              files.open_fails_after = at;
              break;
            case kRead:
            case kReadThrows:
              files.read_fails_after = at;
              files.read_throws = kind == kReadThrows;
              break;
            case kWrite:
            case kWriteThrows:
              files.write_fails_after = at;
              files.write_throws = kind == kWriteThrows;
              break;
            case kInterrupt:
              files.read_interrupted_at = at;
              files.interrupt_sets = &stop;
              break;
          }
          for (int i = 1; no_cut_back && i <= 60; ++i) files.refuse_cut_back.insert(Out(i));
          SplitProgress progress;
          SplitTuning tuning;
          tuning.read_buffer_size = 16;
          tuning.write_buffer_size = 24;  // shorter than the long lines
          tuning.background_writes = background;
          tuning.inline_write_bytes = at % 3 == 0 ? 16 : 0;
          SplitOptions options;
          options.progress = &progress;
          options = WithModelSplit(options, split);
          SplitOutcome outcome = SplitOutcome::kFailed;
          try {
            outcome = RunSplit(host, files, options, tuning);
          } catch (const std::bad_alloc&) {
            EXPECT_EQ(kind, kReadThrows);
          }
          const std::string where = "kind " + std::to_string(kind) + " at " + std::to_string(at) +
                                    " split " + std::to_string(which) + " no cut-back " +
                                    std::to_string(no_cut_back) + " unit " +
                                    std::to_string(source.model.unit);
          if (outcome == SplitOutcome::kFinished) continue;  // the failure came too late
          const std::string incomplete = host.error ? host.error->incomplete_file : "";
          const bool stopped = kind == kInterrupt && incomplete.empty();
          EXPECT_EQ(outcome, stopped ? SplitOutcome::kStopped : SplitOutcome::kFailed) << where;
          EXPECT_TRUE(incomplete.empty() || no_cut_back) << where;
          // The complete run's files, then the files as whole lines of it: each a prefix
          // of the complete file that ends at one of its line boundaries (or is empty). A
          // kept line whose CR came last before the end is whole: CR ends a line too.
          std::vector<std::vector<std::size_t>> ends;
          const std::vector<std::string> all = ModelFiles(source.bytes, source.model, split, &ends);
          const std::vector<std::string> out = OutputFiles(files);
          std::int64_t lines = 0;
          for (std::size_t i = 0; i < out.size(); ++i) {
            ASSERT_LT(i, all.size()) << where;
            const std::string& file = out[i];
            EXPECT_EQ(file, all[i].substr(0, file.size())) << where << " file " << i + 1;
            const bool cr_last = split.keep && file.ends_with(source.model.Unit('\r'));
            const std::size_t end = file.size() + (cr_last ? source.model.unit : 0);
            auto boundary = std::find(ends[i].begin(), ends[i].end(), file.size());
            if (boundary == ends[i].end())
              boundary = std::find(ends[i].begin(), ends[i].end(), end);
            if (boundary != ends[i].end()) {
              lines += boundary - ends[i].begin();
            } else if (!file.empty()) {
              EXPECT_EQ(incomplete, Out(static_cast<int>(i) + 1)) << where << " file " << i + 1;
            }
          }
          if (incomplete.empty()) {
            EXPECT_EQ(progress.lines_written, lines) << where;
          }
          // A write that failed part way keeps every whole line the files took: the
          // complete run's bytes up to the failure, each file cut at its last line end.
          if (kind == kWrite && !no_cut_back && !split.keep && !split.header) {
            std::uint64_t left = at;
            const std::string line_end = source.model.Unit('\r') + source.model.Unit('\n');
            for (std::size_t i = 0; i < out.size() && i < all.size(); ++i) {
              std::string expected = all[i].substr(0, std::min<std::uint64_t>(left, all[i].size()));
              left -= expected.size();
              const std::size_t mark = source.model.mark.size();
              std::size_t end = expected.size() < mark ? 0 : mark;
              for (std::size_t k = mark; k + line_end.size() <= expected.size();
                   k += source.model.unit) {
                if (expected.compare(k, line_end.size(), line_end) == 0) end = k + line_end.size();
              }
              EXPECT_EQ(out[i], expected.substr(0, end)) << where << " file " << i + 1;
            }
          }
          EXPECT_EQ(files.open_files, 0) << where;
        }
      }
    }
  }
}

TEST_P(SplitJobTest, UnreadableSourceEndsTheJob) {
  // Cannot be opened: no output file is created.
  files.refuse_open.insert("in.txt");
  EXPECT_EQ(Split("a\r\n", 2), SplitOutcome::kFailed);
  ASSERT_TRUE(host.error);
  EXPECT_EQ(host.error->kind, SplitErrorKind::kSourceOpen);
  EXPECT_EQ(host.error->path, "in.txt");
  EXPECT_TRUE(files.appended.empty());

  // Missing, named with spaces around: the trimmed name is reported.
  MemoryFileSystem fresh;
  files = fresh;
  host = ScriptedHost{};
  host.source = "  missing.txt ";
  EXPECT_EQ(RunSplit(host, files), SplitOutcome::kFailed);
  EXPECT_EQ(host.error->path, "missing.txt");
  EXPECT_EQ(host.error->reason, "No such file or directory");

  // The first read fails: still no output file.
  files = fresh;
  host = ScriptedHost{};
  files.read_fails_after = 0;
  EXPECT_EQ(Split("a\r\n", 2), SplitOutcome::kFailed);
  EXPECT_EQ(host.error->kind, SplitErrorKind::kSourceRead);
  EXPECT_EQ(host.error->reason, "Input/output error");
  EXPECT_TRUE(files.appended.empty());

  // A later read fails: complete lines are kept; the cut line is not written unless it
  // was longer than the write buffer (lines are streamed, never held whole).
  files = fresh;
  host = ScriptedHost{};
  files.read_fails_after = 7;
  EXPECT_EQ(Split("abc\r\ndef\r\nghi\r\n", 100), SplitOutcome::kFailed);
  EXPECT_EQ(host.error->kind, SplitErrorKind::kSourceRead);
  if (GetParam().write > 2) {
    EXPECT_EQ(files.files[Out(1)], "abc\r\n");
  } else {
    EXPECT_EQ(files.files[Out(1)].substr(0, 5), "abc\r\n");
  }
  EXPECT_EQ(files.open_files, 0);
}

TEST_P(SplitJobTest, OutputThatIsTheSourceIsNeverWritten) {
  // The source is out/2.txt under another spelling; the job must see it is the same file.
  const std::string source = "x\r\ny\r\nz\r\n";
  files.files[Out(2)] = source;
  files.aliases["elsewhere/../out/2.txt"] = Out(2);
  host.source = "elsewhere/../out/2.txt";
  host.lines_per_file = 1;
  EXPECT_EQ(RunSplit(host, files, {}, TuningFor(GetParam())), SplitOutcome::kFailed);
  ASSERT_TRUE(host.error);
  EXPECT_EQ(host.error->kind, SplitErrorKind::kOutputIsSource);
  EXPECT_EQ(host.error->path, Out(2));
  EXPECT_EQ(files.files[Out(2)], source);
  EXPECT_EQ(files.files[Out(1)], "x\r\n");
  EXPECT_EQ(files.open_files, 0);
}

TEST_P(SplitJobTest, CountsNeverPassTheirLimit) {
  // File numbers end at the limit: an error once a line needs a file past it, or the classic
  // split's next file; cut by lines, a file holds at most the limit of lines; cut by size or
  // parts, any number.
  SplitTuning tuning = TuningFor(GetParam());
  tuning.count_limit = 3;
  files.files["in.txt"] = "1\r\n2\r\n3\r\n4\r\n5\r\n";
  host.lines_per_file = 1;
  EXPECT_EQ(RunSplit(host, files, {}, tuning), SplitOutcome::kFailed);
  ASSERT_TRUE(host.error);
  EXPECT_EQ(host.error->kind, SplitErrorKind::kNumberOverflow);
  EXPECT_EQ(host.error->path, Out(4));
  EXPECT_EQ(files.appended.size(), 3u);  // 4.txt is never created
  for (const bool keep : {true, false}) {
    MemoryFileSystem fresh;
    files = fresh;
    host = ScriptedHost{};
    files.files["in.txt"] = "1\r\n2\r\n3\r\n4\r\n";
    host.lines_per_file = 2;
    SplitOptions options;
    options.keep_lines = keep;
    options.first_number = 2;
    EXPECT_EQ(RunSplit(host, files, options, tuning),
              keep ? SplitOutcome::kFinished : SplitOutcome::kFailed);
    EXPECT_EQ(files.files[Out(3)], "3\r\n4\r\n");
    EXPECT_EQ(files.files.count(Out(4)), 0u);
  }
  for (const CutBy cut : {CutBy::kBytes, CutBy::kParts}) {
    MemoryFileSystem fresh;
    files = fresh;
    host = ScriptedHost{};
    files.files["in.txt"] = "1\r\n2\r\n3\r\n4\r\n";
    SplitOptions options;
    options.cut_by = cut;
    options.max_file_bytes = 100;
    options.parts = 1;
    EXPECT_EQ(RunSplit(host, files, options, tuning), SplitOutcome::kFinished);
    EXPECT_EQ(files.files[Out(1)], "1\r\n2\r\n3\r\n4\r\n");
  }

  MemoryFileSystem fresh;
  files = fresh;
  host = ScriptedHost{};
  files.files["in.txt"] = "1\r\n2\r\n   \r\n3\r\n  4\r\n5\r\n";
  host.lines_per_file = 100;
  EXPECT_EQ(RunSplit(host, files, {}, tuning), SplitOutcome::kFailed);
  ASSERT_TRUE(host.error);
  EXPECT_EQ(host.error->kind, SplitErrorKind::kCountOverflow);
  EXPECT_EQ(host.error->path, Out(1));
  EXPECT_EQ(files.files[Out(1)], "1\r\n2\r\n3\r\n");
}

}  // namespace
}  // namespace tarnwick
