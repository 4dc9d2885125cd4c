// The split job on sources with a byte-order mark: UTF-16 in both byte orders split by
// their 16-bit units, UTF-8 by bytes, the mark at the start of every new file, and the
// refusal of existing files of another encoding. Checked against a small model of the
// rules under every tiny buffer size, so units and CR LF pairs are cut at every offset.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "memory_file_system.h"
#include "reference_model.h"
#include "splitter/split_job.h"
#include "unicode_reference_model.h"

namespace tarnwick {
namespace {

using testing::MemoryFileSystem;
using testing::Out;
using testing::OutputFiles;
using testing::ScriptedHost;
using testing::UnitModel;
using testing::UnitReferenceFiles;

const std::string kLeMark("\xFF\xFE", 2);
const std::string kBeMark("\xFE\xFF", 2);
const std::string kUtf8Mark("\xEF\xBB\xBF", 3);

const UnitModel kUtf16Le{2, false, kLeMark};
const UnitModel kUtf16Be{2, true, kBeMark};
const UnitModel kUtf8{1, false, kUtf8Mark};

// 16-bit units as bytes in the model's byte order (no mark).
std::string Units(const UnitModel& model, const std::vector<char16_t>& units) {
  std::string bytes;
  for (const char16_t unit : units) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += model.big_endian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

// Text of characters below 256 as units of the model (bytes for UTF-8).
std::string Text(const UnitModel& model, const std::string& text) {
  std::string bytes;
  for (const char c : text) bytes += model.Unit(c);
  return bytes;
}

struct Job {
  MemoryFileSystem files;
  ScriptedHost host;
  SplitOutcome outcome = SplitOutcome::kFailed;
};

// Runs the job over `source` with N lines per file and the given buffers.
void Split(Job& run, const std::string& source, double n, std::size_t read = 1 << 16,
           std::size_t write = 1 << 16, bool background = true,
           SourceEncoding encoding = SourceEncoding::kAuto,
           const testing::ModelSplit* split = nullptr) {
  run.files.files["in.txt"] = source;
  run.host.lines_per_file = n;
  SplitOptions options;
  if (split != nullptr) options = testing::WithModelSplit(options, *split);
  options.encoding = encoding;
  SplitTuning tuning;
  tuning.read_buffer_size = read;
  tuning.write_buffer_size = write;
  tuning.line_bound = write;  // with a size limit, longer lines are measured
  tuning.background_writes = background;
  tuning.inline_write_bytes = read % 3 == 0 ? 16 : 0;  // otherwise the helper takes every piece
  run.outcome = RunSplit(run.host, run.files, options, tuning);
}

// A source of each marked encoding holding units whose bytes are 0D, 0A or 20 (U+0D0A,
// U+2020, U+200D, U+0A0D), a surrogate pair, spaces, blank lines, lone LFs and lone CRs.
std::string MixedSource(const UnitModel& model) {
  if (model.unit == 1) {
    return model.mark + "  head  \r\n\r\n \xE4\xB8\xAD\xE6\x96\x87 \r\nlf\ninside\r   \r\n" +
           "\xF0\x9F\x98\x80\rlast  ";
  }
  return model.mark +
         Units(model, {' ',  ' ',  'h',    'e',    'a',    'd',  ' ',  ' ',  '\r',   '\n',
                       '\r', '\n', 0x0D0A, 0x2020, 0x200D, '\r', '\n', ' ',  0x4E2D, 0x6587,
                       ' ',  '\r', 0xD83D, 0xDE00, '\n',   'x',  '\r', '\r', ' ',    ' ',
                       '\r', '\n', 0x0A0D, 0x0D20, ' ',    '\r', '\n', 'e',  'n',    'd'});
}

TEST(UnicodeSplit, EveryTinyBufferSizeMatchesTheModel) {
  for (const UnitModel& model : {kUtf16Le, kUtf16Be, kUtf8}) {
    const std::string source = MixedSource(model);
    for (std::size_t read = 1; read <= 16; ++read) {
      for (std::size_t write = 1; write <= 16; ++write) {
        for (int n = 1; n <= 5; ++n) {
          Job run;
          Split(run, source, n, read, write, (read + write + n) % 2 == 0);
          ASSERT_EQ(run.outcome, SplitOutcome::kFinished);
          ASSERT_EQ(OutputFiles(run.files), UnitReferenceFiles(source, n, model))
              << "unit " << model.unit << " read " << read << " write " << write << " n " << n;
        }
      }
    }
  }
}

TEST(UnicodeSplit, RandomSourcesMatchTheModel) {
  // Units that matter to the rules, and ones whose single bytes would, in random mixes;
  // sometimes a final odd byte; random buffers, N and host kind.
  std::mt19937 random(20261207);
  const std::vector<char16_t> alphabet = {'a',    ' ',    ' ',    '\r',   '\n',   '\t',
                                          0x0D0A, 0x2020, 0x200D, 0x0A0D, 0x0D00, 0x2000,
                                          0x000A, 0x4E2D, 0xD83D, 0xDE00, 0x0020, 0x3000};
  for (int round = 0; round < 400; ++round) {
    const UnitModel& model = round % 3 == 0 ? kUtf16Le : round % 3 == 1 ? kUtf16Be : kUtf8;
    std::string source = model.mark;
    std::vector<char16_t> units(random() % 120);
    for (char16_t& unit : units) unit = alphabet[random() % alphabet.size()];
    if (model.unit == 2) {
      source += Units(model, units);
      if (random() % 3 == 0) source += static_cast<char>('A' + random() % 26);
    } else {
      for (const char16_t unit : units) source += static_cast<char>(unit & 0xFF);
    }
    const int n = 1 + static_cast<int>(random() % 5);
    Job run;
    run.files.largest_read = 1 + random() % 40;
    std::atomic<bool> never{false};
    if (round % 2 == 1) run.host.fixed_settings_stop = &never;
    // Every other round one of the other ways to split.
    testing::ModelSplit split{.n = n};
    if (round % 2 == 0) split = testing::SplitTable()[random() % testing::SplitTable().size()];
    Split(run, source, split.n == 0 ? 1 : split.n, 1 + random() % 64, 1 + random() % 64,
          random() % 2 == 0, SourceEncoding::kAuto, &split);
    ASSERT_EQ(run.outcome, testing::ModelOutcome(source, model, split));
    ASSERT_EQ(OutputFiles(run.files), testing::ModelFiles(source, model, split))
        << "round " << round;
  }
}

TEST(UnicodeSplit, TheMarkStartsEveryNewFileAndIsNotPartOfTheFirstLine) {
  // "  head  " right after the mark gives "head"; the empty file after an exact multiple of
  // N and the lone file of a source that is only a mark hold the mark alone.
  for (const UnitModel& model : {kUtf16Le, kUtf16Be, kUtf8}) {
    Job run;
    Split(run, model.mark + Text(model, "  head  \r\nb\r\n"), 1);
    EXPECT_EQ(OutputFiles(run.files),
              (std::vector<std::string>{model.mark + Text(model, "head\r\n"),
                                        model.mark + Text(model, "b\r\n"), model.mark}));
    Job only_mark;
    Split(only_mark, model.mark, 3);
    EXPECT_EQ(only_mark.outcome, SplitOutcome::kFinished);
    EXPECT_EQ(OutputFiles(only_mark.files), std::vector<std::string>{model.mark});
  }
}

TEST(UnicodeSplit, UnmarkedSourcesAreBytesWhateverTheyLookLike) {
  // Bytes that are UTF-16 text without a mark, a mark cut short, and a mark that is not at
  // the start: all split as bytes, and no file gets a mark.
  for (const std::string& source : {Units(kUtf16Le, {'a', '\r', '\n', 'b'}), std::string("\xFF"),
                                    std::string("\xEF\xBB"), "x\r\n" + kLeMark + "y"}) {
    Job run;
    Split(run, source, 1);
    EXPECT_EQ(OutputFiles(run.files), testing::ReferenceFiles(source, 1));
  }
}

TEST(UnicodeSplit, AFinalOddByteEndsTheLastFileAfterItsLastLine) {
  // As it ended the source: after the last whole line and its line end, never inside a line;
  // no line of its own. Also with one-byte reads and with the stop flag read directly.
  Job ended_line;
  Split(ended_line, kLeMark + Units(kUtf16Le, {'a', ' ', ' '}) + "Z", 5);
  EXPECT_EQ(OutputFiles(ended_line.files),
            std::vector<std::string>{kLeMark + Units(kUtf16Le, {'a', '\r', '\n'}) + "Z"});
  for (const bool fixed : {false, true}) {
    Job own_line;
    std::atomic<bool> never{false};
    if (fixed) own_line.host.fixed_settings_stop = &never;
    Split(own_line, kBeMark + Units(kUtf16Be, {'a', '\r', '\n', ' '}) + "Z", 1, 1, 1);
    EXPECT_EQ(
        OutputFiles(own_line.files),
        (std::vector<std::string>{kBeMark + Units(kUtf16Be, {'a', '\r', '\n'}), kBeMark + "Z"}));
  }
  // With a size limit it counts as a byte of the file: 19 bytes with the second line, which
  // fit in 19 and not in 18. A pipe cannot be read ahead: there the long line starts the
  // next file.
  const std::string source = kLeMark + Units(kUtf16Le, {'a', '\r', '\n', 'b', ' ', 'b'}) + "Z";
  for (const auto& [limit, pipe] : {std::pair{18, false}, {19, false}, {19, true}}) {
    const testing::ModelSplit split{
        .n = 0, .cut = CutBy::kBytes, .max_bytes = static_cast<std::uint64_t>(limit)};
    Job limited;
    if (pipe) limited.files.pipes.insert("in.txt");
    Split(limited, source, 1, 2, 4, true, SourceEncoding::kAuto, &split);
    const std::vector<std::string> piped = {
        kLeMark + Units(kUtf16Le, {'a', '\r', '\n'}),
        kLeMark + Units(kUtf16Le, {'b', ' ', 'b', '\r', '\n'}) + "Z"};
    EXPECT_EQ(OutputFiles(limited.files),
              pipe ? piped : testing::ModelFiles(source, kUtf16Le, split))
        << limit;
    EXPECT_EQ(OutputFiles(limited.files).size(), limit == 18 || pipe ? 2u : 1u);
  }
}

TEST(UnicodeSplit, ForcedEncodings) {
  // A forced encoding ignores the first bytes; its own mark still counts as the mark.
  const std::string bare = Units(kUtf16Le, {' ', 'a', '\r', 'b'});
  Job unmarked;
  Split(unmarked, bare, 5, 1 << 16, 1 << 16, true, SourceEncoding::kUtf16Le);
  // A UTF-16 file always starts with its mark, forced or not, so the same job run again
  // appends to it rather than refusing it.
  EXPECT_EQ(OutputFiles(unmarked.files)[0],
            kLeMark + Units(kUtf16Le, {'a', '\r', '\n', 'b', '\r', '\n'}));
  Split(unmarked, bare, 5, 1 << 16, 1 << 16, true, SourceEncoding::kUtf16Le);
  EXPECT_EQ(unmarked.outcome, SplitOutcome::kFinished);
  EXPECT_EQ(OutputFiles(unmarked.files)[0],
            kLeMark + Units(kUtf16Le,
                            {'a', '\r', '\n', 'b', '\r', '\n', 'a', '\r', '\n', 'b', '\r', '\n'}));
  Job marked;
  Split(marked, kBeMark + Units(kUtf16Be, {'a'}), 5, 3, 3, false, SourceEncoding::kUtf16Be);
  EXPECT_EQ(OutputFiles(marked.files)[0], kBeMark + Units(kUtf16Be, {'a', '\r', '\n'}));
  // UTF-16 LE forced on a source with a big-endian mark: FE FF is the unit U+FFFE.
  Job other_mark;
  Split(other_mark, kBeMark + Units(kUtf16Le, {'a'}), 5, 1 << 16, 1 << 16, true,
        SourceEncoding::kUtf16Le);
  EXPECT_EQ(OutputFiles(other_mark.files)[0],
            kLeMark + kBeMark + Units(kUtf16Le, {'a', '\r', '\n'}));
  // ANSI forced: a UTF-16 mark is two bytes of the first line.
  Job ansi;
  Split(ansi, kLeMark + "x", 5, 1 << 16, 1 << 16, true, SourceEncoding::kAnsi);
  EXPECT_EQ(OutputFiles(ansi.files)[0], kLeMark + "x\r\n");
}

TEST(UnicodeSplit, ExistingFilesOfTheSameEncodingAreAppendedToAndEmptyOnesGetTheMark) {
  Job run;
  run.files.files[Out(1)] = kLeMark + Units(kUtf16Le, {'o', 'l', 'd', '\r', '\n'});
  run.files.write_only.insert(Out(1));  // judged by its size: not empty, appended to
  run.files.files[Out(2)] = "";
  Split(run, kLeMark + Units(kUtf16Le, {'a', '\r', 'b', '\r', 'c'}), 2);
  EXPECT_EQ(run.outcome, SplitOutcome::kFinished);
  EXPECT_EQ(OutputFiles(run.files),
            (std::vector<std::string>{kLeMark + Units(kUtf16Le, {'o', 'l', 'd', '\r', '\n', 'a',
                                                                 '\r', '\n', 'b', '\r', '\n'}),
                                      kLeMark + Units(kUtf16Le, {'c', '\r', '\n'})}));
  // A UTF-8 job appends to an unmarked (ANSI) file without adding a mark inside it.
  Job utf8;
  utf8.files.files[Out(1)] = "old\r\n";
  Split(utf8, kUtf8Mark + "new", 5);
  EXPECT_EQ(OutputFiles(utf8.files), (std::vector<std::string>{"old\r\nnew\r\n"}));
}

TEST(UnicodeSplit, AFileThatWouldHoldTwoEncodingsIsRefusedUntouched) {
  struct Case {
    std::string source;
    std::string existing;  // content of 2.txt
  };
  const std::vector<Case> cases = {
      {kLeMark + Units(kUtf16Le, {'a', '\r', 'b', '\r', 'c'}), "ansi\r\n"},  // no mark
      {kLeMark + Units(kUtf16Le, {'a', '\r', 'b', '\r', 'c'}), kBeMark + Units(kUtf16Be, {'o'})},
      {kBeMark + Units(kUtf16Be, {'a', '\r', 'b', '\r', 'c'}), kUtf8Mark + "o"},
      {"a\r\nb\r\nc", kLeMark + Units(kUtf16Le, {'o'})},              // ANSI into UTF-16
      {kUtf8Mark + "a\r\nb\r\nc", kBeMark + Units(kUtf16Be, {'o'})},  // UTF-8 into UTF-16
  };
  for (const Case& c : cases) {
    for (const bool background : {true, false}) {
      Job run;
      run.files.files[Out(2)] = c.existing;
      Split(run, c.source, 1, 1 << 16, 1 << 16, background);
      EXPECT_EQ(run.outcome, SplitOutcome::kFailed);
      ASSERT_TRUE(run.host.error.has_value());
      EXPECT_EQ(run.host.error->kind, SplitErrorKind::kOutputEncoding);
      EXPECT_EQ(run.host.error->path, Out(2));
      EXPECT_EQ(run.files.files[Out(2)], c.existing);  // untouched
      const std::string mark = c.source.substr(0, c.source.find('a'));
      EXPECT_EQ(run.files.files[Out(1)].substr(mark.size(), 1), "a");  // kept, with its line
      EXPECT_EQ(run.files.files.count(Out(3)), 0u);                    // nothing after it
      EXPECT_EQ(run.files.open_files, 0);
      EXPECT_EQ(run.host.events, (std::vector<std::string>{"started", "failed"}));
    }
  }
}

TEST(UnicodeSplit, ALongLineIsStreamedInPiecesOfTheWriteBuffer) {
  // A UTF-16 line of 6 MiB: written in pieces no larger than the write buffer, never held
  // whole, and trimmed at both ends.
  std::vector<char16_t> body(3 << 20, 0x4E2D);
  body.front() = 'A';
  body.back() = 'Z';
  std::vector<char16_t> line = {' ', ' '};
  line.insert(line.end(), body.begin(), body.end());
  line.insert(line.end(), {' ', '\r', '\n', 'e'});
  Job run;
  Split(run, kLeMark + Units(kUtf16Le, line), 5, 1 << 12, 1 << 14);
  EXPECT_EQ(run.outcome, SplitOutcome::kFinished);
  EXPECT_LE(run.files.largest_write, std::size_t{1} << 14);
  EXPECT_EQ(run.files.files[Out(1)],
            kLeMark + Units(kUtf16Le, body) + Units(kUtf16Le, {'\r', '\n', 'e', '\r', '\n'}));
}

TEST(UnicodeSplit, StopPumpAndProgressBehaveAsForAnsi) {
  // The pump runs after each line that does not complete a file; a stop seen there ends
  // the job with the lines written so far; the progress counts the source's bytes.
  SplitProgress progress;
  Job run;
  run.host.on_pump = [](ScriptedHost& host) {
    if (host.pumps == 2) host.stop = true;
  };
  const std::string source = kLeMark + Units(kUtf16Le, {'a', '\r', 'b', '\r', 'c', '\r', 'd'});
  run.files.files["in.txt"] = source;
  run.host.lines_per_file = 5;
  SplitOptions options;
  options.progress = &progress;
  SplitTuning tuning;
  tuning.read_buffer_size = 3;
  EXPECT_EQ(RunSplit(run.host, run.files, options, tuning), SplitOutcome::kStopped);
  EXPECT_EQ(run.host.pumps, 2);
  EXPECT_EQ(OutputFiles(run.files)[0],
            kLeMark + Units(kUtf16Le, {'a', '\r', '\n', 'b', '\r', '\n'}));
  EXPECT_EQ(progress.lines_written, 2);

  Job whole;
  SplitProgress counted;
  whole.files.files["in.txt"] = source + "Q";
  SplitOptions counting;
  counting.progress = &counted;
  tuning.read_buffer_size = 5;
  EXPECT_EQ(RunSplit(whole.host, whole.files, counting, tuning), SplitOutcome::kFinished);
  EXPECT_EQ(counted.bytes_read, source.size() + 1);
  EXPECT_EQ(counted.lines_written, 4);
}

}  // namespace
}  // namespace tarnwick
